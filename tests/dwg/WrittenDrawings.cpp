#include "WrittenDrawings.h"

#include <dwg/Reader.h>

#include <numbers>

#include "Samples.h"

namespace testsupport {

using namespace dwg;

Drawing baseDrawing() {
    Drawing d;
    d.linetypes = {{kByBlock, "ByBlock", "", 0, {}},
                   {kByLayer, "ByLayer", "", 0, {}},
                   {kContinuous, "Continuous", "Solid line", 0, {}},
                   {kDashed, "TRACEJADO", "__  __  __", 0.75, {0.5, -0.25}}};
    d.layers = {{kLayerZero, "0", Color::fromIndex(7), true, false, false, kContinuous},
                {kWalls, "Paredes", Color::fromIndex(1), true, false, false, kDashed},
                {kHidden, "Móveis ocultos", Color::fromIndex(254), false, true, true, kContinuous}};
    TextStyle standard;
    standard.handle = kStandard;
    standard.name = "Standard";
    standard.fontFile = "txt";
    TextStyle arial;
    arial.handle = kArial;
    arial.name = "Arial";
    arial.fontFile = "arial.ttf";
    arial.widthFactor = 0.8;
    arial.obliqueAngle = 0.2;
    arial.fixedHeight = 12.5;
    d.textStyles = {standard, arial};
    Block model;
    model.handle = kModelSpace;
    model.name = "*Model_Space";
    model.modelSpace = true;
    Block paper;
    paper.handle = kPaperSpace;
    paper.name = "*Paper_Space";
    paper.paperSpace = true;
    Block dimension;
    dimension.handle = kDimensionDrawing;
    dimension.name = "*D1";
    dimension.anonymous = true;
    dimension.entities = {entity("LINE", Line{{0, 0, 0}, {10, 0, 0}}),
                          entity("MTEXT", MText{"10", {5, 1, 0}, kDefaultExtrusion, {1, 0, 0}, 0,
                                                2.5, 8, 1, 1, kStandard})};
    d.blocks = {model, paper, dimension};
    DimensionStyle standardDimensions;
    standardDimensions.handle = kStandardDimensions;
    standardDimensions.name = "Standard";
    DimensionStyle iso;
    iso.handle = kIso25;
    iso.name = "ISO-25 ação";
    iso.postfix = "<> mm";
    iso.scale = 10;
    iso.arrowSize = 3;
    iso.extensionOffset = 1;
    iso.baselineSpacing = 5;
    iso.extensionBeyond = 2;
    iso.rounding = 0.5;
    iso.lineBeyond = 0.25;
    iso.textHeight = 3.5;
    iso.centerMark = -1;
    iso.tickSize = 0.4;
    iso.lengthFactor = 0.1;
    iso.textGap = 1;
    iso.textInsideHorizontal = iso.textOutsideHorizontal = true;
    iso.suppressExtension2 = true;
    iso.lineInside = false;
    iso.textInside = true;
    iso.textVertical = 0;
    iso.zeroSuppression = 0;
    iso.decimals = 1;
    iso.linearUnits = 4;
    iso.angularUnits = 1;
    iso.angularDecimals = 3;
    iso.decimalSeparator = '.';
    iso.textJustification = 2;
    iso.fit = 1;
    iso.lineColor = Color::fromIndex(1);
    iso.extensionColor = Color{};
    iso.textColor = Color::fromIndex(3);
    iso.lineweight = 25;
    iso.extensionLineweight = -1;
    iso.textStyle = kArial;
    iso.separateArrows = true;
    d.dimensionStyles = {standardDimensions, iso};
    d.views = {{kFrontView, "Fachada sul", {10, 5}, 20, 32, {1, 2, 3}, {0, -1, 0}, 0.1, 35, 1, -1,
                6, false}};
    d.ucss = {{kTiltedUcs, "Plano inclinado", {1, 2, 3}, {0.6, 0.8, 0}, {-0.8, 0.6, 0}}};
    return d;
}

Entity entity(const char* type, EntityData data, Handle layer) {
    Entity e;
    e.typeName = type;
    e.header.layer = layer;
    e.data = std::move(data);
    return e;
}

std::vector<EntityCase> entityCases() {
    std::vector<EntityCase> cases;
    cases.push_back({"flat line", entity("LINE", Line{{1.5, -2, 0}, {1.5, 7.25, 0}})});
    cases.push_back({"3D line with thickness",
                     entity("LINE", Line{{1, 2, 3}, {-4, 5, -0.0}, 2.5, {0, 0.6, 0.8}})});
    cases.push_back({"point", entity("POINT", Point{{3, 4, 5}, 0, kDefaultExtrusion, 0.7})});
    cases.push_back({"circle", entity("CIRCLE", Circle{{-1, -1, 0}, 1e-3, 0, {0, 0, -1}})});
    cases.push_back({"arc", entity("ARC", Arc{{10, 10, 0}, 5, 0.25, 6.0, 0, kDefaultExtrusion})});
    cases.push_back(
        {"ellipse",
         entity("ELLIPSE", Ellipse{{2, 3, 0}, {4, 1, 0}, kDefaultExtrusion, 0.4, 0.1, 5.5})});
    LwPolyline plain;
    plain.points = {{0, 0}, {1e6, 0}, {1e6, 0.001}};
    cases.push_back({"open polyline", entity("LWPOLYLINE", plain)});
    LwPolyline rich;
    rich.closed = true;
    rich.constantWidth = 0.05;
    rich.elevation = 3;
    rich.thickness = 1;
    rich.extrusion = {0, 0, -1};
    rich.points = {{0, 0}, {10, 0}, {10, 5}, {0, 5}};
    rich.bulges = {0, 1, 0, -0.4142};
    rich.widths = {{0, 0.5}, {0.5, 0}, {0, 0}, {1, 1}};
    cases.push_back({"closed polyline with bulges and widths", entity("LWPOLYLINE", rich)});
    Spline byControl;
    byControl.rational = true;
    byControl.knots = {0, 0, 0, 0, 0.5, 1, 1, 1, 1};
    byControl.controlPoints = {{0, 0, 0}, {1, 2, 0}, {3, 2, 1}, {4, 0, 0}, {5, -1, 0}};
    byControl.weights = {1, 0.5, 2, 1, 1};
    cases.push_back({"rational spline", entity("SPLINE", byControl)});
    Spline byFit;
    byFit.fitPoints = {{0, 0, 0}, {2, 1, 0}, {4, 0, 0}};
    byFit.startTangent = {1, 1, 0};
    byFit.endTangent = {1, -1, 0};
    cases.push_back({"fit spline", entity("SPLINE", byFit)});
    Text plainText;
    plainText.text = "Cozinha";
    plainText.insertion = plainText.alignment = {5, 6};
    plainText.height = 2.5;
    cases.push_back({"text with every optional field left out", entity("TEXT", plainText)});
    Text fullText;
    fullText.text = "Ação, café e pão: 10 €; ☃ e 🪑";
    fullText.insertion = {5, 6};
    fullText.alignment = {25, 6.5};
    fullText.elevation = 1;
    fullText.height = 2.5;
    fullText.rotation = std::numbers::pi / 6;
    fullText.widthFactor = 0.75;
    fullText.obliqueAngle = 0.1;
    fullText.generation = 2;
    fullText.horizontalAlignment = 1;
    fullText.verticalAlignment = 3;
    fullText.thickness = 0.5;
    fullText.style = kArial;
    cases.push_back(
        {"text with every field and characters outside the code page", entity("TEXT", fullText)});
    MText mtext;
    mtext.text = "Mesa de jantar\\PCadeiras: 6";
    mtext.insertion = {1, 2, 0};
    mtext.xAxis = {0.6, 0.8, 0};
    mtext.rectangleWidth = 40;
    mtext.height = 3;
    mtext.attachment = 5;
    mtext.lineSpacingFactor = 1.5;
    mtext.style = kArial;
    cases.push_back({"mtext", entity("MTEXT", mtext)});
    Face solid;
    solid.corners = {Point3{0, 0, 2}, {1, 0, 2}, {0, 1, 2}, {1, 1, 2}};
    solid.thickness = 0.1;
    cases.push_back({"solid", entity("SOLID", solid)});
    Face trace = solid;
    trace.kind = Face::Kind::Trace;
    trace.extrusion = {0, 0, -1};
    cases.push_back({"trace", entity("TRACE", trace)});
    Face flatFace;
    flatFace.kind = Face::Kind::Face3D;
    flatFace.corners = {Point3{0, 0, 0}, {4, 0, 0}, {4, 3, 0}, {4, 3, 0}};
    cases.push_back({"triangular 3D face", entity("3DFACE", flatFace)});
    Face hiddenEdges;
    hiddenEdges.kind = Face::Kind::Face3D;
    hiddenEdges.corners = {Point3{0, 0, 1}, {1, 0, 2}, {1, 1, 3}, {0, 1, 4}};
    hiddenEdges.invisibleEdges = 5;
    cases.push_back({"3D face with hidden edges", entity("3DFACE", hiddenEdges)});
    cases.push_back({"ray", entity("RAY", ConstructionLine{false, {1, 2, 3}, {0.6, 0.8, 0}})});
    cases.push_back({"xline", entity("XLINE", ConstructionLine{true, {-1, 0, 0}, {0, 0, 1}})});
    Hatch solidHatch;
    solidHatch.patternName = "SOLID";
    solidHatch.solid = true;
    solidHatch.patternType = 1;
    HatchLoop polyLoop;
    polyLoop.flags = 1 | 2;
    polyLoop.isPolyline = true;
    polyLoop.points = {{0, 0}, {4, 0}, {4, 3}};
    polyLoop.bulges = {0, 0.3, 0};
    solidHatch.loops = {polyLoop};
    cases.push_back({"solid hatch", entity("HATCH", solidHatch)});
    Hatch edges = solidHatch;
    HatchLoop edgeLoop;
    edgeLoop.flags = 1;
    HatchEdge line;
    line.start = {0, 0};
    line.end = {4, 0};
    HatchEdge arc;
    arc.kind = HatchEdge::Kind::CircularArc;
    arc.center = {2, 0};
    arc.radius = 2;
    arc.endAngle = std::numbers::pi;
    arc.counterClockwise = true;
    HatchEdge elliptic;
    elliptic.kind = HatchEdge::Kind::EllipticArc;
    elliptic.center = {1, 1};
    elliptic.majorAxisEnd = {2, 0};
    elliptic.axisRatio = 0.5;
    elliptic.endAngle = 1;
    elliptic.counterClockwise = false;
    HatchEdge spline;
    spline.kind = HatchEdge::Kind::Spline;
    spline.degree = 2;
    spline.knots = {0, 0, 0, 1, 1, 1};
    spline.controlPoints = {{0, 0}, {1, 2}, {2, 0}};
    spline.weights = {1, 0.7, 1};
    edgeLoop.edges = {line, arc, elliptic, spline};
    edges.loops = {edgeLoop};
    cases.push_back({"hatch bounded by edges", entity("HATCH", edges)});
    Hatch pattern;
    pattern.patternName = "ANSI31";
    pattern.patternType = 1;
    pattern.patternAngle = 0.5;
    pattern.patternScale = 2;
    pattern.patternLines = {{std::numbers::pi / 4, {0, 0}, {-0.09, 0.09}, {}},
                            {0, {0.1, 0}, {0, 0.2}, {0.3, -0.1}}};
    pattern.loops = {polyLoop};
    cases.push_back({"pattern hatch", entity("HATCH", pattern)});

    Polyline wide;
    wide.flags = 1;
    wide.closed = true;
    wide.startWidth = 0.1;
    wide.endWidth = 0.2;
    wide.elevation = 2;
    wide.thickness = 0.5;
    wide.extrusion = {0, 0, -1};
    wide.vertices = {{{0, 0, 2}, 0.3, 0.3, 0.5, 0}, {{5, 0, 2}, 0, 0.4, 0, 0}, {{5, 5, 2}, 0, 0, -1, 0}};
    cases.push_back({"closed 2D polyline with widths and bulges", entity("POLYLINE_2D", wide)});
    Polyline path;
    path.kind = Polyline::Kind::Polyline3D;
    path.flags = 8;
    path.vertices = {{{0, 0, 0}, 0, 0, 0, 32}, {{1, 2, 3}, 0, 0, 0, 32}};
    cases.push_back({"3D polyline", entity("POLYLINE_3D", path)});
    Polyline pface;
    pface.kind = Polyline::Kind::PolyfaceMesh;
    pface.vertices = {{{0, 0, 0}, 0, 0, 0, 192}, {{1, 0, 0}, 0, 0, 0, 192},
                      {{1, 1, 1}, 0, 0, 0, 192}, {{0, 1, 1}, 0, 0, 0, 192}};
    pface.faces = {{{1, 2, -3, 0}}, {{1, -3, 4, 2}}};
    cases.push_back({"polyface mesh with hidden edges", entity("POLYLINE_PFACE", pface)});
    Polyline grid;
    grid.kind = Polyline::Kind::PolygonMesh;
    grid.flags = 16 | 1 | 32;
    grid.closed = grid.closedN = true;
    grid.meshM = 2;
    grid.meshN = 3;
    for (int m = 0; m < 2; ++m)
        for (int n = 0; n < 3; ++n)
            grid.vertices.push_back({{double(m), double(n), double(m * n)}, 0, 0, 0, 64});
    cases.push_back({"polygon mesh closed both ways", entity("POLYLINE_MESH", grid)});
    Text definition = plainText;
    definition.kind = Text::Kind::AttributeDefinition;
    definition.text = "padrão";
    definition.tag = "MODELO";
    definition.prompt = "Qual é o modelo?";
    definition.attributeFlags = 4 | 8;
    cases.push_back({"attribute definition", entity("ATTDEF", definition)});

    Dimension dimension;
    dimension.block = kDimensionDrawing;
    dimension.textMidpoint = {5, 1};
    dimension.measurement = 10;
    dimension.definitionPoint = {10, 2, 0};
    dimension.firstPoint = {0, 0, 0};
    dimension.secondPoint = {10, 0, 0};
    const std::pair<const char*, Dimension::Kind> dimensionKinds[] = {
        {"DIMENSION_ORDINATE", Dimension::Kind::Ordinate},
        {"DIMENSION_LINEAR", Dimension::Kind::Linear},
        {"DIMENSION_ALIGNED", Dimension::Kind::Aligned},
        {"DIMENSION_ANG3PT", Dimension::Kind::Angular3Point},
        {"DIMENSION_ANG2LN", Dimension::Kind::Angular2Line},
        {"DIMENSION_RADIUS", Dimension::Kind::Radius},
        {"DIMENSION_DIAMETER", Dimension::Kind::Diameter}};
    for (const auto& [name, kind] : dimensionKinds) {
        Dimension d = dimension;
        d.kind = kind;
        if (kind == Dimension::Kind::Linear) {
            d.dimStyle = kIso25;
            d.rotation = 0.3;
            d.extensionRotation = 0.1;
            d.userText = "<> mm";
            d.textRotation = 0.2;
            d.insertionScale = {2, 2, 1};
            d.insertionRotation = 0.5;
            d.elevation = 1;
            d.extrusion = {0, 0, -1};
        }
        // Each kind keeps only some of the points.
        using K = Dimension::Kind;
        if (kind == K::Angular3Point || kind == K::Angular2Line || kind == K::Radius ||
            kind == K::Diameter)
            d.thirdPoint = {3, 4, 0};
        if (kind == K::Angular2Line) d.arcPoint = {6, 6};
        if (kind == K::Aligned) d.extensionRotation = 0.4;
        if (kind == K::Radius || kind == K::Diameter) {
            d.firstPoint = d.secondPoint = {};
            d.leaderLength = 1.5;
        }
        cases.push_back({name, entity(name, d)});
    }
    Leader leader;
    leader.points = {{0, 0, 0}, {2, 2, 0}, {4, 2, 0}};
    cases.push_back({"leader", entity("LEADER", leader)});
    Leader curved = leader;
    curved.dimStyle = kIso25;
    curved.splinePath = true;
    curved.arrowhead = false;
    curved.extrusion = {0, 0, -1};
    cases.push_back({"spline leader without arrowhead", entity("LEADER", curved)});

    Tolerance frame;
    frame.text = "{\\Fgdt;j}%%v{\\Fgdt;n}0.5%%v%%vA^J{\\Fgdt;f}0.1";
    frame.insertion = {1, 2, 3};
    frame.xDirection = {0, 1, 0};
    frame.extrusion = {0, 0, -1};
    frame.dimStyle = kIso25;
    cases.push_back({"tolerance of two lines", entity("TOLERANCE", frame)});

    Entity styled = entity("CIRCLE", Circle{{9, 9, 0}, 1}, kWalls);
    styled.header.color = Color::fromIndex(1);
    styled.header.linetypeRef = EntityHeader::LinetypeRef::Explicit;
    styled.header.linetype = kDashed;
    styled.header.linetypeScale = 2.5;
    styled.header.lineweight = 35;
    cases.push_back({"explicit colour, linetype and lineweight", styled});
    Entity byBlock = entity("LINE", Line{{0, 0, 0}, {1, 1, 0}}, kHidden);
    byBlock.header.color = Color{Color::Kind::ByBlock, 0, 0};
    byBlock.header.linetypeRef = EntityHeader::LinetypeRef::ByBlock;
    byBlock.header.lineweight = -2;
    byBlock.header.invisible = true;
    cases.push_back({"by block and invisible", byBlock});
    Entity continuous = entity("ARC", Arc{{0, 0, 0}, 1, 0, 1, 0, kDefaultExtrusion});
    continuous.header.linetypeRef = EntityHeader::LinetypeRef::Continuous;
    continuous.header.lineweight = -3;
    cases.push_back({"continuous linetype and default lineweight", continuous});
    return cases;
}

// The first model of each form in the samples: SAT as AutoCAD 2000 keeps it,
// SAB as 2004-2010 keep it inline.
const std::vector<std::uint8_t>& sampleModel(bool binary) {
    static const auto models = [] {
        std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> found;
        const auto take = [](const char* sample) {
            const Drawing drawing = read(samplesFolder() / sample);
            for (const Block& block : drawing.blocks)
                for (const Entity& e : block.entities)
                    if (const auto* acis = std::get_if<AcisData>(&e.data); acis && !acis->bytes.empty())
                        return acis->bytes;
            return std::vector<std::uint8_t>{};
        };
        found.first = take("R2000/acadsharp_sample_AC1015.dwg");
        found.second = take("R2010/acadsharp_sample_AC1024.dwg");
        return found;
    }();
    return binary ? models.second : models.first;
}

SubdivisionMesh sampleMesh() {
    // A square pyramid: four triangles and the base, one edge kept sharp.
    SubdivisionMesh mesh;
    mesh.subdivisionLevel = 1;
    mesh.vertices = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {1, 1, 1.5}};
    mesh.faces = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {3, 2, 1, 0}};
    mesh.edges = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 4}, {2, 4}, {3, 4}};
    mesh.creases = {-1, 0, 0, 0, 2.5, 0, 0, 0};
    return mesh;
}

