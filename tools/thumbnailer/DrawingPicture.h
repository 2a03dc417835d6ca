// The picture a file manager shows for a DWG file, without Qt: what the
// Linux thumbnailer and the Windows thumbnail provider both draw, the
// drawing's thumbnail (render/Thumbnail.h) within the bounds of a program
// that runs inside a file manager.
#pragma once

#include <render/Raster.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace thumbnailer {

// What one picture may take, whatever the file holds.
struct PictureLimits {
    // Larger files are not looked at: a thumbnail is not worth reading them.
    std::size_t maxFileBytes = std::size_t{32} << 20;
    // Larger files are shown by their stored preview alone, never read whole:
    // reading a drawing takes up to 64 MiB and 40 times the file's size.
    std::size_t maxDrawnFileBytes = std::size_t{4} << 20;
    // The display list's memory and the builder's work.
    std::size_t maxListBytes = std::size_t{64} << 20;
    std::size_t maxBuildWork = 10'000'000;
};

// Sides asked for outside this range are brought into it.
inline constexpr int kMinSide = 16;
inline constexpr int kMaxSide = 1024;

// The picture of the drawing in `file`, at most side x side pixels: the
// preview image the CAD program stored in it where it is usable (never
// enlarged), else the drawing's model space drawn on white in its saved
// view and visual style, side x side. Empty when the file is too large, no
// drawing we can read, or draws nothing. `cancel`, once true, cuts the
// drawing short (an empty picture comes back). Never throws.
render::Picture drawingPicture(std::span<const std::uint8_t> file, int side,
                               const std::atomic<bool>* cancel = nullptr,
                               const PictureLimits& limits = {});

}  // namespace thumbnailer
