// The R2007 decoder on hand-made streams: the shuffled literal order, each
// instruction family and the hostile cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "R2007Compression.h"

namespace {

using dwg::container::decompressR2007;
using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

Bytes sequence(std::size_t count, int first = 0) {
    Bytes out(count);
    std::iota(out.begin(), out.end(), static_cast<std::uint8_t>(first));
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(R2007Compression, LiteralsAreStoredInShuffledOrder) {
    // Code 1: 1 + 8 = 9 literals; 9 bytes come out as source 8, then 0-7.
    EXPECT_EQ(decompressR2007(bytesOf({0x01}) + sequence(9), 9),
              bytesOf({8, 0, 1, 2, 3, 4, 5, 6, 7}));
    // Code 2: 10 bytes as 9, 1-8, 0 (the one-byte pieces reversed).
    EXPECT_EQ(decompressR2007(bytesOf({0x02}) + sequence(10), 10),
              bytesOf({9, 1, 2, 3, 4, 5, 6, 7, 8, 0}));
    // Code 0x0F with 10 more: 33 bytes = one 32-byte chunk (source 24-31,
    // 16-23, 8-15, 0-7) and one byte.
    const auto out = decompressR2007(bytesOf({0x0F, 10}) + sequence(33), 33);
    ASSERT_EQ(out.size(), 33u);
    EXPECT_EQ(out[0], 24);
    EXPECT_EQ(out[7], 31);
    EXPECT_EQ(out[8], 16);
    EXPECT_EQ(out[24], 0);
    EXPECT_EQ(out[31], 7);
    EXPECT_EQ(out[32], 32);
}

TEST(R2007Compression, EveryLiteralLengthIsAPermutation) {
    for (std::size_t count = 8; count <= 8 + 0x0E + 0xFE; ++count) {
        Bytes stream;
        if (count < 0x17) {
            stream.push_back(static_cast<std::uint8_t>(count - 8));
        } else {
            stream = bytesOf({0x0F, static_cast<int>(count - 0x17)});
        }
        Bytes literals = sequence(count, 1);
        auto out = decompressR2007(stream + literals, count);
        std::sort(out.begin(), out.end());
        std::sort(literals.begin(), literals.end());
        EXPECT_EQ(out, literals) << count;
    }
}

TEST(R2007Compression, VeryLongLiteralRunsUseSixteenBitExtensions) {
    // 0x17 + 0xFF + 0xFFFF + 0x0002 bytes.
    const std::size_t count = 0x17 + 0xFF + 0xFFFF + 2;
    const auto out =
        decompressR2007(bytesOf({0x0F, 0xFF, 0xFF, 0xFF, 0x02, 0x00}) + Bytes(count, 0x5A), count);
    EXPECT_EQ(out, Bytes(count, 0x5A));
}

TEST(R2007Compression, ShortMatchAndTrailingLiterals) {
    // 9 literals, then 0x48: length 4, distance (8 + 0) + 1 = 9; the next byte
    // 0x02 gives the distance's high bits (none) and two trailing literals.
    const auto out =
        decompressR2007(bytesOf({0x01}) + sequence(9) + bytesOf({0x48, 0x02, 0xA0, 0xB0}), 15);
    EXPECT_EQ(out, bytesOf({8, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 1, 2, 0xB0, 0xA0}));
}

TEST(R2007Compression, ChainedMatchesWithoutLiteralsBetween) {
    // A match whose last byte has no literal count is followed directly by
    // the next instruction.
    const Bytes stream = bytesOf({0x01}) + sequence(9) + bytesOf({0x48, 0x00, 0x12, 0x08, 0x00});
    // 0x12: h = 1, length 2 + 3 = 5, distance (0 << 5) + 8 + 1 = 9.
    const auto out = decompressR2007(stream, 18);
    EXPECT_EQ(out, bytesOf({8, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(R2007Compression, TwoByteDistanceForm) {
    // 0x23: h = 2, distance from the next two bytes (9), length 3 + (next & 0xF8).
    const auto out =
        decompressR2007(bytesOf({0x01}) + sequence(9) + bytesOf({0x23, 0x09, 0x00, 0x08}), 20);
    Bytes expected = bytesOf({8, 0, 1, 2, 3, 4, 5, 6, 7});
    for (int i = 0; i < 11; ++i) expected.push_back(expected[static_cast<std::size_t>(i)]);
    EXPECT_EQ(out, expected);
}

TEST(R2007Compression, OpeningFormWithLiteralCountInTheFourthByte) {
    EXPECT_EQ(decompressR2007(bytesOf({0x20, 0x00, 0x00, 0x03, 'a', 'b', 'c'}), 3),
              bytesOf({'c', 'b', 'a'}));
}

TEST(R2007Compression, HostileStreamsThrow) {
    // Expands beyond its stated size.
    EXPECT_THROW(decompressR2007(bytesOf({0x01}) + sequence(9), 8), std::runtime_error);
    EXPECT_THROW(decompressR2007(bytesOf({0x01}) + sequence(9) + bytesOf({0x48, 0x00}), 12),
                 std::runtime_error);
    // Copies from before the output's start.
    EXPECT_THROW(decompressR2007(bytesOf({0x01}) + sequence(9) + bytesOf({0x4F, 0x08}), 100),
                 std::runtime_error);
    // Truncated runs and instructions.
    EXPECT_THROW(decompressR2007(bytesOf({0x01}) + sequence(5), 100), std::runtime_error);
    EXPECT_THROW(decompressR2007(bytesOf({0x01}) + sequence(9) + bytesOf({0x23, 0x09}), 100),
                 std::runtime_error);
    EXPECT_THROW(decompressR2007(bytesOf({0x0F, 0xFF, 0xFF}), 100), std::runtime_error);
    EXPECT_THROW(decompressR2007(bytesOf({0x20, 0x00}), 100), std::runtime_error);
    // A literal length byte must have a zero high nibble.
    EXPECT_THROW(decompressR2007(bytesOf({0x35, 1, 2, 3}), 100), std::runtime_error);
}

}  // namespace
