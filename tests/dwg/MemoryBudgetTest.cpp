// A read takes memory bounded by the file: reads run in a child process under
// an address-space limit of what the child already has plus 64 MiB + 40 times
// the file's size, so that a read that breaks the bound fails there instead
// of in the test runner.
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include "BoundedChild.h"
#include "CraftedObjects.h"
#include "R2004Writer.h"
#include "SampleFiles.h"
#include "Sections.h"

namespace {

using testsupport::Bytes;

constexpr std::size_t kMiB = std::size_t{1} << 20;

std::string describe(const dwg::Drawing& drawing) {
    int lwPolylines = 0;
    for (const dwg::Block& block : drawing.blocks)
        for (const dwg::Entity& entity : block.entities)
            lwPolylines += entity.typeName == "LWPOLYLINE" ? 1 : 0;
    return "damaged=" + std::to_string(drawing.damagedObjects) +
           " lwpolylines=" + std::to_string(lwPolylines);
}

std::size_t allowedFor(const Bytes& file) {
    return 64 * kMiB + 40 * file.size();
}

// Reads each file in one child process, allowed `allowance(file)` bytes of
// address space beyond what it holds before that read, and returns the
// child's account of each read, one line per file.
std::vector<std::string> readInChild(const std::vector<Bytes>& files,
                                     std::size_t (*allowance)(const Bytes&) = allowedFor) {
    return testsupport::runBoundedInChild(
        files.size(), [&](std::size_t i) { return allowance(files[i]); },
        [&](std::size_t i) {
            try {
                return describe(dwg::read(files[i]));
            } catch (const dwg::Error& error) {
                return std::string(error.kind() == dwg::Error::Kind::TooLarge ? "too large"
                                                                              : "error") +
                       ": " + error.what();
            } catch (const std::exception& error) {
                return std::string("other exception: ") + error.what();
            }
        });
}

class MemoryBudget : public ::testing::Test {
  protected:
    void SetUp() override { TESSALY_REQUIRE_SAMPLES_OR_SKIP(); }
};

// A real R2004 drawing repacked with its objects section declaring 250 MB
// while its two pages hold the real objects, and its LWPOLYLINE replaced by
// one whose record claims those 250 MB, all points.
TEST_F(MemoryBudget, ADeclaredSizeFarBeyondThePagesCostsOnlyTheObjectThatClaimsIt) {
    const Bytes original =
        testsupport::readFileBytes(testsupport::samplesFolder() / "R2004/libredwg_Polyline.dwg");
    auto writer = testsupport::writerWithSectionsOf(original, 0x14000);
    Bytes& objects = writer.sections[3].data;
    ASSERT_LE(objects.size(), 2 * writer.sections[3].pageSize - 64);

    dwg::Handle polyline = 0;
    const dwg::Drawing drawing = dwg::read(original);
    for (const dwg::Entity& entity : drawing.modelSpace()->entities)
        if (entity.typeName == "LWPOLYLINE") polyline = entity.header.handle;
    ASSERT_NE(polyline, 0u);
    constexpr std::uint32_t kClaimedBytes = 240u << 20;
    const Bytes record = testsupport::lwPolylineRecord(
        static_cast<std::uint32_t>(polyline), kClaimedBytes * 2 - 1024, kClaimedBytes, false);
    std::vector<std::pair<std::uint64_t, std::int64_t>> steps;
    dwg::Handle previousHandle = 0;
    std::int64_t previousOffset = 0;
    for (dwg::detail::ObjectLocation location :
         dwg::detail::parseObjectMap(writer.sections[2].data, {})) {
        if (location.handle == polyline) location.offset = objects.size();
        steps.emplace_back(location.handle - previousHandle,
                           static_cast<std::int64_t>(location.offset) - previousOffset);
        previousHandle = location.handle;
        previousOffset = static_cast<std::int64_t>(location.offset);
    }
    objects.insert(objects.end(), record.begin(), record.end());
    writer.sections[2].data = testsupport::objectMapSection(steps);
    writer.editSectionMap = [](Bytes& map) {
        testsupport::putU32(map, testsupport::descriptionAt(map, 3), 250u << 20);
    };
    const Bytes crafted = writer.write();

    EXPECT_EQ(readInChild({original, crafted}),
              (std::vector<std::string>{"damaged=0 lwpolylines=1", "damaged=1 lwpolylines=0"}));
}

TEST_F(MemoryBudget, EverySampleReadsWithinTheBound) {
    const auto samples = testsupport::samplesOf(
        {"R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"});
    ASSERT_EQ(samples.size(), 118u);
    std::vector<Bytes> files;
    for (const auto& path : samples) files.push_back(testsupport::readFileBytes(path));
    const std::vector<std::string> reports = readInChild(files);
    ASSERT_EQ(reports.size(), samples.size()) << reports.front();
    for (std::size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(reports[i].rfind("damaged=0 ", 0), 0u) << samples[i] << ": " << reports[i];
}

// A drawing whose objects section needs 16 MiB at once, read with 2 MiB to
// spare: the allocation fails whatever free memory the test program left behind.
// Only where an address-space limit can be set.
#ifndef __SANITIZE_ADDRESS__
TEST_F(MemoryBudget, RunningOutOfMemoryIsAReaderError) {
    auto writer = testsupport::writerWithSectionsOf(
        testsupport::readFileBytes(testsupport::samplesFolder() / "R2004/libredwg_Polyline.dwg"),
        0x100000);
    writer.sections[3].data.resize(16 * kMiB, 0);
    const auto reports = readInChild({writer.write()}, [](const Bytes&) { return 2 * kMiB; });
    EXPECT_EQ(reports.at(0).rfind("too large: ", 0), 0u) << reports.at(0);
}
#endif

// Counts checked against the bits left may still stand for far more memory
// than a small file can justify, when the bits come out of a compressed section.
TEST(MemoryBudgetOfObjects, ACountBeyondTheBudgetFailsTheRead) {
    constexpr std::uint32_t kDataBytes = 2u << 20;  // 4 million points: 64 MiB
    const Bytes objects =
        testsupport::lwPolylineRecord(0x30, (kDataBytes * 8 - 512) / 4, kDataBytes, true);
    dwg::detail::MemoryBudget budget(64 * 1024);
    dwg::detail::FileContext context;
    context.version = dwg::Version::R2004;
    context.budget = &budget;
    const dwg::detail::ObjectMap map = {{0x30, 0}};
    try {
        dwg::detail::parseObjects(objects, map, {}, {}, context);
        FAIL() << "no error";
    } catch (const dwg::Error& error) {
        EXPECT_EQ(error.kind(), dwg::Error::Kind::TooLarge) << error.what();
    }

    // The same record within a budget that holds its points is read.
    dwg::detail::MemoryBudget ample(std::size_t{1} << 20);
    context.budget = &ample;
    EXPECT_EQ(dwg::detail::parseObjects(objects, map, {}, {}, context).damagedObjects, 0);
}

}  // namespace
