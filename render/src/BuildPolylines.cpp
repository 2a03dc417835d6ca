// Polylines: LWPOLYLINE and POLYLINE in its 2D, 3D, polyface and polygon
// mesh forms, with the arcs of their bulges and the outlines of their widths.
#include <algorithm>
#include <cmath>

#include "Builder.h"
#include "Curves.h"

namespace render::detail {

void Builder::drawPlanarPolyline(std::span<const PlanarVertex> vertices, bool closed,
                                 const Transform& ocs, const Style& style) {
    if (vertices.empty()) return;
    const std::size_t n = vertices.size();
    const std::size_t segments = closed ? n : n - 1;
    bool wide = false;
    for (std::size_t i = 0; i < segments; ++i) {
        const PlanarVertex& a = vertices[i];
        if (a.startWidth > 0 || a.endWidth > 0) {
            wide = true;
            break;
        }
    }
    if (wide) {
        // Straight wide segments meet in mitred corners, as plotted; arcs
        // and sharp turns keep their square ends.
        std::vector<std::optional<WideQuad>> quads(segments);
        for (std::size_t i = 0; i < segments; ++i)
            quads[i] = wideQuad(vertices[i], vertices[(i + 1) % n]);
        for (std::size_t i = 0; i < segments; ++i) {
            const std::size_t next = i + 1 < segments ? i + 1 : 0;
            if ((next == 0 && !closed) || next == i || !quads[i] || !quads[next]) continue;
            mitre(*quads[i], *quads[next], vertices[(i + 1) % n]);
        }
        beginItem(fillKind(), style.colour);
        for (std::size_t i = 0; i < segments; ++i) {
            if (quads[i]) {
                const WideQuad& q = *quads[i];
                const Vec3 outline[5] = {ocs.apply(v3(q.left0)), ocs.apply(v3(q.left1)),
                                         ocs.apply(v3(q.right1)), ocs.apply(v3(q.right0)),
                                         ocs.apply(v3(q.left0))};
                addPolyline(outline);
            } else {
                fillWideSegment(vertices[i], vertices[(i + 1) % n], ocs);
            }
        }
        endItem();
    }
    beginItem(Item::Kind::Stroke, style.colour);
    std::vector<Vec3> run{ocs.apply(v3(vertices[0].point))};
    bool startsContour = true;
    auto flushRun = [&] {
        if (run.size() > 1) {
            addPolyline(run, startsContour);
            startsContour = false;
        }
        run.erase(run.begin(), run.end() - 1);
    };
    for (std::size_t i = 0; i < segments; ++i) {
        const PlanarVertex& a = vertices[i];
        const PlanarVertex& b = vertices[(i + 1) % n];
        const double bulge = a.bulge;
        if (bulge != 0 && std::isfinite(bulge) && std::abs(bulge) < 1e6) {
            flushRun();
            const BulgeArc arc = bulgeArc(a.point, b.point, bulge);
            addArc(ocs.apply(v3(arc.centre)), ocs.applyLinear({arc.radius, 0, 0}),
                   ocs.applyLinear({0, arc.radius, 0}), arc.start, arc.start + arc.sweep,
                   startsContour);
            startsContour = false;
            run.back() = ocs.apply(v3(b.point));
        } else {
            run.push_back(ocs.apply(v3(b.point)));
        }
    }
    flushRun();
    if (n == 1) addPolyline(run);  // a single vertex still marks its place
    endItem(&style);
}

std::optional<Builder::WideQuad> Builder::wideQuad(const PlanarVertex& a, const PlanarVertex& b) {
    const double w0 = a.startWidth / 2, w1 = a.endWidth / 2;
    if (!(w0 > 0 || w1 > 0) || !std::isfinite(w0) || !std::isfinite(w1)) return std::nullopt;
    if (a.bulge != 0 && std::isfinite(a.bulge) && std::abs(a.bulge) < 1e6) return std::nullopt;
    const Vec2 d = b.point - a.point;
    const double len = length(d);
    if (!(len > 0)) return std::nullopt;
    const Vec2 n = perpendicular(d) * (1 / len);
    return WideQuad{a.point + n * w0, b.point + n * w1, a.point - n * w0, b.point - n * w1,
                    std::max(w0, w1)};
}

void Builder::mitre(WideQuad& before, WideQuad& after, const PlanarVertex& corner) {
    // Where the edges on each side cross, unless that is far out (a sharp
    // turn) or nowhere (no turn).
    auto cut = [&](Vec2 a0, Vec2 a1, Vec2 b0, Vec2 b1, Vec2& at) {
        const Vec2 da = a1 - a0, db = b1 - b0;
        const double denominator = cross(da, db);
        if (std::abs(denominator) < 1e-12 * length(da) * length(db)) return false;
        at = a0 + da * (cross(b0 - a0, db) / denominator);
        return length(at - corner.point) <= 4 * std::max(before.halfWidth, after.halfWidth);
    };
    Vec2 left, right;
    if (cut(before.left0, before.left1, after.left0, after.left1, left) &&
        cut(before.right0, before.right1, after.right0, after.right1, right)) {
        before.left1 = after.left0 = left;
        before.right1 = after.right0 = right;
    }
}

void Builder::fillWideSegment(const PlanarVertex& a, const PlanarVertex& b, const Transform& ocs) {
    // Straight segments are wideQuad()'s; this draws the arcs.
    const double w0 = a.startWidth / 2, w1 = a.endWidth / 2;
    if (!(w0 > 0 || w1 > 0) || !std::isfinite(w0) || !std::isfinite(w1)) return;
    const double bulge = a.bulge;
    if (bulge == 0 || !std::isfinite(bulge) || std::abs(bulge) >= 1e6) return;
    const BulgeArc arc = bulgeArc(a.point, b.point, bulge);
    const Vec3 c = ocs.apply(v3(arc.centre));
    const Vec3 ux = ocs.applyLinear({1, 0, 0}), uy = ocs.applyLinear({0, 1, 0});
    const double t0 = arc.start, t1 = arc.start + arc.sweep;
    if (std::abs(w0 - w1) < 1e-12) {
        const double outer = arc.radius + w0, inner = std::max(arc.radius - w0, 0.0);
        addArc(c, ux * outer, uy * outer, t0, t1, true);
        addArc(c, ux * inner, uy * inner, t1, t0, false);
        addPolyline(
            std::array<Vec3, 2>{c + ux * (inner * std::cos(t0)) + uy * (inner * std::sin(t0)),
                                c + ux * (outer * std::cos(t0)) + uy * (outer * std::sin(t0))},
            false);
        return;
    }
    // Tapering along an arc: a spiral, in fine enough steps.
    constexpr int kSteps = 48;
    std::vector<Vec3> outline;
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i <= kSteps; ++i) {
            const double f = side == 0 ? double(i) / kSteps : double(kSteps - i) / kSteps;
            const double t = t0 + (t1 - t0) * f;
            const double w = w0 + (w1 - w0) * f;
            const double r = side == 0 ? arc.radius + w : std::max(arc.radius - w, 0.0);
            outline.push_back(c + ux * (r * std::cos(t)) + uy * (r * std::sin(t)));
        }
    }
    outline.push_back(outline.front());
    addPolyline(outline);
}

