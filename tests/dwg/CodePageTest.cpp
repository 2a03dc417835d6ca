// Strings of R2004 files are stored in the code page named by the file
// header. No R2004 sample holds a non-ASCII name, so the test makes one: it
// changes a layer name inside a real drawing's objects, repairs that
// object's CRC and packs the sections into a new R2004 file.
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "Crc.h"
#include "R2004Writer.h"
#include "SampleFiles.h"
#include "Sections.h"

namespace {

using testsupport::Bytes;

// Replaces every bit-aligned occurrence of `from` by `to` (same length) and
// returns the bit positions changed.
std::vector<std::size_t> replaceBits(Bytes& bytes, const std::string& from, const std::string& to) {
    auto bitAt = [&](std::size_t bit) { return (bytes[bit / 8] >> (7 - bit % 8)) & 1; };
    auto setBit = [&](std::size_t bit, int value) {
        const auto mask = static_cast<std::uint8_t>(1 << (7 - bit % 8));
        bytes[bit / 8] =
            static_cast<std::uint8_t>(value ? bytes[bit / 8] | mask : bytes[bit / 8] & ~mask);
    };
    std::vector<std::size_t> found;
    const std::size_t length = from.size() * 8;
    for (std::size_t start = 0; start + length <= bytes.size() * 8; ++start) {
        bool match = true;
        for (std::size_t i = 0; i < length && match; ++i)
            match =
                bitAt(start + i) == ((static_cast<unsigned char>(from[i / 8]) >> (7 - i % 8)) & 1);
        if (!match) continue;
        for (std::size_t i = 0; i < length; ++i)
            setBit(start + i, (static_cast<unsigned char>(to[i / 8]) >> (7 - i % 8)) & 1);
        found.push_back(start);
    }
    return found;
}

// The object record around byte `at`: MS size, data, CRC over both.
void repairCrc(Bytes& objects, const dwg::detail::ObjectMap& map, std::size_t at) {
    std::uint64_t start = 0;
    for (const auto& location : map)
        if (location.offset <= at && location.offset > start) start = location.offset;
    std::size_t pos = static_cast<std::size_t>(start);
    std::size_t size = 0;
    for (int shift = 0;; shift += 15) {
        const unsigned word = objects[pos] | objects[pos + 1] << 8;
        pos += 2;
        size |= std::size_t{word & 0x7FFFu} << shift;
        if (!(word & 0x8000)) break;
    }
    const std::size_t end = pos + size;
    ASSERT_GT(end, at);
    const std::uint16_t crc =
        dwg::detail::crc16(std::span<const std::uint8_t>(objects).subspan(start, end - start));
    objects[end] = static_cast<std::uint8_t>(crc);
    objects[end + 1] = static_cast<std::uint8_t>(crc >> 8);
}

std::vector<std::string> layerNames(const dwg::Drawing& drawing) {
    std::vector<std::string> names;
    for (const auto& layer : drawing.layers) names.push_back(layer.name);
    std::sort(names.begin(), names.end());
    return names;
}

class CodePage : public ::testing::Test {
  protected:
    void SetUp() override { TESSALY_REQUIRE_SAMPLES_OR_SKIP(); }
};

TEST_F(CodePage, R2004NamesAreDecodedWithTheHeaderCodePage) {
    const Bytes original = testsupport::readFileBytes(testsupport::samplesFolder() /
                                                      "R2004/acadsharp_sample_AC1018.dwg");
    auto writer = testsupport::writerWithSectionsOf(original, 0x7400);

    Bytes& objects = writer.sections[3].data;
    dwg::detail::FileContext context;
    context.version = dwg::Version::R2004;
    const auto map = dwg::detail::parseObjectMap(writer.sections[2].data, context);
    const auto changed = replaceBits(objects, "Layer1", "Lay\xE9r1");
    ASSERT_FALSE(changed.empty());
    for (const std::size_t bit : changed) repairCrc(objects, map, bit / 8);

    const auto unchanged = layerNames(dwg::read(original));
    ASSERT_TRUE(std::find(unchanged.begin(), unchanged.end(), "Layer1") != unchanged.end());

    writer.codePage = 30;  // Windows-1252: 0xE9 is é
    auto names = layerNames(dwg::read(writer.write()));
    auto expected = unchanged;
    std::replace(expected.begin(), expected.end(), std::string("Layer1"),
                 std::string("Lay\u00E9r1"));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    writer.codePage = 29;  // Windows-1251: 0xE9 is й
    names = layerNames(dwg::read(writer.write()));
    EXPECT_TRUE(std::find(names.begin(), names.end(), "Lay\u0439r1") != names.end());
}

TEST_F(CodePage, EveryPagedSampleKeepsItsHeaderCodePage) {
    for (const auto& path : testsupport::samplesOf({"R2004", "R2007", "R2010", "R2013", "R2018"})) {
        const Bytes file = testsupport::readFileBytes(path);
        EXPECT_EQ(dwg::read(file).codePage, file[0x13] | file[0x14] << 8) << path;
    }
}

}  // namespace
