// The dwginfo tool as other programs run it: its JSON against the sample facts.
#include "MiniJson.h"
#include "Samples.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

ToolRun run(const std::string& arguments) {
    const std::string command = std::string(DWGINFO_PATH) + " " + arguments + " 2>&1";
    ToolRun result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer{};
    while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quotedPath(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

TEST(DwgInfo, JsonHasTheAgreedShapeAndMatchesTheFacts) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    std::ifstream in(testsupport::samplesFolder() / "facts.json");
    std::stringstream text;
    text << in.rdbuf();
    const testjson::Value facts = testjson::parse(text.str());

    for (const char* name : {"R2000/libredwg_entities-2d.dwg", "R2000/libredwg_RAY.dwg", "R14/libredwg_Leader.dwg"}) {
        SCOPED_TRACE(name);
        const ToolRun result = run("--json " + quotedPath(testsupport::samplesFolder() / name));
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(result.output.rfind("{\"version\": ", 0), 0u);
        const testjson::Value json = testjson::parse(result.output);
        const testjson::Value& fact = facts[name];
        EXPECT_EQ(json.object.size(), 7u);
        EXPECT_EQ(json["version"].string, fact["version"].string);
        for (const char* space : {"modelspace", "paperspace"}) {
            std::map<std::string, double> actual, expected;
            for (const auto& [type, n] : json[space].object) actual[type] = n.number;
            for (const auto& [type, n] : fact[space].object) expected[type] = n.number;
            EXPECT_EQ(actual, expected) << space;
        }
        if (fact.has("header_extmin")) {
            ASSERT_EQ(json["extmin"].array.size(), 3u);
            EXPECT_NEAR(json["extmax"][0].number, fact["header_extmax"][0].number, 1e-5);
        } else {
            EXPECT_TRUE(json["extmin"].isNull());
            EXPECT_TRUE(json["extmax"].isNull());
        }
        EXPECT_EQ(json["blocks"].type, testjson::Value::Type::Object);
        EXPECT_EQ(json["skipped"].type, testjson::Value::Type::Object);
    }
    const testjson::Value leader =
        testjson::parse(run("--json " + quotedPath(testsupport::samplesFolder() / "R14/libredwg_Leader.dwg")).output);
    EXPECT_EQ(leader["skipped"]["IMAGE"].number, 5);
    EXPECT_EQ(leader["blocks"]["_OPEN30"]["LINE"].number, 3);
}

TEST(DwgInfo, UnreadableFileFailsWithTheReason) {
    const ToolRun missing = run("--json /nonexistent/drawing.dwg");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.output.find("não foi possível abrir"), std::string::npos);

    const std::filesystem::path notDrawing = std::filesystem::temp_directory_path() / "dwginfo-test-not-a-drawing.dwg";
    std::ofstream(notDrawing) << "plain text";
    const ToolRun text = run(quotedPath(notDrawing));
    std::filesystem::remove(notDrawing);
    EXPECT_NE(text.exitCode, 0);
    EXPECT_NE(text.output.find("não é um desenho DWG"), std::string::npos);
}

}  // namespace
