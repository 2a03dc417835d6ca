#include "browser/TileLayout.h"

#include <algorithm>

namespace browser {

QRect TileLayout::tileRect(int index) const {
    if (index < 0 || index >= count) return {};
    return QRect(kSpacing + (index % columns) * columnPitch(),
                 kSpacing + (index / columns) * rowPitch(), tile.width(), tile.height());
}

int TileLayout::itemAt(const QPoint& point) const {
    const int x = point.x() - kSpacing;
    const int y = point.y() - kSpacing;
    if (x < 0 || y < 0) return -1;
    if (x % columnPitch() >= tile.width() || y % rowPitch() >= tile.height()) return -1;
    const int column = x / columnPitch();
    if (column >= columns) return -1;
    const qint64 index = static_cast<qint64>(y / rowPitch()) * columns + column;
    return index < count ? static_cast<int>(index) : -1;
}

int TileLayout::itemsPerPage(int viewHeight) const {
    return std::max(1, viewHeight / rowPitch()) * columns;
}

int TileLayout::scrollToShow(int index, int scroll, int viewHeight) const {
    const QRect rect = tileRect(index);
    if (!rect.isValid()) return scroll;
    if (rect.top() - kSpacing < scroll) return rect.top() - kSpacing;
    if (rect.bottom() + 1 + kSpacing > scroll + viewHeight)
        return rect.bottom() + 1 + kSpacing - viewHeight;
    return scroll;
}

std::pair<int, int> TileLayout::rowsBetween(int top, int bottom) const {
    const int last = rows() - 1;
    if (last < 0) return {0, -1};
    return {std::clamp((top - kSpacing) / rowPitch(), 0, last),
            std::clamp((bottom - kSpacing) / rowPitch(), 0, last)};
}

std::vector<int> TileLayout::itemsToLoad(int scroll, int viewHeight) const {
    std::vector<int> items;
    if (count == 0 || viewHeight <= 0) return items;
    const auto [first, last] = rowsBetween(scroll, scroll + viewHeight);
    const int inView = last - first + 1;
    const auto addRow = [&](int row) {
        for (int index = row * columns; index < std::min(count, (row + 1) * columns); ++index)
            items.push_back(index);
    };
    for (int row = first; row <= last; ++row) addRow(row);
    for (int row = last + 1; row <= std::min(rows() - 1, last + inView); ++row) addRow(row);
    for (int row = first - 1; row >= std::max(0, first - inView); --row) addRow(row);
    return items;
}

int TileLayout::stepTarget(Step step, int selected, int viewHeight) const {
    const int last = count - 1;
    if (last < 0) return -1;
    if (step == Step::First) return 0;
    if (step == Step::Last) return last;
    if (selected < 0 || selected > last) return 0;
    switch (step) {
        case Step::PreviousItem:
            return selected - 1;
        case Step::NextItem:
            return selected < last ? selected + 1 : -1;
        case Step::RowUp:
            return selected >= columns ? selected - columns : -1;
        case Step::RowDown:
            if (selected + columns <= last) return selected + columns;
            // From a row above the last one, Down lands on the last item even
            // when the last row is too short to have one right below.
            return selected / columns < rows() - 1 ? last : -1;
        case Step::PageUp:
            return std::max(0, selected - itemsPerPage(viewHeight));
        case Step::PageDown:
            return std::min(last, selected + itemsPerPage(viewHeight));
        case Step::First:
        case Step::Last:
            break;
    }
    return -1;
}

}  // namespace browser
