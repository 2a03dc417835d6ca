// A block's thumbnail as the grid shows it: the drawing's model space, seen
// from its saved direction (a 3D block as its author left it, shaded),
// fitted into a landscape tile (width over height the square root of two) on
// white, without the block's name.
#pragma once

#include <dwg/Drawing.h>

#include <cstdint>
#include <vector>

namespace pack {

inline constexpr int kThumbnailWidth = 400;
inline constexpr int kThumbnailHeight = 283;

// PNG bytes; throws std::runtime_error when the image cannot be encoded.
std::vector<std::uint8_t> renderThumbnail(const dwg::Drawing& drawing);

}  // namespace pack
