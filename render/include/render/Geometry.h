// Plane and space arithmetic for drawing: points, boxes and the affine maps
// that place block contents and planar entities in the world.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace render {

struct Vec2 {
    double x = 0;
    double y = 0;
    bool operator==(const Vec2&) const = default;
};

inline Vec2 operator+(Vec2 a, Vec2 b) {
    return {a.x + b.x, a.y + b.y};
}
inline Vec2 operator-(Vec2 a, Vec2 b) {
    return {a.x - b.x, a.y - b.y};
}
inline Vec2 operator*(Vec2 a, double k) {
    return {a.x * k, a.y * k};
}
inline Vec2 operator*(double k, Vec2 a) {
    return {a.x * k, a.y * k};
}
inline double dot(Vec2 a, Vec2 b) {
    return a.x * b.x + a.y * b.y;
}
inline double cross(Vec2 a, Vec2 b) {
    return a.x * b.y - a.y * b.x;
}
inline double length(Vec2 a) {
    return std::hypot(a.x, a.y);
}
inline Vec2 perpendicular(Vec2 a) {
    return {-a.y, a.x};
}

struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;
    bool operator==(const Vec3&) const = default;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, double k) {
    return {a.x * k, a.y * k, a.z * k};
}
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vec3 a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}

// Axis-aligned bounds; empty until something is added.
struct Box {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    bool empty() const { return !(minX <= maxX && minY <= maxY); }
    double width() const { return empty() ? 0 : maxX - minX; }
    double height() const { return empty() ? 0 : maxY - minY; }
    Vec2 centre() const { return {(minX + maxX) / 2, (minY + maxY) / 2}; }
    void add(Vec2 p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    void add(const Box& b) {
        if (b.empty()) return;
        add(Vec2{b.minX, b.minY});
        add(Vec2{b.maxX, b.maxY});
    }
    bool intersects(const Box& b) const {
        return !empty() && !b.empty() && minX <= b.maxX && b.minX <= maxX && minY <= b.maxY &&
               b.minY <= maxY;
    }
};

// p' = linear * p + offset, in world space; plan() looks down the z axis.
class Transform {
  public:
    Transform() = default;

    static Transform translation(Vec3 t);
    static Transform scaling(Vec3 s);
    static Transform rotationZ(double radians);
    // The object coordinate system of a planar entity with this extrusion
    // (the arbitrary axis algorithm), as a map from OCS to world.
    static Transform objectToWorld(Vec3 extrusion);
    // The frame with these axes (columns) and origin.
    static Transform fromBasis(Vec3 origin, Vec3 x, Vec3 y, Vec3 z);

    // this after rhs: (a * b)(p) = a(b(p)).
    Transform operator*(const Transform& rhs) const;

    Vec3 apply(Vec3 p) const;
    Vec3 applyLinear(Vec3 v) const;
    // A surface's normal carried through the map: across the mapped surface
    // and on the same side of it, not of unit length.
    Vec3 applyNormal(Vec3 n) const;
    // Volume factor; negative when the map mirrors.
    double determinant() const;
    Vec2 plan(Vec3 p) const {
        const Vec3 w = apply(p);
        return {w.x, w.y};
    }
    Vec2 planLinear(Vec3 v) const {
        const Vec3 w = applyLinear(v);
        return {w.x, w.y};
    }
    // Area factor of the plan view (negative when it mirrors) and the
    // length factor of a uniform scale with the same area.
    double planDeterminant() const { return m_[0][0] * m_[1][1] - m_[0][1] * m_[1][0]; }
    double planScale() const { return std::sqrt(std::abs(planDeterminant())); }

  private:
    double m_[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
};

}  // namespace render
