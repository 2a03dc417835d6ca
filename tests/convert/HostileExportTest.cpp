// Damaged drawings through the whole save: each ends in a file or a clear
// message, in bounded memory. The saves run in a child process under an
// address-space limit, so that one breaking the bound fails there.
#include <convert/Export.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "BoundedChild.h"
#include "Samples.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Cut short at several places, and bytes changed at random (the same each run).
std::vector<Bytes> damaged(const Bytes& sound) {
    std::vector<Bytes> out;
    for (std::size_t share : {2u, 3u, 5u, 9u})
        out.emplace_back(sound.begin(),
                         sound.begin() + static_cast<std::ptrdiff_t>(sound.size() / share));
    std::mt19937 random(7);
    for (int variant = 0; variant < 8; ++variant) {
        Bytes changed = sound;
        for (int i = 0; i < 1 + variant * 4; ++i)
            changed[random() % changed.size()] = static_cast<std::uint8_t>(random());
        out.push_back(std::move(changed));
    }
    return out;
}

constexpr dwg::SaveFormat kFormats[] = {dwg::SaveFormat::Dwg2000, dwg::SaveFormat::Dwg2018,
                                        dwg::SaveFormat::Dxf2000};

// Saves each drawing in each format in a child, allowed what the drawing can
// justify; one line per drawing and format: "ok", "error" or what else went wrong.
std::vector<std::string> saveInChild(const std::vector<Bytes>& drawings) {
    const std::size_t formats = std::size(kFormats);
    return testsupport::runBoundedInChild(
        drawings.size() * formats,
        [&](std::size_t i) { return 512 * kMiB + 60 * drawings[i / formats].size(); },
        [&](std::size_t i) -> std::string {
            try {
                convert::exportDrawing(drawings[i / formats],
                                       {kFormats[i % formats], dwg::LengthUnit::Millimetres});
                return "ok";
            } catch (const convert::ExportError& error) {
                return std::string(error.what()).empty() ? "empty message" : "error";
            } catch (const std::exception& error) {
                return std::string("other exception: ") + error.what();
            }
        });
}

TEST(HostileExport, DamagedSamplesEndInAFileOrAClearMessage) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    std::vector<Bytes> drawings;
    for (const char* sample : {"R2000/libredwg_entities-2d.dwg", "R2004/libredwg_HatchG.dwg",
                               "R2013/libredwg_Leader.dwg", "R2018/libredwg_Multiline.dwg",
                               "R2018/acadsharp_sample_AC1032.dwg"}) {
        std::ifstream in(testsupport::samplesFolder() / sample, std::ios::binary);
        const Bytes sound{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(sound.empty()) << sample;
        for (Bytes& bad : damaged(sound)) drawings.push_back(std::move(bad));
    }
    const std::vector<std::string> lines = saveInChild(drawings);
    ASSERT_EQ(lines.size(), drawings.size() * std::size(kFormats))
        << (lines.empty() ? "" : lines.front());
    for (const std::string& line : lines) EXPECT_TRUE(line == "ok" || line == "error") << line;
}

}  // namespace
