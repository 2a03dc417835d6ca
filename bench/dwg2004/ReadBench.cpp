// Read time of every R2004-R2018 sample: the whole read (dwg::read from
// memory) and, separately, only opening the container and decoding its
// sections. Samples come from $TESSALY_DWG_SAMPLES or the folder beside the
// checkout.
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "SectionContainer.h"

namespace {

std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment)
               ? std::filesystem::path(fromEnvironment)
               : std::filesystem::path(TESSALY_DWG_SAMPLES_DEFAULT);
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void readDrawing(benchmark::State& state, std::shared_ptr<const std::vector<std::uint8_t>> file) {
    for (auto _ : state) {
        dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(*file));
        benchmark::DoNotOptimize(drawing);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file->size()));
}

void decodeSections(benchmark::State& state,
                    std::shared_ptr<const std::vector<std::uint8_t>> file) {
    for (auto _ : state) {
        const auto container = dwg::container::openSectionContainer(*file);
        for (const char* name :
             {"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects"}) {
            auto bytes = container->read(name);
            benchmark::DoNotOptimize(bytes);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file->size()));
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (const char* version : {"R2004", "R2007", "R2010", "R2013", "R2018"}) {
        const auto folder = samplesFolder() / version;
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".dwg") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        auto bytes = std::make_shared<const std::vector<std::uint8_t>>(readBytes(path));
        const std::string name =
            path.parent_path().filename().string() + "/" + path.filename().string();
        benchmark::RegisterBenchmark(("read/" + name).c_str(), readDrawing, bytes)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("sections/" + name).c_str(), decodeSections, bytes)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
