// The R2004 LZ77 variant, compressing: greedy matches found through a hash
// of three bytes, in the opcodes the decoder takes (see Lz77R2004.cpp).
#include <algorithm>
#include <array>

#include "WriterLz77.h"

namespace dwg::detail {
namespace {

constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxDistance = 0x4000;  // the two-byte form; pages are smaller anyway
constexpr int kChainLimit = 24;
constexpr std::size_t kHashBits = 15;

// A count past what its field holds: zero bytes of 0xFF each, then the rest.
void appendExtended(std::vector<std::uint8_t>& out, std::size_t value) {
    while (value > 0xFF) {
        out.push_back(0);
        value -= 0xFF;
    }
    out.push_back(static_cast<std::uint8_t>(value));
}

// A run of four or more literal bytes with its length byte.
void appendLiterals(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    if (bytes.size() <= 18) {
        out.push_back(static_cast<std::uint8_t>(bytes.size() - 3));
    } else {
        out.push_back(0);
        appendExtended(out, bytes.size() - 18);
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// A copy of `length` bytes from `distance` back; `literals` (0-3) is how many
// literal bytes follow without a length byte of their own.
void appendMatch(std::vector<std::uint8_t>& out, std::size_t length, std::size_t distance,
                 unsigned literals) {
    const std::size_t d = distance - 1;
    if (length <= 14 && distance <= 1024) {
        out.push_back(static_cast<std::uint8_t>((length + 1) << 4 | (d & 3) << 2 | literals));
        out.push_back(static_cast<std::uint8_t>(d >> 2));
        return;
    }
    if (length <= 33) {
        out.push_back(static_cast<std::uint8_t>(0x20 | (length - 2)));
    } else {
        out.push_back(0x20);
        appendExtended(out, length - 2 - 0x1F);
    }
    out.push_back(static_cast<std::uint8_t>((d & 0x3F) << 2 | literals));
    out.push_back(static_cast<std::uint8_t>(d >> 6));
}

std::uint32_t hashAt(std::span<const std::uint8_t> data, std::size_t i) {
    const std::uint32_t v = std::uint32_t{data[i]} | std::uint32_t{data[i + 1]} << 8 |
                            std::uint32_t{data[i + 2]} << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
}

struct Match {
    std::size_t start = 0;  // where the copy goes
    std::size_t length = 0;
    std::size_t distance = 0;
};

}  // namespace

std::vector<std::uint8_t> compressLz77R2004(std::span<const std::uint8_t> data) {
    // A stream opens with at least four literals; shorter data is padded by the caller.
    std::vector<std::uint8_t> out;
    out.reserve(data.size() / 2 + 32);
    constexpr std::size_t kNone = ~std::size_t{0};
    std::vector<std::size_t> head(std::size_t{1} << kHashBits, kNone);
    std::vector<std::size_t> previous(data.size(), kNone);
    auto insert = [&](std::size_t i) {
        if (i + kMinMatch > data.size()) return;
        const std::uint32_t h = hashAt(data, i);
        previous[i] = head[h];
        head[h] = i;
    };

    std::vector<Match> matches;
    std::size_t i = 0;
    for (; i < std::min<std::size_t>(4, data.size()); ++i) insert(i);
    while (i + kMinMatch <= data.size()) {
        Match best;
        int chain = 0;
        for (std::size_t candidate = head[hashAt(data, i)];
             candidate != kNone && chain < kChainLimit && i - candidate <= kMaxDistance;
             candidate = previous[candidate], ++chain) {
            std::size_t length = 0;
            while (i + length < data.size() && data[candidate + length] == data[i + length])
                ++length;
            if (length > best.length) best = {i, length, i - candidate};
        }
        if (best.length < kMinMatch) {
            insert(i++);
            continue;
        }
        matches.push_back(best);
        for (std::size_t k = 0; k < best.length; ++k) insert(i + k);
        i += best.length;
    }

    // Literals before the first match, then each match with the literals after it.
    const std::size_t firstEnd = matches.empty() ? data.size() : matches.front().start;
    appendLiterals(out, data.first(firstEnd));
    for (std::size_t m = 0; m < matches.size(); ++m) {
        const Match& match = matches[m];
        const std::size_t literalStart = match.start + match.length;
        const std::size_t literalEnd = m + 1 < matches.size() ? matches[m + 1].start : data.size();
        const std::size_t literals = literalEnd - literalStart;
        appendMatch(out, match.length, match.distance,
                    literals <= 3 ? static_cast<unsigned>(literals) : 0);
        const auto run = data.subspan(literalStart, literals);
        if (literals > 3)
            appendLiterals(out, run);
        else
            out.insert(out.end(), run.begin(), run.end());
    }
    out.push_back(0x11);  // end of stream
    return out;
}

}  // namespace dwg::detail
