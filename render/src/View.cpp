#include <render/DisplayList.h>
#include <render/View.h>

#include <numbers>

namespace render {
namespace {

double clampScale(double scale) {
    if (!std::isfinite(scale)) return View::kMaxScale;
    return std::clamp(scale, View::kMinScale, View::kMaxScale);
}

Vec3 normalised(Vec3 v) {
    const double n = length(v);
    return n > 0 && std::isfinite(n) ? v * (1 / n) : Vec3{0, 0, 1};
}

// Directions this close to the world z axis look straight down (or up) it.
constexpr double kAlongZ = 1e-9;
// Orbiting stops this far short of looking straight down or up, where the
// picture's up would turn over.
constexpr double kPoleMargin = 1e-3;

}  // namespace

std::optional<Vec2> projectToPicture(const DisplayList& list, const Vec3& p) {
    if (!list.perspective()) return Vec2{p.x, p.y};
    const double d = list.eyeDistance;
    const double ahead = d - p.z;  // distance in front of the eye along its axis
    if (!(ahead > d * kNearShare)) return std::nullopt;
    return Vec2{p.x * d / ahead, p.y * d / ahead};
}

Transform Projection::worldToView() const {
    const Vec3 eye = normalised(direction);
    // The picture's x axis is level (in the world xy plane), so that world z
    // shows upwards; looking along z, it is the world x axis.
    const bool alongZ = std::hypot(eye.x, eye.y) < kAlongZ;
    const Vec3 level = alongZ ? Vec3{1, 0, 0} : normalised(cross({0, 0, 1}, eye));
    const Vec3 up = cross(eye, level);
    const double c = std::cos(twist), s = std::sin(twist);
    const Vec3 x = level * c - up * s;
    const Vec3 y = level * s + up * c;
    // Rows x, y, eye: the inverse of the orthonormal frame they make.
    const Transform rotation =
        Transform::fromBasis({}, {x.x, y.x, eye.x}, {x.y, y.y, eye.y}, {x.z, y.z, eye.z});
    return rotation * Transform::translation(target * -1);
}

Projection Projection::orbited(double yaw, double pitch) const {
    const Vec3 eye = normalised(direction);
    const double level = std::hypot(eye.x, eye.y);
    // Straight down, the picture's x axis is the world x axis: the eye is
    // where it would be after coming over the top from the front.
    const double azimuth = level < kAlongZ ? -std::numbers::pi / 2 : std::atan2(eye.y, eye.x);
    const double limit = std::numbers::pi / 2 - kPoleMargin;
    const double elevation = std::clamp(std::atan2(eye.z, level) + pitch, -limit, limit);
    Projection turned = *this;
    const double a = azimuth + yaw;
    turned.direction = {std::cos(elevation) * std::cos(a), std::cos(elevation) * std::sin(a),
                        std::sin(elevation)};
    return turned;
}

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
