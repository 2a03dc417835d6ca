// The builder on drawings made in code: placement through nested inserts and
// object coordinate systems, colour, layer and linetype resolution, the
// limits on inserts, and extents.
#include <gtest/gtest.h>
#include <render/Build.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Curves.h"
#include "Palette.h"
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

TEST(BuildTest, ColourIndexPaletteHasTheStandardValues) {
    const std::pair<int, std::uint32_t> known[] = {
        {1, 0xFF0000},   {3, 0x00FF00},   {5, 0x0000FF},  {8, 0x808080},  {9, 0xC0C0C0},
        {10, 0xFF0000},  {11, 0xFF7F7F},  {12, 0xCC0000}, {13, 0xCC6666}, {15, 0x994C4C},
        {16, 0x7F0000},  {19, 0x4C2626},  {30, 0xFF7F00}, {50, 0xFFFF00}, {130, 0x00FFFF},
        {175, 0x4C4C99}, {250, 0x333333}, {255, 0xFFFFFF}};
    for (const auto& [index, rgb] : known)
        EXPECT_EQ(render::detail::paletteColour(index), rgb) << index;
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

    options.limits.maxBytes = 4096;
    list = render::buildModelSpace(t.drawing, options);
    EXPECT_TRUE(list.report.truncated);
    EXPECT_LE(list.items.size() * sizeof(Item) + list.pieces.size() * sizeof(render::Piece) +
                  list.points.size() * sizeof(Vec2),
              4096u);
}

// Whether `p` is inside any ring of the list's fills (even-odd per ring).
bool filled(const DisplayList& list, Vec2 p) {
    for (const Item& item : list.items) {
        if (item.kind != Item::Kind::Fill) continue;
        for (std::uint32_t i = item.first; i < item.first + item.count; ++i) {
            std::vector<Vec2> ring;
            render::detail::flattenPiece(list, list.pieces[i], 1e-6, ring);
            while (i + 1 < item.first + item.count && !list.pieces[i + 1].startsContour)
                render::detail::flattenPiece(list, list.pieces[++i], 1e-6, ring);
            bool inside = false;
            for (std::size_t k = 0, j = ring.size() - 1; k < ring.size(); j = k++)
                if ((ring[k].y > p.y) != (ring[j].y > p.y) &&
                    p.x < ring[j].x +
                              (ring[k].x - ring[j].x) * (p.y - ring[j].y) / (ring[k].y - ring[j].y))
                    inside = !inside;
            if (inside) return true;
        }
    }
    return false;
}

TEST(BuildTest, WidePolylinesFillTheirOutline) {
    dwg::LwPolyline corner;
    corner.points = {{0, 0}, {10, 0}, {10, 10}};
    corner.constantWidth = 2;
    dwg::LwPolyline donut;  // two half circles of radius 5 about (30, 0), 2 wide
    donut.points = {{25, 0}, {35, 0}};
    donut.bulges = {1, 1};
    donut.closed = true;
    donut.constantWidth = 2;
    TestDrawing t;
    t.add(TestDrawing::kModel, "LWPOLYLINE", corner);
    t.add(TestDrawing::kModel, "LWPOLYLINE", donut);
    const DisplayList list = render::buildModelSpace(t.drawing);
    struct Case {
        Vec2 point;
        bool inside;
    };
    const Case cases[] = {
        {{5, 0.9}, true},   {{5, 1.1}, false},   {{10.9, -0.9}, true},  // mitred outer corner
        {{-0.1, 0}, false}, {{10, 10.1}, false},                        // square ends
        {{30, 5.9}, true},  {{30, -4.1}, true},  {{30, 0}, false},      // ring, not its middle
        {{30, 6.1}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(filled(list, c.point), c.inside) << c.point.x << ", " << c.point.y;
}

TEST(BuildTest, MultiLeaderDrawsItsLinesArrowLandingAndText) {
    dwg::MultiLeader leader;
    dwg::MLeaderRoot root;
    root.connection = {10, 10, 0};
    root.direction = {1, 0, 0};
    root.landingDistance = 2;
    dwg::MLeaderLine line;
    line.points = {{0, 0, 0}};
    line.color = dwg::Color::fromIndex(0);  // by block: the leader's own colour
    line.arrowSize = 1;
    root.lines = {line};
    leader.roots = {root};
    dwg::MText text;
    text.text = "AB";
    text.height = 1;
    text.insertion = {13, 10.5, 0};
    leader.text = text;
    TestDrawing t;
    t.add(TestDrawing::kModel, "MULTILEADER", leader, TestDrawing::kLayerZero,
          dwg::Color::fromIndex(1));
    const DisplayList list = render::buildModelSpace(t.drawing);
    const auto drawn = strokes(list);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].points, (std::vector<Vec2>{{0, 0}, {10, 10}}));
    EXPECT_EQ(drawn[0].colour, Colour::fromRgb(0xFF0000));
    EXPECT_EQ(drawn[1].points, (std::vector<Vec2>{{10, 10}, {12, 10}}));
    // The arrow: a filled triangle one unit long with its tip on the first point.
    EXPECT_TRUE(filled(list, {0.3, 0.3}));
    EXPECT_FALSE(filled(list, {1.0, 1.0}));
    const auto text_ = std::find_if(list.items.begin(), list.items.end(),
                                    [](const Item& i) { return i.kind == Item::Kind::Text; });
    ASSERT_NE(text_, list.items.end());
    EXPECT_GT(text_->bounds.minX, 12.9);
}

