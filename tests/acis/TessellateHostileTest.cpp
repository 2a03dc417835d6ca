// Faces the tessellator cannot make sense of fail alone, with a Portuguese
// reason, while the body's other faces are still made; the caller's budget
// and limits stop it cleanly.
#include <acis/Tessellate.h>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "MeshChecks.h"
#include "Shapes.h"

namespace {

using acistest::BodyBuilder;
using acistest::Point;

acis::TessellationLimits limits(double tolerance) {
    acis::TessellationLimits l;
    l.tolerance = tolerance;
    return l;
}

// A good square face at z = 0, then the damaged face the case adds.
BodyBuilder withGoodFace() {
    BodyBuilder b;
    const int v[4] = {b.vertex({0, 0, 0}), b.vertex({1, 0, 0}), b.vertex({1, 1, 0}),
                      b.vertex({0, 1, 0})};
    BodyBuilder::Coedges loop;
    for (int k = 0; k < 4; ++k) loop.push_back({b.line(v[k], v[(k + 1) % 4]), false});
    b.face("plane-surface", acistest::planeSurface({0, 0, 0}, {0, 0, 1}), {loop});
    return b;
}

// A planar face at z = 1 through the given corners, joined by lines.
void polygonFace(BodyBuilder& b, const std::vector<Point>& corners, Point normal = {0, 0, 1}) {
    std::vector<int> v;
    for (const Point& p : corners) v.push_back(b.vertex(p));
    BodyBuilder::Coedges loop;
    for (std::size_t k = 0; k < v.size(); ++k)
        loop.push_back({b.line(v[k], v[(k + 1) % v.size()]), false});
    b.face("plane-surface", acistest::planeSurface({0, 0, 1}, normal), {loop});
}

struct BadFace {
    const char* name;
    std::function<void(BodyBuilder&)> add;               // the damaged face, as the file has it
    std::function<void(acis::Model&)> damage = nullptr;  // or damage done after decoding
};

const BadFace kBadFaces[] = {
    {"collinearLoop",
     [](BodyBuilder& b) {
         polygonFace(b, {{0, 0, 1}, {1, 0, 1}, {2, 0, 1}});
     }},
    {"crossingLoop",
     [](BodyBuilder& b) {
         polygonFace(b, {{0, 0, 1}, {2, 1, 1}, {2, 0, 1}, {0, 2, 1}});
     }},
    {"hugeCircle",
     [](BodyBuilder& b) {
         const int v = b.vertex({1e9, 0, 1});
         const int c = b.arc(v, v, {0, 0, 1}, {0, 0, 1}, {1e9, 0, 0});
         b.face("plane-surface", acistest::planeSurface({0, 0, 1}, {0, 0, 1}), {{{c, false}}});
     }},
    {"openLoop",
     [](BodyBuilder& b) {
         const int a = b.vertex({0, 0, 1}), c = b.vertex({1, 0, 1}), d = b.vertex({1, 1, 1}),
                   e = b.vertex({0, 2, 1});
         b.face("plane-surface", acistest::planeSurface({0, 0, 1}, {0, 0, 1}),
                {{{b.line(a, c), false}, {b.line(d, e), false}}});
     }},
    {"planeWithoutNormal",
     [](BodyBuilder& b) {
         polygonFace(b, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, {0, 0, 0});
     }},
    {"sphereOfNoRadius",
     [](BodyBuilder& b) {
         b.face("sphere-surface", acistest::sphereSurface({0, 0, 5}, 0), {});
     }},
    {"torusInsideOut",
     [](BodyBuilder& b) {
         b.face("torus-surface", acistest::torusSurface({0, 0, 5}, {0, 0, 1}, -3, 1), {});
     }},
    {"unknownSurface",
     [](BodyBuilder& b) { b.face("meshsurf-surface", {acistest::integer(3)}, {}); }},
    {"splineByReference",
     [](BodyBuilder& b) {
         using namespace acistest;
         b.face("spline-surface", {forward(), open(), word("ref"), integer(1), close()}, {});
     }},
    {"splineWithoutApproximation",
     [](BodyBuilder& b) {
         using namespace acistest;
         b.face("spline-surface", {forward(), open(), word("exactsur"), word("nullbs"), close()},
                {});
     }},
    {"unboundedPlane",
     [](BodyBuilder& b) {
         b.face("plane-surface", acistest::planeSurface({0, 0, 1}, {0, 0, 1}), {});
     }},
    {"cylinderWithOneEnd",
     [](BodyBuilder& b) {
         const int v = b.vertex({2, 0, 1});
         const int c = b.arc(v, v, {0, 0, 1}, {0, 0, 1}, {2, 0, 0});
         b.face("cone-surface", acistest::coneSurface({0, 0, 0}, {0, 0, 1}, {2, 0, 0}, 1, 0, 1),
                {{{c, false}}});
     }},
    {"vertexNotANumber",
     [](BodyBuilder& b) {
         polygonFace(b, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}});
     },
     [](acis::Model& m) {
         m.vertices.back().position.x = std::numeric_limits<double>::quiet_NaN();
     }},
    {"faceWithoutSurface",
     [](BodyBuilder& b) {
         polygonFace(b, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}});
     },
     [](acis::Model& m) { m.faces.back().surface = -1; }},
    {"loopIndexOutOfRange",
     [](BodyBuilder& b) {
         polygonFace(b, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}});
     },
     [](acis::Model& m) { m.faces.back().loops = {1 << 20}; }},
};

