// What 3D display takes from the entities: a surface read whole, its model
// decoded.
#include <acis/Model.h>
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <map>

#include "CraftedObjects.h"
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
