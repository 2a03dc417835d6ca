// How the section bytes are obtained from a file, per family of versions.
// Each container hands its sections to the parsers declared in Sections.h.
#pragma once

#include "Sections.h"

namespace dwg::detail {

// R13, R14, R2000: sections are plain byte ranges named by the locator table.
Drawing readLocatorFile(Bytes file, Version version);

// R2004 and later: sections are named, paged and compressed (SectionContainer.h).
Drawing readPagedFile(Bytes file, Version version);

}  // namespace dwg::detail
