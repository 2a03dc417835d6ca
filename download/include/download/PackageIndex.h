// The signed package list on the server, checked against the publisher's
// key built into the program, and what it says about each package: the
// bytes a download must come to, and whether an installed category is older.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "signing/PackageIndex.h"
#include "signing/Signature.h"

namespace download {

// The key the program was built with, nullopt when it was built without one
// (then packages are taken on their shape alone, with no list).
std::optional<signing::PublicKey> builtInPublisherKey();

// The list is fetched when the package window opens, so an absent network
// must cost little.
inline constexpr std::chrono::seconds kIndexConnectTimeout{5};

enum class IndexState {
    Verified,
    Unreachable,  // no connection, or the transfer broke off
    Refused,      // missing on the server, unsigned, signed by another key, or malformed
};

struct ServerIndex {
    IndexState state = IndexState::Unreachable;
    signing::PackageIndex index;
    std::string detail;  // why it was not verified, for the message
};

// Fetches packageServer + "blocos/indice.txt" and its signature into a
// folder of its own under the system's temporary folder, which it removes,
// and checks the list against key. pump runs at every progress report of the
// two transfers.
ServerIndex fetchServerIndex(const std::string& packageServer, const signing::PublicKey& key,
                             const std::function<void()>& pump);

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
