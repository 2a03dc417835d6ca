// The builder's work is bounded whatever the file asks: angles far beyond one
// turn, references nested into billions, dense hatches; it stops when out of
// work or cancelled, keeping what it built.
#include <dwg/Reader.h>
#include <gtest/gtest.h>
#include <render/Build.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

#include "HostileDrawings.h"
#include "TestDrawing.h"

namespace {

using testsupport::TestDrawing;
constexpr double kTwoPi = 2 * std::numbers::pi;

dwg::Hatch solidHatchWithArcEdge(double start, double end, bool counterClockwise) {
    dwg::Hatch hatch;
    hatch.solid = true;
    dwg::HatchEdge arc;
    arc.kind = dwg::HatchEdge::Kind::CircularArc;
    arc.radius = 5;
    arc.startAngle = start;
    arc.endAngle = end;
    arc.counterClockwise = counterClockwise;
    dwg::HatchEdge chord;
    chord.start = {5, 0};
    chord.end = {-5, 0};
    dwg::HatchLoop loop;
    loop.edges = {arc, chord};
    hatch.loops = {loop};
    return hatch;
}

dwg::ProxyGraphics proxyArc(double sweep) {
    dwg::ProxyGraphics graphics;
    dwg::ProxyPrimitive arc;
    arc.kind = dwg::ProxyPrimitive::Kind::Arc;
    arc.radius = 5;
    arc.sweepAngle = sweep;
    graphics.primitives = {arc};
    return graphics;
}

TEST(BudgetTest, AnglesFarBeyondOneTurnDrawOneTurnAtMost) {
    struct Case {
        const char* name;
        const char* type;
        dwg::EntityData data;
    };
    const double huge[] = {1e300, 1e17, -1e17, 2e15 + 0.5, -7 * std::numbers::pi};
    std::vector<Case> cases;
    for (const double a : huge) {
        cases.push_back(
            {"arc start", "ARC", dwg::Arc{{0, 0, 0}, 5, a, 1, 0, dwg::kDefaultExtrusion}});
        cases.push_back(
            {"arc end", "ARC", dwg::Arc{{0, 0, 0}, 5, 1, a, 0, dwg::kDefaultExtrusion}});
        cases.push_back({"ellipse", "ELLIPSE",
                         dwg::Ellipse{{0, 0, 0}, {5, 0, 0}, dwg::kDefaultExtrusion, 0.5, a, -a}});
        cases.push_back({"hatch arc edge", "HATCH", solidHatchWithArcEdge(a, 2, true)});
        cases.push_back({"clockwise hatch arc edge", "HATCH", solidHatchWithArcEdge(1, a, false)});
        cases.push_back({"proxy arc", "ACAD_PROXY_ENTITY", proxyArc(a)});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.type);
        TestDrawing d;
        d.add(TestDrawing::kModel, c.type, c.data);
        const render::DisplayList list = render::buildModelSpace(d.drawing);
        ASSERT_FALSE(list.empty());
        EXPECT_FALSE(list.report.simplified());
        // A radius-5 curve about the origin stays within its circle.
        EXPECT_GE(list.extents.minX, -5 - 1e-9);
        EXPECT_LE(list.extents.maxX, 5 + 1e-9);
        EXPECT_GE(list.extents.minY, -5 - 1e-9);
        EXPECT_LE(list.extents.maxY, 5 + 1e-9);
        for (const render::Piece& piece : list.pieces) {
            if (piece.kind != render::Piece::Kind::Arc) continue;
            const double t0 = list.scalars[piece.firstScalar];
            const double t1 = list.scalars[piece.firstScalar + 1];
            EXPECT_LT(std::abs(t0), kTwoPi);
            EXPECT_LE(std::abs(t1 - t0), kTwoPi + 1e-12);
            EXPECT_GT(std::abs(t1 - t0), 0);
        }
    }
}

