// The compression of R2007 (AC1021) files: the file header, the system pages
// and the data pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dwg::container {

// Decodes `compressed` into `expanded` and returns how many bytes it wrote. A
// stream that would write past the end of `expanded`, reads past its own end or
// copies from before the start of the output throws.
std::size_t decompressR2007(std::span<const std::uint8_t> compressed,
                            std::span<std::uint8_t> expanded);

// The same into exactly `expandedSize` bytes; a stream that ends early leaves the rest zero.
std::vector<std::uint8_t> decompressR2007(std::span<const std::uint8_t> compressed,
                                          std::size_t expandedSize);

}  // namespace dwg::container
