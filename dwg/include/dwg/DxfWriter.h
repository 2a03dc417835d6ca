// Writing a Drawing as a DXF text file: AutoCAD 2000 (AC1015) or AutoCAD 2018
// (AC1032).
//
// What is written: the header variables the drawing holds (units, extents,
// base point, point style, linetype scales...), the classes of the objects
// written, the tables (VPORT with the saved view or each tiled viewport, its
// render mode standing in for a visual style, LTYPE, LAYER, STYLE, VIEW,
// UCS, APPID, DIMSTYLE, BLOCK_RECORD), every block with its entities and every
// entity kind the reader decodes, with handles and owner links, and the
// objects a reader expects (the named-object dictionary, groups, layouts,
// multiline and multileader styles, image definitions, plot style names).
// Lines end in CR LF, as AutoCAD writes them. AC1015 text is Windows-1252,
// characters outside it as \U+XXXX; AC1032 text is UTF-8. ACIS data goes as
// the version stores it: SAT text inside the entity for AC1015, SAB binary in
// the ACDSDATA section for AC1032.
//
// The model's handles only say what refers to what; the file gets handles of
// its own. Output depends only on the drawing: no clock, no random numbers.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Writer.h>

#include <string>

namespace dwg {

// `version` is Version::R2000 or Version::R2018. Throws WriteError (in
// Portuguese, naming the entity kind or the part) for what the version cannot
// hold or what refers to nothing: a multileader or a mesh in AC1015, a true
// colour in AC1015, ACIS data in the other form, an entity not decoded.
std::string writeDxf(const Drawing& drawing, Version version);

}  // namespace dwg
