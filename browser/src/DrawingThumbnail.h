// A tile's picture taken from a block's drawing (render::drawingThumbnail:
// the drawing's own preview image where it has a usable one, or our picture
// of it as it was saved). Runs on the thumbnail workers.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <span>

#include "library/BlockSource.h"

namespace browser {

struct DrawingPicture {
    QImage image;  // null when there is none
    QString error;  // then why, in Portuguese
};

// The picture of a drawing's bytes fitted into target. Hostile bytes give a
// null image and a reason, never an exception.
DrawingPicture drawingPicture(std::span<const std::uint8_t> drawing, const QSize& target);

// The picture of a publisher's block whose thumbnail PNG cannot be shown, from
// its archived drawing; a null image when the archive is missing or unreadable.
QImage drawingThumbnail(const library::Block& block, const QSize& target);

}  // namespace browser
