// Tessellated bodies measured against their exact shapes: enclosed volume,
// area, distance of the triangles from their surfaces, normals out of the
// solid, meshes closed where faces share edges, holes left empty.
#include <acis/Tessellate.h>
#include <gtest/gtest.h>

#include <string>

#include "MeshChecks.h"
#include "Shapes.h"

namespace {

using acistest::Solid;

acis::ModelMesh tessellate(const acis::Model& model, double tolerance) {
    acis::TessellationLimits limits;
    limits.tolerance = tolerance;
    return acis::tessellate(model, limits);
}

std::string errors(const acis::ModelMesh& m) {
    std::string out;
    for (const acis::FaceMesh& f : m.faces)
        if (!f.error.empty()) out += "face " + std::to_string(f.face) + ": " + f.error + "\n";
    return out;
}

acis::Vec3 averageNormal(const acis::Mesh& mesh, const std::array<std::uint32_t, 3>& t) {
    using namespace acistest;
    const acis::Vec3 n = add(add(mesh.normals[t[0]], mesh.normals[t[1]]), mesh.normals[t[2]]);
    return mul(n, 1 / norm(n));
}

struct SolidCase {
    const Solid* solid;
    double relativeTolerance;
    bool binary;
};

class ClosedSolids : public testing::TestWithParam<SolidCase> {};

TEST_P(ClosedSolids, MatchTheirShape) {
    using namespace acistest;
    const Solid& s = *GetParam().solid;
    const double tolerance = s.size * GetParam().relativeTolerance;
    const ModelWriter w = writeSolid(s, GetParam().binary ? 22300 : 700);
    const acis::Model model = acis::decode(GetParam().binary ? w.sab() : w.sat());
    const acis::ModelMesh m = tessellate(model, tolerance);
    ASSERT_FALSE(m.stopped);
    ASSERT_EQ(errors(m), "");
    EXPECT_EQ(unmatchedEdges(m), 0) << "the faces' meshes must close up along shared edges";
    // Every point of the mesh lies within the tolerance of the surface, so
    // the volume differs by at most the area times the tolerance.
    EXPECT_NEAR(volume(m), s.volume, s.area * tolerance);
    const double eps = 3 * tolerance;
    int outward = 0, inward = 0, wound = 0, triangles = 0;
    double farthest = 0, vertexOff = 0;
    forEachTriangle(m, [&](const acis::FaceMesh& face, const acis::Vec3& a, const acis::Vec3& b,
                           const acis::Vec3& c, const auto& t) {
        const acis::Surface& surface =
            model.surfaces[std::size_t(model.faces[std::size_t(face.face)].surface)];
        for (const acis::Vec3& p : {a, b, c}) {
            const double d = distanceTo(surface, p);
            if (!std::isnan(d)) vertexOff = std::max(vertexOff, d);
        }
        const acis::Vec3 centre = mul(add(add(a, b), c), 1.0 / 3);
        for (const acis::Vec3& p :
             {centre, mul(add(a, b), 0.5), mul(add(b, c), 0.5), mul(add(c, a), 0.5)}) {
            const double d = distanceTo(surface, p);
            if (!std::isnan(d)) farthest = std::max(farthest, d);
        }
        const acis::Vec3 n = averageNormal(face.mesh, t);
        ++triangles;
        outward += !s.inside(add(centre, mul(n, eps))) && s.inside(sub(centre, mul(n, eps)));
        inward += s.inside(add(centre, mul(n, eps)));
        wound += dotp(crossp(sub(b, a), sub(c, a)), n) > 0;
    });
    EXPECT_LE(vertexOff, 1e-9 * s.size);
    EXPECT_LE(farthest, tolerance * 1.001);
    EXPECT_EQ(inward, 0);
    EXPECT_EQ(outward, triangles);
    EXPECT_EQ(wound, triangles) << "triangles turn counter-clockwise seen from their normals' side";
}

// Curved solids only: flat ones' triangles do not depend on the tolerance.
class CurvedSolids : public testing::TestWithParam<const Solid*> {};

TEST_P(CurvedSolids, FinerToleranceMoreTriangles) {
    const Solid& s = *GetParam();
    const acis::Model model = acis::decode(acistest::writeSolid(s, 700).sat());
    const auto count = [&](double relative) {
        std::size_t n = 0;
        for (const acis::FaceMesh& f : tessellate(model, s.size * relative).faces)
            n += f.mesh.triangles.size();
        return n;
    };
    EXPECT_GT(count(1e-3), count(1e-2));
    EXPECT_GT(count(1e-4), count(1e-3));
}

std::vector<const Solid*> curvedSolids() {
    std::vector<const Solid*> out;
    for (const Solid& s : acistest::solids())
        if (!s.flat) out.push_back(&s);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Shapes, CurvedSolids, testing::ValuesIn(curvedSolids()),
                         [](const auto& info) { return std::string(info.param->name); });

std::vector<SolidCase> solidCases() {
    std::vector<SolidCase> out;
    for (const Solid& s : acistest::solids())
        for (double tolerance : {1e-2, 1e-3})
            for (bool binary : {false, true}) out.push_back({&s, tolerance, binary});
    return out;
}

INSTANTIATE_TEST_SUITE_P(Shapes, ClosedSolids, testing::ValuesIn(solidCases()),
                         [](const auto& info) {
                             const SolidCase& c = info.param;
                             return std::string(c.solid->name) +
                                    (c.relativeTolerance < 5e-3 ? "Fine" : "Coarse") +
                                    (c.binary ? "Binary" : "Text");
                         });

// Simpson's rule in two dimensions.
template <typename F>
double integrate(F f, double lo, double hi, int n = 200) {
    const double h = (hi - lo) / n;
    double sum = 0;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j) {
            const double wi = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
            const double wj = (j == 0 || j == n) ? 1 : (j % 2 ? 4 : 2);
            sum += wi * wj * f(lo + i * h, lo + j * h);
        }
    return sum * h * h / 9;
}

