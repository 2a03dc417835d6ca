// Text content as glyphs in the text face: the special symbols of TEXT and the
// formatting codes, wrapping, alignment and stacking of MTEXT. Lengths are in
// cap heights along a run unless said otherwise.
#pragma once

#include <dwg/Drawing.h>
#include <render/DisplayList.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace render::detail {

std::u32string decodeUtf8(std::string_view text);

// A line drawn along a run (underline, overline, strike-through): from x to
// x, at height y.
struct Decoration {
    double from = 0;
    double to = 0;
    double y = 0;
};

struct SimpleText {
    std::vector<PlacedGlyph> glyphs;  // glyphs with ink only
    double advance = 0;               // whole width, spaces included
    std::vector<Decoration> decorations;
};

// TEXT content: %%c, %%d, %%p, %%%, %%nnn, %%u and %%o toggles, \U+XXXX.
SimpleText parseSimpleText(std::string_view content);

struct MTextBox {
    double height = 1;     // world units
    double wrapWidth = 0;  // world units; 0: no wrapping
    int attachment = 1;    // 1 top left .. 9 bottom right
    double lineSpacing = 1;
    double widthFactor = 1;
    double oblique = 0;  // radians
};

// A run of glyphs with one format, placed in the MTEXT's own plane (world
// units from the insertion point, x along the text direction).
struct TextFragment {
    Vec2 origin;  // start of the baseline
    double height = 1;
    double widthFactor = 1;
    double oblique = 0;
    std::optional<dwg::Color> colour;  // from \C or \c; else the entity's
    std::vector<PlacedGlyph> glyphs;
    std::vector<Decoration> decorations;
};

struct MTextLayout {
    std::vector<TextFragment> fragments;
    struct Bar {
        Vec2 from, to;  // plane units
    };
    std::vector<Bar> bars;  // stacked-fraction bars
    int lineCount = 0;
};

MTextLayout layoutMText(std::string_view content, const MTextBox& box);

}  // namespace render::detail
