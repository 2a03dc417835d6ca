// The preview picture as each version stores it: a 24-bit device-independent
// bitmap up to R2010, a PNG file from R2013, in the image area that the file
// header points to.
#include <zlib.h>

#include "WriterFile.h"

namespace dwg::detail {
namespace {

constexpr Sentinel kPreviewStart = {0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                    0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
constexpr Sentinel kPreviewEnd = {0xE0, 0xDA, 0x92, 0xF8, 0x2B, 0xC9, 0xD7, 0xD7,
                                  0x62, 0xA8, 0x35, 0xC0, 0x62, 0xBB, 0xEF, 0xD4};
constexpr int kHeaderEntry = 1;
constexpr int kBitmapEntry = 2;
constexpr int kPngEntry = 6;
constexpr std::size_t kHeaderEntrySize = 0x50;

void appendBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// BITMAPINFOHEADER and the rows from the bottom, three bytes a pixel (blue,
// green, red), each row padded to four bytes.
Bytes bitmap(const Raster& image) {
    const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) / 4 * 4;
    Bytes out;
    out.reserve(40 + stride * static_cast<std::size_t>(image.height));
    appendRawLong(out, 40);
    appendRawLong(out, static_cast<std::uint32_t>(image.width));
    appendRawLong(out, static_cast<std::uint32_t>(image.height));
    appendRawShort(out, 1);   // planes
    appendRawShort(out, 24);  // bits per pixel
    appendRawLong(out, 0);    // uncompressed
    appendRawLong(out, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(image.height)));
    for (int i = 0; i < 4; ++i) appendRawLong(out, 0);  // resolution, palette
    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t rgb =
                image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                             static_cast<std::size_t>(x)];
            out.push_back(static_cast<std::uint8_t>(rgb));
            out.push_back(static_cast<std::uint8_t>(rgb >> 8));
            out.push_back(static_cast<std::uint8_t>(rgb >> 16));
        }
        out.resize(rowStart + stride, 0);
    }
    return out;
}

void pngChunk(Bytes& out, const char* type, const Bytes& data) {
    appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    appendBigEndian(out, static_cast<std::uint32_t>(crc));
}

// An 8-bit RGB PNG, rows unfiltered, deflated at a fixed level.
Bytes png(const Raster& image) {
    Bytes raw;
    raw.reserve((static_cast<std::size_t>(image.width) * 3 + 1) *
                static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t rgb =
                image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                             static_cast<std::size_t>(x)];
            raw.push_back(static_cast<std::uint8_t>(rgb >> 16));
            raw.push_back(static_cast<std::uint8_t>(rgb >> 8));
            raw.push_back(static_cast<std::uint8_t>(rgb));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) !=
        Z_OK)
        throw WriteError("não é possível gravar o desenho: falha ao comprimir a visualização");
    packed.resize(packedSize);

    Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header;
    appendBigEndian(header, static_cast<std::uint32_t>(image.width));
    appendBigEndian(header, static_cast<std::uint32_t>(image.height));
    for (std::uint8_t value : {8, 2, 0, 0, 0}) header.push_back(value);  // 8-bit RGB
    pngChunk(out, "IHDR", header);
    pngChunk(out, "IDAT", packed);
    pngChunk(out, "IEND", {});
    return out;
}

}  // namespace

StoredPreview storedPreview(Version version, const Raster* image) {
    if (!image) return {};
    if (version >= Version::R2013) return {kPngEntry, png(*image)};
    return {kBitmapEntry, bitmap(*image)};
}

Bytes previewSection(const StoredPreview& preview, std::uint32_t sectionStart) {
    Bytes out(kPreviewStart.begin(), kPreviewStart.end());
    const bool hasImage = !preview.bytes.empty();
    const std::size_t entries = hasImage ? 2 : 0;
    const std::size_t tableSize = 1 + 9 * entries;
    const std::size_t dataSize = hasImage ? kHeaderEntrySize + preview.bytes.size() : 0;
    appendRawLong(out, static_cast<std::uint32_t>(tableSize + dataSize));
    out.push_back(static_cast<std::uint8_t>(entries));
    if (hasImage) {
        // Offsets count from the start of the file.
        const std::uint32_t headerAt =
            sectionStart + static_cast<std::uint32_t>(out.size() + 2 * 9);
        out.push_back(kHeaderEntry);
        appendRawLong(out, headerAt);
        appendRawLong(out, kHeaderEntrySize);
        out.push_back(static_cast<std::uint8_t>(preview.type));
        appendRawLong(out, headerAt + static_cast<std::uint32_t>(kHeaderEntrySize));
        appendRawLong(out, static_cast<std::uint32_t>(preview.bytes.size()));
        out.insert(out.end(), kHeaderEntrySize, 0);
        out.insert(out.end(), preview.bytes.begin(), preview.bytes.end());
    }
    out.insert(out.end(), kPreviewEnd.begin(), kPreviewEnd.end());
    return out;
}

}  // namespace dwg::detail
