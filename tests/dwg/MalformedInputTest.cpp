// Damaged and hostile input: always a dwg::Error, never a crash or a hang.
// Run under the sanitizer build to catch reads outside the buffers.
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <vector>

#include "CraftedObjects.h"
#include "Crc.h"
#include "Samples.h"
#include "Sections.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes loadSample(const std::string& name) {
    std::ifstream in(testsupport::samplesFolder() / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t readLong(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void writeLong(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Section locator records start at 0x19: RC number, RL seeker, RL size.
struct Locator {
    std::uint32_t seeker;
    std::uint32_t size;
};
Locator locator(const Bytes& file, int number) {
    const std::uint32_t count = readLong(file, 0x15);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = 0x19 + i * 9;
        if (file[at] == number) return {readLong(file, at + 1), readLong(file, at + 5)};
    }
    return {0, 0};
}

void fixLocatorCrc(Bytes& file) {
    const std::size_t end = 0x19 + readLong(file, 0x15) * 9;
    const std::uint16_t crc = dwg::detail::crc16(std::span<const std::uint8_t>(file.data(), end));
    file[end] = static_cast<std::uint8_t>(crc);
    file[end + 1] = static_cast<std::uint8_t>(crc >> 8);
}

// Reads, and tells whether it failed cleanly (a dwg::Error); anything else fails the test.
bool failsCleanly(const Bytes& bytes) {
    try {
        dwg::read(std::span<const std::uint8_t>(bytes));
        return false;
    } catch (const dwg::Error& error) {
        EXPECT_FALSE(std::string(error.what()).empty());
        return true;
    }
}

class MalformedSample : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(testsupport::samplesFolder())) {
            if (testsupport::samplesRequired()) FAIL() << "sample drawings missing";
            GTEST_SKIP() << "sample drawings not found at " << testsupport::samplesFolder();
        }
        file_ = loadSample("R2000/libredwg_sample_2000.dwg");
        ASSERT_GT(file_.size(), 1000u);
    }
    Bytes file_;
};

TEST(MalformedInput, NotADrawingAndOtherVersions) {
    const Bytes empty;
    const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    try {
        dwg::read(std::span<const std::uint8_t>(text));
        FAIL();
    } catch (const dwg::Error& error) {
        EXPECT_EQ(error.kind(), dwg::Error::Kind::NotDwg);
    }
    EXPECT_TRUE(failsCleanly(empty));

    Bytes r12(64, 0);
    std::copy_n("AC1009", 6, r12.begin());
    try {
        dwg::read(std::span<const std::uint8_t>(r12));
        FAIL();
    } catch (const dwg::Error& error) {
        EXPECT_EQ(error.kind(), dwg::Error::Kind::UnsupportedVersion);
        EXPECT_STREQ(error.what(), "versão de DWG não suportada: AC1009");
    }
}

TEST(MalformedInput, HeaderOnlyFilesAreDamaged) {
    for (std::size_t size : {6u, 0x19u, 0x40u, 0x80u}) {
        Bytes file(size, 0);
        std::copy_n("AC1015", 6, file.begin());
        try {
            dwg::read(std::span<const std::uint8_t>(file));
            FAIL() << size;
        } catch (const dwg::Error& error) {
            EXPECT_EQ(error.kind(), dwg::Error::Kind::Damaged) << size;
            EXPECT_EQ(std::string(error.what()).rfind("arquivo DWG danificado", 0), 0u);
        }
    }
}

TEST(MalformedInput, MissingFileCannotBeOpened) {
    try {
        dwg::read(std::filesystem::path("/nonexistent/folder/drawing.dwg"));
        FAIL();
    } catch (const dwg::Error& error) {
        EXPECT_EQ(error.kind(), dwg::Error::Kind::CannotOpen);
    }
}

