// The data store section of R2013 and later files (AcDb:AcDsPrototype_1b):
// binary records keyed by the handle of the entity they belong to. REGION,
// 3DSOLID, BODY and the surfaces keep their ACIS model there rather than in
// the entity.
#pragma once

#include <dwg/Drawing.h>

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "Sections.h"

namespace dwg::detail {

// The ACIS models in `section`, by entity handle; records of other kinds
// (preview images...) and damaged records are left out. Throws dwg::Error
// when the section's own tables do not fit in it.
std::map<Handle, std::vector<std::uint8_t>> readDataStoreModels(Bytes section,
                                                                const FileContext& context);

// Gives every entity of `drawing` that has an ACIS model (AcisData) but
// carries none of its own the one stored under its handle.
void attachDataStoreModels(Drawing& drawing, std::map<Handle, std::vector<std::uint8_t>> models);

}  // namespace dwg::detail
