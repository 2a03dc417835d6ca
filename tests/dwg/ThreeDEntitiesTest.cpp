// What 3D display takes from the entities: thickness, 3DFACE invisible edges,
// polyface meshes and mesh creases in the samples; polyface faces checked
// against their vertices; and a surface read whole, its model decoded.
#include <acis/Model.h>
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "CraftedObjects.h"
#include "ObjectRecords.h"
#include "SampleFiles.h"

namespace {

using testsupport::BitWriter;
namespace detail = dwg::detail;

template <typename T>
std::map<dwg::Handle, T> entitiesOf(const dwg::Drawing& drawing, const std::string& typeName) {
    std::map<dwg::Handle, T> found;
    for (const dwg::Block& block : drawing.blocks)
        for (const dwg::Entity& entity : block.entities)
            if (const auto* data = std::get_if<T>(&entity.data);
                data && entity.typeName == typeName)
                found.emplace(entity.header.handle, *data);
    return found;
}

TEST(ThreeDSamples, ThicknessesAndInvisibleEdgesAreRead) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const auto folder = testsupport::samplesFolder();

    const auto lines =
        entitiesOf<dwg::Line>(dwg::read(folder / "R2013/ikea_MO-D_1_CUCINA.dwg"), "LINE");
    const auto thick = std::count_if(lines.begin(), lines.end(),
                                     [](const auto& line) { return line.second.thickness != 0; });
    EXPECT_EQ(thick, 4);
    EXPECT_EQ(lines.at(0x50c).thickness, 25);

    struct PolylineCase {
        const char* file;
        dwg::Handle handle;
        double thickness;
    };
    const PolylineCase polylines[] = {
        {"R2018/symbol_Kotelo.dwg", 0x10c, 1.8},
        {"R2018/symbol_Kotelo.dwg", 0x10e, 120},
        {"R2018/symbol_klhylly-levy.dwg", 0x66, 60},
        {"R2018/symbol_klhylly-levy-brics.dwg", 0x76, 1.25},
    };
    for (const PolylineCase& c : polylines) {
        const auto found = entitiesOf<dwg::LwPolyline>(dwg::read(folder / c.file), "LWPOLYLINE");
        ASSERT_TRUE(found.contains(c.handle)) << c.file;
        EXPECT_NEAR(found.at(c.handle).thickness, c.thickness, 1e-9) << c.file;
    }

    // A door block whose faces hide the edges they share; bit i hides the edge from corner i.
    const auto faces =
        entitiesOf<dwg::Face>(dwg::read(folder / "R2013/libredwg_gh109_1.dwg"), "3DFACE");
    EXPECT_EQ(faces.size(), 132u);
    const std::pair<dwg::Handle, int> edges[] = {{0x2a0, 0}, {0x2a1, 13}, {0x2a6, 1},
                                                 {0x2a9, 3}, {0x2ad, 14}, {0x2b8, 4}};
    for (const auto& [handle, invisible] : edges)
        EXPECT_EQ(faces.at(handle).invisibleEdges, invisible) << std::hex << handle;
}

// One drawing saved in seven versions: its polyface, its meshes and their creases.
TEST(ThreeDSamples, PolyfacesAndMeshesAgreeAcrossVersions) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const std::vector<dwg::PolyfaceFace> expectedFaces = {{{1, 2, 3, -4}}, {{-1, 4, 5, 0}}};
    for (const char* file :
         {"R14/acadsharp_sample_AC1014.dwg", "R2000/acadsharp_sample_AC1015.dwg",
          "R2004/acadsharp_sample_AC1018.dwg", "R2007/acadsharp_sample_AC1021.dwg",
          "R2010/acadsharp_sample_AC1024.dwg", "R2013/acadsharp_sample_AC1027.dwg",
          "R2018/acadsharp_sample_AC1032.dwg"}) {
        SCOPED_TRACE(file);
        const dwg::Drawing drawing = dwg::read(testsupport::samplesFolder() / file);
        const auto polyfaces = entitiesOf<dwg::Polyline>(drawing, "POLYLINE_PFACE");
        ASSERT_EQ(polyfaces.size(), 1u);
        const dwg::Polyline& polyface = polyfaces.begin()->second;
        EXPECT_EQ(polyface.kind, dwg::Polyline::Kind::PolyfaceMesh);
        EXPECT_EQ(polyface.vertices.size(), 5u);
        EXPECT_EQ(polyface.faces, expectedFaces);

        const auto meshes = entitiesOf<dwg::SubdivisionMesh>(drawing, "MESH");
        ASSERT_EQ(meshes.size(), 2u);
        for (const auto& [handle, mesh] : meshes) {
            EXPECT_EQ(mesh.creases.size(), mesh.edges.size());
            EXPECT_TRUE(std::all_of(mesh.creases.begin(), mesh.creases.end(),
                                    [](double crease) { return crease == 0; }));
        }
    }
}

