#include "DrawingPicture.h"

#include <render/Thumbnail.h>

#include <algorithm>

namespace thumbnailer {

render::Picture drawingPicture(std::span<const std::uint8_t> file, int side,
                               const std::atomic<bool>* cancel, const PictureLimits& limits) {
    side = std::clamp(side, kMinSide, kMaxSide);
    if (file.size() > limits.maxFileBytes) return {};
    render::ThumbnailOptions options;
    options.limits.maxBytes = limits.maxListBytes;
    options.limits.maxWork = limits.maxBuildWork;
    options.cancel = cancel;
    // A file too large to be read whole is cancelled from the start: the
    // thumbnail then gives its stored preview, and stops where it would
    // begin to read the drawing.
    static const std::atomic<bool> alreadyCancelled{true};
    if (file.size() > limits.maxDrawnFileBytes) options.cancel = &alreadyCancelled;
    render::Thumbnail thumbnail = render::drawingThumbnail(file, side, side, options);
    if (!thumbnail.ok() || (cancel && cancel->load())) return {};
    return std::move(thumbnail.picture);
}

}  // namespace thumbnailer
