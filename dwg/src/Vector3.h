// Arithmetic on Point3 as a vector, and the object coordinate system of
// planar entities (the arbitrary axis algorithm), for code that makes or
// moves entities.
#pragma once

#include <dwg/Drawing.h>

#include <array>
#include <cmath>

namespace dwg::detail {

inline Point3 operator+(const Point3& a, const Point3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Point3 operator-(const Point3& a, const Point3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Point3 operator*(const Point3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double dot(const Point3& a, const Point3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Point3 cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Point3& a) {
    return std::sqrt(dot(a, a));
}
// `a` scaled to length 1; `fallback` when it has no length.
inline Point3 unit(const Point3& a, const Point3& fallback = kDefaultExtrusion) {
    const double l = length(a);
    return l > 1e-12 && std::isfinite(l) ? a * (1 / l) : fallback;
}

// The axes of the object coordinate system whose z axis is `normal`.
struct OcsAxes {
    Point3 x, y, z;

    explicit OcsAxes(const Point3& normal) {
        z = unit(normal);
        constexpr double kLimit = 1.0 / 64;
        const Point3 ax = (std::fabs(z.x) < kLimit && std::fabs(z.y) < kLimit)
                              ? cross(Point3{0, 1, 0}, z)
                              : cross(Point3{0, 0, 1}, z);
        x = unit(ax, {1, 0, 0});
        y = cross(z, x);
    }
    Point3 toWorld(const Point3& p) const { return x * p.x + y * p.y + z * p.z; }
    Point3 fromWorld(const Point3& p) const { return {dot(p, x), dot(p, y), dot(p, z)}; }
};

// An affine map of points: row-major 3×4, the last column the translation.
struct Affine {
    std::array<double, 12> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};

    // The upper three rows of a row-major 4×4 matrix.
    static Affine fromMatrix(const std::array<double, 16>& t) {
        return {{t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10], t[11]}};
    }
    static Affine translation(const Point3& d) {
        return {{1, 0, 0, d.x, 0, 1, 0, d.y, 0, 0, 1, d.z}};
    }

    Point3 applyLinear(const Point3& v) const {
        return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[4] * v.x + m[5] * v.y + m[6] * v.z,
                m[8] * v.x + m[9] * v.y + m[10] * v.z};
    }
    Point3 apply(const Point3& p) const { return applyLinear(p) + Point3{m[3], m[7], m[11]}; }
    Point3 column(int i) const { return {m[i], m[4 + i], m[8 + i]}; }
    Affine operator*(const Affine& b) const {
        Affine c;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col) {
                double sum = col == 3 ? m[row * 4 + 3] : 0;
                for (int k = 0; k < 3; ++k) sum += m[row * 4 + k] * b.m[k * 4 + col];
                c.m[row * 4 + col] = sum;
            }
        return c;
    }
};

}  // namespace dwg::detail
