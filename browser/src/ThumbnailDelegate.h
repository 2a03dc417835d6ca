// Paints one tile of the thumbnail grid: a gradient in the colour of its
// state (selected, under the mouse, disabled), the thumbnail fitted inside a
// frame of that colour, or a placeholder when the block has no picture, with
// the reason under it when one is known. A tile carries no caption; its hint
// names the block. A favourite's tile carries a filled star in its top right
// corner; the tile under the mouse or selected shows the empty star there,
// which marks it.
#pragma once

#include <QAbstractItemDelegate>

#include "browser/GridColors.h"

namespace browser {

class ThumbnailDelegate : public QAbstractItemDelegate {
    Q_OBJECT

  public:
    // colors must outlive the delegate (the grid owns both).
    ThumbnailDelegate(const GridColors& colors, QObject* parent);

    // Where a tile's image goes: inside the frame that shows its state.
    static QRect imageArea(const QRect& tile);
    // Where a tile's star is: the place a click marks or unmarks it.
    static QRect starArea(const QRect& tile);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  private:
    const GridColors& colors_;
};

}  // namespace browser
