// A drawing's thumbnail: its stored preview shrunk as it is decoded and shown
// on white, or, where the preview is missing, blank, damaged or too large,
// the drawing drawn as it was saved; never more than a bounded picture.
#include <dwg/Preview.h>
#include <gtest/gtest.h>
#include <png.h>
#include <render/Thumbnail.h>

#include <atomic>
#include <fstream>
#include <iterator>

#include "PreviewPicture.h"
#include "Samples.h"
#include "StoredPreviews.h"

namespace {

using testsupport::Bytes;

// A PNG of `width` x `height` whose pixel (x, y) is colour(x, y), as 0xRRGGBB.
template <typename Colour>
Bytes png(int width, int height, Colour colour, bool interlaced = false, bool withAlpha = false) {
    Bytes out;
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(writer);
    png_set_write_fn(
        writer, &out,
        [](png_structp p, png_bytep data, png_size_t size) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + size);
        },
        nullptr);
    const int channels = withAlpha ? 4 : 3;
    png_set_IHDR(writer, info, png_uint_32(width), png_uint_32(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<std::vector<png_byte>> rows(std::size_t(height),
                                            std::vector<png_byte>(std::size_t(width * channels)));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colour(x, y);
            png_byte* p = &rows[std::size_t(y)][std::size_t(x * channels)];
            p[0] = png_byte(c >> 16), p[1] = png_byte(c >> 8), p[2] = png_byte(c);
            if (withAlpha) p[3] = 0x80;
        }
        pointers.push_back(rows[std::size_t(y)].data());
    }
    png_set_rows(writer, info, pointers.data());
    png_write_png(writer, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&writer, &info);
    return out;
}

std::uint32_t halves(int x, int width) {
    return x < width / 2 ? 0xFF0000 : 0x0000FF;
}

dwg::PreviewImage pngImage(const Bytes& bytes) {
    return {dwg::PreviewImage::Format::Png, bytes};
}

dwg::PreviewImage bitmapImage(const Bytes& bytes) {
    return {dwg::PreviewImage::Format::Bitmap, bytes};
}

