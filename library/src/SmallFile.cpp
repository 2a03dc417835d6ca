#include "library/SmallFile.h"

#include <platform/Files.h>

#include <system_error>

namespace library {

namespace fs = std::filesystem;

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

bool writeFileDurably(const fs::path& file, std::string_view bytes) {
    fs::path temporary = file;
    temporary += ".novo";
    std::error_code error;
    // Left by a kill during an earlier write; a link there goes as a link.
    platform::removeFile(temporary, error);
    {
        // A new file of ours, never one planted there.
        platform::File output = platform::File::createNew(temporary, error);
        if (!output.isOpen()) return false;
        const bool written = output.writeAll(bytes.data(), bytes.size(), error) &&
                             output.flushToDisk(error);
        if (!output.close(error) || !written) {
            platform::removeFile(temporary, error);
            return false;
        }
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

}  // namespace library