TEST(BudgetTest, ReducedAnglesDrawTheSameArcAsTheirOwnTurn) {
    // 1e17 less whole turns is the angle a plotter would use: same ends.
    const auto arcFrom = [](double start) {
        TestDrawing d;
        d.add(TestDrawing::kModel, "ARC",
              dwg::Arc{{0, 0, 0}, 5, start, 0.5, 0, dwg::kDefaultExtrusion});
        return render::buildModelSpace(d.drawing);
    };
    const render::DisplayList a = arcFrom(1e17), b = arcFrom(std::fmod(1e17, kTwoPi));
    ASSERT_EQ(a.scalars.size(), b.scalars.size());
    for (std::size_t i = 0; i < a.scalars.size(); ++i)
        EXPECT_NEAR(a.scalars[i], b.scalars[i], 1e-9);
}

TEST(BudgetTest, CraftedDrawingsStopAtTheBudgetKeepingWhatWasBuilt) {
    struct Crafted {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool drawsSomething;
    };
    const Crafted cases[] = {
        {"nested minsert", testsupport::nestedMinsertDrawing(), false},
        {"fine hatch minsert", testsupport::fineHatchMinsertDrawing(), true},
    };
    for (const Crafted& c : cases) {
        SCOPED_TRACE(c.name);
        const dwg::Drawing drawing = dwg::read(c.bytes);
        render::BuildOptions options;
        options.limits.maxWork = 2'000'000;
        const render::DisplayList list = render::buildModelSpace(drawing, options);
        EXPECT_TRUE(list.report.truncated);
        EXPECT_TRUE(list.report.simplified());
        EXPECT_FALSE(list.report.cancelled);
        EXPECT_EQ(!list.empty(), c.drawsSomething);
        // The overshoot is one charge at most: one ring, one line's crossings.
        EXPECT_LE(list.report.workSpent, options.limits.maxWork + 100'000);
        EXPECT_GE(list.report.workSpent, options.limits.maxWork);
    }
}

TEST(BudgetTest, ABuildOutOfWorkKeepsTheFirstEntitiesInOrder) {
    TestDrawing d;
    for (int i = 0; i < 1000; ++i)
        d.add(TestDrawing::kModel, "LINE", TestDrawing::line(i, 0, i, 1));
    struct Case {
        std::size_t maxWork;
        bool whole;
    };
    for (const Case c : {Case{100, false}, Case{2000, false}, Case{1'000'000, true}}) {
        SCOPED_TRACE(c.maxWork);
        render::BuildOptions options;
        options.limits.maxWork = c.maxWork;
        const render::DisplayList list = render::buildModelSpace(d.drawing, options);
        EXPECT_EQ(list.report.simplified(), !c.whole);
        if (c.whole) {
            EXPECT_EQ(list.items.size(), 1000u);
            continue;
        }
        ASSERT_FALSE(list.empty());
        EXPECT_LT(list.items.size(), 1000u);
        // Lines 0, 1, 2...: the first ones, none skipped.
        for (std::size_t i = 0; i < list.items.size(); ++i)
            EXPECT_EQ(list.points[list.pieces[list.items[i].first].firstPoint].x, double(i));
    }
}

TEST(BudgetTest, ACancelledBuildStopsSoon) {
    const dwg::Drawing drawing = dwg::read(testsupport::nestedMinsertDrawing());
    struct Case {
        const char* name;
        bool cancelFirst;
    };
    for (const Case c : {Case{"cancelled before", true}, Case{"cancelled while building", false}}) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> cancel = c.cancelFirst;
        render::BuildOptions options;
        options.limits.maxWork = std::numeric_limits<std::size_t>::max() / 2;  // never out of work
        options.cancel = &cancel;
        std::thread canceller;
        if (!c.cancelFirst)
            canceller = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                cancel = true;
            });
        const render::DisplayList list = render::buildModelSpace(drawing, options);
        if (canceller.joinable()) canceller.join();
        EXPECT_TRUE(list.report.cancelled);
        EXPECT_TRUE(list.report.truncated);
        if (c.cancelFirst) {
            EXPECT_LE(list.report.workSpent, 1u);
        }
    }
}

}  // namespace
