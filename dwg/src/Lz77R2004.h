// The LZ77 variant that compresses the pages of R2004, R2010, R2013 and R2018
// files (system pages and data pages alike).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dwg::container {

// Decodes `compressed` into exactly `expandedSize` bytes. A stream that would
// write past `expandedSize`, reads past its end or copies from before the start
// of the output throws. A stream that ends early leaves the rest zero.
std::vector<std::uint8_t> decompressLz77R2004(std::span<const std::uint8_t> compressed,
                                              std::size_t expandedSize);

}  // namespace dwg::container
