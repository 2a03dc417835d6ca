#include "DxfDrawings.h"

#include <numbers>

namespace testsupport {

using namespace dwg;

namespace {

Text attributeText(Text::Kind kind, const char* tag, const char* value) {
    Text t;
    t.kind = kind;
    t.text = value;
    t.tag = tag;
    t.prompt = "Largura da porta";
    t.insertion = {0.1, 0.1};
    t.height = 0.15;
    return t;
}

AcisData acisFor(Version version) {
    AcisData data;
    const std::string text =
        version == Version::R2000
            ? "700 0 1 0\n@7 Tessaly @12 ACIS 7.0 NT @24 Thu Jan 01 00:00:00 2024\n"
              "1 9.9999999999999995e-07 1e-10\nbody $-1 -1 $-1 $1 $-1 $-1 #\n"
              "lump $-1 -1 $-1 $-1 $2 $0 #\n" + std::string(300, 'x') +
                  " #\nEnd-of-ACIS-data\n"
            : std::string("ACIS BinaryFile") + std::string("\x00\x01\x02\xFF\r\n\x1A", 7) +
                  std::string(400, '\x7F') + "End-of-ASM-data";
    data.bytes.assign(text.begin(), text.end());
    return data;
}

}  // namespace

Drawing dxfBaseDrawing() {
    Drawing d = nestedBlocks();
    d.header.insertionUnits = 5;
    d.header.extentsMin = Point3{-10, -10, 0};
    d.header.extentsMax = Point3{60, 40, 3};
    Block door;
    door.handle = kDoor;
    door.name = "Porta";
    door.entities = {entity("LINE", Line{{0, 0, 0}, {0.9, 0, 0}}),
                     entity("ARC", Arc{{0, 0, 0}, 0.9, 0, std::numbers::pi / 2, 0,
                                       kDefaultExtrusion})};
    Entity width = entity("ATTDEF", attributeText(Text::Kind::AttributeDefinition, "LARGURA", "90"));
    width.header.handle = kDoorWidth;
    door.entities.push_back(width);
    Block dimension;
    dimension.handle = kDimensionBlock;
    dimension.name = "*D";
    dimension.anonymous = true;
    dimension.entities = {entity("LINE", Line{{0, 0, 0}, {0, 1, 0}}),
                          entity("LINE", Line{{5, 0, 0}, {5, 1, 0}}),
                          entity("MTEXT", MText{"5", {2.5, 1, 0}, kDefaultExtrusion, {1, 0, 0},
                                                0, 0.25, 8, 1, 1, kStandard})};
    d.blocks.push_back(door);
    d.blocks.push_back(dimension);
    d.imageDefinitions = {{kImageDefinition, "imagens/planta baixa.png", {640, 480}}};
    return d;
}

std::vector<DxfCase> dxfCases(Version version) {
    std::vector<DxfCase> cases;
    for (EntityCase& c : entityCases()) cases.push_back({c.name, std::move(c.entity)});

    Polyline wide;
    wide.kind = Polyline::Kind::Polyline2D;
    wide.closed = true;
    wide.elevation = 2;
    wide.vertices = {{{0, 0, 2}, 0.1, 0.2, 0.5, 0}, {{4, 0, 2}, 0, 0, 0, 0}, {{4, 3, 2}, 0, 0, -1, 0}};
    cases.push_back({"2D polyline with widths and bulges", entity("POLYLINE_2D", wide)});
    Polyline spatial;
    spatial.kind = Polyline::Kind::Polyline3D;
    spatial.vertices = {{{0, 0, 0}}, {{1, 2, 3}}, {{-1, 5, 2}}};
    cases.push_back({"3D polyline", entity("POLYLINE_3D", spatial)});
    Polyline faces;
    faces.kind = Polyline::Kind::PolyfaceMesh;
    faces.vertices = {{{0, 0, 0}}, {{1, 0, 0}}, {{1, 1, 0}}, {{0, 1, 1}}};
    faces.faces = {{{1, 2, 3, 0}}, {{1, -3, 4, 0}}};
    cases.push_back({"polyface mesh", entity("POLYLINE_PFACE", faces)});
    Polyline grid;
    grid.kind = Polyline::Kind::PolygonMesh;
    grid.meshM = 2;
    grid.meshN = 3;
    grid.closedN = true;
    for (int m = 0; m < 2; ++m)
        for (int n = 0; n < 3; ++n)
            grid.vertices.push_back({{double(m), double(n), double(m * n)}});
    cases.push_back({"polygon mesh", entity("POLYLINE_MESH", grid)});

    Insert door;
    door.block = kDoor;
    door.insertion = {3, 3, 0};
    door.rotation = std::numbers::pi / 2;
    AttributeEntity width;
    width.header.layer = kWalls;
    width.text = attributeText(Text::Kind::Attribute, "LARGURA", "80 cm, ação");
    door.attributes = {width, width};
    door.attributes[1].text.tag = "MATERIAL";
    door.attributes[1].text.attributeFlags = 1;
    cases.push_back({"insert with attributes", entity("INSERT", door)});
    cases.push_back({"attribute definition",
                     entity("ATTDEF", attributeText(Text::Kind::AttributeDefinition, "NOME", ""))});

    Face face;
    face.kind = Face::Kind::Face3D;
    face.corners = {Point3{0, 0, 0}, {1, 0, 1}, {1, 1, 2}, {0, 1, 1}};
    face.invisibleEdges = 5;
    cases.push_back({"3D face with invisible edges", entity("3DFACE", face)});
    Face trace;
    trace.kind = Face::Kind::Trace;
    trace.corners = {Point3{0, 0, 0}, {1, 0, 0}, {0, 0.2, 0}, {1, 0.2, 0}};
    cases.push_back({"trace", entity("TRACE", trace)});

    const std::pair<Dimension::Kind, const char*> dimensionKinds[] = {
        {Dimension::Kind::Linear, "DIMENSION_LINEAR"},
        {Dimension::Kind::Aligned, "DIMENSION_ALIGNED"},
        {Dimension::Kind::Angular2Line, "DIMENSION_ANG2LN"},
        {Dimension::Kind::Angular3Point, "DIMENSION_ANG3PT"},
        {Dimension::Kind::Radius, "DIMENSION_RADIUS"},
        {Dimension::Kind::Diameter, "DIMENSION_DIAMETER"},
        {Dimension::Kind::Ordinate, "DIMENSION_ORDINATE"}};
    for (const auto& [kind, type] : dimensionKinds) {
        Dimension d;
        d.kind = kind;
        d.block = kDimensionBlock;
        d.definitionPoint = {5, 1, 0};
        d.textMidpoint = {2.5, 1};
        d.firstPoint = {0, 0, 0};
        d.secondPoint = {5, 0, 0};
        d.thirdPoint = {2, 2, 0};
        d.arcPoint = {3, 3};
        d.measurement = 5;
        d.rotation = 0.1;
        d.leaderLength = 1;
        d.userText = kind == Dimension::Kind::Linear ? "<> cm" : "";
        cases.push_back({std::string("dimension ") + type, entity(type, d)});
    }

    Leader leader;
    leader.points = {{0, 0, 0}, {2, 2, 0}, {4, 2, 0}};
    leader.annotation = kLeaderText;
    cases.push_back({"leader", entity("LEADER", leader)});
    ConstructionLine ray{false, {1, 1, 0}, {0.6, 0.8, 0}};
    cases.push_back({"ray", entity("RAY", ray)});
    ConstructionLine xline{true, {1, 1, 0}, {1, 0, 0}};
    cases.push_back({"construction line", entity("XLINE", xline)});
    cases.push_back({"viewport", entity("VIEWPORT", Viewport{{148, 105, 0}, 297, 210}), true});

    MLine mline;
    mline.scale = 20;
    mline.basePoint = {0, 0, 0};
    mline.elements = {{0.5, Color::fromIndex(1), 0}, {-0.5, Color{}, 0}};
    mline.vertices = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {{0.5}, {-0.5}}, {{}, {}}},
                      {{100, 0, 0}, {1, 0, 0}, {0, 1, 0}, {{0.5, 0, 30}, {-0.5}}, {{}, {}}}};
    mline.filled = true;
    mline.fillColor = Color::fromIndex(3);
    cases.push_back({"multiline", entity("MLINE", mline)});

    RasterImage image;
    image.insertion = {0, 0, 0};
    image.u = {0.01, 0, 0};
    image.v = {0, 0.01, 0};
    image.size = {640, 480};
    image.displayFlags = 7;
    image.imageDefinition = kImageDefinition;
    cases.push_back({"image", entity("IMAGE", image)});
    RasterImage wipeout;
    wipeout.wipeout = true;
    wipeout.u = {4, 0, 0};
    wipeout.v = {0, 3, 0};
    wipeout.clipping = true;
    wipeout.clipBoundary = {{-0.5, -0.5}, {0.5, -0.5}, {0, 0.5}};
    cases.push_back({"wipeout", entity("WIPEOUT", wipeout)});

    Helix helix;
    helix.spline.knots = {0, 0, 0, 0, 1, 1, 1, 1};
    helix.spline.controlPoints = {{1, 0, 0}, {1, 1, 0.3}, {-1, 1, 0.6}, {-1, 0, 1}};
    helix.axisVector = {0, 0, 1};
    helix.startPoint = {1, 0, 0};
    helix.radius = 1;
    helix.turns = 0.5;
    helix.turnHeight = 2;
    cases.push_back({"helix", entity("HELIX", helix)});
    Tolerance tolerance;
    tolerance.text = "{\\Fgdt;j}%%v0.1%%v%%v%%v%%v";
    tolerance.insertion = {1, 1, 0};
    cases.push_back({"tolerance", entity("TOLERANCE", tolerance)});

    for (const char* type : {"3DSOLID", "REGION", "BODY", "PLANESURFACE", "EXTRUDEDSURFACE",
                             "LOFTEDSURFACE", "REVOLVEDSURFACE", "SWEPTSURFACE", "NURBSURFACE"})
        cases.push_back({std::string("ACIS data of ") + type, entity(type, acisFor(version))});
    cases.push_back({"3DSOLID without ACIS data", entity("3DSOLID", AcisData{})});

    if (version == Version::R2018) {
        Entity trueColor = entity("CIRCLE", Circle{{1, 1, 0}, 2});
        trueColor.header.color = Color::fromTrueColor(0x336699);
        cases.push_back({"true colour", trueColor});
        Hatch gradient;
        gradient.solid = true;
        gradient.patternName = "SOLID";
        HatchLoop loop;
        loop.isPolyline = true;
        loop.points = {{0, 0}, {1, 0}, {1, 1}};
        gradient.loops = {loop};
        gradient.gradientColor = Color::fromIndex(5);
        cases.push_back({"gradient hatch", entity("HATCH", gradient)});

        SubdivisionMesh mesh;
        mesh.subdivisionLevel = 1;
        mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 0.5, 1}};
        mesh.faces = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {0, 3, 2, 1}};
        mesh.edges = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
        mesh.creases = {-1, 0, 0, 2};
        cases.push_back({"mesh", entity("MESH", mesh)});

        MultiLeader note;
        MLeaderRoot root;
        root.connection = {10, 10, 0};
        root.landingDistance = 2;
        MLeaderLine line;
        line.points = {{0, 0, 0}, {5, 8, 0}};
        line.arrowSize = 0.5;
        root.lines = {line};
        note.roots = {root};
        note.landingGap = 0.2;
        MText text;
        text.text = "Pia de cozinha\\P120 × 60 cm";
        text.insertion = {12.2, 10.5, 0};
        text.height = 0.5;
        note.text = text;
        cases.push_back({"multileader with text", entity("MULTILEADER", note)});
        MultiLeader tag = note;
        tag.text.reset();
        MLeaderBlockContent content;
        content.block = kDoor;
        content.location = {13, 10, 0};
        content.attributes = {{kDoorWidth, "70"}};
        tag.block = content;
        cases.push_back({"multileader with a block", entity("MULTILEADER", tag)});
    }
    return cases;
}

Drawing dxfCaseDrawing(const DxfCase& entityCase) {
    Drawing d = dxfBaseDrawing();
    Block& space = d.blocks[entityCase.paperSpace ? 1 : 0];
    if (std::holds_alternative<Leader>(entityCase.entity.data)) {
        Entity note = entity("MTEXT", MText{"Ver detalhe", {4, 2, 0}, kDefaultExtrusion,
                                            {1, 0, 0}, 0, 0.3, 1, 1, 1, kStandard});
        note.header.handle = kLeaderText;
        space.entities.push_back(note);
    }
    space.entities.push_back(entityCase.entity);
    return d;
}

std::map<std::string, int> dxfKindCounts(const Drawing& drawing) {
    std::map<std::string, int> counts;
    for (const Block& block : drawing.blocks)
        for (const auto& [type, n] : countEntityTypes(block)) {
            std::string kind = type;
            if (kind.starts_with("POLYLINE_")) kind = "POLYLINE";
            if (kind.starts_with("VERTEX_")) kind = "VERTEX";
            if (kind.starts_with("DIMENSION_")) kind = "DIMENSION";
            if (kind == "MINSERT") kind = "INSERT";
            counts[kind] += n;
        }
    return counts;
}

}  // namespace testsupport
