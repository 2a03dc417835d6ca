// The R2004 container on files built by the test writer: sections come back
// byte for byte, and each kind of damage to the maps is refused.
#include <dwg/Error.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "R2004Writer.h"
#include "SectionContainer.h"

namespace {

using dwg::container::openSectionContainer;
using testsupport::Bytes;
using testsupport::descriptionAt;
using testsupport::kDescriptionSize;
using testsupport::kPageEntrySize;
using testsupport::putU32;

Bytes randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    Bytes out(count);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(random() % 7);  // compressible, like real data
    return out;
}

testsupport::R2004Writer threeSections() {
    testsupport::R2004Writer writer;
    writer.sections = {{"AcDb:Header", randomBytes(300, 1), 0x7400},
                       {"AcDb:AcDbObjects", randomBytes(3 * 0x7400 + 123, 2), 0x7400},
                       {"AcDb:Handles", randomBytes(1000, 3), 0x100}};
    return writer;
}

void expectDamaged(const testsupport::R2004Writer& writer) {
    const Bytes file = writer.write();
    try {
        const auto container = openSectionContainer(file);
        for (const auto& entry : container->sections()) container->read(entry.name);
        ADD_FAILURE() << "no error";
    } catch (const dwg::Error& error) {
        EXPECT_EQ(error.kind(), dwg::Error::Kind::Damaged) << error.what();
    }
}

TEST(R2004Container, SectionsComeBackAsWritten) {
    const auto writer = threeSections();
    const Bytes file = writer.write();
    const auto container = openSectionContainer(file);
    ASSERT_EQ(container->sections().size(), 3u);
    for (const auto& written : writer.sections) {
        const auto* entry = container->find(written.name);
        ASSERT_NE(entry, nullptr) << written.name;
        EXPECT_EQ(entry->size, written.data.size());
        EXPECT_EQ(entry->pageCount,
                  (written.data.size() + written.pageSize - 1) / written.pageSize);
        EXPECT_EQ(container->read(written.name), written.data) << written.name;
    }
    EXPECT_THROW(container->read("AcDb:Missing"), dwg::Error);
}

TEST(R2004Container, PagesArePlacedByTheirOffsetNotTheirOrder) {
    auto writer = threeSections();
    // List the pages of the objects section backwards.
    writer.editSectionMap = [](Bytes& map) {
        const std::size_t first = descriptionAt(map, 1) + kDescriptionSize;
        std::vector<Bytes> entries;
        for (std::size_t p = 0; p < 4; ++p)
            entries.emplace_back(
                map.begin() + static_cast<std::ptrdiff_t>(first + p * kPageEntrySize),
                map.begin() + static_cast<std::ptrdiff_t>(first + (p + 1) * kPageEntrySize));
        for (std::size_t p = 0; p < 4; ++p)
            std::copy(entries[3 - p].begin(), entries[3 - p].end(),
                      map.begin() + static_cast<std::ptrdiff_t>(first + p * kPageEntrySize));
    };
    const Bytes file = writer.write();
    EXPECT_EQ(openSectionContainer(file)->read("AcDb:AcDbObjects"), writer.sections[1].data);
}

TEST(R2004Container, PagesOfZerosLeftOutOfTheMapReadAsZeros) {
    auto writer = threeSections();
    // The objects section's second page is not listed, as AutoCAD leaves out
    // pages that hold only zeros: what follows it stays where it was.
    writer.editSectionMap = [](Bytes& map) {
        const std::size_t description = descriptionAt(map, 1);
        putU32(map, description + 8, 3);
        const auto second =
            map.begin() + static_cast<std::ptrdiff_t>(description + kDescriptionSize + kPageEntrySize);
        map.erase(second, second + static_cast<std::ptrdiff_t>(kPageEntrySize));
    };
    const Bytes file = writer.write();
    Bytes expected = writer.sections[1].data;
    std::fill(expected.begin() + 0x7400, expected.begin() + 2 * 0x7400, 0);
    EXPECT_EQ(openSectionContainer(file)->read("AcDb:AcDbObjects"), expected);
}

TEST(R2004Container, APageMapListingAPageTwiceIsRefused) {
    auto writer = threeSections();
    writer.editPageMap = [](Bytes& map) { map.insert(map.end(), map.begin(), map.begin() + 8); };
    expectDamaged(writer);
}

