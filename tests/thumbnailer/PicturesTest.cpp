// The picture helpers: stored images decoded within their bounds, dark
// previews turned onto white, pictures made smaller.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <Pictures.h>

#include <cstring>

namespace {

using thumbnailer::decodePng;
using thumbnailer::decodeStoredBitmap;
using thumbnailer::fitted;

render::Picture filled(int width, int height, std::uint32_t colour) {
    render::Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(std::size_t(width) * std::size_t(height), colour);
    return picture;
}

std::vector<std::uint8_t> pngOf(int width, int height, png_uint_32 format,
                                const std::vector<std::uint8_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = format;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr));
    std::vector<std::uint8_t> bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

void putBigEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t(value >> (24 - 8 * i));
}

TEST(Pictures, FittedKeepsProportionsAndNeverEnlarges) {
    const struct {
        int width, height, side, fittedWidth, fittedHeight;
    } cases[] = {
        {100, 50, 256, 100, 50},    // smaller already: left as it is
        {1000, 500, 256, 256, 128},
        {500, 1000, 100, 50, 100},
        {3000, 1, 16, 16, 1},       // a line stays a pixel high
        {256, 256, 256, 256, 256},
    };
    for (const auto& c : cases) {
        const render::Picture out = fitted(filled(c.width, c.height, 0xFF102030u), c.side);
        EXPECT_EQ(out.width, c.fittedWidth) << c.width << "x" << c.height << " in " << c.side;
        EXPECT_EQ(out.height, c.fittedHeight) << c.width << "x" << c.height << " in " << c.side;
        EXPECT_EQ(out.pixels.size(), std::size_t(out.width) * std::size_t(out.height));
        EXPECT_EQ(out.pixels.front(), 0xFF102030u);
    }
    EXPECT_TRUE(fitted(filled(10, 10, 0), 0).pixels.empty());
}

TEST(Pictures, FittedAveragesWhatEachPixelCovers) {
    // Left half black, right half white, shrunk to two pixels; then one black
    // column in four, shrunk to one: a grey a quarter dark.
    render::Picture halves = filled(8, 4, 0xFFFFFFFFu);
    render::Picture column = filled(4, 4, 0xFFFFFFFFu);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) halves.pixels[std::size_t(y * 8 + x)] = 0xFF000000u;
        column.pixels[std::size_t(y * 4)] = 0xFF000000u;
    }
    const render::Picture two = fitted(halves, 2);
    ASSERT_EQ(two.width, 2);
    EXPECT_EQ(two.at(0, 0), 0xFF000000u);
    EXPECT_EQ(two.at(1, 0), 0xFFFFFFFFu);
    const render::Picture one = fitted(column, 1);
    EXPECT_EQ(one.at(0, 0), 0xFFBFBFBFu);
}

TEST(Pictures, DarkPreviewsTurnOntoWhite) {
    render::Picture dark = filled(8, 8, 0xFF000000u);  // a CAD program's black screen
    dark.pixels[0] = 0xFFFFFFFFu;                       // colour 7: white on black
    dark.pixels[1] = 0xFF808080u;                       // a dimmed grey
    dark.pixels[2] = 0xFFFF0000u;                       // red stays red
    thumbnailer::putOnWhite(dark);
    EXPECT_EQ(dark.pixels[0], 0xFF000000u);
    EXPECT_EQ(dark.pixels[1], 0xFF7F7F7Fu);
    EXPECT_EQ(dark.pixels[2], 0xFFFF0000u);
    EXPECT_EQ(dark.pixels[63], 0xFFFFFFFFu);

    render::Picture light = filled(4, 4, 0xFFF0F0F0u);
    light.pixels[5] = 0xFF000000u;
    const render::Picture before = light;
    thumbnailer::putOnWhite(light);
    EXPECT_EQ(light.pixels, before.pixels);
}

TEST(Pictures, InkIsWhatDiffersFromTheBackground) {
    render::Picture blank = filled(32, 32, 0xFF000000u);
    EXPECT_FALSE(thumbnailer::hasInk(blank));
    blank.pixels[100] = 0xFF00FF00u;
    EXPECT_TRUE(thumbnailer::hasInk(blank));
    EXPECT_FALSE(thumbnailer::hasInk({}));
}

TEST(Pictures, PngsAreDecodedWithTransparencyOnWhite) {
    const std::vector<std::uint8_t> rgba = {255, 0, 0, 255,  0, 0, 255, 0,    // red, clear blue
                                            0, 0, 0, 255,    0, 255, 0, 255};  // black, green
    const render::Picture picture = decodePng(pngOf(2, 2, PNG_FORMAT_RGBA, rgba));
    ASSERT_EQ(picture.width, 2);
    ASSERT_EQ(picture.height, 2);
    EXPECT_EQ(picture.pixels, (std::vector<std::uint32_t>{0xFFFF0000u, 0xFFFFFFFFu, 0xFF000000u,
                                                          0xFF00FF00u}));
}

TEST(Pictures, DamagedOrHugePngsAreRefused) {
    const std::vector<std::uint8_t> good = pngOf(4, 4, PNG_FORMAT_GRAY, std::vector<std::uint8_t>(16));
    ASSERT_FALSE(decodePng(good).pixels.empty());
    // A header claiming 5000 x 5000 pixels (with its checksum mended): more
    // than a thumbnail decodes, refused before anything is made.
    std::vector<std::uint8_t> huge = good;
    putBigEndian(huge, 16, 5000);
    putBigEndian(huge, 20, 5000);
    putBigEndian(huge, 29, std::uint32_t(crc32(0, huge.data() + 12, 17)));
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"cut in the header", std::vector<std::uint8_t>(good.begin(), good.begin() + 20)},
        {"cut in the data", std::vector<std::uint8_t>(good.begin(), good.end() - 16)},
        {"5000 x 5000", huge},
        {"no PNG", std::vector<std::uint8_t>(100, 0x42)},
    };
    for (const auto& c : cases) EXPECT_TRUE(decodePng(c.bytes).pixels.empty()) << c.name;
}

TEST(Pictures, StoredBitmapsAreDecodedWithinTheirBound) {
    // 2 x 2, 24 bits, rows from the bottom padded to 4 bytes.
    std::vector<std::uint8_t> bitmap(40 + 16, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&bitmap[at], &v, 4); };
    put32(0, 40);
    put32(4, 2);
    put32(8, 2);
    bitmap[12] = 1;
    bitmap[14] = 24;
    const std::uint8_t rows[16] = {0, 0, 255, 0, 255, 0, 0, 0,    // bottom: red, green
                                   255, 0, 0, 255, 255, 255, 0, 0};  // top: blue, white
    std::memcpy(&bitmap[40], rows, 16);
    const render::Picture picture = decodeStoredBitmap(bitmap);
    ASSERT_EQ(picture.width, 2);
    EXPECT_EQ(picture.pixels, (std::vector<std::uint32_t>{0xFF0000FFu, 0xFFFFFFFFu, 0xFFFF0000u,
                                                          0xFF00FF00u}));
    put32(4, 100000);
    put32(8, 100000);
    EXPECT_TRUE(decodeStoredBitmap(bitmap).pixels.empty());
    put32(4, 2);
    put32(8, std::uint32_t(-2));  // rows from the top
    EXPECT_EQ(decodeStoredBitmap(bitmap).width, 2);
    EXPECT_TRUE(decodeStoredBitmap(std::vector<std::uint8_t>(8)).pixels.empty());
}

}  // namespace
