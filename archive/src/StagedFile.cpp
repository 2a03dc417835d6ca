#include "StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace archive {

namespace {

std::error_code lastError() {
    return {errno, std::system_category()};
}

// A short name of its own, so a member whose name is near the file system's
// limit still gets a temporary file.
std::string temporaryName(std::mt19937_64& random) {
    char name[40];
    std::snprintf(name, sizeof name, ".tessaly-%016llx.part",
                  static_cast<unsigned long long>(random()));
    return name;
}

}  // namespace

std::optional<StagedFile> StagedFile::create(const std::filesystem::path& folder,
                                             std::mt19937_64& random, std::error_code& error) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::filesystem::path path = folder / temporaryName(random);
        const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) return StagedFile(descriptor, std::move(path));
        if (errno != EEXIST) {
            error = lastError();
            return std::nullopt;
        }
    }
    error = std::make_error_code(std::errc::file_exists);
    return std::nullopt;
}

StagedFile::StagedFile(int descriptor, std::filesystem::path path)
    : descriptor_(descriptor), path_(std::move(path)) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : descriptor_(other.descriptor_), path_(std::move(other.path_)) {
    other.descriptor_ = -1;
    other.path_.clear();
}

StagedFile::~StagedFile() {
    discard();
}

void StagedFile::discard() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

std::error_code StagedFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(descriptor_, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return {};
}

std::error_code StagedFile::commit(const std::filesystem::path& target,
                                   const StoredAttributes& attributes) {
    // Attributes are a courtesy: a file system that cannot keep them still gets the file.
    if (attributes.modified) {
        const timespec times[2] = {{*attributes.modified, 0}, {*attributes.modified, 0}};
        ::futimens(descriptor_, times);
    }
    struct stat status {};
    if (attributes.readOnly && ::fstat(descriptor_, &status) == 0)
        ::fchmod(descriptor_, status.st_mode & 07555);

    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0) {
        const std::error_code error = lastError();
        discard();
        return error;
    }
    // Where the file system honours a read-only mark on replacement (FAT, SMB
    // mounts), the old file has to lose it first.
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        !(existing.st_mode & S_IWUSR))
        ::chmod(target.c_str(), existing.st_mode | S_IWUSR);
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        const std::error_code error = lastError();
        discard();
        return error;
    }
    path_.clear();
    return {};
}

}  // namespace archive
