// Models that made the program fail when they were reported, read from the
// shared folder of faults beside the samples, tessellated as the program
// does: its own limits, a tolerance of a thousandth of the model's size.
#include <acis/Tessellate.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <utility>

#include "MeshChecks.h"
#include "Samples.h"

namespace {

std::filesystem::path faultsFolder() {
    std::filesystem::path samples = testsupport::samplesFolder().lexically_normal();
    if (samples.filename().empty()) samples = samples.parent_path();
    return samples.parent_path() / "faults";
}

std::vector<std::uint8_t> fault(const char* name) {
    std::ifstream in(faultsFolder() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#define REQUIRE_FAULTS_OR_SKIP()                                                      \
    do {                                                                              \
        TESSALY_REQUIRE_SAMPLES_OR_SKIP();                                            \
        if (!std::filesystem::is_directory(faultsFolder())) {                         \
            if (testsupport::samplesRequired()) FAIL() << "faults missing: " << faultsFolder(); \
            GTEST_SKIP() << "faults not found at " << faultsFolder();                 \
        }                                                                             \
    } while (0)

acis::ModelMesh tessellateAsTheProgramDoes(const acis::Model& model) {
    acis::TessellationLimits limits;  // the program's: 100 000 triangles a face, 400 000 a body
    double extent = 0;
    for (const acis::Vertex& v : model.vertices)
        extent = std::max({extent, std::abs(v.position.x), std::abs(v.position.y),
                           std::abs(v.position.z)});
    limits.tolerance = extent * 1e-3;
    return acis::tessellate(model, limits);
}

// Each face's triangles in range, and no edge run twice the same way: what a
// triangulation whose neighbours went wrong would break.
void expectWellFormed(const acis::ModelMesh& mesh) {
    for (const acis::FaceMesh& face : mesh.faces) {
        EXPECT_EQ(face.mesh.positions.size(), face.mesh.normals.size());
        EXPECT_LE(face.mesh.triangles.size(), acis::TessellationLimits{}.maxTrianglesPerFace);
        std::set<std::pair<std::uint32_t, std::uint32_t>> edges;
        for (const auto& t : face.mesh.triangles)
            for (std::size_t k = 0; k < 3; ++k) {
                ASSERT_LT(t[k], face.mesh.positions.size());
                EXPECT_TRUE(edges.insert({t[k], t[(k + 1) % 3]}).second)
                    << "edge " << t[k] << "-" << t[(k + 1) % 3] << " twice";
            }
    }
}

// One face on a degree-2 patch that refines towards slivers: splitting one
// whose far corner lies on the split edge used to leave a triangle turned
// the wrong way, then neighbours pointing at the wrong edges.
TEST(Faults, RefiningTowardsSliversKeepsTheTriangulationSound) {
    REQUIRE_FAULTS_OR_SKIP();
    const acis::Model model = acis::decode(fault("acis-crash.sat"));
    const acis::ModelMesh mesh = tessellateAsTheProgramDoes(model);
    ASSERT_FALSE(mesh.stopped);
    ASSERT_EQ(mesh.faces.size(), 1u);
    EXPECT_EQ(mesh.faces[0].error, "");
    EXPECT_GT(mesh.faces[0].mesh.triangles.size(), 1000u);
    expectWellFormed(mesh);
}

// An edge's spline has fewer control points than its degree needs: the
// curve is refused where its knots are read, the rest of the body stays.
TEST(Faults, ASplineWithTooFewKnotsIsRefusedAloneWhereItIsRead) {
    REQUIRE_FAULTS_OR_SKIP();
    const acis::Model model = acis::decode(fault("acis-uaf.sat"));
    EXPECT_EQ(model.faces.size(), 1u);
    ASSERT_FALSE(model.curves.empty());
    for (const acis::Curve& c : model.curves) {
        EXPECT_NE(c.kind, acis::Curve::Kind::Spline);
        EXPECT_TRUE(c.controlPoints.empty());
    }
    expectWellFormed(tessellateAsTheProgramDoes(model));
}

}  // namespace
