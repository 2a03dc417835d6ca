// The grid's arithmetic on its own: which item a point or a step lands on,
// which items are loaded first, how far a selection scrolls.
#include <gtest/gtest.h>

#include "browser/TileLayout.h"

using browser::TileLayout;
using Step = TileLayout::Step;

namespace {

// Six columns of 112 x 83 tiles: rows 93 pixels apart.
TileLayout layoutOf(int count, int columns = 6) {
    return {count, columns, QSize(112, 83)};
}

constexpr int kTwoRowsHigh = 2 * 93 + 10;  // a view that holds two whole rows

TEST(TileLayout, StepsStopAtTheEndsAndPagesClampToThem) {
    const struct {
        int count;
        Step step;
        int selected;
        int expected;
    } cases[] = {
        {0, Step::First, -1, -1},     {0, Step::NextItem, -1, -1},  // nothing to land on
        {10, Step::NextItem, -1, 0},  {10, Step::Last, -1, 9},      // nothing selected
        {10, Step::PageUp, -1, 0},    {10, Step::PreviousItem, 0, -1},
        {10, Step::NextItem, 9, -1},  {10, Step::NextItem, 4, 5},
        {10, Step::RowUp, 5, -1},     {10, Step::RowUp, 7, 1},
        {10, Step::RowDown, 1, 7},    {10, Step::RowDown, 5, 9},  // short last row
        {10, Step::RowDown, 7, -1},   {12, Step::RowDown, 5, 11},
        {100, Step::PageDown, 3, 15}, {100, Step::PageDown, 95, 99},
        {100, Step::PageUp, 40, 28},  {100, Step::PageUp, 7, 0},
        {100, Step::First, 50, 0},    {100, Step::Last, 50, 99},
        {1, Step::RowDown, 0, -1},    {1, Step::NextItem, 0, -1},
        {10, Step::NextItem, 12, 0},  // a selection past the items counts as none
    };
    for (const auto& c : cases)
        EXPECT_EQ(layoutOf(c.count).stepTarget(c.step, c.selected, kTwoRowsHigh), c.expected)
            << c.count << " items, step " << static_cast<int>(c.step) << " from " << c.selected;
}

TEST(TileLayout, PointsFindTheirTileAndGapsNone) {
    const TileLayout layout = layoutOf(14);
    for (int index : {0, 5, 6, 13}) {
        const QRect tile = layout.tileRect(index);
        EXPECT_EQ(layout.itemAt(tile.topLeft()), index);
        EXPECT_EQ(layout.itemAt(tile.bottomRight()), index);
        EXPECT_EQ(layout.itemAt(tile.bottomRight() + QPoint(1, 0)), -1) << "gap right of " << index;
        EXPECT_EQ(layout.itemAt(tile.bottomRight() + QPoint(0, 1)), -1) << "gap under " << index;
    }
    EXPECT_EQ(layout.itemAt(layout.tileRect(13).topLeft() + QPoint(122, 0)), -1) << "no 15th item";
    EXPECT_EQ(layout.itemAt(QPoint(-1, 20)), -1);
    EXPECT_FALSE(layout.tileRect(14).isValid());
    EXPECT_EQ(layout.contentHeight(), 10 + 3 * 93);
    EXPECT_EQ(layoutOf(0).contentHeight(), 0);
}

TEST(TileLayout, ImagesInViewComeFirstThenAPageBelowThenAPageAbove) {
    const TileLayout layout = layoutOf(60, 3);  // 20 rows of 3
    // Scrolled to row 5: rows 5 and 6 in view (and row 7 touched by the band).
    const std::vector<int> items = layout.itemsToLoad(10 + 5 * 93, kTwoRowsHigh);
    std::vector<int> expected;
    for (int row : {5, 6, 7, 8, 9, 10, 4, 3, 2})
        for (int column = 0; column < 3; ++column) expected.push_back(row * 3 + column);
    EXPECT_EQ(items, expected);
    EXPECT_TRUE(layoutOf(0).itemsToLoad(0, 500).empty());
    EXPECT_TRUE(layout.itemsToLoad(0, 0).empty()) << "a view of no height shows nothing";
    // The last row may be short: no item past the count.
    const std::vector<int> end = layoutOf(61, 3).itemsToLoad(10 + 19 * 93, kTwoRowsHigh);
    EXPECT_EQ(*std::max_element(end.begin(), end.end()), 60);
}

TEST(TileLayout, ScrollsAsLittleAsShowsTheWholeRow) {
    const TileLayout layout = layoutOf(600);
    const int view = kTwoRowsHigh;
    EXPECT_EQ(layout.scrollToShow(0, 0, view), 0) << "already in view";
    EXPECT_EQ(layout.scrollToShow(6, 0, view), 0) << "second row fits";
    // Row 2 ends at 10 + 2 * 93 + 83; the spacing under it shows too.
    EXPECT_EQ(layout.scrollToShow(12, 0, view), 10 + 2 * 93 + 83 + 10 - view)
        << "down: row at the bottom";
    EXPECT_EQ(layout.scrollToShow(12, 5000, view), 2 * 93) << "up: row at the top";
    EXPECT_EQ(layout.scrollToShow(600, 77, view), 77) << "no such item: no scroll";
}

}  // namespace
