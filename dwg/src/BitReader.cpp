#include "BitReader.h"

#include <bit>
#include <cstring>
#include <string>

#include "Text.h"

namespace dwg::detail {

Handle HandleRef::resolve(Handle ownHandle) const {
    switch (code) {
        case 0x6:
            return ownHandle + 1;
        case 0x8:
            return ownHandle - 1;
        case 0xA:
            return ownHandle + value;
        case 0xC:
            return ownHandle - value;
        default:
            return value;
    }
}

BitReader::BitReader(std::span<const std::uint8_t> bytes)
    : bytes_(bytes), position_(0), end_(bytes.size() * 8) {}

BitReader::BitReader(std::span<const std::uint8_t> bytes, std::size_t bitCount)
    : bytes_(bytes), position_(0), end_(bitCount) {
    if (bitCount > bytes.size() * 8) overrun();
}

void BitReader::overrun() const {
    throw Error::damaged("leitura além do fim dos dados");
}

void BitReader::invalidCode(const char* what) {
    throw Error::damaged(std::string("código de ") + what + " inválido");
}

void BitReader::seek(std::size_t bitPosition) {
    if (bitPosition > end_) overrun();
    position_ = bitPosition;
}

void BitReader::skipBits(std::size_t count) {
    if (count > remainingBits()) overrun();
    position_ += count;
}

void BitReader::alignToByte() {
    const std::size_t aligned = (position_ + 7) & ~std::size_t{7};
    seek(aligned < end_ ? aligned : end_);
}

void BitReader::limit(std::size_t bitPosition) {
    if (bitPosition > end_ || bitPosition < position_) overrun();
    end_ = bitPosition;
}

void BitReader::requireItems(std::uint64_t count, std::size_t minBitsEach, const char* what) const {
    if (minBitsEach == 0) minBitsEach = 1;
    if (count > remainingBits() / minBitsEach)
        throw Error::damaged(std::string("quantidade impossível de ") + what);
}

unsigned BitReader::threeBitCode() {
    unsigned value = 0;
    for (int i = 0; i < 3; ++i) {
        const bool b = bit();
        value = (value << 1) | (b ? 1 : 0);
        if (!b) break;
    }
    return value;
}

void BitReader::readBytes(std::uint8_t* out, std::size_t count) {
    if (count > remainingBits() / 8) overrun();
    for (std::size_t i = 0; i < count; ++i) out[i] = rawChar();
}

Point2 BitReader::rawPoint2() {
    Point2 p;
    p.x = rawDouble();
    p.y = rawDouble();
    return p;
}

Point3 BitReader::rawPoint3() {
    Point3 p;
    p.x = rawDouble();
    p.y = rawDouble();
    p.z = rawDouble();
    return p;
}

std::uint64_t BitReader::bitLongLong() {
    // A plain 3-bit byte count, not the 3B code.
    const auto length = static_cast<unsigned>(bits(3));
    std::uint64_t value = 0;
    for (unsigned i = 0; i < length; ++i) value |= std::uint64_t{rawChar()} << (8 * i);
    return value;
}

double BitReader::bitDoubleDefault(double defaultValue) {
    // The stored bytes replace the low four, or the low six, bytes of the default.
    const auto bits = std::bit_cast<std::uint64_t>(defaultValue);
    switch (twoBits()) {
        case 0:
            return defaultValue;
        case 1: {
            const auto low = static_cast<std::uint32_t>(rawLong());
            return std::bit_cast<double>((bits & 0xFFFFFFFF00000000u) | low);
        }
        case 2: {
            const auto middle = static_cast<std::uint16_t>(rawShort());
            const auto low = static_cast<std::uint32_t>(rawLong());
            return std::bit_cast<double>((bits & 0xFFFF000000000000u) |
                                         std::uint64_t{middle} << 32 | low);
        }
        default:
            return rawDouble();
    }
}

Point2 BitReader::bitPoint2() {
    Point2 p;
    p.x = bitDouble();
    p.y = bitDouble();
    return p;
}

Point3 BitReader::bitPoint3() {
    Point3 p;
    p.x = bitDouble();
    p.y = bitDouble();
    p.z = bitDouble();
    return p;
}

std::int64_t BitReader::modularChar() {
    std::uint64_t value = 0;
    for (int i = 0; i < 5; ++i) {
        const std::uint8_t b = rawChar();
        if (b & 0x80) {
            value |= std::uint64_t{b & 0x7Fu} << (7 * i);
            continue;
        }
        value |= std::uint64_t{b & 0x3Fu} << (7 * i);
        const auto magnitude = static_cast<std::int64_t>(value);
        return (b & 0x40) ? -magnitude : magnitude;
    }
    throw Error::damaged("inteiro modular longo demais");
}

std::uint64_t BitReader::unsignedModularChar() {
    // Most values end within the seven bytes one look at the bits shows.
    if (remainingBits() >= 56) {
        const std::uint64_t ahead = peek();
        std::uint64_t value = 0;
        for (unsigned i = 0; i < 7; ++i) {
            const auto b = static_cast<unsigned>(ahead >> (56 - 8 * i)) & 0xFFu;
            value |= std::uint64_t{b & 0x7Fu} << (7 * i);
            if (!(b & 0x80)) {
                position_ += 8 * (i + 1);
                return value;
            }
        }
    }
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint8_t b = rawChar();
        value |= std::uint64_t{b & 0x7Fu} << (7 * i);
        if (!(b & 0x80)) return value;
    }
    throw Error::damaged("inteiro modular longo demais");
}

