// Drawings the writer tests write: the table entries every written file has,
// one entity of every kind the writer stores, and blocks nested in blocks.
#pragma once

#include <dwg/Drawing.h>

#include <vector>

namespace testsupport {

inline constexpr dwg::Handle kModelSpace = 1, kPaperSpace = 2;
inline constexpr dwg::Handle kByBlock = 10, kByLayer = 11, kContinuous = 12, kDashed = 13;
inline constexpr dwg::Handle kLayerZero = 20, kWalls = 21, kHidden = 22;
inline constexpr dwg::Handle kStandard = 30, kArial = 31;
inline constexpr dwg::Handle kChair = 40, kTable = 41, kAnonymous = 42, kDimensionBlock = 43;

// What the reader gives back for the entries every written file has, plus a
// few of the drawing's own and the anonymous block that draws the dimensions.
dwg::Drawing baseDrawing();

dwg::Entity entity(const char* type, dwg::EntityData data, dwg::Handle layer = kLayerZero);

struct EntityCase {
    const char* name;
    dwg::Entity entity;
};
std::vector<EntityCase> entityCases();

// Blocks placed by blocks, in model space and in a block, with every form of
// the scale, as arrays, with attributes (on inserts in model space and in a
// block), and an anonymous block with a base point.
dwg::Drawing nestedBlocks();

}  // namespace testsupport
