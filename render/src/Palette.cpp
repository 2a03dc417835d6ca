#include "Palette.h"

#include <dwg/IndexColours.h>

namespace render::detail {

std::uint32_t paletteColour(int index) {
    return dwg::indexColourRgb(index);
}

}  // namespace render::detail
