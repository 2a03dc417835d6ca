#include "platform/Folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "Posix.h"
#include "platform/Steps.h"

namespace platform {

namespace fs = std::filesystem;

using detail::descriptorOf;
using detail::lastError;

Folder::~Folder() {
    if (handle_ >= 0) ::close(descriptorOf(handle_));
}

Folder::Folder(Folder&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (handle_ >= 0) ::close(descriptorOf(handle_));
        handle_ = std::exchange(other.handle_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

Folder Folder::open(const fs::path& path, std::error_code& error, Follow follow) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow == Follow::No ? O_NOFOLLOW : 0);
    const int descriptor = ::open(path.c_str(), flags);
    if (descriptor < 0) {
        error = lastError();
        return {};
    }
    error.clear();
    return Folder(descriptor, path);
}

Folder Folder::openChild(const fs::path& name, std::error_code& error) const {
    const int descriptor = ::openat(descriptorOf(handle_), name.c_str(),
                                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        error = lastError();
        return {};
    }
    error.clear();
    return Folder(descriptor, path_ / name);
}

bool Folder::isOpen() const {
    return handle_ >= 0;
}

std::vector<fs::path> Folder::list(std::error_code& error) const {
    std::vector<fs::path> names;
    const int listing = ::dup(descriptorOf(handle_));
    if (listing < 0) {
        error = lastError();
        return names;
    }
    DIR* directory = ::fdopendir(listing);
    if (!directory) {
        error = lastError();
        ::close(listing);
        return names;
    }
    ::rewinddir(directory);
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    error = errno != 0 ? lastError() : std::error_code();
    ::closedir(directory);
    return names;
}

EntryKind Folder::kindOf(const fs::path& name, std::error_code& error) const {
    struct stat info;
    if (::fstatat(descriptorOf(handle_), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) {
            error.clear();
        } else {
            error = lastError();
        }
        return EntryKind::Missing;
    }
    error.clear();
    if (S_ISREG(info.st_mode)) return EntryKind::File;
    if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
    if (S_ISLNK(info.st_mode)) return EntryKind::Link;
    return EntryKind::Other;
}

void Folder::removeFile(const fs::path& name, std::error_code& error) const {
    fileSystemStep(Step::Remove);
    if (::unlinkat(descriptorOf(handle_), name.c_str(), 0) != 0)
        error = lastError();
    else
        error.clear();
}

void Folder::removeEmptyFolder(const fs::path& name, std::error_code& error) const {
    fileSystemStep(Step::Remove);
    if (::unlinkat(descriptorOf(handle_), name.c_str(), AT_REMOVEDIR) != 0)
        error = lastError();
    else
        error.clear();
}

void Folder::makeWritable() const {
    struct stat info;
    if (::fstat(descriptorOf(handle_), &info) == 0 && (info.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmod(descriptorOf(handle_), (info.st_mode & 07777) | S_IRWXU);
}

bool Folder::isMountPointBelow(const Folder& parent) const {
    struct stat mine, theirs;
    if (::fstat(descriptorOf(handle_), &mine) != 0 ||
        ::fstat(descriptorOf(parent.handle_), &theirs) != 0 || mine.st_dev != theirs.st_dev)
        return true;
#ifdef STATX_ATTR_MOUNT_ROOT
    // A bind mount of the same file system keeps the device number.
    struct statx extended;
    if (::statx(descriptorOf(handle_), "", AT_EMPTY_PATH, 0, &extended) == 0 &&
        (extended.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    return false;
}

}  // namespace platform
