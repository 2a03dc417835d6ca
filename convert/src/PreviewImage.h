// The picture stored in a written file for file browsers and the CAD
// program's open dialog: model space as it was last saved, drawn by our
// renderer in the saved look.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Preview.h>

#include <atomic>
#include <optional>

namespace convert {

// None for a drawing with nothing drawn in model space.
std::optional<dwg::Raster> previewImage(const dwg::Drawing& drawing,
                                        const std::atomic<bool>* cancel);

}  // namespace convert
