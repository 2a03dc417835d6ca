// Parsers of the entity types beyond the basic drawing set, each in its own
// source file. They run after the common entity data and handles, like the
// parsers in EntityParsers.cpp, and throw dwg::Error when the data does not fit.
#pragma once

#include "EntityParsers.h"

namespace dwg::detail {

void parseMultiLeader(EntityParseContext& context);

}  // namespace dwg::detail
