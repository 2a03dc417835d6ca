// The 256-entry colour index palette.
#pragma once

#include <cstdint>

namespace render::detail {

// 0xRRGGBB of colour index 1..255; index 7 is white here, the foreground
// choice is the caller's.
std::uint32_t paletteColour(int index);

}  // namespace render::detail
