// The two checks of the R2004 container: the Adler-like page checksum and the
// CRC-32 of the encrypted file header.
#pragma once

#include <cstdint>
#include <span>

namespace dwg::container {

// The page checksum of R2004-family files, continued from `seed`.
std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data);

// The standard reflected CRC-32 (polynomial 0xEDB88320), seeded with `seed`.
std::uint32_t crc32(std::uint32_t seed, std::span<const std::uint8_t> data);

}  // namespace dwg::container
