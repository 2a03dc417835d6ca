// The solids of the sample drawings: one drawing saved in every version
// gives the same bodies, faces and edges, whether its models are SAT text in
// the entity, SAB binary in the entity or SAB in the data store.
#include <acis/Model.h>
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <tuple>

#include "Samples.h"

namespace {

struct Counts {
    int acisEntities = 0;
    int bodies = 0;
    std::size_t faces = 0;
    std::size_t edges = 0;

    bool operator==(const Counts&) const = default;
};

Counts solidCounts(const std::filesystem::path& path) {
    const dwg::Drawing drawing = dwg::read(path);
    Counts counts;
    const dwg::Block* model = drawing.modelSpace();
    if (!model) return counts;
    for (const dwg::Entity& e : model->entities) {
        const auto* acis = std::get_if<dwg::AcisData>(&e.data);
        if (!acis) continue;
        ++counts.acisEntities;
        try {
            const acis::Model m = acis::decode(acis->bytes);
            ++counts.bodies;
            counts.faces += m.faces.size();
            counts.edges += m.edges.size();
        } catch (const acis::Error&) {
        }
    }
    return counts;
}

std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << c.acisEntities << " ACIS entities, " << c.bodies << " bodies, " << c.faces
               << " faces, " << c.edges << " edges";
}

TEST(SolidSamples, OneDrawingInEveryVersionGivesTheSameCounts) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const char* files[] = {"R14/acadsharp_sample_AC1014.dwg",  "R2000/acadsharp_sample_AC1015.dwg",
                           "R2004/acadsharp_sample_AC1018.dwg", "R2007/acadsharp_sample_AC1021.dwg",
                           "R2010/acadsharp_sample_AC1024.dwg", "R2013/acadsharp_sample_AC1027.dwg",
                           "R2018/acadsharp_sample_AC1032.dwg"};
    const Counts first = solidCounts(testsupport::samplesFolder() / files[0]);
    EXPECT_GT(first.bodies, 0);
    EXPECT_EQ(first.bodies, first.acisEntities) << "every solid decodes";
    EXPECT_GT(first.edges, first.faces);
    for (const char* file : files) EXPECT_EQ(solidCounts(testsupport::samplesFolder() / file), first) << file;
}

// These keep their models in the data store only: the entity itself holds none.
TEST(SolidSamples, DataStoreModelsFoundByHandle) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    for (const char* file : {"R2018/symbol_co2-anturi.dwg", "R2018/symbol_hoyrystin-1.dwg",
                             "R2018/restaurant_LAVAMANOS.dwg"}) {
        const Counts c = solidCounts(testsupport::samplesFolder() / file);
        EXPECT_GT(c.acisEntities, 0) << file;
        EXPECT_EQ(c.bodies, c.acisEntities) << file;
    }
}

}  // namespace
