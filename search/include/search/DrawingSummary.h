// What the search keeps of a block's drawing: the words a user may look for in
// it, and the size it takes in its own units.
#pragma once

#include <dwg/Drawing.h>

#include <optional>
#include <string>
#include <vector>

namespace search {

// Width and height of the model space's extents, in the drawing's INSUNITS.
struct DrawingSize {
    double width = 0;
    double height = 0;
    int insertionUnits = 0;

    bool operator==(const DrawingSize&) const = default;
};

struct DrawingSummary {
    // Folded index words, each once: texts and attribute values, attribute
    // tags, layer names and the names of the blocks the drawing defines.
    std::vector<std::string> words;
    std::optional<DrawingSize> size;  // nothing for a drawing with nothing drawn
};

// A drawing's words are capped at this many, so that a drawing full of text
// cannot swell the index.
inline constexpr std::size_t kMaxWordsPerDrawing = 4000;

DrawingSummary summarize(const dwg::Drawing& drawing);

// "180 × 90 cm": up to one decimal below a hundred, a decimal comma, and the
// unit's symbol ("unidades" for a drawing without unit).
std::string sizeText(const DrawingSize& size);

}  // namespace search