TEST(OpenFaces, TrimmedSplinePatchStaysInItsTrimAndOnItsSurface) {
    using namespace acistest;
    const double lo = 0.2, hi = 0.8, tolerance = 1e-3;
    for (bool reversedFace : {false, true}) {
        const acis::Model model = acis::decode(paraboloidPatch(lo, hi, reversedFace).write().sat());
        const acis::ModelMesh m = tessellate(model, tolerance);
        ASSERT_EQ(errors(m), "");
        const double exact = integrate(
            [](double x, double y) { return std::sqrt(1 + 4 * x * x + 4 * y * y); }, lo, hi);
        EXPECT_NEAR(area(m), exact, 4 * (hi - lo) * tolerance + exact * 2 * tolerance);
        double off = 0, outside = 0, facing = 1;
        forEachTriangle(m, [&](const acis::FaceMesh& face, const acis::Vec3& a, const acis::Vec3& b,
                               const acis::Vec3& c, const auto& t) {
            for (const acis::Vec3& p : {a, b, c, mul(add(add(a, b), c), 1.0 / 3)}) {
                off = std::max(off, std::abs(p.z - (p.x * p.x + p.y * p.y)));
                outside = std::max({outside, lo - p.x, p.x - hi, lo - p.y, p.y - hi});
            }
            const acis::Vec3 n = averageNormal(face.mesh, t);
            // The surface's own normal, (-2x, -2y, 1), points up.
            const acis::Vec3 up = mul(acis::Vec3{-2 * a.x, -2 * a.y, 1}, reversedFace ? -1 : 1);
            facing = std::min(facing, dotp(n, up) / norm(up));
            EXPECT_GT(dotp(crossp(sub(b, a), sub(c, a)), n), 0);
        });
        // Vertical distance: at most the tolerance over the steepest slope's cosine.
        EXPECT_LE(off, tolerance * std::sqrt(1 + 8 * hi * hi)) << "reversed " << reversedFace;
        EXPECT_LE(outside, 1e-12);
        EXPECT_GT(facing, 0.99);
    }
}

