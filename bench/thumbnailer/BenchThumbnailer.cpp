// The file managers' thumbnail of every sample drawing and of the crafted
// hostile drawings: the picture in memory (counter "drawn": 1 when it was
// rendered, 0 when the file's own preview was used), and the command as a
// file manager runs it, process start to PNG written, with its peak memory.
// The hostile drawings are written for the command into the temporary folder.
//   bench_thumbnailer --benchmark_filter='Command/' --benchmark_min_time=0.01
#include <benchmark/benchmark.h>
#include <dwg/Preview.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <DrawingPicture.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "HostileDrawings.h"

extern char** environ;

namespace {

std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment) ? fromEnvironment : TESSALY_DWG_SAMPLES_DEFAULT;
}

std::vector<std::uint8_t> bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void picture(benchmark::State& state, std::vector<std::uint8_t> bytes) {
    bool drawn = false;
    try {
        drawn = !dwg::readPreview(bytes).has_value();
    } catch (const dwg::Error&) {
        drawn = true;
    }
    for (auto _ : state) benchmark::DoNotOptimize(thumbnailer::drawingPicture(bytes, 256));
    state.counters["drawn"] = drawn ? 1 : 0;
}

void command(benchmark::State& state, const std::filesystem::path& path) {
    const std::string in = path.string();
    const std::string out = (std::filesystem::temp_directory_path() / "bench_thumbnailer.png").string();
    char* argv[] = {const_cast<char*>(TESSALY_THUMBNAILER), const_cast<char*>("-s"),
                    const_cast<char*>("256"), const_cast<char*>(in.c_str()),
                    const_cast<char*>(out.c_str()), nullptr};
    long peakKiB = 0;
    for (auto _ : state) {
        pid_t child = 0;
        if (posix_spawn(&child, TESSALY_THUMBNAILER, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start tessaly-thumbnailer");
            return;
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
    }
    state.counters["peak_MiB"] = double(peakKiB) / 1024;
}

int registerAll() {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(samplesFolder(), error))
        if (entry.path().extension() == ".dwg") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        const std::string name = std::filesystem::relative(file, samplesFolder()).string();
        benchmark::RegisterBenchmark(("Picture/" + name).c_str(), picture, bytesOf(file))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Command/" + name).c_str(), command, file)
            ->Unit(benchmark::kMillisecond);
    }
    for (auto& hostile : testsupport::hostileDrawings()) {
        benchmark::RegisterBenchmark(("Picture/hostil/" + hostile.name).c_str(), picture, hostile.bytes)
            ->Unit(benchmark::kMillisecond);
        const auto file = std::filesystem::temp_directory_path() / ("bench_thumbnailer_" + hostile.name + ".dwg");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(hostile.bytes.data()), std::streamsize(hostile.bytes.size()));
        benchmark::RegisterBenchmark(("Command/hostil/" + hostile.name).c_str(), command, file)
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}

const int registered = registerAll();

}  // namespace
