// REGION, 3DSOLID and BODY drawn from their models: every edge, on its own
// curve, through inserts, in the entity's colour; extents cover them.
#include <gtest/gtest.h>
#include <render/Build.h>

#include <map>
#include <numbers>

#include "Bodies.h"
#include "TestDrawing.h"

namespace {

using render::DisplayList;
using render::Item;
using render::Piece;
using testsupport::TestDrawing;

dwg::AcisData acis(const std::vector<std::uint8_t>& bytes) { return dwg::AcisData{bytes}; }

std::map<Piece::Kind, int> pieceKinds(const DisplayList& list) {
    std::map<Piece::Kind, int> kinds;
    for (const Item& item : list.items)
        if (item.kind == Item::Kind::Stroke)
            for (std::uint32_t i = item.first; i < item.first + item.count; ++i) ++kinds[list.pieces[i].kind];
    return kinds;
}

TEST(Solids, EachBodyDrawsItsEdgesOnTheirCurves) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> model;
        std::map<Piece::Kind, int> pieces;
        render::Box extents;
    };
    const Case cases[] = {
        // Twelve edges; seen from above they fall on the outline of the moved box.
        {"box", acistest::box(400, {2, 3, 4}, {10, 20, 30}).sat(), {{Piece::Kind::Polyline, 12}}, {10, 20, 12, 23}},
        {"cylinder", acistest::cylinder(20800, 5, 8).sab(), {{Piece::Kind::Arc, 2}}, {-5, -5, 5, 5}},
        // Two straight sides and the B-spline through (4, 3).
        {"region", acistest::region(106).sat(), {{Piece::Kind::Polyline, 2}, {Piece::Kind::Spline, 1}}, {0, 0, 4, 3}},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        t.add(TestDrawing::kModel, "3DSOLID", acis(c.model), TestDrawing::kLayerZero, dwg::Color::fromIndex(1));
        const DisplayList list = render::buildModelSpace(t.drawing);
        EXPECT_EQ(pieceKinds(list), c.pieces) << c.name;
        for (const Item& item : list.items) EXPECT_EQ(item.colour, render::Colour::fromRgb(0xFF0000)) << c.name;
        EXPECT_NEAR(list.extents.minX, c.extents.minX, 1e-9) << c.name;
        EXPECT_NEAR(list.extents.minY, c.extents.minY, 1e-9) << c.name;
        EXPECT_NEAR(list.extents.maxX, c.extents.maxX, 1e-9) << c.name;
        EXPECT_NEAR(list.extents.maxY, c.extents.maxY, 1e-9) << c.name;
        EXPECT_TRUE(list.report.undrawnTypes.empty()) << c.name;
    }
}

TEST(Solids, InsertsPlaceTheEdges) {
    TestDrawing t;
    t.block("CAIXA", 0x50);
    t.add(0x50, "3DSOLID", acis(acistest::box(20800, {2, 1, 1}, {0, 0, 0}).sab()));
    // Turned a quarter and doubled: the 2 x 1 footprint becomes 2 wide and 4 high at (100, 0).
    t.add(TestDrawing::kModel, "INSERT", TestDrawing::insert(0x50, {100, 0, 0}, std::numbers::pi / 2, {2, 2, 2}));
    const render::Box e = render::buildModelSpace(t.drawing).extents;
    EXPECT_NEAR(e.minX, 98, 1e-9);
    EXPECT_NEAR(e.maxX, 100, 1e-9);
    EXPECT_NEAR(e.minY, 0, 1e-9);
    EXPECT_NEAR(e.maxY, 4, 1e-9);
}

TEST(Solids, ArcsFollowTheEdgeBetweenItsVertices) {
    // Half of the cylinder's lower circle: an edge from (5, 0) to (-5, 0) along
    // the circle (upper half), or against it (lower half).
    for (const bool reversed : {false, true}) {
        acistest::ModelWriter w = acistest::cylinder(400, 5, 8);
        // Records 14 and 15 are the lower and upper edges (see Bodies.h).
        const int extraPoint = w.add("point", {acistest::position(-5, 0, 0)});
        const int extraVertex = w.add("vertex", {acistest::ptr(14), acistest::ptr(extraPoint)});
        w.records[14].fields[1] = acistest::ptr(extraVertex);
        w.records[14].fields[4] = reversed ? acistest::reversed() : acistest::forward();
        TestDrawing t;
        t.add(TestDrawing::kModel, "REGION", acis(w.sat()));
        const render::Box e = render::buildModelSpace(t.drawing).extents;
        // The upper circle is whole; the lower half shows where the arc went.
        EXPECT_NEAR(e.minY, -5, 1e-9);
        EXPECT_NEAR(e.maxY, 5, 1e-9);
        TestDrawing lowerOnly;
        w.records[15].fields[3] = acistest::ptr(-1);  // the upper edge without its curve: a chord of no length
        lowerOnly.add(TestDrawing::kModel, "REGION", acis(w.sat()));
        const render::Box half = render::buildModelSpace(lowerOnly.drawing).extents;
        if (reversed) {
            EXPECT_NEAR(half.minY, -5, 1e-9);
            EXPECT_NEAR(half.maxY, 0, 1e-9);
        } else {
            EXPECT_NEAR(half.maxY, 5, 1e-9);
            EXPECT_NEAR(half.minY, 0, 1e-9);
        }
    }
}

