#include <acis/Write.h>
#include <dwg/Convert.h>
#include <dwg/IndexColours.h>
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "Drawings.h"
#include "Samples.h"

using namespace dwg;
using testsupport::drawingWith;
using testsupport::entity;
using testsupport::kModel;

namespace {

const Block& model(const Drawing& d) {
    return *d.modelSpace();
}

std::multiset<std::string> typesIn(const Block& block) {
    std::multiset<std::string> types;
    for (const Entity& e : block.entities) types.insert(e.typeName);
    return types;
}

Entity meshEntity() {
    SubdivisionMesh mesh;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 1}};
    mesh.faces = {{0, 1, 2}, {0, 2, 3}};
    return entity("MESH", mesh);
}

Entity multiLeaderEntity() {
    MultiLeader leader;
    MLeaderRoot root;
    root.connection = {20, 10, 0};
    root.direction = {1, 0, 0};
    root.landingDistance = 5;
    MLeaderLine line;
    line.points = {{0, 0, 0}, {10, 10, 0}};
    line.color = Color{Color::Kind::ByBlock, 0, 0};
    line.arrowSize = 2;
    root.lines.push_back(line);
    leader.roots.push_back(root);
    MText text;
    text.text = "Mesa";
    text.insertion = {26, 11, 0};
    text.height = 2.5;
    leader.text = text;
    Entity e = entity("MULTILEADER", leader);
    e.header.color = Color::fromIndex(3);
    return e;
}

Entity helixEntity() {
    Helix helix;
    helix.spline.controlPoints = {{1, 0, 0}, {0, 1, 0.5}, {-1, 0, 1}, {0, -1, 1.5}};
    helix.spline.knots = {0, 0, 0, 0, 1, 1, 1, 1};
    helix.radius = 1;
    return entity("HELIX", helix);
}

Entity proxyEntity() {
    ProxyGraphics graphics;
    ProxyPrimitive circle;
    circle.kind = ProxyPrimitive::Kind::Circle;
    circle.center = {5, 5, 0};
    circle.radius = 2;
    circle.color = Color{Color::Kind::ByBlock, 0, 0};
    graphics.primitives.push_back(circle);
    ProxyPrimitive polygon;
    polygon.kind = ProxyPrimitive::Kind::Polygon;
    polygon.filled = true;
    polygon.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    polygon.color = Color::fromIndex(1);
    graphics.primitives.push_back(polygon);
    return entity("UNKNOWN_ENT", graphics);
}

Entity surfaceEntity() {
    // A model's form does not matter to the entity's type change.
    return entity("PLANESURFACE", AcisData{});
}

struct KindCase {
    const char* name;
    Entity (*make)();
    // What model space holds afterwards, for 2000, 2004 and from 2010 on.
    std::multiset<std::string> for2000, for2004, from2010;
};

const KindCase kKindCases[] = {
    {"MESH", meshEntity, {"POLYLINE_PFACE"}, {"POLYLINE_PFACE"}, {"MESH"}},
    {"MULTILEADER",
     multiLeaderEntity,
     {"LWPOLYLINE", "SOLID", "LINE", "MTEXT"},
     {"LWPOLYLINE", "SOLID", "LINE", "MTEXT"},
     {"MULTILEADER"}},
    {"HELIX", helixEntity, {"SPLINE"}, {"SPLINE"}, {"HELIX"}},
    {"PLANESURFACE", surfaceEntity, {"BODY"}, {"BODY"}, {"PLANESURFACE"}},
    {"EXTRUDEDSURFACE", [] { return entity("EXTRUDEDSURFACE", AcisData{}); }, {"BODY"}, {"BODY"},
     {"SURFACE"}},
    {"LOFTEDSURFACE", [] { return entity("LOFTEDSURFACE", AcisData{}); }, {"BODY"}, {"BODY"},
     {"SURFACE"}},
    {"SWEPTSURFACE", [] { return entity("SWEPTSURFACE", AcisData{}); }, {"BODY"}, {"BODY"},
     {"SURFACE"}},
    {"NURBSURFACE", [] { return entity("NURBSURFACE", AcisData{}); }, {"BODY"}, {"BODY"},
     {"NURBSURFACE"}},
    {"UNKNOWN_ENT", proxyEntity, {"CIRCLE", "SOLID"}, {"CIRCLE", "SOLID"}, {"CIRCLE", "SOLID"}},
    {"SHAPE", [] { return entity("SHAPE", Unsupported{}); }, {}, {}, {}},
    {"LINE",
     [] {
         return entity("LINE", Line{{0, 0, 0}, {1, 1, 0}});
     },
     {"LINE"},
     {"LINE"},
     {"LINE"}},
};

