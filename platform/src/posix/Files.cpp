#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "Posix.h"
#include "platform/Steps.h"

namespace platform {

namespace fs = std::filesystem;

using detail::descriptorOf;
using detail::lastError;

namespace {

EntryKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::File;
    if (S_ISDIR(mode)) return EntryKind::Folder;
    if (S_ISLNK(mode)) return EntryKind::Link;
    return EntryKind::Other;
}

// An opened descriptor that must be a regular file; closed and refused otherwise.
std::intptr_t keepRegular(int descriptor, std::error_code& error) {
    if (descriptor < 0) {
        error = lastError();
        return -1;
    }
    struct stat info;
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? std::make_error_code(std::errc::is_a_directory)
                                      : std::make_error_code(std::errc::invalid_argument);
        ::close(descriptor);
        return -1;
    }
    // Opened without waiting on a FIFO; a regular file reads and writes as usual.
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    error.clear();
    return descriptor;
}

}  // namespace

EntryKind entryKind(const fs::path& path, std::error_code& error) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            error.clear();
            return EntryKind::Missing;
        }
        error = lastError();
        return EntryKind::Missing;
    }
    error.clear();
    return kindOfMode(info.st_mode);
}

File File::openForReading(const fs::path& path, std::error_code& error, Follow follow) {
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow == Follow::No ? O_NOFOLLOW : 0);
    File file(keepRegular(::open(path.c_str(), flags), error));
    if (file.isOpen()) ::posix_fadvise(descriptorOf(file.handle_), 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

File File::createNew(const fs::path& path, std::error_code& error, Privacy privacy) {
    fileSystemStep(Step::Create);
    const mode_t mode = privacy == Privacy::Private ? 0600 : 0644;
    const int descriptor =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (descriptor < 0) {
        error = lastError();
        return {};
    }
    // The mode asked for, whatever the umask.
    if (privacy == Privacy::Private) ::fchmod(descriptor, mode);
    error.clear();
    return File(descriptor);
}

File File::openForWriting(const fs::path& path, Start start, std::error_code& error) {
    fileSystemStep(Step::Create);
    const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    File file(keepRegular(::open(path.c_str(), flags, 0644), error));
    if (file.isOpen() && start == Start::Emptied && !file.truncate(0, error)) return {};
    return file;
}

bool File::isOpen() const {
    return handle_ >= 0;
}

bool File::hasOtherNames() const {
    struct stat info;
    return ::fstat(descriptorOf(handle_), &info) != 0 || info.st_nlink != 1;
}

std::uint64_t File::size(std::error_code& error) const {
    struct stat info;
    if (::fstat(descriptorOf(handle_), &info) != 0) {
        error = lastError();
        return 0;
    }
    error.clear();
    return static_cast<std::uint64_t>(info.st_size);
}

std::size_t File::read(void* data, std::size_t size, std::error_code& error) {
    for (;;) {
        const ssize_t got = ::read(descriptorOf(handle_), data, size);
        if (got >= 0) {
            error.clear();
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            error = lastError();
            return 0;
        }
    }
}

bool File::writeAll(const void* data, std::size_t size, std::error_code& error) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(descriptorOf(handle_), bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = lastError();
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    error.clear();
    return true;
}

bool File::seek(std::uint64_t offset, std::error_code& error) {
    if (::lseek(descriptorOf(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) {
        error = lastError();
        return false;
    }
    error.clear();
    return true;
}

bool File::truncate(std::uint64_t size, std::error_code& error) {
    if (::ftruncate(descriptorOf(handle_), static_cast<off_t>(size)) != 0) {
        error = lastError();
        return false;
    }
    error.clear();
    return true;
}

bool File::flushToDisk(std::error_code& error) {
    fileSystemStep(Step::Flush);
    if (::fsync(descriptorOf(handle_)) != 0) {
        error = lastError();
        return false;
    }
    error.clear();
    return true;
}

void File::setModifiedTime(std::time_t time) {
    const timespec times[2] = {{time, 0}, {time, 0}};
    ::futimens(descriptorOf(handle_), times);
}

void File::markReadOnly() {
    struct stat info;
    if (::fstat(descriptorOf(handle_), &info) == 0)
        ::fchmod(descriptorOf(handle_), info.st_mode & 07555);
}

bool File::close(std::error_code& error) {
    error.clear();
    if (handle_ < 0) return true;
    const int result = ::close(descriptorOf(std::exchange(handle_, -1)));
    if (result != 0) error = lastError();
    return result == 0;
}

void renameReplacing(const fs::path& from, const fs::path& to, std::error_code& error) {
    fileSystemStep(Step::Rename);
    // Where the file system honours a read-only mark on replacement (FAT, SMB
    // mounts), the old file has to lose it first.
    struct stat existing;
    if (::lstat(to.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        !(existing.st_mode & S_IWUSR))
        ::chmod(to.c_str(), existing.st_mode | S_IWUSR);
    if (::rename(from.c_str(), to.c_str()) != 0)
        error = lastError();
    else
        error.clear();
}

void renameNoReplace(const fs::path& from, const fs::path& to, std::error_code& error) {
    fileSystemStep(Step::Rename);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        error.clear();
        return;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        error = lastError();
        return;
    }
    // A file system without the flag: a folder can still only be renamed onto
    // nothing or an empty folder, a file onto nothing by a link and an unlink.
    struct stat info;
    if (::lstat(to.c_str(), &info) == 0) {
        error = std::make_error_code(std::errc::file_exists);
        return;
    }
    if (::rename(from.c_str(), to.c_str()) != 0)
        error = lastError();
    else
        error.clear();
}

void exchangeFolders(const fs::path& first, const fs::path& second, std::error_code& error) {
    fileSystemStep(Step::Rename);
    if (::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0) {
        error.clear();
        return;
    }
    error = errno == EINVAL || errno == ENOSYS
                ? std::make_error_code(std::errc::function_not_supported)
                : lastError();
}

void removeFile(const fs::path& path, std::error_code& error) {
    fileSystemStep(Step::Remove);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        error = lastError();
    else
        error.clear();
}

void flushFolder(const fs::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    fileSystemStep(Step::Flush);
    ::fsync(descriptor);
    ::close(descriptor);
}

void makeFolder(const fs::path& path, std::error_code& error) {
    fileSystemStep(Step::Create);
    if (::mkdir(path.c_str(), 0700) != 0)
        error = lastError();
    else
        error.clear();
}

// Read-only as Windows marks it: no write permission for the owner, which
// even root, whom access() lets write anything, sees as a read-only file.
bool isWritable(const fs::path& file) {
    struct stat info;
    return ::lstat(file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) &&
           ::access(file.c_str(), W_OK) == 0;
}

void makeFolderLink(const fs::path& target, const fs::path& link, std::error_code& error) {
    fs::create_directory_symlink(target, link, error);
}

void makeFileLink(const fs::path& target, const fs::path& link, std::error_code& error) {
    fs::create_symlink(target, link, error);
}

// POSIX imposes no locks: another program never keeps this one from a file.
bool heldByAnotherProgram(const std::error_code&) {
    return false;
}

fs::path personalInstallFolder() {
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "~") / ".local" / "opt" / "Tessaly";
}

}  // namespace platform
