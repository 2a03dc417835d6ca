// Surfaces decode to their whole geometry from SAT text and SAB binary: the
// analytic ones' axes, radii and senses, spline surfaces' B-splines in their
// stored layouts, and a body's transform applied to them.
#include <acis/Model.h>
#include <gtest/gtest.h>

#include <cmath>

#include "BodyBuilder.h"

namespace {

using acistest::BodyBuilder;

const acis::Surface& onlySurface(const BodyBuilder& b, bool binary, int version = 700) {
    static acis::Model model;
    const acistest::ModelWriter w = b.write(version);
    model = acis::decode(binary ? w.sab() : w.sat());
    EXPECT_EQ(model.surfaces.size(), 1u);
    return model.surfaces.at(0);
}

BodyBuilder withSurface(const char* name, std::vector<acistest::Field> fields) {
    BodyBuilder b;
    b.face(name, std::move(fields), {});
    return b;
}

struct Form {
    const char* name;
    bool binary;
    int version;
};

class Surfaces : public testing::TestWithParam<Form> {};

TEST_P(Surfaces, AnalyticGeometryAndSenses) {
    using namespace acistest;
    const bool binary = GetParam().binary;
    const int version = GetParam().version;
    const acis::Surface& cone = onlySurface(
        withSurface("cone-surface", coneSurface({1, 2, 3}, {0, 0, 1}, {4, 0, 0}, 0.5, -0.6, 0.8)),
        binary, version);
    EXPECT_EQ(cone.kind, acis::Surface::Kind::Cone);
    EXPECT_EQ(cone.origin, (acis::Vec3{1, 2, 3}));
    EXPECT_EQ(cone.normal, (acis::Vec3{0, 0, 1}));
    EXPECT_EQ(cone.majorAxis, (acis::Vec3{4, 0, 0}));
    EXPECT_EQ(cone.ratio, 0.5);
    EXPECT_EQ(cone.sineAngle, -0.6);
    EXPECT_EQ(cone.cosineAngle, 0.8);
    const acis::Surface& sphere = onlySurface(
        withSurface("sphere-surface", sphereSurface({1, 2, 3}, -4, {0, 1, 0})), binary, version);
    EXPECT_EQ(sphere.kind, acis::Surface::Kind::Sphere);
    EXPECT_EQ(sphere.radius, -4);
    EXPECT_EQ(sphere.normal, (acis::Vec3{0, 1, 0}));
    const acis::Surface& torus = onlySurface(
        withSurface("torus-surface", torusSurface({0, 0, 1}, {0, 1, 0}, 5, -2)), binary, version);
    EXPECT_EQ(torus.kind, acis::Surface::Kind::Torus);
    EXPECT_EQ(torus.normal, (acis::Vec3{0, 1, 0}));
    EXPECT_EQ(torus.radius, 5);
    EXPECT_EQ(torus.minorRadius, -2);
}

TEST_P(Surfaces, BoundedBaseRangeOfACone) {
    // The base ellipse's range written "F value" rather than "I".
    using namespace acistest;
    const acis::Surface& cone = onlySurface(
        withSurface("cone-surface", {position(0, 0, 0), position(0, 0, 1), position(2, 0, 0),
                                     real(1), flag("F", true), real(0), flag("F", true), real(3),
                                     real(0.6), real(-0.8), real(2), forward()}),
        GetParam().binary, GetParam().version);
    EXPECT_EQ(cone.sineAngle, 0.6);
    EXPECT_EQ(cone.cosineAngle, -0.8);
}

// A 3 x 2 net, degree 2 in u and 1 in v, points numbered along u first.
const std::vector<acistest::Point> kNet{{0, 0, 0}, {1, 0, 1}, {2, 0, 0},
                                        {0, 1, 0}, {1, 1, 1}, {2, 1, 0}};
const acistest::Knots kQuadratic{{0, 1}, {2, 2}}, kLinear{{0, 2}, {1, 1}};

TEST_P(Surfaces, SplineNetInEachLayout) {
    using namespace acistest;
    struct Layout {
        std::vector<double> weights;
        bool closuresAsNumbers;
    };
    for (const Layout& layout :
         {Layout{{}, false}, Layout{{}, true}, Layout{{1, 0.5, 1, 1, 0.5, 1}, false},
          Layout{{1, 0.5, 1, 1, 0.5, 1}, true}}) {
        const acis::Surface& s =
            onlySurface(withSurface("spline-surface",
                                    splineSurface(2, 1, kQuadratic, kLinear, kNet, layout.weights,
                                                  layout.closuresAsNumbers, true)),
                        GetParam().binary, GetParam().version);
        ASSERT_EQ(s.kind, acis::Surface::Kind::Spline);
        ASSERT_EQ(s.splineError, "");
        EXPECT_TRUE(s.reversed);
        EXPECT_EQ(s.spline.degreeU, 2);
        EXPECT_EQ(s.spline.degreeV, 1);
        EXPECT_EQ(s.spline.countU, 3);
        EXPECT_EQ(s.spline.countV, 2);
        // The end knots stored one short come out repeated once more.
        EXPECT_EQ(s.spline.knotsU, (std::vector<double>{0, 0, 0, 1, 1, 1}));
        EXPECT_EQ(s.spline.knotsV, (std::vector<double>{0, 0, 2, 2}));
        ASSERT_EQ(s.spline.controlPoints.size(), 6u);
        EXPECT_EQ(s.spline.controlPoints[1], (acis::Vec3{1, 0, 1}));
        EXPECT_EQ(s.spline.controlPoints[3], (acis::Vec3{0, 1, 0}));
        EXPECT_EQ(s.spline.weights, layout.weights);
        EXPECT_FALSE(s.spline.closedU);
    }
}

TEST_P(Surfaces, ProceduralSplineUsesItsApproximation) {
    // A surface of revolution stores its profile curve first, then the
    // B-spline surface that approximates it.
    using namespace acistest;
    std::vector<Field> f{forward(),        open(),       word("rotsur"), word("nubs"),
                         integer(1),       word("open"), integer(2),     real(0),
                         integer(1),       real(1),      integer(1),     position(0, 0, 0),
                         position(0, 0, 1)};
    const std::vector<Field> surface = splineSurface(2, 1, kQuadratic, kLinear, kNet);
    // Its fields after the sense and the opening brace, up to the closing one.
    f.insert(f.end(), surface.begin() + 3, surface.end() - 5);
    f.push_back(close());
    const acis::Surface& s =
        onlySurface(withSurface("spline-surface", f), GetParam().binary, GetParam().version);
    ASSERT_EQ(s.splineError, "");
    EXPECT_EQ(s.spline.degreeU, 2);
    EXPECT_EQ(s.spline.controlPoints.size(), 6u);
}

// Sub-records are numbered as they open, nested ones too; "{ ref n }"
// stands for the n-th. A procedural surface made from another (an offset of
// a loft) stores its own approximation after the one it is made from: its
// own is the one it takes.
TEST_P(Surfaces, SharedSurfacesReadWhereTheyWereWritten) {
    using namespace acistest;
    std::vector<Point> lifted = kNet;
    for (Point& p : lifted) p[2] += 5;
    // The net's fields inside a sub-record, without its sense and braces.
    const auto net = [](const std::vector<Point>& points) {
        const std::vector<Field> whole = splineSurface(2, 1, kQuadratic, kLinear, points);
        return std::vector<Field>(whole.begin() + 3, whole.end() - 6);
    };
    std::vector<Field> offset{forward(), open(), word("off_spl_sur"), word("spline"), forward(),
                              open(), word("loft_spl_sur")};
    for (const Field& f : net(kNet)) offset.push_back(f);
    offset.push_back(close());
    offset.push_back(real(5));
    for (const Field& f : net(lifted)) offset.push_back(f);
    offset.push_back(close());
    BodyBuilder b;
    b.face("spline-surface", offset, {});
    b.face("spline-surface", {reversed(), open(), word("ref"), integer(1), close()}, {});
    b.face("spline-surface", {forward(), open(), word("ref"), integer(2), close()}, {});
    const acistest::ModelWriter w = b.write(GetParam().version);
    const acis::Model m = acis::decode(GetParam().binary ? w.sab() : w.sat());
    ASSERT_EQ(m.faces.size(), 3u);
    const auto surfaceOf = [&](std::size_t face) -> const acis::Surface& {
        return m.surfaces.at(std::size_t(m.faces[face].surface));
    };
    ASSERT_EQ(surfaceOf(0).splineError, "");
    EXPECT_EQ(surfaceOf(0).spline.controlPoints.at(1), (acis::Vec3{1, 0, 6}));
    ASSERT_EQ(surfaceOf(1).splineError, "");
    EXPECT_TRUE(surfaceOf(1).reversed);
    EXPECT_EQ(surfaceOf(1).spline.controlPoints.at(1), (acis::Vec3{1, 0, 1}));
    EXPECT_EQ(surfaceOf(1).spline.degreeU, 2);
    // There is no third sub-record to stand for.
    EXPECT_NE(surfaceOf(2).splineError, "");
}

TEST_P(Surfaces, SplinesWithoutANetSayWhy) {
    using namespace acistest;
    for (const std::vector<Field>& f :
         {std::vector<Field>{forward(), open(), word("ref"), integer(0), close()},
          std::vector<Field>{forward(), open(), word("exactsur"), word("nullbs"), real(0), close()},
          std::vector<Field>{
              forward(),    open(),       word("exactsur"),  word("nubs"), integer(2), integer(1),
              word("open"), word("open"), word("none"),      word("none"), integer(2), integer(2),
              real(0),      integer(2),   real(1),           integer(2),   real(0),    integer(1),
              real(1),      integer(1),   position(0, 0, 0), close()}}) {
        const acis::Surface& s =
            onlySurface(withSurface("spline-surface", f), GetParam().binary, GetParam().version);
        EXPECT_EQ(s.kind, acis::Surface::Kind::Spline);
        EXPECT_NE(s.splineError, "");
    }
}

TEST_P(Surfaces, MissingNumbersLeaveTheModelDecodable) {
    using namespace acistest;
    BodyBuilder b;
    const int v = b.vertex({1, 0, 0});
    const int c = b.arc(v, v, {0, 0, 0}, {0, 0, 1}, {1, 0, 0});
    b.face("cone-surface", {position(0, 0, 0), position(0, 0, 1)}, {{{c, false}}});
    const acistest::ModelWriter w = b.write(GetParam().version);
    const acis::Model m = acis::decode(GetParam().binary ? w.sab() : w.sat());
    EXPECT_EQ(m.surfaces.at(0).kind, acis::Surface::Kind::Other);
    EXPECT_EQ(m.edges.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Forms, Surfaces,
                         testing::Values(Form{"text400", false, 400}, Form{"text700", false, 700},
                                         Form{"binary700", true, 700},
                                         Form{"binary22300", true, 22300}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SurfaceTransforms, MoveScaleAndMirror) {
    using namespace acistest;
    BodyBuilder b;
    b.face("sphere-surface", sphereSurface({1, 0, 0}, 2), {});
    b.face("spline-surface", splineSurface(2, 1, kQuadratic, kLinear, kNet), {});
    // A mirror in x, moved along y, twice the size.
    b.transform({-1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 10, 0}, 2);
    const acis::Model m = acis::decode(b.write().sab());
    const acis::Surface& sphere = m.surfaces.at(0);
    EXPECT_EQ(sphere.origin, (acis::Vec3{-2, 10, 0}));
    EXPECT_EQ(sphere.radius, 4);
    const acis::Surface& spline = m.surfaces.at(1);
    EXPECT_EQ(spline.spline.controlPoints[1], (acis::Vec3{-2, 10, 2}));
    EXPECT_TRUE(spline.reversed) << "a mirror turns the net's own normal inside out";
}

}  // namespace
