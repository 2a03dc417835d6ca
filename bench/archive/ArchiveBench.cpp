// Extraction of one block archive (a ~1 MB drawing, deflated and encrypted
// under the archive password) by our reader and by Info-ZIP's unzip program on
// the same file. The program's time includes starting the process; that is
// what a user of unzip pays too.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zip.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "DrawingBytes.h"
#include "archive/ZipReader.h"
#include "library/Library.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kDrawingSize = 1024 * 1024;

struct Fixture {
    Fixture() {
        folder =
            fs::temp_directory_path() / ("tessaly-archive-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        archive = folder / "Sofa01.DWG.zip";
        const std::string drawing = testsupport::drawingBytes(kDrawingSize);
        const std::string password(library::kArchivePassword);
        int error = 0;
        zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        zip_source_t* source = zip_source_buffer(zip, drawing.data(), drawing.size(), 0);
        const zip_int64_t index = zip_file_add(zip, "Sofa01.DWG", source, 0);
        zip_file_set_encryption(zip, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                                password.c_str());
        if (zip_close(zip) != 0) std::abort();
    }
    ~Fixture() { fs::remove_all(folder); }
    fs::path folder;
    fs::path archive;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

archive::ExtractOptions optionsFor(const fs::path& destination) {
    archive::ExtractOptions options;
    options.destination = destination;
    options.password = std::string(library::kArchivePassword);
    return options;
}

void BM_ZipReader(benchmark::State& state) {
    archive::ZipReader reader("zip");
    const archive::ExtractOptions options = optionsFor(fixture().folder / "reader");
    for (auto _ : state) {
        std::optional<archive::ZipLease> lease = reader.tryLease();
        lease->open(fixture().archive);
        const archive::ExtractResult result = lease->extract(options);
        if (result.written.size() != 1) state.SkipWithError("drawing not written");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDrawingSize));
}
BENCHMARK(BM_ZipReader)->Unit(benchmark::kMillisecond)->UseRealTime();

// What an export does with the files, its fixed one-second pause left out: the
// block's archive is read where it lies and its drawing written under the
// block's name into the chosen folder.
void BM_ExportFileWork(benchmark::State& state) {
    archive::ZipReader reader("zip");
    archive::ExtractOptions options = optionsFor(fixture().folder / "export");
    options.mask = "*.DWG";
    options.writeAs = "Sofa01.DWG";
    for (auto _ : state) {
        std::optional<archive::ZipLease> lease = reader.tryLease();
        lease->open(fixture().archive);
        const archive::ExtractResult result = lease->extract(options);
        if (result.written.size() != 1) state.SkipWithError("drawing not written");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDrawingSize));
}
BENCHMARK(BM_ExportFileWork)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UnzipProgram(benchmark::State& state) {
    const std::string destination = (fixture().folder / "unzip").string();
    const std::string password(library::kArchivePassword);
    const std::string archive = fixture().archive.string();
    std::vector<std::string> arguments = {"unzip",  "-o",    "-q", "-P",
                                          password, archive, "-d", destination};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    double childSeconds = 0;
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawnp(&child, "unzip", nullptr, nullptr, argv.data(), environ) != 0 ||
            wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            state.SkipWithError("unzip failed");
        childSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    // The work happens in the child, which the benchmark's own CPU time does not see.
    state.counters["unzip_cpu_ms"] =
        benchmark::Counter(childSeconds * 1000.0 / static_cast<double>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDrawingSize));
}
BENCHMARK(BM_UnzipProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
