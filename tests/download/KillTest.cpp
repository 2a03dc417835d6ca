// The install ended (as a kill ends it) at every rename and removal it
// makes; after the next start the category is the old one or the new one,
// complete with the record of its version, and nothing the run made is left.
#include <gtest/gtest.h>
#include <platform/Process.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "DrawingBytes.h"
#include "PackageServer.h"
#include "ZipFixtures.h"
#include "download/PackageIndex.h"
#include "library/Library.h"
#include "paths/Utf8Path.h"

namespace fs = std::filesystem;

namespace {

enum class Ending { Completed, Killed, Failed };

// The install run's status when it ended itself at the chosen step.
constexpr int kEndedAtStep = 137;

// Runs the install helper to its end within a deadline; a run past it is
// killed and fails.
Ending runToEnd(const std::vector<std::string>& arguments, int& exitCode) {
    platform::Process run;
    std::error_code error;
    if (!run.start(TESSALY_INSTALL_RUN, arguments, platform::Process::Output::Discarded, error))
        return Ending::Failed;
    const std::optional<int> code = run.wait(std::chrono::seconds(60));
    exitCode = code.value_or(-1);
    if (!code) return Ending::Failed;
    if (exitCode == 0) return Ending::Completed;
    return exitCode == kEndedAtStep ? Ending::Killed : Ending::Failed;
}

std::vector<fixtures::Member> categoryMembers(int index, const std::vector<std::string>& blocks) {
    std::vector<fixtures::Member> members;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string top = std::to_string(index);
        members.emplace_back(top + "/IMG/" + blocks[i] + ".PNG", "png " + blocks[i]);
        members.emplace_back(top + "/DWG/" + blocks[i] + ".DWG.zip",
                             fixtures::drawingBytes(5000, static_cast<unsigned>(i) + 1));
    }
    return members;
}

// recorded: the category carries the record of the signed line it came from.
std::vector<std::string> treeOf(const std::vector<fixtures::Member>& members, int index,
                                bool recorded) {
    std::set<std::string> names;
    if (recorded) names.insert(download::kInstalledRecordName);
    const std::string top = std::to_string(index) + "/";
    for (const fixtures::Member& member : members) {
        const std::string relative = member.name.substr(top.size());
        names.insert(relative.substr(0, relative.find('/')));
        names.insert(relative);
    }
    return {names.begin(), names.end()};
}

}  // namespace

TEST(KilledInstall, EveryRenameAndRemovalLeavesTheOldOrTheNewCategoryComplete) {
    const fixtures::TempFolder temp;
    const fs::path served = temp.path() / "servidor";
    const auto fresh = categoryMembers(3, {"Pia", "Fogao", "Geladeira"});
    fs::create_directories(served / "blocos");
    ASSERT_NO_FATAL_FAILURE(
        fixtures::writeWithLibzip(served / "blocos" / library::packageName(3), fresh));
    const test_support::PackageServer server(served);
    const auto old = categoryMembers(3, {"Velho", "Antigo"});
    const std::vector<std::string> oldTree = treeOf(old, 3, false),
                                   newTree = treeOf(fresh, 3, true);

    // Every rename and every removal the install makes.
    constexpr int kMaxSteps = 200;
    int kills = 0;
    for (const char* kind : {"rename", "remove"}) {
        for (int step = 1;; ++step) {
            SCOPED_TRACE(std::string(kind) + " number " + std::to_string(step));
            ASSERT_LE(step, kMaxSteps) << "the run never completed";
            const fs::path program = temp.path() / "programa";
            fs::remove_all(program);
            for (const fixtures::Member& member : old)
                fixtures::writeFile(program / "Blocos" / member.name, member.data);

            int code = 0;
            const std::string folder = paths::pathToUtf8(program);
            const Ending ending = runToEnd(
                {"install", folder, server.baseAddress(), "3", kind, std::to_string(step)}, code);
            ASSERT_NE(ending, Ending::Failed) << "exit code " << code;
            ASSERT_EQ(runToEnd({"recover", folder}, code), Ending::Completed);

            const std::vector<std::string> category = fixtures::listTree(program / "Blocos" / "3");
            if (ending == Ending::Completed)
                EXPECT_EQ(category, newTree);
            else
                EXPECT_TRUE(category == oldTree || category == newTree)
                    << "a category neither old nor new, " << category.size() << " entries";
            // A download cut short keeps its partial file and identity, to be
            // continued; the search index and its own journal are the library's.
            const std::set<std::string> notLeftovers = {".3.zip.part", ".3.zip.part.id", "indice.db",
                                                     "indice.db-journal", "indice.db-wal",
                                                     "indice.db-shm"};
            std::size_t kept = 0;
            for (const auto& entry : fs::directory_iterator(program / "Blocos")) {
                const std::string name = paths::pathToUtf8(entry.path().filename());
                if (notLeftovers.count(name)) {
                    ++kept;
                    continue;
                }
                EXPECT_EQ(name, "3") << "a leftover in Blocos";
            }
            EXPECT_EQ(fixtures::listTree(program).size(), category.size() + 2 + kept)
                << "nothing beside Blocos, the journal gone";
            if (ending == Ending::Completed) break;
            ++kills;
        }
    }
    EXPECT_GT(kills, 0);
}
