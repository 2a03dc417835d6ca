#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "search/DrawingSummary.h"
#include "search/Words.h"

namespace {

struct FoldCase {
    const char* text;
    const char* folded;
};

// As Portuguese users type: without accents, without capitals.
const FoldCase kFoldCases[] = {
    {"Cadeira", "cadeira"},
    {"Mobília", "mobilia"},
    {"AÇÃO", "acao"},
    {"ação", "acao"},
    {"Pão-de-Açúcar", "pao de acucar"},
    {"ÁÀÂÃÄÅ áàâãäå", "aaaaaa aaaaaa"},
    {"ÉÈÊË ÍÌÎÏ ÓÒÔÕÖØ ÚÙÛÜ ÝŸÿ Ññ", "eeee iiii oooooo uuuu yyy nn"},
    {"Æsir Straße Œuvre", "aesir strasse oeuvre"},
    {"Łódź Škoda Čapek", "lodz skoda capek"},
    {"nº 1, 2ª via", "no 1 2a via"},
    {"10 m² 3 m³", "10 m2 3 m3"},
    {"a\xCC\x81gua", "agua"},                // decomposed accent
    {"CI 60×60 ÷ 2", "ci 60 60 2"},          // signs separate
    {"Cuba Tóquio – aço inox", "cuba toquio aco inox"},
    {"«Sofá» \"3 lugares\"", "sofa 3 lugares"},
    {"ab\xFF" "cd", "abcd"},                 // an invalid byte is dropped
    {"\xC3", ""},                            // a cut sequence too
    {"Ωmega", "Ωmega"},                      // other scripts are kept
    {"  ", ""},
};

TEST(Fold, FoldsAsPortugueseUsersType) {
    for (const FoldCase& c : kFoldCases) EXPECT_EQ(search::fold(c.text), c.folded) << c.text;
}

struct WordsCase {
    const char* text;
    std::vector<std::string> index;
};

TEST(IndexWords, NamesAreFoundByTheirParts) {
    const WordsCase cases[] = {
        {"Cuba01", {"cuba01", "cuba", "01"}},
        {"CadeiraEscritório", {"cadeiraescritorio", "cadeira", "escritorio"}},
        {"MESA", {"mesa"}},
        {"Sofá 3L", {"sofa", "3l", "3", "l"}},
        {"porta_90", {"porta", "90"}},
        {"ÁrvoreGrande", {"arvoregrande", "arvore", "grande"}},
    };
    for (const WordsCase& c : cases) EXPECT_EQ(search::indexWords(c.text), c.index) << c.text;
}

TEST(Words, QueryWordsAreWholeFoldedWords) {
    EXPECT_EQ(search::words("Cadeira  Giratória, azul"),
              (std::vector<std::string>{"cadeira", "giratoria", "azul"}));
    EXPECT_TRUE(search::words(" - , ").empty());
}

TEST(PlainText, DropsTextFormattingCodes) {
    const FoldCase cases[] = {
        {"Observações:\\PCotas", "Observações: Cotas"},
        {"{\\fArial|b1|i0;Texto} livre", "Texto livre"},
        {"\\H2.5x;grande\\~pequeno", "grande pequeno"},
        {"\\S1/2;\"", "1 2 \""},
        {"%%c50 e 90%%d %%130", " 50 e 90   "},
        {"a\\\\b \\{c\\}", "a\\b {c}"},
        {"a\\U+00E7o", "aço"},
        {"\\LSublinhado\\l", "Sublinhado"},
        {"\\fArial sem fim", ""},
        {"fim\\", "fim\\"},
    };
    for (const FoldCase& c : cases) EXPECT_EQ(search::plainText(c.text), c.folded) << c.text;
}

dwg::Entity textEntity(dwg::Text::Kind kind, std::string text, std::string tag = {}) {
    dwg::Entity entity;
    dwg::Text data;
    data.kind = kind;
    data.text = std::move(text);
    data.tag = std::move(tag);
    entity.data = data;
    return entity;
}

dwg::Layer layerNamed(dwg::Handle handle, std::string name) {
    dwg::Layer layer;
    layer.handle = handle;
    layer.name = std::move(name);
    return layer;
}

dwg::Block blockNamed(dwg::Handle handle, std::string name) {
    dwg::Block block;
    block.handle = handle;
    block.name = std::move(name);
    block.anonymous = !block.name.empty() && block.name.front() == '*';
    return block;
}

bool has(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

TEST(Summary, TakesTheWordsEveryPartOfTheDrawingHolds) {
    dwg::Drawing drawing;
    drawing.layers.push_back(layerNamed(1, "0"));
    drawing.layers.push_back(layerNamed(2, "Louças Sanitárias"));
    dwg::Block model = blockNamed(3, "*Model_Space");
    model.anonymous = false;
    model.modelSpace = true;
    model.entities.push_back(textEntity(dwg::Text::Kind::Text, "Torneira %%c20"));
    model.entities.push_back(textEntity(dwg::Text::Kind::Attribute, "Deca", "FABRICANTE"));
    dwg::Entity mtext;
    dwg::MText paragraph;
    paragraph.text = "{\\fArial;Válvula}\\PDescarga";
    mtext.data = paragraph;
    model.entities.push_back(mtext);
    dwg::Entity insert;
    dwg::Insert placed;
    dwg::AttributeEntity attribute;
    attribute.text = std::get<dwg::Text>(textEntity(dwg::Text::Kind::Attribute, "Inox 304", "MATERIAL").data);
    placed.attributes.push_back(attribute);
    insert.data = placed;
    model.entities.push_back(insert);
    drawing.blocks.push_back(model);
    dwg::Block named = blockNamed(7, "SifãoCopo");
    named.entities.push_back(textEntity(dwg::Text::Kind::AttributeDefinition, "", "MODELO"));
    drawing.blocks.push_back(named);
    drawing.blocks.push_back(blockNamed(8, "*U12"));

    const search::DrawingSummary summary = search::summarize(drawing);
    for (const char* word : {"loucas", "sanitarias", "torneira", "20", "deca", "fabricante",
                             "valvula", "descarga", "inox", "304", "material", "sifaocopo",
                             "sifao", "copo", "modelo"})
        EXPECT_TRUE(has(summary.words, word)) << word;
    for (const char* word : {"0", "u12", "farial", "arial", "model", "space", "c20"})
        EXPECT_FALSE(has(summary.words, word)) << word;
    const std::set<std::string> once(summary.words.begin(), summary.words.end());
    EXPECT_EQ(once.size(), summary.words.size());
}

TEST(Summary, CapsTheWordsOfADrawingFullOfText) {
    dwg::Drawing drawing;
    dwg::Block model;
    model.modelSpace = true;
    std::string text;
    for (std::size_t i = 0; i < search::kMaxWordsPerDrawing + 500; ++i)
        text += "w" + std::to_string(i) + " ";
    model.entities.push_back(textEntity(dwg::Text::Kind::Text, text));
    drawing.blocks.push_back(model);
    EXPECT_EQ(search::summarize(drawing).words.size(), search::kMaxWordsPerDrawing);
}

TEST(Summary, NothingDrawnHasNoSize) {
    dwg::Drawing drawing;
    dwg::Block model = blockNamed(1, "*Model_Space");
    model.modelSpace = true;
    drawing.blocks.push_back(model);
    EXPECT_FALSE(search::summarize(drawing).size);
}

}  // namespace
