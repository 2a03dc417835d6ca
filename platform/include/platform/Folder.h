// A folder held open, its entries reached through it: the way to walk and
// remove a tree without ever being led through a link that replaces a folder
// on the way (POSIX: a descriptor with openat and unlinkat; Windows: a handle
// that keeps the folder from being moved or replaced while it is held).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Files.h"

namespace platform {

class Folder {
  public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // A link at the path's last name is refused unless follow.
    static Folder open(const std::filesystem::path& path, std::error_code& error,
                       Follow follow = Follow::No);
    // The folder `name` inside this one, never through a link.
    Folder openChild(const std::filesystem::path& name, std::error_code& error) const;

    bool isOpen() const;
    const std::filesystem::path& path() const { return path_; }
    // The names inside, without "." and "..".
    std::vector<std::filesystem::path> list(std::error_code& error) const;
    EntryKind kindOf(const std::filesystem::path& name, std::error_code& error) const;
    // Removes the file or link `name` (a link as a link).
    void removeFile(const std::filesystem::path& name, std::error_code& error) const;
    // Removes the empty folder `name`.
    void removeEmptyFolder(const std::filesystem::path& name, std::error_code& error) const;
    // Lets this folder's entries be removed: a read-only folder (POSIX mode,
    // or the Windows attribute) becomes writable by its owner.
    void makeWritable() const;
    // Whether this folder is the root of another file system than `parent`'s
    // (a mount point is never entered nor removed).
    bool isMountPointBelow(const Folder& parent) const;

  private:
    Folder(std::intptr_t handle, std::filesystem::path path)
        : handle_(handle), path_(std::move(path)) {}
    std::intptr_t handle_ = -1;
    std::filesystem::path path_;
};

}  // namespace platform
