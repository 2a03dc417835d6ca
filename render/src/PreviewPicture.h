// A drawing's stored preview image as a picture no larger than a box: each
// row is decoded, folded into the smaller picture and dropped, so that an
// image many times the box never takes its own size in memory.
#pragma once

#include <dwg/Preview.h>
#include <render/Raster.h>

#include <optional>
#include <string>

namespace render::detail {

// The picture of `image`, shrunk to fit `maxWidth` x `maxHeight` keeping its
// proportions (never enlarged). Throws dwg::Error when the image is damaged
// or has more than dwg::kMaxPreviewPixels pixels.
Picture decodePreview(const dwg::PreviewImage& image, int maxWidth, int maxHeight);

// A picture drawn on the CAD program's dark screen, made to read on white:
// the background becomes white and greys (colour 7 and its dimmed shades)
// turn dark, as colour 7 is drawn on white. Light pictures stay as they are.
void showOnWhite(Picture& picture);

// Whether every pixel is the background colour (the most common one).
bool isBlank(const Picture& picture);

}  // namespace render::detail
