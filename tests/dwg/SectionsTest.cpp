// Section parsers fed with hand-made section bytes, as an R2004+ container
// would hand them over.
#include <gtest/gtest.h>

#include <vector>

#include "Crc.h"
#include "Sections.h"
#include "Streams.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using dwg::detail::FileContext;

void appendBigEndianCrc(Bytes& bytes, std::size_t from) {
    const std::uint16_t crc =
        dwg::detail::crc16(std::span<const std::uint8_t>(bytes.data() + from, bytes.size() - from));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    bytes.push_back(static_cast<std::uint8_t>(crc));
}

// One object-map page from raw (UMC handle delta, MC offset delta) bytes.
void appendPage(Bytes& section, const Bytes& pairs) {
    const std::size_t start = section.size();
    const std::size_t size = pairs.size() + 2;
    section.push_back(static_cast<std::uint8_t>(size >> 8));
    section.push_back(static_cast<std::uint8_t>(size));
    section.insert(section.end(), pairs.begin(), pairs.end());
    appendBigEndianCrc(section, start);
}

TEST(ObjectMapSection, HandleAndOffsetRestartOnEveryPage) {
    Bytes section;
    appendPage(section, {0x01, 0x10, 0x02, 0x20});        // handle 1 @ 0x10, handle 3 @ 0x30
    appendPage(section, {0x05, 0x81, 0x01, 0x01, 0x41});  // handle 5 @ 0x81, handle 6 @ 0x81 - 1
    appendPage(section, {});
    const auto map = dwg::detail::parseObjectMap(section, FileContext{});
    ASSERT_EQ(map.size(), 4u);
    EXPECT_EQ(map[0].handle, 1u);
    EXPECT_EQ(map[0].offset, 0x10u);
    EXPECT_EQ(map[1].handle, 3u);
    EXPECT_EQ(map[1].offset, 0x30u);
    EXPECT_EQ(map[2].handle, 5u);
    EXPECT_EQ(map[2].offset, 0x81u);
    EXPECT_EQ(map[3].handle, 6u);
    EXPECT_EQ(map[3].offset, 0x80u);
}

TEST(ObjectMapSection, BadCrcMissingEndAndNegativeOffsetsAreErrors) {
    Bytes good;
    appendPage(good, {0x01, 0x10});
    appendPage(good, {});

    Bytes badCrc = good;
    badCrc[3] ^= 1;
    EXPECT_THROW(dwg::detail::parseObjectMap(badCrc, FileContext{}), dwg::Error);

    Bytes noEnd;
    appendPage(noEnd, {0x01, 0x10});
    EXPECT_THROW(dwg::detail::parseObjectMap(noEnd, FileContext{}), dwg::Error);

    Bytes repeated;
    appendPage(repeated, {0x01, 0x10, 0x00, 0x00});
    appendPage(repeated, {});
    EXPECT_THROW(dwg::detail::parseObjectMap(repeated, FileContext{}), dwg::Error);

    Bytes negative;
    appendPage(negative, {0x01, 0x41});
    appendPage(negative, {});
    EXPECT_THROW(dwg::detail::parseObjectMap(negative, FileContext{}), dwg::Error);

    EXPECT_NO_THROW(dwg::detail::parseObjectMap(good, FileContext{}));
}

Bytes framed(const dwg::detail::Sentinel& start, const Bytes& data, bool extraLong) {
    Bytes section(start.begin(), start.end());
    const std::uint32_t size = static_cast<std::uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) section.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    if (extraLong) section.insert(section.end(), 4, 0);
    section.insert(section.end(), data.begin(), data.end());
    const std::uint16_t crc =
        dwg::detail::crc16(std::span<const std::uint8_t>(section.data() + 16, section.size() - 16));
    section.push_back(static_cast<std::uint8_t>(crc));
    section.push_back(static_cast<std::uint8_t>(crc >> 8));
    for (std::uint8_t b : start) section.push_back(static_cast<std::uint8_t>(~b));
    return section;
}

TEST(SectionFrame, DataAndTheExtraLongOfLaterVersions) {
    const dwg::detail::Sentinel start = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const Bytes data = {0xAA, 0xBB, 0xCC};
    FileContext r2000;
    const Bytes plainSection = framed(start, data, false);
    const auto plain = dwg::detail::unframeSection(plainSection, start, "teste", r2000);
    EXPECT_EQ(Bytes(plain.data.begin(), plain.data.end()), data);

    FileContext r2018;
    r2018.version = dwg::Version::R2018;
    const Bytes laterSection = framed(start, data, true);
    const auto later = dwg::detail::unframeSection(laterSection, start, "teste", r2018);
    EXPECT_EQ(Bytes(later.data.begin(), later.data.end()), data);
    EXPECT_EQ(later.dataOffset, 24u);

    Bytes corrupt = framed(start, data, false);
    corrupt[21] ^= 0xFF;
    EXPECT_THROW(dwg::detail::unframeSection(corrupt, start, "teste", r2000), dwg::Error);
    Bytes wrongStart = framed(start, data, false);
    wrongStart[0] = 0;
    EXPECT_THROW(dwg::detail::unframeSection(wrongStart, start, "teste", r2000), dwg::Error);
    Bytes tooLong = framed(start, data, false);
    tooLong[19] = 0x10;
    EXPECT_THROW(dwg::detail::unframeSection(tooLong, start, "teste", r2000), dwg::Error);
}

}  // namespace
