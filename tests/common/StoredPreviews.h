// Drawings given a preview image of the test's choosing: the image area is
// added at the end of the file and the header's seeker pointed at it. Files
// of R2004 and later keep the seeker outside every checksum; earlier ones
// check it, so the base drawing must be of those versions.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

inline void put32le(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// An uncompressed bitmap (BITMAPINFOHEADER), one bit a pixel, every pixel of
// colour index `index` of the palette {first, second}.
inline Bytes oneBitBitmap(int width, int height, std::uint32_t first, std::uint32_t second,
                          int index) {
    Bytes b(40, 0);
    put32le(b, 0, 40);
    put32le(b, 4, static_cast<std::uint32_t>(width));
    put32le(b, 8, static_cast<std::uint32_t>(height));
    b[12] = 1;
    b[14] = 1;
    put32le(b, 32, 2);
    for (const std::uint32_t rgb : {first, second}) {
        b.resize(b.size() + 4);
        put32le(b, b.size() - 4, rgb);
    }
    const std::size_t stride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    b.resize(b.size() + stride * static_cast<std::size_t>(height), index ? 0xFF : 0);
    return b;
}

// `file` with its preview replaced by `image`, stored under `code` (2 a
// bitmap, 6 a PNG).
inline Bytes withStoredPreview(Bytes file, int code, const Bytes& image) {
    constexpr std::array<std::uint8_t, 16> kSentinel = {0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36,
                                                        0x28, 0x28, 0x9D, 0x57, 0xCA, 0x3F,
                                                        0x9D, 0x44, 0x10, 0x2B};
    const std::size_t area = file.size();
    file.insert(file.end(), kSentinel.begin(), kSentinel.end());
    file.resize(file.size() + 4 + 1 + 9);
    file[area + 20] = 1;  // one entry
    file[area + 21] = static_cast<std::uint8_t>(code);
    const std::size_t start = file.size();
    put32le(file, area + 22, static_cast<std::uint32_t>(start));
    put32le(file, area + 26, static_cast<std::uint32_t>(image.size()));
    file.insert(file.end(), image.begin(), image.end());
    put32le(file, 0x0D, static_cast<std::uint32_t>(area));
    return file;
}

}  // namespace testsupport
