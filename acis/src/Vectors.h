// Arithmetic on the model's points, and points of a surface's parameter plane.
#pragma once

#include <acis/Model.h>

#include <algorithm>
#include <cmath>

namespace acis {

inline Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator-(const Vec3& a) {
    return {-a.x, -a.y, -a.z};
}
inline Vec3 operator*(const Vec3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(double s, const Vec3& a) {
    return a * s;
}
inline double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vec3& a) {
    return std::sqrt(dot(a, a));
}
inline bool isFinite(const Vec3& a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}
// `a` at unit length, or the zero vector when it has no direction.
inline Vec3 unit(const Vec3& a) {
    const double n = length(a);
    return n > 0 && std::isfinite(n) ? a * (1 / n) : Vec3{};
}
// A unit vector at right angles to the unit vector `n`.
// How far p lies from the segment a-b: what a chord misses its curve by,
// leaving aside how the curve's parameter runs along it.
inline double distanceToSegment(const Vec3& p, const Vec3& a, const Vec3& b) {
    const Vec3 d = b - a;
    const double l = dot(d, d);
    const double t = l > 0 ? std::clamp(dot(p - a, d) / l, 0.0, 1.0) : 0;
    return length(p - (a + d * t));
}

inline Vec3 perpendicular(const Vec3& n) {
    const Vec3 axis = std::abs(n.x) < 0.6 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    return unit(cross(n, axis));
}

namespace detail {

// The angle step along a circle of `radius` that keeps chords within
// `tolerance` of it and turns its tangent by at most `angle` (a quarter turn
// at the most). For an ellipse, its major radius and the angle scaled by its
// ratio, so that the tangent turns no faster where it is sharpest.
inline double circleStep(double radius, double tolerance, double angle) {
    double step = std::min(angle, 1.5707963267948966);
    if (tolerance < radius) step = std::min(step, 2 * std::acos(1 - tolerance / radius));
    return step;
}

struct Vec2 {
    double u = 0;
    double v = 0;

    bool operator==(const Vec2&) const = default;
};

inline Vec2 operator+(Vec2 a, Vec2 b) {
    return {a.u + b.u, a.v + b.v};
}
inline Vec2 operator-(Vec2 a, Vec2 b) {
    return {a.u - b.u, a.v - b.v};
}
inline Vec2 operator*(Vec2 a, double s) {
    return {a.u * s, a.v * s};
}
inline double cross(Vec2 a, Vec2 b) {
    return a.u * b.v - a.v * b.u;
}
inline double length(Vec2 a) {
    return std::sqrt(a.u * a.u + a.v * a.v);
}
// Twice the signed area of a, b, c: above zero when they turn counter-clockwise.
inline double orient(Vec2 a, Vec2 b, Vec2 c) {
    return cross(b - a, c - a);
}

}  // namespace detail
}  // namespace acis
