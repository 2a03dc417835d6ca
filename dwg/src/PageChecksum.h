// The two checks of the R2004 container: the Adler-like page checksum and the
// CRC-32 of the encrypted file header.
#pragma once

#include <cstdint>
#include <span>

namespace dwg::container {

// The page checksum of R2004-family files, continued from `seed`.
std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data);

// The page checksum of R2007 (AC1021) data pages, over the expanded page.
// Its sums start from the seed and the length mixed by the file's random
// generator, and take each 8-byte group as four byte pairs in reverse order.
std::uint32_t r2007PageChecksum(std::uint64_t seed, std::span<const std::uint8_t> data);

// The standard reflected CRC-32 (polynomial 0xEDB88320), seeded with `seed`.
std::uint32_t crc32(std::uint32_t seed, std::span<const std::uint8_t> data);

}  // namespace dwg::container
