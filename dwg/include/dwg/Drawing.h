// The drawing as read from a DWG file: tables, blocks and the entities needed
// to draw them. Coordinates are as stored (entities in their block's frame,
// planar entities in their object coordinate system where the format says so).
#pragma once

#include <dwg/Version.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dwg {

using Handle = std::uint64_t;

struct Point2 {
    double x = 0;
    double y = 0;

    bool operator==(const Point2&) const = default;
};

struct Point3 {
    double x = 0;
    double y = 0;
    double z = 0;

    bool operator==(const Point3&) const = default;
};

inline constexpr Point3 kDefaultExtrusion{0, 0, 1};

struct Color {
    enum class Kind { ByLayer, ByBlock, Index, True };
    Kind kind = Kind::ByLayer;
    int index = 256;        // AutoCAD colour index 1..255 when kind == Index
    std::uint32_t rgb = 0;  // 0xRRGGBB when kind == True

    static Color fromIndex(int aci);
    static Color fromTrueColor(std::uint32_t rgb);

    bool operator==(const Color&) const = default;
};

struct Layer {
    Handle handle = 0;
    std::string name;
    Color color;
    bool on = true;
    bool frozen = false;
    bool locked = false;
    Handle linetype = 0;

    bool operator==(const Layer&) const = default;
};

struct Linetype {
    Handle handle = 0;
    std::string name;
    std::string description;
    double patternLength = 0;
    std::vector<double> dashes;  // positive = dash, negative = gap, 0 = dot

    bool operator==(const Linetype&) const = default;
};

struct TextStyle {
    Handle handle = 0;
    std::string name;
    std::string fontFile;
    std::string bigFontFile;
    double fixedHeight = 0;
    double widthFactor = 1;
    double obliqueAngle = 0;
    bool vertical = false;
    bool shapeFile = false;

    bool operator==(const TextStyle&) const = default;
};

// Data every entity carries.
struct EntityHeader {
    Handle handle = 0;
    Handle owner = 0;  // owning block header or, for VERTEX/ATTRIB, the parent entity
    Handle layer = 0;
    Color color;
    // Linetype: explicit handle, or one of the special values below.
    enum class LinetypeRef { ByLayer, ByBlock, Continuous, Explicit };
    LinetypeRef linetypeRef = LinetypeRef::ByLayer;
    Handle linetype = 0;
    double linetypeScale = 1;
    int lineweight = -1;  // hundredths of mm; -1 ByLayer, -2 ByBlock, -3 default
    bool invisible = false;
    // The entity's proxy graphics as stored (empty when it has none): how the
    // program that wrote it drew it. See decodeProxyGraphics().
    std::vector<std::uint8_t> proxyGraphics;

    bool operator==(const EntityHeader&) const = default;
};

struct Line {
    Point3 start, end;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;

    bool operator==(const Line&) const = default;
};

struct Point {
    Point3 position;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
    double xAxisAngle = 0;

    bool operator==(const Point&) const = default;
};

struct Circle {
    Point3 center;
    double radius = 0;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;

    bool operator==(const Circle&) const = default;
};

struct Arc {
    Point3 center;
    double radius = 0;
    double startAngle = 0;  // radians, counter-clockwise around the extrusion
    double endAngle = 0;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;

    bool operator==(const Arc&) const = default;
};

struct Ellipse {
    Point3 center;     // world coordinates
    Point3 majorAxis;  // from the centre to the end of the major axis
    Point3 extrusion = kDefaultExtrusion;
    double axisRatio = 1;
    double startParameter = 0;
    double endParameter = 0;

    bool operator==(const Ellipse&) const = default;
};

struct LwPolyline {
    bool closed = false;
    double constantWidth = 0;
    double elevation = 0;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
    std::vector<Point2> points;
    std::vector<double> bulges;                     // empty or one per point
    std::vector<std::pair<double, double>> widths;  // empty or one (start, end) per point

    bool operator==(const LwPolyline&) const = default;
};

struct Vertex {
    Point3 position;
    double startWidth = 0;
    double endWidth = 0;
    double bulge = 0;
    int flags = 0;

    bool operator==(const Vertex&) const = default;
};

