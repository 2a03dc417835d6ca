// The demo library's drawings as the generator writes them: every category
// has recognisable blocks made of layers, arcs, fills, nesting and accented
// texts, the descriptions are Windows-1252, and the output is the same on
// every run.
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <set>

#include "ToolRun.h"
#include "ZipFixtures.h"

namespace {

using namespace fixtures;

void generate(const fs::path& into) {
    const platform::ToolResult run = platform::runToEnd(
        library::pathFromUtf8(DEMO_DRAWINGS_PATH), {library::pathToUtf8(into)}, std::chrono::minutes(2));
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

TEST(DemoDrawings, EveryCategoryHasBlocksDrawnWithLayersArcsFillsNestingAndAccents) {
    TempFolder temp;
    generate(temp.path());
    std::set<std::string> kinds;
    bool accentedText = false;
    for (int n = 0; n < library::kCategoryCount; ++n) {
        SCOPED_TRACE(n);
        int blocks = 0;
        for (const auto& file : fs::directory_iterator(temp.path() / std::to_string(n))) {
            ++blocks;
            const dwg::Drawing drawing = dwg::read(file.path());
            const dwg::Block* model = drawing.modelSpace();
            ASSERT_NE(model, nullptr);
            EXPECT_FALSE(model->entities.empty()) << file.path();
            EXPECT_TRUE(drawing.header.extentsMin.has_value()) << file.path();
            EXPECT_TRUE(drawing.skippedEntities.empty());
            std::set<int> colours;
            for (const dwg::Layer& layer : drawing.layers) colours.insert(layer.color.index);
            EXPECT_GE(colours.size(), 2u) << file.path();
            dwg::walkBlock(drawing, *model, [&](const dwg::Entity& entity, const auto&) {
                kinds.insert(entity.typeName);
                std::string text;
                if (const auto* t = std::get_if<dwg::Text>(&entity.data)) text = t->text;
                if (const auto* t = std::get_if<dwg::MText>(&entity.data)) text = t->text;
                for (const char* accent : {"ã", "á", "ç", "é", "ê", "í", "ó", "ô"})
                    accentedText = accentedText || text.find(accent) != std::string::npos;
            });
        }
        EXPECT_GE(blocks, 3);

        const std::string description = readFile(temp.path() / (std::to_string(n) + ".txt"));
        EXPECT_NE(description.find("\r\n"), std::string::npos);
        EXPECT_NE(description.find("demonstra\xE7\xE3o"), std::string::npos) << "Windows-1252";
        EXPECT_EQ(description.find("\xC3"), std::string::npos) << "no UTF-8";
    }
    for (const char* kind : {"INSERT", "ARC", "CIRCLE", "HATCH", "LWPOLYLINE", "TEXT", "MTEXT",
                             "ELLIPSE", "SPLINE", "LINE"})
        EXPECT_TRUE(kinds.count(kind)) << kind;
    EXPECT_TRUE(accentedText);
}

TEST(DemoDrawings, EveryRunWritesTheSameBytes) {
    TempFolder temp;
    generate(temp.path() / "a");
    generate(temp.path() / "b");
    const std::vector<std::string> files = listTree(temp.path() / "a");
    EXPECT_GT(files.size(), 14u * 4);
    EXPECT_EQ(listTree(temp.path() / "b"), files);
    for (const std::string& file : files) {
        const fs::path a = temp.path() / "a" / library::pathFromUtf8(file);
        if (fs::is_directory(a)) continue;
        EXPECT_EQ(readFile(a), readFile(temp.path() / "b" / library::pathFromUtf8(file))) << file;
    }
}

}  // namespace
