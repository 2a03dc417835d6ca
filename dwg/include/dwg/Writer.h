// Writing a Drawing as an AutoCAD 2000 (AC1015) DWG file.
//
// What is written: layers (colour, on/frozen/locked, linetype), linetypes,
// text styles, block definitions and the entities LINE, POINT, CIRCLE, ARC,
// ELLIPSE, LWPOLYLINE, SPLINE, TEXT, MTEXT, INSERT/MINSERT, SOLID and HATCH,
// with colour index, linetype, linetype scale and lineweight. Everything else a
// reader expects is added: the control objects, layer "0", the ByBlock, ByLayer
// and Continuous linetypes, the Standard text and dimension styles, model and
// paper space with their layouts, the named-object dictionary and its standard
// entries, and header variables whose extents are computed from the drawing.
//
// The model's handles only say which layer, linetype, style or block an
// entity refers to; the file gets handles of its own. Output depends only on
// the drawing: no clock, no random numbers.
#pragma once

#include <dwg/Drawing.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace dwg {

// The drawing holds something an AC1015 file cannot carry or that refers to
// nothing (a true colour, an unsupported entity, a missing block...). The
// message says what, in Portuguese.
class WriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::vector<std::uint8_t> writeR2000(const Drawing& drawing);

// Writes the file in one piece; throws WriteError, or std::system_error when
// the file cannot be written.
void writeR2000(const Drawing& drawing, const std::filesystem::path& path);

}  // namespace dwg
