// VISUALSTYLE objects (R2007+), and the look that a visual style or an older
// viewport's render mode gives 3D objects.
#pragma once

#include <dwg/Drawing.h>

#include "Streams.h"

namespace dwg::detail {

// Reads the fields that decide the look; the rest of the record (edge
// widths, colours, effects) is not needed. Throws dwg::Error when they do
// not fit in the record.
VisualStyleProperties parseVisualStyle(Streams& streams, const FileContext& file, Handle own);

VisualStyle visualStyleLook(const VisualStyleProperties& style);
VisualStyle renderModeLook(int renderMode);

}  // namespace dwg::detail