// A 24-bit bitmap, left half red, right half blue.
Bytes halvesBitmap(int width, int height) {
    Bytes b(40, 0);
    testsupport::put32le(b, 0, 40);
    testsupport::put32le(b, 4, std::uint32_t(width));
    testsupport::put32le(b, 8, std::uint32_t(height));
    b[12] = 1;
    b[14] = 24;
    const std::size_t stride = (std::size_t(width) * 3 + 3) / 4 * 4;
    for (int y = 0; y < height; ++y) {
        Bytes row(stride, 0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = halves(x, width);
            row[std::size_t(x) * 3] = std::uint8_t(c),
                                 row[std::size_t(x) * 3 + 1] = std::uint8_t(c >> 8);
            row[std::size_t(x) * 3 + 2] = std::uint8_t(c >> 16);
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

TEST(DecodePreview, ShrunkIntoTheBoxKeepingItsProportionsNeverEnlarged) {
    const auto halvesOf = [](int width) {
        return [width](int x, int) { return halves(x, width); };
    };
    struct Case {
        const char* name;
        dwg::PreviewImage image;
        int boxWidth, boxHeight;
        int width, height;
    };
    const Case cases[] = {
        {"bitmap", bitmapImage(halvesBitmap(80, 40)), 20, 20, 20, 10},
        {"PNG", pngImage(png(300, 100, halvesOf(300))), 30, 30, 30, 10},
        {"PNG taller than wide", pngImage(png(10, 400, halvesOf(10))), 50, 40, 1, 40},
        {"interlaced PNG", pngImage(png(64, 32, halvesOf(64), true)), 16, 16, 16, 8},
        {"PNG with alpha", pngImage(png(40, 20, halvesOf(40), false, true)), 20, 20, 20, 10},
        {"smaller than the box", pngImage(png(12, 6, halvesOf(12))), 100, 100, 12, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const render::Picture picture =
            render::detail::decodePreview(c.image, c.boxWidth, c.boxHeight);
        ASSERT_EQ(picture.width, c.width);
        ASSERT_EQ(picture.height, c.height);
        if (c.width < 4) continue;
        // Every source pixel lands in one target pixel: the halves stay apart.
        for (int y = 0; y < c.height; ++y) {
            EXPECT_EQ(picture.at(0, y), 0xFFFF0000u);
            EXPECT_EQ(picture.at(c.width - 1, y), 0xFF0000FFu);
        }
    }
}

TEST(DecodePreview, MixedPixelsAverage) {
    // Columns alternate black and white: two of them make one grey.
    const Bytes stripes = png(8, 2, [](int x, int) { return x % 2 ? 0xFFFFFFu : 0u; });
    const render::Picture picture = render::detail::decodePreview(pngImage(stripes), 4, 4);
    ASSERT_EQ(picture.width, 4);
    for (const std::uint32_t p : picture.pixels) EXPECT_EQ(p, 0xFF808080u);
}

TEST(DecodePreview, DamagedOrTooLargeImagesAreRefused) {
    const Bytes good = png(32, 32, [](int x, int y) { return std::uint32_t(x * 8 + y); });
    Bytes cut = good;
    cut.resize(cut.size() / 2);
    Bytes badCrc = good;
    badCrc[40] ^= 0xFF;  // inside the image data, whose checksum then fails
    // A header claiming 8192 x 8192: nothing follows, and nothing may be tried.
    Bytes huge = png(1, 1, [](int, int) { return 0u; });
    huge[16] = 0, huge[17] = 0, huge[18] = 0x20, huge[19] = 0;
    huge[20] = 0, huge[21] = 0, huge[22] = 0x20, huge[23] = 0;
    struct Case {
        const char* name;
        dwg::PreviewImage image;
        dwg::Error::Kind kind;
    };
    const Case cases[] = {
        {"cut short", pngImage(cut), dwg::Error::Kind::Damaged},
        {"checksum wrong", pngImage(badCrc), dwg::Error::Kind::Damaged},
        {"more pixels than a preview", pngImage(huge), dwg::Error::Kind::TooLarge},
        {"no PNG", pngImage(Bytes(64, 'x')), dwg::Error::Kind::Damaged},
        {"8192 x 8192 bitmap", bitmapImage(testsupport::oneBitBitmap(8192, 8192, 0, 0xFFFFFF, 1)),
         dwg::Error::Kind::TooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            render::detail::decodePreview(c.image, 100, 100);
            ADD_FAILURE() << "decoded";
        } catch (const dwg::Error& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
        }
    }
}

TEST(ShowOnWhite, DarkScreensTurnLightAndColoursStay) {
    struct Case {
        const char* name;
        std::uint32_t background, ink, expectedBackground, expectedInk;
    };
    const Case cases[] = {
        {"white lines on a dark screen", 0x212830, 0xFFFFFF, 0xFFFFFF, 0x000000},
        {"grey lines darken", 0x000000, 0x646464, 0xFFFFFF, 0x9B9B9B},
        {"colours are kept", 0x212830, 0xFF0000, 0xFFFFFF, 0xFF0000},
        {"a light picture is left as it is", 0xFAFAF0, 0xC8C8C8, 0xFAFAF0, 0xC8C8C8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        render::Picture picture{20, 10,
                                std::vector<std::uint32_t>(200, 0xFF000000u | c.background)};
        for (int x = 0; x < 20; ++x) picture.pixels[5 * 20 + std::size_t(x)] = 0xFF000000u | c.ink;
        render::detail::showOnWhite(picture);
        EXPECT_EQ(picture.at(0, 0), 0xFF000000u | c.expectedBackground);
        EXPECT_EQ(picture.at(10, 5), 0xFF000000u | c.expectedInk);
    }
}

Bytes sample(const char* name) {
    std::ifstream in(testsupport::samplesFolder() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int inkPixels(const render::Picture& picture) {
    int ink = 0;
    for (const std::uint32_t p : picture.pixels) ink += (p & 0xFFFFFF) != 0xFFFFFF;
    return ink;
}

TEST(DrawingThumbnail, ThePreviewWhereItServesElseTheDrawingDrawn) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    using Source = render::Thumbnail::Source;
    // No preview of its own; it gets the ones below.
    const Bytes plain = sample("R2018/libredwg_Arc.dwg");
    struct Case {
        const char* name;
        Bytes drawing;
        Source source;
    };
    const Case cases[] = {
        {"bitmap preview", sample("R2000/libredwg_sample_2000.dwg"), Source::Preview},
        {"PNG preview", sample("R2013/libredwg_Arc.dwg"), Source::Preview},
        {"no preview", plain, Source::Drawn},
        // Decoded it would take 256 MiB; it is not decoded at all.
        {"8192 x 8192 preview",
         testsupport::withStoredPreview(plain, 2,
                                        testsupport::oneBitBitmap(8192, 8192, 0xFF0000, 0, 0)),
         Source::Drawn},
        {"preview of nothing",
         testsupport::withStoredPreview(plain, 2, testsupport::oneBitBitmap(64, 40, 0, 0, 0)),
         Source::Drawn},
        {"damaged preview",
         testsupport::withStoredPreview(plain, 6, Bytes{0x89, 'P', 'N', 'G', 1, 2, 3}),
         Source::Drawn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const render::Thumbnail thumbnail = render::drawingThumbnail(c.drawing, 160, 120);
        ASSERT_TRUE(thumbnail.ok()) << thumbnail.error;
        EXPECT_EQ(thumbnail.source, c.source);
        const render::Picture& picture = thumbnail.picture;
        EXPECT_LE(picture.width, 160);
        EXPECT_LE(picture.height, 120);
        if (c.source == Source::Drawn) {
            EXPECT_EQ(picture.width, 160);
            EXPECT_EQ(picture.height, 120);
        }
        // Ink on white, whichever it came from.
        EXPECT_GT(inkPixels(picture), 20);
        EXPECT_LT(inkPixels(picture), int(picture.pixels.size()) / 2);
    }
}

TEST(DrawingThumbnail, FailuresAreToldNeverThrown) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const Bytes drawing = sample("R2018/libredwg_Arc.dwg");
    std::atomic<bool> cancelled{true};
    render::ThumbnailOptions cancelling;
    cancelling.cancel = &cancelled;
    struct Case {
        const char* name;
        Bytes bytes;
        int width, height;
        render::ThumbnailOptions options;
    };
    const Case cases[] = {
        {"not a drawing", Bytes(2000, 'x'), 100, 100, {}},
        {"a drawing cut short", Bytes(drawing.begin(), drawing.begin() + 3000), 100, 100, {}},
        {"no size", drawing, 0, 100, {}},
        {"larger than a thumbnail", drawing, render::kMaxThumbnailSide + 1, 10, {}},
        {"cancelled", drawing, 100, 100, cancelling},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const render::Thumbnail thumbnail =
            render::drawingThumbnail(c.bytes, c.width, c.height, c.options);
        EXPECT_FALSE(thumbnail.ok());
        EXPECT_TRUE(thumbnail.picture.pixels.empty());
        EXPECT_FALSE(thumbnail.error.empty());
    }
    const render::Thumbnail missing =
        render::drawingThumbnail(std::filesystem::path("/nenhum/desenho.dwg"), 100, 100);
    EXPECT_FALSE(missing.ok());
    EXPECT_FALSE(missing.error.empty());
}

}  // namespace