class BadFaces : public testing::TestWithParam<BadFace> {};

TEST_P(BadFaces, FailAloneWithAReason) {
    BodyBuilder b = withGoodFace();
    GetParam().add(b);
    for (bool binary : {false, true}) {
        const acistest::ModelWriter w = b.write(binary ? 22300 : 700);
        acis::Model model = acis::decode(binary ? w.sab() : w.sat());
        if (GetParam().damage) GetParam().damage(model);
        const acis::ModelMesh m = acis::tessellate(model, limits(1e-3));
        ASSERT_FALSE(m.stopped);
        ASSERT_EQ(m.faces.size(), 2u);
        EXPECT_EQ(m.faces[0].error, "");
        EXPECT_EQ(m.faces[0].mesh.triangles.size(), 2u);
        EXPECT_NE(m.faces[1].error, "") << (binary ? "binary" : "text");
        EXPECT_TRUE(m.faces[1].mesh.triangles.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadFaces, testing::ValuesIn(kBadFaces),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadLimits {
    const char* name;
    acis::TessellationLimits limits;
};

class InvalidLimits : public testing::TestWithParam<BadLimits> {};

TEST_P(InvalidLimits, FailEveryFace) {
    const acis::Model model = acis::decode(acistest::cylinderBody(2, 5).write().sat());
    const acis::ModelMesh m = acis::tessellate(model, GetParam().limits);
    ASSERT_EQ(m.faces.size(), 3u);
    for (const acis::FaceMesh& f : m.faces) {
        EXPECT_NE(f.error, "");
        EXPECT_TRUE(f.mesh.triangles.empty());
    }
}

acis::TessellationLimits with(std::function<void(acis::TessellationLimits&)> change) {
    acis::TessellationLimits l = limits(1e-2);
    change(l);
    return l;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InvalidLimits,
    testing::Values(BadLimits{"zeroTolerance", limits(0)},
                    BadLimits{"negativeTolerance", limits(-1)},
                    BadLimits{"nanTolerance", limits(std::numeric_limits<double>::quiet_NaN())},
                    BadLimits{"infiniteTolerance", limits(HUGE_VAL)},
                    BadLimits{"noAngle", with([](auto& l) { l.maxNormalAngle = 0; })},
                    BadLimits{"noTriangles", with([](auto& l) { l.maxTrianglesPerFace = 0; })}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Budget, RefusedChargeStopsCleanly) {
    const acis::Model model = acis::decode(acistest::torusBody(3, 1).write().sat());
    for (std::size_t allowed : {std::size_t(0), std::size_t(100), std::size_t(5000)}) {
        std::size_t spent = 0;
        const acis::ModelMesh m = acis::tessellate(model, limits(1e-4), [&](std::size_t units) {
            spent += units;
            return spent <= allowed;
        });
        EXPECT_TRUE(m.stopped) << allowed;
        // Charged in batches: at most one batch past the refusal.
        EXPECT_LE(spent, allowed + 1024);
        for (const acis::FaceMesh& f : m.faces)
            EXPECT_NE(f.mesh.triangles.size(), 0u) << "only whole faces are kept";
    }
}

TEST(Budget, WorkGrowsWithTheTriangles) {
    const acis::Model model = acis::decode(acistest::sphereBody({0, 0, 0}, 2).write().sat());
    const auto spentAt = [&](double tolerance) {
        std::size_t spent = 0;
        const acis::ModelMesh m =
            acis::tessellate(model, limits(tolerance), [&](std::size_t units) {
                spent += units;
                return true;
            });
        EXPECT_FALSE(m.stopped);
        return std::pair{spent, m.faces.at(0).mesh.triangles.size()};
    };
    const auto [coarseWork, coarseTriangles] = spentAt(1e-2);
    const auto [fineWork, fineTriangles] = spentAt(5e-4);
    EXPECT_GT(fineTriangles, 10 * coarseTriangles);
    EXPECT_GT(fineWork, 10 * coarseWork);
    EXPECT_GE(fineWork, fineTriangles) << "each triangle is charged";
}

TEST(Caps, TrianglesPerFaceBoundTheRefinement) {
    const acis::Model model = acis::decode(acistest::paraboloidPatch(0.2, 0.8).write().sat());
    // Its edges need about 150 points at this tolerance, its inside thousands.
    acis::TessellationLimits l = limits(1e-4);
    l.maxTrianglesPerFace = 300;
    const acis::ModelMesh m = acis::tessellate(model, l);
    ASSERT_EQ(m.faces.size(), 1u);
    EXPECT_EQ(m.faces[0].error, "");
    EXPECT_LE(m.faces[0].mesh.triangles.size(), l.maxTrianglesPerFace);
    EXPECT_GT(m.faces[0].mesh.triangles.size(), l.maxTrianglesPerFace / 2);
    for (const acis::Vec3& p : m.faces[0].mesh.positions)
        EXPECT_NEAR(p.z, p.x * p.x + p.y * p.y, 1e-9);
}

TEST(Caps, TrianglesPerBodyLeaveTheRestUnmade) {
    const acis::Model model = acis::decode(acistest::box(700, {1, 1, 1}, {0, 0, 0}).sat());
    acis::TessellationLimits l = limits(1e-3);
    l.maxTrianglesPerBody = 5;
    const acis::ModelMesh m = acis::tessellate(model, l);
    ASSERT_EQ(m.faces.size(), 6u);
    std::size_t made = 0, refused = 0;
    for (const acis::FaceMesh& f : m.faces) {
        made += f.mesh.triangles.size();
        refused += f.error.empty() ? 0 : 1;
    }
    // Two faces of two triangles fit in five; the others would go past.
    EXPECT_EQ(made, 4u);
    EXPECT_EQ(refused, 4u);
}

TEST(TessellateHostile, FacesReachedTwiceAreMadeOnce) {
    acis::Model model = acis::decode(acistest::box(700, {1, 1, 1}, {0, 0, 0}).sat());
    // Two more bodies on the same lump, and a shell listing its faces twice.
    model.bodies.push_back(model.bodies[0]);
    model.bodies.push_back(model.bodies[0]);
    auto& faces = model.shells[0].faces;
    faces.insert(faces.end(), faces.begin(), faces.end());
    const acis::ModelMesh m = acis::tessellate(model, limits(1e-3));
    EXPECT_EQ(m.faces.size(), 6u);
    EXPECT_EQ(acistest::unmatchedEdges(m), 0);
}

TEST(TessellateHostile, EveryByteChangedNeverCrashes) {
    // Damage the binary cylinder everywhere; whatever still decodes is
    // tessellated, coarsely and on a small budget (damaged radii make large
    // meshes, which are the budget's to stop).
    const auto original = acistest::cylinderBody(2, 5).write(22300).sab();
    for (std::size_t i = 0; i < original.size(); ++i)
        for (std::uint8_t value : {std::uint8_t(0x00), std::uint8_t(0xFF)}) {
            auto damaged = original;
            damaged[i] = value;
            acis::Model model;
            try {
                model = acis::decode(damaged);
            } catch (const acis::Error&) {
                continue;
            }
            std::size_t spent = 0;
            const acis::ModelMesh m = acis::tessellate(model, limits(0.5), [&](std::size_t units) {
                spent += units;
                return spent < 20'000;
            });
            for (const acis::FaceMesh& f : m.faces) {
                EXPECT_EQ(f.mesh.positions.size(), f.mesh.normals.size());
                for (const auto& t : f.mesh.triangles)
                    for (std::uint32_t k : t) ASSERT_LT(k, f.mesh.positions.size());
            }
        }
}

}  // namespace
