// The solids and regions of the real sample drawings: every face tessellates,
// and every solid's mesh is closed and encloses a positive volume.
#include <acis/Tessellate.h>
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "MeshChecks.h"
#include "Samples.h"

namespace {

// The model's extent, for a tolerance that follows its size as a view's would.
double diagonal(const acis::Model& m) {
    acis::Vec3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const acis::Vertex& v : m.vertices) {
        low = {std::min(low.x, v.position.x), std::min(low.y, v.position.y),
               std::min(low.z, v.position.z)};
        high = {std::max(high.x, v.position.x), std::max(high.y, v.position.y),
                std::max(high.z, v.position.z)};
    }
    return acistest::norm(acistest::sub(high, low));
}

class SampleSolids : public testing::TestWithParam<const char*> {};

TEST_P(SampleSolids, EveryFaceTessellatesAndSolidsClose) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const dwg::Drawing drawing = dwg::read(testsupport::samplesFolder() / GetParam());
    int bodies = 0;
    for (const dwg::Block& block : drawing.blocks)
        for (const dwg::Entity& entity : block.entities) {
            const auto* data = std::get_if<dwg::AcisData>(&entity.data);
            if (!data) continue;
            SCOPED_TRACE(entity.typeName + " " + std::to_string(bodies));
            const acis::Model model = acis::decode(data->bytes);
            acis::TessellationLimits limits;
            limits.tolerance = diagonal(model) * 1e-3;
            const acis::ModelMesh mesh = acis::tessellate(model, limits);
            ++bodies;
            ASSERT_FALSE(mesh.stopped);
            EXPECT_EQ(mesh.faces.size(), model.faces.size());
            for (const acis::FaceMesh& f : mesh.faces) {
                EXPECT_EQ(f.error, "") << "face " << f.face;
                EXPECT_FALSE(f.mesh.triangles.empty()) << "face " << f.face;
            }
            if (entity.typeName == "3DSOLID") {
                EXPECT_EQ(acistest::unmatchedEdges(mesh), 0);
                EXPECT_GT(acistest::volume(mesh), 0);
            }
        }
    EXPECT_GT(bodies, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Drawings, SampleSolids,
    testing::Values("R14/acadsharp_sample_AC1014.dwg", "R2000/libredwg_TS1.dwg",
                    "R2018/acadsharp_sample_AC1032.dwg", "R2018/restaurant_LAVAMANOS.dwg",
                    "R2018/symbol_co2-anturi.dwg", "R2018/symbol_hoyrystin-1.dwg"),
    [](const auto& info) {
        std::string name = info.param;
        name = name.substr(name.find('/') + 1);
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

// The real 3D drawings of many authors: every body, region and surface
// decodes, and at a coarse tolerance (a view of the whole body) at most
// three faces in two hundred are left out (loops that touch themselves or
// each other, cut across a seam).
TEST(ThreeDimensionalSamples, EveryBodyDecodesAndFewFacesAreLeftOut) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    std::vector<std::filesystem::path> files;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(testsupport::samplesFolder() / "3d"))
        if (entry.path().extension() == ".dwg") files.push_back(entry.path());
    ASSERT_FALSE(files.empty());
    std::size_t bodies = 0, faces = 0, failed = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const dwg::Drawing drawing = dwg::read(file);
        for (const dwg::Block& block : drawing.blocks)
            for (const dwg::Entity& entity : block.entities) {
                const auto* data = std::get_if<dwg::AcisData>(&entity.data);
                if (!data) continue;
                acis::Model model;
                ASSERT_NO_THROW(model = acis::decode(data->bytes)) << entity.typeName;
                acis::TessellationLimits limits;
                limits.tolerance = diagonal(model) * 1e-2;
                const acis::ModelMesh mesh = acis::tessellate(model, limits);
                ASSERT_FALSE(mesh.stopped);
                ++bodies;
                for (const acis::FaceMesh& f : mesh.faces) {
                    ++faces;
                    failed += f.error.empty() ? 0 : 1;
                }
            }
    }
    EXPECT_GT(bodies, 400u);
    EXPECT_LE(failed * 200, faces * 3) << failed << " of " << faces;
}

}  // namespace
