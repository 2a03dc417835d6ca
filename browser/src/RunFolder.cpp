#include "RunFolder.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

#include "library/FolderTree.h"
#include "library/RunJournal.h"

namespace fs = std::filesystem;

namespace browser {

namespace {

// A name already taken (a folder a killed run left that could not be
// removed) is passed over; this many tries find a free one.
constexpr int kNameTries = 16;

std::string randomSuffix() {
    static constexpr std::string_view kCharacters =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    // The clock too: a random device may repeat itself from run to run.
    // Never std::mt19937 in this program: the static Qt for Windows calls its
    // own copy of that engine assuming registers the copy built here does not
    // keep, and the linker keeps ours, so QTemporaryDir crashed.
    std::mt19937_64 generator(
        std::random_device{}() ^
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<std::size_t> pick(0, kCharacters.size() - 1);
    std::string suffix;
    for (std::size_t i = 0; i < library::kRunFolderSuffixLength; ++i)
        suffix += kCharacters[pick(generator)];
    return suffix;
}

}  // namespace

RunFolder::RunFolder(library::Layout layout) : layout_(std::move(layout)) {}

RunFolder::~RunFolder() {
    if (path_.empty()) return;
    try {
        library::RemoveFolderTree(path_, layout_.libraryRoot());
        library::RunJournal(layout_).settled(path_);
    } catch (const fs::filesystem_error&) {
        // Still recorded: the next start removes what is left.
    }
}

bool RunFolder::make() {
    const library::RunJournal journal(layout_);
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        const fs::path folder =
            layout_.libraryRoot() / (std::string(library::kRunFolderPrefix) + randomSuffix());
        std::error_code error;
        // Whatever lies at the name already is not ours: a leftover the start
        // could not remove stays listed for the next one.
        if (fs::exists(fs::symlink_status(folder, error))) continue;
        if (!journal.willCreate(folder)) return false;
        // Made afresh, never taken over.
        if (fs::create_directory(folder, error)) {
            path_ = folder;
            return true;
        }
        journal.settled(folder);
        if (error) return false;
    }
    return false;
}

fs::path RunFolder::folderFor(const library::BlockRef& block) {
    if (block.origin == library::BlockRef::Origin::Category)
        return block.category >= 0 && block.category < library::kCategoryCount
                   ? subFolder(std::to_string(block.category))
                   : fs::path();
    // Named by where the drawing lies: "p" and the hash of that folder's path.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : library::pathToUtf8((block.folder / block.item).parent_path())) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    char name[20];
    std::snprintf(name, sizeof name, "p%016llx", static_cast<unsigned long long>(hash));
    return subFolder(name);
}

fs::path RunFolder::subFolder(const std::string& name) {
    if (path_.empty() && !make()) return {};
    const fs::path folder = path_ / name;
    std::error_code error;
    fs::create_directory(folder, error);
    // Written into only as the folder this run made, never through a link.
    if (error || !fs::is_directory(fs::symlink_status(folder, error))) return {};
    return folder;
}

}  // namespace browser
