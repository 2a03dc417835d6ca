// REGION, 3DSOLID, BODY and the surfaces written with their ACIS model: inline up to 2010,
// in the data store from 2013, read back whole; a model in the wrong form for
// the version is refused.
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <functional>
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
            EXPECT_TRUE(entities[i]->data == cases[i].entity.data);
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

TEST(WriterBodies, MeshesTheVersionCannotHoldOrThatNameNoVertexAreRefused) {
    struct Refused {
        const char* name;
        Version version;
        std::function<void(SubdivisionMesh&)> spoil;
    };
    const Refused cases[] = {
        {"a mesh in 2004", Version::R2004, [](SubdivisionMesh&) {}},
        {"a mesh in 2000", Version::R2000, [](SubdivisionMesh&) {}},
        {"a face past the last vertex", Version::R2018, [](SubdivisionMesh& m) { m.faces[0][2] = 5; }},
        {"a negative index", Version::R2010, [](SubdivisionMesh& m) { m.faces[4][0] = -1; }},
        {"a face of two corners", Version::R2013, [](SubdivisionMesh& m) { m.faces[0].pop_back(); }},
        {"an edge past the last vertex", Version::R2018, [](SubdivisionMesh& m) { m.edges[7].second = 9; }},
        {"creases not one per edge", Version::R2018, [](SubdivisionMesh& m) { m.creases.pop_back(); }},
        {"no vertices", Version::R2018, [](SubdivisionMesh& m) { m = SubdivisionMesh{}; }},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.name);
        SubdivisionMesh mesh = sampleMesh();
        c.spoil(mesh);
        Drawing drawing = baseDrawing();
        drawing.blocks[0].entities.push_back(entity("MESH", mesh));
        EXPECT_THROW(writeDwg(drawing, c.version), WriteError);
    }
    // A mesh with no creases at all, or no edges, is sound.
    SubdivisionMesh plain = sampleMesh();
    plain.creases.clear();
    plain.edges.clear();
    Drawing drawing = baseDrawing();
    drawing.blocks[0].entities.push_back(entity("MESH", plain));
    const auto bytes = writeDwg(drawing, Version::R2010);
    const Drawing back = read(std::span<const std::uint8_t>(bytes));
    ASSERT_EQ(modelSpaceEntities(back).size(), 1u);
    EXPECT_TRUE(modelSpaceEntities(back)[0]->data == EntityData(plain));
}

}  // namespace
