#include "convert/BlockSize.h"

#include <dwg/Scale.h>
#include <render/Build.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace convert {
namespace {

std::string number(double value) {
    char text[64];
    if (std::fabs(value) >= 100 || value == std::round(value)) {
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string shown = text;
    if (shown.ends_with(".0")) shown.resize(shown.size() - 2);
    for (char& c : shown)
        if (c == '.') c = ',';
    if (shown == "0" && value > 0) return "< 0,1";
    return shown;
}

}  // namespace

std::optional<BlockSize> blockSize(const dwg::Drawing& drawing, render::SolidCache* solids,
                                   const std::atomic<bool>* cancel) {
    render::BuildOptions options;
    options.projection = render::Projection::top();  // view x, y and depth are world x, y, z
    options.solids = solids;
    options.cancel = cancel;
    return blockSizeOfPlan(render::buildModelSpace(drawing, options),
                           drawing.header.insertionUnits);
}

std::optional<BlockSize> blockSizeOfPlan(const render::DisplayList& list, int insertionUnits) {
    if (list.extents.empty() || !std::isfinite(list.extents.width()) ||
        !std::isfinite(list.extents.height()))
        return std::nullopt;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const render::Item& item : list.items) {
        if (item.kind == render::Item::Kind::InfiniteLine) continue;
        low = std::min(low, item.minDepth);
        high = std::max(high, item.maxDepth);
    }
    for (const render::Surface& surface : list.surfaces) {
        low = std::min(low, surface.minDepth);
        high = std::max(high, surface.maxDepth);
    }
    const double height = high >= low && std::isfinite(high - low) ? high - low : 0;
    return BlockSize{list.extents.width(), list.extents.height(), height, insertionUnits};
}

std::string blockSizeText(const BlockSize& size) {
    // A flat drawing says two numbers, as its author drew it.
    std::string dimensions = number(size.width) + " × " + number(size.depth);
    if (size.height > 0) dimensions += " × " + number(size.height);
    if (!dwg::metresPerUnit(size.insertionUnits)) return dimensions + " (bloco sem unidades)";
    return dimensions + " " + std::string(dwg::unitSymbol(size.insertionUnits));
}

}  // namespace convert
