#include "PageChecksum.h"

#include <algorithm>
#include <array>

namespace dwg::container {

std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data) {
    std::uint32_t low = seed & 0xFFFF;
    std::uint32_t high = seed >> 16;
    while (!data.empty()) {
        // The largest run whose sums cannot overflow before the reduction.
        const std::size_t chunk = std::min<std::size_t>(0x15B0, data.size());
        for (std::size_t i = 0; i < chunk; ++i) {
            low += data[i];
            high += low;
        }
        low %= 0xFFF1;
        high %= 0xFFF1;
        data = data.subspan(chunk);
    }
    return (high << 16) | (low & 0xFFFF);
}

namespace {

constexpr std::array<std::uint32_t, 256> makeCrc32Table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr auto kCrc32Table = makeCrc32Table();

}  // namespace

std::uint32_t crc32(std::uint32_t seed, std::span<const std::uint8_t> data) {
    std::uint32_t c = ~seed;
    for (const std::uint8_t byte : data) c = kCrc32Table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return ~c;
}

}  // namespace dwg::container