TEST(Convert, EachKindBecomesWhatTheReleaseHolds) {
    for (const KindCase& c : kKindCases) {
        for (Version target :
             {Version::R2000, Version::R2004, Version::R2010, Version::R2013, Version::R2018}) {
            SCOPED_TRACE(std::string(c.name) + " for " + std::string(versionCode(target)));
            const Drawing source = drawingWith({c.make()});
            const Converted out = convertForVersion(source, target);
            const auto& expected = target == Version::R2000   ? c.for2000
                                   : target == Version::R2004 ? c.for2004
                                                              : c.from2010;
            EXPECT_EQ(typesIn(model(out.drawing)), expected);
            // What a reader finds is the count before, less and plus what the report says.
            std::map<std::string, int> predicted = testsupport::recordCounts(source);
            for (const auto& [type, n] : out.report.removed) predicted[type] -= n;
            for (const auto& [type, n] : out.report.added) predicted[type] += n;
            std::erase_if(predicted, [](const auto& entry) { return entry.second == 0; });
            EXPECT_EQ(predicted, testsupport::recordCounts(out.drawing));
            const bool changed = expected != std::multiset<std::string>{c.name};
            const bool reported =
                std::any_of(out.report.converted.begin(), out.report.converted.end(),
                            [&](const auto& k) { return k.name == c.name && k.count == 1; }) ||
                std::any_of(out.report.leftOut.begin(), out.report.leftOut.end(),
                            [&](const auto& k) { return k.name == c.name && k.count == 1; });
            EXPECT_EQ(reported, changed);
        }
    }
}

TEST(Convert, ReportNamesEachKindWithItsCountInPortuguese) {
    const Drawing source =
        drawingWith({meshEntity(), meshEntity(), entity("SHAPE", Unsupported{}, 0x101)});
    const Converted out = convertForVersion(source, Version::R2000);
    const std::vector<std::string> lines = reportLines(out.report);
    EXPECT_EQ(lines, (std::vector<std::string>{"MESH: 2 convertidas em POLYLINE_PFACE",
                                               "SHAPE: 1 deixada de fora"}));
    EXPECT_TRUE(reportLines(convertForVersion(source, Version::R2018).report).size() == 1);
}

TEST(Convert, MadeEntitiesHaveHandlesOfTheirOwn) {
    Drawing source = drawingWith({multiLeaderEntity(), proxyEntity()});
    source.blocks[0].entities[1].header.handle = 0x500;
    const Converted out = convertForVersion(source, Version::R2000);
    std::set<Handle> handles{kModel, testsupport::kLayerZero, testsupport::kStandardStyle};
    for (const Entity& e : model(out.drawing).entities) {
        EXPECT_GT(e.header.handle, 0x500u);
        EXPECT_TRUE(handles.insert(e.header.handle).second) << e.typeName;
        EXPECT_EQ(e.header.owner, kModel);
    }
}

