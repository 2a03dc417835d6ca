#include "PreviewImage.h"

#include <render/Build.h>
#include <render/Raster.h>

#include <algorithm>
#include <cmath>

namespace convert {
namespace {

// As large as the pictures AutoCAD stores, on its dark model-space ground.
constexpr int kLongSide = 256;
constexpr std::uint32_t kBackground = 0x212830;

}  // namespace

std::optional<dwg::Raster> previewImage(const dwg::Drawing& drawing,
                                        const std::atomic<bool>* cancel) {
    render::BuildOptions build;
    build.projection = render::savedProjection(drawing);
    build.cancel = cancel;
    const render::DisplayList list = render::buildModelSpace(drawing, build);
    if (list.extents.empty() || !std::isfinite(list.extents.width()) ||
        !std::isfinite(list.extents.height()))
        return std::nullopt;
    const double aspect =
        list.extents.height() > 0 ? list.extents.width() / list.extents.height() : 1;
    const int width = aspect >= 1 ? kLongSide : std::max(1, static_cast<int>(kLongSide * aspect));
    const int height = aspect >= 1 ? std::max(1, static_cast<int>(kLongSide / aspect)) : kLongSide;
    render::RasterOptions options;
    options.style = render::savedVisualStyle(drawing);
    options.background = kBackground;
    options.cancel = cancel;
    const render::Picture picture =
        render::rasterise(list, render::View::fit(list.extents, width, height), options);
    if (picture.width <= 0 || picture.height <= 0) return std::nullopt;
    dwg::Raster raster;
    raster.width = picture.width;
    raster.height = picture.height;
    raster.pixels.reserve(picture.pixels.size());
    for (std::uint32_t pixel : picture.pixels) raster.pixels.push_back(pixel & 0xFFFFFF);
    return raster;
}

}  // namespace convert
