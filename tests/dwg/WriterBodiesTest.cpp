// REGION, 3DSOLID, BODY and the surfaces written with their ACIS model: inline up to 2010,
// in the data store from 2013, read back whole; a model in the wrong form for
// the version is refused.
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <string>

#include "Samples.h"
#include "WrittenDrawings.h"

namespace {

using namespace dwg;
using namespace testsupport;

constexpr Version kWritten[] = {Version::R2000, Version::R2004, Version::R2010, Version::R2013,
                                Version::R2018};

std::vector<const Entity*> modelSpaceEntities(const Drawing& drawing) {
    std::vector<const Entity*> out;
    for (const Block& block : drawing.blocks)
        if (block.modelSpace)
            for (const Entity& e : block.entities) out.push_back(&e);
    return out;
}

TEST(WriterBodies, EveryKindReadsBackWithItsModelInEveryVersion) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    for (Version version : kWritten) {
        Drawing drawing = baseDrawing();
        const std::vector<EntityCase> cases = bodyCases(version);
        for (const EntityCase& c : cases) drawing.blocks[0].entities.push_back(c.entity);
        const std::vector<std::uint8_t> bytes = writeDwg(drawing, version);
        const Drawing back = read(std::span<const std::uint8_t>(bytes));
        const auto entities = modelSpaceEntities(back);
        ASSERT_EQ(entities.size(), cases.size()) << versionCode(version);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(std::string(versionCode(version)) + " " + cases[i].name);
            EXPECT_EQ(entities[i]->typeName, cases[i].entity.typeName);
            const auto* acis = std::get_if<AcisData>(&entities[i]->data);
            ASSERT_NE(acis, nullptr);
            EXPECT_EQ(*acis, std::get<AcisData>(cases[i].entity.data));
        }
    }
}

TEST(WriterBodies, ModelInTheWrongFormIsRefused) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const auto sat = std::get<AcisData>(bodyCases(Version::R2000)[0].entity.data);
    const auto sab = std::get<AcisData>(bodyCases(Version::R2018)[0].entity.data);
    AcisData cut = sab;
    cut.bytes.resize(cut.bytes.size() - 4);
    struct Refused {
        const char* name;
        Version version;
        Entity entity;
    };
    const Refused cases[] = {
        {"SAB in 2000", Version::R2000, entity("3DSOLID", sab)},
        {"SAT in 2004", Version::R2004, entity("REGION", sat)},
        {"SAT in 2018", Version::R2018, entity("BODY", sat)},
        {"SAB cut before its end", Version::R2010, entity("3DSOLID", cut)},
        {"a surface made by extrusion, its profile not kept", Version::R2018,
         entity("EXTRUDEDSURFACE", sab)},
        {"a lofted surface", Version::R2010, entity("LOFTEDSURFACE", sab)},
        {"a revolved surface before 2007", Version::R2004, entity("REVOLVEDSURFACE", sab)},
        {"a surface before 2007", Version::R2004, entity("SURFACE", sab)},
        {"a NURBS surface before 2010", Version::R2004, entity("NURBSURFACE", sab)},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.name);
        Drawing drawing = baseDrawing();
        drawing.blocks[0].entities.push_back(c.entity);
        EXPECT_THROW(writeDwg(drawing, c.version), WriteError);
        const bool isBodyKind = c.entity.typeName.find("SURFACE") == std::string::npos;
        EXPECT_EQ(canWrite(c.entity, c.version), isBodyKind) << c.entity.typeName;
    }
}

}  // namespace
