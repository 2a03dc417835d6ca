// Measures of tessellated faces computed independently of the tessellator:
// enclosed volume, area, edges not shared, and the distance from a point to
// a decoded surface by the surface's implicit equation.
#pragma once

#include <acis/Tessellate.h>

#include <cmath>
#include <map>
#include <tuple>

namespace acistest {

inline acis::Vec3 sub(const acis::Vec3& a, const acis::Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline acis::Vec3 add(const acis::Vec3& a, const acis::Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline acis::Vec3 mul(const acis::Vec3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double dotp(const acis::Vec3& a, const acis::Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline acis::Vec3 crossp(const acis::Vec3& a, const acis::Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double norm(const acis::Vec3& a) {
    return std::sqrt(dotp(a, a));
}

template <typename F>
void forEachTriangle(const acis::ModelMesh& m, F f) {
    for (const acis::FaceMesh& face : m.faces)
        for (const auto& t : face.mesh.triangles)
            f(face, face.mesh.positions[t[0]], face.mesh.positions[t[1]], face.mesh.positions[t[2]],
              t);
}

// Signed: positive when the triangles face out of what they enclose.
inline double volume(const acis::ModelMesh& m) {
    double v = 0;
    forEachTriangle(m, [&](const auto&, const acis::Vec3& a, const acis::Vec3& b,
                           const acis::Vec3& c, const auto&) { v += dotp(a, crossp(b, c)) / 6; });
    return v;
}

inline double area(const acis::ModelMesh& m) {
    double s = 0;
    forEachTriangle(m,
                    [&](const auto&, const acis::Vec3& a, const acis::Vec3& b, const acis::Vec3& c,
                        const auto&) { s += norm(crossp(sub(b, a), sub(c, a))) / 2; });
    return s;
}

// Directed edges (by position) that no triangle runs back along: zero for a
// closed, consistently wound mesh.
inline int unmatchedEdges(const acis::ModelMesh& m) {
    using Key = std::tuple<double, double, double, double, double, double>;
    std::map<Key, int> count;
    forEachTriangle(m, [&](const auto&, const acis::Vec3& a, const acis::Vec3& b,
                           const acis::Vec3& c, const auto&) {
        const acis::Vec3* p[3] = {&a, &b, &c};
        for (int k = 0; k < 3; ++k) {
            const acis::Vec3& s = *p[k];
            const acis::Vec3& e = *p[(k + 1) % 3];
            ++count[{s.x, s.y, s.z, e.x, e.y, e.z}];
        }
    });
    int unmatched = 0;
    for (const auto& [k, n] : count) {
        const auto& [sx, sy, sz, ex, ey, ez] = k;
        const auto back = count.find({ex, ey, ez, sx, sy, sz});
        if (back == count.end() || back->second != n) ++unmatched;
    }
    return unmatched;
}

inline double errorCount(const acis::ModelMesh& m) {
    int n = 0;
    for (const acis::FaceMesh& f : m.faces) n += f.error.empty() ? 0 : 1;
    return n;
}

// Distance from p to the (whole, untrimmed) surface, from its implicit form;
// circular cones and spline surfaces excepted (NaN).
inline double distanceTo(const acis::Surface& s, const acis::Vec3& p) {
    const acis::Vec3 d = sub(p, s.origin);
    const auto unit = [](const acis::Vec3& v) { return mul(v, 1 / norm(v)); };
    switch (s.kind) {
        case acis::Surface::Kind::Plane:
            return std::abs(dotp(d, unit(s.normal)));
        case acis::Surface::Kind::Sphere:
            return std::abs(norm(d) - std::abs(s.radius));
        case acis::Surface::Kind::Torus: {
            const acis::Vec3 axis = unit(s.normal);
            const double h = dotp(d, axis);
            const double rho = norm(sub(d, mul(axis, h)));
            return std::abs(std::hypot(rho - s.radius, h) - std::abs(s.minorRadius));
        }
        case acis::Surface::Kind::Cone: {
            if (s.ratio != 1) break;
            const acis::Vec3 axis = unit(s.normal);
            const double h = dotp(d, axis);
            const double rho = norm(sub(d, mul(axis, h)));
            // Distance to the generator line rho = a + h tan, in the plane through the axis.
            const double a = norm(s.majorAxis);
            const double slope = s.sineAngle / s.cosineAngle;
            return std::abs(rho - (a + h * slope)) / std::sqrt(1 + slope * slope);
        }
        default:
            break;
    }
    return NAN;
}

}  // namespace acistest
