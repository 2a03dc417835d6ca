#include "Crc.h"

#include <array>

namespace dwg::detail {
namespace {

constexpr std::array<std::uint16_t, 256> makeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xA001 : value >> 1;
        table[i] = static_cast<std::uint16_t>(value);
    }
    return table;
}

constexpr auto kTable = makeTable();

}  // namespace

std::uint16_t crc16(std::span<const std::uint8_t> bytes, std::uint16_t seed) {
    unsigned crc = seed;
    for (std::uint8_t byte : bytes) crc = (crc >> 8) ^ kTable[(crc ^ byte) & 0xFF];
    return static_cast<std::uint16_t>(crc);
}

bool crcMatches(std::span<const std::uint8_t> bytes, std::uint16_t stored) {
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    (void)bytes;
    (void)stored;
    return true;
#else
    return crc16(bytes) == stored;
#endif
}

}  // namespace dwg::detail
