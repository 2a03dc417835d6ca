// The LZ77 variant that compresses the pages of R2004, R2010, R2013 and R2018
// files (system pages and data pages alike).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dwg::container {

// Decodes `compressed` into `expanded` and returns how many bytes it wrote. A
// stream that would write past the end of `expanded`, reads past its own end or
// copies from before the start of the output throws.
std::size_t decompressLz77R2004(std::span<const std::uint8_t> compressed,
                                std::span<std::uint8_t> expanded);

// The same into exactly `expandedSize` bytes; a stream that ends early leaves the rest zero.
std::vector<std::uint8_t> decompressLz77R2004(std::span<const std::uint8_t> compressed,
                                              std::size_t expandedSize);

}  // namespace dwg::container
