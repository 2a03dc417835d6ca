// REGION, 3DSOLID and BODY drawn from their models: every edge, on its own
// curve, through inserts, in the entity's colour; extents cover them; faces
// from the tessellator, placed, kept between builds, or their failure said.
#include <gtest/gtest.h>
#include <render/Build.h>

#include <algorithm>
#include <map>
#include <numbers>
#include <set>
#include <string>

#include "Bodies.h"
#include "Shapes.h"
#include "TestDrawing.h"

namespace {

using render::DisplayList;
using render::Item;
using render::Piece;
using testsupport::TestDrawing;

dwg::AcisData acis(const std::vector<std::uint8_t>& bytes) {
    return dwg::AcisData{bytes};
}

std::map<Piece::Kind, int> pieceKinds(const DisplayList& list) {
    std::map<Piece::Kind, int> kinds;
    for (const Item& item : list.items)
        if (item.kind == Item::Kind::Stroke)
            for (std::uint32_t i = item.first; i < item.first + item.count; ++i)
                ++kinds[list.pieces[i].kind];
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
        {"box",
         acistest::box(400, {2, 3, 4}, {10, 20, 30}).sat(),
         {{Piece::Kind::Polyline, 12}},
         {10, 20, 12, 23}},
        {"cylinder",
         acistest::cylinder(20800, 5, 8).sab(),
         {{Piece::Kind::Arc, 2}},
         {-5, -5, 5, 5}},
        // Two straight sides and the B-spline through (4, 3).
        {"region",
         acistest::region(106).sat(),
         {{Piece::Kind::Polyline, 2}, {Piece::Kind::Spline, 1}},
         {0, 0, 4, 3}},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        t.add(TestDrawing::kModel, "3DSOLID", acis(c.model), TestDrawing::kLayerZero,
              dwg::Color::fromIndex(1));
        const DisplayList list = render::buildModelSpace(t.drawing);
        EXPECT_EQ(pieceKinds(list), c.pieces) << c.name;
        for (const Item& item : list.items)
            EXPECT_EQ(item.colour, render::Colour::fromRgb(0xFF0000)) << c.name;
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
    t.add(TestDrawing::kModel, "INSERT",
          TestDrawing::insert(0x50, {100, 0, 0}, std::numbers::pi / 2, {2, 2, 2}));
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
        w.records[15].fields[3] =
            acistest::ptr(-1);  // the upper edge without its curve: a chord of no length
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

namespace {

double surfaceArea(const DisplayList& list) {
    double area = 0;
    for (const render::Triangle& t : list.triangles)
        area += render::length(render::cross(list.vertices[t.b] - list.vertices[t.a],
                                             list.vertices[t.c] - list.vertices[t.a])) /
                2;
    return area;
}

render::Vec3 centroid(const DisplayList& list, const render::Triangle& t) {
    return (list.vertices[t.a] + list.vertices[t.b] + list.vertices[t.c]) * (1.0 / 3);
}

}  // namespace

// Each body of the tessellator's own tables, drawn by the builder: the faces
// cover its area, and seen from any side their normals lead out of it.
TEST(Solids, FacesCoverEachBodyWithNormalsLeadingOut) {
    const render::Projection view = render::Projection::looking({1, -2, 3});
    const render::Transform toView = view.worldToView();
    for (const acistest::Solid& s : acistest::solids()) {
        SCOPED_TRACE(s.name);
        TestDrawing t;
        t.add(TestDrawing::kModel, "3DSOLID", dwg::AcisData{acistest::writeSolid(s, 700).sat()});
        render::BuildOptions options;
        options.projection = view;
        options.surfaceTolerance = s.size * 1e-4;  // well within the step below
        const DisplayList list = render::buildModelSpace(t.drawing, options);
        EXPECT_EQ(list.report.surfacesFailed, 0);
        ASSERT_EQ(list.surfaces.size(), 1u);
        EXPECT_NEAR(surfaceArea(list), s.area, s.area * 0.02);
        // Back in the world, a step along the normal leaves the body, against it enters.
        const render::Vec3 right = toView.applyLinear({1, 0, 0}),
                           up = toView.applyLinear({0, 1, 0}),
                           towards = toView.applyLinear({0, 0, 1});
        const auto world = [&](const render::Vec3& p) {
            // The view's rows are orthonormal: its inverse is its transpose.
            const render::Vec3 q = p - toView.apply({0, 0, 0});
            return acis::Vec3{right.x * q.x + right.y * q.y + right.z * q.z,
                              up.x * q.x + up.y * q.y + up.z * q.z,
                              towards.x * q.x + towards.y * q.y + towards.z * q.z};
        };
        int wrong = 0;
        const double step = s.size * 1e-3;
        for (std::size_t i = 0; i < list.triangles.size(); ++i) {
            const render::Triangle& tri = list.triangles[i];
            const render::Vec3 n = list.normals[tri.a] + list.normals[tri.b] + list.normals[tri.c];
            const render::Vec3 c = centroid(list, tri);
            const render::Vec3 along = n * (step / render::length(n));
            if (s.inside(world(c + along)) || !s.inside(world(c - along))) ++wrong;
        }
        // A few at a cone's apex, where the body is thinner than the step.
        EXPECT_LE(wrong * 50, static_cast<int>(list.triangles.size())) << wrong;
    }
}

TEST(Solids, FacesFollowTheViewsToleranceAndAreKeptForTheNextBuild) {
    const acistest::Solid& sphere =
        *std::find_if(acistest::solids().begin(), acistest::solids().end(),
                      [](const acistest::Solid& s) { return std::string(s.name) == "sphere"; });
    TestDrawing t;
    t.add(TestDrawing::kModel, "3DSOLID", dwg::AcisData{acistest::writeSolid(sphere, 700).sat()});
    struct Case {
        double tolerance;
        bool cached;  // built before with the same cache and tolerance
    };
    render::SolidCache solids;
    std::map<double, std::size_t> triangles;
    std::map<double, std::size_t> work;
    for (const Case c : {Case{0.05, false}, Case{0.005, false}, Case{0.05, true}}) {
        render::BuildOptions options;
        options.surfaceTolerance = c.tolerance;
        options.solids = &solids;
        const DisplayList list = render::buildModelSpace(t.drawing, options);
        if (c.cached) {
            // The same triangles as the first time, without tessellating again.
            EXPECT_EQ(list.triangles.size(), triangles[c.tolerance]);
            EXPECT_LT(list.report.workSpent, work[c.tolerance]);
        }
        triangles[c.tolerance] = list.triangles.size();
        work[c.tolerance] = list.report.workSpent;
    }
    EXPECT_GT(triangles[0.005], 4 * triangles[0.05]);
}

// The viewer's zoom and orbit: 60 times a wheel step of a fifth of a notch
// (the view's scale, so the tolerance, about 4 % finer) and a turn of the
// view. Each body is tessellated once per band of tolerances, not per zoom,
// and what the cache keeps stays within its bound.
TEST(Solids, ZoomingAndTurningTessellateOncePerBandWithinTheCachesBound) {
    const acistest::Solid& sphere =
        *std::find_if(acistest::solids().begin(), acistest::solids().end(),
                      [](const acistest::Solid& s) { return std::string(s.name) == "sphere"; });
    TestDrawing t;
    t.add(TestDrawing::kModel, "3DSOLID", dwg::AcisData{acistest::writeSolid(sphere, 700).sat()});
    const auto zoomAndTurn = [&](render::SolidCache& solids, double from, int steps) {
        std::vector<std::size_t> triangles;
        double tolerance = from;
        for (int step = 0; step < steps; ++step, tolerance /= 1.037) {
            render::BuildOptions options;
            options.surfaceTolerance = tolerance;
            options.solids = &solids;
            const double turn = 0.05 * step;
            options.projection.direction = {std::sin(turn), 0, std::cos(turn)};
            triangles.push_back(render::buildModelSpace(t.drawing, options).triangles.size());
        }
        return triangles;
    };
    render::SolidCache solids;
    const std::vector<std::size_t> triangles = zoomAndTurn(solids, 0.05, 60);
    // 1.037^60 is about 8.9: four or five bands of twice as fine.
    EXPECT_LE(solids.meshCount(), 5u);
    EXPECT_GE(solids.meshCount(), 3u);
    EXPECT_GT(triangles.back(), 4 * triangles.front());
    std::set<std::size_t> distinct(triangles.begin(), triangles.end());
    EXPECT_EQ(distinct.size(), solids.meshCount()) << "one mesh per band, the same each time";

    // A cache with room for about two of those meshes keeps the latest ones
    // only, and the newest even when it alone is larger.
    const std::size_t room = 2 * solids.meshBytes() / solids.meshCount();
    render::SolidCache small(room);
    zoomAndTurn(small, 0.05, 60);
    EXPECT_TRUE(small.meshBytes() <= room || small.meshCount() == 1) << small.meshBytes();
    EXPECT_GE(small.meshCount(), 1u);
    EXPECT_LT(small.meshCount(), solids.meshCount());
}

TEST(Solids, AFaceThatCannotBeMadeLeavesItsEdgesAndSaysWhy) {
    acistest::BodyBuilder b;
    std::vector<int> corners;
    for (const acistest::Point p : {acistest::Point{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}})
        corners.push_back(b.vertex(p));
    acistest::BodyBuilder::Coedges square;
    for (std::size_t k = 0; k < corners.size(); ++k)
        square.push_back({b.line(corners[k], corners[(k + 1) % corners.size()]), false});
    b.face("plane-surface", acistest::planeSurface({0, 0, 0}, {0, 0, 1}), {square});
    // The same outline once more, on a surface the modeller's reader does not know.
    b.face("meshsurf-surface", {acistest::integer(3)}, {square}, true);
    TestDrawing t;
    t.add(TestDrawing::kModel, "3DSOLID", dwg::AcisData{b.write(700).sat()});
    const DisplayList list = render::buildModelSpace(t.drawing);
    EXPECT_EQ(list.report.surfacesFailed, 1);
    ASSERT_EQ(list.report.surfaceErrors.size(), 1u);
    EXPECT_FALSE(list.report.surfaceErrors[0].empty());
    EXPECT_EQ(list.triangles.size(), 2u);  // the square that could be made
    EXPECT_EQ(pieceKinds(list)[Piece::Kind::Polyline], 4);
}
