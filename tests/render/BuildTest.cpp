// The builder on drawings made in code: placement through nested inserts and
// object coordinate systems, colour, layer and linetype resolution, the
// limits on inserts, and extents.
#include <gtest/gtest.h>
#include <render/Build.h>

#include <cmath>
#include <numbers>

#include "Curves.h"
#include "TestDrawing.h"

namespace {

using render::Colour;
using render::DisplayList;
using render::Item;
using render::Vec2;
using testsupport::TestDrawing;

constexpr double kPi = std::numbers::pi;

struct Stroke {
    Colour colour;
    std::vector<Vec2> points;
    std::vector<double> dashes;
};

std::vector<Stroke> strokes(const DisplayList& list) {
    std::vector<Stroke> out;
    for (const Item& item : list.items) {
        if (item.kind != Item::Kind::Stroke) continue;
        Stroke s{item.colour, {}, {}};
        for (std::uint32_t i = item.first; i < item.first + item.count; ++i)
            render::detail::flattenPiece(list, list.pieces[i], 1e-6, s.points);
        for (std::uint32_t i = 0; i < item.dashCount; ++i)
            s.dashes.push_back(list.scalars[item.firstDash + i]);
        out.push_back(std::move(s));
    }
    return out;
}

void expectNear(Vec2 actual, Vec2 expected, const std::string& what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-9) << what;
}