// Vertex indices (1-based) of a polyface face; negative = invisible edge, 0 = unused.
struct PolyfaceFace {
    std::array<int, 4> indices{};

    bool operator==(const PolyfaceFace&) const = default;
};

struct Polyline {
    enum class Kind { Polyline2D, Polyline3D, PolyfaceMesh, PolygonMesh };
    Kind kind = Kind::Polyline2D;
    int flags = 0;
    bool closed = false;   // 2D/3D: closed; mesh: closed in M
    bool closedN = false;  // mesh only
    double startWidth = 0;
    double endWidth = 0;
    double elevation = 0;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
    int meshM = 0;
    int meshN = 0;
    std::vector<Vertex> vertices;
    std::vector<PolyfaceFace> faces;

    bool operator==(const Polyline&) const = default;
};

struct Spline {
    int degree = 3;
    bool rational = false;
    bool closed = false;
    bool periodic = false;
    std::vector<double> knots;
    std::vector<Point3> controlPoints;
    std::vector<double> weights;  // empty unless weighted
    std::vector<Point3> fitPoints;
    Point3 startTangent;
    Point3 endTangent;

    bool operator==(const Spline&) const = default;
};

// TEXT, ATTRIB and ATTDEF.
struct Text {
    enum class Kind { Text, Attribute, AttributeDefinition };
    Kind kind = Kind::Text;
    std::string text;
    Point2 insertion;
    Point2 alignment;
    double elevation = 0;
    double height = 0;
    double rotation = 0;  // radians
    double widthFactor = 1;
    double obliqueAngle = 0;  // radians
    int generation = 0;       // 2 = mirrored in X, 4 = upside down
    int horizontalAlignment = 0;
    int verticalAlignment = 0;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
    Handle style = 0;
    // Attributes only.
    std::string tag;
    std::string prompt;
    int attributeFlags = 0;  // 1 invisible, 2 constant, 4 verify, 8 preset

    bool operator==(const Text&) const = default;
};

struct MText {
    std::string text;  // with MTEXT formatting codes
    Point3 insertion;
    Point3 extrusion = kDefaultExtrusion;
    Point3 xAxis{1, 0, 0};
    double rectangleWidth = 0;
    double height = 0;
    int attachment = 1;  // 1 top left .. 9 bottom right
    int drawingDirection = 1;
    double lineSpacingFactor = 1;
    Handle style = 0;

    bool operator==(const MText&) const = default;
};

struct AttributeEntity;

// INSERT and MINSERT.
struct Insert {
    Handle block = 0;
    Point3 insertion;
    Point3 scale{1, 1, 1};
    double rotation = 0;
    Point3 extrusion = kDefaultExtrusion;
    int columns = 1;
    int rows = 1;
    double columnSpacing = 0;
    double rowSpacing = 0;
    std::vector<AttributeEntity> attributes;

    bool operator==(const Insert&) const = default;
};

// SOLID, TRACE (corners in object coordinates) and 3DFACE (world coordinates).
struct Face {
    enum class Kind { Solid, Trace, Face3D };
    Kind kind = Kind::Solid;
    std::array<Point3, 4> corners{};
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
    int invisibleEdges = 0;  // 3DFACE only

    bool operator==(const Face&) const = default;
};

struct HatchEdge {
    enum class Kind { Line, CircularArc, EllipticArc, Spline };
    Kind kind = Kind::Line;
    Point2 start, end;    // line
    Point2 center;        // arcs
    double radius = 0;    // circular arc
    Point2 majorAxisEnd;  // elliptic arc, relative to the centre
    double axisRatio = 1;
    double startAngle = 0;
    double endAngle = 0;
    bool counterClockwise = true;
    int degree = 3;  // spline
    std::vector<double> knots;
    std::vector<Point2> controlPoints;
    std::vector<double> weights;

    bool operator==(const HatchEdge&) const = default;
};

struct HatchLoop {
    int flags = 0;  // 1 external, 2 polyline, 4 derived, 16 outermost
    bool isPolyline = false;
    bool closed = true;
    std::vector<Point2> points;  // polyline loop
    std::vector<double> bulges;
    std::vector<HatchEdge> edges;  // edge loop

