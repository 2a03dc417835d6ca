// A display list seen through a view, as device-space primitives: curves
// flattened to a quarter of a device pixel, linetype dashes laid out, what
// lies outside the view left out, infinite lines clipped to it. The painter
// draws what this hands it; tests can look at it without a paint device.
#pragma once

#include <render/DisplayList.h>
#include <render/View.h>

#include <cstdint>
#include <span>

namespace render {

class DeviceSink {
  public:
    virtual ~DeviceSink() = default;
    virtual void polyline(const Colour& colour, std::span<const Vec2> points) = 0;
    // Closed rings, `ringSizes` points each; even-odd or non-zero winding.
    virtual void polygon(const Colour& colour, std::span<const Vec2> points,
                         std::span<const std::uint32_t> ringSizes, bool nonZero) = 0;
    virtual void dot(const Colour& colour, Vec2 point) = 0;
};

struct TraceOptions {
    // Device pixels per unit of the view's coordinates (high-DPI screens):
    // curves are flattened for the finer grid.
    double pixelRatio = 1;
    double tolerance = 0.25;  // device pixels
};

void traceView(const DisplayList& list, const View& view, DeviceSink& sink,
               const TraceOptions& options = {});

}  // namespace render
