#pragma once

#include <cstdint>
#include <span>

namespace dwg::detail {

// The 16-bit CRC (reflected polynomial 0xA001) that guards R13+ sections and objects.
inline constexpr std::uint16_t kCrcSeed = 0xC0C1;
std::uint16_t crc16(std::span<const std::uint8_t> bytes, std::uint16_t seed = kCrcSeed);

// Whether `bytes` carry the CRC `stored`. Fuzzing builds accept any value, so
// that mutated inputs reach the parsers behind the checks.
bool crcMatches(std::span<const std::uint8_t> bytes, std::uint16_t stored);

}  // namespace dwg::detail