    bool operator==(const HatchLoop&) const = default;
};

struct HatchPatternLine {
    double angle = 0;
    Point2 base;
    Point2 offset;
    std::vector<double> dashes;

    bool operator==(const HatchPatternLine&) const = default;
};

struct Hatch {
    std::string patternName;
    bool solid = false;
    bool associative = false;
    double elevation = 0;
    Point3 extrusion = kDefaultExtrusion;
    std::vector<HatchLoop> loops;
    int style = 0;
    int patternType = 0;
    double patternAngle = 0;
    double patternScale = 1;
    std::vector<HatchPatternLine> patternLines;
    std::optional<Color> gradientColor;  // a gradient fill's first colour (R2004+)

    bool operator==(const Hatch&) const = default;
};

struct Dimension {
    enum class Kind { Ordinate, Linear, Aligned, Angular3Point, Angular2Line, Radius, Diameter };
    Kind kind = Kind::Linear;
    Handle block = 0;  // anonymous block holding the drawn dimension
    Handle dimStyle = 0;
    std::string userText;
    Point3 extrusion = kDefaultExtrusion;
    Point2 textMidpoint;
    double elevation = 0;
    double textRotation = 0;
    Point3 insertionScale{1, 1, 1};
    double insertionRotation = 0;
    double measurement = 0;
    Point3 definitionPoint;        // DXF 10
    Point3 firstPoint;             // DXF 13
    Point3 secondPoint;            // DXF 14
    Point3 thirdPoint;             // DXF 15
    Point2 arcPoint;               // DXF 16
    double extensionRotation = 0;  // linear
    double rotation = 0;           // linear
    double leaderLength = 0;       // radius, diameter

    bool operator==(const Dimension&) const = default;
};

struct Leader {
    std::vector<Point3> points;
    bool splinePath = false;
    bool arrowhead = true;
    Point3 extrusion = kDefaultExtrusion;
    Handle annotation = 0;
    Handle dimStyle = 0;

    bool operator==(const Leader&) const = default;
};

// RAY (half-infinite) and XLINE (infinite both ways).
struct ConstructionLine {
    bool bothWays = false;
    Point3 point;
    Point3 direction;

    bool operator==(const ConstructionLine&) const = default;
};

struct Viewport {
    Point3 center;  // paper-space coordinates
    double width = 0;
    double height = 0;

    bool operator==(const Viewport&) const = default;
};

// MULTILEADER: leader lines with arrowheads, ending at a landing beside MTEXT or
// block content. Every point and vector is in world coordinates (WCS); sizes are
// drawing units with the leader's overall scale already applied. What the entity
// leaves to its MLEADERSTYLE has been taken from the style.
struct MLeaderLine {
    // Arrowhead tip first, then the bends; the line goes on to its root's
    // `connection` point.
    std::vector<Point3> points;
    int leaderType = 1;     // 0 invisible, 1 straight segments, 2 spline through the points
    Color color;            // ByBlock stands for the multileader's own colour
    Handle linetype = 0;    // LTYPE handle (may be the BYLAYER/BYBLOCK entry); 0 = ByLayer
    int lineweight = -1;    // hundredths of mm; -1 ByLayer, -2 ByBlock, -3 default
    Handle arrowBlock = 0;  // block drawn as the arrowhead; 0 = the standard closed filled arrow
    double arrowSize = 0;   // arrowhead length; the arrow block is scaled by it

    bool operator==(const MLeaderLine&) const = default;
};

struct MLeaderRoot {
    Point3 connection;  // where this root's lines end
    // Unit vector of the landing (dog-leg), from `connection` towards the content.
    Point3 direction{1, 0, 0};
    double landingDistance = 0;  // landing length, drawn only when MultiLeader::landing is set
    std::vector<MLeaderLine> lines;

    bool operator==(const MLeaderRoot&) const = default;
};

