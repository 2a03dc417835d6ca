// The depth-buffered picture of a display list, without Qt: surfaces filled
// in a depth buffer, then every line, fill and text of the list drawn over
// them where no face nearer the eye hides it. Three looks, as CAD programs
// call them: wireframe (every line, nothing hidden), hidden (faces in the
// background colour, so that only the lines they do not cover show) and
// shaded with edges (faces lit by a light at the eye in their own colour,
// lines on top).
#pragma once

#include <render/DisplayList.h>
#include <render/View.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace render {

struct RasterOptions {
    VisualStyle style = VisualStyle::Shaded;
    std::uint32_t background = 0xFFFFFF;  // 0xRRGGBB
    double lineWidth = 1;                 // device pixels
    // Units of work of about the same cost each: a triangle, line or polygon
    // begun, sixteen pixels it covers. Out of work or cancelled, the picture
    // keeps what was drawn and says it is truncated.
    std::size_t maxWork = kDefaultMaxWork;
    const std::atomic<bool>* cancel = nullptr;

    static constexpr std::size_t kDefaultMaxWork = 20'000'000;
};

// Rows from the top, 0xFFRRGGBB each (the layout of Qt's Format_RGB32).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    bool truncated = false;

    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// Pictures larger than this many pixels are not made: an empty, truncated
// picture comes back instead.
inline constexpr std::size_t kMaxPicturePixels = std::size_t{1} << 24;

// The picture of `list` through `view` (whose width and height, rounded up,
// are the picture's).
Picture rasterise(const DisplayList& list, const View& view, const RasterOptions& options = {});

}  // namespace render
