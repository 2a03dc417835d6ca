// HATCH: solid (and gradient) fills over the boundary loops, or the pattern's
// line families clipped to the loops, holes and islands by even-odd.
#include <cmath>
#include <numbers>

#include "Builder.h"
#include "Curves.h"
#include "HatchLines.h"

namespace render::detail {

// One boundary edge in the hatch plane, in the same three kinds as pieces.
struct LoopPiece {
    Piece::Kind kind = Piece::Kind::Polyline;
    std::vector<Vec2> points;  // polyline vertices, {c, u, v}, or control points
    double t0 = 0, t1 = 0;     // arc
    int degree = 0;
    std::vector<double> knots, weights;
};

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

void appendBulgedPoints(const dwg::HatchLoop& loop, std::vector<LoopPiece>& out) {
    const std::size_t n = loop.points.size();
    if (n == 0) return;
    LoopPiece run;
    run.points.push_back({loop.points[0].x, loop.points[0].y});
    const std::size_t segments = n;  // boundary loops are closed
    for (std::size_t i = 0; i < segments; ++i) {
        const Vec2 a{loop.points[i].x, loop.points[i].y};
        const Vec2 b{loop.points[(i + 1) % n].x, loop.points[(i + 1) % n].y};
        const double bulge = i < loop.bulges.size() ? loop.bulges[i] : 0;
        if (bulge != 0 && std::isfinite(bulge) && std::abs(bulge) < 1e6) {
            if (run.points.size() > 1) out.push_back(run);
            const BulgeArc arc = bulgeArc(a, b, bulge);
            LoopPiece piece;
            piece.kind = Piece::Kind::Arc;
            piece.points = {arc.centre, {arc.radius, 0}, {0, arc.radius}};
            piece.t0 = arc.start;
            piece.t1 = arc.start + arc.sweep;
            out.push_back(piece);
            run.points = {b};
        } else {
            run.points.push_back(b);
        }
    }
    if (run.points.size() > 1) out.push_back(run);
}

std::vector<LoopPiece> loopPieces(const dwg::HatchLoop& loop) {
    std::vector<LoopPiece> pieces;
    if (loop.isPolyline) {
        appendBulgedPoints(loop, pieces);
        return pieces;
    }
    for (const dwg::HatchEdge& e : loop.edges) {
        LoopPiece piece;
        switch (e.kind) {
            case dwg::HatchEdge::Kind::Line:
                piece.points = {{e.start.x, e.start.y}, {e.end.x, e.end.y}};
                break;
            case dwg::HatchEdge::Kind::CircularArc:
            case dwg::HatchEdge::Kind::EllipticArc: {
                piece.kind = Piece::Kind::Arc;
                Vec2 u{e.radius, 0}, v{0, e.radius};
                if (e.kind == dwg::HatchEdge::Kind::EllipticArc) {
                    u = {e.majorAxisEnd.x, e.majorAxisEnd.y};
                    v = perpendicular(u) * e.axisRatio;
                }
                piece.points = {{e.center.x, e.center.y}, u, v};
                // Clockwise edges store their angles mirrored: the edge runs
                // clockwise from -start to -end.
                const double start = oneTurn(e.startAngle);
                const double sweep = counterClockwiseSweep(start, oneTurn(e.endAngle));
                const bool full = std::abs(e.endAngle - e.startAngle) >= kTwoPi - 1e-9;
                if (e.counterClockwise) {
                    piece.t0 = start;
                    piece.t1 = start + (full ? kTwoPi : sweep);
                } else {
                    piece.t0 = -start;
                    piece.t1 = -start - (full ? kTwoPi : sweep);
                }
                break;
            }
            case dwg::HatchEdge::Kind::Spline:
                piece.kind = Piece::Kind::Spline;
                piece.degree = e.degree;
                for (const dwg::Point2& p : e.controlPoints) piece.points.push_back({p.x, p.y});
                piece.knots = e.knots;
                if (e.weights.size() == e.controlPoints.size()) piece.weights = e.weights;
                break;
        }
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

// Flattened loops in the hatch plane, for clipping pattern lines; stops
// short when the work runs out.
std::vector<std::vector<Vec2>> flattenLoops(const std::vector<std::vector<LoopPiece>>& loops,
                                            double tolerance, WorkBudget& work) {
    std::vector<std::vector<Vec2>> rings;
    for (const auto& loop : loops) {
        if (!work.left()) break;
        std::vector<Vec2> ring;
        for (const LoopPiece& p : loop) {
            switch (p.kind) {
                case Piece::Kind::Polyline:
                    ring.insert(ring.end(), p.points.begin(), p.points.end());
                    break;
                case Piece::Kind::Arc:
                    flattenArc(p.points[0], p.points[1], p.points[2], p.t0, p.t1, tolerance, ring);
                    break;
                case Piece::Kind::Spline:
                    flattenSpline({p.degree, p.points, p.knots, p.weights}, tolerance, ring);
                    break;
            }
        }
        work.charge(ring.size());
        if (ring.size() >= 3) rings.push_back(std::move(ring));
    }
    return rings;
}

}  // namespace

void Builder::drawHatch(const dwg::Hatch& hatch, const Style& style, const Frame& frame) {
    const Transform m =
        frame.transform *
        Transform::objectToWorld({hatch.extrusion.x, hatch.extrusion.y, hatch.extrusion.z}) *
        Transform::translation({0, 0, hatch.elevation});
    std::vector<std::vector<LoopPiece>> loops;
    for (const dwg::HatchLoop& loop : hatch.loops) {
        if (!charge(1 + loop.points.size() + loop.edges.size())) return;
        loops.push_back(loopPieces(loop));
    }

    if (hatch.solid) {
        // A gradient is filled with its first colour.
        fillLoops(loops, m,
                  hatch.gradientColor ? resolveColour(*hatch.gradientColor, frame, style.layer)
                                      : style.colour);
        if (!fillMode_ && !out_.items.empty()) out_.items.back().kind = Item::Kind::Stroke;
        return;
    }
    if (hatch.patternLines.empty()) return;  // a pattern with no lines draws nothing

    Box bounds;
    for (const auto& loop : loops)
        for (const LoopPiece& p : loop) {
            if (p.kind == Piece::Kind::Arc)
                bounds.add(arcBounds(p.points[0], p.points[1], p.points[2], p.t0, p.t1));
            else
                for (const Vec2& q : p.points) bounds.add(q);
        }
    if (bounds.empty()) return;
    const double size = std::max(bounds.width(), bounds.height());
    const std::vector<std::vector<Vec2>> rings = flattenLoops(loops, size * 1e-4, work_);

    HatchLineBudget budget;
    budget.maxSegments =
        std::min<std::size_t>(200'000, limits_.maxBytes / (2 * sizeof(Vec2) + sizeof(Piece)));
    std::vector<HatchFamily> families;
    double spacing = std::numeric_limits<double>::infinity();
    for (const dwg::HatchPatternLine& line : hatch.patternLines) {
        const double angle = oneTurn(line.angle);
        families.push_back(
            {angle, {line.base.x, line.base.y}, {line.offset.x, line.offset.y}, line.dashes});
        const Vec2 normal{-std::sin(angle), std::cos(angle)};
        spacing = std::min(spacing, std::abs(dot(families.back().offset, normal)));
    }
    const HatchSegments segments = hatchSegments(rings, families, budget, work_);
    // Out of work part way: the lines laid out so far would show a hatch cut
    // off at some line, which reads as a different drawing.
    if (!work_.left()) {
        stop();
        return;
    }
    out_.report.hatchLinesDropped += segments.familiesDropped;
    // Lines closer than this on the device merge into a tint: a fill shows
    // that better than a moire of antialiased lines.
    constexpr double kMinLinePixels = 1.5;
    const double scale = m.planScale();
    const double solidBelow = segments.familiesDropped > 0 || !(spacing * scale > 0)
                                  ? std::numeric_limits<double>::infinity()
                                  : kMinLinePixels / (spacing * scale);
    fillLoops(loops, m, style.colour);
    if (!out_.items.empty() && out_.items.back().kind == Item::Kind::Fill)
        out_.items.back().maxScale = solidBelow;
    if (segments.familiesDropped > 0) return;
    beginItem(Item::Kind::Stroke, style.colour);
    for (const auto& [a, b] : segments.segments) {
        const Vec3 ends[2] = {m.apply({a.x, a.y, 0}), m.apply({b.x, b.y, 0})};
        addPolyline(ends);
        if (stopped_) break;
    }
    endItem();
    if (!out_.items.empty() && out_.items.back().kind == Item::Kind::Stroke)
        out_.items.back().minScale = solidBelow;
}

void Builder::fillLoops(const std::vector<std::vector<LoopPiece>>& loops, const Transform& m,
                        const Colour& colour) {
    beginItem(Item::Kind::Fill, colour);
    for (const auto& loop : loops) {
        bool first = true;
        for (const LoopPiece& p : loop) {
            std::vector<Vec3> world;
            switch (p.kind) {
                case Piece::Kind::Polyline:
                    for (const Vec2& q : p.points) world.push_back(m.apply({q.x, q.y, 0}));
                    addPolyline(world, first);
                    break;
                case Piece::Kind::Arc:
                    addArc(m.apply({p.points[0].x, p.points[0].y, 0}),
                           m.applyLinear({p.points[1].x, p.points[1].y, 0}),
                           m.applyLinear({p.points[2].x, p.points[2].y, 0}), p.t0, p.t1, first);
                    break;
                case Piece::Kind::Spline:
                    for (const Vec2& q : p.points) world.push_back(m.apply({q.x, q.y, 0}));
                    addSpline(p.degree, world, p.knots, p.weights, first);
                    break;
            }
            first = false;
        }
    }
    endItem();
}

}  // namespace render::detail