struct MLeaderBlockContent {
    Handle block = 0;  // block header of the content
    Point3 location;   // block's insertion point
    Point3 normal = kDefaultExtrusion;
    Point3 scale{1, 1, 1};
    double rotation = 0;  // radians, about `normal`
    Color color;          // colour given to the block's ByBlock entities
    // Row-major 4×4 matrix taking block coordinates (relative to the block's base
    // point) to WCS; the last row is 0 0 0 1. Applies rotation, normal, scale and
    // location at once.
    std::array<double, 16> transform{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Values shown by the block's attribute definitions: ATTDEF handle, text.
    std::vector<std::pair<Handle, std::string>> attributes;

    bool operator==(const MLeaderBlockContent&) const = default;
};

struct MultiLeader {
    std::vector<MLeaderRoot> roots;
    bool landing = true;    // draw each root's landing (dog-leg)
    double landingGap = 0;  // gap between the landing and the text
    double scale = 1;       // overall scale, already applied to the sizes here
    // MTEXT content. `insertion` is the text's anchor in WCS, `extrusion` its
    // plane, `xAxis` its direction, `height` the text height, `rectangleWidth` the
    // wrapping width (0 = none), `attachment` 1, 2 or 3 (top left, top centre,
    // top right) and `drawingDirection` as stored (5 = as the text style says).
    std::optional<MText> text;
    Color textColor;         // ByBlock stands for the multileader's own colour
    bool textFrame = false;  // a rectangle around the text
    std::optional<MLeaderBlockContent> block;
    Handle style = 0;  // MLEADERSTYLE object

    bool operator==(const MultiLeader&) const = default;
};

// MLINE: parallel lines (the elements of its MLINESTYLE) along a path of
// vertices. Points and vectors are in world coordinates (WCS).
struct MLineElement {
    double offset = 0;  // from the style's centre line, before MLine::scale
    Color color;
    Handle linetype = 0;  // LTYPE handle (R2018+ files); 0 where only an index is stored

    bool operator==(const MLineElement&) const = default;
};

struct MLineVertex {
    Point3 position;
    Point3 direction;  // unit vector along the segment that starts here
    Point3 miter;      // unit vector along which the elements are offset at this vertex
    // One list per style element. The first value is the distance along `miter`
    // from `position` to where the element passes this vertex. The values after
    // it, measured along `direction` from that point, alternate between where a
    // drawn stretch of the element starts and where it stops (a gap follows);
    // a last start without its stop runs on to the next vertex. With no values
    // after the first, the element is drawn along the whole segment.
    std::vector<std::vector<double>> elementParameters;
    std::vector<std::vector<double>> fillParameters;  // same, for the fill

    bool operator==(const MLineVertex&) const = default;
};

struct MLine {
    double scale = 1;       // factor on the style's offsets
    int justification = 0;  // 0 top, 1 zero (centre), 2 bottom
    Point3 basePoint;
    Point3 extrusion = kDefaultExtrusion;
    bool closed = false;  // the last vertex joins the first
    bool suppressStartCaps = false;
    bool suppressEndCaps = false;
    std::vector<MLineVertex> vertices;
    Handle style = 0;  // MLINESTYLE object
    // From the style (empty elements when the style is missing).
    std::vector<MLineElement> elements;
    bool filled = false;
    Color fillColor;
    bool showMiters = false;  // a line across the elements at each inner vertex
    bool startSquareCap = false, startRoundCap = false, startInnerArcs = false;
    bool endSquareCap = false, endRoundCap = false, endInnerArcs = false;
    double startAngle = 0;  // cap angles, radians
    double endAngle = 0;

    bool operator==(const MLine&) const = default;
};

// IMAGE and WIPEOUT: a raster placed in world coordinates (WCS). Pixel (i, j)
// of a w×h image covers insertion + u·[i, i+1] + v·[h-1-j, h-j]: `insertion`
// is the outer lower-left corner, u and v the size and direction of one pixel
// along the image's columns and up its rows. A WIPEOUT is a 1×1 "image" that
// masks what lies under its boundary with the background colour.
// rasterOutline() gives the boundary to draw or fill.
struct RasterImage {
    bool wipeout = false;
    Point3 insertion;
    Point3 u{1, 0, 0};
    Point3 v{0, 1, 0};
    Point2 size{1, 1};  // width and height in pixels
    // 1 shown, 2 shown when not aligned with the screen, 4 clipped, 8 transparent.
    int displayFlags = 0;
    bool clipping = false;      // the clip boundary applies
    bool clipInverted = false;  // R2010+: hide what lies inside the boundary instead
    int brightness = 50;        // 0..100
    int contrast = 50;
    int fade = 0;
    // Clip boundary in pixel coordinates: x to the right and y downwards from
    // the centre of the top-left pixel, so the image spans -0.5 .. w-0.5 and
    // -0.5 .. h-0.5. A rectangle is given by its four corners.
    std::vector<Point2> clipBoundary;
    Handle imageDefinition = 0;  // IMAGEDEF object naming the file (IMAGE only)

