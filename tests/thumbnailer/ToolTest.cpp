// tessaly-thumbnailer run as a file manager runs it.
#include <gtest/gtest.h>

#include <Pictures.h>

#include <algorithm>

#include "HostileFiles.h"
#include "Samples.h"
#include "TemporaryFolders.h"
#include "ToolRun.h"

namespace {

using testsupport::runTool;
using testsupport::shellQuoted;

TEST(ThumbnailerTool, WritesAPngOfTheSizeAskedOrSaysWhyNot) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    struct Folder {
        std::filesystem::path folder = testsupport::makeTemporaryFolder("miniaturas");
        ~Folder() { std::filesystem::remove_all(folder); }
        const std::filesystem::path& path() const { return folder; }
    } temp;
    const auto samples = testsupport::samplesFolder();
    const std::string empty = shellQuoted(samples / "R2018" / "acadsharp_empty.dwg");
    const std::string arc = shellQuoted(samples / "R2000" / "libredwg_circle.dwg");
    const std::string out = shellQuoted(temp.path() / "m.png");
    const struct {
        std::string arguments;
        int exitCode;
    } cases[] = {
        {"", 2},
        {"-s 128 " + arc, 2},
        {"-s 0 " + arc + " " + out, 2},
        {"-s 12x " + arc + " " + out, 2},
        {"--size 128 " + arc + " " + out, 2},
        {"-s 128 " + shellQuoted(temp.path() / "falta.dwg") + " " + out, 1},
        {"-s 128 " + empty + " " + out, 1},  // draws nothing
        {"-s 128 " + arc + " " + shellQuoted(temp.path() / "falta" / "m.png"), 1},
    };
    for (const auto& c : cases) {
        const testsupport::ToolRun run = runTool(TESSALY_THUMBNAILER, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_FALSE(std::filesystem::exists(temp.path() / "m.png")) << c.arguments;
        EXPECT_FALSE(run.output.empty()) << c.arguments;  // the reason, said
    }
    for (const int side : {128, 512}) {
        const testsupport::ToolRun run =
            runTool(TESSALY_THUMBNAILER, "-s " + std::to_string(side) + " " + arc + " " + out);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const render::Picture png =
            thumbnailer::decodePng(testsupport::fileBytes(temp.path() / "m.png"));
        ASSERT_FALSE(png.pixels.empty());
        EXPECT_LE(std::max(png.width, png.height), side);
        EXPECT_TRUE(thumbnailer::hasInk(png));
        std::filesystem::remove(temp.path() / "m.png");
    }
}

}  // namespace
