// What a drawing becomes before it is written in another release's format:
// what that release cannot hold is turned into what AutoCAD makes of it when
// it saves to that release (a MESH into polyface meshes for 2000 and 2004, a
// MULTILEADER into lines, arrowheads, text and blocks, an RGB colour into the
// nearest colour index for 2000...), and the bodies' ACIS data into the form
// that release stores (SAT text up to 2000, SAB binary from 2004). The
// report says what was turned into what, by DWG name and count.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Version.h>

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dwg {

// The formats a drawing is saved in.
enum class SaveFormat { Dwg2000, Dwg2004, Dwg2010, Dwg2013, Dwg2018, Dxf2000, Dxf2018 };

inline constexpr SaveFormat kSaveFormats[] = {
    SaveFormat::Dwg2018, SaveFormat::Dwg2013, SaveFormat::Dwg2010, SaveFormat::Dwg2004,
    SaveFormat::Dwg2000, SaveFormat::Dxf2018, SaveFormat::Dxf2000,
};

Version formatVersion(SaveFormat format);
bool isDxf(SaveFormat format);
// "AutoCAD 2018", "DXF 2000"...
std::string_view formatLabel(SaveFormat format);
// The name on the command line: "2018", "dxf2000"...
std::string_view formatKey(SaveFormat format);
std::optional<SaveFormat> formatFromKey(std::string_view key);

// The drawing cannot be converted at all; the message says why, in Portuguese.
class ConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ConversionReport {
    // Entities of one kind turned into others (`becomes`, DWG names joined
    // by ", "), or left out (`becomes` empty), with how many there were.
    struct Kind {
        std::string name;
        int count = 0;
        std::string becomes;

        bool operator==(const Kind&) const = default;
    };
    std::vector<Kind> converted;  // by name
    std::vector<Kind> leftOut;    // by name
    // Colours given as RGB, turned into the nearest colour index.
    int trueColours = 0;
    // Entity records taken out and put in, by type name as countEntityTypes
    // counts them, over every block: what a reader of the written file finds
    // is the drawing's count, less `removed`, plus `added`.
    std::map<std::string, int> removed;
    std::map<std::string, int> added;

    bool empty() const { return converted.empty() && leftOut.empty() && trueColours == 0; }
};

// The report for the user, in Portuguese: one line per kind converted or
// left out, e.g. "3 MESH convertidas em POLYLINE_PFACE"; empty when nothing
// changed.
std::vector<std::string> reportLines(const ConversionReport& report);

struct Converted {
    Drawing drawing;
    ConversionReport report;
};

struct ConvertOptions {
    // The box (lower left, upper right, world x and y) of what a text draws,
    // for a caller that can lay text out: a multileader's frame goes round its
    // text. None, or no answer: the box is estimated from the text's height
    // and length.
    std::function<std::optional<std::pair<Point2, Point2>>(const MText&)> measureText;
    // Multileaders drawn by their parts in every release, for a DWG file:
    // our DWG writer stores none (a DXF file keeps them from 2007).
    bool multiLeadersAsParts = false;
};

// The drawing as `target` holds it. Throws ConvertError when it cannot be
// converted at all.
Converted convertForVersion(const Drawing& drawing, Version target,
                            const ConvertOptions& options = {});

}  // namespace dwg
