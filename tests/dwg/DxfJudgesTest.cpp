// What readers that are not ours make of the DXF files we write: ezdxf reads
// and audits each one and must find the entities of our drawing, kind by kind,
// and the ACIS data byte for byte; LibreCAD must open each one. One file per
// entity kind and version, judged in one run of each reader.
#include <dwg/DxfWriter.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <platform/Process.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "DxfDrawings.h"
#include "TemporaryFolders.h"

namespace {

using namespace dwg;
namespace fs = std::filesystem;

struct WrittenCase {
    std::string name;
    fs::path file;
    std::map<std::string, int> kinds;
    nlohmann::json acis = nlohmann::json::array();
};

// The ACIS data as a reader hands it out: SAB as stored, SAT as its lines.
nlohmann::json expectedAcis(const Drawing& drawing) {
    nlohmann::json found = nlohmann::json::array();
    for (const Block& block : drawing.blocks)
        for (const Entity& entity : block.entities) {
            const auto* acis = std::get_if<AcisData>(&entity.data);
            if (!acis) continue;
            std::string data(acis->bytes.begin(), acis->bytes.end());
            if (!data.starts_with("ACIS BinaryFile")) {
                std::erase(data, '\r');
                if (data.ends_with('\n')) data.pop_back();
            }
            const auto crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                   static_cast<uInt>(data.size()));
            found.push_back({entity.typeName, data.size(), crc});
        }
    return found;
}

std::vector<nlohmann::json> judge(const std::string& judge, const std::vector<WrittenCase>& cases) {
    std::vector<std::string> arguments;
    for (const WrittenCase& c : cases) arguments.push_back(c.file.string());
    const platform::ToolResult run = platform::runToEnd(
        fs::path(TESSALY_JUDGES_DIR) / judge, arguments, std::chrono::minutes(5));
    std::vector<nlohmann::json> verdicts;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("{")) verdicts.push_back(nlohmann::json::parse(line));
    EXPECT_EQ(verdicts.size(), cases.size()) << judge << " said:\n" << run.output;
    return verdicts;
}

class DxfJudges : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = testsupport::makeTemporaryFolder("dxf-juizes");
        for (const Version version : {Version::R2000, Version::R2018}) {
            const char* tag = version == Version::R2000 ? "2000" : "2018";
            int index = 0;
            for (const testsupport::DxfCase& c : testsupport::dxfCases(version)) {
                const Drawing drawing = testsupport::dxfCaseDrawing(c);
                WrittenCase written{std::string(tag) + ": " + c.name,
                                    folder_ / (std::string(tag) + "-" + std::to_string(++index) +
                                               ".dxf"),
                                    testsupport::dxfKindCounts(drawing), expectedAcis(drawing)};
                std::ofstream(written.file, std::ios::binary) << writeDxf(drawing, version);
                cases_.push_back(std::move(written));
            }
        }
    }
    static void TearDownTestSuite() { fs::remove_all(folder_); }

    static inline fs::path folder_;
    static inline std::vector<WrittenCase> cases_;
};

TEST_F(DxfJudges, EzdxfAuditsEveryKindCleanAndFindsTheSameEntities) {
    const std::vector<nlohmann::json> verdicts = judge("ezdxf-check.py", cases_);
    for (std::size_t i = 0; i < verdicts.size() && i < cases_.size(); ++i) {
        const nlohmann::json& v = verdicts[i];
        SCOPED_TRACE(cases_[i].name);
        ASSERT_FALSE(v.contains("read_error")) << v.dump();
        EXPECT_EQ(v["version"], cases_[i].name.starts_with("2000") ? "AC1015" : "AC1032");
        EXPECT_TRUE(v["errors"].empty()) << v["errors"].dump(1);
        EXPECT_TRUE(v["fixes"].empty()) << v["fixes"].dump(1);
        const auto kinds = v["entities"].get<std::map<std::string, int>>();
        EXPECT_EQ(kinds, cases_[i].kinds);
        // Kinds that ezdxf keeps as raw tags (PLANESURFACE) have no data to compare.
        nlohmann::json acis = v["acis"];
        ASSERT_EQ(acis.size(), cases_[i].acis.size());
        for (std::size_t k = 0; k < acis.size(); ++k) {
            if (!acis[k][1].is_null()) {
                EXPECT_EQ(acis[k], cases_[i].acis[k]);
            }
        }
    }
}

TEST_F(DxfJudges, LibreCadOpensEveryKind) {
    const std::vector<nlohmann::json> verdicts = judge("librecad-open.sh", cases_);
    for (std::size_t i = 0; i < verdicts.size() && i < cases_.size(); ++i)
        EXPECT_TRUE(verdicts[i]["opened"].get<bool>()) << cases_[i].name << ": "
                                                       << verdicts[i].dump();
}

}  // namespace
