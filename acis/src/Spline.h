// B-spline curves and surfaces of the model evaluated, with first derivatives,
// rational or not. Parameters outside the knots' range are clamped to it.
#pragma once

#include <acis/Model.h>

namespace acis::detail {

struct CurvePoint {
    Vec3 point;
    Vec3 derivative;
};

struct SurfacePoint {
    Vec3 point;
    Vec3 du;
    Vec3 dv;
};

// The decoder guarantees what these need: knots non-decreasing with distinct
// ends, as many as the points plus the degree plus one, weights empty or one
// per point.
CurvePoint evaluate(const Curve& curve, double t);
// Without `derivatives`, du and dv come out zero, for a third of the work.
SurfacePoint evaluate(const SplineSurface& surface, double u, double v, bool derivatives = true);

// The knot range a curve or surface direction is defined on.
inline double firstParameter(const std::vector<double>& knots, int degree) {
    return knots[static_cast<std::size_t>(degree)];
}
inline double lastParameter(const std::vector<double>& knots, int degree) {
    return knots[knots.size() - 1 - static_cast<std::size_t>(degree)];
}

}  // namespace acis::detail
