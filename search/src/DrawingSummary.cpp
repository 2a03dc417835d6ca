#include "search/DrawingSummary.h"

#include <render/Build.h>

#include <cmath>
#include <cstdio>
#include <string_view>
#include <unordered_set>

#include "search/Words.h"

namespace search {

namespace {

class WordCollector {
  public:
    void add(std::string_view text) {
        for (std::string& word : indexWords(plainText(text))) {
            if (words_.size() >= kMaxWordsPerDrawing) return;
            if (seen_.insert(word).second) words_.push_back(std::move(word));
        }
    }
    std::vector<std::string> take() { return std::move(words_); }

  private:
    std::unordered_set<std::string> seen_;
    std::vector<std::string> words_;
};

void addEntityWords(const dwg::Entity& entity, WordCollector& words) {
    if (const auto* text = std::get_if<dwg::Text>(&entity.data)) {
        words.add(text->text);
        words.add(text->tag);
    } else if (const auto* mtext = std::get_if<dwg::MText>(&entity.data)) {
        words.add(mtext->text);
    } else if (const auto* insert = std::get_if<dwg::Insert>(&entity.data)) {
        for (const dwg::AttributeEntity& attribute : insert->attributes) {
            words.add(attribute.text.text);
            words.add(attribute.text.tag);
        }
    } else if (const auto* leader = std::get_if<dwg::MultiLeader>(&entity.data)) {
        if (leader->text) words.add(leader->text->text);
        if (leader->block)
            for (const auto& [handle, value] : leader->block->attributes) words.add(value);
    } else if (const auto* dimension = std::get_if<dwg::Dimension>(&entity.data)) {
        if (dimension->userText != "<>") words.add(dimension->userText);
    }
}

// The symbol of each INSUNITS value, 0 to 24.
constexpr std::string_view kUnitSymbols[] = {
    "unidades", "in", "ft",  "mi", "mm", "cm", "m",  "km", "µin", "mil", "yd",  "Å",  "nm",
    "µm",       "dm", "dam", "hm", "Gm", "UA", "al", "pc", "ft",  "in",  "yd",  "mi"};

std::string number(double value) {
    char text[64];
    if (std::fabs(value) >= 100 || value == std::round(value)) {
        std::snprintf(text, sizeof text, "%.0f", value);
    } else {
        std::snprintf(text, sizeof text, "%.1f", value);
        std::string shown = text;
        if (shown.ends_with(".0")) shown.resize(shown.size() - 2);
        for (char& c : shown)
            if (c == '.') c = ',';
        if (shown == "0" && value > 0) return "< 0,1";
        return shown;
    }
    return text;
}

}  // namespace

DrawingSummary summarize(const dwg::Drawing& drawing) {
    WordCollector words;
    for (const dwg::Layer& layer : drawing.layers)
        if (layer.name != "0") words.add(layer.name);
    for (const dwg::Block& block : drawing.blocks) {
        if (!block.anonymous && !block.modelSpace && !block.paperSpace && !block.name.empty() &&
            block.name.front() != '*')
            words.add(block.name);
        for (const dwg::Entity& entity : block.entities) addEntityWords(entity, words);
    }

    DrawingSummary summary;
    summary.words = words.take();
    const render::DisplayList list = render::buildModelSpace(drawing);
    if (!list.extents.empty() && std::isfinite(list.extents.width()) &&
        std::isfinite(list.extents.height()))
        summary.size = DrawingSize{list.extents.width(), list.extents.height(),
                                   drawing.header.insertionUnits};
    return summary;
}

std::string sizeText(const DrawingSize& size) {
    const int units = size.insertionUnits;
    const std::string_view symbol =
        units >= 0 && units < static_cast<int>(std::size(kUnitSymbols)) ? kUnitSymbols[units]
                                                                         : kUnitSymbols[0];
    return number(size.width) + " × " + number(size.height) + " " + std::string(symbol);
}

}  // namespace search
