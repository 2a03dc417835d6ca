#include "search/DrawingSummary.h"

#include <convert/BlockSize.h>

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
    if (const std::optional<convert::BlockSize> size = convert::blockSize(drawing))
        summary.size = DrawingSize{size->width, size->depth, size->insertionUnits, size->height};
    return summary;
}

}  // namespace search
