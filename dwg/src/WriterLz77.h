#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace dwg::detail {

// `data` (at least four bytes) as the LZ77 stream of R2004-family pages.
std::vector<std::uint8_t> compressLz77R2004(std::span<const std::uint8_t> data);

}  // namespace dwg::detail
