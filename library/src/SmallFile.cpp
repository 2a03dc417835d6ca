#include "library/SmallFile.h"

#include <platform/Files.h>

#include <random>
#include <system_error>

#include "paths/Utf8Path.h"

namespace library {

namespace fs = std::filesystem;
using paths::pathFromUtf8;
using paths::pathToUtf8;

std::optional<std::string> readRegularFile(const fs::path& file, std::uint64_t maxBytes) {
    std::error_code error;
    platform::File input = platform::File::openForReading(file, error);
    if (!input.isOpen()) return std::nullopt;
    const std::uint64_t size = input.size(error);
    if (error || size > maxBytes) return std::nullopt;
    // One byte more than allowed tells a file that grew meanwhile.
    std::string bytes = input.readUpTo(static_cast<std::size_t>(size) + 1, error);
    if (error || bytes.size() != size) return std::nullopt;
    return bytes;
}

namespace {

// Writes bytes to the new file temporary, on the disk, and renames it over file.
bool writeThrough(const fs::path& temporary, platform::File output, const fs::path& file,
                  std::string_view bytes) {
    std::error_code error;
    const bool written =
        output.writeAll(bytes.data(), bytes.size(), error) && output.flushToDisk(error);
    if (!output.close(error) || !written) {
        platform::removeFile(temporary, error);
        return false;
    }
    platform::renameReplacing(temporary, file, error);
    if (error) {
        platform::removeFile(temporary, error);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    platform::flushFolder(file.parent_path());
    return true;
}

}  // namespace

bool writeFileDurably(const fs::path& file, std::string_view bytes) {
    fs::path temporary = file;
    temporary += ".novo";
    std::error_code error;
    // Left by a kill during an earlier write; a link there goes as a link.
    platform::removeFile(temporary, error);
    // A new file of ours, never one planted there.
    platform::File output = platform::File::createNew(temporary, error);
    if (!output.isOpen()) return false;
    return writeThrough(temporary, std::move(output), file, bytes);
}

bool writeFileReplacing(const fs::path& file, std::string_view bytes) {
    std::random_device seed;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const fs::path temporary =
            file.parent_path() / pathFromUtf8("." + pathToUtf8(file.filename()) + "." +
                                              std::to_string(seed()) + ".tessaly");
        std::error_code error;
        platform::File output = platform::File::createNew(temporary, error);
        if (output.isOpen()) return writeThrough(temporary, std::move(output), file, bytes);
        if (error != std::errc::file_exists) return false;
    }
    return false;
}

}  // namespace library
