// The install killed (SIGKILL, injected by strace) at every rename and
// removal it makes; after the next start the category is the old one or the
// new one, complete with the record of its version, and nothing the run made
// is left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DrawingBytes.h"
#include "PackageServer.h"
#include "ZipFixtures.h"
#include "download/PackageIndex.h"
#include "library/Library.h"

namespace fs = std::filesystem;

namespace {

enum class Ending { Completed, Killed, Failed };

// Runs argv to its end within a deadline; a run past it is killed and fails.
Ending runToEnd(std::vector<std::string> arguments, int& exitCode) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return Ending::Failed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            exitCode = -1;
            return Ending::Failed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (exitCode == 0) return Ending::Completed;
    // strace ends with the signal its tracee got.
    return exitCode == 128 + SIGKILL ? Ending::Killed : Ending::Failed;
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
    ASSERT_STRNE(TESSALY_STRACE, "") << "strace is needed to kill the run at each step";
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

    // Every call of each system call the install renames or removes with.
    constexpr int kMaxSteps = 80;
    int kills = 0;
    for (const char* call : {"rename", "renameat", "renameat2", "unlink", "unlinkat", "rmdir"}) {
        for (int step = 1;; ++step) {
            SCOPED_TRACE(std::string(call) + " number " + std::to_string(step));
            ASSERT_LE(step, kMaxSteps) << "the run never completed";
            const fs::path program = temp.path() / "programa";
            fs::remove_all(program);
            for (const fixtures::Member& member : old)
                fixtures::writeFile(program / "Blocos" / member.name, member.data);

            int code = 0;
            const Ending ending = runToEnd(
                {TESSALY_STRACE, "-f", "-o", "/dev/null", "-e",
                 "inject=" + std::string(call) + ":signal=KILL:when=" + std::to_string(step),
                 TESSALY_INSTALL_RUN, "install", program.string(), server.baseAddress(), "3"},
                code);
            ASSERT_NE(ending, Ending::Failed) << "exit code " << code;
            ASSERT_EQ(runToEnd({TESSALY_INSTALL_RUN, "recover", program.string()}, code),
                      Ending::Completed);

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
                const std::string name = entry.path().filename().string();
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
