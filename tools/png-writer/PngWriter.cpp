#include "PngWriter.h"

#include <png.h>

#include <bit>
#include <csetjmp>

namespace pngwriter {
namespace {

void toSink(png_structp png, png_bytep data, std::size_t size) {
    (*static_cast<const Sink*>(png_get_io_ptr(png)))(data, size);
}

void flushNothing(png_structp) {}

}  // namespace

bool writeRgbPng(const std::uint32_t* pixels, int width, int height, std::size_t stride,
                 const Sink& sink) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    // libpng reports its errors by jumping back here.
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, const_cast<Sink*>(&sink), toSink, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    // The words are B, G, R, top byte in memory on a little-endian machine.
    if constexpr (std::endian::native == std::endian::little) {
        png_set_filler(png, 0, PNG_FILLER_AFTER);
        png_set_bgr(png);
    } else {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < height; ++y)
        png_write_row(
            png, reinterpret_cast<png_const_bytep>(pixels + static_cast<std::size_t>(y) * stride));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace pngwriter