TEST(BuildTest, InsertsPlaceBlockContentsThroughEveryLevel) {
    struct Case {
        const char* name;
        dwg::Handle block;
        dwg::Insert insert;
        Vec2 from, to;
    };
    constexpr dwg::Handle kUnit = 0x20, kTurned = 0x21, kShifted = 0x22;
    dwg::Insert mirrored = TestDrawing::insert(kUnit, {5, 0, 0});
    mirrored.extrusion = {0, 0, -1};
    const Case cases[] = {
        {"moved", kUnit, TestDrawing::insert(kUnit, {5, 5, 0}), {5, 5}, {6, 5}},
        {"rotated and stretched",
         kUnit,
         TestDrawing::insert(kUnit, {0, 0, 0}, kPi / 2, {3, 1, 1}),
         {0, 0},
         {0, 3}},
        {"nested", kTurned, TestDrawing::insert(kTurned, {0, 0, 0}), {10, 0}, {10, 2}},
        {"nested and rotated",
         kTurned,
         TestDrawing::insert(kTurned, {1, 1, 0}, kPi / 2),
         {1, 11},
         {-1, 11}},
        // Extrusion (0, 0, -1): the object x axis is world -x.
        {"upside-down plane", kUnit, mirrored, {-5, 0}, {-6, 0}},
        {"base point", kShifted, TestDrawing::insert(kShifted, {0, 0, 0}), {-1, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        t.block("UNIT", kUnit);
        t.add(kUnit, "LINE", TestDrawing::line(0, 0, 1, 0));
        t.block("TURNED", kTurned);
        t.add(kTurned, "INSERT", TestDrawing::insert(kUnit, {10, 0, 0}, kPi / 2, {2, 2, 1}));
        t.block("SHIFTED", kShifted).basePoint = {1, 0, 0};
        t.add(kShifted, "LINE", TestDrawing::line(0, 0, 1, 0));
        t.add(TestDrawing::kModel, "INSERT", c.insert);
        const auto drawn = strokes(render::buildModelSpace(t.drawing));
        ASSERT_EQ(drawn.size(), 1u) << c.name;
        ASSERT_EQ(drawn[0].points.size(), 2u) << c.name;
        expectNear(drawn[0].points[0], c.from, c.name);
        expectNear(drawn[0].points[1], c.to, c.name);
    }
}

TEST(BuildTest, ArcInAnUpsideDownPlaneTurnsTheOtherWay) {
    TestDrawing t;
    dwg::Arc arc;
    arc.radius = 1;
    arc.startAngle = 0;
    arc.endAngle = kPi / 2;
    arc.extrusion = {0, 0, -1};
    t.add(TestDrawing::kModel, "ARC", arc);
    const auto drawn = strokes(render::buildModelSpace(t.drawing));
    ASSERT_EQ(drawn.size(), 1u);
    expectNear(drawn[0].points.front(), {-1, 0}, "start");
    expectNear(drawn[0].points.back(), {0, 1}, "end");
    for (const Vec2& p : drawn[0].points) {
        EXPECT_NEAR(std::hypot(p.x, p.y), 1, 1e-9);
        EXPECT_LE(p.x, 1e-9);
        EXPECT_GE(p.y, -1e-9);
    }
}

TEST(BuildTest, ColoursComeFromEntityLayerOrInsertThroughAnyDepth) {
    constexpr dwg::Handle kRed = 0x11, kOff = 0x12, kFrozen = 0x13, kKit = 0x30, kHolder = 0x31;
    const Colour foreground = Colour::foreground();
    const Colour red = Colour::fromRgb(0xFF0000), green = Colour::fromRgb(0x00FF00),
                 blue = Colour::fromRgb(0x0000FF), magenta = Colour::fromRgb(0xFF00FF);
    const dwg::Color byBlock = dwg::Color::fromIndex(0);
    struct Case {
        const char* name;
        dwg::Handle layer;
        dwg::Color colour;
        bool throughHolder;
        std::vector<Colour> expected;
    };
    const Case cases[] = {
        {"blue insert on RED",
         kRed,
         dwg::Color::fromIndex(5),
         false,
         {blue, red, red, green, blue}},
        {"by-layer insert on 0",
         TestDrawing::kLayerZero,
         dwg::Color{},
         false,
         {foreground, foreground, red, green, foreground}},
        // Contents on layer 0 go with the insert's layer; the others stay.
        {"insert on a layer that is off", kOff, dwg::Color::fromIndex(5), false, {red, blue}},
        {"insert on a frozen layer", kFrozen, dwg::Color::fromIndex(5), false, {}},
        {"by-block through two levels",
         TestDrawing::kLayerZero,
         dwg::Color::fromIndex(6),
         true,
         {magenta, foreground, red, green, magenta}},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        t.layer("RED", kRed, 1);
        t.layer("OFF", kOff, 3).on = false;
        t.layer("FROZEN", kFrozen, 5).frozen = true;
        t.block("KIT", kKit);
        t.add(kKit, "LINE", TestDrawing::line(0, 0, 1, 0), TestDrawing::kLayerZero, byBlock);
        t.add(kKit, "LINE", TestDrawing::line(0, 1, 1, 1));
        t.add(kKit, "LINE", TestDrawing::line(0, 2, 1, 2), kRed);
        t.add(kKit, "LINE", TestDrawing::line(0, 3, 1, 3), TestDrawing::kLayerZero,
              dwg::Color::fromIndex(3));
        t.add(kKit, "LINE", TestDrawing::line(0, 4, 1, 4), kRed, byBlock);
        t.block("HOLDER", kHolder);
        t.add(kHolder, "INSERT", TestDrawing::insert(kKit, {0, 0, 0}), TestDrawing::kLayerZero,
              byBlock);
        t.add(TestDrawing::kModel, "INSERT",
              TestDrawing::insert(c.throughHolder ? kHolder : kKit, {0, 0, 0}), c.layer, c.colour);
        std::vector<Colour> colours;
        for (const Stroke& s : strokes(render::buildModelSpace(t.drawing)))
            colours.push_back(s.colour);
        EXPECT_EQ(colours, c.expected) << c.name;
    }
}

TEST(BuildTest, HiddenThingsAreNotDrawn) {
    constexpr dwg::Handle kDefinitionPoints = 0x14, kParts = 0x40;
    TestDrawing t;
    t.layer("Defpoints", kDefinitionPoints, 7);
    t.add(TestDrawing::kModel, "LINE", TestDrawing::line(0, 0, 1, 0)).header.invisible = true;
    t.add(TestDrawing::kModel, "LINE", TestDrawing::line(0, 0, 1, 0), kDefinitionPoints);
    dwg::Text definition;
    definition.kind = dwg::Text::Kind::AttributeDefinition;
    definition.tag = "TAG";
    definition.height = 1;
    t.block("PARTS", kParts);
    t.add(kParts, "ATTDEF", definition);
    dwg::Insert insert = TestDrawing::insert(kParts, {0, 0, 0});
    dwg::AttributeEntity hidden, shown;
    hidden.text.text = shown.text.text = "VALUE";
    hidden.text.height = shown.text.height = 1;
    hidden.text.kind = shown.text.kind = dwg::Text::Kind::Attribute;
    hidden.text.attributeFlags = 1;
    insert.attributes = {hidden, shown};
    t.add(TestDrawing::kModel, "INSERT", insert);
    // Only the visible attribute: no line, no definition inside the insert.
    DisplayList list = render::buildModelSpace(t.drawing);
    ASSERT_EQ(list.items.size(), 1u);
    EXPECT_EQ(list.items[0].kind, Item::Kind::Text);
    // The block drawn by itself shows its attribute definition.
    list = render::buildDisplayList(t.drawing, *t.find(kParts));
    ASSERT_EQ(list.items.size(), 1u);
    EXPECT_EQ(list.items[0].kind, Item::Kind::Text);
}

TEST(BuildTest, LinetypePatternScalesWithEntityAndInsert) {
    constexpr dwg::Handle kDashed = 0x60, kDashLayer = 0x15, kPart = 0x41;
    using Ref = dwg::EntityHeader::LinetypeRef;
    struct Case {
        const char* name;
        Ref entityRef;
        dwg::Handle layer;
        Ref insertRef;
        std::vector<double> expected;
    };
    const Case cases[] = {
        // 0.5 dash, 0.25 gap; x 2 (entity scale) x 3 (insert scale).
        {"by layer", Ref::ByLayer, kDashLayer, Ref::Continuous, {3, -1.5}},
        {"by block", Ref::ByBlock, TestDrawing::kLayerZero, Ref::Explicit, {3, -1.5}},
        {"continuous", Ref::Continuous, kDashLayer, Ref::Explicit, {}},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        dwg::Linetype dashed;
        dashed.handle = kDashed;
        dashed.name = "DASHED";
        dashed.dashes = {0.5, -0.25};
        t.drawing.linetypes.push_back(dashed);
        t.layer("DASH", kDashLayer, 7).linetype = kDashed;
        t.block("PART", kPart);
        dwg::Entity& line = t.add(kPart, "LINE", TestDrawing::line(0, 0, 1, 0), c.layer);
        line.header.linetypeRef = c.entityRef;
        line.header.linetypeScale = 2;
        dwg::Entity& insert = t.add(TestDrawing::kModel, "INSERT",
                                    TestDrawing::insert(kPart, {0, 0, 0}, 0, {3, 3, 3}));
        insert.header.linetypeRef = c.insertRef;
        insert.header.linetype = kDashed;
        const auto drawn = strokes(render::buildModelSpace(t.drawing));
        ASSERT_EQ(drawn.size(), 1u) << c.name;
        ASSERT_EQ(drawn[0].dashes.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_NEAR(drawn[0].dashes[i], c.expected[i], 1e-12) << c.name;
    }
}

TEST(BuildTest, InsertLimitsKeepTheWorkBounded) {
    constexpr dwg::Handle kCell = 0x50, kLoop = 0x51, kChain = 0x60;
    TestDrawing t;
    t.block("CELL", kCell);
    t.add(kCell, "LINE", TestDrawing::line(0, 0, 1, 0));
    dwg::Insert grid = TestDrawing::insert(kCell, {0, 0, 0});
    grid.columns = 100;
    grid.rows = 100;
    grid.columnSpacing = grid.rowSpacing = 2;
    t.add(TestDrawing::kModel, "MINSERT", grid);
    // A block that inserts itself, and a chain of 20 nested blocks.
    t.block("LOOP", kLoop);
    t.add(kLoop, "INSERT", TestDrawing::insert(kLoop, {0, 0, 0}));
    t.add(TestDrawing::kModel, "INSERT", TestDrawing::insert(kLoop, {0, 0, 0}));
    for (dwg::Handle level = 0; level < 20; ++level) {
        t.block("CHAIN" + std::to_string(level), kChain + level);
        if (level < 19)
            t.add(kChain + level, "INSERT", TestDrawing::insert(kChain + level + 1, {0, 0, 0}));
        else
            t.add(kChain + level, "LINE", TestDrawing::line(0, -5, 0, -6));
    }
    t.add(TestDrawing::kModel, "INSERT", TestDrawing::insert(kChain, {0, 0, 0}));

    render::BuildOptions options;
    options.limits.maxMinsertCells = 250;
    options.limits.maxDepth = 16;
    DisplayList list = render::buildModelSpace(t.drawing, options);
    EXPECT_EQ(strokes(list).size(), 250u);
    EXPECT_EQ(list.report.minsertCellsDropped, 100u * 100u - 250u);
    EXPECT_GE(list.report.cyclesSkipped, 1);
    EXPECT_EQ(list.report.tooDeepSkipped, 1);

    options.limits.maxDepth = 32;
    list = render::buildModelSpace(t.drawing, options);
    EXPECT_EQ(strokes(list).size(), 251u);  // the end of the chain too
    EXPECT_EQ(list.report.tooDeepSkipped, 0);

    options.limits.maxPoints = 100;
    list = render::buildModelSpace(t.drawing, options);
    EXPECT_TRUE(list.report.truncated);
    EXPECT_LE(list.points.size(), 100u);
}

TEST(BuildTest, ExtentsCoverWhatIsDrawnButNotInfiniteLines) {
    dwg::Circle circle;
    circle.center = {2, 3, 0};
    circle.radius = 1;
    dwg::Arc quarter;
    quarter.center = {10, 0, 0};
    quarter.radius = 2;
    quarter.startAngle = 0;
    quarter.endAngle = kPi / 2;
    dwg::ConstructionLine xline;
    xline.bothWays = true;
    xline.point = {-50, -50, 0};
    xline.direction = {1, 1, 0};
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, dwg::EntityData>> entities;
        render::Box expected;
    };
    const Case cases[] = {
        {"circle", {{"CIRCLE", circle}}, {1, 2, 3, 4}},
        {"quarter arc", {{"ARC", quarter}}, {10, 0, 12, 2}},
        {"circle and xline", {{"CIRCLE", circle}, {"XLINE", xline}}, {1, 2, 3, 4}},
        {"xline alone", {{"XLINE", xline}}, {-50, -50, -50, -50}},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        for (const auto& [type, data] : c.entities) t.add(TestDrawing::kModel, type, data);
        const render::Box e = render::buildModelSpace(t.drawing).extents;
        EXPECT_NEAR(e.minX, c.expected.minX, 1e-9) << c.name;
        EXPECT_NEAR(e.minY, c.expected.minY, 1e-9) << c.name;
        EXPECT_NEAR(e.maxX, c.expected.maxX, 1e-9) << c.name;
        EXPECT_NEAR(e.maxY, c.expected.maxY, 1e-9) << c.name;
    }
    EXPECT_TRUE(render::buildModelSpace(TestDrawing().drawing).extents.empty());
}

}  // namespace