TEST_F(MalformedSample, TruncatedAnywhereBeforeTheObjectMapEndIsAnError) {
    const Locator map = locator(file_, 2);
    const std::size_t needed = map.seeker + map.size;
    ASSERT_LE(needed, file_.size());
    for (std::size_t length = 0; length < needed; length += (length < 512 ? 7 : 97)) {
        const Bytes truncated(file_.begin(), file_.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_TRUE(failsCleanly(truncated)) << "length " << length;
    }
}

TEST_F(MalformedSample, FlippedBytesNeverCrash) {
    const Locator header = locator(file_, 0);
    int errors = 0;
    for (std::size_t at = 0; at < file_.size(); at += 13) {
        Bytes damaged = file_;
        damaged[at] ^= 0x5A;
        const bool failed = failsCleanly(damaged);
        errors += failed ? 1 : 0;
        // The header variables are guarded by a CRC (the end marker after it is not).
        if (at >= header.seeker + 16 && at < header.seeker + header.size - 16) {
            EXPECT_TRUE(failed) << "offset " << at;
        }
    }
    EXPECT_GT(errors, 0);
}

// Entity types and their numbers over every block.
std::map<std::string, int> entityCounts(const dwg::Drawing& drawing) {
    std::map<std::string, int> counts;
    for (const dwg::Block& block : drawing.blocks)
        for (const auto& [type, n] : dwg::countEntityTypes(block)) counts[type] += n;
    return counts;
}

// A flipped bit in a record the drawing uses costs that record (in a
// compressed R2004+ page, the records the damage reaches), counted as
// damaged; anywhere else outside the header, classes and object map it costs
// nothing. Flips in those three still fail the read.
TEST(DamagedObjects, MostSingleBitFlipsStillYieldADrawing) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    constexpr int kFlips = 30;
    for (const char* name :
         {"R14/acadsharp_sample_AC1014.dwg", "R2000/acadsharp_sample_AC1015.dwg",
          "R2013/ikea_MALM_no-590-024-36.dwg", "R2018/acadsharp_sample_AC1032.dwg"}) {
        const Bytes original = loadSample(name);
        const auto intact = entityCounts(dwg::read(std::span<const std::uint8_t>(original)));
        std::mt19937_64 random(2024);
        int drawings = 0;
        for (int i = 0; i < kFlips; ++i) {
            Bytes flipped = original;
            const std::uint64_t bit = random() % (flipped.size() * 8);
            flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
            try {
                const dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(flipped));
                ++drawings;
                if (drawing.damagedObjects == 0) {
                    EXPECT_EQ(entityCounts(drawing), intact) << name << ", bit " << bit;
                }
            } catch (const dwg::Error&) {
            }
        }
        EXPECT_GE(drawings, kFlips * 8 / 10) << name;
    }
}

TEST_F(MalformedSample, AbsurdSectionSizesAreErrors) {
    for (int number = 0; number < 3; ++number) {
        for (std::uint32_t size :
             {0xFFFFFFFFu, 0x7FFFFFFFu, static_cast<std::uint32_t>(file_.size())}) {
            Bytes damaged = file_;
            const std::uint32_t count = readLong(damaged, 0x15);
            for (std::uint32_t i = 0; i < count; ++i)
                if (damaged[0x19 + i * 9] == number) writeLong(damaged, 0x19 + i * 9 + 5, size);
            fixLocatorCrc(damaged);
            EXPECT_TRUE(failsCleanly(damaged)) << "section " << number << " size " << size;
        }
        Bytes moved = file_;
        const std::uint32_t count = readLong(moved, 0x15);
        for (std::uint32_t i = 0; i < count; ++i)
            if (moved[0x19 + i * 9] == number) writeLong(moved, 0x19 + i * 9 + 1, 0xFFFFFFF0u);
        fixLocatorCrc(moved);
        EXPECT_TRUE(failsCleanly(moved)) << "section " << number << " beyond the end";
    }
    Bytes manySections = file_;
    writeLong(manySections, 0x15, 0x40000000u);
    EXPECT_TRUE(failsCleanly(manySections));
}

// Rewrites the object map as one page whose entries all point at the same
// object under different handles, or at offsets outside the file.
Bytes withObjectMap(const Bytes& file,
                    const std::vector<std::pair<std::uint64_t, std::int64_t>>& deltas) {
    const Bytes page = testsupport::objectMapSection(deltas);
    Bytes result = file;
    const std::size_t at = result.size();
    result.insert(result.end(), page.begin(), page.end());
    const std::uint32_t count = readLong(result, 0x15);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (result[0x19 + i * 9] == 2) {
            writeLong(result, 0x19 + i * 9 + 1, static_cast<std::uint32_t>(at));
            writeLong(result, 0x19 + i * 9 + 5, static_cast<std::uint32_t>(page.size()));
        }
    }
    fixLocatorCrc(result);
    return result;
}

TEST_F(MalformedSample, ObjectMapPointingOutsideOrAtTheWrongObjectIsAnError) {
    EXPECT_TRUE(
        failsCleanly(withObjectMap(file_, {{1, static_cast<std::int64_t>(file_.size()) + 1000}})));
    EXPECT_TRUE(failsCleanly(withObjectMap(file_, {{1, 100}, {1, -200}})));
    // Two handles naming one record: the record's own handle matches only one of them.
    const Locator header = locator(file_, 0);
    EXPECT_TRUE(failsCleanly(withObjectMap(file_, {{1, header.seeker + header.size}, {1, 0}})));
}

TEST_F(MalformedSample, RepeatedHandlesInTheObjectMapAreAnError) {
    const Locator mapLocator = locator(file_, 2);
    const auto original = dwg::detail::parseObjectMap(
        std::span<const std::uint8_t>(file_.data() + mapLocator.seeker, mapLocator.size),
        dwg::detail::FileContext{});
    ASSERT_FALSE(original.empty());
    const auto& first = original.front();
    std::vector<std::pair<std::uint64_t, std::int64_t>> entries = {
        {first.handle, static_cast<std::int64_t>(first.offset)}};
    EXPECT_FALSE(failsCleanly(withObjectMap(file_, entries)));

    // The same object listed again and again under one handle (zero steps).
    entries.resize(500, {0, 0});
    EXPECT_TRUE(failsCleanly(withObjectMap(file_, entries)));
}

}  // namespace
