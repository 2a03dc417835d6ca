// tessaly-thumbnailer run as a file manager runs it.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>

#include "HostileFiles.h"
#include "Samples.h"
#include "TemporaryFolders.h"
#include "ToolRun.h"

namespace {

using testsupport::runTool;
using testsupport::shellQuoted;

struct Png {
    int width = 0, height = 0;
    std::vector<std::uint8_t> grey;  // one byte a pixel
    bool hasInk() const {
        return std::any_of(grey.begin(), grey.end(), [this](std::uint8_t p) { return p != grey[0]; });
    }
};

Png readPng(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> bytes = testsupport::fileBytes(file);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Png png;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return png;
    image.format = PNG_FORMAT_GRAY;
    png.grey.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, png.grey.data(), 0, nullptr)) {
        png.width = int(image.width);
        png.height = int(image.height);
    }
    png_image_free(&image);
    return png;
}

TEST(ThumbnailerTool, WritesAPngOfTheSizeAskedOrSaysWhyNot) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    struct Folder {
        std::filesystem::path folder = testsupport::makeTemporaryFolder("miniaturas");
        ~Folder() { std::filesystem::remove_all(folder); }
        const std::filesystem::path& path() const { return folder; }
    } temp;
    const auto samples = testsupport::samplesFolder();
    const std::string empty = shellQuoted(samples / "R2000" / "libredwg_PolyLine2D.dwg");
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
        const Png png = readPng(temp.path() / "m.png");
        ASSERT_GT(png.width, 0);
        EXPECT_LE(std::max(png.width, png.height), side);
        EXPECT_TRUE(png.hasInk());
        std::filesystem::remove(temp.path() / "m.png");
    }
}

}  // namespace
