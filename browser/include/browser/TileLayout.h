// Where the tiles of the thumbnail grid lie, in content coordinates (no
// scroll applied): a fixed number of columns of tiles of one size, kSpacing
// apart and around them; the rows follow from the number of items. Also the
// item each navigation step lands on. Arithmetic only.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

namespace browser {

struct TileLayout {
    static constexpr int kSpacing = 10;  // between tiles, both directions, and around them

    enum class Step {
        PreviousItem,
        NextItem,
        RowUp,
        RowDown,
        PageUp,
        PageDown,
        First,
        Last,
    };

    int count = 0;
    int columns = 6;  // at least one
    QSize tile{112, 83};

    int rows() const { return (count + columns - 1) / columns; }
    int rowPitch() const { return tile.height() + kSpacing; }
    int columnPitch() const { return tile.width() + kSpacing; }
    int contentHeight() const { return count == 0 ? 0 : kSpacing + rows() * rowPitch(); }
    // An invalid rectangle for an item that is not there.
    QRect tileRect(int index) const;
    // The item under a point, -1 for none (the gaps between tiles are no item's).
    int itemAt(const QPoint& point) const;
    // Whole rows that fit in a view this high, at least one.
    int itemsPerPage(int viewHeight) const;
    // The scroll that brings the item's row whole into a view this high,
    // moving as little as possible from scroll.
    int scrollToShow(int index, int scroll, int viewHeight) const;
    // The rows that a band of content from top to bottom touches, clamped to
    // the rows there are; first > last when there are none.
    std::pair<int, int> rowsBetween(int top, int bottom) const;
    // The items of the rows in view, then of one page below (the usual way
    // to scroll), then of one page above: the order their images are wanted.
    std::vector<int> itemsToLoad(int scroll, int viewHeight) const;
    // Where a step from selected (-1 for none) lands, -1 when it goes
    // nowhere. Item steps stop at the ends; page steps clamp to them; with
    // nothing selected every step lands on the first item.
    int stepTarget(Step step, int selected, int viewHeight) const;
};

}  // namespace browser
