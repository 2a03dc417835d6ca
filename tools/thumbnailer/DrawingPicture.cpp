#include "DrawingPicture.h"

#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <render/Build.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>

#include "Pictures.h"

namespace thumbnailer {
namespace {

constexpr double kMargin = 0.04;  // as the library's own thumbnails

// Stored previews smaller than this are a placeholder, not a picture.
constexpr int kMinPreviewSide = 16;

render::Picture storedPreview(std::span<const std::uint8_t> file, int side) {
    std::optional<dwg::PreviewImage> preview;
    try {
        preview = dwg::readPreview(file);
    } catch (const dwg::Error&) {
        return {};  // a damaged image area leaves the drawing to be drawn
    }
    if (!preview) return {};
    render::Picture picture = preview->format == dwg::PreviewImage::Format::Png
                                  ? decodePng(preview->bytes)
                                  : decodeStoredBitmap(preview->bytes);
    if (picture.width < kMinPreviewSide || picture.height < kMinPreviewSide) return {};
    putOnWhite(picture);
    if (!hasInk(picture)) return {};  // some programs store a blank one
    return fitted(picture, side);
}

// The window the drawing was saved showing, in the list's view coordinates,
// when it shows part of what the list holds.
std::optional<render::Box> savedWindow(const dwg::Drawing& drawing,
                                       const render::DisplayList& list) {
    if (!drawing.activeView) return std::nullopt;
    const dwg::SavedView& saved = *drawing.activeView;
    const double height = saved.height;
    const double width = saved.height * saved.aspect;
    if (!(height > 0) || !(width > 0) || !std::isfinite(width) || !std::isfinite(height) ||
        !std::isfinite(saved.centre.x) || !std::isfinite(saved.centre.y))
        return std::nullopt;
    render::Box window;
    window.add(render::Vec2{saved.centre.x - width / 2, saved.centre.y - height / 2});
    window.add(render::Vec2{saved.centre.x + width / 2, saved.centre.y + height / 2});
    const render::Box& extents = list.extents;
    if (extents.empty() || window.maxX < extents.minX || window.minX > extents.maxX ||
        window.maxY < extents.minY || window.minY > extents.maxY)
        return std::nullopt;
    return window;
}

render::Picture drawn(std::span<const std::uint8_t> file, int side,
                      const std::atomic<bool>* cancel, const PictureLimits& limits) {
    const dwg::Drawing drawing = dwg::read(file);
    if (cancel && cancel->load()) return {};
    render::BuildOptions options;
    options.projection = render::savedProjection(drawing);
    options.limits.maxBytes = limits.maxListBytes;
    options.limits.maxWork = limits.maxBuildWork;
    options.cancel = cancel;
    const render::DisplayList list = render::buildModelSpace(drawing, options);
    if (list.empty() || list.report.cancelled) return {};

    const std::optional<render::Box> window = savedWindow(drawing, list);
    const render::Box world = window.value_or(list.extents);
    const double worldWidth = world.width();
    const double worldHeight = world.height();
    int width = side, height = side;
    if (worldWidth > worldHeight && worldWidth > 0)
        height = std::clamp(int(std::lround(side * worldHeight / worldWidth)), 1, side);
    else if (worldHeight > 0)
        width = std::clamp(int(std::lround(side * worldWidth / worldHeight)), 1, side);
    const render::View view = render::View::fit(world, width, height, window ? 0.0 : kMargin);

    render::RasterOptions raster;
    raster.style = render::savedVisualStyle(drawing);
    raster.maxWork = limits.maxRasterWork;
    raster.cancel = cancel;
    render::Picture picture = render::rasterise(list, view, raster);
    if (cancel && cancel->load()) return {};
    return picture;
}

}  // namespace

render::Picture drawingPicture(std::span<const std::uint8_t> file, int side,
                               const std::atomic<bool>* cancel, const PictureLimits& limits) {
    side = std::clamp(side, kMinSide, kMaxSide);
    if (file.size() > limits.maxFileBytes) return {};
    try {
        render::Picture picture = storedPreview(file, side);
        if (!picture.pixels.empty() || file.size() > limits.maxDrawnFileBytes) return picture;
        if (cancel && cancel->load()) return {};
        return drawn(file, side, cancel, limits);
    } catch (const dwg::Error&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace thumbnailer
