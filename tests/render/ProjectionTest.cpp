// The view projection: where the world's axes show in each named view, the
// twist, the target, orbiting, and a drawing built through it.
#include <gtest/gtest.h>
#include <render/Build.h>
#include <render/View.h>

#include <cmath>
#include <numbers>

#include "TestDrawing.h"

namespace {

using render::Projection;
using render::Vec2;
using render::Vec3;

constexpr double kPi = std::numbers::pi;
const double kHalf = std::sqrt(0.5);

Vec2 shown(const Projection& projection, Vec3 world) {
    return projection.worldToView().plan(world);
}

void expectNear(Vec2 actual, Vec2 expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-9) << what;
}

TEST(Projection, WorldAxesShowWhereEachNamedViewPutsThem) {
    struct Case {
        const char* name;
        Projection projection;
        Vec2 x, y, z;  // where the world's unit axes show
    };
    // Isometric views: each world axis shows at the same length, z upright.
    const double c = std::sqrt(1.0 / 6.0);   // y component of a level axis
    const double up = std::sqrt(2.0 / 3.0);  // length of world z on screen
    const Case cases[] = {
        {"top", Projection::top(), {1, 0}, {0, 1}, {0, 0}},
        {"front", Projection::front(), {1, 0}, {0, 0}, {0, 1}},
        {"right", Projection::right(), {0, 0}, {1, 0}, {0, 1}},
        {"south-east", Projection::southEast(), {kHalf, -c}, {kHalf, c}, {0, up}},
        {"south-west", Projection::southWest(), {kHalf, c}, {-kHalf, c}, {0, up}},
        {"north-east", Projection::northEast(), {-kHalf, -c}, {kHalf, -c}, {0, up}},
        {"north-west", Projection::northWest(), {-kHalf, c}, {-kHalf, -c}, {0, up}},
        {"top turned a quarter", {{0, 0, 1}, kPi / 2, {}}, {0, 1}, {-1, 0}, {0, 0}},
        {"front turned half", {{0, -1, 0}, kPi, {}}, {-1, 0}, {0, 0}, {0, -1}},
        {"from below", Projection::looking({0, 0, -5}), {1, 0}, {0, -1}, {0, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        expectNear(shown(k.projection, {1, 0, 0}), k.x, "x");
        expectNear(shown(k.projection, {0, 1, 0}), k.y, "y");
        expectNear(shown(k.projection, {0, 0, 1}), k.z, "z");
        // Depth grows towards the eye.
        const Vec3 eye = k.projection.worldToView().apply(k.projection.direction);
        EXPECT_GT(eye.z, 0);
    }
}

TEST(Projection, TheTargetShowsAtTheOrigin) {
    const Projection projection{{1, -1, 1}, 0.3, {10, 20, 30}};
    expectNear(shown(projection, {10, 20, 30}), {0, 0}, "target");
    const Vec2 moved = shown(projection, {11, 20, 30});
    expectNear(moved, shown({{1, -1, 1}, 0.3, {}}, {1, 0, 0}), "offsets are kept");
}

TEST(Projection, OrbitingTurnsAboutZAndStopsShortOfThePoles) {
    struct Case {
        const char* name;
        Projection from;
        double yaw, pitch;
        Vec3 direction;  // expected, unit length
    };
    const Case cases[] = {
        {"front, a quarter turn", Projection::front(), kPi / 2, 0, {1, 0, 0}},
        {"front, raised to the top", Projection::front(), 0, kPi, {0, -1e-3, 1}},
        {"front, lowered to the bottom", Projection::front(), 0, -kPi, {0, -1e-3, -1}},
        // Straight down the eye comes off the top towards the front, where
        // the picture's axes stay as they were.
        {"top, lowered", Projection::top(), 0, -kPi / 2, {0, -1, 0}},
        {"right, half a turn", Projection::right(), kPi, 0, {-1, 0, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const Vec3 d = k.from.orbited(k.yaw, k.pitch).direction;
        EXPECT_NEAR(d.x, k.direction.x, 2e-3);
        EXPECT_NEAR(d.y, k.direction.y, 2e-3);
        EXPECT_NEAR(d.z, k.direction.z, 2e-3);
        EXPECT_NEAR(render::length(d), 1, 1e-12);
    }
    const Projection twisted{{0, -1, 0}, 0.5, {1, 2, 3}};
    const Projection turned = twisted.orbited(0.2, 0.1);
    EXPECT_EQ(turned.twist, twisted.twist);
    EXPECT_EQ(turned.target.z, twisted.target.z);
}

TEST(Projection, TheBuilderDrawsThroughIt) {
    testsupport::TestDrawing t;
    dwg::Line upright;
    upright.start = {2, 3, 0};
    upright.end = {2, 3, 10};
    t.add(testsupport::TestDrawing::kModel, "LINE", upright);
    dwg::Circle circle;
    circle.center = {0, 0, 0};
    circle.radius = 1;
    t.add(testsupport::TestDrawing::kModel, "CIRCLE", circle);

    render::BuildOptions plan;
    const render::DisplayList top = render::buildModelSpace(t.drawing, plan);
    // From above the upright line is a point, the circle round.
    EXPECT_NEAR(top.extents.width(), 3, 1e-9);
    EXPECT_NEAR(top.extents.height(), 4, 1e-9);

    render::BuildOptions front;
    front.projection = Projection::front();
    const render::DisplayList side = render::buildModelSpace(t.drawing, front);
    // From the front the line stands 10 high and the circle is a flat line.
    EXPECT_NEAR(side.extents.minY, 0, 1e-9);
    EXPECT_NEAR(side.extents.maxY, 10, 1e-9);
    EXPECT_NEAR(side.extents.minX, -1, 1e-9);
    EXPECT_NEAR(side.extents.maxX, 2, 1e-9);
}

}  // namespace
