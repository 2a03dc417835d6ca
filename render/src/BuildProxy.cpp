// Entities drawn from their proxy graphics: what the program that wrote them
// drew, as polylines, polygons, circles, arcs, text and infinite lines.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "Builder.h"
#include "Curves.h"

namespace render::detail {

void Builder::drawProxyGraphics(const dwg::ProxyGraphics& graphics, const Style& style,
                                const Frame& frame) {
    for (const dwg::ProxyPrimitive& p : graphics.primitives) {
        if (!charge(1 + p.points.size())) return;
        Transform placement;
        if (p.transform < graphics.transforms.size()) {
            const auto& t = graphics.transforms[p.transform];
            placement = Transform::fromBasis({t[3], t[7], t[11]}, {t[0], t[4], t[8]},
                                             {t[1], t[5], t[9]}, {t[2], t[6], t[10]});
        }
        const Transform m = frame.transform * placement;
        Style primitive = style;
        // By block is the entity's own colour, by layer its layer's.
        if (p.color.kind != dwg::Color::Kind::ByBlock)
            primitive.colour = resolveColour(p.color, frame, style.layer);
        std::vector<Vec3> points;
        for (const dwg::Point3& q : p.points) points.push_back(m.apply(v3(q)));
        switch (p.kind) {
            case dwg::ProxyPrimitive::Kind::Polyline:
            case dwg::ProxyPrimitive::Kind::Polygon: {
                if (points.empty()) break;
                const bool closed = p.closed || p.kind == dwg::ProxyPrimitive::Kind::Polygon;
                if (closed && points.size() > 2) points.push_back(points.front());
                if (p.kind == dwg::ProxyPrimitive::Kind::Polygon && p.filled && points.size() > 3) {
                    beginItem(fillKind(), primitive.colour);
                    addPolyline(points);
                    endItem();
                } else {
                    strokePoints(points, primitive);
                }
                break;
            }
            case dwg::ProxyPrimitive::Kind::Circle:
            case dwg::ProxyPrimitive::Kind::Arc: {
                // In the plane of the normal, from the start vector round the sweep.
                Vec3 normal = v3(p.normal);
                if (!(length(normal) > 1e-12)) normal = {0, 0, 1};
                normal = normal * (1 / length(normal));
                Vec3 u = p.kind == dwg::ProxyPrimitive::Kind::Arc
                             ? v3(p.startVector)
                             : Transform::objectToWorld(normal).applyLinear({1, 0, 0});
                if (!(length(u) > 1e-12)) break;
                u = u * (p.radius / length(u));
                const Vec3 v = cross(normal, u);
                const double sweep = p.kind == dwg::ProxyPrimitive::Kind::Arc
                                         ? oneTurnSweep(p.sweepAngle)
                                         : 2 * std::numbers::pi;
                beginItem(Item::Kind::Stroke, primitive.colour);
                addArc(m.apply(v3(p.center)), m.applyLinear(u), m.applyLinear(v), 0, sweep);
                endItem(&primitive);
                break;
            }
            case dwg::ProxyPrimitive::Kind::Text: {
                if (points.empty() || !(p.height > 0) || !std::isfinite(p.height)) break;
                Vec3 normal = v3(p.normal), along = v3(p.direction);
                if (!(length(normal) > 1e-12)) normal = {0, 0, 1};
                if (!(length(along) > 1e-12)) along = {1, 0, 0};
                normal = normal * (1 / length(normal));
                along = along * (1 / length(along));
                const Vec3 up = cross(normal, along);
                const double widthFactor = p.widthFactor > 0 ? p.widthFactor : 1;
                const double tanOblique = std::tan(std::clamp(p.obliqueAngle, -1.4, 1.4));
                const SimpleText line = parseSimpleText(p.text);
                addGlyphLine(primitive.colour, points[0],
                             m.applyLinear(along * (p.height * widthFactor)),
                             m.applyLinear(up * p.height + along * (p.height * tanOblique)),
                             line.glyphs, line.decorations);
                break;
            }
            case dwg::ProxyPrimitive::Kind::Ray:
            case dwg::ProxyPrimitive::Kind::Xline: {
                if (p.points.size() < 2) break;
                dwg::ConstructionLine infinite;
                infinite.bothWays = p.kind == dwg::ProxyPrimitive::Kind::Xline;
                const Vec3 a = placement.apply(v3(p.points[0])),
                           b = placement.apply(v3(p.points[1]));
                infinite.point = {a.x, a.y, a.z};
                const Vec3 d = b - a;
                infinite.direction = {d.x, d.y, d.z};
                drawConstructionLine(infinite, primitive, frame);
                break;
            }
        }
    }
}

}  // namespace render::detail