void Builder::drawLwPolyline(const dwg::LwPolyline& polyline, const Style& style,
                             const Frame& frame) {
    std::vector<PlanarVertex> vertices(polyline.points.size());
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        PlanarVertex& v = vertices[i];
        v.point = {polyline.points[i].x, polyline.points[i].y};
        if (i < polyline.bulges.size()) v.bulge = polyline.bulges[i];
        if (i < polyline.widths.size() &&
            (polyline.widths[i].first != 0 || polyline.widths[i].second != 0)) {
            v.startWidth = polyline.widths[i].first;
            v.endWidth = polyline.widths[i].second;
        } else {
            v.startWidth = v.endWidth = polyline.constantWidth;
        }
    }
    const Transform ocs = frame.transform * Transform::objectToWorld(v3(polyline.extrusion)) *
                          Transform::translation({0, 0, polyline.elevation});
    drawPlanarPolyline(vertices, polyline.closed, ocs, style);
    if (polyline.thickness != 0)
        extrudePlanarPolyline(vertices, polyline.closed, ocs, polyline.thickness, style);
}

void Builder::drawPolyline(const dwg::Polyline& polyline, const Style& style, const Frame& frame) {
    constexpr int kSplineFrameVertex = 16;
    const Transform& m = frame.transform;
    switch (polyline.kind) {
        case dwg::Polyline::Kind::Polyline2D: {
            std::vector<PlanarVertex> vertices;
            bool anyWidth = false;
            for (const dwg::Vertex& v : polyline.vertices) {
                if (v.flags & kSplineFrameVertex) continue;
                vertices.push_back(
                    {{v.position.x, v.position.y}, v.bulge, v.startWidth, v.endWidth});
                anyWidth = anyWidth || v.startWidth != 0 || v.endWidth != 0;
            }
            if (!anyWidth)
                for (PlanarVertex& v : vertices) {
                    v.startWidth = polyline.startWidth;
                    v.endWidth = polyline.endWidth;
                }
            const Transform ocs = m * Transform::objectToWorld(v3(polyline.extrusion)) *
                                  Transform::translation({0, 0, polyline.elevation});
            drawPlanarPolyline(vertices, polyline.closed, ocs, style);
            if (polyline.thickness != 0)
                extrudePlanarPolyline(vertices, polyline.closed, ocs, polyline.thickness, style);
            return;
        }
        case dwg::Polyline::Kind::Polyline3D: {
            std::vector<Vec3> points;
            for (const dwg::Vertex& v : polyline.vertices)
                if (!(v.flags & kSplineFrameVertex)) points.push_back(m.apply(v3(v.position)));
            if (polyline.closed && points.size() > 2) points.push_back(points.front());
            strokePoints(points, style);
            return;
        }
        case dwg::Polyline::Kind::PolyfaceMesh:
            drawPolyfaceMesh(polyline, style, frame);
            return;
        case dwg::Polyline::Kind::PolygonMesh:
            drawPolygonMesh(polyline, style, frame);
            return;
    }
}

}  // namespace render::detail