// A polygon face of six corners becomes a fan whose inner edges are hidden:
// the edges seen are the polygon's own, each once.
TEST(Convert, MeshFacesOfManyCornersKeepOnlyTheirOwnEdgesVisible) {
    SubdivisionMesh mesh;
    for (int i = 0; i < 6; ++i)
        mesh.vertices.push_back({std::cos(i * 1.047), std::sin(i * 1.047), 0});
    mesh.faces = {{0, 1, 2, 3, 4, 5}};
    const Converted out = convertForVersion(drawingWith({entity("MESH", mesh)}), Version::R2004);
    const auto& pface = std::get<Polyline>(model(out.drawing).entities.at(0).data);
    EXPECT_EQ(pface.kind, Polyline::Kind::PolyfaceMesh);
    ASSERT_EQ(pface.vertices.size(), 6u);
    std::set<std::pair<int, int>> visible;
    for (const PolyfaceFace& face : pface.faces) {
        const int n = face.indices[3] == 0 ? 3 : 4;
        for (int k = 0; k < n; ++k) {
            const int from = face.indices[k], to = std::abs(face.indices[(k + 1) % n]);
            if (from > 0) visible.insert(std::minmax(from, to));
        }
    }
    EXPECT_EQ(visible,
              (std::set<std::pair<int, int>>{{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {1, 6}}));
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(pface.vertices[i].position, mesh.vertices[i]);
}

TEST(Convert, LargeMeshesAreSplitIntoPolyfacesOfSixteenBitIndices) {
    SubdivisionMesh mesh;
    const int rows = 2, columns = 20000;  // 40000 vertices
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) mesh.vertices.push_back({double(c), double(r), 0});
    for (int c = 0; c + 1 < columns; ++c)
        mesh.faces.push_back({c, c + 1, columns + c + 1, columns + c});
    const Converted out = convertForVersion(drawingWith({entity("MESH", mesh)}), Version::R2000);
    std::size_t faces = 0;
    ASSERT_GE(model(out.drawing).entities.size(), 2u);
    for (const Entity& e : model(out.drawing).entities) {
        const auto& pface = std::get<Polyline>(e.data);
        EXPECT_LE(pface.vertices.size(), 32767u);
        EXPECT_EQ(pface.meshM, static_cast<int>(pface.vertices.size()));
        for (const PolyfaceFace& face : pface.faces)
            for (int index : face.indices)
                EXPECT_LE(std::abs(index), static_cast<int>(pface.vertices.size()));
        faces += pface.faces.size();
    }
    EXPECT_EQ(faces, mesh.faces.size());
}

TEST(Convert, MultiLeaderIsDrawnByItsParts) {
    const Converted out = convertForVersion(drawingWith({multiLeaderEntity()}), Version::R2000);
    const Block& block = model(out.drawing);
    const Entity* line = nullptr;
    const Entity* arrow = nullptr;
    const Entity* landing = nullptr;
    for (const Entity& e : block.entities) {
        if (e.typeName == "LWPOLYLINE") line = &e;
        if (e.typeName == "SOLID") arrow = &e;
        if (e.typeName == "LINE") landing = &e;
    }
    ASSERT_TRUE(line && arrow && landing);
    const auto& path = std::get<LwPolyline>(line->data).points;
    EXPECT_EQ(path, (std::vector<Point2>{{0, 0}, {10, 10}, {20, 10}}));
    // The leader line said ByBlock: it takes the multileader's own colour.
    EXPECT_EQ(line->header.color, Color::fromIndex(3));
    const Face& solid = std::get<Face>(arrow->data);
    EXPECT_EQ(solid.corners[0], (Point3{0, 0, 0}));
    const double arrowLength = std::hypot(solid.corners[1].x + solid.corners[2].x,
                                          solid.corners[1].y + solid.corners[2].y) /
                               2;
    EXPECT_NEAR(arrowLength, 2, 1e-9);
    EXPECT_EQ(std::get<Line>(landing->data).end, (Point3{25, 10, 0}));
}

TEST(Convert, MultiLeadersAreDrawnByTheirPartsInEveryReleaseWhenAsked) {
    ConvertOptions asParts;
    asParts.multiLeadersAsParts = true;
    for (Version target : {Version::R2000, Version::R2010, Version::R2018}) {
        SCOPED_TRACE(std::string(versionCode(target)));
        const Converted out = convertForVersion(drawingWith({multiLeaderEntity()}), target, asParts);
        EXPECT_EQ(typesIn(model(out.drawing)),
                  (std::multiset<std::string>{"LWPOLYLINE", "SOLID", "LINE", "MTEXT"}));
    }
}

