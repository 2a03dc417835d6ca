// Closed solids and open faces for the tessellation tests, with the exact
// measures and an inside test of each, from their definitions.
#pragma once

#include <acis/Model.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "Bodies.h"
#include "BodyBuilder.h"

namespace acistest {

constexpr double kPi = std::numbers::pi;

struct Solid {
    const char* name;
    std::function<BodyBuilder()> build;  // empty for the box, written by Bodies.h
    double volume;
    double area;
    std::function<bool(const acis::Vec3&)> inside;
    double size;        // about the solid's extent
    bool flat = false;  // all planes: its triangles do not depend on the tolerance
};

inline double radial(const acis::Vec3& p) {
    return std::hypot(p.x, p.y);
}

inline BodyBuilder cylinderBody(double r, double h) {
    BodyBuilder b;
    const int bottom = b.vertex({r, 0, 0}), top = b.vertex({r, 0, h});
    const int low = b.arc(bottom, bottom, {0, 0, 0}, {0, 0, 1}, {r, 0, 0});
    const int high = b.arc(top, top, {0, 0, h}, {0, 0, 1}, {r, 0, 0});
    b.face("cone-surface", coneSurface({0, 0, 0}, {0, 0, 1}, {r, 0, 0}, 1, 0, 1),
           {{{low, false}}, {{high, true}}});
    b.face("plane-surface", planeSurface({0, 0, 0}, {0, 0, -1}), {{{low, true}}});
    b.face("plane-surface", planeSurface({0, 0, h}, {0, 0, 1}), {{{high, false}}});
    return b;
}

inline BodyBuilder coneBody(double r, double h) {
    BodyBuilder b;
    const int apex = b.vertex({0, 0, h}), rim = b.vertex({r, 0, 0});
    const int base = b.arc(rim, rim, {0, 0, 0}, {0, 0, 1}, {r, 0, 0});
    const int tip = b.point(apex);
    const double slant = std::hypot(r, h);
    // Narrowing along the axis: sine and cosine of opposite signs.
    b.face("cone-surface", coneSurface({0, 0, 0}, {0, 0, 1}, {r, 0, 0}, 1, -r / slant, h / slant),
           {{{base, false}}, {{tip, false}}});
    b.face("plane-surface", planeSurface({0, 0, 0}, {0, 0, -1}), {{{base, true}}});
    return b;
}

// A cone cut short of its apex: radius `low` at z = 0 narrowing to `high` at z = h.
inline BodyBuilder frustumBody(double low, double high, double h) {
    BodyBuilder b;
    const int bottom = b.vertex({low, 0, 0}), top = b.vertex({high, 0, h});
    const int base = b.arc(bottom, bottom, {0, 0, 0}, {0, 0, 1}, {low, 0, 0});
    const int rim = b.arc(top, top, {0, 0, h}, {0, 0, 1}, {high, 0, 0});
    const double slant = std::hypot(low - high, h);
    b.face("cone-surface",
           coneSurface({0, 0, 0}, {0, 0, 1}, {low, 0, 0}, 1, -(low - high) / slant, h / slant),
           {{{base, false}}, {{rim, true}}});
    b.face("plane-surface", planeSurface({0, 0, 0}, {0, 0, -1}), {{{base, true}}});
    b.face("plane-surface", planeSurface({0, 0, h}, {0, 0, 1}), {{{rim, false}}});
    return b;
}

// A cylinder of elliptical section, semi-axes a along x and b along y.
inline BodyBuilder ellipticCylinderBody(double a, double b, double h) {
    BodyBuilder builder;
    const int bottom = builder.vertex({a, 0, 0}), top = builder.vertex({a, 0, h});
    const int low = builder.arc(bottom, bottom, {0, 0, 0}, {0, 0, 1}, {a, 0, 0}, b / a);
    const int high = builder.arc(top, top, {0, 0, h}, {0, 0, 1}, {a, 0, 0}, b / a);
    builder.face("cone-surface", coneSurface({0, 0, 0}, {0, 0, 1}, {a, 0, 0}, b / a, 0, 1),
                 {{{low, false}}, {{high, true}}});
    builder.face("plane-surface", planeSurface({0, 0, 0}, {0, 0, -1}), {{{low, true}}});
    builder.face("plane-surface", planeSurface({0, 0, h}, {0, 0, 1}), {{{high, false}}});
    return builder;
}

// A unit cube whose bottom face lies on a plane facing into the cube, the
// face reversed on it.
inline BodyBuilder cubeWithReversedBottom() {
    BodyBuilder b;
    // Corners 0-3 round the bottom counter-clockwise seen from above, 4-7 above them.
    Point corners[8];
    int v[8];
    for (int i = 0; i < 8; ++i) {
        corners[i] = {double((i ^ (i >> 1)) & 1), double((i >> 1) & 1), double(i >> 2)};
        v[i] = b.vertex(corners[i]);
    }
    std::map<std::pair<int, int>, int> edges;
    const auto coedge = [&](int from, int to) -> std::pair<int, bool> {
        const auto key = std::minmax(from, to);
        if (!edges.count(key)) edges[key] = b.line(v[key.first], v[key.second]);
        return {edges[key], from != key.first};
    };
    const int sides[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    const Point normals[6] = {{0, 0, 1}, {0, 0, 1}, {0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}};
    for (int f = 0; f < 6; ++f) {
        BodyBuilder::Coedges loop;
        for (int k = 0; k < 4; ++k) loop.push_back(coedge(sides[f][k], sides[f][(k + 1) % 4]));
        b.face("plane-surface", planeSurface(corners[sides[f][0]], normals[f]), {loop}, f == 0);
    }
    return b;
}

inline BodyBuilder sphereBody(acistest::Point centre, double r) {
    BodyBuilder b;
    b.face("sphere-surface", sphereSurface(centre, r), {});
    return b;
}

inline BodyBuilder hemisphereBody(double r) {
    BodyBuilder b;
    const int v = b.vertex({r, 0, 0});
    const int equator = b.arc(v, v, {0, 0, 0}, {0, 0, 1}, {r, 0, 0});
    b.face("sphere-surface", sphereSurface({0, 0, 0}, r), {{{equator, false}}});
    b.face("plane-surface", planeSurface({0, 0, 0}, {0, 0, -1}), {{{equator, true}}});
    return b;
}

// Half a ball, the half on the positive side of y: its cut runs through both
// of the sphere's poles, and its one vertex lies on neither.
inline BodyBuilder halfBallBody(double r) {
    BodyBuilder b;
    const Point start{r * std::cos(0.3), 0, r * std::sin(0.3)};
    const int v = b.vertex(start);
    const int cut = b.arc(v, v, {0, 0, 0}, {0, 1, 0}, start);
    b.face("sphere-surface", sphereSurface({0, 0, 0}, r), {{{cut, false}}});
    b.face("plane-surface", planeSurface({0, 0, 0}, {0, -1, 0}), {{{cut, true}}});
    return b;
}

// A ball with the cap beyond x = 1 cut off: the cut's circle does not go
// round the sphere's pole, so on the sphere it is a hole.
inline BodyBuilder cutBallBody(double r) {
    BodyBuilder b;
    const double rim = std::sqrt(r * r - 1);
    const int v = b.vertex({1, rim, 0});
    const int cut = b.arc(v, v, {1, 0, 0}, {-1, 0, 0}, {0, rim, 0});
    b.face("sphere-surface", sphereSurface({0, 0, 0}, r), {{{cut, false}}});
    b.face("plane-surface", planeSurface({1, 0, 0}, {1, 0, 0}), {{{cut, true}}});
    return b;
}

// A cylinder whose side is a rational B-spline closed round its axis (the
// nine-point circle), capped by two discs.
inline BodyBuilder splineCylinderBody(double r, double h) {
    BodyBuilder b;
    const double w = std::sqrt(0.5);
    std::vector<Point> net;
    std::vector<double> weights;
    for (double z : {0.0, h})
        for (int k = 0; k <= 8; ++k) {
            const double corner = k % 2 ? std::sqrt(2.0) : 1.0, angle = kPi / 4 * k;
            net.push_back({r * corner * std::cos(angle), r * corner * std::sin(angle), z});
            weights.push_back(k % 2 ? w : 1);
        }
    const int bottom = b.vertex({r, 0, 0}), top = b.vertex({r, 0, h});
    const int low = b.arc(bottom, bottom, {0, 0, 0}, {0, 0, 1}, {r, 0, 0});
    const int high = b.arc(top, top, {0, 0, h}, {0, 0, 1}, {r, 0, 0});
    std::vector<Field> side = splineSurface(2, 1, {{0, 0.25, 0.5, 0.75, 1}, {2, 2, 2, 2, 2}},
                                            {{0, 1}, {1, 1}}, net, weights);
    // Closed round the axis: the first closure word.
    for (Field& f : side)
        if (f.kind == Field::Kind::Word && f.word == "open") {
            f.word = "closed";
            break;
        }
    b.face("spline-surface", side, {{{low, false}}, {{high, true}}});
    b.face("plane-surface", planeSurface({0, 0, 0}, {0, 0, -1}), {{{low, true}}});
    b.face("plane-surface", planeSurface({0, 0, h}, {0, 0, 1}), {{{high, false}}});
    return b;
}

inline BodyBuilder torusBody(double major, double minor) {
    BodyBuilder b;
    b.face("torus-surface", torusSurface({0, 0, 0}, {0, 0, 1}, major, minor), {});
    return b;
}

// A quarter of a torus (between the half-planes y = 0 and x = 0 on the
// positive side) closed by two discs: a bent pipe.
inline BodyBuilder elbowBody(double major, double minor) {
    BodyBuilder b;
    const int a = b.vertex({major + minor, 0, 0}), c = b.vertex({0, major + minor, 0});
    const int start = b.arc(a, a, {major, 0, 0}, {0, 1, 0}, {minor, 0, 0});
    const int end = b.arc(c, c, {0, major, 0}, {1, 0, 0}, {0, minor, 0});
    b.face("torus-surface", torusSurface({0, 0, 0}, {0, 0, 1}, major, minor),
           {{{start, false}}, {{end, false}}});
    b.face("plane-surface", planeSurface({major, 0, 0}, {0, -1, 0}), {{{start, true}}});
    b.face("plane-surface", planeSurface({0, major, 0}, {-1, 0, 0}), {{{end, true}}});
    return b;
}

inline const std::vector<Solid>& solids() {
    static const std::vector<Solid> list = {
        {"box",
         {},
         24,
         52,
         [](const acis::Vec3& p) {
             return p.x > 10 && p.x < 12 && p.y > 20 && p.y < 23 && p.z > 30 && p.z < 34;
         },
         5,
         true},
        {"cylinder", [] { return cylinderBody(2, 5); }, 20 * kPi, 28 * kPi,
         [](const acis::Vec3& p) { return radial(p) < 2 && p.z > 0 && p.z < 5; }, 5},
        {"cone", [] { return coneBody(3, 4); }, 12 * kPi, 24 * kPi,
         [](const acis::Vec3& p) { return p.z > 0 && p.z < 4 && radial(p) < 3 * (1 - p.z / 4); },
         5},
        {"frustum", [] { return frustumBody(3, 1, 4); }, 52 * kPi / 3,
         kPi * (4 * std::sqrt(20.0) + 10),
         [](const acis::Vec3& p) { return p.z > 0 && p.z < 4 && radial(p) < 3 - p.z / 2; }, 6},
        // Its side's area from the ellipse's perimeter, 4 a E(1 - b^2 / a^2) = 14.5326.
        {"ellipticCylinder", [] { return ellipticCylinderBody(3, 1.5, 2); }, 9 * kPi,
         9 * kPi + 2 * 14.5326,
         [](const acis::Vec3& p) {
             return p.z > 0 && p.z < 2 && std::hypot(p.x / 3, p.y / 1.5) < 1;
         },
         6},
        {"cubeReversedBottom", [] { return cubeWithReversedBottom(); }, 1, 6,
         [](const acis::Vec3& p) {
             return p.x > 0 && p.x < 1 && p.y > 0 && p.y < 1 && p.z > 0 && p.z < 1;
         },
         1.7, true},
        {"sphere",
         [] {
             return sphereBody({1, 2, 3}, 2.5);
         },
         4 * kPi * 2.5 * 2.5 * 2.5 / 3, 4 * kPi * 2.5 * 2.5,
         [](const acis::Vec3& p) { return std::hypot(p.x - 1, p.y - 2, p.z - 3) < 2.5; }, 5},
        {"hemisphere", [] { return hemisphereBody(2); }, 16 * kPi / 3, 12 * kPi,
         [](const acis::Vec3& p) { return p.z > 0 && std::hypot(p.x, p.y, p.z) < 2; }, 4},
        {"halfBall", [] { return halfBallBody(2); }, 16 * kPi / 3, 12 * kPi,
         [](const acis::Vec3& p) { return p.y > 0 && std::hypot(p.x, p.y, p.z) < 2; }, 4},
        {"cutBall", [] { return cutBallBody(2); }, 9 * kPi, 15 * kPi,
         [](const acis::Vec3& p) { return p.x < 1 && std::hypot(p.x, p.y, p.z) < 2; }, 4},
        {"splineCylinder", [] { return splineCylinderBody(2, 5); }, 20 * kPi, 28 * kPi,
         [](const acis::Vec3& p) { return radial(p) < 2 && p.z > 0 && p.z < 5; }, 5},
        {"torus", [] { return torusBody(3, 1); }, 6 * kPi * kPi, 12 * kPi * kPi,
         [](const acis::Vec3& p) { return std::hypot(radial(p) - 3, p.z) < 1; }, 8},
        {"elbow", [] { return elbowBody(10, 2); }, 20 * kPi * kPi, 20 * kPi * kPi + 8 * kPi,
         [](const acis::Vec3& p) {
             return p.x > 0 && p.y > 0 && std::hypot(radial(p) - 10, p.z) < 2;
         },
         12},
    };
    return list;
}

inline ModelWriter writeSolid(const Solid& s, int version) {
    return s.build ? s.build().write(version) : box(version, {2, 3, 4}, {10, 20, 30});
}

// The paraboloid z = x^2 + y^2 over [0, 1]^2 as a biquadratic B-spline,
// trimmed to [lo, hi]^2 by four quadratic B-spline edges that lie on it.
inline BodyBuilder paraboloidPatch(double lo, double hi, bool reversedFace = false) {
    BodyBuilder b;
    std::vector<Point> net;
    const double c[3] = {0, 0, 1}, at[3] = {0, 0.5, 1};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) net.push_back({at[i], at[j], c[i] + c[j]});
    const Knots bezier{{0, 1}, {2, 2}};
    const auto z = [](double x, double y) { return x * x + y * y; };
    const int v00 = b.vertex({lo, lo, z(lo, lo)}), v10 = b.vertex({hi, lo, z(hi, lo)});
    const int v11 = b.vertex({hi, hi, z(hi, hi)}), v01 = b.vertex({lo, hi, z(lo, hi)});
    // Along x at height y from x0 to x1: a quadratic whose middle point is (mid, y, x0 x1 + y^2).
    const auto alongX = [&](int from, int to, double x0, double x1, double y) {
        return b.spline(
            from, to, 2, bezier,
            {{x0, y, z(x0, y)}, {(x0 + x1) / 2, y, x0 * x1 + y * y}, {x1, y, z(x1, y)}});
    };
    const auto alongY = [&](int from, int to, double y0, double y1, double x) {
        return b.spline(
            from, to, 2, bezier,
            {{x, y0, z(x, y0)}, {x, (y0 + y1) / 2, x * x + y0 * y1}, {x, y1, z(x, y1)}});
    };
    const int bottom = alongX(v00, v10, lo, hi, lo), right = alongY(v10, v11, lo, hi, hi);
    const int top = alongX(v11, v01, hi, lo, hi), left = alongY(v01, v00, hi, lo, lo);
    std::vector<BodyBuilder::Coedges> loops{
        {{bottom, false}, {right, false}, {top, false}, {left, false}}};
    if (reversedFace) loops = {{{left, true}, {top, true}, {right, true}, {bottom, true}}};
    b.face("spline-surface", splineSurface(2, 2, bezier, bezier, net), loops, reversedFace);
    return b;
}

// A square sheet [0, s]^2 in the plane z = 0 with a round hole of radius r in
// its middle, seen from both sides, as a region is.
inline BodyBuilder squareWithHole(double s, double r, bool reversedFace = false) {
    BodyBuilder b;
    const int v[4] = {b.vertex({0, 0, 0}), b.vertex({s, 0, 0}), b.vertex({s, s, 0}),
                      b.vertex({0, s, 0})};
    int sides[4];
    for (int k = 0; k < 4; ++k) sides[k] = b.line(v[k], v[(k + 1) % 4]);
    const int rim = b.vertex({s / 2 + r, s / 2, 0});
    const int hole = b.arc(rim, rim, {s / 2, s / 2, 0}, {0, 0, 1}, {r, 0, 0});
    BodyBuilder::Coedges outer;
    for (int k = 0; k < 4; ++k) outer.push_back({sides[k], false});
    if (reversedFace)
        outer = {{sides[3], true}, {sides[2], true}, {sides[1], true}, {sides[0], true}};
    b.face("plane-surface", planeSurface({0, 0, 0}, {0, 0, 1}), {outer, {{hole, !reversedFace}}},
           reversedFace, true);
    return b;
}

// A quarter of a cylinder (radius r, height h, round the z axis from x to y)
// as a rational B-spline, bounded by its two arcs and two lines.
inline BodyBuilder rationalQuarterCylinder(double r, double h) {
    BodyBuilder b;
    const double w = std::sqrt(0.5);
    std::vector<Point> net{{r, 0, 0}, {r, r, 0}, {0, r, 0}, {r, 0, h}, {r, r, h}, {0, r, h}};
    const int a = b.vertex({r, 0, 0}), c = b.vertex({0, r, 0}), d = b.vertex({0, r, h}),
              e = b.vertex({r, 0, h});
    const int low = b.arc(a, c, {0, 0, 0}, {0, 0, 1}, {r, 0, 0});
    const int up = b.line(c, d);
    const int high = b.arc(e, d, {0, 0, h}, {0, 0, 1}, {r, 0, 0});
    const int down = b.line(e, a);
    b.face("spline-surface",
           splineSurface(2, 1, {{0, 1}, {2, 2}}, {{0, 1}, {1, 1}}, net, {1, w, 1, 1, w, 1}),
           {{{low, false}, {up, false}, {high, true}, {down, false}}});
    return b;
}

}  // namespace acistest
