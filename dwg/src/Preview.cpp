#include <dwg/Preview.h>
#include <dwg/Version.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include <dwg/Reader.h>

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

Raster decodeBitmap(std::span<const std::uint8_t> bitmap) {
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
    const bool topDown = storedHeight < 0;
    const std::int64_t height = topDown ? -std::int64_t{storedHeight} : storedHeight;
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide)
        throw damagedImage("tamanho de bitmap inválido");

    std::size_t at = headerSize;
    std::vector<std::uint32_t> palette;
    if (bitCount <= 8) {
        const std::uint32_t full = 1u << bitCount;
        const std::uint32_t count = coloursUsed == 0 ? full : std::min(coloursUsed, full);
        if ((bitmap.size() - at) / 4 < count) throw damagedImage("paleta truncada");
        for (std::uint32_t i = 0; i < count; ++i, at += 4)
            palette.push_back(std::uint32_t{bitmap[at + 2]} << 16 |
                              std::uint32_t{bitmap[at + 1]} << 8 | bitmap[at]);
    }
    const std::size_t stride = (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
    const auto rows = static_cast<std::size_t>(height);
    if ((bitmap.size() - at) / stride < rows) throw damagedImage("pixels truncados");

    Raster raster;
    raster.width = width;
    raster.height = static_cast<int>(height);
    raster.pixels.resize(static_cast<std::size_t>(width) * rows);
    for (std::size_t y = 0; y < rows; ++y) {
        const std::size_t stored = topDown ? y : rows - 1 - y;
        const std::uint8_t* row = bitmap.data() + at + stored * stride;
        std::uint32_t* out = raster.pixels.data() + y * static_cast<std::size_t>(width);
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
            if (bitCount >= 24) {
                const std::uint8_t* p = row + x * static_cast<std::size_t>(bitCount / 8);
                out[x] = std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
                continue;
            }
            const std::size_t bit = x * static_cast<std::size_t>(bitCount);
            const int shift = 8 - bitCount - static_cast<int>(bit % 8);
            const std::uint32_t index = (row[bit / 8] >> shift) & ((1u << bitCount) - 1);
            // An index past a short palette is black, as image viewers show it.
            out[x] = index < palette.size() ? palette[index] : 0;
        }
    }
    return raster;
}

}  // namespace dwg
