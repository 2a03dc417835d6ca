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
#include <variant>
#include <vector>

namespace dwg {

using Handle = std::uint64_t;

struct Point2 {
    double x = 0;
    double y = 0;
};

struct Point3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

inline constexpr Point3 kDefaultExtrusion{0, 0, 1};

struct Color {
    enum class Kind { ByLayer, ByBlock, Index, True };
    Kind kind = Kind::ByLayer;
    int index = 256;        // AutoCAD colour index 1..255 when kind == Index
    std::uint32_t rgb = 0;  // 0xRRGGBB when kind == True

    static Color fromIndex(int aci);
    static Color fromTrueColor(std::uint32_t rgb);
};

struct Layer {
    Handle handle = 0;
    std::string name;
    Color color;
    bool on = true;
    bool frozen = false;
    bool locked = false;
    Handle linetype = 0;
};

struct Linetype {
    Handle handle = 0;
    std::string name;
    std::string description;
    double patternLength = 0;
    std::vector<double> dashes;  // positive = dash, negative = gap, 0 = dot
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
};

struct Line {
    Point3 start, end;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
};

struct Point {
    Point3 position;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
    double xAxisAngle = 0;
};

struct Circle {
    Point3 center;
    double radius = 0;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
};

struct Arc {
    Point3 center;
    double radius = 0;
    double startAngle = 0;  // radians, counter-clockwise around the extrusion
    double endAngle = 0;
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
};

struct Ellipse {
    Point3 center;     // world coordinates
    Point3 majorAxis;  // from the centre to the end of the major axis
    Point3 extrusion = kDefaultExtrusion;
    double axisRatio = 1;
    double startParameter = 0;
    double endParameter = 0;
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
};

struct Vertex {
    Point3 position;
    double startWidth = 0;
    double endWidth = 0;
    double bulge = 0;
    int flags = 0;
};

// Vertex indices (1-based) of a polyface face; negative = invisible edge, 0 = unused.
struct PolyfaceFace {
    std::array<int, 4> indices{};
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
};

// SOLID, TRACE (corners in object coordinates) and 3DFACE (world coordinates).
struct Face {
    enum class Kind { Solid, Trace, Face3D };
    Kind kind = Kind::Solid;
    std::array<Point3, 4> corners{};
    double thickness = 0;
    Point3 extrusion = kDefaultExtrusion;
    int invisibleEdges = 0;  // 3DFACE only
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
};

struct HatchLoop {
    int flags = 0;  // 1 external, 2 polyline, 4 derived, 16 outermost
    bool isPolyline = false;
    bool closed = true;
    std::vector<Point2> points;  // polyline loop
    std::vector<double> bulges;
    std::vector<HatchEdge> edges;  // edge loop
};

struct HatchPatternLine {
    double angle = 0;
    Point2 base;
    Point2 offset;
    std::vector<double> dashes;
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
};

struct Leader {
    std::vector<Point3> points;
    bool splinePath = false;
    bool arrowhead = true;
    Point3 extrusion = kDefaultExtrusion;
    Handle annotation = 0;
    Handle dimStyle = 0;
};

// RAY (half-infinite) and XLINE (infinite both ways).
struct ConstructionLine {
    bool bothWays = false;
    Point3 point;
    Point3 direction;
};

struct Viewport {
    Point3 center;  // paper-space coordinates
    double width = 0;
    double height = 0;
};

// An entity type that is counted but not decoded (3DSOLID, IMAGE, proxies...).
struct Unsupported {};

using EntityData =
    std::variant<Unsupported, Line, Point, Circle, Arc, Ellipse, LwPolyline, Polyline, Spline, Text,
                 MText, Insert, Face, Hatch, Dimension, Leader, ConstructionLine, Viewport>;

struct Entity {
    std::string
        typeName;  // "LINE", "POLYLINE_2D", "DIMENSION_LINEAR", class names like "MULTILEADER"
    EntityHeader header;
    EntityData data;
};

struct AttributeEntity {
    EntityHeader header;
    Text text;
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
};

struct HeaderVariables {
    Point3 insertionBase;
    std::optional<Point3> extentsMin;  // absent where the file stores none (±1e20)
    std::optional<Point3> extentsMax;
    int insertionUnits = 0;
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
};

struct Drawing {
    Version version = Version::R2000;
    int codePage = 30;
    HeaderVariables header;
    std::vector<Layer> layers;
    std::vector<Linetype> linetypes;
    std::vector<TextStyle> textStyles;
    std::vector<Block> blocks;
    // Entities counted but not decoded, by type name.
    std::map<std::string, int> skippedEntities;
    // Object records left out because they were damaged (CRC or framing wrong).
    int damagedObjects = 0;

    const Block* modelSpace() const;
    const Block* findBlock(Handle handle) const;
    const Layer* findLayer(Handle handle) const;
};

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
