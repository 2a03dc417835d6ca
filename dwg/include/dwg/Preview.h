// The small picture of its saved view that a CAD program stores in a DWG file
// when it writes it, read without decoding the drawing itself.
#pragma once

#include <dwg/Error.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace dwg {

struct PreviewImage {
    enum class Format {
        Bitmap,  // a device-independent bitmap: BITMAPINFOHEADER, palette, rows (to R2010)
        Png,     // a whole PNG file (from R2013)
    };
    Format format = Format::Bitmap;
    std::vector<std::uint8_t> bytes;
};

// The file's preview image; nothing when the file stores none. Throws
// dwg::Error when the file is no DWG, or its image area is damaged.
std::optional<PreviewImage> readPreview(std::span<const std::uint8_t> file);
std::optional<PreviewImage> readPreview(const std::filesystem::path& path);

// Pixels as 0xRRGGBB, rows from the top.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// A preview image of more pixels than this is refused, as the grid refuses
// such a thumbnail: no tile is worth hundreds of megabytes.
inline constexpr std::int64_t kMaxPreviewPixels = std::int64_t{4096} * 4096;

struct ImageSize {
    int width = 0;
    int height = 0;

    std::int64_t pixels() const { return std::int64_t{width} * height; }
};

// The size the image's header gives, without decoding it. Throws dwg::Error
// when the header is damaged, of a kind decodeBitmap() refuses, or of more
// than kMaxPreviewPixels pixels (Error::Kind::TooLarge).
ImageSize imageSize(const PreviewImage& image);

// Decodes an uncompressed bitmap of 1, 4, 8, 24 or 32 bits per pixel, of at
// most kMaxPreviewPixels pixels. Throws dwg::Error on anything else.
Raster decodeBitmap(std::span<const std::uint8_t> bitmap);
// The same bitmap one row at a time, from the top, each row's pixels as
// 0xRRGGBB: a picture made from it need not hold the whole bitmap.
void decodeBitmapRows(std::span<const std::uint8_t> bitmap,
                      const std::function<void(std::span<const std::uint32_t>)>& row);

}  // namespace dwg
