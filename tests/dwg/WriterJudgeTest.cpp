// What the writer writes, judged by a reader that is not ours: every entity
// kind in every version written, read by LibreDWG (tests/judges), which must
// find no critical error, no CRC or handle error and the same entities.
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "WrittenDrawings.h"

namespace {

using namespace dwg;
using namespace testsupport;

constexpr Version kWritten[] = {Version::R2000, Version::R2004, Version::R2010, Version::R2013,
                                Version::R2018};

struct Verdict {
    std::string status;
    nlohmann::json report;
};

// Runs the judge once over every file; its verdicts by file name.
std::map<std::string, Verdict> judge(const std::vector<std::filesystem::path>& files) {
    std::string command = "node \"" LIBREDWG_CHECK_SCRIPT "\"";
    for (const auto& file : files) command += " \"" + file.string() + "\"";
    command += " 2>&1";
    std::map<std::string, Verdict> verdicts;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return verdicts;
    std::string output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
    std::istringstream lines(output);
    std::string status, path;
    while (lines >> status >> path) {
        std::string rest;
        std::getline(lines, rest);
        Verdict verdict{status, nlohmann::json::parse(rest, nullptr, false)};
        verdicts[std::filesystem::path(path).filename().string()] = verdict;
    }
    if (verdicts.empty()) ADD_FAILURE() << "o juiz não respondeu (instale-o com "
                                           "tests/judges/install-libredwg.sh):\n"
                                        << output;
    return verdicts;
}

TEST(WriterJudge, EveryKindInEveryVersionPassesLibreDwg) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tessaly-juiz-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    struct Written {
        std::string caseName;
        Version version;
        std::map<std::string, int> kinds;  // what our reader reads back
    };
    std::map<std::string, Written> written;
    std::vector<std::filesystem::path> files;
    const std::vector<EntityCase> cases = entityCases();
    for (Version version : kWritten) {
        for (std::size_t i = 0; i < cases.size(); ++i) {
            Drawing drawing = nestedBlocks();
            drawing.blocks[0].entities.push_back(cases[i].entity);
            const std::vector<std::uint8_t> bytes = writeDwg(drawing, version);
            const std::string name =
                std::string(versionCode(version)) + "-" + std::to_string(i) + ".dwg";
            std::ofstream(folder / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            files.push_back(folder / name);
            Written entry{cases[i].name, version, {}};
            const Drawing back = read(std::span<const std::uint8_t>(bytes));
            for (const Block& block : back.blocks)
                for (const auto& [kind, count] : countEntityTypes(block))
                    entry.kinds[kind] += count;
            written[name] = std::move(entry);
        }
    }
    const std::map<std::string, Verdict> verdicts = judge(files);
    for (const auto& [name, entry] : written) {
        SCOPED_TRACE(std::string(versionCode(entry.version)) + " " + entry.caseName);
        const auto found = verdicts.find(name);
        ASSERT_NE(found, verdicts.end()) << name;
        EXPECT_EQ(found->second.status, "ok") << found->second.report.dump();
        std::map<std::string, int> judged;
        if (found->second.report.contains("entities"))
            for (const auto& [kind, count] : found->second.report["entities"].items())
                if (kind != "BLOCK" && kind != "ENDBLK" && kind != "SEQEND")
                    judged[kind] = count.get<int>();
        EXPECT_EQ(judged, entry.kinds);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
