#include "PreviewPicture.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace render::detail {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

// Folds rows of a large picture into a small one: every source pixel counts
// once, in the target pixel its position falls in, and each target pixel is
// the mean of those it got. Rows arrive from the top; only the target row
// being filled is summed, so memory is the target's alone.
class Shrinker {
  public:
    Shrinker(int width, int height, int maxWidth, int maxHeight)
        : sourceWidth_(width), sourceHeight_(height) {
        const double scale = std::min({1.0, double(maxWidth) / width, double(maxHeight) / height});
        targetWidth_ = std::max(1, static_cast<int>(std::lround(width * scale)));
        targetHeight_ = std::max(1, static_cast<int>(std::lround(height * scale)));
        columnOf_.resize(static_cast<std::size_t>(width));
        for (int x = 0; x < width; ++x)
            columnOf_[std::size_t(x)] =
                static_cast<int>(std::int64_t{x} * targetWidth_ / sourceWidth_);
        sums_.assign(static_cast<std::size_t>(targetWidth_), {});
        picture_.width = targetWidth_;
        picture_.height = targetHeight_;
        picture_.pixels.assign(std::size_t(targetWidth_) * std::size_t(targetHeight_), kOpaque);
    }

    // One row of 0xRRGGBB pixels, `sourceWidth` of them. Allocates nothing
    // (the PNG decoder may jump out of it).
    void addRow(const std::uint32_t* row) {
        if (sourceRow_ >= sourceHeight_) return;
        const int target =
            static_cast<int>(std::int64_t{sourceRow_} * targetHeight_ / sourceHeight_);
        if (target != targetRow_) flush();
        targetRow_ = target;
        for (int x = 0; x < sourceWidth_; ++x) {
            Sum& sum = sums_[std::size_t(columnOf_[std::size_t(x)])];
            const std::uint32_t p = row[x];
            sum.red += (p >> 16) & 0xFF;
            sum.green += (p >> 8) & 0xFF;
            sum.blue += p & 0xFF;
            ++sum.count;
        }
        ++sourceRow_;
    }

    Picture finish() {
        flush();
        return std::move(picture_);
    }

  private:
    struct Sum {
        std::uint64_t red = 0, green = 0, blue = 0, count = 0;
    };

    void flush() {
        if (targetRow_ < 0) return;
        std::uint32_t* out =
            picture_.pixels.data() + std::size_t(targetRow_) * std::size_t(targetWidth_);
        for (int x = 0; x < targetWidth_; ++x) {
            Sum& sum = sums_[std::size_t(x)];
            if (sum.count > 0) {
                const auto mean = [&](std::uint64_t total) {
                    return static_cast<std::uint32_t>((total + sum.count / 2) / sum.count);
                };
                out[x] = kOpaque | mean(sum.red) << 16 | mean(sum.green) << 8 | mean(sum.blue);
            }
            sum = {};
        }
        targetRow_ = -1;
    }

    int sourceWidth_, sourceHeight_;
    int targetWidth_ = 1, targetHeight_ = 1;
    int sourceRow_ = 0;
    int targetRow_ = -1;
    std::vector<int> columnOf_;
    std::vector<Sum> sums_;
    Picture picture_;
};

// The PNG decoder reports errors by a long jump back to where it was set up:
// between the jump and its landing nothing of ours may need destroying, so
// every buffer is made before and only plain values live inside.
struct PngInput {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

void readPngData(png_structp png, png_bytep out, png_size_t length) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (length > input->bytes.size() - input->at) png_error(png, "dados truncados");
    std::memcpy(out, input->bytes.data() + input->at, length);
    input->at += length;
}

// The decoder's messages are English and say nothing a user could act on.
// Thrown through libpng's frames instead of its longjmp: on 64-bit Windows
// the C runtime's longjmp unwinds through the C++ frames between and left
// the stack broken (a damaged PNG preview crashed the process).
[[noreturn]] void pngFailed(png_structp, png_const_charp) {
    throw dwg::Error::damaged("imagem de visualização PNG inválida");
}

void pngWarned(png_structp, png_const_charp) {}

