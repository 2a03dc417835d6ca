// Read time per R13-R2000 sample drawing, from memory (no disk time), with
// throughput in bytes per second.
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment) ? fromEnvironment : TESSALY_DWG_SAMPLES_DEFAULT;
}

void readFromMemory(benchmark::State& state, const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    for (auto _ : state) {
        dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(bytes));
        benchmark::DoNotOptimize(drawing);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}

const bool registered = [] {
    for (const char* version : {"R13", "R14", "R2000"}) {
        const std::filesystem::path folder = samplesFolder() / version;
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".dwg") continue;
            const std::string name = std::string(version) + "/" + entry.path().filename().string();
            benchmark::RegisterBenchmark(name.c_str(), readFromMemory, entry.path())
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