std::uint32_t BitReader::modularShort() {
    if (remainingBits() >= 32) {
        const auto ahead = static_cast<std::uint32_t>(peek() >> 32);
        const std::uint32_t first = (ahead >> 24) | (ahead >> 8 & 0xFF00u);
        if (!(first & 0x8000)) {
            position_ += 16;
            return first;
        }
        const std::uint32_t second = (ahead >> 8 & 0xFFu) | (ahead << 8 & 0xFF00u);
        if (!(second & 0x8000)) {
            position_ += 32;
            return (first & 0x7FFFu) | second << 15;
        }
    }
    std::uint32_t value = 0;
    for (int i = 0; i < 2; ++i) {
        const std::uint16_t word = static_cast<std::uint16_t>(rawShort());
        value |= std::uint32_t{word & 0x7FFFu} << (15 * i);
        if (!(word & 0x8000)) return value;
    }
    throw Error::damaged("tamanho de objeto longo demais");
}

std::string BitReader::rawText() {
    const auto length = static_cast<std::uint16_t>(bitShort());
    if (length > remainingBits() / 8) overrun();
    std::string text(length, '\0');
    readBytes(reinterpret_cast<std::uint8_t*>(text.data()), length);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string BitReader::unicodeText() {
    const auto length = static_cast<std::uint16_t>(bitShort());
    if (length > remainingBits() / 16) overrun();
    std::u16string units(length, u'\0');
    for (auto& unit : units) unit = static_cast<char16_t>(static_cast<std::uint16_t>(rawShort()));
    while (!units.empty() && units.back() == u'\0') units.pop_back();
    return utf16ToUtf8(units);
}

std::array<std::uint8_t, 16> BitReader::sentinel() {
    std::array<std::uint8_t, 16> value{};
    readBytes(value.data(), value.size());
    return value;
}

double BitReader::thickness(Version version) {
    if (version >= Version::R2000 && bit()) return 0.0;
    return bitDouble();
}

Point3 BitReader::extrusion(Version version) {
    if (version >= Version::R2000 && bit()) return kDefaultExtrusion;
    return bitPoint3();
}

Color BitReader::color(Version version, BitReader& strings) {
    const int index = bitShort();
    if (version < Version::R2004) return Color::fromIndex(index);
    const auto value = static_cast<std::uint32_t>(bitLong());
    const std::uint8_t nameFlags = rawChar();
    // Colour and book names tell nothing needed for drawing; read past them.
    if (nameFlags & 1)
        (void)(version >= Version::R2007 ? strings.unicodeText() : strings.rawText());
    if (nameFlags & 2)
        (void)(version >= Version::R2007 ? strings.unicodeText() : strings.rawText());
    switch (value >> 24) {
        case 0xC0:
            return Color{};
        case 0xC1:
            return Color{Color::Kind::ByBlock, 0, 0};
        case 0xC2:
            return Color::fromTrueColor(value & 0xFFFFFF);
        case 0xC3:
            return Color::fromIndex(static_cast<int>(value & 0xFF));
        default:
            return Color::fromIndex(index);
    }
}

}  // namespace dwg::detail
