// Blocks whose thumbnail PNG cannot be shown: the grid takes the picture from
// the block's drawing instead (its stored preview, else a render of it), off
// the user-interface thread, and keeps the crossed placeholder for a block
// with neither.
#include <archive/ZipWriter.h>
#include <gtest/gtest.h>
#include <library/Library.h>

#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "DrawingThumbnail.h"
#include "Samples.h"
#include "StoredPreviews.h"
#include "browser/ThumbnailGrid.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Share of the pixels inside `area` that are white, and of those that are ink.
struct Tally {
    double white = 0;
    double dark = 0;
    double placeholderBorder = 0;
};

Tally tally(const QImage& shot, const QRect& area, const QColor& border) {
    Tally t;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x, ++n) {
            const QColor c = shot.pixelColor(x, y);
            t.white += c.lightness() > 245;
            t.dark += c.lightness() < 200;
            t.placeholderBorder += std::abs(c.red() - border.red()) < 12 &&
                                   std::abs(c.green() - border.green()) < 12 &&
                                   std::abs(c.blue() - border.blue()) < 12;
        }
    t.white /= n, t.dark /= n, t.placeholderBorder /= n;
    return t;
}

class DrawingThumbnailTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        category_ = fs::path(root_.path().toStdString()) / "3";
        fs::create_directories(library::imgFolder(category_));
        fs::create_directories(library::dwgFolder(category_));
    }

    // The block's thumbnail (written when `png` is given) and its drawing
    // archive, as a package installs them.
    fs::path block(const std::string& name, const std::optional<std::string>& png,
                   const std::optional<std::vector<std::uint8_t>>& drawing) {
        const fs::path thumbnail = library::imgFolder(category_) / (name + ".PNG");
        if (png) writeBytes(thumbnail, {png->begin(), png->end()});
        if (drawing) {
            archive::ZipWriter zip(1704067200, std::string(library::kArchivePassword));
            zip.addFile(name + ".DWG", *drawing);
            writeBytes(library::dwgFolder(category_) / (name + ".DWG.zip"), zip.finish());
        }
        return thumbnail;
    }

    QTemporaryDir root_;
    fs::path category_;
};

TEST_F(DrawingThumbnailTest, TilesWithoutAThumbnailShowTheirDrawing) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const auto sample = [](const char* name) {
        return readBytes(testsupport::samplesFolder() / name);
    };
    const std::string garbage = "not a picture";
    // A bitmap preview, a PNG preview, no preview (a render), then the ones
    // that have no picture at all.
    const std::vector<fs::path> files = {
        block("Bitmap", garbage, sample("R2000/libredwg_sample_2000.dwg")),
        block("Png", std::nullopt, sample("R2013/libredwg_Arc.dwg")),
        block("Render", garbage, sample("R2018/libredwg_Arc.dwg")),
        block("SemDesenho", garbage, std::nullopt),
        block("DesenhoRuim", garbage, std::vector<std::uint8_t>{'A', 'C', '1', '0', '1', '5'}),
    };
    browser::ThumbnailGrid grid;
    grid.resize(762, 420);
    grid.setColumnCount(5);
    grid.setItemSize(QSize(140, 100));
    grid.beginUpdate();
    for (const fs::path& file : files) grid.addItem(file);
    grid.endUpdate();
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (int i = 0; i < 5; ++i)
                if (!grid.isThumbnailLoaded(i) && !grid.isThumbnailFailed(i)) return false;
            return true;
        },
        20000));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(grid.isThumbnailLoaded(i)) << i;
    EXPECT_TRUE(grid.isThumbnailFailed(3));
    EXPECT_TRUE(grid.isThumbnailFailed(4));
    EXPECT_EQ(grid.decodeStats().decodedOnUiThread, 0);

    // The pictures look like the library's thumbnails: ink on white, even
    // where the CAD program drew its preview on a dark screen.
    const QImage shot = grid.viewport()->grab().toImage();
    const QColor border = browser::GridColors::olive().tile.border;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        // The middle of the tile, which a landscape picture covers.
        const QRect tile = grid.tileRect(i);
        const QRect middle = tile.adjusted(8, tile.height() * 3 / 10, -8, -tile.height() * 3 / 10);
        const Tally t = tally(shot, middle, border);
        if (i < 3) {
            EXPECT_GT(t.white, 0.7);
            EXPECT_GT(t.dark, 0.001) << "the drawing's lines show";
            EXPECT_LT(t.dark, 0.3);
        } else {
            EXPECT_LT(t.white, 0.05);
            EXPECT_GT(t.placeholderBorder, 0.01) << "the crossed placeholder";
        }
    }
}

// A tiny block whose drawing claims an 8192 x 8192 preview (a megabyte of
// zeros in its archive) would cost a tile hundreds of megabytes decoded: it
// is not decoded, and the tile shows the drawing drawn instead.
TEST_F(DrawingThumbnailTest, APreviewTooLargeForATileLeavesTheDrawingToDrawIt) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const std::vector<std::uint8_t> drawing = testsupport::withStoredPreview(
        readBytes(testsupport::samplesFolder() / "R2018/libredwg_Arc.dwg"), 2,
        testsupport::oneBitBitmap(8192, 8192, 0xFFFF00, 0xFFFF00, 0));
    const fs::path thumbnail = block("Enorme", "not a picture", drawing);
    const QImage image = browser::drawingThumbnail(library::categoryBlockOf(thumbnail), QSize(140, 100));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(140, 100));
    const Tally t = tally(image, image.rect(), QColor(255, 255, 0));
    EXPECT_GT(t.white, 0.7) << "drawn on white, not the preview's yellow";
    EXPECT_GT(t.dark, 0.001) << "the drawing's lines show";
}

}  // namespace