TEST(Convert, AFramedMultiLeaderTextGetsItsFrameAtTheGap) {
    Entity e = multiLeaderEntity();
    auto& leader = std::get<MultiLeader>(e.data);
    leader.textFrame = true;
    leader.landingGap = 0.5;
    ConvertOptions options;
    options.measureText = [](const MText&) {
        return std::optional(std::pair{Point2{26, 8}, Point2{32, 11}});
    };
    for (const bool measured : {true, false}) {
        SCOPED_TRACE(measured ? "measured" : "estimated");
        const Converted out = convertForVersion(drawingWith({e}), Version::R2000,
                                                measured ? options : ConvertOptions{});
        std::vector<std::vector<Point2>> closed;
        for (const Entity& part : model(out.drawing).entities)
            if (const auto* outline = std::get_if<LwPolyline>(&part.data);
                outline && outline->closed)
                closed.push_back(outline->points);
        ASSERT_EQ(closed.size(), 1u);
        if (measured) {
            EXPECT_EQ(closed[0],
                      (std::vector<Point2>{{25.5, 7.5}, {32.5, 7.5}, {32.5, 11.5}, {25.5, 11.5}}));
        } else {
            // Round the text, which starts at its insertion point and hangs below it.
            EXPECT_NEAR(closed[0][3].x, 25.5, 1e-9);
            EXPECT_NEAR(closed[0][3].y, 11.5, 1e-9);
            EXPECT_GT(closed[0][1].x, 26 + 4 * 2.5 * 0.5);
            EXPECT_LT(closed[0][1].y, 11 - 2.5);
        }
    }
}

TEST(Convert, MultiLeaderBlockContentBecomesAnInsertWithItsAttributes) {
    Drawing d = drawingWith({});
    Block mark;
    mark.handle = 0x60;
    mark.name = "MARCA";
    mark.basePoint = {1, 0, 0};
    Text definition;
    definition.kind = Text::Kind::AttributeDefinition;
    definition.tag = "N";
    definition.insertion = {2, 0};
    definition.height = 1;
    mark.entities.push_back(entity("ATTDEF", definition, 0x61));
    d.blocks.push_back(mark);
    MultiLeader leader;
    MLeaderBlockContent content;
    content.block = 0x60;
    // Twice as large about the base point, which lands at (100, 50): block
    // point (2, 0) lands at (102, 50).
    content.transform = {2, 0, 0, 100, 0, 2, 0, 50, 0, 0, 2, 0, 0, 0, 0, 1};
    content.attributes = {{0x61, "7"}};
    leader.block = content;
    d.blocks[0].entities.push_back(entity("MULTILEADER", leader));
    const Converted out = convertForVersion(d, Version::R2004);
    ASSERT_EQ(model(out.drawing).entities.size(), 1u);
    const auto& insert = std::get<Insert>(model(out.drawing).entities[0].data);
    EXPECT_EQ(insert.block, 0x60u);
    EXPECT_EQ(insert.scale, (Point3{2, 2, 2}));
    EXPECT_NEAR(insert.insertion.x, 100, 1e-9);
    EXPECT_NEAR(insert.insertion.y, 50, 1e-9);
    ASSERT_EQ(insert.attributes.size(), 1u);
    const Text& shown = insert.attributes[0].text;
    EXPECT_EQ(shown.text, "7");
    EXPECT_EQ(shown.kind, Text::Kind::Attribute);
    EXPECT_NEAR(shown.insertion.x, 102, 1e-9);
    EXPECT_NEAR(shown.insertion.y, 50, 1e-9);
    EXPECT_NEAR(shown.height, 2, 1e-9);
}

TEST(Convert, RgbColoursBecomeTheNearestIndexFor2000Only) {
    Entity red = entity("LINE", Line{{0, 0, 0}, {1, 0, 0}});
    red.header.color = Color::fromTrueColor(0xFE0201);
    Drawing d = drawingWith({red});
    d.layers[0].color = Color::fromTrueColor(0x0000F0);
    DimensionStyle style;
    style.name = "cota";
    style.textColor = Color::fromTrueColor(0xFFFF00);
    d.dimensionStyles.push_back(style);
    const Converted for2000 = convertForVersion(d, Version::R2000);
    EXPECT_EQ(model(for2000.drawing).entities[0].header.color, Color::fromIndex(1));
    EXPECT_EQ(for2000.drawing.layers[0].color, Color::fromIndex(5));
    EXPECT_EQ(for2000.drawing.dimensionStyles.back().textColor, Color::fromIndex(2));
    EXPECT_EQ(for2000.report.trueColours, 3);
    const Converted for2004 = convertForVersion(d, Version::R2004);
    EXPECT_EQ(model(for2004.drawing).entities[0].header.color, red.header.color);
    EXPECT_EQ(for2004.report.trueColours, 0);

    // What stands for an entity gets index colours too.
    ProxyGraphics graphics;
    ProxyPrimitive stroke;
    stroke.points = {{0, 0, 0}, {1, 1, 0}};
    stroke.color = Color::fromTrueColor(0x00FE00);
    graphics.primitives.push_back(stroke);
    const Converted proxy =
        convertForVersion(drawingWith({entity("UNKNOWN_ENT", graphics)}), Version::R2000);
    EXPECT_EQ(model(proxy.drawing).entities.at(0).header.color, Color::fromIndex(3));
}

