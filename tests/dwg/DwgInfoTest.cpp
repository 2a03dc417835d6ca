// The dwginfo tool as other programs run it: its JSON against the sample facts.
#include <dwg/Preview.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <iterator>
#include <string>
#include <vector>

#include "SampleFacts.h"
#include "ToolRun.h"

namespace {

using testsupport::shellQuoted;
using testsupport::ToolRun;

ToolRun run(const std::string& arguments) {
    return testsupport::runTool(DWGINFO_PATH, arguments);
}

TEST(DwgInfo, JsonHasTheAgreedShapeAndMatchesTheFacts) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const nlohmann::json& facts = testsupport::sampleFacts();
    const std::vector<std::string> agreedKeys = {"version",    "extmin", "extmax",  "modelspace",
                                                 "paperspace", "blocks", "solids",  "skipped",
                                                 "damaged"};

    for (const char* name :
         {"R2000/libredwg_entities-2d.dwg", "R2000/libredwg_RAY.dwg", "R14/libredwg_Leader.dwg"}) {
        SCOPED_TRACE(name);
        const ToolRun result = run("--json " + shellQuoted(testsupport::samplesFolder() / name));
        ASSERT_EQ(result.exitCode, 0) << result.output;
        // Ordered, so that the keys are checked in the order the tool wrote them.
        const auto json = nlohmann::ordered_json::parse(result.output);
        const nlohmann::json& fact = facts.at(name);
        std::vector<std::string> keys;
        for (const auto& member : json.items()) keys.push_back(member.key());
        EXPECT_EQ(keys, agreedKeys);
        EXPECT_EQ(json.at("version").get<std::string>(), fact.at("version").get<std::string>());
        for (const char* space : {"modelspace", "paperspace"}) {
            std::map<std::string, double> actual, expected;
            for (const auto& [type, n] : json.at(space).items()) actual[type] = n.get<double>();
            for (const auto& [type, n] : fact.at(space).items()) expected[type] = n.get<double>();
            EXPECT_EQ(actual, expected) << space;
        }
        if (fact.contains("header_extmin")) {
            ASSERT_TRUE(json.at("extmin").is_array());
            ASSERT_EQ(json.at("extmin").size(), 3u);
            EXPECT_NEAR(json.at("extmax").at(0).get<double>(),
                        fact.at("header_extmax").at(0).get<double>(), 1e-5);
        } else {
            EXPECT_TRUE(json.at("extmin").is_null());
            EXPECT_TRUE(json.at("extmax").is_null());
        }
        EXPECT_TRUE(json.at("blocks").is_object());
        EXPECT_TRUE(json.at("skipped").is_object());
        EXPECT_EQ(json.at("damaged").get<int>(), 0);
    }
    const auto leaderPath = testsupport::samplesFolder() / "R14/libredwg_Leader.dwg";
    const auto leader = nlohmann::json::parse(run("--json " + shellQuoted(leaderPath)).output);
    EXPECT_TRUE(leader.at("skipped").empty());
    EXPECT_EQ(leader.at("modelspace").at("IMAGE").get<double>(), 5);
    EXPECT_EQ(leader.at("blocks").at("_OPEN30").at("LINE").get<double>(), 3);
}

// The same drawing saved in every version: SAT text in R14-R2000, SAB in the
// entity in R2004-R2010, in the data store from R2013; every solid decodes.
TEST(DwgInfo, SolidCountsAreTheSameInEveryVersion) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const nlohmann::json& facts = testsupport::sampleFacts();
    std::optional<nlohmann::json> first;
    for (const char* name :
         {"R14/acadsharp_sample_AC1014.dwg", "R2000/acadsharp_sample_AC1015.dwg",
          "R2004/acadsharp_sample_AC1018.dwg", "R2007/acadsharp_sample_AC1021.dwg",
          "R2010/acadsharp_sample_AC1024.dwg", "R2013/acadsharp_sample_AC1027.dwg",
          "R2018/acadsharp_sample_AC1032.dwg"}) {
        SCOPED_TRACE(name);
        const ToolRun result = run("--json " + shellQuoted(testsupport::samplesFolder() / name));
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const auto json = nlohmann::json::parse(result.output);
        const nlohmann::json& solids = json.at("solids");
        const nlohmann::json& space = facts.at(name).at("modelspace");
        EXPECT_EQ(solids.at("bodies").get<int>(),
                  space.value("3DSOLID", 0) + space.value("REGION", 0) + space.value("BODY", 0));
        for (const char* type : {"3DSOLID", "REGION", "BODY"})
            EXPECT_FALSE(json.at("skipped").contains(type)) << type;
        if (!first) first = solids;
        EXPECT_EQ(solids, *first);
    }
    EXPECT_GT(first->at("faces").get<int>(), 0);
    EXPECT_GT(first->at("edges").get<int>(), first->at("faces").get<int>());
}

