// The sample drawings the benchmarks read: $TESSALY_DWG_SAMPLES, else the
// folder beside the checkout, loaded into memory once so that disk time stays out.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace benchsupport {

struct Sample {
    std::string name;  // "R2013/ikea_MALM_no-590-024-36.dwg"
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
};

inline std::vector<Sample> samplesOf(std::initializer_list<const char*> versions) {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    const std::filesystem::path folder = (fromEnvironment && *fromEnvironment)
                                             ? std::filesystem::path(fromEnvironment)
                                             : std::filesystem::path(TESSALY_DWG_SAMPLES_DEFAULT);
    std::vector<std::filesystem::path> paths;
    for (const char* version : versions) {
        if (!std::filesystem::is_directory(folder / version)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder / version))
            if (entry.path().extension() == ".dwg") paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<Sample> samples;
    for (const auto& path : paths) {
        std::ifstream in(path, std::ios::binary);
        samples.push_back(
            {path.parent_path().filename().string() + "/" + path.filename().string(),
             std::make_shared<const std::vector<std::uint8_t>>(std::istreambuf_iterator<char>(in),
                                                               std::istreambuf_iterator<char>())});
    }
    return samples;
}

// The `count` largest drawings of the version folders and of 3d/ together,
// largest first, named by their folder under the samples ("3d/R2018/...").
inline std::vector<Sample> largestSamples(std::size_t count) {
    std::vector<Sample> all = samplesOf({"R13", "R14", "R2000", "R2004", "R2007", "R2010",
                                         "R2013", "R2018"});
    for (Sample& sample : samplesOf({"3d/R2010", "3d/R2013", "3d/R2018"})) {
        sample.name = "3d/" + sample.name;
        all.push_back(std::move(sample));
    }
    std::stable_sort(all.begin(), all.end(), [](const Sample& a, const Sample& b) {
        return a.bytes->size() > b.bytes->size();
    });
    if (all.size() > count) all.resize(count);
    return all;
}

inline void countBytes(benchmark::State& state, const Sample& sample) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(sample.bytes->size()));
}

}  // namespace benchsupport
