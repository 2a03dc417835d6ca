#include "Pictures.h"

#include <dwg/Error.h>
#include <dwg/Preview.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace thumbnailer {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

int red(std::uint32_t p) { return int((p >> 16) & 0xFF); }
int green(std::uint32_t p) { return int((p >> 8) & 0xFF); }
int blue(std::uint32_t p) { return int(p & 0xFF); }
int grey(std::uint32_t p) { return (red(p) * 11 + green(p) * 16 + blue(p) * 5) / 32; }
std::uint32_t rgb(int r, int g, int b) {
    return kOpaque | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
}

bool near(std::uint32_t a, std::uint32_t b) {
    return std::abs(red(a) - red(b)) + std::abs(green(a) - green(b)) +
               std::abs(blue(a) - blue(b)) <=
           24;
}

// The most common colour, counted over at most about 64 Ki pixels spread
// evenly: enough to tell a background, cheap for the largest picture.
std::uint32_t background(const render::Picture& picture) {
    const std::size_t count = picture.pixels.size();
    const std::size_t step = std::max<std::size_t>(1, count / 65536);
    std::unordered_map<std::uint32_t, std::size_t> counts;
    for (std::size_t i = 0; i < count; i += step) ++counts[picture.pixels[i] | kOpaque];
    std::uint32_t most = kWhite;
    std::size_t mostCount = 0;
    for (const auto& [colour, n] : counts)
        if (n > mostCount || (n == mostCount && colour < most)) {
            most = colour;
            mostCount = n;
        }
    return most;
}

std::uint32_t littleEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

}  // namespace

render::Picture decodePng(std::span<const std::uint8_t> png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png.empty() || !png_image_begin_read_from_memory(&image, png.data(), png.size())) {
        png_image_free(&image);
        return {};
    }
    const std::size_t pixels = std::size_t(image.width) * std::size_t(image.height);
    if (pixels == 0 || pixels > kMaxStoredImagePixels) {
        png_image_free(&image);
        return {};
    }
    // Three bytes a pixel, transparency laid on white by libpng.
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rows(pixels * 3);
    const png_color white{255, 255, 255};
    if (!png_image_finish_read(&image, &white, rows.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    render::Picture picture;
    picture.width = int(image.width);
    picture.height = int(image.height);
    picture.pixels.resize(pixels);
    for (std::size_t i = 0; i < pixels; ++i)
        picture.pixels[i] = rgb(rows[3 * i], rows[3 * i + 1], rows[3 * i + 2]);
    return picture;
}

render::Picture decodeStoredBitmap(std::span<const std::uint8_t> bitmap) {
    // The header's own width and height are checked before anything is made.
    if (bitmap.size() < 12) return {};
    const auto width = static_cast<std::int32_t>(littleEndian32(bitmap, 4));
    const auto height = static_cast<std::int32_t>(littleEndian32(bitmap, 8));
    const std::int64_t side = std::abs(std::int64_t(height));
    if (width <= 0 || side == 0 || std::uint64_t(width) * std::uint64_t(side) > kMaxStoredImagePixels)
        return {};
    try {
        const dwg::Raster raster = dwg::decodeBitmap(bitmap);
        render::Picture picture;
        picture.width = raster.width;
        picture.height = raster.height;
        picture.pixels.reserve(raster.pixels.size());
        for (const std::uint32_t p : raster.pixels) picture.pixels.push_back(kOpaque | p);
        return picture;
    } catch (const dwg::Error&) {
        return {};
    }
}

void putOnWhite(render::Picture& picture) {
    if (picture.pixels.empty()) return;
    const std::uint32_t back = background(picture);
    if (grey(back) >= 128) return;  // already light
    for (std::uint32_t& p : picture.pixels) {
        const int spread = std::max({red(p), green(p), blue(p)}) - std::min({red(p), green(p), blue(p)});
        if (near(p, back)) {
            p = kWhite;
        } else if (spread < 24) {
            const int g = 255 - grey(p);
            p = rgb(g, g, g);
        }
    }
}

bool hasInk(const render::Picture& picture) {
    if (picture.pixels.empty()) return false;
    const std::uint32_t back = background(picture);
    return std::any_of(picture.pixels.begin(), picture.pixels.end(),
                       [back](std::uint32_t p) { return !near(p | kOpaque, back); });
}

render::Picture fitted(const render::Picture& picture, int side) {
    if (side <= 0 || picture.width <= 0 || picture.height <= 0) return {};
    if (picture.width <= side && picture.height <= side) return picture;
    const double factor = double(side) / double(std::max(picture.width, picture.height));
    render::Picture out;
    out.width = std::clamp(int(picture.width * factor + 0.5), 1, side);
    out.height = std::clamp(int(picture.height * factor + 0.5), 1, side);
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height));
    // Each new pixel averages the source rectangle it covers (whole source
    // pixels, at least one): lines stay visible, as greys, when shrunk.
    for (int y = 0; y < out.height; ++y) {
        const int top = int(std::int64_t(y) * picture.height / out.height);
        const int bottom = std::max(top + 1, int(std::int64_t(y + 1) * picture.height / out.height));
        for (int x = 0; x < out.width; ++x) {
            const int left = int(std::int64_t(x) * picture.width / out.width);
            const int right = std::max(left + 1, int(std::int64_t(x + 1) * picture.width / out.width));
            std::uint64_t r = 0, g = 0, b = 0;
            for (int sy = top; sy < bottom; ++sy)
                for (int sx = left; sx < right; ++sx) {
                    const std::uint32_t p = picture.at(sx, sy);
                    r += std::uint64_t(red(p));
                    g += std::uint64_t(green(p));
                    b += std::uint64_t(blue(p));
                }
            const std::uint64_t n = std::uint64_t(bottom - top) * std::uint64_t(right - left);
            out.pixels[std::size_t(y) * std::size_t(out.width) + std::size_t(x)] =
                rgb(int(r / n), int(g / n), int(b / n));
        }
    }
    return out;
}

}  // namespace thumbnailer
