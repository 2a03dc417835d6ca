// Pictures for file managers without Qt: the preview images CAD programs
// store in their drawings decoded, turned onto white and made smaller.
#pragma once

#include <render/Raster.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace thumbnailer {

// Stored images with more pixels than this are not decoded: a thumbnail
// needs no more, and a file may claim any size.
inline constexpr std::size_t kMaxStoredImagePixels = std::size_t{4096} * 4096;

// A whole PNG file, transparency laid on white; empty when it is no PNG, is
// damaged or larger than kMaxStoredImagePixels.
render::Picture decodePng(std::span<const std::uint8_t> png);

// A device-independent bitmap as DWG files store it (BITMAPINFOHEADER,
// palette, rows); empty when it cannot be decoded or is too large.
render::Picture decodeStoredBitmap(std::span<const std::uint8_t> bitmap);

// A picture drawn on a CAD program's dark screen, shown on white: its most
// common colour becomes white and its greys (colour 7 and its dimmed shades)
// turn dark, as the renderer draws colour 7 on white. Light pictures are
// left as they are.
void putOnWhite(render::Picture& picture);

// Whether anything but the background colour (the most common one) is drawn.
bool hasInk(const render::Picture& picture);

// The picture made to fit in side x side pixels, keeping its proportions,
// each new pixel the average of those it covers; a picture that fits
// already is returned as it is (never enlarged).
render::Picture fitted(const render::Picture& picture, int side);

}  // namespace thumbnailer
