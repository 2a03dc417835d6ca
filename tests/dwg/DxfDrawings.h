// Drawings the DXF writer tests write: the DWG writer's cases and nested
// blocks, and one entity of every further kind the DXF writer stores.
#pragma once

#include <dwg/Drawing.h>

#include <map>
#include <string>
#include <vector>

#include "WrittenDrawings.h"

namespace testsupport {

inline constexpr dwg::Handle kDoor = 50, kDimensionBlock = 51, kImageDefinition = 60,
                             kLeaderText = 70, kDoorWidth = 71;

// The nested blocks, plus a block with an attribute definition ("Porta") and
// a dimension's anonymous block, and the IMAGEDEF an image shows.
dwg::Drawing dxfBaseDrawing();

struct DxfCase {
    std::string name;
    dwg::Entity entity;
    bool paperSpace = false;  // a VIEWPORT lives in a layout
};
// Every case of entityCases() and the kinds only the DXF writer tests add;
// ACIS data as `version` stores it; multileaders and meshes for 2018 only.
std::vector<DxfCase> dxfCases(dwg::Version version);

// The drawing of one case: the base drawing with the entity placed.
dwg::Drawing dxfCaseDrawing(const DxfCase& entityCase);

// The entities of every block by DXF kind, vertices and attributes included,
// as a DXF reader counts them.
std::map<std::string, int> dxfKindCounts(const dwg::Drawing& drawing);

}  // namespace testsupport
