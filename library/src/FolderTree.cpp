#include "library/FolderTree.h"

#include <platform/Folder.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

namespace library {

namespace fs = std::filesystem;

namespace {

// Packages hold a few folder levels; anything much deeper is not ours to walk.
constexpr int kMaxFolderDepth = 64;

[[noreturn]] void fail(const std::string& what, const fs::path& path, std::error_code error) {
    throw fs::filesystem_error(what, path, error);
}

[[noreturn]] void fail(const std::string& what, const fs::path& path, std::errc error) {
    fail(what, path, std::make_error_code(error));
}

platform::EntryKind kindAt(const platform::Folder& at, const fs::path& name,
                           const fs::path& shownAs) {
    std::error_code error;
    const platform::EntryKind kind = at.kindOf(name, error);
    if (error) fail("cannot read", shownAs, error);
    if (kind == platform::EntryKind::Missing)
        fail("cannot read", shownAs, std::errc::no_such_file_or_directory);
    return kind;
}

// Removes the entry name of the open folder at: a link or file is removed,
// a folder emptied through its own handle first.
void removeEntry(const platform::Folder& at, const fs::path& name, const fs::path& shownAs,
                 int depth) {
    std::error_code error;
    if (kindAt(at, name, shownAs) == platform::EntryKind::Folder) {
        if (depth > kMaxFolderDepth) fail("folders nested too deep", shownAs, std::errc::too_many_links);
        {
            const platform::Folder folder = at.openChild(name, error);
            if (error) fail("cannot open", shownAs, error);
            if (folder.isMountPointBelow(at))
                fail("a mount point is never removed", shownAs, std::errc::device_or_resource_busy);
            // Entries of a read-only folder cannot be deleted.
            folder.makeWritable();
            const std::vector<fs::path> entries = folder.list(error);
            if (error) fail("cannot list", shownAs, error);
            for (const fs::path& entry : entries)
                removeEntry(folder, entry, shownAs / entry, depth + 1);
        }
        at.removeEmptyFolder(name, error);
        if (error) fail("cannot remove", shownAs, error);
        return;
    }
    at.removeFile(name, error);
    if (error) fail("cannot remove", shownAs, error);
}

bool isStrictlyBelow(const fs::path& path, const fs::path& folder) {
    const auto [end, at] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end() && at != path.end();
}

}  // namespace

void RemoveFolderTree(const fs::path& folder, const fs::path& libraryRoot) {
    const fs::path name = folder.filename();
    if (name.empty() || name == "." || name == "..")
        fail("not a folder name", folder, std::errc::invalid_argument);
    // The folder's own name is kept as it is: a link there is removed, not followed.
    const fs::path root = fs::weakly_canonical(libraryRoot);
    const fs::path parent = fs::weakly_canonical(folder.parent_path());
    const fs::path target = parent / name;
    if (!isStrictlyBelow(target, root))
        fail("outside the library", folder, std::errc::operation_not_permitted);
    // From the library down, every folder is opened without following links,
    // so a folder on the way swapped for a link stops the removal.
    std::error_code error;
    platform::Folder at = platform::Folder::open(root, error);
    if (error) fail("cannot open", root, error);
    for (const fs::path& step : parent.lexically_relative(root)) {
        if (step == ".") continue;
        platform::Folder next = at.openChild(step, error);
        if (error) fail("cannot open", at.path() / step, error);
        at = std::move(next);
    }
    const platform::EntryKind kind = kindAt(at, name, target);
    if (kind != platform::EntryKind::Folder && kind != platform::EntryKind::Link)
        fail("not a folder", target, std::errc::not_a_directory);
    removeEntry(at, name, target, 0);
}

}  // namespace library
