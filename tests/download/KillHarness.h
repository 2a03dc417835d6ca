// Kills at random moments, as a power cut or the task manager would: each
// operation on a category (install, update, uninstall) is timed as it runs
// undisturbed, then started again and again and killed (SIGKILL; on Windows
// TerminateProcess) after a random delay of up to 1.1 times that time. After
// the program's start-up recovery the category must be the old one or the
// new one, complete and never a mix, with nothing left behind.
#pragma once

#include <platform/Process.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DrawingBytes.h"
#include "PackageServer.h"
#include "ZipFixtures.h"
#include "library/Library.h"
#include "paths/Utf8Path.h"

namespace killharness {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum class Operation { Install, Update, Uninstall };
inline constexpr Operation kOperations[] = {Operation::Install, Operation::Update,
                                            Operation::Uninstall};
inline const char* nameOf(Operation operation) {
    switch (operation) {
        case Operation::Install:
            return "install";
        case Operation::Update:
            return "update";
        case Operation::Uninstall:
            return "uninstall";
    }
    return "";
}

struct Figures {
    int rounds = 0;
    int killed = 0;                           // ended by the kill before their end
    int completed = 0;                        // ended by themselves before the kill came
    int losses = 0;                           // a category gone that should have stayed
    int mixes = 0;                            // a category neither old nor new
    int leftovers = 0;                        // rounds that left something behind
    std::vector<std::string> faults;          // the first few, described
    std::chrono::milliseconds undisturbed{};  // the operation's own time
};

// Every file and folder below folder, with the bytes of each file.
using Snapshot = std::map<std::string, std::string>;
inline std::optional<Snapshot> snapshotOf(const fs::path& folder) {
    if (!fs::is_directory(fs::symlink_status(folder))) return std::nullopt;
    Snapshot snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = paths::pathToUtf8(fs::relative(entry.path(), folder));
        snapshot[name] =
            entry.is_directory() ? std::string("<pasta>") : fixtures::readFile(entry.path());
    }
    return snapshot;
}

class Harness {
  public:
    static constexpr int kCategory = 3;

    // helper: the install_run program; work: a folder of the harness's own.
    Harness(fs::path helper, fs::path work) : helper_(std::move(helper)), work_(std::move(work)) {
        writePackage("antigo", {"Velho", "Antigo"});
        writePackage("novo", {"Pia", "Fogao", "Geladeira", "Mesa"});
        server_ = std::make_unique<test_support::PackageServer>(work_ / "servidor");
        fs::create_directories(emptyProgram() / "Blocos");
        fs::copy(emptyProgram(), oldProgram(), fs::copy_options::recursive);
        if (run({"install", folder(oldProgram()), base("antigo"), "3"}) != 0)
            throw std::runtime_error("the old category could not be installed");
        old_ = snapshotOf(oldProgram() / "Blocos" / "3");
    }

    // Times the operation undisturbed (the middle of `runs` runs) and keeps
    // what it leaves as the new category.
    void measure(Operation operation, Figures& figures, int runs) {
        std::vector<Clock::duration> times;
        for (int n = 0; n < runs; ++n) {
            prepare(operation);
            const auto start = Clock::now();
            if (run(arguments(operation)) != 0)
                throw std::runtime_error("an undisturbed run failed");
            times.push_back(Clock::now() - start);
            if (operation != Operation::Uninstall) new_ = snapshotOf(category());
        }
        std::sort(times.begin(), times.end());
        figures.undisturbed =
            std::chrono::duration_cast<std::chrono::milliseconds>(times[times.size() / 2]);
    }

