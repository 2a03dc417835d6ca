// The sections of a DXF file other than the entities.
#pragma once

#include <dwg/Drawing.h>

#include "DxfOutput.h"
#include "DxfPlan.h"

namespace dwg::detail {

void writeDxfHeader(const Drawing& drawing, const DxfPlan& plan, DxfOutput& out);
// Declares the classes of the objects and entities counted in `written`.
void writeDxfClasses(const DxfPlan& plan, const std::map<std::string, int, std::less<>>& written,
                     DxfOutput& out);
void writeDxfTables(const Drawing& drawing, const DxfPlan& plan, DxfOutput& out);
void writeDxfObjects(const DxfPlan& plan, DxfOutput& out);
// AC1032: the ACIS data of the entities, by handle.
void writeDxfAcisData(const DxfPlan& plan, DxfOutput& out);

}  // namespace dwg::detail
