// Writing DWG bit streams: the mirror of BitReader. Bits go most significant
// first into each byte; raw multi-byte values are little-endian and may start
// at any bit. Every compressed code is written in its shortest exact form, so
// that a value read back compares equal bit for bit.
#pragma once

#include <dwg/Drawing.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace dwg::detail {

// Handle reference codes used by the writer.
enum class Ref : std::uint8_t {
    Own = 0,          // an object's own handle, HANDSEED
    SoftOwner = 2,    // table and dictionary entries
    HardOwner = 3,    // control objects, BLOCK/ENDBLK, xdictionaries
    SoftPointer = 4,  // owners, reactors, entity links
    HardPointer = 5,  // layers, linetypes, styles, blocks
};

class BitWriter {
  public:
    std::size_t position() const { return bytes_.size() * 8 + pendingBits_; }
    // Everything written, the last byte padded with zero bits; the writer is emptied.
    std::vector<std::uint8_t> take();
    // Appends everything `other` holds, bit for bit.
    void append(BitWriter&& other);

    void bit(bool value) { bits(value ? 1 : 0, 1); }
    // The low `count` bits of `value` (at most 32), most significant first.
    void bits(std::uint64_t value, int count) {
        pending_ = pending_ << count | (value & ((std::uint64_t{1} << count) - 1));
        pendingBits_ += count;
        while (pendingBits_ >= 8) {
            pendingBits_ -= 8;
            bytes_.push_back(static_cast<std::uint8_t>(pending_ >> pendingBits_));
        }
    }
    void twoBits(unsigned value) { bits(value, 2); }
    void rawChar(std::uint8_t value) { bits(value, 8); }
    void rawShort(std::int16_t value);
    void rawLong(std::int32_t value);
    void rawDouble(double value);
    void rawPoint2(const Point2& p);
    void rawBytes(std::span<const std::uint8_t> bytes);

    void bitShort(std::int16_t value);
    void bitLong(std::int32_t value);
    void bitLongLong(std::uint64_t value);  // BLL: 3-bit byte count, then the bytes
    void bitDouble(double value);
    void bitDoubleDefault(double value, double defaultValue);  // DD
    void bitPoint2(const Point2& p);
    void bitPoint3(const Point3& p);
    void thickness(double value);               // BT
    void extrusion(const Point3& value);        // BE
    void handle(Ref code, Handle value);        // H
    void text(std::string_view codePageBytes);  // T: BS length, then the bytes
    void unicodeText(std::u16string_view units);  // TU: BS count, then UTF-16LE units

  private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t pending_ = 0;  // bits not yet making a whole byte, in the low `pendingBits_`
    int pendingBits_ = 0;
};

// Overwrites the raw long written at `bitPosition` of `bytes` (a field only
// known once the rest is written, as an object's data size).
void patchRawLong(std::vector<std::uint8_t>& bytes, std::size_t bitPosition, std::int32_t value);

// Byte-level helpers for the parts of a file that are not bit streams.
void appendRawShort(std::vector<std::uint8_t>& out, std::uint16_t value);
void appendRawLong(std::vector<std::uint8_t>& out, std::uint32_t value);
void putRawLong(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value);
// MS: object sizes, 15 bits per little-endian word.
void appendModularShort(std::vector<std::uint8_t>& out, std::uint32_t value);
// MC (signed) and UMC (unsigned): 7 bits per byte, the object map's deltas.
void appendModularChar(std::vector<std::uint8_t>& out, std::int64_t value);
void appendUnsignedModularChar(std::vector<std::uint8_t>& out, std::uint64_t value);

}  // namespace dwg::detail
