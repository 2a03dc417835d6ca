#include "BitWriter.h"

#include <bit>
#include <cstring>

namespace dwg::detail {
namespace {

std::uint64_t bitsOf(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

// The low `count` bytes of `value` in reverse order.
std::uint64_t reversedBytes(std::uint64_t value, int count) {
    std::uint64_t result = 0;
    for (int i = 0; i < count; ++i) result = result << 8 | ((value >> (8 * i)) & 0xFF);
    return result;
}

}  // namespace

std::vector<std::uint8_t> BitWriter::take() {
    if (pendingBits_ > 0)
        bytes_.push_back(static_cast<std::uint8_t>(pending_ << (8 - pendingBits_)));
    pending_ = 0;
    pendingBits_ = 0;
    return std::move(bytes_);
}

void BitWriter::append(BitWriter&& other) {
    const int tailBits = other.pendingBits_;
    const std::uint64_t tail = other.pending_;
    const std::vector<std::uint8_t> bytes = std::move(other.bytes_);
    other = BitWriter();
    rawBytes(bytes);
    bits(tail, tailBits);
}

// Little-endian bytes, each most significant bit first, are the byte-swapped
// value written most significant bit first.
void BitWriter::rawShort(std::int16_t value) {
    bits(reversedBytes(static_cast<std::uint16_t>(value), 2), 16);
}

void BitWriter::rawLong(std::int32_t value) {
    bits(reversedBytes(static_cast<std::uint32_t>(value), 4), 32);
}

void BitWriter::rawDouble(double value) {
    const std::uint64_t swapped = reversedBytes(bitsOf(value), 8);
    bits(swapped >> 32, 32);
    bits(swapped & 0xFFFFFFFF, 32);
}

void BitWriter::rawPoint2(const Point2& p) {
    rawDouble(p.x);
    rawDouble(p.y);
}

void BitWriter::rawBytes(std::span<const std::uint8_t> bytes) {
    if (pendingBits_ == 0) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return;
    }
    for (std::uint8_t b : bytes) rawChar(b);
}

void BitWriter::bitShort(std::int16_t value) {
    if (value == 0) {
        twoBits(2);
    } else if (value == 256) {
        twoBits(3);
    } else if (value > 0 && value < 256) {
        twoBits(1);
        rawChar(static_cast<std::uint8_t>(value));
    } else {
        twoBits(0);
        rawShort(value);
    }
}

void BitWriter::bitLong(std::int32_t value) {
    if (value == 0) {
        twoBits(2);
    } else if (value > 0 && value < 256) {
        twoBits(1);
        rawChar(static_cast<std::uint8_t>(value));
    } else {
        twoBits(0);
        rawLong(value);
    }
}

void BitWriter::bitDouble(double value) {
    // Compared by bits: -0.0 must not come back as 0.0.
    if (bitsOf(value) == bitsOf(0.0)) {
        twoBits(2);
    } else if (bitsOf(value) == bitsOf(1.0)) {
        twoBits(1);
    } else {
        twoBits(0);
        rawDouble(value);
    }
}

void BitWriter::bitDoubleDefault(double value, double defaultValue) {
    const std::uint64_t v = bitsOf(value);
    const std::uint64_t d = bitsOf(defaultValue);
    if (v == d) {
        twoBits(0);
    } else if ((v >> 32) == (d >> 32)) {
        twoBits(1);
        for (int i = 0; i < 4; ++i) rawChar(static_cast<std::uint8_t>(v >> (8 * i)));
    } else if ((v >> 48) == (d >> 48)) {
        twoBits(2);
        rawChar(static_cast<std::uint8_t>(v >> 32));
        rawChar(static_cast<std::uint8_t>(v >> 40));
        for (int i = 0; i < 4; ++i) rawChar(static_cast<std::uint8_t>(v >> (8 * i)));
    } else {
        twoBits(3);
        rawDouble(value);
    }
}

void BitWriter::bitPoint2(const Point2& p) {
    bitDouble(p.x);
    bitDouble(p.y);
}

void BitWriter::bitPoint3(const Point3& p) {
    bitDouble(p.x);
    bitDouble(p.y);
    bitDouble(p.z);
}

void BitWriter::thickness(double value) {
    const bool isDefault = bitsOf(value) == bitsOf(0.0);
    bit(isDefault);
    if (!isDefault) bitDouble(value);
}

void BitWriter::extrusion(const Point3& value) {
    const bool isDefault = bitsOf(value.x) == bitsOf(0.0) && bitsOf(value.y) == bitsOf(0.0) &&
                           bitsOf(value.z) == bitsOf(1.0);
    bit(isDefault);
    if (!isDefault) bitPoint3(value);
}

void BitWriter::handle(Ref code, Handle value) {
    int length = 0;
    for (Handle rest = value; rest != 0; rest >>= 8) ++length;
    rawChar(static_cast<std::uint8_t>(static_cast<unsigned>(code) << 4 | length));
    for (int i = length - 1; i >= 0; --i) rawChar(static_cast<std::uint8_t>(value >> (8 * i)));
}

void BitWriter::text(std::string_view codePageBytes) {
    bitShort(static_cast<std::int16_t>(codePageBytes.size()));
    rawBytes(std::span(reinterpret_cast<const std::uint8_t*>(codePageBytes.data()),
                       codePageBytes.size()));
}

void BitWriter::bitLongLong(std::uint64_t value) {
    int length = 0;
    for (std::uint64_t rest = value; rest != 0; rest >>= 8) ++length;
    bits(static_cast<std::uint64_t>(length), 3);
    for (int i = 0; i < length; ++i) rawChar(static_cast<std::uint8_t>(value >> (8 * i)));
}

void BitWriter::unicodeText(std::u16string_view units) {
    bitShort(static_cast<std::int16_t>(units.size()));
    for (char16_t unit : units) rawShort(static_cast<std::int16_t>(unit));
}

void patchRawLong(std::vector<std::uint8_t>& bytes, std::size_t bitPosition, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 32; ++i) {
        const std::size_t at = bitPosition + static_cast<std::size_t>(i);
        const int shift = 7 - static_cast<int>(at & 7);
        // Byte k of the little-endian value, its bits most significant first.
        const bool set = (v >> (8 * (i / 8) + 7 - (i % 8))) & 1;
        std::uint8_t& byte = bytes[at >> 3];
        byte = static_cast<std::uint8_t>(set ? byte | (1u << shift) : byte & ~(1u << shift));
    }
}

void appendRawShort(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendRawLong(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putRawLong(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

void appendModularShort(std::vector<std::uint8_t>& out, std::uint32_t value) {
    if (value < 0x8000) {
        appendRawShort(out, static_cast<std::uint16_t>(value));
        return;
    }
    appendRawShort(out, static_cast<std::uint16_t>((value & 0x7FFF) | 0x8000));
    appendRawShort(out, static_cast<std::uint16_t>(value >> 15));
}

void appendModularChar(std::vector<std::uint8_t>& out, std::int64_t value) {
    const bool negative = value < 0;
    auto magnitude = static_cast<std::uint64_t>(negative ? -value : value);
    // Full 7-bit groups while more than 6 bits remain; the last byte keeps bit 6 for the sign.
    while (magnitude > 0x3F) {
        out.push_back(static_cast<std::uint8_t>(0x80 | (magnitude & 0x7F)));
        magnitude >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(magnitude | (negative ? 0x40 : 0)));
}

void appendUnsignedModularChar(std::vector<std::uint8_t>& out, std::uint64_t value) {
    while (value > 0x7F) {
        out.push_back(static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
        value >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(value));
}

}  // namespace dwg::detail
