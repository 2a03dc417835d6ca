#include "ThumbnailDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "browser/ThumbnailModel.h"

namespace browser {

namespace {

// The frame of tile colour around the image: hover and selection show there.
constexpr int kImageInset = 5;

void fillGradient(QPainter& painter, const QRect& rect, const GridColors::Fill& fill) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, fill.from);
    gradient.setColorAt(1, fill.to);
    painter.fillRect(rect, gradient);
    painter.setPen(fill.border);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

// A picture frame with a cross: the file is there but its image cannot be read.
void paintPlaceholder(QPainter& painter, const QRect& area, const QColor& color) {
    const int side = std::min(area.width(), area.height()) * 2 / 3;
    if (side < 4) return;
    QRect frame(0, 0, side, side * 3 / 4);
    frame.moveCenter(area.center());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
    const QRect cross = frame.adjusted(side / 4, side / 6, -side / 4, -side / 6);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
    painter.restore();
}

// A five-pointed star filling area.
QPolygonF starShape(const QRectF& area) {
    QPolygonF star;
    const QPointF centre = area.center();
    const double outer = std::min(area.width(), area.height()) / 2;
    const double inner = outer * 0.45;
    for (int point = 0; point < 10; ++point) {
        const double angle = -M_PI / 2 + point * M_PI / 5;
        const double radius = point % 2 == 0 ? outer : inner;
        star << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    return star;
}

void paintStar(QPainter& painter, const QRect& area, bool filled) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(filled ? QColor(150, 110, 0) : QColor(90, 90, 90), 1.2));
    painter.setBrush(filled ? QColor(255, 200, 40) : QColor(255, 255, 255, 170));
    painter.drawPolygon(starShape(QRectF(area).adjusted(1, 1, -1, -1)));
    painter.restore();
}

// The reason a tile has no picture, under its placeholder, in as many lines as fit.
void paintFailure(QPainter& painter, const QRect& area, const QString& text, const QColor& color) {
    QFont font = painter.font();
    font.setPixelSize(std::clamp(area.height() / 7, 8, 12));
    painter.save();
    painter.setFont(font);
    painter.setPen(color);
    const QRect lines(area.left(), area.bottom() - area.height() / 3, area.width(), area.height() / 3);
    painter.drawText(lines, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWordWrap, text);
    painter.restore();
}

}  // namespace

ThumbnailDelegate::ThumbnailDelegate(const GridColors& colors, QObject* parent)
    : QAbstractItemDelegate(parent), colors_(colors) {}

QRect ThumbnailDelegate::imageArea(const QRect& tile) {
    return tile.adjusted(kImageInset, kImageInset, -kImageInset, -kImageInset);
}

QRect ThumbnailDelegate::starArea(const QRect& tile) {
    const int side = std::clamp(tile.height() / 5, 10, 22);
    const QRect inside = imageArea(tile);
    return {inside.right() - side + 1, inside.top(), side, side};
}

void ThumbnailDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QStyle::State state = option.state;
    const GridColors::Fill& fill = !(state & QStyle::State_Enabled)  ? colors_.tileDisabled
                                   : state & QStyle::State_Selected  ? colors_.tileSelected
                                   : state & QStyle::State_MouseOver ? colors_.tileHover
                                                                     : colors_.tile;
    fillGradient(*painter, option.rect, fill);
    const QRect inside = imageArea(option.rect);
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.typeId() == QMetaType::QImage) {
        const QImage image = decoration.value<QImage>();
        // Fitted with its aspect; a crisp image is drawn pixel for pixel.
        const QSizeF shown =
            image.deviceIndependentSize().scaled(inside.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), shown);
        target.moveCenter(QRectF(inside).center());
        painter->setRenderHint(QPainter::SmoothPixmapTransform,
                               shown != image.deviceIndependentSize());
        painter->drawImage(target, image);
    } else if (index.data(ThumbnailModel::FailedRole).toBool()) {
        const QString failure = index.data(ThumbnailModel::FailureTextRole).toString();
        if (failure.isEmpty()) {
            paintPlaceholder(*painter, inside, fill.border);
        } else {
            paintPlaceholder(*painter, inside.adjusted(0, 0, 0, -inside.height() / 3),
                             fill.border);
            paintFailure(*painter, inside, failure, fill.border.darker(160));
        }
    }
    const bool favourite = index.data(ThumbnailModel::FavouriteRole).toBool();
    if (favourite || (state & (QStyle::State_MouseOver | QStyle::State_Selected)))
        paintStar(*painter, starArea(option.rect), favourite);
}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    // The grid sets every tile's size itself.
    return option.rect.size();
}

bool ThumbnailDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip)
        return QAbstractItemDelegate::helpEvent(event, view, option, index);
    if (!index.isValid()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    // Shown while the mouse stays over the tile.
    QToolTip::showText(event->globalPos(), index.data(Qt::ToolTipRole).toString(), view->viewport(),
                       option.rect);
    return true;
}

}  // namespace browser
