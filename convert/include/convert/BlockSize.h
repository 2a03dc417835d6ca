// How large a block is in its own units: what its model space draws,
// measured along x (width), y (depth) and z (height), as the status line of
// the preview and the tile's hint say it: "120 × 60 × 75 cm".
#pragma once

#include <dwg/Drawing.h>
#include <render/DisplayList.h>

#include <atomic>
#include <optional>
#include <string>

namespace render {
class SolidCache;
}

namespace convert {

struct BlockSize {
    double width = 0;
    double depth = 0;
    double height = 0;
    int insertionUnits = 0;  // the drawing's INSUNITS

    bool operator==(const BlockSize&) const = default;
};

// None when model space draws nothing (or only infinite lines). `solids`,
// when given, is the drawing's cache of decoded bodies.
std::optional<BlockSize> blockSize(const dwg::Drawing& drawing,
                                   render::SolidCache* solids = nullptr,
                                   const std::atomic<bool>* cancel = nullptr);

// The same, of a model space already built in plan view (Projection::top()).
std::optional<BlockSize> blockSizeOfPlan(const render::DisplayList& plan, int insertionUnits);

// "120 × 60 × 75 cm": up to one decimal below a hundred, a decimal comma, the
// height left out of a flat drawing; "… (bloco sem unidades)" for a drawing
// whose INSUNITS is no unit of length.
std::string blockSizeText(const BlockSize& size);

}  // namespace convert
