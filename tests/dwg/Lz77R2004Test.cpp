// The R2004 LZ77 decoder on hand-made streams: each opcode family, the
// extended lengths, overlapping copies, and every way a stream can lie.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "Lz77R2004.h"

namespace {

using dwg::container::decompressLz77R2004;
using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

std::string decode(const Bytes& stream, std::size_t size) {
    const auto out = decompressLz77R2004(stream, size);
    return {out.begin(), out.end()};
}

// Opening literal run of 4 ("abcd"): code 1 means 1 + 3 bytes.
Bytes abcd() {
    return bytesOf({0x01, 'a', 'b', 'c', 'd'});
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Lz77R2004, ShortMatchOverlapsItsOwnOutput) {
    // 0x7C: length 7-1 = 6, distance ((0 << 2) | 3) + 1 = 4, no trailing literals.
    EXPECT_EQ(decode(abcd() + bytesOf({0x7C, 0x00, 0x11}), 10), "abcdabcdab");
}

TEST(Lz77R2004, TrailingLiteralCountInTheOpcode) {
    // 0x7E: as above with two literal bytes following the match.
    EXPECT_EQ(decode(abcd() + bytesOf({0x7E, 0x00, 'x', 'y', 0x11}), 12), "abcdabcdabxy");
}

TEST(Lz77R2004, LiteralRunAfterAMatch) {
    // After a match without trailing literals a byte <= 0x0F opens a literal run.
    EXPECT_EQ(decode(abcd() + bytesOf({0x7C, 0x00, 0x00, 0x01}) + Bytes(19, 'z') + bytesOf({0x11}),
                     10 + 19),
              "abcdabcdab" + std::string(19, 'z'));
}

TEST(Lz77R2004, MediumMatchWithTwoByteDistance) {
    // 0x21: length 1 + 2 = 3; b1 = 0x04, b2 = 0 gives distance (0 << 6 | 1) + 1 = 2.
    EXPECT_EQ(decode(abcd() + bytesOf({0x21, 0x04, 0x00, 0x11}), 7), "abcdcdc");
    // Length 0 in the opcode: extended by the bytes that follow (0 adds 255).
    const std::string expected = "abcd" + [] {
        std::string run;
        for (int i = 0; i < 0x1F + 255 + 2 + 2; ++i) run.push_back("cd"[i % 2]);
        return run;
    }();
    EXPECT_EQ(decode(abcd() + bytesOf({0x20, 0x00, 0x02, 0x04, 0x00, 0x11}), expected.size()),
              expected);
}

TEST(Lz77R2004, LongLiteralLengthsAreExtended) {
    // Code 0: 0x0F plus the extension bytes (0 adds 255, then 5), plus 3.
    const std::size_t length = 0x0F + 255 + 5 + 3;
    Bytes stream = bytesOf({0x00, 0x00, 0x05}) + Bytes(length, 'q') + bytesOf({0x11});
    EXPECT_EQ(decode(stream, length), std::string(length, 'q'));
}

// A literal run of exactly `count` bytes (count > 18), spelled with extension bytes.
Bytes literalRun(std::size_t count) {
    Bytes stream{0x00};
    std::size_t rest = count - 3 - 0x0F;
    while (rest > 0xFF) {
        stream.push_back(0x00);
        rest -= 0xFF;
    }
    stream.push_back(static_cast<std::uint8_t>(rest));
    for (std::size_t i = 0; i < count; ++i)
        stream.push_back(static_cast<std::uint8_t>(i * 7 + i / 251));
    return stream;
}

TEST(Lz77R2004, FarMatchesReachBack16KAnd32K) {
    const std::size_t count = 0x8000;
    const Bytes run = literalRun(count);
    const Bytes literals(run.end() - static_cast<std::ptrdiff_t>(count), run.end());
    // 0x12: length 2 + 2 = 4, distance 0x4000 (b1 = b2 = 0).
    auto out = decompressLz77R2004(run + bytesOf({0x12, 0x00, 0x00, 0x11}), count + 4);
    EXPECT_TRUE(std::equal(out.begin() + count, out.end(), literals.begin() + count - 0x4000));
    // 0x1A: bit 3 adds another 0x4000; the length still comes from the low three bits.
    out = decompressLz77R2004(run + bytesOf({0x1A, 0x00, 0x00, 0x11}), count + 4);
    EXPECT_TRUE(std::equal(out.begin() + count, out.end(), literals.begin()));
}

TEST(Lz77R2004, ShortStreamLeavesTheRestZero) {
    EXPECT_EQ(decode(abcd() + bytesOf({0x11}), 6), std::string("abcd\0\0", 6));
}

TEST(Lz77R2004, HostileStreamsThrow) {
    // Expands beyond its stated size.
    EXPECT_THROW(decode(abcd() + bytesOf({0x7C, 0x00, 0x11}), 9), std::runtime_error);
    EXPECT_THROW(decode(abcd(), 3), std::runtime_error);
    // Copies from before the start of the output.
    EXPECT_THROW(decode(abcd() + bytesOf({0x7C, 0x01, 0x11}), 100), std::runtime_error);
    EXPECT_THROW(decode(abcd() + bytesOf({0x12, 0x00, 0x00, 0x11}), 100), std::runtime_error);
    // Ends without the 0x11 terminator, or inside an instruction or a run.
    EXPECT_THROW(decode(abcd(), 100), std::runtime_error);
    EXPECT_THROW(decode(abcd() + bytesOf({0x21, 0x04}), 100), std::runtime_error);
    EXPECT_THROW(decode(bytesOf({0x05, 'a'}), 100), std::runtime_error);
    EXPECT_THROW(decode(bytesOf({0x00, 0x00, 0x00}), 1000), std::runtime_error);
    EXPECT_THROW(decode({}, 10), std::runtime_error);
    // Opcodes 0x00-0x0F cannot follow a literal run.
    EXPECT_THROW(decode(abcd() + bytesOf({0x7D, 0x00, 'x', 0x05}), 100), std::runtime_error);
}

}  // namespace
