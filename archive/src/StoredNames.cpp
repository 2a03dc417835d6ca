#include "StoredNames.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string_view>

namespace archive {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kDirectorySignature = 0x02014b50;
constexpr std::uint16_t kUnicodePathField = 0x7075;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kRecordSize = 46;
constexpr std::size_t kLongestComment = 0xFFFF;

std::uint64_t littleEndian(std::string_view bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

std::optional<std::string> readAt(std::ifstream& in, std::uint64_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
    return bytes;
}

struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
    std::uint64_t endsBefore = 0;  // where the record that describes it begins
};

// The last end record whose comment fits in the file, as libzip takes it.
std::optional<std::size_t> findEndRecord(std::string_view tail) {
    if (tail.size() < kEndSize) return std::nullopt;
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        if (littleEndian(tail, at, 4) == kEndSignature &&
            at + kEndSize + littleEndian(tail, at + 20, 2) <= tail.size())
            return at;
    }
    return std::nullopt;
}

std::optional<Directory> findDirectory(std::ifstream& in, std::uint64_t fileSize) {
    const std::size_t tailSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kEndSize + kLongestComment));
    const std::optional<std::string> tail = readAt(in, fileSize - tailSize, tailSize);
    if (!tail) return std::nullopt;
    const std::optional<std::size_t> end = findEndRecord(*tail);
    if (!end) return std::nullopt;
    const std::uint64_t endOffset = fileSize - tailSize + *end;
    Directory directory{littleEndian(*tail, *end + 10, 2), littleEndian(*tail, *end + 12, 4),
                        littleEndian(*tail, *end + 16, 4), endOffset};

    // A Zip64 locator right before the end record points to the real figures.
    if (endOffset >= kLocatorSize) {
        const std::optional<std::string> locator =
            readAt(in, endOffset - kLocatorSize, kLocatorSize);
        if (locator && littleEndian(*locator, 0, 4) == kZip64LocatorSignature) {
            const std::uint64_t zip64Offset = littleEndian(*locator, 8, 8);
            if (zip64Offset > endOffset - kLocatorSize ||
                endOffset - kLocatorSize - zip64Offset < kZip64EndSize)
                return std::nullopt;
            const std::optional<std::string> zip64 = readAt(in, zip64Offset, kZip64EndSize);
            if (!zip64 || littleEndian(*zip64, 0, 4) != kZip64EndSignature) return std::nullopt;
            directory = {littleEndian(*zip64, 32, 8), littleEndian(*zip64, 40, 8),
                         littleEndian(*zip64, 48, 8), zip64Offset};
        }
    }
    if (directory.offset > directory.endsBefore ||
        directory.size > directory.endsBefore - directory.offset ||
        directory.entries > directory.size / kRecordSize)
        return std::nullopt;
    return directory;
}

std::string unicodePathOf(std::string_view extra) {
    std::size_t at = 0;
    while (extra.size() - at >= 4) {
        const auto id = littleEndian(extra, at, 2);
        const auto size = static_cast<std::size_t>(littleEndian(extra, at + 2, 2));
        at += 4;
        if (size > extra.size() - at) break;
        // Version 1, the CRC of the plain name, then the UTF-8 name.
        if (id == kUnicodePathField && size >= 5 && extra[at] == 1)
            return std::string(extra.substr(at + 5, size - 5));
        at += size;
    }
    return {};
}

}  // namespace

std::optional<std::vector<StoredName>> readStoredNames(const std::filesystem::path& archiveFile) {
    std::ifstream in(archiveFile, std::ios::binary);
    std::error_code error;
    const std::uint64_t fileSize = std::filesystem::file_size(archiveFile, error);
    if (!in || error) return std::nullopt;
    const std::optional<Directory> directory = findDirectory(in, fileSize);
    if (!directory) return std::nullopt;
    const std::optional<std::string> bytes =
        readAt(in, directory->offset, static_cast<std::size_t>(directory->size));
    if (!bytes) return std::nullopt;

    const std::string_view records(*bytes);
    std::vector<StoredName> names;
    names.reserve(static_cast<std::size_t>(directory->entries));
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < directory->entries; ++i) {
        if (records.size() - at < kRecordSize ||
            littleEndian(records, at, 4) != kDirectorySignature)
            return std::nullopt;
        const auto nameLength = static_cast<std::size_t>(littleEndian(records, at + 28, 2));
        const auto extraLength = static_cast<std::size_t>(littleEndian(records, at + 30, 2));
        const auto commentLength = static_cast<std::size_t>(littleEndian(records, at + 32, 2));
        const std::size_t recordLength = kRecordSize + nameLength + extraLength + commentLength;
        if (records.size() - at < recordLength) return std::nullopt;
        names.push_back(
            {std::string(records.substr(at + kRecordSize, nameLength)),
             unicodePathOf(records.substr(at + kRecordSize + nameLength, extraLength))});
        at += recordLength;
    }
    return names;
}

}  // namespace archive
