// Which part of the world a device rectangle shows: the world point at its
// centre and the number of device pixels per world unit. Device y grows
// downwards, world y upwards.
#pragma once

#include <render/Geometry.h>

namespace render {

// Which way the drawing is looked at, as a parallel projection: from the side
// `direction` points to, towards `target`, the picture turned `twist` radians
// counter-clockwise. World z shows upwards unless the view looks along it.
// The builder maps every point through worldToView() and draws view x and y;
// view z (towards the eye) is the depth that hidden lines and shading need.
// A perspective view puts the eye `eyeDistance` from the target along
// `direction`; its lens length (in millimetres of a 35 mm camera) says how
// wide it sees. A parallel view has eyeDistance 0.
struct Projection {
    Vec3 direction{0, 0, 1};
    double twist = 0;
    Vec3 target;
    double eyeDistance = 0;
    double lensLength = 50;

    bool operator==(const Projection&) const = default;
    bool perspective() const { return eyeDistance > 0; }
    // The same direction, seen from infinitely far.
    Projection parallel() const {
        Projection p = *this;
        p.eyeDistance = 0;
        return p;
    }

    // World to view: x right, y up, z towards the eye, the target at the origin.
    Transform worldToView() const;

    static Projection looking(Vec3 direction) { return {direction, 0, {}}; }
    static Projection top() { return {}; }
    static Projection front() { return looking({0, -1, 0}); }
    static Projection right() { return looking({1, 0, 0}); }
    static Projection southWest() { return looking({-1, -1, 1}); }
    static Projection southEast() { return looking({1, -1, 1}); }
    static Projection northEast() { return looking({1, 1, 1}); }
    static Projection northWest() { return looking({-1, 1, 1}); }

    // Turned as a drag turns a model: `yaw` radians about the world z axis,
    // the eye raised `pitch` radians, never over the top or under the bottom.
    Projection orbited(double yaw, double pitch) const;
};

// How 3D objects look: every line, nothing hidden (the look of a 2D
// drawing); lines, with what faces hide left out; or faces lit by a light at
// the eye in their own colours, with their lines on top.
enum class VisualStyle : std::uint8_t { Wireframe, Hidden, Shaded };

struct View {
    Vec2 centre;
    double scale = 1;  // device pixels per world unit
    double width = 0;  // device rectangle, pixels
    double height = 0;

    // Shows `world` whole in a width x height rectangle, centred, leaving
    // `margin` (a fraction of each side) free around it. An empty box gives
    // scale 1 around the origin; a single point, scale 1 around the point.
    static View fit(const Box& world, double width, double height, double margin = 0.02);

    Vec2 toDevice(Vec2 world) const {
        return {width / 2 + (world.x - centre.x) * scale,
                height / 2 - (world.y - centre.y) * scale};
    }
    Vec2 toWorld(Vec2 device) const {
        return {centre.x + (device.x - width / 2) / scale,
                centre.y - (device.y - height / 2) / scale};
    }
    Box visibleWorld() const;

    // Zoomed by `factor` (> 1 closer) keeping the world point under `device`
    // where it is, as a wheel step about the cursor does.
    View zoomedAbout(Vec2 device, double factor) const;
    // Moved so that the drawing follows a drag of `delta` device pixels.
    View pannedBy(Vec2 delta) const;
    // Same centre and scale in a resized rectangle.
    View resized(double newWidth, double newHeight) const;

    // Scales outside this range lose precision or show nothing useful.
    static constexpr double kMinScale = 1e-12;
    static constexpr double kMaxScale = 1e12;
};

}  // namespace render
