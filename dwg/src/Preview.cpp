#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <dwg/Version.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>

namespace dwg {
namespace {

constexpr std::size_t kSeekerOffset = 0x0D;
constexpr std::array<std::uint8_t, 16> kStartSentinel = {
    0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28, 0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
// What each entry of the image area's table holds.
constexpr int kHeaderEntry = 1;
constexpr int kBitmapEntry = 2;
constexpr int kPngEntry = 6;

std::uint32_t littleEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
           std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

std::uint16_t littleEndian16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void checkSignature(std::span<const std::uint8_t> file) {
    if (file.size() < 6 || file[0] != 'A' || file[1] != 'C')
        throw Error(Error::Kind::NotDwg, "o arquivo não é um desenho DWG");
    const std::string code(reinterpret_cast<const char*>(file.data()), 6);
    if (!versionFromCode(code)) throw Error::unsupportedVersion(code);
}

Error damagedImage(const char* detail) {
    return Error::damaged(std::string("imagem de visualização: ") + detail);
}

}  // namespace

std::optional<PreviewImage> readPreview(std::span<const std::uint8_t> file) {
    checkSignature(file);
    if (file.size() < kSeekerOffset + 4) throw damagedImage("cabeçalho truncado");
    const std::uint32_t seeker = littleEndian32(file, kSeekerOffset);
    // Writers that store no image leave the seeker at zero or point it nowhere.
    if (seeker == 0 || seeker >= file.size() || file.size() - seeker < kStartSentinel.size() + 5)
        return std::nullopt;
    const std::span<const std::uint8_t> area = file.subspan(seeker);
    if (!std::equal(kStartSentinel.begin(), kStartSentinel.end(), area.begin()))
        return std::nullopt;
    std::size_t at = kStartSentinel.size() + 4;  // after the overall size
    const int entries = area[at++];
    if (area.size() - at < std::size_t(entries) * 9) throw damagedImage("tabela truncada");
    for (int i = 0; i < entries; ++i, at += 9) {
        const int code = area[at];
        const std::uint32_t start = littleEndian32(area, at + 1);
        const std::uint32_t size = littleEndian32(area, at + 5);
        if (code == kHeaderEntry || (code != kBitmapEntry && code != kPngEntry)) continue;
        // Offsets count from the start of the file.
        if (start >= file.size() || size > file.size() - start || size == 0)
            throw damagedImage("imagem fora do arquivo");
        const std::span<const std::uint8_t> bytes = file.subspan(start, size);
        return PreviewImage{
            code == kPngEntry ? PreviewImage::Format::Png : PreviewImage::Format::Bitmap,
            {bytes.begin(), bytes.end()}};
    }
    return std::nullopt;
}

std::optional<PreviewImage> readPreview(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = readFileBytes(path);
    return readPreview(std::span<const std::uint8_t>(bytes));
}

namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
}

// Where a bitmap's rows are and how to read them, every field checked
// against the bytes there are.
struct BitmapLayout {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    bool topDown = false;
    std::vector<std::uint32_t> palette;
    std::size_t firstRow = 0;
    std::size_t stride = 0;
};

BitmapLayout bitmapLayout(std::span<const std::uint8_t> bitmap) {
    constexpr std::size_t kInfoHeaderSize = 40;
    if (bitmap.size() < kInfoHeaderSize) throw damagedImage("bitmap truncado");
    const std::uint32_t headerSize = littleEndian32(bitmap, 0);
    const auto width = static_cast<std::int32_t>(littleEndian32(bitmap, 4));
    const auto storedHeight = static_cast<std::int32_t>(littleEndian32(bitmap, 8));
    const int bitCount = littleEndian16(bitmap, 14);
    const std::uint32_t compression = littleEndian32(bitmap, 16);
    const std::uint32_t coloursUsed = littleEndian32(bitmap, 32);
    constexpr std::uint32_t kUncompressed = 0;
    if (headerSize < kInfoHeaderSize || headerSize > bitmap.size())
        throw damagedImage("cabeçalho de bitmap inválido");
    if (compression != kUncompressed ||
        (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        throw damagedImage("formato de bitmap não suportado");
    // A negative height stores the rows from the top.
    BitmapLayout layout;
    layout.topDown = storedHeight < 0;
    const std::int64_t height = layout.topDown ? -std::int64_t{storedHeight} : storedHeight;
    if (width <= 0 || height <= 0 || height > std::numeric_limits<std::int32_t>::max())
        throw damagedImage("tamanho de bitmap inválido");
    layout.width = width;
    layout.height = static_cast<int>(height);
    layout.bitCount = bitCount;

    std::size_t at = headerSize;
    if (bitCount <= 8) {
        const std::uint32_t full = 1u << bitCount;
        const std::uint32_t count = coloursUsed == 0 ? full : std::min(coloursUsed, full);
        if ((bitmap.size() - at) / 4 < count) throw damagedImage("paleta truncada");
        for (std::uint32_t i = 0; i < count; ++i, at += 4)
            layout.palette.push_back(std::uint32_t{bitmap[at + 2]} << 16 |
                                     std::uint32_t{bitmap[at + 1]} << 8 | bitmap[at]);
    }
    layout.firstRow = at;
    layout.stride =
        (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
    if ((bitmap.size() - at) / layout.stride < static_cast<std::size_t>(height))
        throw damagedImage("pixels truncados");
    return layout;
}

// Checked before a pixel is decoded.
ImageSize checkedSize(int width, int height) {
    const ImageSize size{width, height};
    if (size.pixels() > kMaxPreviewPixels)
        throw Error(Error::Kind::TooLarge,
                    "imagem de visualização grande demais: " + std::to_string(width) + " × " +
                        std::to_string(height) + " pixels");
    return size;
}

// Row `y` (from the top) as 0xRRGGBB.
void decodeRow(std::span<const std::uint8_t> bitmap, const BitmapLayout& layout, int y,
               std::uint32_t* out) {
    const auto rows = static_cast<std::size_t>(layout.height);
    const std::size_t stored = layout.topDown ? std::size_t(y) : rows - 1 - std::size_t(y);
    const std::uint8_t* row = bitmap.data() + layout.firstRow + stored * layout.stride;
    const int bitCount = layout.bitCount;
    for (std::size_t x = 0; x < static_cast<std::size_t>(layout.width); ++x) {
        if (bitCount >= 24) {
            const std::uint8_t* p = row + x * static_cast<std::size_t>(bitCount / 8);
            out[x] = std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
            continue;
        }
        const std::size_t bit = x * static_cast<std::size_t>(bitCount);
        const int shift = 8 - bitCount - static_cast<int>(bit % 8);
        const std::uint32_t index = (row[bit / 8] >> shift) & ((1u << bitCount) - 1);
        // An index past a short palette is black, as image viewers show it.
        out[x] = index < layout.palette.size() ? layout.palette[index] : 0;
    }
}

}  // namespace

ImageSize imageSize(const PreviewImage& image) {
    const std::span<const std::uint8_t> bytes(image.bytes);
    if (image.format == PreviewImage::Format::Bitmap) {
        const BitmapLayout layout = bitmapLayout(bytes);
        return checkedSize(layout.width, layout.height);
    }
    // The signature, then the IHDR chunk: length, name, width, height.
    constexpr std::size_t kIhdrEnd = 8 + 4 + 4 + 8;
    if (bytes.size() < kIhdrEnd ||
        !std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin()) ||
        std::memcmp(bytes.data() + 12, "IHDR", 4) != 0)
        throw damagedImage("imagem PNG inválida");
    const std::uint32_t width = bigEndian32(bytes, 16);
    const std::uint32_t height = bigEndian32(bytes, 20);
    constexpr std::uint32_t kLargestSide = std::numeric_limits<std::int32_t>::max();
    if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide)
        throw damagedImage("tamanho de imagem PNG inválido");
    return checkedSize(static_cast<int>(width), static_cast<int>(height));
}

void decodeBitmapRows(std::span<const std::uint8_t> bitmap,
                      const std::function<void(std::span<const std::uint32_t>)>& row) {
    const BitmapLayout layout = bitmapLayout(bitmap);
    checkedSize(layout.width, layout.height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(layout.width));
    for (int y = 0; y < layout.height; ++y) {
        decodeRow(bitmap, layout, y, pixels.data());
        row(pixels);
    }
}

Raster decodeBitmap(std::span<const std::uint8_t> bitmap) {
    const BitmapLayout layout = bitmapLayout(bitmap);
    checkedSize(layout.width, layout.height);
    Raster raster;
    raster.width = layout.width;
    raster.height = layout.height;
    const auto width = static_cast<std::size_t>(layout.width);
    raster.pixels.resize(width * static_cast<std::size_t>(layout.height));
    for (int y = 0; y < layout.height; ++y)
        decodeRow(bitmap, layout, y, raster.pixels.data() + std::size_t(y) * width);
    return raster;
}

}  // namespace dwg
