// Bit-level access to DWG data. Bits are taken most significant first from
// each byte; multi-byte raw values are little-endian and may start at any bit.
// Every read is checked against the end of the window: reading past it throws
// dwg::Error (damaged file), never reads outside the buffer.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Error.h>
#include <dwg/Version.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace dwg::detail {

// A handle reference as stored: code in the high nibble, then up to 8 bytes.
struct HandleRef {
    int code = 0;
    Handle value = 0;

    // Codes 6, 8, 0xA and 0xC are relative to the handle of the object being read.
    Handle resolve(Handle ownHandle) const;
};

class BitReader {
  public:
    BitReader() = default;
    explicit BitReader(std::span<const std::uint8_t> bytes);
    // A window of `bitCount` bits starting at byte 0 of `bytes`.
    BitReader(std::span<const std::uint8_t> bytes, std::size_t bitCount);

    std::size_t position() const { return position_; }
    std::size_t endPosition() const { return end_; }
    std::size_t remainingBits() const { return end_ - position_; }
    bool atEnd() const { return position_ >= end_; }
    void seek(std::size_t bitPosition);
    void skipBits(std::size_t count);
    void skipBytes(std::size_t count) { skipBits(count * 8); }
    void alignToByte();
    // Shortens the window; later reads stop at `bitPosition`.
    void limit(std::size_t bitPosition);

    // Throws unless `count` items of at least `minBitsEach` bits can still be read:
    // keeps counts from a damaged file from reserving absurd amounts of memory.
    void requireItems(std::uint64_t count, std::size_t minBitsEach, const char* what) const;

    // The most used codes are defined here, inline.
    bool bit() { return bits(1) != 0; }                                    // B
    unsigned twoBits() { return static_cast<unsigned>(bits(2)); }          // BB
    unsigned threeBitCode();                                               // 3B
    std::int16_t bitShort();                                               // BS
    std::int32_t bitLong();                                                // BL
    std::uint64_t bitLongLong();                                           // BLL
    double bitDouble();                                                    // BD
    double bitDoubleDefault(double defaultValue);                          // DD
    Point2 bitPoint2();                                                    // 2BD
    Point3 bitPoint3();                                                    // 3BD
    std::uint8_t rawChar() { return static_cast<std::uint8_t>(bits(8)); }  // RC
    std::int16_t rawShort();                                               // RS
    std::int32_t rawLong();                                                // RL
    std::uint64_t rawLongLong();                                           // RLL
    double rawDouble() { return std::bit_cast<double>(rawLongLong()); }    // RD
    Point2 rawPoint2();                                                    // 2RD
    Point3 rawPoint3();                                                    // 3RD
    std::int64_t modularChar();                                            // MC, signed
    std::uint64_t unsignedModularChar();                                   // UMC
    std::uint32_t modularShort();                                          // MS
    HandleRef handle();                                                    // H
    std::string rawText();                    // T: code-page bytes, trailing NULs removed
    std::string unicodeText();                // TU: converted to UTF-8
    std::array<std::uint8_t, 16> sentinel();  // SN
    void readBytes(std::uint8_t* out, std::size_t count);

    // Codes whose layout depends on the file version.
    double thickness(Version version);  // BT
    Point3 extrusion(Version version);  // BE
    // CMC; the colour and book names of R2007+ live in the string stream.
    Color color(Version version, BitReader& strings);

    std::span<const std::uint8_t> bytes() const { return bytes_; }

    // The next `count` bits (1 to 57) as a number, first bit highest.
    std::uint64_t bits(unsigned count) {
        if (count > end_ - position_) overrun();
        const std::uint64_t value = peek() >> (64 - count);
        position_ += count;
        return value;
    }

  private:
    [[noreturn]] void overrun() const;
    [[noreturn]] static void invalidCode(const char* what);

    // At least the next 57 bits, first bit highest, without taking them;
    // zero beyond the end of the bytes.
    std::uint64_t peek() const { return window() << (position_ & 7); }

    // The eight bytes from the one holding the current bit, first byte highest;
    // zero beyond the end of the bytes.
    std::uint64_t window() const {
        const std::size_t index = position_ >> 3;
        const std::uint8_t* at = bytes_.data() + index;
        std::uint64_t value = 0;
        if (index + 8 <= bytes_.size()) [[likely]] {
            std::memcpy(&value, at, 8);
            if constexpr (std::endian::native == std::endian::little) {
                value = (value & 0x00000000FFFFFFFFu) << 32 | (value & 0xFFFFFFFF00000000u) >> 32;
                value = (value & 0x0000FFFF0000FFFFu) << 16 | (value & 0xFFFF0000FFFF0000u) >> 16;
                value = (value & 0x00FF00FF00FF00FFu) << 8 | (value & 0xFF00FF00FF00FF00u) >> 8;
            }
            return value;
        }
        for (std::size_t i = 0; i < 8; ++i)
            value = value << 8 | (index + i < bytes_.size() ? at[i] : 0u);
        return value;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
};

inline std::int16_t BitReader::rawShort() {
    const auto value = static_cast<unsigned>(bits(16));
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value >> 8 | (value & 0xFF) << 8));
}

inline std::int32_t BitReader::rawLong() {
    const auto value = static_cast<std::uint32_t>(bits(32));
    return static_cast<std::int32_t>(value >> 24 | (value >> 8 & 0xFF00) | (value << 8 & 0xFF0000) |
                                     value << 24);
}

inline std::uint64_t BitReader::rawLongLong() {
    const auto low = static_cast<std::uint32_t>(rawLong());
    const auto high = static_cast<std::uint32_t>(rawLong());
    return std::uint64_t{high} << 32 | low;
}

inline std::int16_t BitReader::bitShort() {
    switch (twoBits()) {
        case 0:
            return rawShort();
        case 1:
            return rawChar();
        case 2:
            return 0;
        default:
            return 256;
    }
}

inline std::int32_t BitReader::bitLong() {
    switch (twoBits()) {
        case 0:
            return rawLong();
        case 1:
            return rawChar();
        case 2:
            return 0;
        default:
            invalidCode("inteiro");
    }
}

inline double BitReader::bitDouble() {
    switch (twoBits()) {
        case 0:
            return rawDouble();
        case 1:
            return 1.0;
        case 2:
            return 0.0;
        default:
            invalidCode("número real");
    }
}

inline HandleRef BitReader::handle() {
    // Code and byte count in one byte, then the bytes, highest first: up to
    // six of them come out of one look at the bits.
    const std::uint64_t ahead = peek();
    const auto first = static_cast<unsigned>(ahead >> 56);
    HandleRef ref;
    ref.code = static_cast<int>(first >> 4);
    const unsigned counter = first & 0x0Fu;
    if (counter > 8) invalidCode("handle");
    if (counter > 6) {
        rawChar();
        ref.value = bits(32) << (8 * counter - 32);
        ref.value |= bits(8 * counter - 32);
        return ref;
    }
    const unsigned length = 8 + 8 * counter;
    if (length > end_ - position_) overrun();
    position_ += length;
    if (counter > 0) ref.value = (ahead << 8) >> (64 - 8 * counter);
    return ref;
}

}  // namespace dwg::detail
