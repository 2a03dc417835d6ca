// Entities known only by their proxy graphics (custom objects of programs
// built on AutoCAD): written as the lines, arcs, fills and texts those
// graphics draw, since no writer can rebuild the object itself.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "ConvertParts.h"
#include "Vector3.h"

namespace dwg::detail {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double angleIn(const OcsAxes& axes, const Point3& direction) {
    const Point3 d = axes.fromWorld(direction);
    return std::atan2(d.y, d.x);
}

class ProxyExploder {
  public:
    ProxyExploder(const Entity& proxy, const ProxyGraphics& graphics, Handle textStyle,
                  Handle& next)
        : graphics_(graphics), textStyle_(textStyle), made_(proxy, next) {}

    std::vector<Entity> run() {
        for (const ProxyPrimitive& p : graphics_.primitives) {
            const std::size_t first = made_.count();
            primitive(p);
            if (p.lineweight == -2) continue;
            for (std::size_t i = first; i < made_.count(); ++i)
                made_[i].header.lineweight = p.lineweight;
        }
        return made_.take();
    }

  private:
    void primitive(const ProxyPrimitive& p) {
        const Affine m = p.transform < graphics_.transforms.size()
                             ? Affine::fromMatrix(graphics_.transforms[p.transform])
                             : Affine{};
        std::vector<Point3> points;
        points.reserve(p.points.size());
        for (const Point3& q : p.points) points.push_back(m.apply(q));
        switch (p.kind) {
            case ProxyPrimitive::Kind::Polyline:
            case ProxyPrimitive::Kind::Polygon:
                if (p.kind == ProxyPrimitive::Kind::Polygon && p.filled && points.size() >= 3)
                    made_.fill(points, p.color);
                else
                    made_.polyline(points, p.closed || p.kind == ProxyPrimitive::Kind::Polygon,
                                   p.color);
                return;
            case ProxyPrimitive::Kind::Circle:
            case ProxyPrimitive::Kind::Arc:
                circle(p, m);
                return;
            case ProxyPrimitive::Kind::Text:
                text(p, m, points);
                return;
            case ProxyPrimitive::Kind::Ray:
            case ProxyPrimitive::Kind::Xline:
                if (points.size() < 2) return;
                made_.add(p.kind == ProxyPrimitive::Kind::Ray ? "RAY" : "XLINE",
                          ConstructionLine{p.kind == ProxyPrimitive::Kind::Xline, points[0],
                                           unit(points[1] - points[0], {1, 0, 0})},
                          p.color);
                return;
        }
    }

    void circle(const ProxyPrimitive& p, const Affine& m) {
        const Point3 normal = unit(m.applyLinear(unit(p.normal)));
        const OcsAxes axes(normal);
        const bool arc = p.kind == ProxyPrimitive::Kind::Arc;
        const Point3 start =
            m.applyLinear(arc ? unit(p.startVector, {1, 0, 0}) : OcsAxes(unit(p.normal)).x);
        const double radius = p.radius * length(start);
        if (!(radius > 0) || !std::isfinite(radius)) return;
        const Point3 centre = axes.fromWorld(m.apply(p.center));
        const double sweep =
            std::isfinite(p.sweepAngle) ? std::clamp(p.sweepAngle, -kTwoPi, kTwoPi) : 0;
        if (!arc || std::fabs(sweep) >= kTwoPi) {
            made_.add("CIRCLE", Circle{centre, radius, 0, normal}, p.color);
            return;
        }
        if (sweep == 0) return;
        const double from = angleIn(axes, start);
        // Arcs run counter-clockwise about their normal.
        Arc out{centre, radius, sweep > 0 ? from : from + sweep, sweep > 0 ? from + sweep : from,
                0,      normal};
        made_.add("ARC", out, p.color);
    }

    void text(const ProxyPrimitive& p, const Affine& m, const std::vector<Point3>& points) {
        if (points.empty() || !(p.height > 0) || !std::isfinite(p.height)) return;
        const Point3 normal = unit(p.normal);
        const Point3 along = unit(p.direction, {1, 0, 0});
        const Point3 up = cross(normal, along);
        const Point3 placedAlong = m.applyLinear(along);
        const Point3 placedUp = m.applyLinear(up);
        const Point3 placedNormal = unit(cross(placedAlong, placedUp), normal);
        const OcsAxes axes(placedNormal);
        const Point3 insertion = axes.fromWorld(points[0]);
        Text out;
        out.text = p.text;
        out.insertion = {insertion.x, insertion.y};
        out.alignment = out.insertion;
        out.elevation = insertion.z;
        out.extrusion = placedNormal;
        out.height = p.height * length(placedUp);
        out.widthFactor = (p.widthFactor > 0 ? p.widthFactor : 1) * length(placedAlong) /
                          std::max(length(placedUp), 1e-12);
        out.obliqueAngle = p.obliqueAngle;
        out.rotation = angleIn(axes, placedAlong);
        out.style = textStyle_;
        made_.add("TEXT", std::move(out), p.color);
    }

    const ProxyGraphics& graphics_;
    Handle textStyle_;
    StandIns made_;
};

}  // namespace

std::vector<Entity> explodeProxyGraphics(const Entity& proxy, const ProxyGraphics& graphics,
                                         Handle textStyle, Handle& nextHandle) {
    return ProxyExploder(proxy, graphics, textStyle, nextHandle).run();
}

}  // namespace dwg::detail
