// What a drawing looks like from one direction, in world units and without
// any zoom: strokes, fills, dots, infinite lines and text runs, each with a
// resolved colour, in drawing order, plus the triangles of its surfaces and
// the extents of it all. Coordinates are those of the build's projection:
// x right, y up and z towards the eye (the depth hidden lines and shading
// need). Curves keep their exact form (elliptic arcs, NURBS) so that every
// view flattens them to its own pixel tolerance.
#pragma once

#include <render/Geometry.h>

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace render {

struct Colour {
    enum class Kind : std::uint8_t {
        Rgb,
        Foreground,  // colour 7: black on a light background, white on a dark one
        Background,  // masks what lies below (WIPEOUT)
    };
    Kind kind = Kind::Foreground;
    std::uint32_t rgb = 0;  // 0xRRGGBB when kind == Rgb

    static Colour fromRgb(std::uint32_t rgb) { return {Kind::Rgb, rgb & 0xFFFFFF}; }
    static Colour foreground() { return {Kind::Foreground, 0}; }
    static Colour background() { return {Kind::Background, 0}; }
    bool operator==(const Colour&) const = default;
};

// One piece of a contour. Points and scalars live in the list's pools; each
// point's depth is at the same index of the depth pool, so that a piece is
// the same curve in space (an arc's u and v have depths too).
//   Polyline: points are the vertices.
//   Arc:      points {c, u, v}, scalars {t0, t1}: c + u cos t + v sin t for t
//             from t0 to t1 (an elliptic arc, or a circle seen through any
//             affine map).
//   Spline:   points are the control points; scalars are the knots
//             (pointCount + degree + 1), then one weight per point if rational.
struct Piece {
    enum class Kind : std::uint8_t { Polyline, Arc, Spline };
    Kind kind = Kind::Polyline;
    bool startsContour = true;  // else continues from where the previous piece ended
    bool rational = false;
    std::uint8_t degree = 0;
    std::uint32_t firstPoint = 0;
    std::uint32_t pointCount = 0;
    std::uint32_t firstScalar = 0;
    std::uint32_t scalarCount = 0;
};

// A glyph outline with cap height 1, origin on the baseline at the left.
struct Glyph {
    double advance = 0;
    std::vector<Vec2> outline;
    std::vector<std::uint32_t> contourSizes;  // closed contours, non-zero winding
    Box bounds;
};

// Glyph (gx, gy) of a run lands at origin + (x + gx) * axisX + gy * axisY,
// where x is the glyph's place along the run; the axes carry height, width
// factor, oblique angle, rotation and any mirroring. The depths are the z
// parts of the same three.
struct TextRun {
    Vec2 origin;
    Vec2 axisX;
    Vec2 axisY;
    std::uint32_t firstGlyph = 0;
    std::uint32_t glyphCount = 0;
    double originDepth = 0;
    double axisXDepth = 0;
    double axisYDepth = 0;
};

struct PlacedGlyph {
    const Glyph* glyph = nullptr;  // owned by the text face, alive for the whole process
    double x = 0;
};

struct Item {
    enum class Kind : std::uint8_t {
        Stroke,        // pieces [first, first + count), dashed by the pattern in scalars
        Fill,          // pieces [first, first + count), closed contours, even-odd
        Dot,           // points[first]
        InfiniteLine,  // points[first] base, points[first + 1] direction
        Text,          // runs[first]
    };
    Kind kind = Kind::Stroke;
    bool bothWays = false;  // InfiniteLine: an XLINE, else a RAY
    Colour colour;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    // Linetype pattern in world units: dash > 0, gap < 0, dot = 0.
    std::uint32_t firstDash = 0;
    std::uint32_t dashCount = 0;
    Box bounds;  // world bounds; empty for infinite lines
    // Nearest and farthest depth it reaches.
    double minDepth = 0;
    double maxDepth = 0;
    // A line of a surface (an edge of a body, a mesh or a 3D face): drawn in
    // the style's edge colour where faces are shaded.
    bool surfaceEdge = false;
    // Shown only at view scales (device pixels per world unit) in
    // [minScale, maxScale): a hatch pattern is drawn as lines while they are
    // far enough apart to tell, as a solid fill once they would merge.
    double minScale = 0;
    double maxScale = std::numeric_limits<double>::infinity();
};

// What the build left out and why.
struct BuildReport {
    std::size_t entitiesDrawn = 0;
    int cyclesSkipped = 0;
    int tooDeepSkipped = 0;
    int missingBlocks = 0;
    std::size_t minsertCellsDropped = 0;
    std::size_t hatchLinesDropped = 0;  // pattern families too dense to draw
    bool truncated = false;             // stopped early: out of work or memory, or cancelled
    bool cancelled = false;             // stopped because the caller asked
    std::size_t workSpent = 0;          // in the units of BuildLimits::maxWork
    std::map<std::string, int> undrawnTypes;
    // Bodies and meshes whose faces could not be made (drawn by their edges
    // alone), and the first few reasons, in Portuguese.
    int surfacesFailed = 0;
    std::vector<std::string> surfaceErrors;
    // Bodies (3DSOLID, REGION, BODY, surfaces) whose model could not be
    // decoded: shown by the wireframe stored with them, where they have one.
    int bodiesUndecoded = 0;

    // Whether parts of the drawing were left out to keep the build bounded.
    bool simplified() const { return truncated || minsertCellsDropped > 0; }
};

// How POINT entities look, for the whole drawing: mode & 7 is 0 a dot,
// 1 nothing, 2 a plus, 3 a cross, 4 a tick upwards; + 32 adds a circle, + 64 a
// square. size > 0 is in drawing units, < 0 a percentage of the view height,
// 0 five percent of it.
struct PointStyle {
    int mode = 0;
    double size = 0;
};

// One triangle of a surface: corners into the list's vertices, counter-
// clockwise seen from the side the face's normals point to.
struct Triangle {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;
};

// Two triangles of a surface that meet along a smooth edge (from vertex a to
// vertex b): where one faces the eye and the other does not, the edge is
// part of the surface's outline as seen, a silhouette.
struct SmoothEdge {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t left = 0;  // triangles
    std::uint32_t right = 0;
};

// The faces of one entity (a body, a mesh, a 3D face, an outline given a
// thickness) as triangles in one colour.
struct Surface {
    Colour colour;
    std::uint32_t firstTriangle = 0;
    std::uint32_t triangleCount = 0;
    std::uint32_t firstSmoothEdge = 0;
    std::uint32_t smoothEdgeCount = 0;
    Box bounds;
    double minDepth = 0;
    double maxDepth = 0;
};

struct DisplayList {
    std::vector<Item> items;
    std::vector<Piece> pieces;
    std::vector<Vec2> points;
    std::vector<double> scalars;
    std::vector<TextRun> runs;
    std::vector<PlacedGlyph> glyphs;
    std::vector<double> depths;  // of each point
    // Surfaces: vertices with a unit normal each, pointing out of the face.
    std::vector<Surface> surfaces;
    std::vector<Vec3> vertices;
    std::vector<Vec3> normals;
    std::vector<Triangle> triangles;
    std::vector<SmoothEdge> smoothEdges;
    // A perspective view's eye sits at (0, 0, eyeDistance), looking down the
    // z axis, and draws a point (x, y, z) at (x, y) * eyeDistance /
    // (eyeDistance - z); 0 for a parallel view, where (x, y) is drawn as it is.
    double eyeDistance = 0;
    // Everything drawn except infinite lines, as the view shows it (in
    // perspective, through the eye); when infinite lines are all there is,
    // their base points.
    Box extents;
    PointStyle pointStyle;
    BuildReport report;

    bool empty() const { return items.empty() && surfaces.empty(); }
    bool perspective() const { return eyeDistance > 0; }
};

// A perspective view leaves out what is nearer the eye than this share of its
// distance to the target: a point there would land arbitrarily far out.
inline constexpr double kNearShare = 1e-3;

// Where a view point shows in the picture plane: through the eye in a
// perspective view, as it is in a parallel one; none for a point nearer the
// eye than its near limit, or behind it.
std::optional<Vec2> projectToPicture(const DisplayList& list, const Vec3& p);

}  // namespace render