class PngDecoder {
  public:
    explicit PngDecoder(std::span<const std::uint8_t> bytes) {
        input_.bytes = bytes;
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, pngWarned);
        if (png_) info_ = png_create_info_struct(png_);
        if (!png_ || !info_) throw std::bad_alloc();
        png_set_read_fn(png_, &input_, readPngData);
        // Side chunks (text, colour profiles) never take more than this.
        png_set_chunk_malloc_max(png_, 1u << 20);
        constexpr std::uint32_t kLargestSide = 1u << 30;
        png_set_user_limits(png_, kLargestSide, kLargestSide);
    }
    ~PngDecoder() { png_destroy_read_struct(&png_, &info_, nullptr); }
    PngDecoder(const PngDecoder&) = delete;
    PngDecoder& operator=(const PngDecoder&) = delete;

    // Reads the header and sets the decoder to give 8-bit RGB rows.
    void start() {
        png_read_info(png_, info_);
        png_set_expand(png_);
        png_set_strip_16(png_);
        png_set_gray_to_rgb(png_);
        png_set_strip_alpha(png_);
        passes_ = png_set_interlace_handling(png_);
        png_read_update_info(png_, info_);
        width_ = png_get_image_width(png_, info_);
        height_ = png_get_image_height(png_, info_);
        rowBytes_ = png_get_rowbytes(png_, info_);
    }

    int width() const { return static_cast<int>(width_); }
    int height() const { return static_cast<int>(height_); }

    // Feeds every row to `shrinker`, from the top. An interlaced image comes
    // in passes over the whole picture, so it is held whole first (its size
    // was bounded before).
    void readInto(Shrinker& shrinker) {
        if (rowBytes_ != std::size_t{width_} * 3) throw dwg::Error::damaged("imagem PNG inválida");
        std::vector<std::uint8_t> rows(rowBytes_ * (passes_ > 1 ? std::size_t{height_} : 1));
        std::vector<std::uint32_t> pixels(width_);
        readRows(rows.data(), pixels.data(), shrinker);
    }

  private:
    static void toPixels(const std::uint8_t* rgb, std::uint32_t* pixels, std::size_t count) {
        for (std::size_t x = 0; x < count; ++x, rgb += 3)
            pixels[x] = std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
    }

    void readRows(std::uint8_t* rows, std::uint32_t* pixels, Shrinker& shrinker) {
        if (passes_ > 1) {
            for (int pass = 0; pass < passes_; ++pass)
                for (png_uint_32 y = 0; y < height_; ++y)
                    png_read_row(png_, rows + y * rowBytes_, nullptr);
            for (png_uint_32 y = 0; y < height_; ++y) {
                toPixels(rows + y * rowBytes_, pixels, width_);
                shrinker.addRow(pixels);
            }
            return;
        }
        for (png_uint_32 y = 0; y < height_; ++y) {
            png_read_row(png_, rows, nullptr);
            toPixels(rows, pixels, width_);
            shrinker.addRow(pixels);
        }
    }

    PngInput input_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    png_uint_32 width_ = 0;
    png_uint_32 height_ = 0;
    std::size_t rowBytes_ = 0;
    int passes_ = 1;
};

}  // namespace

Picture decodePreview(const dwg::PreviewImage& image, int maxWidth, int maxHeight) {
    // The header's size is judged before a row is decoded.
    const dwg::ImageSize size = dwg::imageSize(image);
    if (image.format == dwg::PreviewImage::Format::Bitmap) {
        Shrinker shrinker(size.width, size.height, maxWidth, maxHeight);
        dwg::decodeBitmapRows(
            image.bytes, [&](std::span<const std::uint32_t> row) { shrinker.addRow(row.data()); });
        return shrinker.finish();
    }
    PngDecoder decoder(image.bytes);
    decoder.start();
    // The decoder read the same header; what it gives must be what was judged.
    if (decoder.width() != size.width || decoder.height() != size.height)
        throw dwg::Error::damaged("imagem de visualização PNG inválida");
    Shrinker shrinker(decoder.width(), decoder.height(), maxWidth, maxHeight);
    decoder.readInto(shrinker);
    return shrinker.finish();
}

namespace {

std::uint32_t mostCommonColour(const Picture& picture) {
    std::unordered_map<std::uint32_t, std::size_t> counts;
    for (const std::uint32_t p : picture.pixels) ++counts[p];
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

int red(std::uint32_t p) {
    return (p >> 16) & 0xFF;
}
int green(std::uint32_t p) {
    return (p >> 8) & 0xFF;
}
int blue(std::uint32_t p) {
    return p & 0xFF;
}
// Qt's grey of a colour, so that the tiles look as they did when Qt made them.
int grey(std::uint32_t p) {
    return (red(p) * 11 + green(p) * 16 + blue(p) * 5) / 32;
}

bool nearColour(std::uint32_t a, std::uint32_t b) {
    return std::abs(red(a) - red(b)) + std::abs(green(a) - green(b)) +
               std::abs(blue(a) - blue(b)) <=
           24;
}

}  // namespace

void showOnWhite(Picture& picture) {
    if (picture.pixels.empty()) return;
    const std::uint32_t background = mostCommonColour(picture);
    if (grey(background) >= 128) return;  // already light
    for (std::uint32_t& p : picture.pixels) {
        const int spread =
            std::max({red(p), green(p), blue(p)}) - std::min({red(p), green(p), blue(p)});
        if (nearColour(p, background)) {
            p = kOpaque | 0xFFFFFF;
        } else if (spread < 24) {
            const auto inverted = static_cast<std::uint32_t>(255 - grey(p));
            p = kOpaque | inverted << 16 | inverted << 8 | inverted;
        }
    }
}

bool isBlank(const Picture& picture) {
    return std::all_of(picture.pixels.begin(), picture.pixels.end(),
                       [&](std::uint32_t p) { return p == picture.pixels.front(); });
}

}  // namespace render::detail