// Faces index their polyface's vertices from 1, a negative index hiding the
// edge that starts there; a face naming a vertex the polyface lacks goes.
TEST(Polyfaces, FacesNamingMissingVerticesAreLeftOut) {
    constexpr dwg::Handle kSpace = 0x10, kPolyface = 0x20;
    const detail::FileContext context{dwg::Version::R2000, 30, nullptr};
    detail::DecodedObjects objects;
    objects.blocks.push_back({kSpace, "*Model_Space", {}, false, false});
    detail::EntityRecord polyface;
    polyface.entity.typeName = "POLYLINE_PFACE";
    polyface.entity.header.handle = kPolyface;
    dwg::Polyline mesh;
    mesh.kind = dwg::Polyline::Kind::PolyfaceMesh;
    polyface.entity.data = mesh;
    polyface.mode = 2;
    objects.addEntity(std::move(polyface), context);
    dwg::Handle next = kPolyface;
    auto child = [&](auto fill) {
        detail::EntityRecord record;
        record.role = detail::EntityRole::Child;
        record.entity.header.handle = ++next;
        record.entity.header.owner = kPolyface;
        fill(record);
        objects.addEntity(std::move(record), context);
    };
    for (int i = 0; i < 4; ++i)
        child([&](detail::EntityRecord& r) {
            r.vertex = dwg::Vertex{.position = {1.0 * i, 0, 0}};
        });
    const std::vector<dwg::PolyfaceFace> stored = {
        {{1, 2, 3, 0}}, {{1, 2, 5, 0}},     {{-4, 3, -2, 1}},   {{1, -5, 2, 0}},
        {{0, 0, 0, 0}}, {{4, 3, 2, 32767}}, {{-32768, 1, 2, 3}}};
    for (const dwg::PolyfaceFace& face : stored)
        child([&](detail::EntityRecord& r) { r.face = face; });

    const dwg::Drawing drawing = detail::assembleDrawing(std::move(objects), {}, context);
    ASSERT_NE(drawing.modelSpace(), nullptr);
    ASSERT_EQ(drawing.modelSpace()->entities.size(), 1u);
    const auto& kept = std::get<dwg::Polyline>(drawing.modelSpace()->entities[0].data);
    EXPECT_EQ(kept.vertices.size(), 4u);
    const std::vector<dwg::PolyfaceFace> expected = {
        {{1, 2, 3, 0}}, {{-4, 3, -2, 1}}, {{0, 0, 0, 0}}};
    EXPECT_EQ(kept.faces, expected);
    EXPECT_EQ(drawing.skippedEntities.at("VERTEX_PFACE_FACE"), 4);
}

// An R2004 model-space entity of class `type`, its body `body`, on layer 0x10.
void addEntity(testsupport::ObjectSection& section, int type, dwg::Handle handle,
               const BitWriter& body) {
    BitWriter data;
    testsupport::modelSpaceEntityData(data);
    data.append(body);
    section.add(type, handle, data, {}, BitWriter().handle(5, 0x10));
}

void addModelSpace(testsupport::ObjectSection& section, dwg::Handle handle) {
    BitWriter data = testsupport::commonObjectData(section.version);
    data.text("*Model_Space").bit(false).bitShort(0).bit(false);
    data.bit(false).bit(false).bit(false).bit(false).bit(true);  // not anonymous... loaded
    data.bitLong(0).point3(0, 0, 0).text("");  // owned count, base point, xref path
    section.add(49, handle, data, {}, BitWriter().handle(4, 1));
}

// No sample holds a surface: a planar REGION's model, the sheet a
// PLANESURFACE holds, is stored in one.
TEST(Surfaces, APlaneSurfaceIsReadWithItsModel) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const auto regions = entitiesOf<dwg::AcisData>(
        dwg::read(testsupport::samplesFolder() / "R2004/acadsharp_sample_AC1018.dwg"), "REGION");
    ASSERT_EQ(regions.size(), 1u);
    const std::vector<std::uint8_t>& model = regions.begin()->second.bytes;
    ASSERT_FALSE(model.empty());

    testsupport::ObjectSection section{dwg::Version::R2004, {}, {}, {}};
    section.addClass(500, "PLANESURFACE", true);
    section.addClass(501, "FANCYSURFACE", true);
    addModelSpace(section, 0x1F);
    BitWriter body;
    body.bit(false).bit(false).bitShort(2);  // a model, stored as it is
    for (const std::uint8_t byte : model) body.rawChar(byte);
    body.bit(false).bitLong(0);              // no wireframe, no silhouettes
    body.bit(true).bitShort(6).bitShort(6);  // isolines
    addEntity(section, 500, 0x30, body);
    addEntity(section, 501, 0x31, body);
    const dwg::Drawing drawing = section.read();
    EXPECT_EQ(drawing.damagedObjects, 0);

    const auto surfaces = entitiesOf<dwg::AcisData>(drawing, "PLANESURFACE");
    ASSERT_EQ(surfaces.size(), 1u);
    EXPECT_EQ(surfaces.begin()->second.bytes, model);
    const acis::Model decoded = acis::decode(surfaces.begin()->second.bytes);
    EXPECT_EQ(decoded.bodies.size(), 1u);
    EXPECT_FALSE(decoded.faces.empty());
    EXPECT_FALSE(decoded.edges.empty());
    // A class this reader does not know is counted, not drawn.
    EXPECT_EQ(drawing.skippedEntities.at("UNKNOWN_ENT"), 1);
}

}  // namespace
