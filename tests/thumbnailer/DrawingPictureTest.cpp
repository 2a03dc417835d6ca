// The picture of a DWG file for file managers, on the real sample drawings
// and on hostile files: bounded in size, never a crash, a hang or a throw.
#include <gtest/gtest.h>

#include <DrawingPicture.h>
#include <PictureJob.h>
#include <dwg/Preview.h>

#include <algorithm>
#include <thread>

#include "HostileFiles.h"
#include "Samples.h"

namespace {

using testsupport::fileBytes;
using thumbnailer::drawingPicture;

bool storesPreview(const std::vector<std::uint8_t>& bytes) {
    try {
        return dwg::readPreview(bytes).has_value();
    } catch (const dwg::Error&) {
        return false;
    }
}

render::Picture pictureWithin(std::vector<std::uint8_t> bytes, int side,
                              std::chrono::milliseconds deadline, bool* cutShort = nullptr) {
    thumbnailer::PictureJob job(std::move(bytes), side);
    std::thread worker([&job] { job.run(); });
    render::Picture picture = job.waitFor(deadline);
    worker.join();
    if (cutShort) *cutShort = job.cutShort();
    return picture;
}

TEST(DrawingPicture, EverySampleGivesAPictureWithinTheSizeAsked) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    int files = 0, pictures = 0, drawn = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(testsupport::samplesFolder())) {
        if (entry.path().extension() != ".dwg") continue;
        ++files;
        const std::vector<std::uint8_t> bytes = fileBytes(entry.path());
        for (const int side : {48, 256}) {
            const render::Picture picture = drawingPicture(bytes, side);
            if (picture.pixels.empty()) continue;
            SCOPED_TRACE(entry.path().string());
            ASSERT_EQ(picture.pixels.size(), std::size_t(picture.width) * std::size_t(picture.height));
            EXPECT_LE(std::max(picture.width, picture.height), side);
            EXPECT_GE(std::min(picture.width, picture.height), 1);
            // Drawn by us, the picture fills the size asked along its longer side.
            if (!storesPreview(bytes)) {
                EXPECT_EQ(std::max(picture.width, picture.height), side);
                drawn += side == 256;
            }
            pictures += side == 256;
        }
    }
    ASSERT_GT(files, 100);
    // Only the drawings that draw nothing at all give no picture.
    EXPECT_GE(pictures, files - 3);
    EXPECT_GT(drawn, 0);
}

TEST(DrawingPicture, SidesOutsideTheRangeAreBroughtIntoIt) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const std::vector<std::uint8_t> bytes =
        fileBytes(testsupport::samplesFolder() / "R2000" / "libredwg_circle.dwg");
    ASSERT_FALSE(bytes.empty());
    const struct {
        int asked, largest;
    } cases[] = {{0, thumbnailer::kMinSide}, {-5, thumbnailer::kMinSide}, {100000, thumbnailer::kMaxSide}};
    for (const auto& c : cases) {
        const render::Picture picture = drawingPicture(bytes, c.asked);
        ASSERT_FALSE(picture.pixels.empty()) << c.asked;
        EXPECT_LE(std::max(picture.width, picture.height), c.largest) << c.asked;
    }
}

TEST(DrawingPicture, FilesBeyondTheLimitsAreNotPictured) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    std::vector<std::uint8_t> withPreview, withoutPreview;
    for (const auto& sample : testsupport::someSamples(3)) {
        std::vector<std::uint8_t> bytes = fileBytes(sample);
        if (drawingPicture(bytes, 64).pixels.empty()) continue;
        (storesPreview(bytes) ? withPreview : withoutPreview) = std::move(bytes);
    }
    ASSERT_FALSE(withPreview.empty());
    ASSERT_FALSE(withoutPreview.empty());
    thumbnailer::PictureLimits small;
    small.maxFileBytes = std::min(withPreview.size(), withoutPreview.size()) - 1;
    EXPECT_TRUE(drawingPicture(withPreview, 64, nullptr, small).pixels.empty());
    EXPECT_TRUE(drawingPicture(withoutPreview, 64, nullptr, small).pixels.empty());
    // Too large to be drawn, a file still shows the picture it stores.
    thumbnailer::PictureLimits noDrawing;
    noDrawing.maxDrawnFileBytes = 0;
    EXPECT_FALSE(drawingPicture(withPreview, 64, nullptr, noDrawing).pixels.empty());
    EXPECT_TRUE(drawingPicture(withoutPreview, 64, nullptr, noDrawing).pixels.empty());
}

TEST(DrawingPicture, HostileFilesEndWithAPictureOrNone) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    for (const auto& file : testsupport::hostileFiles()) {
        SCOPED_TRACE(file.name);
        // Finished or cut short by the deadline (on a loaded machine): either
        // way it comes back, bounded.
        const render::Picture picture = pictureWithin(file.bytes, 128, thumbnailer::kDeadline);
        EXPECT_LE(std::max(picture.width, picture.height), 128);
        EXPECT_EQ(picture.pixels.size(), std::size_t(picture.width) * std::size_t(picture.height));
    }
}

TEST(DrawingPicture, PastTheDeadlineTheDrawingStopsAndGivesNothing) {
    bool cutShort = false;
    const render::Picture picture = pictureWithin(
        testsupport::nestedMinsertDrawing(), 256, std::chrono::milliseconds(0), &cutShort);
    EXPECT_TRUE(cutShort);
    EXPECT_TRUE(picture.pixels.empty());
}

}  // namespace
