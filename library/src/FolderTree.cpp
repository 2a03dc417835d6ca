#include "library/FolderTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace library {

namespace fs = std::filesystem;

namespace {

// Packages hold a few folder levels; anything much deeper is not ours to walk.
constexpr int kMaxFolderDepth = 64;

[[noreturn]] void fail(const std::string& what, const fs::path& path, std::errc error) {
    throw fs::filesystem_error(what, path, std::make_error_code(error));
}

[[noreturn]] void failWithErrno(const std::string& what, const fs::path& path) {
    throw fs::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

// A folder opened by descriptor: everything below it is reached through
// openat/unlinkat on this descriptor, never again through a path that could
// have been swapped for a link meanwhile.
class FolderHandle {
  public:
    FolderHandle(int at, const fs::path& name, const fs::path& shownAs)
        : descriptor_(::openat(at, name.c_str(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {
        if (descriptor_ < 0) failWithErrno("cannot open", shownAs);
    }
    FolderHandle(FolderHandle&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    ~FolderHandle() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

struct stat statAt(int at, const fs::path& name, const fs::path& shownAs) {
    struct stat info;
    if (::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        failWithErrno("cannot read", shownAs);
    return info;
}

bool isMountPoint(int folder, dev_t parentDevice) {
    struct stat info;
    if (::fstat(folder, &info) != 0 || info.st_dev != parentDevice) return true;
#ifdef STATX_ATTR_MOUNT_ROOT
    // A bind mount of the same file system keeps the device number.
    struct statx extended;
    if (::statx(folder, "", AT_EMPTY_PATH, 0, &extended) == 0 &&
        (extended.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    return false;
}

std::vector<std::string> namesIn(int folder, const fs::path& shownAs) {
    const int listing = ::dup(folder);
    if (listing < 0) failWithErrno("cannot list", shownAs);
    DIR* directory = ::fdopendir(listing);
    if (!directory) {
        ::close(listing);
        failWithErrno("cannot list", shownAs);
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const int error = errno;
    ::closedir(directory);
    if (error != 0) {
        errno = error;
        failWithErrno("cannot list", shownAs);
    }
    return names;
}

// Removes the entry name of the open folder at: a link or file is unlinked,
// a folder emptied through its own descriptor first.
void removeEntry(int at, const std::string& name, dev_t device, const fs::path& shownAs,
                 int depth) {
    const struct stat info = statAt(at, name, shownAs);
    if (S_ISDIR(info.st_mode)) {
        if (depth > kMaxFolderDepth)
            fail("folders nested too deep", shownAs, std::errc::too_many_links);
        {
            const FolderHandle folder(at, name, shownAs);
            if (isMountPoint(folder.get(), device))
                fail("a mount point is never removed", shownAs,
                     std::errc::device_or_resource_busy);
            // Entries of a read-only folder cannot be deleted.
            ::fchmod(folder.get(), (info.st_mode & 07777) | S_IRWXU);
            for (const std::string& entry : namesIn(folder.get(), shownAs))
                removeEntry(folder.get(), entry, device, shownAs / entry, depth + 1);
        }
        if (::unlinkat(at, name.c_str(), AT_REMOVEDIR) != 0) failWithErrno("cannot remove", shownAs);
        return;
    }
    if (::unlinkat(at, name.c_str(), 0) != 0) failWithErrno("cannot remove", shownAs);
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
    std::optional<FolderHandle> at;
    at.emplace(AT_FDCWD, root, root);
    fs::path walked = root;
    for (const fs::path& step : parent.lexically_relative(root)) {
        if (step == ".") continue;
        walked /= step;
        FolderHandle next(at->get(), step, walked);
        at.emplace(std::move(next));
    }
    struct stat parentInfo;
    if (::fstat(at->get(), &parentInfo) != 0) failWithErrno("cannot read", parent);
    const struct stat info = statAt(at->get(), name, target);
    if (!S_ISDIR(info.st_mode) && !S_ISLNK(info.st_mode))
        fail("not a folder", target, std::errc::not_a_directory);
    removeEntry(at->get(), name, parentInfo.st_dev, target, 0);
}

}  // namespace library