TEST(BuildTest, SolidHatchesFillInTheEntityOrFirstGradientColour) {
    dwg::Hatch hatch;
    hatch.solid = true;
    dwg::HatchLoop square;
    square.isPolyline = true;
    square.points = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    hatch.loops = {square};
    struct Case {
        std::optional<dwg::Color> gradient;
        Colour expected;
    };
    const Case cases[] = {{std::nullopt, Colour::fromRgb(0xFF0000)},
                          {dwg::Color::fromIndex(5), Colour::fromRgb(0x0000FF)},
                          {dwg::Color::fromTrueColor(0x123456), Colour::fromRgb(0x123456)}};
    for (const Case& c : cases) {
        hatch.gradientColor = c.gradient;
        TestDrawing t;
        t.add(TestDrawing::kModel, "HATCH", hatch, TestDrawing::kLayerZero,
              dwg::Color::fromIndex(1));
        const DisplayList list = render::buildModelSpace(t.drawing);
        ASSERT_EQ(list.items.size(), 1u);
        EXPECT_EQ(list.items[0].kind, Item::Kind::Fill);
        EXPECT_EQ(list.items[0].colour, c.expected);
    }
}

TEST(BuildTest, FillModeOffOutlinesSolids) {
    dwg::Face solid;
    solid.corners = {dwg::Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    for (const bool fill : {true, false}) {
        TestDrawing t;
        t.drawing.header.fillMode = fill;
        t.add(TestDrawing::kModel, "SOLID", solid);
        EXPECT_EQ(filled(render::buildModelSpace(t.drawing), {0.5, 0.5}), fill);
    }
}

TEST(BuildTest, MLineDrawsItsElementsGapsFillAndCaps) {
    dwg::MLine line;
    line.elements.resize(2);
    line.filled = true;
    line.fillColor = dwg::Color::fromIndex(3);
    line.startSquareCap = true;
    // Along y = 0 and y = 1 from x = 0 to 10 to 20; the upper element has a
    // gap from 2 to 4 in its first segment.
    for (const double x : {0.0, 10.0, 20.0}) {
        dwg::MLineVertex v;
        v.position = {x, 0, 0};
        v.direction = {1, 0, 0};
        v.miter = {0, 1, 0};
        v.elementParameters = {{1}, {0}};
        line.vertices.push_back(v);
    }
    line.vertices[0].elementParameters[0] = {1, 0, 2, 4};
    TestDrawing t;
    t.add(TestDrawing::kModel, "MLINE", line);
    const DisplayList list = render::buildModelSpace(t.drawing);
    std::vector<std::vector<Vec2>> pieces;
    for (const Stroke& s : strokes(list)) pieces.push_back(s.points);
    const std::vector<std::vector<Vec2>> expected{
        {{0, 1},
         {2, 1},
         {4, 1},
         {10, 1},
         {20, 1}},  // stretches 0-2 and 4-10 (a gap between), then on
        {{0, 0}, {10, 0}, {20, 0}},
        {{0, 1}, {0, 0}},  // the start cap
    };
    EXPECT_EQ(pieces, expected);
    // The gap splits the upper element in two.
    const auto upper = std::find_if(list.items.begin(), list.items.end(),
                                    [](const Item& i) { return i.kind == Item::Kind::Stroke; });
    ASSERT_NE(upper, list.items.end());
    EXPECT_EQ(upper->count, 2u);
    EXPECT_TRUE(filled(list, {15, 0.5}));
}

TEST(BuildTest, ProxyGraphicsAndToleranceFramesAreDrawn) {
    dwg::ProxyGraphics graphics;
    graphics.transforms.push_back({1, 0, 0, 100, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});  // x + 100
    dwg::ProxyPrimitive polyline;
    polyline.points = {{0, 0, 0}, {1, 0, 0}};
    polyline.transform = 1;
    polyline.color = dwg::Color::fromIndex(1);
    dwg::ProxyPrimitive square;
    square.kind = dwg::ProxyPrimitive::Kind::Polygon;
    square.filled = true;
    square.points = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
    square.color = dwg::Color::fromIndex(0);  // the entity's own colour
    dwg::ProxyPrimitive circle;
    circle.kind = dwg::ProxyPrimitive::Kind::Circle;
    circle.center = {10, 0, 0};
    circle.radius = 3;
    dwg::ProxyPrimitive text;
    text.kind = dwg::ProxyPrimitive::Kind::Text;
    text.points = {{20, 0, 0}};
    text.text = "T";
    text.height = 1;
    graphics.primitives = {polyline, square, circle, text};
    dwg::Tolerance tolerance;
    tolerance.text = "A%%vB^JC";
    tolerance.height = 1;
    tolerance.insertion = {0, 50, 0};
    TestDrawing t;
    t.add(TestDrawing::kModel, "ACAD_PROXY_ENTITY", graphics, TestDrawing::kLayerZero,
          dwg::Color::fromIndex(5));
    t.add(TestDrawing::kModel, "TOLERANCE", tolerance);
    const DisplayList list = render::buildModelSpace(t.drawing);
    const auto drawn = strokes(list);
    ASSERT_GE(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].points, (std::vector<Vec2>{{100, 0}, {101, 0}}));
    EXPECT_EQ(drawn[0].colour, Colour::fromRgb(0xFF0000));
    EXPECT_TRUE(filled(list, {1, 1}));
    EXPECT_NEAR(render::length(drawn[1].points[0] - Vec2{10, 0}), 3, 1e-9);
    // Three boxed cells: A and B on the first row, C below.
    int frames = 0, texts = 0;
    for (const Stroke& s : drawn)
        frames += s.points.size() == 5 && s.points[0].y <= 50 && s.points[0].y >= 46;
    for (const Item& item : list.items) texts += item.kind == Item::Kind::Text;
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(texts, 4);  // T and the three cells
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