TEST(Convert, NearestIndexColourTable) {
    const struct {
        std::uint32_t rgb;
        int index;
    } cases[] = {{0xFF0000, 1}, {0xFFFF00, 2}, {0x00FF00, 3},   {0x0000FF, 5},
                 {0xFFFFFF, 7}, {0x808080, 8}, {0x000000, 250}, {0x333333, 250}};
    for (const auto& c : cases) EXPECT_EQ(nearestIndexColour(c.rgb), c.index) << std::hex << c.rgb;
    for (int index = 1; index <= 255; ++index)
        EXPECT_EQ(indexColourRgb(nearestIndexColour(indexColourRgb(index))), indexColourRgb(index));
}

TEST(Convert, GradientFillsBecomeSolidIn2000) {
    Hatch hatch;
    hatch.patternName = "LINEAR";
    hatch.gradientColor = Color::fromTrueColor(0x00FF00);
    const Drawing d = drawingWith({entity("HATCH", hatch)});
    const Converted out = convertForVersion(d, Version::R2000);
    const Entity& e = model(out.drawing).entities[0];
    const Hatch& solid = std::get<Hatch>(e.data);
    EXPECT_TRUE(solid.solid);
    EXPECT_FALSE(solid.gradientColor);
    EXPECT_EQ(e.header.color, Color::fromIndex(3));
    EXPECT_TRUE(
        std::get<Hatch>(model(convertForVersion(d, Version::R2004).drawing).entities[0].data)
            .gradientColor);
}

TEST(Convert, ProxyGraphicsArePlacedByTheirTransform) {
    ProxyGraphics graphics;
    graphics.transforms.push_back({1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 0, 0, 0, 0, 1});
    ProxyPrimitive arc;
    arc.kind = ProxyPrimitive::Kind::Arc;
    arc.center = {0, 0, 0};
    arc.radius = 3;
    arc.startVector = {0, 1, 0};
    arc.sweepAngle = -std::numbers::pi / 2;  // clockwise: from 90° back to 0°
    arc.transform = 1;
    graphics.primitives.push_back(arc);
    const Converted out =
        convertForVersion(drawingWith({entity("UNKNOWN_ENT", graphics)}), Version::R2018);
    const Arc& made = std::get<Arc>(model(out.drawing).entities.at(0).data);
    EXPECT_EQ(made.center, (Point3{10, 20, 0}));
    EXPECT_DOUBLE_EQ(made.radius, 3);
    EXPECT_NEAR(made.startAngle, 0, 1e-12);
    EXPECT_NEAR(made.endAngle, std::numbers::pi / 2, 1e-12);
}

TEST(Convert, BodiesTakeTheFormTheirReleaseStores) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    for (const char* sample :
         {"R2000/acadsharp_sample_AC1015.dwg", "R2018/acadsharp_sample_AC1032.dwg"}) {
        SCOPED_TRACE(sample);
        const Drawing d = dwg::read(testsupport::samplesFolder() / sample);
        for (Version target : {Version::R2000, Version::R2004, Version::R2018}) {
            const Converted out = convertForVersion(d, target);
            int bodies = 0;
            for (const Block& block : out.drawing.blocks)
                for (const Entity& e : block.entities)
                    if (const auto* acis = std::get_if<AcisData>(&e.data);
                        acis && !acis->bytes.empty()) {
                        ++bodies;
                        EXPECT_EQ(acis::formOf(acis->bytes),
                                  target == Version::R2000 ? acis::Form::Text : acis::Form::Binary);
                    }
            EXPECT_GT(bodies, 0);
            for (const auto& kind : out.report.leftOut)
                EXPECT_TRUE(kind.name != "3DSOLID" && kind.name != "REGION") << kind.name;
        }
    }
}

TEST(Convert, OlderReleasesThan2000AreRefused) {
    EXPECT_THROW(convertForVersion(drawingWith({}), Version::R14), ConvertError);
}

}  // namespace
