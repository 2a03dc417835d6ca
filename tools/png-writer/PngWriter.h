// 8-bit RGB PNG files from 32-bit pixels, for the command-line tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace pngwriter {

// Receives the file's bytes as libpng makes them.
using Sink = std::function<void(const unsigned char* data, std::size_t size)>;

// Pixels are words 0x??RRGGBB (the top byte is ignored), rows `stride`
// words apart. One row filter and light compression: fast, for files still
// of tens of kilobytes. False when libpng fails.
bool writeRgbPng(const std::uint32_t* pixels, int width, int height, std::size_t stride,
                 const Sink& sink);

}  // namespace pngwriter