TEST(R2004Container, APageMapListingPagesBeyondTheFileIsRefused) {
    auto writer = threeSections();
    // Pages the file cannot hold, as a page map that decompresses to far more than its input.
    writer.editPageMap = [](Bytes& map) {
        for (std::uint32_t id = 100; id < 100'000; ++id) {
            testsupport::appendU32(map, id);
            testsupport::appendU32(map, 0x7400);
        }
    };
    expectDamaged(writer);
}

TEST(R2004Container, ASectionIsNeverLargerThanItsPagesCanHold) {
    auto writer = threeSections();
    writer.editSectionMap = [](Bytes& map) { putU32(map, descriptionAt(map, 1), 250u << 20); };
    const Bytes file = writer.write();
    const auto container = openSectionContainer(file);
    EXPECT_EQ(container->find("AcDb:AcDbObjects")->size, 250u << 20);
    Bytes expected = writer.sections[1].data;
    expected.resize(4 * 0x7400, 0);  // four pages
    EXPECT_EQ(container->read("AcDb:AcDbObjects"), expected);
}

TEST(R2004Container, ADamagedPageFailsItsSectionUnlessReadAsBestEffort) {
    const auto writer = threeSections();
    Bytes file = writer.write();
    const Bytes& objects = writer.sections[1].data;
    constexpr std::size_t kDamagedAt = 0x7400 + 100;  // in the second page
    const auto stored = std::search(file.begin(), file.end(), objects.begin() + kDamagedAt,
                                    objects.begin() + kDamagedAt + 32);
    ASSERT_NE(stored, file.end());
    *stored ^= 0xFF;

    const auto container = openSectionContainer(file);
    EXPECT_THROW(container->read("AcDb:AcDbObjects"), dwg::Error);
    Bytes expected = objects;
    expected[kDamagedAt] ^= 0xFF;
    EXPECT_EQ(container->read("AcDb:AcDbObjects", dwg::container::DamagedPages::BestEffort),
              expected);
}

TEST(R2004Container, ASectionPageMissingFromThePageMapIsRefused) {
    auto writer = threeSections();
    writer.editSectionMap = [](Bytes& map) {
        putU32(map, descriptionAt(map, 0) + kDescriptionSize, 999);
    };
    expectDamaged(writer);
}

TEST(R2004Container, APageClaimedByTwoSectionsIsRefused) {
    auto writer = threeSections();
    writer.editSectionMap = [](Bytes& map) {
        const std::uint32_t firstPage = map[descriptionAt(map, 0) + kDescriptionSize];
        putU32(map, descriptionAt(map, 2) + kDescriptionSize, firstPage);
    };
    expectDamaged(writer);
}

TEST(R2004Container, APageThatExpandsBeyondItsStatedSizeIsRefused) {
    auto writer = threeSections();
    // The header section's page holds 300 bytes; claim pages of 256.
    writer.editSectionMap = [](Bytes& map) { putU32(map, descriptionAt(map, 0) + 12, 256); };
    expectDamaged(writer);
}

TEST(R2004Container, ImpossibleSectionMapsAreRefused) {
    auto tooLarge = threeSections();
    tooLarge.editSectionMap = [](Bytes& map) {
        putU32(map, descriptionAt(map, 0) + 4, 1);
    };  // size >= 4 GiB
    expectDamaged(tooLarge);

    auto tooManyDescriptions = threeSections();
    tooManyDescriptions.editSectionMap = [](Bytes& map) { putU32(map, 0, 4); };
    expectDamaged(tooManyDescriptions);

    auto tooManyPages = threeSections();
    tooManyPages.editSectionMap = [](Bytes& map) { putU32(map, descriptionAt(map, 2) + 8, 1000); };
    expectDamaged(tooManyPages);

    auto pageOfAnotherSection = threeSections();
    pageOfAnotherSection.editSectionMap = [](Bytes& map) {
        putU32(map, descriptionAt(map, 0) + 24, 7);
    };
    expectDamaged(pageOfAnotherSection);
}

TEST(R2004Container, TwoSectionsOfOneNameAreRefused) {
    auto writer = threeSections();
    writer.sections[2].name = "AcDb:Header";
    expectDamaged(writer);
}

TEST(R2004Container, AShiftedPageMapPutsPagesWhereNoPageStarts) {
    auto writer = threeSections();
    // Grow the first page by 0x20: every later page address is then wrong.
    writer.editPageMap = [](Bytes& map) { putU32(map, 4, (map[4] | map[5] << 8) + 0x20); };
    expectDamaged(writer);
}

}  // namespace
