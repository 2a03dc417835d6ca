#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "BitReader.h"
#include "Crc.h"
#include "Text.h"

namespace {

using dwg::detail::BitReader;

// "0100 1..." -> bytes, most significant bit first, zero padded; spaces ignored.
std::vector<std::uint8_t> bits(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    int count = 0;
    for (char c : text) {
        if (c == ' ') continue;
        if (count % 8 == 0) bytes.push_back(0);
        if (c == '1') bytes.back() |= static_cast<std::uint8_t>(0x80 >> (count % 8));
        ++count;
    }
    return bytes;
}

TEST(BitReader, BitShortsTakeTheirFourForms) {
    const auto data = bits("00 00000001 00000001 10 11 01 00001111 10 00 11111111 11111111");
    BitReader reader(data);
    EXPECT_EQ(reader.bitShort(), 257);
    EXPECT_EQ(reader.bitShort(), 0);
    EXPECT_EQ(reader.bitShort(), 256);
    EXPECT_EQ(reader.bitShort(), 15);
    EXPECT_EQ(reader.bitShort(), 0);
    EXPECT_EQ(reader.bitShort(), -1);
}

TEST(BitReader, BitLongsAndTheirInvalidCode) {
    const auto data = bits("00 00000001 00000001 00000000 00000000 10 01 00001111 11");
    BitReader reader(data);
    EXPECT_EQ(reader.bitLong(), 257);
    EXPECT_EQ(reader.bitLong(), 0);
    EXPECT_EQ(reader.bitLong(), 15);
    EXPECT_THROW(reader.bitLong(), dwg::Error);
}

TEST(BitReader, BitDoublesAndDefaults) {
    // 00 + 2.5 little-endian (0x4004000000000000), 01, 10, then DD against default 5.0.
    std::string text =
        "00 00000000 00000000 00000000 00000000 00000000 00000000 00000100 01000000 01 10";
    text += " 00";                                      // DD: the default
    text += " 01 00000001 00000000 00000000 00000000";  // DD: low four bytes replaced
    text += " 11";                                      // invalid BD code
    const auto readerBits = bits(text);
    BitReader reader(readerBits);
    EXPECT_EQ(reader.bitDouble(), 2.5);
    EXPECT_EQ(reader.bitDouble(), 1.0);
    EXPECT_EQ(reader.bitDouble(), 0.0);
    EXPECT_EQ(reader.bitDoubleDefault(5.0), 5.0);
    const double patched = reader.bitDoubleDefault(5.0);
    EXPECT_NE(patched, 5.0);
    EXPECT_NEAR(patched, 5.0, 1e-9);
    EXPECT_THROW(reader.bitDouble(), dwg::Error);
}

TEST(BitReader, DefaultDoubleWithSixBytesPatchesHighThenLow) {
    // Code 10: two bytes for bytes 4-5, four for bytes 0-3; default 0 becomes 2.5.
    const auto readerBits = bits("10 00000000 00000100 00000000 00000000 00000000 00000000");
    BitReader reader(readerBits);
    double expected = 0;
    const std::uint64_t pattern = 0x0000040000000000ULL;
    std::memcpy(&expected, &pattern, sizeof expected);
    EXPECT_EQ(reader.bitDoubleDefault(0.0), expected);
}

TEST(BitReader, RawValuesAreLittleEndianAtAnyBitOffset) {
    const auto readerBits = bits("1 00110100 00010010 01111000 01010110 00110100 00010010");
    BitReader reader(readerBits);
    EXPECT_TRUE(reader.bit());
    EXPECT_EQ(reader.rawShort(), 0x1234);
    EXPECT_EQ(reader.rawLong(), 0x12345678);
}

TEST(BitReader, RawPointsAndSentinels) {
    std::vector<std::uint8_t> data;
    for (double value : {1.5, -2.0, 0.25}) {
        std::uint64_t bitsOfValue = 0;
        std::memcpy(&bitsOfValue, &value, sizeof value);
        for (int i = 0; i < 8; ++i)
            data.push_back(static_cast<std::uint8_t>(bitsOfValue >> (8 * i)));
    }
    for (std::uint8_t i = 0; i < 16; ++i) data.push_back(i);
    BitReader reader(data);
    const dwg::Point3 p = reader.rawPoint3();
    EXPECT_EQ(p.x, 1.5);
    EXPECT_EQ(p.y, -2.0);
    EXPECT_EQ(p.z, 0.25);
    const auto sentinel = reader.sentinel();
    EXPECT_EQ(sentinel[0], 0);
    EXPECT_EQ(sentinel[15], 15);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_THROW(reader.sentinel(), dwg::Error);
}

// Each case as it stands, where the reader works byte by byte near the end,
// and followed by more bytes, where it decodes from one look at the bits.
std::vector<std::vector<std::uint8_t>> withAndWithoutMoreBytes(std::vector<std::uint8_t> data) {
    std::vector<std::uint8_t> followed = data;
    followed.resize(data.size() + 8, 0xEE);
    return {data, followed};
}

TEST(BitReader, ModularCharsSignedAndUnsigned) {
    for (const auto& data :
         withAndWithoutMoreBytes({0x82, 0x24, 0xE9, 0x97, 0xE6, 0x35, 0x85, 0x4B, 0xC5, 0x4B})) {
        BitReader reader(data);
        EXPECT_EQ(reader.modularChar(), 4610);
        EXPECT_EQ(reader.modularChar(), 112823273);
        EXPECT_EQ(reader.modularChar(), -1413);
        // Unsigned: the last byte gives all seven bits.
        EXPECT_EQ(reader.unsignedModularChar(), 0x45u + (0x4Bu << 7));
        EXPECT_EQ(reader.position(), 80u);
    }
}

TEST(BitReader, ModularCharThatNeverEndsIsAnError) {
    const std::vector<std::uint8_t> data(12, 0xFF);
    BitReader reader(data);
    EXPECT_THROW(reader.modularChar(), dwg::Error);
    BitReader unsignedReader(data);
    EXPECT_THROW(unsignedReader.unsignedModularChar(), dwg::Error);
}

TEST(BitReader, ModularShortUsesFifteenBitWords) {
    for (const auto& data : withAndWithoutMoreBytes({0x31, 0x80, 0x01, 0x00, 0x20, 0x00})) {
        BitReader reader(data);
        EXPECT_EQ(reader.modularShort(), 0x31u | (1u << 15));
        EXPECT_EQ(reader.modularShort(), 0x20u);
        EXPECT_EQ(reader.position(), 48u);
    }
    const std::vector<std::uint8_t> neverEnds(12, 0xFF);
    BitReader reader(neverEnds);
    EXPECT_THROW(reader.modularShort(), dwg::Error);
}

TEST(BitReader, HandlesAreBigEndianAndResolveRelativeCodes) {
    const std::vector<std::uint8_t> data = {0x52, 0x01, 0x02, 0x60, 0xC1, 0x03, 0xA1, 0x04, 0x80};
    BitReader reader(data);
    const auto absolute = reader.handle();
    EXPECT_EQ(absolute.code, 5);
    EXPECT_EQ(absolute.value, 0x0102u);
    EXPECT_EQ(reader.handle().resolve(0x10), 0x11u);
    EXPECT_EQ(reader.handle().resolve(0x10), 0x0Du);
    EXPECT_EQ(reader.handle().resolve(0x10), 0x14u);
    EXPECT_EQ(reader.handle().resolve(0x10), 0x0Fu);
}

TEST(BitReader, HandleWithMoreThanEightBytesIsAnError) {
    const std::vector<std::uint8_t> data = {0x59, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    BitReader reader(data);
    EXPECT_THROW(reader.handle(), dwg::Error);
}

TEST(BitReader, TextDropsTheTerminatorAndUnicodeTextIsConverted) {
    // BS 4 as RC form, "AB", NUL, NUL.
    std::vector<std::uint8_t> data = bits("01 00000100 01000001 01000010 00000000 00000000");
    BitReader reader(data);
    EXPECT_EQ(reader.rawText(), "AB");

    // BS 2, then "é" and "€" as UTF-16LE.
    const auto unicodeBits = bits("01 00000010 11101001 00000000 10101100 00100000");
    BitReader unicode(unicodeBits);
    EXPECT_EQ(unicode.unicodeText(), "é€");
}

TEST(BitReader, TextLongerThanTheDataIsAnError) {
    const auto readerBits = bits("01 11111111 01000001");
    BitReader reader(readerBits);
    EXPECT_THROW(reader.rawText(), dwg::Error);
}

TEST(BitReader, ThreeBitCodeAndBitLongLong) {
    const auto readerBits = bits("110 0 111 010 00000001 00000010");
    BitReader reader(readerBits);
    EXPECT_EQ(reader.threeBitCode(), 6u);
    EXPECT_EQ(reader.threeBitCode(), 0u);
    EXPECT_EQ(reader.threeBitCode(), 7u);
    EXPECT_EQ(reader.bitLongLong(), 0x0201u);
}

TEST(BitReader, ThicknessAndExtrusionDependOnTheVersion) {
    const auto r2000Bits = bits("1 1");
    BitReader r2000(r2000Bits);
    EXPECT_EQ(r2000.thickness(dwg::Version::R2000), 0.0);
    const dwg::Point3 extrusion = r2000.extrusion(dwg::Version::R2000);
    EXPECT_EQ(extrusion.z, 1.0);
    EXPECT_EQ(r2000.position(), 2u);

    // R14 always stores a BD and a 3BD.
    const auto r14Bits = bits("01 10 10 01");
    BitReader r14(r14Bits);
    EXPECT_EQ(r14.thickness(dwg::Version::R14), 1.0);
    const dwg::Point3 stored = r14.extrusion(dwg::Version::R14);
    EXPECT_EQ(stored.x, 0.0);
    EXPECT_EQ(stored.z, 1.0);
}

TEST(BitReader, ColoursBeforeAndFromR2004) {
    const auto oldBits = bits("01 00000111");
    BitReader old(oldBits);
    const dwg::Color seven = old.color(dwg::Version::R2000, old);
    EXPECT_EQ(seven.kind, dwg::Color::Kind::Index);
    EXPECT_EQ(seven.index, 7);

    // BS 0, BL 0xC2112233 (true colour), RC 0.
    const auto modernBits = bits("10 00 00110011 00100010 00010001 11000010 00000000");
    BitReader modern(modernBits);
    const dwg::Color rgb = modern.color(dwg::Version::R2004, modern);
    EXPECT_EQ(rgb.kind, dwg::Color::Kind::True);
    EXPECT_EQ(rgb.rgb, 0x112233u);
}

TEST(BitReader, ReadingPastTheEndThrowsInsteadOfReadingOutside) {
    const std::vector<std::uint8_t> data = {0xFF, 0x00};
    BitReader reader(data);
    reader.skipBits(9);
    EXPECT_THROW(reader.rawChar(), dwg::Error);
    EXPECT_EQ(reader.position(), 9u);
    EXPECT_THROW(reader.rawDouble(), dwg::Error);
    EXPECT_THROW(reader.seek(17), dwg::Error);
    EXPECT_THROW(reader.skipBits(8), dwg::Error);

    BitReader window(data, 4);
    window.skipBits(4);
    EXPECT_THROW(window.bit(), dwg::Error);
    EXPECT_THROW(BitReader(data, 17), dwg::Error);
}

TEST(BitReader, ImpossibleCountsAreRejectedBeforeAllocating) {
    const std::vector<std::uint8_t> data(16, 0);
    BitReader reader(data);
    EXPECT_NO_THROW(reader.requireItems(64, 2, "pontos"));
    EXPECT_THROW(reader.requireItems(65, 2, "pontos"), dwg::Error);
    EXPECT_THROW(reader.requireItems(0xFFFFFFFFull, 1, "pontos"), dwg::Error);
}

TEST(Crc16, MatchesTheStandardCheckValueAndSeed) {
    const std::string check = "123456789";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(check.data()),
                                              check.size());
    EXPECT_EQ(dwg::detail::crc16(bytes, 0), 0xBB3D);
    EXPECT_EQ(dwg::detail::crc16({}, dwg::detail::kCrcSeed), dwg::detail::kCrcSeed);
}

TEST(TextDecoding, CodePagesAndUnicodeEscapes) {
    const dwg::detail::TextDecoder windows1252(30);
    EXPECT_EQ(windows1252.decode("a\xe7\xe3o \x80"), "ação €");
    const dwg::detail::TextDecoder cyrillic(29);
    EXPECT_EQ(cyrillic.decode("\xc0"), "А");
    const dwg::detail::TextDecoder unknown(999);
    EXPECT_EQ(unknown.decode("\xe9"), "é");
    EXPECT_EQ(dwg::detail::expandUnicodeEscapes("%%c \\U+2205 ok"), "%%c ∅ ok");
    EXPECT_EQ(dwg::detail::expandUnicodeEscapes("\\U+D83D\\U+DE00"), "😀");
    EXPECT_EQ(dwg::detail::expandUnicodeEscapes("\\U+12"), "\\U+12");
}

}  // namespace
