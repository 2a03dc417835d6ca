// Bit-level access to DWG data. Bits are taken most significant first from
// each byte; multi-byte raw values are little-endian and may start at any bit.
// Every read is checked against the end of the window: reading past it throws
// dwg::Error (damaged file), never reads outside the buffer.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Error.h>
#include <dwg/Version.h>

#include <array>
#include <cstddef>
#include <cstdint>
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

    bool bit();                                    // B
    unsigned twoBits();                            // BB
    unsigned threeBitCode();                       // 3B
    std::int16_t bitShort();                       // BS
    std::int32_t bitLong();                        // BL
    std::uint64_t bitLongLong();                   // BLL
    double bitDouble();                            // BD
    double bitDoubleDefault(double defaultValue);  // DD
    Point2 bitPoint2();                            // 2BD
    Point3 bitPoint3();                            // 3BD
    std::uint8_t rawChar();                        // RC
    std::int16_t rawShort();                       // RS
    std::int32_t rawLong();                        // RL
    std::uint64_t rawLongLong();                   // RLL
    double rawDouble();                            // RD
    Point2 rawPoint2();                            // 2RD
    Point3 rawPoint3();                            // 3RD
    std::int64_t modularChar();                    // MC, signed
    std::uint64_t unsignedModularChar();           // UMC
    std::uint32_t modularShort();                  // MS
    HandleRef handle();                            // H
    std::string rawText();                         // T: code-page bytes, trailing NULs removed
    std::string unicodeText();                     // TU: converted to UTF-8
    std::array<std::uint8_t, 16> sentinel();       // SN
    void readBytes(std::uint8_t* out, std::size_t count);

    // Codes whose layout depends on the file version.
    double thickness(Version version);  // BT
    Point3 extrusion(Version version);  // BE
    // CMC; the colour and book names of R2007+ live in the string stream.
    Color color(Version version, BitReader& strings);

    std::span<const std::uint8_t> bytes() const { return bytes_; }

  private:
    [[noreturn]] void overrun() const;
    std::uint8_t byteAtBit();

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
};

}  // namespace dwg::detail
