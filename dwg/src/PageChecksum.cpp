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
        std::size_t i = 0;
        // Sixteen bytes at a time: each adds to `high` once per byte after it.
        for (; i + 16 <= chunk; i += 16) {
            high += 16 * low;
            std::uint32_t sum = 0;
            std::uint32_t weighted = 0;
            for (std::uint32_t k = 0; k < 16; ++k) {
                sum += data[i + k];
                weighted += (16 - k) * data[i + k];
            }
            low += sum;
            high += weighted;
        }
        for (; i < chunk; ++i) {
            low += data[i];
            high += low;
        }
        low %= 0xFFF1;
        high %= 0xFFF1;
        data = data.subspan(chunk);
    }
    return (high << 16) | (low & 0xFFFF);
}

std::uint32_t r2007PageChecksum(std::uint64_t seed, std::span<const std::uint8_t> data) {
    seed = (seed + data.size()) * 0x343FD + 0x269EC3;
    std::uint32_t low = seed & 0xFFFF;
    std::uint32_t high = (seed >> 16) & 0xFFFF;
    auto add = [&](std::size_t at) {
        low += data[at];
        high += low;
    };
    auto addPair = [&](std::size_t at) {
        add(at);
        add(at + 1);
    };
    // The pieces of a group of 1-7 bytes left at the end of a run, in stored order.
    static constexpr std::array<std::array<std::int8_t, 4>, 8> kTail = {{
        {-1, -1, -1, -1},
        {-1, -1, -1, 0},  // byte 0
        {0, -1, -1, -1},  // pair 0
        {0, -1, -1, 2},   // pair 0, byte 2
        {2, 0, -1, -1},   // pairs 2, 0
        {2, 0, -1, 4},    // pairs 2, 0, byte 4
        {2, 0, 4, -1},    // pairs 2, 0, 4
        {2, 0, 4, 6},     // pairs 2, 0, 4, byte 6
    }};
    std::size_t at = 0;
    while (at < data.size()) {
        const std::size_t run = std::min<std::size_t>(0x15B0, data.size() - at);
        const std::size_t end = at + run;
        for (; at + 8 <= end; at += 8) {
            addPair(at + 6);
            addPair(at + 4);
            addPair(at + 2);
            addPair(at);
        }
        const auto& tail = kTail[end - at];
        for (int i = 0; i < 3; ++i)
            if (tail[static_cast<std::size_t>(i)] >= 0)
                addPair(at + static_cast<std::size_t>(tail[static_cast<std::size_t>(i)]));
        if (tail[3] >= 0) add(at + static_cast<std::size_t>(tail[3]));
        at = end;
        low %= 0xFFF1;
        high %= 0xFFF1;
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
