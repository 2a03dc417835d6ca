// The signed package list on the server, checked against the publisher's
// key built into the program, and what it says about each package: the
// bytes a download must come to, and whether an installed category is older.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "library/Library.h"
#include "signing/PackageIndex.h"
#include "signing/Signature.h"
#include "signing/Trust.h"

namespace download {

// The key the program was built with, nullopt when it was built without one
// (then packages are taken on their shape alone, with no list).
std::optional<signing::PublicKey> builtInPublisherKey();

// The list is fetched when the package window opens, so an absent network
// must cost little.
inline constexpr std::chrono::seconds kIndexConnectTimeout{5};

// The time lists are judged by: the system's clock, or the one a test set
// (an empty function gives the system's clock back).
signing::Time currentTime();
void setClockForTests(std::function<signing::Time()> clock);

enum class IndexState {
    Verified,
    Unreachable,  // no connection, or the transfer broke off
    Refused,      // anything the chain from the built-in key does not vouch for
};

struct ServerIndex {
    IndexState state = IndexState::Unreachable;
    signing::PackageIndex index;       // the list, once verified
    signing::Publication publication;  // the files as fetched, to be judged again
    // Unreachable: the transfer's failure; Refused: why, for the user.
    std::string detail;
};

// What the program folder has taken, kept in Layout::newestPackageListFile()
// so that no server can take the program back to older keys, lists or
// packages. nullopt when there is none, or when the file is anything but a
// record whose chain of signatures from key holds (a link, damaged, another
// key's). A record of the earlier form, the newest list alone, is read as
// that list offered anew.
std::optional<signing::TrustState> newestTaken(const library::Layout& layout,
                                               const signing::PublicKey& key);
// Keeps state as what the program has taken; durable. False when it could
// not be written (the record before then stays).
bool rememberTaken(const library::Layout& layout, const signing::TrustState& state);

// Fetches the chain's files (roots, delegation, list and signatures) from
// packageServer + "blocos/" into a folder of its own under the system's
// temporary folder, which it removes, and judges them against key, the clock
// and what the program folder of layout has taken; what is verified becomes
// what it has taken. pump runs at every progress report of the transfers.
ServerIndex fetchServerIndex(const std::string& packageServer, const signing::PublicKey& key,
                             const library::Layout& layout, const std::function<void()>& pump);

// Files verified earlier, judged again now: against the clock and what the
// program has taken since.
ServerIndex judgeAgain(const signing::Publication& publication, const library::Layout& layout,
                       const signing::PublicKey& key);

enum class PackageCheck { Matches, WrongSize, WrongDigest, Stopped };

// The file against its line: the size first (no reading when it differs),
// then the SHA-256, reporting to progress after each piece read.
PackageCheck checkPackage(const std::filesystem::path& file, const signing::IndexLine& line,
                          const signing::HashProgress& progress);

// An installed category's record of the line it was installed from: the
// file kInstalledRecordName in its folder, "<version> <SHA-256>\n". Versions
// are the category's, whatever key signed the list.
inline constexpr const char* kInstalledRecordName = ".pacote";
// Durable; false when it could not be written.
bool recordInstalledPackage(const std::filesystem::path& categoryFolder,
                            const signing::IndexLine& line);
// nullopt when the category has no record or an unreadable one (a link,
// a folder, damaged).
std::optional<signing::IndexLine> installedPackage(const std::filesystem::path& categoryFolder);

// True when the category is installed from a line older than serverLine.
// A category without a record (installed from an unsigned server, or by
// hand) has no version to compare and is never called older.
bool hasNewerPackage(const std::filesystem::path& categoryFolder,
                     const signing::IndexLine* serverLine);

}  // namespace download
