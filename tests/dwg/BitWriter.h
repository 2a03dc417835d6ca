// Builds DWG bit streams for tests of the record parsers: each value in one
// valid encoding (the full-width forms of BS, BL and BD).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

class BitWriter {
  public:
    BitWriter& bit(bool value) {
        if (count_ % 8 == 0) bytes_.push_back(0);
        if (value) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (count_ % 8));
        ++count_;
        return *this;
    }
    BitWriter& bits(std::uint64_t value, int width) {
        for (int i = width - 1; i >= 0; --i) bit((value >> i) & 1);
        return *this;
    }
    BitWriter& rawChar(std::uint8_t value) { return bits(value, 8); }
    BitWriter& rawLittleEndian(std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) rawChar(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }
    BitWriter& rawShort(std::int16_t value) {
        return rawLittleEndian(static_cast<std::uint16_t>(value), 2);
    }
    BitWriter& rawLong(std::int32_t value) {
        return rawLittleEndian(static_cast<std::uint32_t>(value), 4);
    }
    BitWriter& rawDouble(double value) {
        std::uint64_t raw;
        std::memcpy(&raw, &value, sizeof raw);
        return rawLittleEndian(raw, 8);
    }
    BitWriter& bitShort(std::int16_t value) { return bits(0, 2).rawShort(value); }
    BitWriter& bitLong(std::int32_t value) { return bits(0, 2).rawLong(value); }
    BitWriter& bitDouble(double value) { return bits(0, 2).rawDouble(value); }
    BitWriter& point3(double x, double y, double z) {
        return bitDouble(x).bitDouble(y).bitDouble(z);
    }
    // T before R2007: BS length, then the bytes.
    BitWriter& text(const std::string& value) {
        bitShort(static_cast<std::int16_t>(value.size()));
        for (char c : value) rawChar(static_cast<std::uint8_t>(c));
        return *this;
    }
    // TU from R2007: BS count of UTF-16 units, then the units (ASCII here).
    BitWriter& unicodeText(const std::string& value) {
        bitShort(static_cast<std::int16_t>(value.size()));
        for (char c : value) rawShort(static_cast<std::int16_t>(static_cast<unsigned char>(c)));
        return *this;
    }
    // CMC from R2004: index 0, the colour as a method byte and value, no names.
    BitWriter& colorIndex(std::uint8_t index) {
        return bitShort(0).bitLong(static_cast<std::int32_t>(0xC3000000u | index)).rawChar(0);
    }
    BitWriter& append(const BitWriter& other) {
        for (std::size_t i = 0; i < other.count_; ++i)
            bit((other.bytes_[i / 8] >> (7 - i % 8)) & 1);
        return *this;
    }
    // H: code, byte count, value most significant byte first.
    BitWriter& handle(int code, std::uint64_t value) {
        int length = 0;
        for (std::uint64_t v = value; v; v >>= 8) ++length;
        rawChar(static_cast<std::uint8_t>(code << 4 | length));
        for (int i = length - 1; i >= 0; --i) rawChar(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::size_t bitCount() const { return count_; }

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t count_ = 0;
};

}  // namespace testsupport
