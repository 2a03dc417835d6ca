// A search index at library scale, generated: block names and drawing words
// drawn from about 5 000 words like a real library's, 30 drawing words a block,
// the blocks spread over the 14 categories. As in real drawings, a few words
// are in nearly every block: layer names and the short words of their texts.
#pragma once

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "search/BlockIndex.h"

namespace searchbench {

inline const std::vector<std::string>& commonWords() {
    static const std::vector<std::string> words = {"0",   "contorno", "texto", "cotas", "de",
                                                   "com", "para",     "em",    "a",     "e"};
    return words;
}

inline const std::vector<std::string>& vocabulary() {
    static const std::vector<std::string> words = [] {
        const char* stems[] = {
            "cadeira", "mesa",   "sofa",   "cama",  "armario",  "pia",     "cuba",     "torneira",
            "porta",   "janela", "arvore", "carro", "pessoa",   "vaso",    "chuveiro", "luminaria",
            "tomada",  "quadro", "escada", "banco", "poltrona", "estante", "fogao",    "geladeira"};
        const char* endings[] = {"",    "s",  "inha", "ao",   "ada", "eiro", "ista",
                                 "ura", "al", "ente", "ivel", "oso", "ario", "ismo"};
        std::vector<std::string> all;
        for (const char* stem : stems)
            for (const char* ending : endings)
                for (int variant = 0; variant < 15; ++variant)
                    all.push_back(std::string(stem) + ending +
                                  (variant ? std::to_string(variant) : ""));
        return all;
    }();
    return words;
}

// Writes `blocks` blocks into the index at `file`; each category's part
// carries fingerprint(category), so that a library's folders can match it.
inline void writeGeneratedIndex(const std::filesystem::path& file, int blocks,
                                const std::function<std::uint64_t(int)>& fingerprint) {
    search::BlockIndex index(file, search::BlockIndex::Open::CheckOrRebuild);
    std::mt19937 random(7);
    const auto& words = vocabulary();
    std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
    for (int category = 0; category < library::kCategoryCount; ++category) {
        search::CategoryEntries entries;
        entries.fingerprint = fingerprint(category);
        for (int i = category; i < blocks; i += library::kCategoryCount) {
            search::BlockEntry entry;
            const std::string& name = words[pick(random)];
            entry.thumbnail = name + std::to_string(i) + ".PNG";
            entry.nameWords = {name + std::to_string(i), name, std::to_string(i)};
            for (int w = 0; w < 30; ++w) entry.drawingWords.push_back(words[pick(random)]);
            for (const std::string& common : commonWords())
                if (random() % 10 < 9) entry.drawingWords.push_back(common);
            entry.size = search::DrawingSize{180, 90, 5};
            entries.blocks.push_back(std::move(entry));
        }
        index.writeCategory(category, entries);
    }
}

// What a user might paste into the search field by mistake: `characters`
// characters of the library's own words, the common ones only or mixed with
// the others half and half.
inline std::string pastedText(std::size_t characters, bool commonOnly) {
    std::mt19937 random(11);
    const auto& words = vocabulary();
    const auto& common = commonWords();
    std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
    std::string text;
    while (text.size() < characters)
        text +=
            (commonOnly || random() % 2 ? common[random() % common.size()] : words[pick(random)]) +
            ' ';
    text.resize(characters);
    return text;
}

}  // namespace searchbench
