// The small picture of its saved view that a CAD program stores in a DWG file
// when it writes it, read without decoding the drawing itself.
#pragma once

#include <dwg/Error.h>

#include <cstdint>
#include <filesystem>
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

// Decodes an uncompressed bitmap of 1, 4, 8, 24 or 32 bits per pixel, at most
// kMaxBitmapSide pixels a side. Throws dwg::Error on anything else.
inline constexpr int kMaxBitmapSide = 8192;
Raster decodeBitmap(std::span<const std::uint8_t> bitmap);

}  // namespace dwg
