// Bodies whose model cannot be decoded show the wireframe stored with them:
// isolines from every side, silhouettes only from the side they were made
// for; each such body is counted once, however often it is inserted.
#include <gtest/gtest.h>
#include <render/Build.h>

#include <numbers>

#include "TestDrawing.h"

namespace {

using testsupport::TestDrawing;

dwg::AcisWire wire(std::vector<dwg::Point3> points, std::optional<dwg::Point3> silhouetteOf = {}) {
    dwg::AcisWire w;
    w.points = std::move(points);
    if (silhouetteOf) {
        w.silhouette = true;
        w.viewDirection = *silhouetteOf;
    }
    return w;
}

// A model that does not decode, with two isolines and the silhouette it had
// seen from above.
dwg::AcisData undecodable() {
    dwg::AcisData data;
    data.bytes = {'n', 'o', 't', ' ', 'A', 'C', 'I', 'S'};
    data.wires = {wire({{0, 0, 0}, {10, 0, 0}}), wire({{0, 5, 0}, {10, 5, 2}, {10, 8, 2}}),
                  wire({{-3, -3, 0}, {-3, 30, 0}}, dwg::Point3{0, 0, 7})};
    return data;
}

std::size_t strokes(const render::DisplayList& list) {
    std::size_t n = 0;
    for (const render::Item& item : list.items)
        if (item.kind == render::Item::Kind::Stroke) n += item.count;
    return n;
}

TEST(StoredWireframe, ShownWhereTheModelCannotBe) {
    struct Case {
        const char* name;
        render::Projection projection;
        std::size_t pieces;
        render::Box extents;
    };
    const Case cases[] = {
        {"from above, with the silhouette", render::Projection::top(), 3, {-3, -3, 10, 30}},
        // From the front the silhouette made from above is no outline.
        {"from the front", render::Projection::front(), 2, {0, 0, 10, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDrawing t;
        t.add(TestDrawing::kModel, "3DSOLID", undecodable(), TestDrawing::kLayerZero,
              dwg::Color::fromIndex(3));
        render::BuildOptions options;
        options.projection = c.projection;
        const render::DisplayList list = render::buildModelSpace(t.drawing, options);
        EXPECT_EQ(strokes(list), c.pieces);
        for (const render::Item& item : list.items)
            EXPECT_EQ(item.colour, render::Colour::fromRgb(0x00FF00));
        EXPECT_NEAR(list.extents.minX, c.extents.minX, 1e-9);
        EXPECT_NEAR(list.extents.maxX, c.extents.maxX, 1e-9);
        EXPECT_NEAR(list.extents.minY, c.extents.minY, 1e-9);
        EXPECT_NEAR(list.extents.maxY, c.extents.maxY, 1e-9);
        EXPECT_EQ(list.report.bodiesUndecoded, 1);
        EXPECT_EQ(list.report.undrawnTypes.at("3DSOLID"), 1);
    }
}

TEST(StoredWireframe, EachBodyIsCountedOnceAndPlacedByItsInserts) {
    TestDrawing t;
    t.block("PECA", 0x50);
    t.add(0x50, "BODY", undecodable());
    t.add(0x50, "REGION", dwg::AcisData{});  // nothing stored at all
    // The block turned a quarter turn about z: its silhouette, made looking
    // down z, still shows.
    for (const double x : {100.0, 200.0})
        t.add(TestDrawing::kModel, "INSERT",
              TestDrawing::insert(0x50, {x, 0, 0}, std::numbers::pi / 2, {1, 1, 1}));
    const render::DisplayList list = render::buildModelSpace(t.drawing);
    EXPECT_EQ(list.report.bodiesUndecoded, 2);
    EXPECT_EQ(strokes(list), 6u);
    EXPECT_NEAR(list.extents.minX, 70, 1e-9);  // the silhouette, turned: x from -30
    EXPECT_NEAR(list.extents.maxX, 203, 1e-9);
    EXPECT_NEAR(list.extents.maxY, 10, 1e-9);
}

}  // namespace

namespace {

// Lights and cameras draw nothing: they are neither in the extents nor
// among what could not be drawn; other undecoded kinds are.
TEST(ShowsNothing, LightsAndCamerasAreNotUndrawn) {
    TestDrawing t;
    t.add(TestDrawing::kModel, "LINE", dwg::Line{{0, 0, 0}, {1, 1, 0}});
    t.add(TestDrawing::kModel, "LIGHT", dwg::Unsupported{});
    t.add(TestDrawing::kModel, "CAMERA", dwg::Unsupported{});
    t.add(TestDrawing::kModel, "UNKNOWN_ENT", dwg::Unsupported{});
    const render::DisplayList list = render::buildModelSpace(t.drawing);
    EXPECT_EQ(list.report.undrawnTypes, (std::map<std::string, int>{{"UNKNOWN_ENT", 1}}));
    EXPECT_EQ(list.extents.maxX, 1);
}

}  // namespace
