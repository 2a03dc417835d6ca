// The 256-entry colour index palette (AutoCAD Color Index).
#pragma once

#include <cstdint>

namespace dwg {

// 0xRRGGBB of colour index 1..255 (index 7 is white here: the foreground
// choice is the caller's); white for any other index.
std::uint32_t indexColourRgb(int index);

// The colour index 1..255 whose colour lies nearest to 0xRRGGBB, as a
// release without RGB colours shows it.
int nearestIndexColour(std::uint32_t rgb);

}  // namespace dwg