TEST(OpenFaces, RationalQuarterCylinderIsRound) {
    using namespace acistest;
    const double r = 3, h = 2, tolerance = 1e-3;
    const acis::Model model = acis::decode(rationalQuarterCylinder(r, h).write().sab());
    const acis::ModelMesh m = tessellate(model, tolerance);
    ASSERT_EQ(errors(m), "");
    EXPECT_NEAR(area(m), kPi / 2 * r * h, kPi / 2 * r * h * 2 * tolerance / r + 1e-9);
    double off = 0, facing = 1;
    forEachTriangle(m, [&](const acis::FaceMesh& face, const acis::Vec3& a, const acis::Vec3& b,
                           const acis::Vec3& c, const auto& t) {
        for (const acis::Vec3& p : {a, b, c}) off = std::max(off, std::abs(radial(p) - r));
        const acis::Vec3 centre = mul(add(add(a, b), c), 1.0 / 3);
        off = std::max(off, std::abs(radial(centre) - r) - tolerance);
        const acis::Vec3 n = averageNormal(face.mesh, t);
        facing =
            std::min(facing, dotp(n, mul(acis::Vec3{centre.x, centre.y, 0}, 1 / radial(centre))));
    });
    EXPECT_LE(off, 1e-9);
    EXPECT_GT(facing, 0.99) << "u across the arc, v up: the normals point away from the axis";
}

// The same quarter cylinder with its straight direction cut into forty knot
// spans: the mesh follows the surface, not its knots.
TEST(OpenFaces, KnotsOfASplineDoNotCrowdItsTriangles) {
    using namespace acistest;
    const double r = 3, h = 2, w = std::sqrt(0.5);
    const auto quarter = [&](int spans) {
        BodyBuilder b;
        std::vector<Point> net;
        std::vector<double> weights;
        Knots along{{}, {}};
        for (int k = 0; k <= spans; ++k) {
            const double z = h * k / spans;
            for (const Point& p : {Point{r, 0, z}, Point{r, r, z}, Point{0, r, z}}) net.push_back(p);
            for (double weight : {1.0, w, 1.0}) weights.push_back(weight);
            along.values.push_back(double(k) / spans);
            along.multiplicities.push_back(1);
        }
        const int a = b.vertex({r, 0, 0}), c = b.vertex({0, r, 0}), d = b.vertex({0, r, h}),
                  e = b.vertex({r, 0, h});
        const int low = b.arc(a, c, {0, 0, 0}, {0, 0, 1}, {r, 0, 0});
        const int high = b.arc(e, d, {0, 0, h}, {0, 0, 1}, {r, 0, 0});
        b.face("spline-surface", splineSurface(2, 1, {{0, 1}, {2, 2}}, along, net, weights),
               {{{low, false}, {b.line(c, d), false}, {high, true}, {b.line(e, a), false}}});
        return tessellate(acis::decode(b.write().sab()), 1e-3);
    };
    const acis::ModelMesh plain = quarter(1), cut = quarter(40);
    ASSERT_EQ(errors(plain), "");
    ASSERT_EQ(errors(cut), "");
    const double triangles = double(cut.faces[0].mesh.triangles.size());
    EXPECT_LT(triangles, 1.5 * double(plain.faces[0].mesh.triangles.size()));
    EXPECT_NEAR(area(cut), kPi / 2 * r * h, kPi / 2 * r * h * 2e-3 / r + 1e-9);
    forEachTriangle(cut, [&](const acis::FaceMesh& face, const acis::Vec3& a, const acis::Vec3& b,
                             const acis::Vec3& c, const auto& t) {
        const acis::Vec3 centre = mul(add(add(a, b), c), 1.0 / 3);
        EXPECT_GT(dotp(averageNormal(face.mesh, t),
                       mul(acis::Vec3{centre.x, centre.y, 0}, 1 / radial(centre))),
                  0.99);
    });
}

TEST(OpenFaces, HoleStaysEmpty) {
    using namespace acistest;
    const double s = 10, r = 3, tolerance = 1e-3;
    for (bool reversedFace : {false, true}) {
        const acis::Model model = acis::decode(squareWithHole(s, r, reversedFace).write().sat());
        const acis::ModelMesh m = tessellate(model, tolerance);
        ASSERT_EQ(errors(m), "");
        ASSERT_EQ(m.faces.size(), 1u);
        EXPECT_TRUE(m.faces[0].doubleSided);
        // The hole's polygon is inscribed in its circle: the area is larger by at most the sag
        // times the rim.
        EXPECT_NEAR(area(m), s * s - kPi * r * r, 2 * kPi * r * tolerance);
        int inHole = 0, upward = 0, triangles = 0;
        forEachTriangle(m, [&](const acis::FaceMesh& face, const acis::Vec3& a, const acis::Vec3& b,
                               const acis::Vec3& c, const auto& t) {
            const acis::Vec3 centre = mul(add(add(a, b), c), 1.0 / 3);
            inHole += std::hypot(centre.x - s / 2, centre.y - s / 2) < r - tolerance;
            upward += averageNormal(face.mesh, t).z > 0;
            ++triangles;
        });
        EXPECT_EQ(inHole, 0);
        EXPECT_EQ(upward, reversedFace ? 0 : triangles);
    }
}

