// A body whose model cannot be read is shown by the wireframe the CAD program
// stored with it: its isolines and edges as they are, and a silhouette only
// when the view looks along the direction it was made for, since from any
// other it is no outline of the body.
#include <cmath>
#include <vector>

#include "Builder.h"

namespace render::detail {
namespace {

// How far from the view's own direction a silhouette's may be, as the sine
// of the angle between them: about a degree.
constexpr double kSilhouetteSlack = 0.02;

bool seenAlong(const Transform& toView, const dwg::Point3& direction) {
    const Vec3 d = toView.applyLinear(v3(direction));
    const double n = length(d);
    if (!(n > 0) || !std::isfinite(n)) return false;
    return d.z > 0 && std::hypot(d.x, d.y) / n < kSilhouetteSlack;
}

}  // namespace

void Builder::drawStoredWireframe(const dwg::Entity&, const dwg::AcisData& data, const Style& style,
                                  const Frame& frame) {
    if (stopped()) return;
    if (undecodedBodies_.insert(&data).second) ++out_.report.bodiesUndecoded;
    const Transform& m = frame.transform;
    std::vector<Vec3> points;
    beginEdges(style.colour);
    for (const dwg::AcisWire& wire : data.wires) {
        if (wire.silhouette && !seenAlong(m, wire.viewDirection)) continue;
        if (!charge(wire.points.size())) break;
        points.clear();
        for (const dwg::Point3& p : wire.points) points.push_back(m.apply(v3(p)));
        addPolyline(points);
    }
    endItem(&style);
}

}  // namespace render::detail
