// Curve evaluation and flattening shared by the build (bounds, hatch
// boundaries) and the views (drawing).
#pragma once

#include <render/DisplayList.h>

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace render::detail {

// A B-spline of plane or space points.
template <typename Point>
struct BasicSplineData {
    int degree = 0;
    std::span<const Point> control;
    std::span<const double> knots;    // control.size() + degree + 1
    std::span<const double> weights;  // empty, or one per control point
};
using SplineData = BasicSplineData<Vec2>;
using SpaceSplineData = BasicSplineData<Vec3>;

// Whether the knots and weights make a curve we can evaluate.
bool isValidSpline(const SplineData& spline);
bool isValidSpline(const SpaceSplineData& spline);
Vec2 evaluateSpline(const SplineData& spline, double t);
Vec3 evaluateSpline(const SpaceSplineData& spline, double t);

// A spline that holds its own numbers.
template <typename Point>
struct BasicOwnedSpline {
    int degree = 0;
    std::vector<Point> control;
    std::vector<double> knots;
    std::vector<double> weights;

    BasicSplineData<Point> data() const { return {degree, control, knots, weights}; }
};
using OwnedSpline = BasicOwnedSpline<Vec2>;
using SpaceOwnedSpline = BasicOwnedSpline<Vec3>;

// The part of a valid spline between parameters `from` < `to`, both within
// its domain, as a spline of its own: the same curve, cut by inserting each
// end as a knot until the pieces come apart.
OwnedSpline splinePart(const SplineData& spline, double from, double to);
SpaceOwnedSpline splinePart(const SpaceSplineData& spline, double from, double to);

// The parameter of a valid spline at which `distance` (from the spline's
// point there to something) is least: the best of a few samples per knot
// span, refined between its neighbours.
double nearestParameter(const SplineData& spline, const std::function<double(double t)>& distance);
double nearestParameter(const SpaceSplineData& spline,
                        const std::function<double(double t)>& distance);

// Each appends to `out`; with `skipFirst` the first point is left out (it
// repeats the end of the previous piece).
void flattenArc(Vec2 c, Vec2 u, Vec2 v, double t0, double t1, double tolerance,
                std::vector<Vec2>& out, bool skipFirst = false);
void flattenSpline(const SplineData& spline, double tolerance, std::vector<Vec2>& out,
                   bool skipFirst = false);
void flattenSpline(const SpaceSplineData& spline, double tolerance, std::vector<Vec3>& out,
                   bool skipFirst = false);
void flattenPiece(const DisplayList& list, const Piece& piece, double tolerance,
                  std::vector<Vec2>& out);
// The same in space, depth included, to a tolerance in space.
void flattenArc(Vec3 c, Vec3 u, Vec3 v, double t0, double t1, double tolerance,
                std::vector<Vec3>& out, bool skipFirst = false);
void flattenPiece(const DisplayList& list, const Piece& piece, double tolerance,
                  std::vector<Vec3>& out);

Box arcBounds(Vec2 c, Vec2 u, Vec2 v, double t0, double t1);

// An angle less whole turns, in (-2 pi, 2 pi), sign kept; 0 when not finite.
// Far out, adding a turn no longer changes a double: angles from a file are
// brought here before anything steps through them.
double oneTurn(double angle);
// A sweep of at most one turn either way; 0 when not finite.
double oneTurnSweep(double sweep);

// Sweep of an arc from angle `start` to `end`, counter-clockwise, in (0, 2 pi].
double counterClockwiseSweep(double start, double end);

// The C2 cubic through `fit` with chord-length parameters, as Bezier control
// points (3 per span plus 1); end tangents are used where given.
std::vector<Vec2> interpolateCubic(std::span<const Vec2> fit, std::optional<Vec2> startTangent,
                                   std::optional<Vec2> endTangent);
std::vector<Vec3> interpolateCubic(std::span<const Vec3> fit, std::optional<Vec3> startTangent,
                                   std::optional<Vec3> endTangent);

// Arc through a polyline bulge from a to b: centre, radius, start angle, sweep.
struct BulgeArc {
    Vec2 centre;
    double radius = 0;
    double start = 0;
    double sweep = 0;
};
BulgeArc bulgeArc(Vec2 a, Vec2 b, double bulge);

}  // namespace render::detail