TEST(Solids, SplineEdgesRunBetweenTheirVerticesOnly) {
    // The region's curved side is the quadratic from (4, 0) through the
    // control point (4, 3) to (2, 3); (3.5, 2.25) is its middle.
    using acistest::forward;
    using acistest::reversed;
    struct Case {
        const char* name;
        render::Vec2 start, end;  // of the edge
        bool edgeReversed, curveReversed;
        render::Vec2 from, to;  // the ends drawn, in the curve's direction
    };
    const Case cases[] = {
        {"whole", {4, 0}, {2, 3}, false, false, {4, 0}, {2, 3}},
        {"first half", {4, 0}, {3.5, 2.25}, false, false, {4, 0}, {3.5, 2.25}},
        {"second half", {3.5, 2.25}, {2, 3}, false, false, {3.5, 2.25}, {2, 3}},
        {"first half, edge against the curve",
         {3.5, 2.25},
         {4, 0},
         true,
         false,
         {4, 0},
         {3.5, 2.25}},
        {"first half, curve against its spline",
         {3.5, 2.25},
         {4, 0},
         false,
         true,
         {4, 0},
         {3.5, 2.25}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        acistest::ModelWriter w = acistest::region(700);
        // Records: 6-8 coedges, 9-11 edges, 12-14 vertices, 15-17 points, 18-20 curves.
        w.records[16].fields = {acistest::position(c.start.x, c.start.y, 0)};
        w.records[17].fields = {acistest::position(c.end.x, c.end.y, 0)};
        w.records[10].fields[4] = c.edgeReversed ? reversed() : forward();
        w.records[19].fields[0] = c.curveReversed ? reversed() : forward();
        TestDrawing t;
        t.add(TestDrawing::kModel, "REGION", acis(w.sat()));
        const DisplayList list = render::buildModelSpace(t.drawing);
        int splines = 0;
        for (const Piece& piece : list.pieces) {
            if (piece.kind != Piece::Kind::Spline) continue;
            ++splines;
            const render::Vec2 first = list.points[piece.firstPoint];
            const render::Vec2 last = list.points[piece.firstPoint + piece.pointCount - 1];
            EXPECT_NEAR(first.x, c.from.x, 1e-6);
            EXPECT_NEAR(first.y, c.from.y, 1e-6);
            EXPECT_NEAR(last.x, c.to.x, 1e-6);
            EXPECT_NEAR(last.y, c.to.y, 1e-6);
        }
        EXPECT_EQ(splines, 1);
    }
}

TEST(Solids, UndecodableModelsAreReportedNotDrawn) {
    TestDrawing t;
    t.add(TestDrawing::kModel, "3DSOLID", acis({'4', '0', '0'}));
    t.add(TestDrawing::kModel, "BODY", dwg::AcisData{});
    const DisplayList list = render::buildModelSpace(t.drawing);
    EXPECT_TRUE(list.items.empty());
    EXPECT_EQ(list.report.undrawnTypes.at("3DSOLID"), 1);
    EXPECT_EQ(list.report.undrawnTypes.at("BODY"), 1);
}

}  // namespace

namespace {

TEST(Solids, DecodingAndEdgesAreChargedToTheBuildsWork) {
    TestDrawing t;
    const auto model = acistest::box(400, {1, 1, 1}, {0, 0, 0}).sat();
    for (int i = 0; i < 50; ++i) t.add(TestDrawing::kModel, "3DSOLID", acis(model));
    render::BuildOptions options;
    const DisplayList whole = render::buildModelSpace(t.drawing, options);
    EXPECT_FALSE(whole.report.truncated);
    // Each model's bytes and its twelve edges are paid for.
    EXPECT_GE(whole.report.workSpent, 50 * (model.size() / 8 + 12));
    options.limits.maxWork = whole.report.workSpent / 2;
    const DisplayList half = render::buildModelSpace(t.drawing, options);
    EXPECT_TRUE(half.report.truncated);
    EXPECT_LT(half.items.size(), whole.items.size());
    EXPECT_LE(half.report.workSpent, options.limits.maxWork + 100);
}

}  // namespace
