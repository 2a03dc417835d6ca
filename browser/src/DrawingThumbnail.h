// A tile's picture taken from a block's drawing: the preview image the CAD
// program stored in the drawing where it has a usable one, or else our own
// render of its model space as it was saved (its view direction and visual
// style), on white as the library's thumbnails are. Runs on the thumbnail
// workers.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <span>

#include "library/BlockSource.h"

namespace browser {

// How a drawing's own preview image is shown: turned to ink on white, as the
// library's thumbnails beside it are drawn, or as the CAD program saved it.
enum class PreviewLook { OnWhite, AsSaved };

// The picture of a drawing's bytes fitted to target; a null image when the
// drawing has neither a usable preview nor anything our renderer can draw.
// Hostile bytes give a null image, never an exception.
QImage drawingPicture(std::span<const std::uint8_t> drawing, const QSize& target,
                      PreviewLook look);

// The picture of a publisher's block whose thumbnail PNG cannot be shown, from
// its archived drawing; a null image when the archive is missing or unreadable.
QImage drawingThumbnail(const library::Block& block, const QSize& target);

// A preview drawn on the CAD program's dark screen, shown on white: the
// background colour becomes white, and greys (colour 7 and its dimmed
// shades) turn dark, as the renderer draws colour 7 on white.
QImage onWhite(const QImage& preview);

}  // namespace browser