std::vector<EntityCase> bodyCases(Version version) {
    const AcisData model{sampleModel(version >= Version::R2004)};
    std::vector<EntityCase> cases = {{"3DSOLID", entity("3DSOLID", model)},
                                     {"REGION", entity("REGION", model, kWalls)},
                                     {"BODY", entity("BODY", model)},
                                     {"3DSOLID without a model", entity("3DSOLID", AcisData{})}};
    // Surfaces exist from 2007 (the NURBS one from 2010): of the versions
    // written, from 2010.
    if (version >= Version::R2010)
        for (const char* kind : {"SURFACE", "PLANESURFACE", "NURBSURFACE", "REVOLVEDSURFACE"})
            cases.push_back({kind, entity(kind, model)});
    if (version >= Version::R2010) cases.push_back({"MESH", entity("MESH", sampleMesh())});
    return cases;
}

std::vector<EntityCase> allEntityCases() {
    std::vector<EntityCase> cases = entityCases();
    cases.push_back({"viewport", entity("VIEWPORT", Viewport{{148, 105, 0}, 297, 210}), true});

    MLine mline;
    mline.scale = 20;
    mline.justification = 1;
    mline.basePoint = {0, 0, 0};
    mline.elements = {{0.5, Color::fromIndex(1), 0}, {-0.5, Color{}, kDashed}};
    mline.vertices = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {{0.5}, {-0.5}}, {{}, {}}},
                      {{100, 0, 0}, {1, 0, 0}, {0, 1, 0}, {{0.5, 0, 30}, {-0.5}}, {{}, {}}}};
    mline.filled = true;
    mline.fillColor = Color::fromIndex(3);
    mline.startSquareCap = mline.endRoundCap = mline.showMiters = true;
    mline.startAngle = mline.endAngle = std::numbers::pi / 2;
    cases.push_back({"multiline with fill, caps and a dashed element", entity("MLINE", mline)});
    MLine closed;
    closed.closed = true;
    closed.suppressStartCaps = closed.suppressEndCaps = true;
    closed.extrusion = {0, 0, -1};
    closed.elements = {{0, Color::fromIndex(5), 0}, {1, Color{}, 0}, {-1.5, Color{}, 0}};
    closed.startAngle = closed.endAngle = 1.2;
    for (const Point3& p : {Point3{0, 0, 0}, Point3{10, 0, 0}, Point3{10, 10, 0}})
        closed.vertices.push_back({p, {1, 0, 0}, {0, 1, 0}, {{0}, {1, 2, 4}, {-1.5}}, {{}, {}, {}}});
    cases.push_back({"closed three-line multiline of another style", entity("MLINE", closed)});

    RasterImage image;
    image.insertion = {10, 20, 0};
    image.u = {0.01, 0, 0};
    image.v = {0, 0.01, 0};
    image.size = {640, 480};
    image.displayFlags = 7;
    image.clipping = true;
    image.brightness = 60;
    image.contrast = 40;
    image.fade = 10;
    image.clipBoundary = {{-0.5, -0.5}, {320, -0.5}, {320, 200}, {-0.5, 200}};
    image.imageDefinition = kPictureDefinition;
    cases.push_back({"image clipped by a rectangle", entity("IMAGE", image)});
    RasterImage wipeout;
    wipeout.wipeout = true;
    wipeout.u = {4, 0, 0};
    wipeout.v = {0, 3, 0};
    wipeout.displayFlags = 7;
    wipeout.clipping = true;
    wipeout.clipBoundary = {{-0.5, -0.5}, {0.5, -0.5}, {0, 0.5}};
    cases.push_back({"wipeout clipped by a triangle", entity("WIPEOUT", wipeout)});

    Helix helix;
    helix.spline.knots = {0, 0, 0, 0, 1, 1, 1, 1};
    helix.spline.controlPoints = {{1, 0, 0}, {1, 1, 0.3}, {-1, 1, 0.6}, {-1, 0, 1}};
    helix.axisVector = {0, 0, 1};
    helix.startPoint = {1, 0, 0};
    helix.radius = 1;
    helix.turns = 0.5;
    helix.turnHeight = 2;
    helix.rightHanded = false;
    cases.push_back({"helix", entity("HELIX", helix), false, Version::R2007});
    return cases;
}