    bool operator==(const RasterImage&) const = default;
};

// HELIX: the spline that draws it, and the helix it was made from (WCS).
struct Helix {
    Spline spline;
    Point3 axisBasePoint;
    Point3 startPoint;
    Point3 axisVector;
    double radius = 0;  // top radius
    double turns = 0;
    double turnHeight = 0;
    bool rightHanded = true;  // counter-clockwise seen from the axis tip

    bool operator==(const Helix&) const = default;
};

// MESH (subdivision mesh): its base cage in world coordinates, as stored;
// the smoothing its level asks for is left to the renderer.
struct SubdivisionMesh {
    int subdivisionLevel = 0;  // smoothing steps the cage is shown with; 0 shows it as it is
    std::vector<Point3> vertices;
    std::vector<std::vector<int>> faces;     // vertex indices of each face
    std::vector<std::pair<int, int>> edges;  // vertex index pairs
    // One per edge, or none: how many smoothing steps the edge stays sharp
    // for; 0 smooth, -1 sharp at every level.
    std::vector<double> creases;

    bool operator==(const SubdivisionMesh&) const = default;
};

// TOLERANCE: a feature control frame, drawn from its text with the codes of
// the GDT font (%%v separates frame cells, ^J starts a new frame line).
struct Tolerance {
    std::string text;
    Point3 insertion;            // WCS
    Point3 xDirection{1, 0, 0};  // WCS
    Point3 extrusion = kDefaultExtrusion;
    double height = 0;  // R13-R14 only; later the dimension style's DIMTXT applies
    Handle dimStyle = 0;

    bool operator==(const Tolerance&) const = default;
};

// Proxy graphics, decoded: the primitives the writing program drew for an
// entity, in world coordinates (WCS) once the primitive's transform is applied.
struct ProxyPrimitive {
    enum class Kind {
        Polyline,  // `points`, joined back to the first when `closed`
        Polygon,   // `points`, closed; filled when `filled`
        Circle,    // `center`, `radius`, in the plane of `normal`
        Arc,       // `center`, `radius`, `normal`, from `startVector` through `sweepAngle`
        Text,      // `text` at `points[0]`
        Ray,       // from `points[0]` through `points[1]`, without end
        Xline,     // through `points[0]` and `points[1]`, both ways without end
    };
    Kind kind = Kind::Polyline;
    std::vector<Point3> points;
    bool closed = false;
    bool filled = false;
    Point3 center;
    double radius = 0;
    Point3 normal = kDefaultExtrusion;  // also the text's plane
    Point3 startVector{1, 0, 0};        // unit vector from the centre to the arc's start
    double sweepAngle = 0;  // radians, counter-clockwise about `normal` (negative: clockwise)
    // Text: the baseline starts at points[0] and runs along `direction`; the
    // string is UTF-8 with %% codes as stored.
    std::string text;
    Point3 direction{1, 0, 0};
    double height = 0;
    double widthFactor = 1;
    double obliqueAngle = 0;  // radians
    // In effect for this primitive. ByBlock stands for the entity's own colour,
    // ByLayer for its layer's.
    Color color;
    int lineweight = -1;  // hundredths of mm; -1 ByLayer, -2 ByBlock, -3 default
    // Index into ProxyGraphics::transforms; 0 is the identity.
    std::size_t transform = 0;

