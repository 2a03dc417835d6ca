// Parsers of the entity-specific data, after the common entity data and
// common entity handles have been read.
#pragma once

#include <string_view>

#include "ObjectRecords.h"
#include "Streams.h"

namespace dwg::detail {

struct EntityParseContext {
    Streams& streams;
    const FileContext& file;
    EntityRecord& record;
};

// What a record of entity type `type` (with `klass` for class-defined types)
// is to the drawing.
EntityRole entityRole(int type, const ClassDef* klass);

// The surfaces that, like 3DSOLID, carry an ACIS model (class names, upper case).
bool isSurfaceClass(std::string_view dxfName);

// Fills record.entity.data (Unsupported for types that are only counted) and
// the record's role and child links. Throws dwg::Error when the data does not fit.
void parseEntityBody(int type, const ClassDef* klass, EntityParseContext& context);

}  // namespace dwg::detail
