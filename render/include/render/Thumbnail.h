// The picture of a drawing for a tile of the grid or a file manager, without
// Qt: the preview image the CAD program stored in the drawing where it has a
// usable one, else our own picture of the drawing in the view and visual
// style it was saved in, on white as the library's thumbnails are. Memory
// and work are bounded whatever the file holds: a preview image of more than
// dwg::kMaxPreviewPixels pixels is not decoded (the drawing is drawn
// instead), a larger one is shrunk row by row as it is decoded, and the
// reading, building and drawing keep their budgets.
#pragma once

#include <render/Build.h>
#include <render/Raster.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace render {

struct ThumbnailOptions {
    // The list of a drawing drawn for a thumbnail takes at most this memory:
    // two workers make tiles at once.
    BuildLimits limits = [] {
        BuildLimits limits;
        limits.maxBytes = 64u << 20;
        return limits;
    }();
    double margin = 0.04;  // around a drawing drawn whole, as the library's thumbnails
    // Once it holds true the work stops and the result is an error.
    const std::atomic<bool>* cancel = nullptr;
};

struct Thumbnail {
    enum class Source : std::uint8_t {
        None,     // no picture: see error
        Preview,  // the drawing's own preview image
        Drawn,    // drawn by us from the drawing
    };
    // At most the size asked for, in the picture's own proportions for a
    // preview image (never enlarged), exactly that size when drawn.
    Picture picture;
    Source source = Source::None;
    std::string error;  // in Portuguese, when there is no picture

    bool ok() const { return source != Source::None; }
};

// Pictures asked larger than this a side are refused.
inline constexpr int kMaxThumbnailSide = 4096;

// The picture of the drawing held in `drawing` (a DWG file's bytes), fitted
// into width x height. Never throws: every failure is a Thumbnail without a
// picture and with a message.
Thumbnail drawingThumbnail(std::span<const std::uint8_t> drawing, int width, int height,
                           const ThumbnailOptions& options = {}) noexcept;
// The same of a DWG file on disk.
Thumbnail drawingThumbnail(const std::filesystem::path& file, int width, int height,
                           const ThumbnailOptions& options = {}) noexcept;

}  // namespace render
