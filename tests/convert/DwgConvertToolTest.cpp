// dwgconvert run as a publisher or a script runs it: exit status, what stderr
// names, and never a file when it cannot convert.
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Drawings.h"
#include "TemporaryFolders.h"
#include "ToolRun.h"

namespace fs = std::filesystem;
using testsupport::shellQuoted;

namespace {

class DwgConvertTool : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = testsupport::makeTemporaryFolder("dwgconvert");
        // A gradient fill and an RGB colour, which AutoCAD 2000 does not keep.
        dwg::Hatch fill;
        fill.patternName = "LINEAR";
        fill.gradientColor = dwg::Color::fromTrueColor(0x2080F0);
        dwg::HatchLoop loop;
        loop.flags = 3;
        loop.isPolyline = true;
        loop.points = {{0, 0}, {100, 0}, {100, 50}, {0, 50}};
        fill.loops.push_back(loop);
        dwg::Entity edge = testsupport::entity("LINE", dwg::Line{{0, 0, 0}, {100, 0, 0}}, 0x101);
        edge.header.color = dwg::Color::fromTrueColor(0xFF8000);
        const dwg::Drawing d =
            testsupport::drawingWith({testsupport::entity("HATCH", fill, 0x100), edge}, 5);
        write(in(), dwg::writeDwg(d, dwg::Version::R2018));
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(folder_, error);
    }
    fs::path in() const { return folder_ / "mesa.dwg"; }
    static void write(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    testsupport::ToolRun run(const std::string& arguments) const {
        return testsupport::runTool(DWGCONVERT_PATH, arguments);
    }
    fs::path folder_;
};

TEST_F(DwgConvertTool, WrongCommandLinesAreRefusedWithTheUsage) {
    for (const char* arguments : {"", "--format 2007 a b", "--format", "--units km a b",
                                  "--tipo 2000 a b", "so-um-arquivo"}) {
        SCOPED_TRACE(arguments);
        const testsupport::ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.output.find("uso: dwgconvert"), std::string::npos);
    }
}

TEST_F(DwgConvertTool, EachKindConvertedIsNamedWithItsCount) {
    const fs::path out = folder_ / "mesa-2000.dwg";
    const testsupport::ToolRun result =
        run("--format 2000 --units mm " + shellQuoted(in()) + " " + shellQuoted(out));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("HATCH (degradê): 1 convertida em HATCH (sólido)"),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("2 cores RGB trocadas"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("centímetros para milímetros"), std::string::npos);
    const dwg::Drawing back = dwg::read(out);
    EXPECT_EQ(back.version, dwg::Version::R2000);
    EXPECT_EQ(back.header.insertionUnits, 4);
    EXPECT_EQ(testsupport::recordCounts(back),
              (std::map<std::string, int>{{"HATCH", 1}, {"LINE", 1}}));
    EXPECT_EQ(std::get<dwg::Line>(back.modelSpace()->entities.at(1).data).end,
              (dwg::Point3{1000, 0, 0}));
}

TEST_F(DwgConvertTool, WhatCannotBeConvertedLeavesNoFile) {
    const fs::path notDwg = folder_ / "nao-e.dwg";
    std::ofstream(notDwg) << "isto não é um desenho";
    const fs::path kept = folder_ / "existente.dxf";
    std::ofstream(kept) << "do usuário";
    const struct {
        fs::path input;
        fs::path output;
    } cases[] = {
        {folder_ / "nao-existe.dwg", folder_ / "saida.dwg"},
        {notDwg, folder_ / "saida.dwg"},
        {notDwg, kept},
        {in(), folder_ / "pasta-que-nao-existe" / "saida.dwg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.string() + " → " + c.output.string());
        const bool existed = fs::exists(c.output);
        const testsupport::ToolRun result =
            run("--format dxf2000 " + shellQuoted(c.input) + " " + shellQuoted(c.output));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_FALSE(result.output.empty());
        EXPECT_EQ(fs::exists(c.output), existed);
    }
    std::ifstream back(kept);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), "do usuário");
    // Nothing half-written beside them either.
    for (const auto& entry : fs::directory_iterator(folder_))
        EXPECT_EQ(entry.path().string().find("gravando"), std::string::npos) << entry.path();
}

}  // namespace
