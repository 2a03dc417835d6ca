#include <render/Geometry.h>

namespace render {

Transform Transform::translation(Vec3 t) {
    Transform r;
    r.m_[0][3] = t.x;
    r.m_[1][3] = t.y;
    r.m_[2][3] = t.z;
    return r;
}

Transform Transform::scaling(Vec3 s) {
    Transform r;
    r.m_[0][0] = s.x;
    r.m_[1][1] = s.y;
    r.m_[2][2] = s.z;
    return r;
}

Transform Transform::rotationZ(double radians) {
    Transform r;
    const double c = std::cos(radians), s = std::sin(radians);
    r.m_[0][0] = c;
    r.m_[0][1] = -s;
    r.m_[1][0] = s;
    r.m_[1][1] = c;
    return r;
}

Transform Transform::objectToWorld(Vec3 extrusion) {
    const double n = length(extrusion);
    if (!(n > 1e-12) || !std::isfinite(n)) return {};
    const Vec3 az = extrusion * (1 / n);
    constexpr double kLimit = 1.0 / 64;
    const Vec3 ax0 = (std::abs(az.x) < kLimit && std::abs(az.y) < kLimit)
                         ? cross(Vec3{0, 1, 0}, az)
                         : cross(Vec3{0, 0, 1}, az);
    const Vec3 ax = ax0 * (1 / length(ax0));
    return fromBasis({}, ax, cross(az, ax), az);
}

Transform Transform::fromBasis(Vec3 origin, Vec3 x, Vec3 y, Vec3 z) {
    Transform r;
    const Vec3 columns[4] = {x, y, z, origin};
    for (int c = 0; c < 4; ++c) {
        r.m_[0][c] = columns[c].x;
        r.m_[1][c] = columns[c].y;
        r.m_[2][c] = columns[c].z;
    }
    return r;
}

Transform Transform::operator*(const Transform& rhs) const {
    Transform r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = j == 3 ? m_[i][3] : 0;
            for (int k = 0; k < 3; ++k) sum += m_[i][k] * rhs.m_[k][j];
            r.m_[i][j] = sum;
        }
    }
    return r;
}

Vec3 Transform::apply(Vec3 p) const {
    const Vec3 v = applyLinear(p);
    return {v.x + m_[0][3], v.y + m_[1][3], v.z + m_[2][3]};
}

Vec3 Transform::applyLinear(Vec3 v) const {
    return {m_[0][0] * v.x + m_[0][1] * v.y + m_[0][2] * v.z,
            m_[1][0] * v.x + m_[1][1] * v.y + m_[1][2] * v.z,
            m_[2][0] * v.x + m_[2][1] * v.y + m_[2][2] * v.z};
}

double Transform::determinant() const {
    return m_[0][0] * (m_[1][1] * m_[2][2] - m_[1][2] * m_[2][1]) -
           m_[0][1] * (m_[1][0] * m_[2][2] - m_[1][2] * m_[2][0]) +
           m_[0][2] * (m_[1][0] * m_[2][1] - m_[1][1] * m_[2][0]);
}

Vec3 Transform::applyNormal(Vec3 n) const {
    // The cofactor matrix is the inverse transpose times the determinant:
    // its sign is taken back out so that an outward normal stays outward
    // through a mirror.
    const auto& m = m_;
    const Vec3 row0{m[1][1] * m[2][2] - m[1][2] * m[2][1], m[1][2] * m[2][0] - m[1][0] * m[2][2],
                    m[1][0] * m[2][1] - m[1][1] * m[2][0]};
    const Vec3 row1{m[0][2] * m[2][1] - m[0][1] * m[2][2], m[0][0] * m[2][2] - m[0][2] * m[2][0],
                    m[0][1] * m[2][0] - m[0][0] * m[2][1]};
    const Vec3 row2{m[0][1] * m[1][2] - m[0][2] * m[1][1], m[0][2] * m[1][0] - m[0][0] * m[1][2],
                    m[0][0] * m[1][1] - m[0][1] * m[1][0]};
    const double sign = determinant() < 0 ? -1 : 1;
    return Vec3{row0.x * n.x + row0.y * n.y + row0.z * n.z,
                row1.x * n.x + row1.y * n.y + row1.z * n.z,
                row2.x * n.x + row2.y * n.y + row2.z * n.z} *
           sign;
}

}  // namespace render
