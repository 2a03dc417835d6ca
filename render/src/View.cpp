#include <render/View.h>

namespace render {
namespace {

double clampScale(double scale) {
    if (!std::isfinite(scale)) return View::kMaxScale;
    return std::clamp(scale, View::kMinScale, View::kMaxScale);
}

}  // namespace

View View::fit(const Box& world, double width, double height, double margin) {
    View view;
    view.width = width;
    view.height = height;
    if (world.empty()) return view;
    view.centre = world.centre();
    const double usableWidth = width * (1 - 2 * margin);
    const double usableHeight = height * (1 - 2 * margin);
    const double sx = world.width() > 0 ? usableWidth / world.width() : kMaxScale;
    const double sy = world.height() > 0 ? usableHeight / world.height() : kMaxScale;
    const double scale = std::min(sx, sy);
    view.scale = scale >= kMaxScale ? 1 : clampScale(scale);
    return view;
}

Box View::visibleWorld() const {
    Box box;
    box.add(toWorld({0, 0}));
    box.add(toWorld({width, height}));
    return box;
}

View View::zoomedAbout(Vec2 device, double factor) const {
    const Vec2 anchor = toWorld(device);
    View zoomed = *this;
    zoomed.scale = clampScale(scale * factor);
    // Keep `anchor` under `device`: centre = anchor - (device - middle) / scale.
    zoomed.centre = {anchor.x - (device.x - width / 2) / zoomed.scale,
                     anchor.y + (device.y - height / 2) / zoomed.scale};
    return zoomed;
}

View View::pannedBy(Vec2 delta) const {
    View panned = *this;
    panned.centre = {centre.x - delta.x / scale, centre.y + delta.y / scale};
    return panned;
}

View View::resized(double newWidth, double newHeight) const {
    View view = *this;
    view.width = newWidth;
    view.height = newHeight;
    return view;
}

}  // namespace render
