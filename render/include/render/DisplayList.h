// What a drawing looks like, in world units and without any view: strokes,
// fills, dots, infinite lines and text runs, each with a resolved colour, in
// drawing order, plus their extents. Curves keep their exact form (elliptic
// arcs, NURBS) so that every view flattens them to its own pixel tolerance.
#pragma once

#include <render/Geometry.h>

#include <cstdint>
#include <limits>
#include <map>
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

// One piece of a contour. Points and scalars live in the list's pools.
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
// factor, oblique angle, rotation and any mirroring.
struct TextRun {
    Vec2 origin;
    Vec2 axisX;
    Vec2 axisY;
    std::uint32_t firstGlyph = 0;
    std::uint32_t glyphCount = 0;
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

struct DisplayList {
    std::vector<Item> items;
    std::vector<Piece> pieces;
    std::vector<Vec2> points;
    std::vector<double> scalars;
    std::vector<TextRun> runs;
    std::vector<PlacedGlyph> glyphs;
    // Everything drawn except infinite lines; when they are all there is,
    // their base points.
    Box extents;
    PointStyle pointStyle;
    BuildReport report;

    bool empty() const { return items.empty(); }
};

}  // namespace render
