// A tile's picture taken from the block's drawing, for a block whose
// thumbnail PNG cannot be shown (render::drawingThumbnail: the drawing's own
// preview image, or our picture of it as it was saved). Runs on the
// thumbnail workers.
#pragma once

#include <QImage>
#include <QSize>
#include <filesystem>

namespace browser {

// The picture for the block of `thumbnail` (CATEGORY/IMG/<name>.PNG), fitted
// into `target`; a null image when its drawing archive is missing or unreadable.
QImage drawingThumbnail(const std::filesystem::path& thumbnail, const QSize& target);

}  // namespace browser
