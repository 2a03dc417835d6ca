// Writing a Drawing as a DWG file of AutoCAD 2000 (AC1015), 2004 (AC1018),
// 2010 (AC1024), 2013 (AC1027) or 2018 (AC1032).
//
// What the model holds is written in the form the version stores it: the
// tables (layers, linetypes, text styles, dimension styles, views, UCSs),
// block definitions and their entities, the saved view or the tiled
// viewports, each with its visual style from 2010 (its render mode before),
// and a preview picture. What entities take from objects of their own is
// written as those objects: a multiline style for each set of looks MLINEs
// carry, an image definition (with its reactors, in ACAD_IMAGE_DICT) for
// each file IMAGEs show. Everything else a reader expects is added: the control objects,
// layer "0", the ByBlock, ByLayer and Continuous linetypes, the Standard
// text and dimension styles, model and paper space with their layouts, the
// named-object dictionary and its standard entries, and header variables
// whose extents are computed from the drawing.
//
// The writer does not convert: a kind of entity the version cannot hold (a
// MESH or a HELIX in 2000, a true colour in 2000...) is refused with WriteError naming
// it, and nothing is written. The model's handles only say which layer,
// linetype, style or block an entity refers to; the file gets handles of its
// own. Output depends only on the drawing and the options: no clock, no
// random numbers.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Preview.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

namespace dwg {

// The drawing holds something the chosen version cannot carry or that refers
// to nothing (a true colour in 2000, an unsupported entity, a missing
// block...). The message says what, in Portuguese.
class WriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct WriteOptions {
    // The picture stored for file browsers and the CAD program's open dialog
    // (at most kMaxPreviewPixels pixels, as readers refuse larger); none stores no picture.
    std::optional<Raster> preview;
};

// Versions written: R2000, R2004, R2010, R2013, R2018; any other is refused.
std::vector<std::uint8_t> writeDwg(const Drawing& drawing, Version version,
                                   const WriteOptions& options = {});

// Whether the writer stores this kind of entity in `version` (its colour and
// references are checked when the drawing is written).
bool canWrite(const Entity& entity, Version version);

// Writes the file in one piece; throws WriteError, or std::system_error when
// the file cannot be written.
void writeDwg(const Drawing& drawing, Version version, const std::filesystem::path& path,
              const WriteOptions& options = {});

// The AutoCAD 2000 file without a preview, as the demo drawings are written.
std::vector<std::uint8_t> writeR2000(const Drawing& drawing);
void writeR2000(const Drawing& drawing, const std::filesystem::path& path);

}  // namespace dwg
