// A tile's picture taken from the block's drawing, for a block whose
// thumbnail PNG cannot be shown: the preview image the CAD program stored in
// the drawing, or else our own render of its model space seen from its saved
// direction, on white as the library's thumbnails are. Runs on the thumbnail
// workers.
#pragma once

#include <QImage>
#include <QSize>
#include <filesystem>

namespace browser {

// The picture for the block of `thumbnail` (CATEGORY/IMG/<name>.PNG), fitted
// to `target`; a null image when its drawing archive is missing or unreadable.
QImage drawingThumbnail(const std::filesystem::path& thumbnail, const QSize& target);

// A preview drawn on the CAD program's dark screen, shown on white: the
// background colour becomes white, and greys (colour 7 and its dimmed
// shades) turn dark, as the renderer draws colour 7 on white.
QImage onWhite(const QImage& preview);

}  // namespace browser