void place(Drawing& drawing, const EntityCase& entityCase) {
    drawing.blocks[entityCase.paperSpace ? 1 : 0].entities.push_back(entityCase.entity);
    const auto* image = std::get_if<RasterImage>(&entityCase.entity.data);
    if (image && !image->wipeout && drawing.imageDefinitions.empty())
        drawing.imageDefinitions = {{kPictureDefinition, "imagens\\planta baixa.png", {640, 480}}};
}

Drawing nestedBlocks() {
    Drawing d = baseDrawing();
    // Arrowheads are blocks of the drawing.
    d.dimensionStyles[1].arrowBlock = kChair;
    d.dimensionStyles[1].firstArrowBlock = kTable;
    d.dimensionStyles[1].secondArrowBlock = kChair;
    d.dimensionStyles[1].leaderArrowBlock = kTable;
    Block chair;
    chair.handle = kChair;
    chair.name = "Cadeira";
    chair.basePoint = {0.25, 0.25, 0};
    chair.entities = {
        entity(
            "LWPOLYLINE",
            LwPolyline{false, 0, 0, 0, kDefaultExtrusion, {{0, 0}, {0.5, 0}, {0.5, 0.5}}, {}, {}},
            kWalls),
        entity("ARC", Arc{{0.25, 0.5, 0}, 0.25, 0, std::numbers::pi, 0, kDefaultExtrusion})};
    Text seat;
    seat.kind = Text::Kind::AttributeDefinition;
    seat.tag = "LUGAR";
    seat.prompt = "Lugar";
    seat.text = "1";
    seat.insertion = seat.alignment = {0.25, 0.1};
    seat.height = 0.1;
    chair.entities.push_back(entity("ATTDEF", seat));
    Block table;
    table.handle = kTable;
    table.name = "Mesa com cadeiras";
    Insert one;
    one.block = kChair;
    one.insertion = {1, -0.5, 0};
    one.rotation = std::numbers::pi;
    AttributeEntity place;
    place.header.layer = kWalls;
    place.header.color = Color::fromIndex(3);
    place.text = seat;
    place.text.kind = Text::Kind::Attribute;
    place.text.prompt.clear();
    place.text.text = "Cabeceira";
    place.text.insertion = place.text.alignment = {1.25, -0.4};
    place.text.style = kArial;
    AttributeEntity hidden = place;
    hidden.text.tag = "FABRICANTE";
    hidden.text.text = "Móveis São João";
    hidden.text.attributeFlags = 1;
    one.attributes = {place, hidden};
    Insert array;
    array.block = kChair;
    array.columns = 3;
    array.rows = 2;
    array.columnSpacing = 0.7;
    array.rowSpacing = 2;
    array.scale = {0.5, 0.5, 0.5};
    table.entities = {entity("CIRCLE", Circle{{0, 0, 0}, 0.8}), entity("INSERT", one),
                      entity("MINSERT", array)};
    Block anonymous;
    anonymous.handle = kAnonymous;
    anonymous.name = "*U7";
    anonymous.anonymous = true;
    anonymous.basePoint = {-3, 4, 1};
    anonymous.entities = {entity("POINT", Point{{0, 0, 0}})};
    d.blocks.push_back(chair);
    d.blocks.push_back(table);
    d.blocks.push_back(anonymous);
    for (const Point3 scale : {Point3{1, 1, 1}, {1, 2, 3}, {2, 2, 2}, {-2, 2, 2}, {2, 3, 4}}) {
        Insert placed;
        placed.block = kTable;
        placed.insertion = {scale.x * 10, scale.y * 10, 0};
        placed.scale = scale;
        if (scale.x == 2 && scale.y == 2) {  // nested attributes: the table's own, on its insert
            AttributeEntity label = one.attributes.front();
            label.header.layer = kLayerZero;
            label.text.tag = "MESA";
            label.text.text = "Sala";
            placed.attributes = {label};
        }
        d.blocks[0].entities.push_back(entity("INSERT", placed));
    }
    Insert placedAnonymous;
    placedAnonymous.block = kAnonymous;
    d.blocks[1].entities.push_back(entity("INSERT", placedAnonymous));
    // Model space split in two: a plan on the left and, on the right, a
    // turned view shaded with edges (render mode 6, all older versions keep).
    SavedView plan;
    plan.centre = {20, 20};
    plan.height = 60;
    plan.upperRight = {0.5, 1};
    SavedView turned = plan;
    turned.direction = {1, -1, 1};
    turned.visualStyle = VisualStyle::ShadedWithEdges;
    turned.renderMode = 6;
    turned.lowerLeft = {0.5, 0};
    turned.upperRight = {1, 1};
    d.tiledViews = {plan, turned};
    d.activeView = plan;
    return d;
}

}  // namespace testsupport
