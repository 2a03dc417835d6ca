// Curve evaluation and flattening, polyline bulges, and hatch pattern lines.
#include <gtest/gtest.h>
#include <render/Build.h>

#include <cmath>
#include <numbers>

#include "Curves.h"
#include "HatchLines.h"

namespace {

using render::Vec2;
using namespace render::detail;

constexpr double kPi = std::numbers::pi;

TEST(CurvesTest, SplinesPassThroughKnownPoints) {
    const double h = std::sqrt(0.5);
    const std::vector<Vec2> bezier{{0, 0}, {1, 2}, {2, 0}};
    const std::vector<double> bezierKnots{0, 0, 0, 1, 1, 1};
    const std::vector<Vec2> quarter{{1, 0}, {1, 1}, {0, 1}};
    const std::vector<double> quarterWeights{1, h, 1};
    const std::vector<Vec2> uniform{{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 12}};
    const std::vector<double> uniformKnots{0, 1, 2, 3, 4, 5, 6, 7, 8};
    struct Case {
        const char* name;
        SplineData spline;
        double t;
        Vec2 expected;
    };
    const Case cases[] = {
        // Quadratic Bezier: (P0 + 2 P1 + P2) / 4 at the middle.
        {"bezier middle", {2, bezier, bezierKnots, {}}, 0.5, {1, 1}},
        {"bezier start", {2, bezier, bezierKnots, {}}, 0, {0, 0}},
        {"bezier end", {2, bezier, bezierKnots, {}}, 1, {2, 0}},
        // A rational quadratic is an exact quarter circle.
        {"quarter circle", {2, quarter, bezierKnots, quarterWeights}, 0.5, {h, h}},
        // Uniform cubic at an inner knot: (P0 + 4 P1 + P2) / 6.
        {"uniform cubic at knot 3", {3, uniform, uniformKnots, {}}, 3, {5, 1}},
        {"uniform cubic at knot 4", {3, uniform, uniformKnots, {}}, 4, {5, 5}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(isValidSpline(c.spline)) << c.name;
        const Vec2 p = evaluateSpline(c.spline, c.t);
        EXPECT_NEAR(p.x, c.expected.x, 1e-12) << c.name;
        EXPECT_NEAR(p.y, c.expected.y, 1e-12) << c.name;
    }
    std::vector<Vec2> flat;
    flattenSpline({2, quarter, bezierKnots, quarterWeights}, 1e-4, flat);
    for (const Vec2& p : flat) EXPECT_NEAR(std::hypot(p.x, p.y), 1, 1e-9);

    const std::vector<double> decreasing{0, 0, 1, 0.5, 1, 1};
    EXPECT_FALSE(isValidSpline({2, bezier, decreasing, {}}));
    const std::vector<double> tooFew{0, 0, 1, 1};
    const std::vector<double> zeroWeight{1, 0, 1};
    EXPECT_FALSE(isValidSpline({2, bezier, tooFew, {}}));
    EXPECT_FALSE(isValidSpline({2, quarter, bezierKnots, zeroWeight}));
}

TEST(CurvesTest, APartOfASplineIsTheSameCurveBetweenItsCuts) {
    const double h = std::sqrt(0.5);
    const std::vector<Vec2> quarter{{1, 0}, {1, 1}, {0, 1}};
    const std::vector<double> bezierKnots{0, 0, 0, 1, 1, 1};
    const std::vector<double> quarterWeights{1, h, 1};
    const std::vector<Vec2> uniform{{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 12}};
    const std::vector<double> uniformKnots{0, 1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<Vec2> doubled{{0, 0}, {1, 3}, {2, 0}, {3, 3}, {4, 0}};
    const std::vector<double> doubledKnots{0, 0, 0, 1, 1, 2, 2, 2};  // an inner knot twice
    struct Case {
        const char* name;
        SplineData spline;
        double from, to;
    };
    const Case cases[] = {
        {"rational, inside", {2, quarter, bezierKnots, quarterWeights}, 0.2, 0.7},
        {"rational, from the start", {2, quarter, bezierKnots, quarterWeights}, 0, 0.4},
        {"rational, to the end", {2, quarter, bezierKnots, quarterWeights}, 0.4, 1},
        {"unclamped cubic, across knots", {3, uniform, uniformKnots, {}}, 3.3, 4.6},
        {"unclamped cubic, at a knot", {3, uniform, uniformKnots, {}}, 4, 5},
        {"unclamped cubic, whole", {3, uniform, uniformKnots, {}}, 3, 5},
        {"cut at a double knot", {2, doubled, doubledKnots, {}}, 1, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(isValidSpline(c.spline));
        const OwnedSpline part = splinePart(c.spline, c.from, c.to);
        const SplineData cut = part.data();
        ASSERT_TRUE(isValidSpline(cut));
        const std::size_t p = std::size_t(cut.degree);
        EXPECT_DOUBLE_EQ(cut.knots[p], c.from);
        EXPECT_DOUBLE_EQ(cut.knots[cut.control.size()], c.to);
        for (int i = 0; i <= 10; ++i) {
            const double t = c.from + (c.to - c.from) * i / 10;
            const Vec2 a = evaluateSpline(c.spline, t), b = evaluateSpline(cut, t);
            EXPECT_NEAR(a.x, b.x, 1e-12) << t;
            EXPECT_NEAR(a.y, b.y, 1e-12) << t;
        }
    }
    // The nearest parameter to a point of the curve is that point's own.
    const SplineData cubic{3, uniform, uniformKnots, {}};
    for (const double t : {3.0, 3.37, 4.0, 4.81, 5.0}) {
        const Vec2 on = evaluateSpline(cubic, t);
        EXPECT_NEAR(nearestParameter(
                        cubic, [&](double u) { return length(evaluateSpline(cubic, u) - on); }),
                    t, 1e-6);
    }
}

TEST(CurvesTest, FitPointCurvePassesThroughItsPointsSmoothly) {
    const std::vector<Vec2> fit{{0, 0}, {1, 2}, {3, 1}, {4, 4}, {7, 0}};
    const std::vector<Vec2> control = interpolateCubic(fit, std::nullopt, Vec2{0, -1});
    ASSERT_EQ(control.size(), 3 * (fit.size() - 1) + 1);
    for (std::size_t i = 0; i < fit.size(); ++i) {
        EXPECT_NEAR(control[3 * i].x, fit[i].x, 1e-12);
        EXPECT_NEAR(control[3 * i].y, fit[i].y, 1e-12);
    }
    // Tangent continuity: the handles on both sides of an inner point line up.
    for (std::size_t i = 1; i + 1 < fit.size(); ++i) {
        const Vec2 in = control[3 * i] - control[3 * i - 1];
        const Vec2 out = control[3 * i + 1] - control[3 * i];
        EXPECT_NEAR(render::cross(in, out), 0, 1e-9) << i;
        EXPECT_GT(render::dot(in, out), 0) << i;
    }
    const Vec2 end = control.back() - control[control.size() - 2];
    EXPECT_NEAR(end.x, 0, 1e-12);
    EXPECT_LT(end.y, 0);
}

TEST(CurvesTest, ArcsAndBulges) {
    // Flattened within the tolerance: chord middles stay close to the circle.
    for (const double tolerance : {1.0, 0.25, 0.01}) {
        std::vector<Vec2> points;
        flattenArc({0, 0}, {100, 0}, {0, 100}, 0, 2 * kPi, tolerance, points);
        for (std::size_t i = 1; i < points.size(); ++i) {
            const Vec2 middle = (points[i] + points[i - 1]) * 0.5;
            EXPECT_LE(100 - std::hypot(middle.x, middle.y), tolerance * 1.0001);
        }
    }
    struct Case {
        double bulge;
        Vec2 centre;
        double sweep;
        Vec2 middle;  // of the arc
    };
    const Case cases[] = {
        {1, {1, 0}, kPi, {1, -1}},   // counter-clockwise half circle from (0,0) to (2,0)
        {-1, {1, 0}, -kPi, {1, 1}},  // clockwise
        {std::tan(kPi / 8), {1, 1}, kPi / 2, {1, 1 - std::sqrt(2)}},  // a quarter
    };
    for (const Case& c : cases) {
        const BulgeArc arc = bulgeArc({0, 0}, {2, 0}, c.bulge);
        EXPECT_NEAR(arc.centre.x, c.centre.x, 1e-12) << c.bulge;
        EXPECT_NEAR(arc.centre.y, c.centre.y, 1e-12) << c.bulge;
        EXPECT_NEAR(arc.sweep, c.sweep, 1e-12) << c.bulge;
        const double t = arc.start + arc.sweep / 2;
        EXPECT_NEAR(arc.centre.x + arc.radius * std::cos(t), c.middle.x, 1e-12) << c.bulge;
        EXPECT_NEAR(arc.centre.y + arc.radius * std::sin(t), c.middle.y, 1e-12) << c.bulge;
    }
    struct BoundsCase {
        double t0, t1;
        render::Box expected;
    };
    const BoundsCase bounds[] = {
        {0, kPi / 2, {0, 0, 1, 1}},
        {-kPi / 4, kPi / 4, {std::sqrt(0.5), -std::sqrt(0.5), 1, std::sqrt(0.5)}},
        {kPi / 2, -kPi / 2, {0, -1, 1, 1}},  // clockwise, through 0
        {0, 2 * kPi, {-1, -1, 1, 1}},
    };
    for (const BoundsCase& b : bounds) {
        const render::Box box = arcBounds({0, 0}, {1, 0}, {0, 1}, b.t0, b.t1);
        EXPECT_NEAR(box.minX, b.expected.minX, 1e-12) << b.t0 << ".." << b.t1;
        EXPECT_NEAR(box.minY, b.expected.minY, 1e-12) << b.t0 << ".." << b.t1;
        EXPECT_NEAR(box.maxX, b.expected.maxX, 1e-12) << b.t0 << ".." << b.t1;
        EXPECT_NEAR(box.maxY, b.expected.maxY, 1e-12) << b.t0 << ".." << b.t1;
    }
}

bool inside(Vec2 p, double lo, double hi) {
    return p.x > lo && p.x < hi && p.y > lo && p.y < hi;
}

TEST(CurvesTest, HatchLinesStayInsideTheSquareAndOutOfTheHole) {
    const std::vector<std::vector<Vec2>> rings{{{0, 0}, {10, 0}, {10, 10}, {0, 10}},
                                               {{4, 4}, {6, 4}, {6, 6}, {4, 6}}};
    struct Case {
        const char* name;
        HatchFamily family;
        double expectedLength;  // of all segments; < 0: not checked
        double longestDash;
    };
    const Case cases[] = {
        // Lines at y = 0.5, 1.5 ... 9.5: ten of length 10, less 2 for the
        // two that cross the hole.
        {"horizontal", {0, {0, 0.5}, {0, 1}, {}}, 96, 10},
        {"vertical, offset along the line", {kPi / 2, {0.5, 0}, {-1, 3}, {}}, 96, 10},
        {"dashed", {0, {0, 0.5}, {0, 1}, {1, -1}}, -1, 1},
        {"diagonal with dots", {kPi / 4, {0, 0}, {-0.5, 0.5}, {0.5, -0.25, 0, -0.25}}, -1, 0.5},
    };
    for (const Case& c : cases) {
        WorkBudget work(render::BuildLimits::kDefaultMaxWork, nullptr);
        const HatchSegments out = hatchSegments(rings, {c.family}, {}, work);
        ASSERT_FALSE(out.segments.empty()) << c.name;
        double total = 0;
        for (const auto& [a, b] : out.segments) {
            const Vec2 middle = (a + b) * 0.5;
            EXPECT_TRUE(inside(middle, -1e-9, 10 + 1e-9)) << c.name;
            EXPECT_FALSE(inside(middle, 4 + 1e-9, 6 - 1e-9)) << c.name;
            total += render::length(b - a);
            EXPECT_LE(render::length(b - a), c.longestDash + 1e-9) << c.name;
        }
        if (c.expectedLength > 0) {
            EXPECT_NEAR(total, c.expectedLength, 1e-9) << c.name;
        }
    }
    // Far from the origin, where a step of one line or one dash is below the
    // precision of the coordinates: the work still ends, within the budget.
    const double far = 1e17;
    const std::vector<std::vector<Vec2>> distant{
        {{far, far}, {far + 1e4, far}, {far + 1e4, far + 1e4}, {far, far + 1e4}}};
    WorkBudget work(render::BuildLimits::kDefaultMaxWork, nullptr);
    const HatchSegments bounded =
        hatchSegments(distant, {{0, {0, 0}, {0, 1}, {0.5, -0.5}}}, {}, work);
    EXPECT_LE(bounded.segments.size(), HatchLineBudget{}.maxSegments);

    // Too dense for the budget: dropped, not drawn.
    HatchLineBudget budget;
    budget.maxLinesPerFamily = 100;
    WorkBudget fresh(render::BuildLimits::kDefaultMaxWork, nullptr);
    const HatchSegments dense = hatchSegments(rings, {{0, {0, 0}, {0, 0.001}, {}}}, budget, fresh);
    EXPECT_TRUE(dense.segments.empty());
    EXPECT_EQ(dense.familiesDropped, 1u);
}

}  // namespace