// Sheets saved with their loops turning clockwise about the face's normal
// (a plane facing down under loops drawn from above): on a surface with no
// whole domain for them to be holes in, the largest bounds the face and the
// others stay holes.
TEST(OpenFaces, LoopsTurnedTheOtherWayStillBoundTheirSheet) {
    using namespace acistest;
    const double s = 10, r = 3;
    for (bool reversedFace : {false, true}) {
        acistest::ModelWriter w = squareWithHole(s, r, reversedFace).write();
        for (auto& record : w.records)
            if (record.name == "plane-surface") record.fields[1] = position(0, 0, -1);
        const acis::ModelMesh m = tessellate(acis::decode(w.sat()), 1e-3);
        ASSERT_EQ(errors(m), "");
        EXPECT_NEAR(area(m), s * s - kPi * r * r, 2 * kPi * r * 1e-3);
        forEachTriangle(m, [&](const acis::FaceMesh& face, const acis::Vec3&, const acis::Vec3&,
                               const acis::Vec3&, const auto& t) {
            EXPECT_EQ(averageNormal(face.mesh, t).z < 0, !reversedFace);
        });
    }
}

// Bands of a torus between two circles round its axis: the outer one across
// v = 0, and the inner one across the turn of v, where the second circle's v
// comes out a whole turn below the first's.
TEST(OpenFaces, TorusBandsOnEitherSideOfTheTurn) {
    using namespace acistest;
    const double major = 5, minor = 1, tolerance = 1e-3;
    for (const double from : {-kPi / 4, 3 * kPi / 4}) {
        SCOPED_TRACE(from);
        const double to = from + kPi / 2;
        BodyBuilder b;
        const auto circle = [&](double phi, bool against) {
            const double radius = major + minor * std::cos(phi), z = minor * std::sin(phi);
            const int v = b.vertex({radius, 0, z});
            return std::pair{b.arc(v, v, {0, 0, z}, {0, 0, 1}, {radius, 0, 0}), against};
        };
        b.face("torus-surface", torusSurface({0, 0, 0}, {0, 0, 1}, major, minor),
               {{circle(from, false)}, {circle(to, true)}});
        const acis::ModelMesh m = tessellate(acis::decode(b.write().sat()), tolerance);
        ASSERT_EQ(errors(m), "");
        const double expected =
            2 * kPi * minor * (major * (to - from) + minor * (std::sin(to) - std::sin(from)));
        EXPECT_NEAR(area(m), expected, 0.01 * expected);
    }
}

TEST(OpenFaces, LongEdgesBesideManyShortOnes) {
    // A square turned a quarter of a right angle, its sides long and slanting
    // across the plane's parameters, round a small hole of many short chords.
    using namespace acistest;
    BodyBuilder b;
    const double s = 50;
    const int v[4] = {b.vertex({s, 0, 0}), b.vertex({0, s, 0}), b.vertex({-s, 0, 0}),
                      b.vertex({0, -s, 0})};
    BodyBuilder::Coedges outer;
    for (int k = 0; k < 4; ++k) outer.push_back({b.line(v[k], v[(k + 1) % 4]), false});
    const int rim = b.vertex({1, 0, 0});
    const int hole = b.arc(rim, rim, {0, 0, 0}, {0, 0, 1}, {1, 0, 0});
    b.face("plane-surface", planeSurface({0, 0, 0}, {0, 0, 1}), {outer, {{hole, true}}});
    const acis::ModelMesh m = tessellate(acis::decode(b.write().sat()), 1e-5);
    ASSERT_EQ(errors(m), "");
    EXPECT_NEAR(area(m), 2 * s * s - kPi, 2 * kPi * 1e-5);
}