// These keep every model in the data store only: found by handle, all decode.
TEST(DwgInfo, SolidsOfTheDataStoreAllDecode) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const nlohmann::json& facts = testsupport::sampleFacts();
    for (const char* name : {"R2018/symbol_co2-anturi.dwg", "R2018/symbol_hoyrystin-1.dwg",
                             "R2018/restaurant_LAVAMANOS.dwg"}) {
        SCOPED_TRACE(name);
        const ToolRun result = run("--json " + shellQuoted(testsupport::samplesFolder() / name));
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const auto json = nlohmann::json::parse(result.output);
        EXPECT_EQ(json.at("solids").at("bodies").get<int>(),
                  facts.at(name).at("modelspace").at("3DSOLID").get<int>());
        EXPECT_FALSE(json.at("skipped").contains("3DSOLID"));
    }
}

int entityCount(const nlohmann::json& counts) {
    int total = 0;
    for (const auto& [type, n] : counts.items()) total += n.get<int>();
    return total;
}

TEST(DwgInfo, ADamagedObjectIsCountedAndTheRestIsReported) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const auto samplePath =
        testsupport::samplesFolder() / "R13/SYNTHETIC-libredwg-rewrite_v_r13.dwg";
    std::ifstream in(samplePath, std::ios::binary);
    std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
    bytes[bytes.size() * 6 / 10] ^= 0x10;  // inside one of the LINE records
    const std::filesystem::path damagedPath =
        std::filesystem::temp_directory_path() / "dwginfo-test-damaged.dwg";
    std::ofstream(damagedPath, std::ios::binary).write(bytes.data(), std::ssize(bytes));
    const ToolRun damaged = run("--json " + shellQuoted(damagedPath));
    std::filesystem::remove(damagedPath);
    const ToolRun intact = run("--json " + shellQuoted(samplePath));

    ASSERT_EQ(damaged.exitCode, 0) << damaged.output;
    const auto damagedJson = nlohmann::json::parse(damaged.output);
    const auto intactJson = nlohmann::json::parse(intact.output);
    EXPECT_EQ(damagedJson.at("damaged").get<int>(), 1);
    EXPECT_EQ(entityCount(damagedJson.at("modelspace")),
              entityCount(intactJson.at("modelspace")) - 1);
}

TEST(DwgInfo, UnreadableFileFailsWithTheReason) {
    const ToolRun missing = run("--json /nonexistent/drawing.dwg");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.output.find("não foi possível abrir"), std::string::npos);

    const std::filesystem::path notDrawing =
        std::filesystem::temp_directory_path() / "dwginfo-test-not-a-drawing.dwg";
    std::ofstream(notDrawing) << "plain text";
    const ToolRun text = run(shellQuoted(notDrawing));
    std::filesystem::remove(notDrawing);
    EXPECT_NE(text.exitCode, 0);
    EXPECT_NE(text.output.find("não é um desenho DWG"), std::string::npos);
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t bigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

TEST(DwgInfo, PreviewIsWrittenAsPngOrRefusedWithAReason) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const auto folder =
        std::filesystem::temp_directory_path() / ("dwginfo-preview-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto out = folder / "preview.png";
    struct Case {
        const char* file;
        bool hasPreview;
    };
    for (const Case& c :
         {Case{"R2000/libredwg_sample_2000.dwg", true}, Case{"R2013/libredwg_Arc.dwg", true},
          Case{"R2018/libredwg_Arc.dwg", false}, Case{"R2000/no-such-file.dwg", false}}) {
        SCOPED_TRACE(c.file);
        std::filesystem::remove(out);
        const auto drawing = testsupport::samplesFolder() / c.file;
        const ToolRun result = run("--preview " + shellQuoted(out) + " " + shellQuoted(drawing));
        if (!c.hasPreview) {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_FALSE(result.output.empty());
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const std::vector<std::uint8_t> png = fileBytes(out);
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
        // The image header's size is the stored image's.
        const auto preview = dwg::readPreview(drawing);
        ASSERT_TRUE(preview);
        if (preview->format == dwg::PreviewImage::Format::Bitmap) {
            const dwg::Raster raster = dwg::decodeBitmap(preview->bytes);
            EXPECT_EQ(bigEndian32(png, 16), std::uint32_t(raster.width));
            EXPECT_EQ(bigEndian32(png, 20), std::uint32_t(raster.height));
        } else {
            EXPECT_EQ(png, preview->bytes);
        }
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
