// Parsers of the entity types beyond the basic drawing set; the larger ones
// have source files of their own. They run after the common entity data and handles, like the
// parsers in EntityParsers.cpp, and throw dwg::Error when the data does not fit.
#pragma once

#include "EntityParsers.h"

namespace dwg::detail {

// Parses the body of a `typeName` entity if it is one of these types; false otherwise.
bool parseMoreEntity(const std::string& typeName, EntityParseContext& context);

void parseMultiLeader(EntityParseContext& context);
void parseMLine(EntityParseContext& context);
void parseRasterImage(EntityParseContext& context, bool wipeout);
void parseSubdivisionMesh(EntityParseContext& context);
void parseTolerance(EntityParseContext& context);
// REGION, 3DSOLID, BODY and the surfaces: their ACIS model's bytes (AcisData).
void parseAcisEntity(EntityParseContext& context);
// The HELIX fields after its spline, which the caller has parsed into the record.
void parseHelixAfterSpline(EntityParseContext& context);

}  // namespace dwg::detail