// A face's normals follow both the surface's sense (a hollow sphere's
// negative radius) and the face's own (reversed on its surface).
struct SenseCase {
    const char* name;
    double radius;
    bool reversedFace;
    bool outward;
};

class Senses : public testing::TestWithParam<SenseCase> {};

TEST_P(Senses, NormalsAndWindingFollowThem) {
    using namespace acistest;
    BodyBuilder b;
    b.face("sphere-surface", sphereSurface({0, 0, 0}, GetParam().radius), {},
           GetParam().reversedFace);
    const acis::ModelMesh m = tessellate(acis::decode(b.write().sat()), 1e-2);
    ASSERT_EQ(errors(m), "");
    const double sign = GetParam().outward ? 1 : -1;
    const double r = std::abs(GetParam().radius);
    EXPECT_NEAR(volume(m), sign * 4 * kPi * r * r * r / 3, 4 * kPi * r * r * 1e-2);
    double worst = 1;
    for (const acis::FaceMesh& f : m.faces)
        for (std::size_t i = 0; i < f.mesh.positions.size(); ++i)
            worst =
                std::min(worst, sign * dotp(f.mesh.normals[i], mul(f.mesh.positions[i], 1 / r)));
    EXPECT_GT(worst, 0.999);
}

INSTANTIATE_TEST_SUITE_P(Spheres, Senses,
                         testing::Values(SenseCase{"convex", 2, false, true},
                                         SenseCase{"hollow", -2, false, false},
                                         SenseCase{"reversedFace", 2, true, false},
                                         SenseCase{"hollowReversed", -2, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A body's transform (turned, moved, scaled, mirrored) carries its faces:
// the mesh is the moved solid's, still closed and facing out.
struct TransformCase {
    const char* name;
    std::array<double, 9> rows;
    acistest::Point translation;
    double scale;
};

class Transforms : public testing::TestWithParam<TransformCase> {};

TEST_P(Transforms, CarryTheMesh) {
    using namespace acistest;
    const TransformCase& c = GetParam();
    BodyBuilder b = cylinderBody(2, 5);
    b.transform(c.rows, c.translation, c.scale);
    const acis::ModelMesh m = tessellate(acis::decode(b.write().sab()), 1e-3);
    ASSERT_EQ(errors(m), "");
    EXPECT_EQ(unmatchedEdges(m), 0);
    const double s3 = c.scale * c.scale * c.scale;
    EXPECT_NEAR(volume(m), 20 * kPi * s3, 28 * kPi * c.scale * c.scale * 1e-3);
    // Back into the body's own frame: p = R^T (q - t) / s, rows applied as the decoder does.
    const auto local = [&](const acis::Vec3& q) {
        const acis::Vec3 d = sub(q, {c.translation[0], c.translation[1], c.translation[2]});
        const auto& r = c.rows;
        return mul(
            acis::Vec3{r[0] * d.x + r[1] * d.y + r[2] * d.z, r[3] * d.x + r[4] * d.y + r[5] * d.z,
                       r[6] * d.x + r[7] * d.y + r[8] * d.z},
            1 / c.scale);
    };
    const auto inside = [](const acis::Vec3& p) { return radial(p) < 2 && p.z > 0 && p.z < 5; };
    int outward = 0, triangles = 0;
    forEachTriangle(m, [&](const acis::FaceMesh& face, const acis::Vec3& a, const acis::Vec3& b2,
                           const acis::Vec3& c2, const auto& t) {
        const acis::Vec3 centre = mul(add(add(a, b2), c2), 1.0 / 3);
        const acis::Vec3 n = averageNormal(face.mesh, t);
        outward +=
            !inside(local(add(centre, mul(n, 0.05)))) && inside(local(sub(centre, mul(n, 0.05))));
        ++triangles;
    });
    EXPECT_EQ(outward, triangles);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, Transforms,
    testing::Values(TransformCase{"moved", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {10, -20, 5}, 1},
                    TransformCase{"turnedScaled", {0, 1, 0, -1, 0, 0, 0, 0, 1}, {1, 2, 3}, 2.5},
                    TransformCase{"tippedOver", {1, 0, 0, 0, 0, 1, 0, -1, 0}, {0, 0, 0}, 0.5},
                    TransformCase{"mirrored", {-1, 0, 0, 0, 1, 0, 0, 0, 1}, {4, 0, 0}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
