// The preview image a drawing carries, and the saved view it shows: read
// from the samples, from hand-made image areas, and decoded from bitmaps.
#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "SampleFiles.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void append32(Bytes& bytes, std::uint32_t value) {
    bytes.resize(bytes.size() + 4);
    put32(bytes, bytes.size() - 4, value);
}

// BITMAPINFOHEADER, the palette, then the rows as given.
Bytes bitmap(int width, int height, int bitCount, const std::vector<std::uint32_t>& palette,
             const Bytes& rows, std::uint32_t compression = 0) {
    Bytes b(40, 0);
    put32(b, 0, 40);
    put32(b, 4, static_cast<std::uint32_t>(width));
    put32(b, 8, static_cast<std::uint32_t>(height));
    b[12] = 1;
    b[14] = static_cast<std::uint8_t>(bitCount);
    put32(b, 16, compression);
    put32(b, 32, static_cast<std::uint32_t>(palette.size()));
    for (const std::uint32_t rgb : palette) append32(b, rgb);  // B, G, R, 0 in memory
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// A file with the "AC1015" signature whose image area (at `areaAt`) lists
// `entries` (code, start, size) and holds `payload` right after the table.
Bytes fileWithImageArea(const std::vector<std::array<std::uint32_t, 3>>& entries,
                        const Bytes& payload, std::size_t areaAt = 0x40) {
    Bytes file(areaAt, 0);
    std::memcpy(file.data(), "AC1015", 6);
    put32(file, 0x0D, static_cast<std::uint32_t>(areaAt));
    const std::uint8_t sentinel[16] = {0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                       0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
    for (const std::uint8_t b : sentinel) file.push_back(b);
    append32(file, 0);  // overall size, not relied on
    file.push_back(static_cast<std::uint8_t>(entries.size()));
    for (const auto& [code, start, size] : entries) {
        file.push_back(static_cast<std::uint8_t>(code));
        append32(file, start);
        append32(file, size);
    }
    for (const std::uint8_t b : payload) file.push_back(b);
    return file;
}

std::size_t payloadStart(std::size_t entryCount, std::size_t areaAt = 0x40) {
    return areaAt + 16 + 4 + 1 + 9 * entryCount;
}

TEST(DecodeBitmap, PixelsOfEveryDepthComeOutAsRgbFromTheTop) {
    const std::vector<std::uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    struct Case {
        const char* name;
        Bytes bitmap;
        std::vector<std::uint32_t> expected;  // 3 x 2 pixels, top row first
    };
    const Case cases[] = {
        // Two rows of three, stored bottom row first, each padded to 4 bytes.
        {"8 bits",
         bitmap(3, 2, 8, palette, {1, 2, 3, 0, 0, 1, 2, 0}),
         {0x000000, 0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0x0000FF}},
        {"4 bits",
         bitmap(3, 2, 4, palette, {0x12, 0x30, 0, 0, 0x01, 0x20, 0, 0}),
         {0x000000, 0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0x0000FF}},
        {"1 bit",
         bitmap(3, 2, 1, {0x000000, 0xFF0000}, {0b10100000, 0, 0, 0, 0b01000000, 0, 0, 0}),
         {0x000000, 0xFF0000, 0x000000, 0xFF0000, 0x000000, 0xFF0000}},
        {"24 bits",
         bitmap(3, 2, 24, {},
                {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0, 0, 0,  // bottom
                 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90, 0, 0, 0}),
         {0x302010, 0x605040, 0x908070, 0x030201, 0x060504, 0x090807}},
        {"32 bits, rows from the top",
         bitmap(3, -2, 32, {},
                {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0}),
         {0x030201, 0x060504, 0x090807, 0x0C0B0A, 0x0F0E0D, 0x121110}},
        // An index past a short palette is black.
        {"8 bits, index past the palette",
         bitmap(3, 2, 8, {0xFFFFFF}, {0, 9, 0, 0, 0, 0, 0, 0}),
         {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x000000, 0xFFFFFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const dwg::Raster raster = dwg::decodeBitmap(c.bitmap);
        EXPECT_EQ(raster.width, 3);
        EXPECT_EQ(raster.height, 2);
        EXPECT_EQ(raster.pixels, c.expected);
    }
}

TEST(DecodeBitmap, RefusesWhatItCannotHoldOrDoesNotKnow) {
    const Bytes rows(8, 0);
    Bytes hugeHeader = bitmap(3, 2, 8, {0}, rows);
    put32(hugeHeader, 0, 0x7FFFFFFF);
    Bytes paletteMissing = bitmap(3, 2, 8, {}, {});
    put32(paletteMissing, 32, 200);  // 200 colours, none stored
    struct Case {
        const char* name;
        Bytes bitmap;
    };
    const Case cases[] = {
        {"shorter than its header", Bytes(39, 0)},
        {"header size past the data", hugeHeader},
        {"run-length compressed", bitmap(3, 2, 8, {0}, rows, 1)},
        {"16 bits", bitmap(3, 2, 16, {}, Bytes(16, 0))},
        {"no width", bitmap(0, 2, 8, {0}, rows)},
        {"negative width", bitmap(-3, 2, 8, {0}, rows)},
        {"taller than its rows", bitmap(3, 3, 8, {0}, rows)},
        {"rows claimed by a huge height", bitmap(3, 0x7FFFFFF, 8, {0}, rows)},
        {"palette past the end", paletteMissing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(dwg::decodeBitmap(c.bitmap), dwg::Error);
    }
}

// A picture of more pixels than any preview is refused before it is
// decoded, whatever the bytes would allow: one bit a pixel is little to store.
TEST(DecodeBitmap, MorePixelsThanAPreviewIsTooLarge) {
    const int side = 4097;
    const std::size_t stride = (side + 31) / 32 * 4;
    const Bytes big = bitmap(side, side, 1, {0, 0xFFFFFF}, Bytes(stride * side, 0));
    const dwg::PreviewImage image{dwg::PreviewImage::Format::Bitmap, big};
    for (const auto& attempt : std::vector<std::function<void()>>{
             [&] { dwg::imageSize(image); }, [&] { dwg::decodeBitmap(big); },
             [&] { dwg::decodeBitmapRows(big, [](std::span<const std::uint32_t>) {}); }}) {
        try {
            attempt();
            ADD_FAILURE() << "decoded";
        } catch (const dwg::Error& error) {
            EXPECT_EQ(error.kind(), dwg::Error::Kind::TooLarge);
        }
    }
    // The largest allowed is decoded, a row at a time as asked.
    const Bytes largest = bitmap(4096, 4096, 1, {0, 0xFFFFFF}, Bytes(512 * 4096, 0xFF));
    int rows = 0;
    dwg::decodeBitmapRows(largest, [&](std::span<const std::uint32_t> row) {
        ++rows;
        EXPECT_EQ(row.size(), 4096u);
        EXPECT_EQ(row.front(), 0xFFFFFFu);
    });
    EXPECT_EQ(rows, 4096);
}

// The size a PNG's header gives: its first chunk, IHDR, holds it.
TEST(ImageSize, ReadFromThePngHeaderAlone) {
    const auto png = [](std::uint32_t width, std::uint32_t height, const char* chunk = "IHDR") {
        Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
        b.insert(b.end(), chunk, chunk + 4);
        for (const std::uint32_t v : {width, height})
            for (int shift = 24; shift >= 0; shift -= 8) b.push_back(std::uint8_t(v >> shift));
        return dwg::PreviewImage{dwg::PreviewImage::Format::Png, b};
    };
    struct Case {
        const char* name;
        dwg::PreviewImage image;
        int width;  // 0: refused
        dwg::Error::Kind kind = dwg::Error::Kind::Damaged;
    };
    dwg::PreviewImage cut = png(10, 10);
    cut.bytes.pop_back();
    dwg::PreviewImage noSignature = png(10, 10);
    noSignature.bytes[1] = 'X';
    const Case cases[] = {
        {"a usual preview", png(220, 140), 220},
        {"the largest allowed", png(4096, 4096), 4096},
        {"more pixels than a preview", png(8192, 8192), 0, dwg::Error::Kind::TooLarge},
        {"a line too long", png(1, 1u << 31), 0},
        {"no width", png(0, 10), 0},
        {"header cut short", cut, 0},
        {"no signature", noSignature, 0},
        {"another chunk first", png(10, 10, "IDAT"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.width > 0) {
            EXPECT_EQ(dwg::imageSize(c.image).width, c.width);
            continue;
        }
        try {
            dwg::imageSize(c.image);
            ADD_FAILURE() << "accepted";
        } catch (const dwg::Error& error) {
            EXPECT_EQ(error.kind(), c.kind);
        }
    }
}

TEST(ReadPreview, FindsTheImageTheTableNames) {
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3};
    const Bytes header(80, 7);
    const std::size_t start = payloadStart(2);
    Bytes payload = header;
    payload.insert(payload.end(), png.begin(), png.end());
    const Bytes file =
        fileWithImageArea({{{1, std::uint32_t(start), 80},
                            {6, std::uint32_t(start + 80), std::uint32_t(png.size())}}},
                          payload);
    const auto preview = dwg::readPreview(file);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->format, dwg::PreviewImage::Format::Png);
    EXPECT_EQ(preview->bytes, png);

    const Bytes dib = bitmap(1, 1, 24, {}, {1, 2, 3, 0});
    const auto bmp = dwg::readPreview(
        fileWithImageArea({{{2, std::uint32_t(payloadStart(1)), std::uint32_t(dib.size())}}}, dib));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->format, dwg::PreviewImage::Format::Bitmap);
    EXPECT_EQ(bmp->bytes, dib);
}

TEST(ReadPreview, NoImageAndDamagedAreasAreToldApart) {
    const Bytes some(16, 1);
    const auto start = std::uint32_t(payloadStart(1));
    Bytes seekerPastEnd = fileWithImageArea({}, {});
    put32(seekerPastEnd, 0x0D, 0xFFFFFFF0);
    Bytes noSentinel = fileWithImageArea({{{2, start, 16}}}, some);
    noSentinel[0x40] ^= 0xFF;
    Bytes noSeeker = fileWithImageArea({{{2, start, 16}}}, some);
    put32(noSeeker, 0x0D, 0);
    Bytes truncatedTable = fileWithImageArea({{{2, start, 16}}}, {});
    truncatedTable.resize(truncatedTable.size() - 4);
    struct Case {
        const char* name;
        Bytes file;
        bool damaged;
    };
    const Case cases[] = {
        {"seeker zero", noSeeker, false},
        {"seeker past the end", seekerPastEnd, false},
        {"no sentinel", noSentinel, false},
        {"empty table", fileWithImageArea({}, {}), false},
        {"header entry only", fileWithImageArea({{{1, start, 16}}}, some), false},
        {"only a metafile", fileWithImageArea({{{3, start, 16}}}, some), false},
        {"image past the end", fileWithImageArea({{{2, start, 17}}}, some), true},
        {"image starts past the end", fileWithImageArea({{{6, 0xFFFFFF00u, 4}}}, some), true},
        {"size that wraps", fileWithImageArea({{{2, start, 0xFFFFFFFFu}}}, some), true},
        {"table cut short", truncatedTable, true},
        {"not a drawing", Bytes{'N', 'O', 'T', 'D', 'W', 'G', 0, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.damaged)
            EXPECT_THROW(dwg::readPreview(c.file), dwg::Error);
        else
            EXPECT_FALSE(dwg::readPreview(c.file));
    }
}

TEST(ReadPreview, SamplesCarryBitmapsUpToR2010AndPngsLater) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    int found = 0;
    for (const auto& path : testsupport::samplesOf(
             {"R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"})) {
        SCOPED_TRACE(path.string());
        const std::string version = path.parent_path().filename().string();
        const bool late = version == "R2013" || version == "R2018";
        const auto preview = dwg::readPreview(path);
        if (!preview) continue;
        ++found;
        if (late) {
            ASSERT_EQ(preview->format, dwg::PreviewImage::Format::Png);
            EXPECT_EQ(preview->bytes.at(1), 'P');
            continue;
        }
        ASSERT_EQ(preview->format, dwg::PreviewImage::Format::Bitmap);
        const dwg::Raster raster = dwg::decodeBitmap(preview->bytes);
        EXPECT_GT(raster.width, 0);
        EXPECT_EQ(raster.pixels.size(), std::size_t(raster.width) * std::size_t(raster.height));
    }
    // Nearly every sample has one; the few without are writers that store none.
    EXPECT_GT(found, 90);
}

TEST(SavedView, ActiveViewportOfTheSamples) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    struct Case {
        const char* file;
        dwg::Point3 direction;  // any length
        bool tileMode;
        double eyeDistance;  // 0 where the length tells nothing
        int renderMode;
        const char* visualStyle;  // none before R2007
        dwg::VisualStyle look;
    };
    using enum dwg::VisualStyle;
    const Case cases[] = {
        {"R2000/libredwg_PolyLine3D.dwg", {-1, -1, 1}, true, 0, 0, nullptr, Wireframe2D},
        {"R2013/libredwg_PolyLine3D.dwg", {-1, -1, 1}, true, 0, 0, "2dWireframe", Wireframe2D},
        {"R2000/libredwg_entities-2d.dwg", {0, 0, 1}, true, 0, 0, nullptr, Wireframe2D},
        // Holds the built-in visual styles, which its viewport cannot name yet.
        {"R2004/acadsharp_sample_AC1018.dwg", {0, 0, 1}, true, 0, 0, nullptr, Wireframe2D},
        {"R2007/acadsharp_sample_AC1021.dwg", {0, 0, 1}, true, 0, 0, "2dWireframe", Wireframe2D},
        {"R2010/libredwg_gh209_1.dwg", {0, 0, 1}, true, 0, 0, "2dWireframe", Wireframe2D},
        // Its writer gives every style the fields of a shaded one.
        {"R2013/ezdxf_dim_linear_tutorial.dwg", {0, 0, 1}, true, 0, 0, "2dWireframe", Wireframe2D},
        {"R2018/restaurant_LAVAMANOS.dwg", {1, 1, 1}, true, 186.7566, 4, "Realistic", Shaded},
        {"R2013/ikea_MALM_no-590-024-36.dwg",
         {0, 0, 1},
         false,
         12130.1,
         0,
         "2dWireframe",
         Wireframe2D},
        // Three tiled viewports; the current one is the table's first, which
        // is the last of the three in the file. Another of them shows the
        // solids shaded.
        {"R2018/symbol_co2-anturi.dwg",
         {40.218061397069135, -825.668031345348, 1648.8760509670208},
         true,
         1844.49,
         0,
         "2dWireframe",
         Wireframe2D},
    };
    const auto length = [](const dwg::Point3& p) {
        return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    };
    const auto unit = [&](const dwg::Point3& p) {
        const double n = length(p);
        return dwg::Point3{p.x / n, p.y / n, p.z / n};
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const dwg::Drawing drawing = dwg::read(testsupport::samplesFolder() / c.file);
        EXPECT_EQ(drawing.header.tileMode, c.tileMode);
        ASSERT_TRUE(drawing.activeView);
        const dwg::SavedView& view = *drawing.activeView;
        const dwg::Point3 got = unit(view.direction), expected = unit(c.direction);
        EXPECT_NEAR(got.x, expected.x, 1e-9);
        EXPECT_NEAR(got.y, expected.y, 1e-9);
        EXPECT_NEAR(got.z, expected.z, 1e-9);
        if (c.eyeDistance > 0) {
            EXPECT_NEAR(length(view.direction), c.eyeDistance, 1e-4 * c.eyeDistance);
        }
        EXPECT_GT(view.height, 0);
        EXPECT_GT(view.aspect, 0.5);
        EXPECT_LT(view.aspect, 4);
        // No sample was saved in perspective or clipped.
        EXPECT_FALSE(view.perspective);
        EXPECT_EQ(view.lensLength, 50);
        EXPECT_FALSE(view.frontClipping || view.backClipping);
        EXPECT_EQ(view.renderMode, c.renderMode);
        EXPECT_EQ(view.visualStyle, c.look);
        ASSERT_EQ(view.visualStyleProperties.has_value(), c.visualStyle != nullptr);
        if (c.visualStyle) {
            EXPECT_EQ(view.visualStyleProperties->name, c.visualStyle);
        }
    }
}

}  // namespace
