// The R2004 and R2007 containers against the real sample drawings: every
// sample opens, lists the sections a drawing needs, and each section decodes
// to bytes that carry the framing the reader expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <stdexcept>

#include "SampleFiles.h"
#include "SectionContainer.h"

namespace {

using dwg::container::openSectionContainer;
using dwg::container::SectionContainer;

constexpr std::array<std::uint8_t, 16> kHeaderStart = {
    0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9, 0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
constexpr std::array<std::uint8_t, 16> kHeaderEnd = {
    0x30, 0x84, 0xE0, 0xDC, 0x02, 0x21, 0xC7, 0x56, 0xA0, 0x83, 0x97, 0x47, 0xB1, 0x92, 0xCC, 0xA0};
constexpr std::array<std::uint8_t, 16> kClassesStart = {
    0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5, 0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
constexpr std::array<std::uint8_t, 16> kClassesEnd = {
    0x72, 0x5E, 0x3B, 0x47, 0x3B, 0x56, 0x07, 0x3A, 0x3F, 0x23, 0x0B, 0xA0, 0x18, 0x30, 0x49, 0x75};

std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           std::uint32_t{bytes[offset + 3]} << 24;
}

bool hasAt(const std::vector<std::uint8_t>& bytes, std::size_t offset,
           const std::array<std::uint8_t, 16>& sentinel) {
    return offset + sentinel.size() <= bytes.size() &&
           std::equal(sentinel.begin(), sentinel.end(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A framed section (header variables, classes): start sentinel, RL size,
// possibly a second RL, data, CRC, end sentinel.
void expectFramed(const std::vector<std::uint8_t>& section,
                  const std::array<std::uint8_t, 16>& start,
                  const std::array<std::uint8_t, 16>& end, const std::string& what) {
    ASSERT_TRUE(hasAt(section, 0, start)) << what << " does not open with its sentinel";
    const std::size_t size = u32At(section, 16);
    const bool plain = hasAt(section, 16 + 4 + size + 2, end);
    const bool withExtraWord = hasAt(section, 16 + 8 + size + 2, end);
    EXPECT_TRUE(plain || withExtraWord)
        << what << ": no end sentinel after " << size << " data bytes";
}

class EverySample : public ::testing::Test {
  protected:
    void SetUp() override { TESSALY_REQUIRE_SAMPLES_OR_SKIP(); }
};

TEST_F(EverySample, OpensWithTheSectionsADrawingNeeds) {
    const auto files = testsupport::samplesOf({"R2004", "R2007", "R2010", "R2013", "R2018"});
    ASSERT_GT(files.size(), 80u);
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        const auto file = testsupport::readFileBytes(path);
        std::unique_ptr<SectionContainer> container;
        ASSERT_NO_THROW(container = openSectionContainer(file));
        for (const char* name :
             {"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects"}) {
            const auto* entry = container->find(name);
            ASSERT_NE(entry, nullptr) << name;
            EXPECT_GT(entry->size, 0u) << name;
            EXPECT_GT(entry->pageCount, 0u) << name;
        }
        // Names are unique and readable.
        std::vector<std::string> names;
        for (const auto& entry : container->sections()) {
            EXPECT_EQ(entry.name.rfind("AcDb:", 0), 0u) << entry.name;
            names.push_back(entry.name);
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    }
}

TEST_F(EverySample, SectionsDecodeToTheirFraming) {
    for (const auto& path : testsupport::samplesOf({"R2004", "R2007", "R2010", "R2013", "R2018"})) {
        SCOPED_TRACE(path.string());
        const auto file = testsupport::readFileBytes(path);
        const auto container = openSectionContainer(file);

        const auto header = container->read("AcDb:Header");
        EXPECT_EQ(header.size(), container->find("AcDb:Header")->size);
        expectFramed(header, kHeaderStart, kHeaderEnd, "AcDb:Header");
        expectFramed(container->read("AcDb:Classes"), kClassesStart, kClassesEnd, "AcDb:Classes");

        // The objects open with the data marker 0x0DCA.
        const auto objects = container->read("AcDb:AcDbObjects");
        ASSERT_GE(objects.size(), 4u);
        EXPECT_EQ(u32At(objects, 0), 0x0DCAu);

        // The object map is a run of pages, each with a big-endian size,
        // ending with a page of size 2.
        const auto handles = container->read("AcDb:Handles");
        std::size_t pos = 0;
        std::size_t pageSize = 0;
        while (pos + 2 <= handles.size()) {
            pageSize = std::size_t{handles[pos]} << 8 | handles[pos + 1];
            if (pageSize <= 2) break;
            pos += pageSize + 2;
        }
        EXPECT_EQ(pageSize, 2u) << "object map does not end with an empty page";
    }
}

std::vector<std::uint8_t> sample(const char* relative) {
    return testsupport::readFileBytes(testsupport::samplesFolder() / relative);
}

TEST_F(EverySample, DamagedEncryptedFileHeaderIsRejected) {
    auto file = sample("R2004/libredwg_Line.dwg");
    file[0x80 + 0x54] ^= 0x01;  // the page map address
    EXPECT_THROW(openSectionContainer(file), std::runtime_error);
}

TEST_F(EverySample, TruncatedFilesAreRejected) {
    for (const char* name :
         {"R2004/libredwg_Line.dwg", "R2007/libredwg_Arc.dwg", "R2018/libredwg_Arc.dwg"}) {
        SCOPED_TRACE(name);
        auto file = sample(name);
        for (const std::size_t keep :
             {std::size_t{0}, std::size_t{0x90}, std::size_t{0x500}, file.size() / 2}) {
            const std::vector<std::uint8_t> cut(file.begin(),
                                                file.begin() + static_cast<std::ptrdiff_t>(keep));
            EXPECT_THROW(
                {
                    const auto container = openSectionContainer(cut);
                    container->read("AcDb:AcDbObjects");
                },
                std::runtime_error)
                << "kept " << keep << " bytes";
        }
    }
}

TEST_F(EverySample, ADataPageWithAWrongChecksumIsRejected) {
    auto file = sample("R2004/libredwg_Line.dwg");
    const auto container = openSectionContainer(file);
    const auto before = container->read("AcDb:Header");
    // Flip one byte in every 0x20-aligned page body until a section read
    // notices; the page map and section map must stay valid for this.
    std::size_t noticed = 0;
    for (std::size_t offset = 0x100 + 0x40; offset < file.size(); offset += 0x400) {
        auto damaged = file;
        damaged[offset] ^= 0x5A;
        try {
            const auto reopened = openSectionContainer(damaged);
            for (const auto& entry : reopened->sections()) reopened->read(entry.name);
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("danificado"), std::string::npos)
                << error.what();
            ++noticed;
        }
    }
    EXPECT_GT(noticed, 10u);
    EXPECT_EQ(container->read("AcDb:Header"), before);
}

TEST_F(EverySample, R2007HeaderSurvivesByteErrorsTheCodeCorrects) {
    const auto file = sample("R2007/libredwg_Arc.dwg");
    const auto reference = openSectionContainer(file)->read("AcDb:Header");
    auto damaged = file;
    // Eight wrong bytes in each of the three interleaved codewords.
    for (std::size_t j = 0; j < 8; ++j)
        for (std::size_t block = 0; block < 3; ++block)
            damaged[0x80 + block + 3 * (20 * j + 5)] ^= 0xFF;
    EXPECT_EQ(openSectionContainer(damaged)->read("AcDb:Header"), reference);
    // A ninth error in one codeword is beyond the code.
    damaged[0x80 + 3 * 200] ^= 0x33;
    EXPECT_THROW(openSectionContainer(damaged), std::runtime_error);
}

// Three wrong bytes in one codeword are beyond RS(255,251), which then may
// "correct" towards another codeword; the page checksum must catch that.
// Whatever the damage, a read gives the original bytes or an error.
TEST_F(EverySample, R2007DamageBeyondTheCodeNeverYieldsWrongData) {
    const auto file = sample("R2007/libredwg_Arc.dwg");
    const auto original = openSectionContainer(file);
    std::map<std::string, std::vector<std::uint8_t>> expected;
    for (const auto& entry : original->sections())
        expected[entry.name] = original->read(entry.name);

    int refused = 0;
    for (std::size_t stride = 1; stride <= 64; ++stride) {
        for (std::size_t offset = 0x2000; offset + 2 * stride < file.size(); offset += 0x1F01) {
            auto damaged = file;
            for (std::size_t k = 0; k < 3; ++k)
                damaged[offset + k * stride] ^= static_cast<std::uint8_t>(0x5B + k);
            try {
                const auto container = openSectionContainer(damaged);
                for (const auto& entry : container->sections())
                    ASSERT_EQ(container->read(entry.name), expected[entry.name])
                        << entry.name << " offset " << offset << " stride " << stride;
            } catch (const std::runtime_error&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0);
}

TEST_F(EverySample, UnknownVersionsAreRefused) {
    auto file = sample("R2018/libredwg_Arc.dwg");
    std::memcpy(file.data(), "AC1099", 6);
    EXPECT_THROW(openSectionContainer(file), std::runtime_error);
}

}  // namespace
