#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QScreen>
#include <QWidget>
#include <vector>

#include "ui/Magnet.h"

using ui::MagnetState;
using ui::WindowEdge;

namespace {

const QRect kArea(0, 0, 1000, 800);
constexpr qint64 kNow = 10'000;

MagnetState snappedAt(WindowEdge edge, qint64 when) {
    MagnetState state;
    state.lastSnap[static_cast<std::size_t>(edge)] = when;
    return state;
}

QRect box(int x, int y) {
    return {x, y, 100, 100};
}

}  // namespace

TEST(Magnet, MovesOnATableOfDrags) {
    struct Case {
        const char* what;
        QRect from, to;
        MagnetState state;
        QRect expected;
    };
    const MagnetState fresh;
    const std::vector<Case> cases = {
        {"far from every edge: stays where dropped", box(400, 300), box(420, 310), fresh,
         box(420, 310)},
        {"right edge 10 inside: snaps flush", box(850, 300), box(890, 300), fresh, box(900, 300)},
        {"right edge 1 inside: snaps flush", box(850, 300), box(899, 300), fresh, box(900, 300)},
        {"right edge 16 inside: free", box(850, 300), box(884, 300), fresh, box(884, 300)},
        {"right edge 1 past: stays flush", box(900, 300), box(901, 300), fresh, box(900, 300)},
        {"right edge 3 past: jumps out to 15 past", box(900, 300), box(903, 300), fresh,
         box(915, 300)},
        {"right edge 15 past: at the jump's end", box(900, 300), box(915, 300), fresh,
         box(915, 300)},
        {"right edge 16 past: free", box(900, 300), box(916, 300), fresh, box(916, 300)},
        {"left edge leaving its flush place by 5: jumps to 15 inside", box(0, 300), box(5, 300),
         fresh, box(15, 300)},
        {"left edge leaving by 1: stays flush", box(0, 300), box(1, 300), fresh, box(0, 300)},
        {"left edge 5 outside while moving in: placed flush", box(-20, 300), box(-5, 300), fresh,
         box(0, 300)},
        {"moving left, left edge 8 inside: snaps flush", box(50, 300), box(8, 300), fresh,
         box(0, 300)},
        {"moving down, bottom 5 inside: snaps flush", box(400, 650), box(400, 695), fresh,
         box(400, 700)},
        {"moving up, top 12 inside: snaps flush", box(400, 100), box(400, 12), fresh, box(400, 0)},
        {"both axes at once: corner snap", box(850, 650), box(893, 694), fresh, box(900, 700)},
        {"no horizontal move: a near edge is left alone", box(895, 300), box(895, 320), fresh,
         box(895, 320)},
        {"within the snap-only period: 10 past snaps back flush", box(915, 300), box(910, 300),
         snappedAt(WindowEdge::Left, kNow - 100), box(900, 300)},
        {"same direction within the period: no jump, flush", box(900, 300), box(910, 300),
         snappedAt(WindowEdge::Right, kNow - 100), box(900, 300)},
        {"same direction after the period: jumps", box(900, 300), box(910, 300),
         snappedAt(WindowEdge::Right, kNow - 300), box(915, 300)},
        {"within the period, 15 or more away: free", box(900, 300), box(916, 300),
         snappedAt(WindowEdge::Right, kNow - 100), box(916, 300)},
        {"the period of the other direction does not count", box(900, 300), box(905, 300),
         snappedAt(WindowEdge::Left, kNow - 100), box(915, 300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ui::MagnetMove move = ui::magnetMove(c.from, c.to, kArea, c.state, kNow);
        EXPECT_EQ(move.rect, c.expected);
        EXPECT_EQ(move.rect.size(), c.to.size());
    }
}

TEST(Magnet, WorkAreaOfASecondScreen) {
    const QRect second(1500, 40, 800, 600);
    EXPECT_EQ(
        ui::magnetMove(QRect(1530, 300, 100, 100), QRect(1508, 300, 100, 100), second, {}, kNow)
            .rect,
        QRect(1500, 300, 100, 100));
    EXPECT_EQ(
        ui::magnetMove(QRect(1530, 100, 100, 100), QRect(1530, 50, 100, 100), second, {}, kNow)
            .rect,
        QRect(1530, 40, 100, 100));
}

TEST(Magnet, RemembersWhenTheLeadingEdgeSnapped) {
    const ui::MagnetMove snap = ui::magnetMove(box(850, 300), box(890, 300), kArea, {}, kNow);
    EXPECT_EQ(snap.state.lastSnap[size_t(WindowEdge::Right)], kNow);
    EXPECT_FALSE(snap.state.lastSnap[size_t(WindowEdge::Left)]);
    EXPECT_FALSE(snap.state.lastSnap[size_t(WindowEdge::Bottom)]);

    const ui::MagnetMove free = ui::magnetMove(box(400, 300), box(420, 300), kArea, {}, kNow);
    for (const auto& when : free.state.lastSnap) EXPECT_FALSE(when);
}

TEST(Magnet, GlueTakesWindowsThatTouchAlongAnEdge) {
    const QRect dragged(100, 100, 200, 100);  // right edge at 300, bottom at 200
    const std::vector<QRect> others = {
        {300, 150, 50, 50},  // 0: touches the right edge, overlaps it
        {300, 210, 50, 50},  // 1: on the right edge's line but below it
        {300, 200, 50, 50},  // 2: touches only the corner
        {301, 150, 50, 50},  // 3: one pixel away
        {150, 200, 30, 30},  // 4: touches the bottom edge
        {50, 120, 50, 10},   // 5: touches the left edge
        {150, 150, 50, 50},  // 6: overlaps, does not touch
        {120, 60, 40, 40},   // 7: touches the top edge
    };
    EXPECT_EQ(ui::gluedWindows(dragged, others), (std::vector<std::size_t>{0, 4, 5, 7}));
}

namespace {

bool waitFor(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(3000);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace

TEST(Magnet, AttachedWindowSnapsCarriesATouchingWindowAndHoldsStillWhenTold) {
    ASSERT_TRUE(ui::windowsCanBePlaced());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget dragged;
    QWidget neighbour;
    dragged.resize(200, 150);
    neighbour.resize(120, 100);
    ui::attachMagnet(&dragged);
    ui::attachMagnet(&dragged);  // once is enough
    EXPECT_TRUE(ui::hasMagnet(&dragged));
    dragged.show();
    neighbour.show();
    // Frames side by side: the neighbour's left edge on the dragged window's right edge.
    dragged.move(area.topLeft() + QPoint(100, 100));
    ASSERT_TRUE(waitFor(
        [&] { return dragged.frameGeometry().topLeft() == area.topLeft() + QPoint(100, 100); }));
    const QPoint touching(dragged.frameGeometry().right() + 1, dragged.frameGeometry().top() + 20);
    neighbour.move(touching);
    ASSERT_TRUE(waitFor([&] { return neighbour.frameGeometry().topLeft() == touching; }));

    dragged.move(area.topLeft() + QPoint(140, 130));
    EXPECT_TRUE(waitFor([&] {
        return neighbour.frameGeometry().topLeft() == touching + QPoint(40, 30);
    })) << "the touching window stays at "
        << neighbour.x() << "," << neighbour.y();

    // Dragged to 6 pixels from the left edge: flush against it.
    dragged.move(area.topLeft() + QPoint(6, 130));
    EXPECT_TRUE(waitFor([&] { return dragged.frameGeometry().left() == area.left(); }))
        << "left at " << dragged.frameGeometry().left();

    // The program placing its own window (the preview at the bottom right)
    // is no drag: held, the magnet neither snaps nor carries; released, it
    // does again.
    const QPoint neighbourBefore = neighbour.frameGeometry().topLeft();
    ui::holdMagnet(&dragged, true);
    dragged.move(area.topLeft() + QPoint(40, 160));
    QApplication::processEvents();
    dragged.move(area.topLeft() + QPoint(6, 170));
    QApplication::processEvents();
    EXPECT_EQ(dragged.frameGeometry().topLeft(), area.topLeft() + QPoint(6, 170));
    EXPECT_EQ(neighbour.frameGeometry().topLeft(), neighbourBefore);
    ui::holdMagnet(&dragged, false);
    dragged.move(area.topLeft() + QPoint(5, 180));
    EXPECT_TRUE(waitFor([&] { return dragged.frameGeometry().left() == area.left(); }))
        << "left at " << dragged.frameGeometry().left();
    ui::holdMagnet(nullptr, true);  // a window without a magnet: nothing to hold
}
