// Small drawings made in memory for the conversion tests.
#pragma once

#include <dwg/Drawing.h>

#include <map>
#include <string>

namespace testsupport {

inline constexpr dwg::Handle kModel = 0x1F, kLayerZero = 0x10, kStandardStyle = 0x11;

inline dwg::Drawing drawingWith(std::vector<dwg::Entity> entities, int units = 0) {
    dwg::Drawing d;
    d.layers.push_back({kLayerZero, "0", dwg::Color::fromIndex(7), true, false, false, 0});
    dwg::TextStyle standard;
    standard.handle = kStandardStyle;
    standard.name = "Standard";
    d.textStyles.push_back(standard);
    dwg::Block model;
    model.handle = kModel;
    model.name = "*Model_Space";
    model.modelSpace = true;
    for (dwg::Entity& e : entities) {
        e.header.owner = kModel;
        model.entities.push_back(std::move(e));
    }
    d.blocks.push_back(std::move(model));
    d.header.modelSpaceBlock = kModel;
    d.header.insertionUnits = units;
    return d;
}

inline dwg::Entity entity(const char* type, dwg::EntityData data, dwg::Handle handle = 0x100) {
    dwg::Entity e;
    e.typeName = type;
    e.header.handle = handle;
    e.header.layer = kLayerZero;
    e.data = std::move(data);
    return e;
}

// Entity records by type over every block, as a reader counts them.
inline std::map<std::string, int> recordCounts(const dwg::Drawing& drawing) {
    std::map<std::string, int> counts;
    for (const dwg::Block& block : drawing.blocks)
        for (const auto& [type, n] : dwg::countEntityTypes(block)) counts[type] += n;
    return counts;
}

}  // namespace testsupport
