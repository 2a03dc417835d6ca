#include "StagedFile.h"

#include <cstdio>

namespace archive {

namespace {

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
        platform::File file = platform::File::createNew(path, error);
        if (file.isOpen()) return StagedFile(std::move(file), std::move(path));
        if (error != std::errc::file_exists) return std::nullopt;
    }
    error = std::make_error_code(std::errc::file_exists);
    return std::nullopt;
}

StagedFile::StagedFile(platform::File file, std::filesystem::path path)
    : file_(std::move(file)), path_(std::move(path)) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : file_(std::move(other.file_)), path_(std::move(other.path_)) {
    other.path_.clear();
}

StagedFile::~StagedFile() {
    discard();
}

void StagedFile::discard() {
    std::error_code ignored;
    file_.close(ignored);
    if (!path_.empty()) platform::removeFile(path_, ignored);
    path_.clear();
}

std::error_code StagedFile::write(const char* data, std::size_t size) {
    std::error_code error;
    file_.writeAll(data, size, error);
    return error;
}

std::error_code StagedFile::commit(const std::filesystem::path& target,
                                   const StoredAttributes& attributes) {
    if (attributes.modified) file_.setModifiedTime(*attributes.modified);
    if (attributes.readOnly) file_.markReadOnly();
    std::error_code error;
    if (!file_.close(error)) {
        discard();
        return error;
    }
    platform::renameReplacing(path_, target, error);
    if (error) {
        discard();
        return error;
    }
    path_.clear();
    return {};
}

}  // namespace archive
