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
    Refused,      // missing on the server, unsigned or signed by another key
    Unreadable,   // signed, but not a list of the form this program reads
    Older,        // published before the newest list this program folder has taken
    Expired,      // past its expiry: the server may be holding newer lists back
};

struct ServerIndex {
    IndexState state = IndexState::Unreachable;
    signing::PackageIndex index;  // the list, once its signature holds
    std::string detail;           // why it was not verified, for the message
    // For Older: when the newest list taken was published.
    std::optional<signing::Time> newestPublished;
};

// The newest list the program folder has taken, kept with its signature in
// Layout::newestPackageListFile() so that no server can take the program back
// to an older one. nullopt when there is none, or when the file is anything
// but a list the key signed (a link, damaged, another key's).
std::optional<signing::PackageIndex> newestTakenIndex(const library::Layout& layout,
                                                      const signing::PublicKey& key);
// Keeps text, a list the key signed with signature, as the newest one taken,
// unless the file already holds one published later. Durable; never throws
// (a record that cannot be written leaves the one before).
void rememberTakenIndex(const library::Layout& layout, const signing::PublicKey& key,
                        std::span<const std::uint8_t> text,
                        std::span<const std::uint8_t> signature);

// Fetches packageServer + "blocos/indice.txt" and its signature into a
// folder of its own under the system's temporary folder, which it removes,
// and checks the list against key, the clock and the newest list the program
// folder of layout has taken; a list verified becomes that newest list. pump
// runs at every progress report of the two transfers.
ServerIndex fetchServerIndex(const std::string& packageServer, const signing::PublicKey& key,
                             const library::Layout& layout, const std::function<void()>& pump);

// A list verified earlier, judged again now: its expiry against the clock,
// its date against the newest list taken since.
ServerIndex judgeAgain(const signing::PackageIndex& index, const library::Layout& layout,
                       const signing::PublicKey& key);

enum class PackageCheck { Matches, WrongSize, WrongDigest, Stopped };

// The file against its line: the size first (no reading when it differs),
// then the SHA-256, reporting to progress after each piece read.
PackageCheck checkPackage(const std::filesystem::path& file, const signing::IndexLine& line,
                          const signing::HashProgress& progress);

// An installed category's record of the line it was installed from: the
// file kInstalledRecordName in its folder, "<version> <SHA-256>\n".
inline constexpr const char* kInstalledRecordName = ".pacote";
void recordInstalledPackage(const std::filesystem::path& categoryFolder,
                            const signing::IndexLine& line);
// nullopt when the category has no record or an unreadable one.
std::optional<signing::IndexLine> installedPackage(const std::filesystem::path& categoryFolder);

// True when the category is installed from a line older than serverLine.
// A category without a record (installed from an unsigned server, or by
// hand) has no version to compare and is never called older.
bool hasNewerPackage(const std::filesystem::path& categoryFolder,
                     const signing::IndexLine* serverLine);

}  // namespace download
