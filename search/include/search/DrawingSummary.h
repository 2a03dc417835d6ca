// What the search keeps of a block's drawing: the words a user may look for in
// it, and the size it takes in its own units.
#pragma once

#include <dwg/Drawing.h>

#include <optional>
#include <string>
#include <vector>

namespace search {

// Width and height of the model space's extents as seen in plan, in the
// drawing's INSUNITS, and how far it reaches along z.
struct DrawingSize {
    double width = 0;
    double height = 0;
    int insertionUnits = 0;
    double zExtent = 0;

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

}  // namespace search