    bool operator==(const ProxyPrimitive&) const = default;
};

struct ProxyGraphics {
    // Row-major 4×4 matrices taking a primitive's coordinates to WCS; the
    // first is the identity.
    std::vector<std::array<double, 16>> transforms{
        {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    std::vector<ProxyPrimitive> primitives;

    bool operator==(const ProxyGraphics&) const = default;
};

// REGION, 3DSOLID, BODY and the surfaces (SURFACE, PLANESURFACE,
// EXTRUDEDSURFACE, LOFTEDSURFACE, REVOLVEDSURFACE, SWEPTSURFACE, NURBSURFACE;
// the entity's type name tells which): their ACIS model as stored, for a
// modeller-format reader to decode. A surface's model is a sheet, seen from
// both sides. `bytes` is SAT text (already deciphered from the file's
// character substitution) or SAB binary (starting "ACIS BinaryFile" or "ASM
// BinaryFile"); from R2013 it may come from the data store section, found by
// the entity's handle. Empty when neither holds a model.
// A line of the wireframe the CAD program stores with a body: a polyline
// along the body, in world coordinates. Isolines and edges show from any
// side; a silhouette is the outline the body had seen along `viewDirection`.
struct AcisWire {
    std::vector<Point3> points;
    bool silhouette = false;
    Point3 viewDirection;  // from the target towards the eye

    bool operator==(const AcisWire&) const = default;
};

struct AcisData {
    std::vector<std::uint8_t> bytes;
    // What the entity stores of its wireframe after the model; drawn where
    // the model itself cannot be. (Initialised, so that AcisData{bytes}
    // stays a complete initialisation.)
    std::vector<AcisWire> wires = {};

    bool operator==(const AcisData&) const = default;
};

// An entity type that is counted but not decoded (SHAPE, proxies without
// graphics...).
struct Unsupported {
    bool operator==(const Unsupported&) const = default;
};

using EntityData =
    std::variant<Unsupported, Line, Point, Circle, Arc, Ellipse, LwPolyline, Polyline, Spline, Text,
                 MText, Insert, Face, Hatch, Dimension, Leader, ConstructionLine, Viewport,
                 MultiLeader, MLine, RasterImage, Helix, SubdivisionMesh, Tolerance, ProxyGraphics,
                 AcisData>;

struct Entity {
    std::string
        typeName;  // "LINE", "POLYLINE_2D", "DIMENSION_LINEAR", class names like "MULTILEADER"
    EntityHeader header;
    EntityData data;

    bool operator==(const Entity&) const = default;
};

struct AttributeEntity {
    EntityHeader header;
    Text text;

    bool operator==(const AttributeEntity&) const = default;
};

struct Block {
    Handle handle = 0;  // the block header (BLOCK_RECORD) handle
    std::string name;
    Point3 basePoint;
    bool anonymous = false;
    bool isXref = false;
    bool modelSpace = false;
    bool paperSpace = false;  // any paper-space layout
    std::vector<Entity> entities;

    bool operator==(const Block&) const = default;
};

// How a view shows 3D objects: the looks of the CAD program's visual styles.
enum class VisualStyle {
    Wireframe2D,      // every edge, drawn as in plan ("2dWireframe"; render mode 0)
    Wireframe3D,      // every edge ("Wireframe"; render mode 1)
    Hidden,           // edges; faces, in the background colour, hide what lies behind
                      // ("Hidden"; render mode 2)
    Shaded,           // lit faces in their objects' colours, no edges ("Realistic",
                      // "Shaded", "Flat", "Gouraud"; render modes 3 and 4)
    ShadedWithEdges,  // lit faces and their edges ("Shaded with edges", "Flat with
                      // edges"...; render modes 5 and 6)
    Conceptual,       // faces lit in warm and cool tones, with their edges ("Conceptual")
    ShadesOfGray,     // lit faces in one colour (faceMonoColor), with their edges
                      // ("Shades of Gray")
    Sketchy,          // as Hidden, edges drawn as by hand, running past their ends ("Sketchy")
    XRay,             // see-through lit faces (faceOpacity) with their edges ("X-Ray")
};

// The fields of a VISUALSTYLE object (R2007+) that decide how faces and edges
// look, as stored; VisualStyle sums them up.
struct VisualStyleProperties {
    Handle handle = 0;
    std::string name;  // e.g. "Conceptual", or a name the author chose
    // The built-in style it is or derives from: 0 Flat, 1 Flat with edges,
    // 2 Gouraud, 3 Gouraud with edges, 4 2D wireframe, 5 wireframe, 6 hidden,
    // 7 basic, 8 realistic, 9 conceptual, 23 shades of grey, 24 sketchy,
    // 25 X-ray, 26 shaded with edges, 27 shaded (others are effects).
    int type = 4;
    int faceLighting = 0;         // 0 no faces, 1 unlit, 2 lit, 3 lit in warm and cool tones
    int faceLightingQuality = 0;  // 0 none, 1 per face (flat), 2 per vertex (smooth)
    // 0 as the object (its material), 1 object colour, 2 background colour, 3 faceMonoColor,
    // 4 tinted with faceMonoColor, 5 desaturated.
    int faceColorMode = 1;
    Color faceMonoColor;
    double faceOpacity = 1;  // below 1 where the style makes faces see-through
    int edgeModel = 0;       // 0 no edges, 1 isolines, 2 facet edges
    // Edges drawn besides those of edgeModel: 2 silhouettes, 4 edges hidden
    // behind faces (shown, not left out), 8 intersections.
    int edgeStyle = 0;

    bool operator==(const VisualStyleProperties&) const = default;
};

// How the active model-space viewport (VPORT "*Active") last showed the
// drawing: looking from the eye at `target` + `direction` towards `target`,
// with the view's centre `centre` in display coordinates (the view plane
// through the target, x to the right and y up on screen after the twist).
struct SavedView {
    Point2 centre;
    double height = 1;  // drawing units from the bottom to the top of the view
    double aspect = 1;  // width / height of the window it was shown in
    Point3 target;
    // From the target to the eye: its length is the eye's distance, which a
    // perspective view is drawn from.
    Point3 direction{0, 0, 1};
    double twist = 0;  // radians
    bool perspective = false;
    // Focal length in millimetres, as of a 35 mm camera: the perspective's field of view.
    double lensLength = 50;
    // Clipping planes across `direction`, at these distances from the target
    // (positive towards the eye), where their flags are set. With
    // frontClipAtEye the front plane passes through the eye instead.
    bool frontClipping = false;
    bool backClipping = false;
    bool frontClipAtEye = false;
    double frontClip = 0;
    double backClip = 0;
    // From the viewport's visual style where the file names one that reads
    // (R2007+), else from its render mode.
    VisualStyle visualStyle = VisualStyle::Wireframe2D;
    // As stored (R2000+): 0 2D wireframe, 1 wireframe, 2 hidden, 3 flat,
    // 4 Gouraud, 5 flat with edges, 6 Gouraud with edges.
    int renderMode = 0;
    std::optional<VisualStyleProperties> visualStyleProperties;
    // The viewport's rectangle in the drawing window, in fractions of its
    // width and height from its lower left corner: the whole window unless
    // model space is split into tiled viewports.
    Point2 lowerLeft{0, 0};
    Point2 upperRight{1, 1};

    bool operator==(const SavedView&) const = default;
};

struct HeaderVariables {
    Point3 insertionBase;
    std::optional<Point3> extentsMin;  // absent where the file stores none (±1e20)
    std::optional<Point3> extentsMax;
    int insertionUnits = 0;
    // How POINT entities look: PDMODE (0 dot, 1 nothing, 2 +, 3 x, 4 tick, plus 32 circle,
    // 64 square) and PDSIZE (> 0 drawing units, < 0 percent of the view height, 0 five
    // percent of the view height).
    int pointDisplayMode = 0;
    double pointDisplaySize = 0;
    double linetypeScale = 1;  // LTSCALE: global factor on every linetype pattern
    // CELTSCALE: given to new entities; stored ones carry their own.
    double newEntityLinetypeScale = 1;
    bool paperSpaceLinetypeScaling = true;  // PSLTSCALE
    bool fillMode = true;  // FILLMODE: solids, wide polylines and solid hatches are filled
    bool tileMode = true;  // TILEMODE: saved with the model tab active (false: a layout)
    // Dimension defaults (DIMSCALE, DIMTXT), for entities sized by a dimension style the
    // reader does not decode (TOLERANCE).
    double dimScale = 1;
    double dimTextHeight = 0.18;
    Handle currentLayer = 0;
    Handle blockControl = 0;
    Handle layerControl = 0;
    Handle styleControl = 0;
    Handle linetypeControl = 0;
    Handle viewControl = 0;
    Handle ucsControl = 0;
    Handle vportControl = 0;
    Handle appIdControl = 0;
    Handle dimStyleControl = 0;
    Handle modelSpaceBlock = 0;
    Handle paperSpaceBlock = 0;
    Handle linetypeByLayer = 0;
    Handle linetypeByBlock = 0;
    Handle linetypeContinuous = 0;

    bool operator==(const HeaderVariables&) const = default;
};

// IMAGEDEF: the picture file that IMAGE entities show.
struct ImageDefinition {
    Handle handle = 0;
    std::string filePath;  // as stored: absolute, or relative to the drawing's folder
    Point2 pixels;         // width and height in pixels

    bool operator==(const ImageDefinition&) const = default;
};

struct Drawing {
    Version version = Version::R2000;
    int codePage = 30;
    HeaderVariables header;
    std::vector<Layer> layers;
    std::vector<Linetype> linetypes;
    std::vector<TextStyle> textStyles;
    std::vector<Block> blocks;
    // The model-space view the drawing was saved in; none when the file has no
    // readable "*Active" viewport.
    std::optional<SavedView> activeView;
    // Every viewport model space was split into when saved (its tiled
    // "*Active" viewports, activeView among them), in the table's order;
    // empty when it shows in one.
    std::vector<SavedView> tiledViews;
    std::vector<ImageDefinition> imageDefinitions;
    // Entities counted but not decoded, by type name.
    std::map<std::string, int> skippedEntities;
    // Object records left out because they were damaged (CRC or framing wrong).
    int damagedObjects = 0;

    const Block* modelSpace() const;
    const Block* findBlock(Handle handle) const;
    const Layer* findLayer(Handle handle) const;

    bool operator==(const Drawing&) const = default;
};

// Entity types that show nothing in a view of the drawing (lights and
// cameras: their glyphs are for editing, not for the picture). They stay
// undecoded, are never drawn from their proxy graphics and are not counted
// among the skipped entities.
bool showsNothing(std::string_view typeName);

// Decodes an entity's stored proxy graphics (EntityHeader::proxyGraphics) of
// `drawing`. Entities the reader cannot decode but that carry graphics already
// hold the result as their data; this serves the others. Never throws: damaged
// graphics give the primitives before the damage.
ProxyGraphics decodeProxyGraphics(const std::vector<std::uint8_t>& graphics,
                                  const Drawing& drawing);

// The boundary of an IMAGE or WIPEOUT in WCS, closed implicitly: its clip
// boundary when clipping is on, else its frame.
std::vector<Point3> rasterOutline(const RasterImage& image);

// Entity types in a block by name, VERTEX and ATTRIB records included under
// their own names (VERTEX_2D, ATTRIB...), as they were stored.
std::map<std::string, int> countEntityTypes(const Block& block);

// Walks what showing `block` draws: its entities and, through INSERT (and
// DIMENSION) references, the entities of the blocks they place. `visit` gets
// each entity with the chain of referencing entities that led to it,
// outermost first. References nested deeper than `limits.maxDepth`, to a
// missing block, or to a block already being expanded (a cycle) are not
// followed; the walk stops after `limits.maxVisits` entities, since nested
// blocks can multiply the count beyond any use.
struct BlockWalkLimits {
    int maxDepth = 32;
    std::size_t maxVisits = 5'000'000;
};
struct BlockWalkReport {
    int cyclesSkipped = 0;
    int tooDeepSkipped = 0;
    int missingBlocks = 0;
    bool stoppedAtVisitLimit = false;
};
using BlockVisitor =
    std::function<void(const Entity& entity, const std::vector<const Entity*>& referencePath)>;
BlockWalkReport walkBlock(const Drawing& drawing, const Block& block, const BlockVisitor& visit,
                          BlockWalkLimits limits = {});

}  // namespace dwg
