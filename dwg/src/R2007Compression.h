// The compression of R2007 (AC1021) files: the file header, the system pages
// and the data pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dwg::container {

// Decodes `compressed` into exactly `expandedSize` bytes. A stream that would
// write past `expandedSize`, reads past its end or copies from before the start
// of the output throws. A stream that ends early leaves the rest zero.
std::vector<std::uint8_t> decompressR2007(std::span<const std::uint8_t> compressed,
                                          std::size_t expandedSize);

}  // namespace dwg::container
