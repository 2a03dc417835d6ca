// A display list seen through a view, as device-space primitives: curves
// flattened to a quarter of a device pixel, linetype dashes laid out, what
// lies outside the view left out, infinite lines clipped to it, everything
// through the eye when the list is a perspective view. The painter and the
// rasteriser draw what this hands them; tests can look at it without a
// paint device.
#pragma once

#include <render/DisplayList.h>
#include <render/View.h>

#include <cstdint>
#include <optional>
#include <span>

namespace render {

class DeviceSink {
  public:
    virtual ~DeviceSink() = default;
    // `depths` holds the depth of each point when TraceOptions::depths asks
    // for them, else it is empty (and `depth` 0).
    virtual void polyline(const Colour& colour, std::span<const Vec2> points,
                          std::span<const double> depths) = 0;
    // Closed rings, `ringSizes` points each; even-odd or non-zero winding.
    virtual void polygon(const Colour& colour, std::span<const Vec2> points,
                         std::span<const double> depths, std::span<const std::uint32_t> ringSizes,
                         bool nonZero) = 0;
    virtual void dot(const Colour& colour, Vec2 point, double depth) = 0;
};

struct TraceOptions {
    // Device pixels per unit of the view's coordinates (high-DPI screens):
    // curves are flattened for the finer grid.
    double pixelRatio = 1;
    double tolerance = 0.25;  // device pixels
    // Hand the sink each point's depth, bigger nearer the eye: in a parallel
    // view its z, in a perspective one the inverse of its distance in front
    // of the eye; either runs evenly across the picture along any line or
    // plane, as a depth buffer needs.
    bool depths = false;
    // The colour of the lines of surfaces (Item::surfaceEdge), in place of
    // their own.
    std::optional<Colour> surfaceEdgeColour;
};

void traceView(const DisplayList& list, const View& view, DeviceSink& sink,
               const TraceOptions& options = {});

// Where a point of the list lands on the device and its depth as
// TraceOptions::depths gives it; none behind the eye's near limit.
struct DevicePoint {
    Vec2 at;
    double depth = 0;
};
std::optional<DevicePoint> toDevice(const DisplayList& list, const View& view, const Vec3& p);

}  // namespace render
