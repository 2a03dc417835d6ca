// A 50 MB package, encrypted with the archive password, served from a local
// package server. Each iteration runs our code and the common program on the
// same input, one after the other, so that both meet the same load of this
// shared machine; the counters give both times and their ratio.
//   download: net::downloadFile against curl, from the same server
//   install:  installPackage (staging folder and swap included) against unzip -P
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <zip.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DrawingBytes.h"
#include "PackageServer.h"
#include "download/PackageInstall.h"
#include "library/Library.h"
#include "net/Download.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kCategory = 3;
constexpr int kBlocks = 96;
constexpr std::size_t kDrawingSize = 640 * 1024;
constexpr std::size_t kThumbnailSize = 24 * 1024;

struct Fixture {
    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "tessaly-package-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        archive = folder / "served" / "blocos" / library::packageName(kCategory);
        fs::create_directories(archive.parent_path());
        writePackage();
        server = std::make_unique<test_support::PackageServer>(folder / "served");
        url = server->baseAddress() + "blocos/" + library::packageName(kCategory);
    }
    ~Fixture() {
        server.reset();
        fs::remove_all(folder);
    }

    void writePackage() {
        const std::string password(library::kArchivePassword);
        std::vector<std::string> contents;
        int error = 0;
        zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!zip) std::abort();
        for (int block = 0; block < kBlocks; ++block) {
            const std::string name = "Bloco" + std::to_string(block);
            for (const auto& [member, size] :
                 {std::pair{"/IMG/" + name + ".PNG", kThumbnailSize},
                  std::pair{"/DWG/" + name + ".DWG.zip", kDrawingSize}}) {
                contents.push_back(testsupport::drawingBytes(size, static_cast<std::uint32_t>(contents.size())));
                zip_source_t* source =
                    zip_source_buffer(zip, contents.back().data(), contents.back().size(), 0);
                const zip_int64_t index = zip_file_add(
                    zip, (std::to_string(kCategory) + member).c_str(), source, ZIP_FL_ENC_UTF_8);
                if (index < 0 || zip_file_set_encryption(zip, static_cast<zip_uint64_t>(index),
                                                         ZIP_EM_TRAD_PKWARE, password.c_str()))
                    std::abort();
                unpackedBytes += size;
            }
        }
        if (zip_close(zip) != 0) std::abort();
    }

    fs::path folder;
    fs::path archive;
    std::unique_ptr<test_support::PackageServer> server;
    std::string url;
    std::int64_t unpackedBytes = 0;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

bool runProgram(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    int status = 0;
    return posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0 &&
           waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double secondsOf(const std::function<bool()>& work, bool& ok) {
    const auto start = Clock::now();
    ok = work() && ok;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void report(benchmark::State& state, double ours, double theirs, const char* program) {
    const auto n = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = ours * 1000 / n;
    state.counters[std::string(program) + "_ms"] = theirs * 1000 / n;
    state.counters["ratio"] = ours / theirs;
    state.counters["package_MB"] = static_cast<double>(fs::file_size(fixture().archive)) / 1e6;
}

void BM_DownloadAgainstCurl(benchmark::State& state) {
    Fixture& f = fixture();
    const fs::path target = f.folder / "library" / library::packageName(kCategory);
    fs::create_directories(target.parent_path());
    double ours = 0;
    double theirs = 0;
    bool ok = true;
    for (auto _ : state) {
        const double mine = secondsOf(
            [&] {
                return net::downloadFile(f.url, target, [](std::uint64_t, std::uint64_t, bool&) {})
                    .done();
            },
            ok);
        fs::remove(target);
        theirs += secondsOf(
            [&] {
                return runProgram({"curl", "-s", "-f", "-o", target, f.url});
            },
            ok);
        fs::remove(target);
        ours += mine;
        state.SetIterationTime(mine);
    }
    if (!ok) state.SkipWithError("a transfer failed");
    report(state, ours, theirs, "curl");
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(fs::file_size(f.archive)));
}
BENCHMARK(BM_DownloadAgainstCurl)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);

void BM_InstallAgainstUnzip(benchmark::State& state) {
    Fixture& f = fixture();
    const library::Layout layout(f.folder / "program");
    const fs::path unzipped = f.folder / "unzip";
    archive::ZipReader reader;
    fs::create_directories(layout.libraryRoot());
    double ours = 0;
    double theirs = 0;
    bool ok = true;
    for (auto _ : state) {
        const double mine = secondsOf(
            [&] {
                return download::installPackage(
                           reader, f.archive, layout, kCategory, nullptr,
                           [](const archive::ZipProgress&, bool&) {}, nullptr)
                           .outcome == download::InstallOutcome::Installed;
            },
            ok);
        fs::remove_all(layout.categoryFolder(kCategory));
        theirs += secondsOf(
            [&] {
                return runProgram({"unzip", "-q", "-o", "-P",
                                   std::string(library::kArchivePassword), f.archive, "-d",
                                   unzipped});
            },
            ok);
        fs::remove_all(unzipped);
        ours += mine;
        state.SetIterationTime(mine);
    }
    if (!ok) state.SkipWithError("an install failed");
    report(state, ours, theirs, "unzip");
    state.SetBytesProcessed(state.iterations() * f.unpackedBytes);
}
BENCHMARK(BM_InstallAgainstUnzip)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