    // One round: started, killed at random, recovered, judged.
    void round(Operation operation, std::mt19937_64& random, Figures& figures) {
        prepare(operation);
        const auto limit = figures.undisturbed * 11 / 10;
        std::uniform_int_distribution<long long> pick(0,
                                                      std::max<long long>(limit.count() * 1000, 1));
        const std::chrono::microseconds delay(pick(random));
        ++figures.rounds;
        {
            platform::Process process;
            std::error_code error;
            if (!process.start(helper_, arguments(operation), platform::Process::Output::Discarded,
                               error))
                throw std::runtime_error("the helper did not start: " + error.message());
            std::this_thread::sleep_for(delay);
            if (process.wait(std::chrono::milliseconds(0))) {
                ++figures.completed;
            } else {
                process.kill();
                ++figures.killed;
            }
        }
        if (run({"recover", folder(program())}) != 0) throw std::runtime_error("recovery failed");
        judge(operation, delay, figures);
    }

  private:
    void writePackage(const std::string& name, const std::vector<std::string>& blocks) {
        std::vector<fixtures::Member> members;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            members.emplace_back("3/IMG/" + blocks[i] + ".PNG", "png " + name + blocks[i]);
            members.emplace_back(
                "3/DWG/" + blocks[i] + ".DWG.zip",
                fixtures::drawingBytes(60000, static_cast<unsigned>(i + name.size())));
        }
        const fs::path package = work_ / "servidor" / name / "blocos" / library::packageName(3);
        fs::create_directories(package.parent_path());
        fixtures::writeWithLibzip(package, members);
    }
    fs::path emptyProgram() const { return work_ / "vazio"; }
    fs::path oldProgram() const { return work_ / "antigo"; }
    fs::path program() const { return work_ / "programa"; }
    fs::path category() const { return program() / "Blocos" / "3"; }
    static std::string folder(const fs::path& path) { return paths::pathToUtf8(path); }
    std::string base(const std::string& name) const { return server_->baseAddress() + name + "/"; }

    std::vector<std::string> arguments(Operation operation) const {
        if (operation == Operation::Uninstall) return {"uninstall", folder(program()), "3"};
        return {"install", folder(program()), base("novo"), "3"};
    }
    void prepare(Operation operation) const {
        fs::remove_all(program());
        fs::copy(operation == Operation::Install ? emptyProgram() : oldProgram(), program(),
                 fs::copy_options::recursive);
    }
    int run(const std::vector<std::string>& arguments) const {
        return platform::runToEnd(helper_, arguments, std::chrono::minutes(1)).exitCode;
    }

    void judge(Operation operation, std::chrono::microseconds delay, Figures& figures) const {
        const std::optional<Snapshot> now = snapshotOf(category());
        const bool mayBeOld = operation != Operation::Install;
        const bool mayBeNew = operation != Operation::Uninstall;
        const bool isOld = now == (mayBeOld ? old_ : std::nullopt);
        const bool isNew = now == (mayBeNew ? new_ : std::nullopt);
        const auto fault = [&](int& count, const std::string& what) {
            ++count;
            if (figures.faults.size() < 5)
                figures.faults.push_back(std::string(nameOf(operation)) + " killed after " +
                                         std::to_string(delay.count()) + " µs: " + what);
        };
        if (!isOld && !isNew) {
            if (!now)
                fault(figures.losses, "the category is gone");
            else
                fault(figures.mixes, "the category is neither the old nor the new one, " +
                                         std::to_string(now->size()) + " entries");
        }
        // Kept: a download's partial file (continued next time), the search index.
        const std::set<std::string> kept = {"3", ".3.zip.part", ".3.zip.part.id"};
        std::string left;
        for (const auto& entry : fs::directory_iterator(program() / "Blocos")) {
            const std::string name = paths::pathToUtf8(entry.path().filename());
            if (!kept.count(name) && !name.starts_with("indice.db")) left += " Blocos/" + name;
        }
        for (const auto& entry : fs::directory_iterator(program()))
            if (entry.path().filename() != "Blocos")
                left += " " + paths::pathToUtf8(entry.path().filename());
        if (!left.empty()) fault(figures.leftovers, "left behind:" + left);
    }

    fs::path helper_;
    fs::path work_;
    std::unique_ptr<test_support::PackageServer> server_;
    std::optional<Snapshot> old_;
    std::optional<Snapshot> new_;
};

}  // namespace killharness
