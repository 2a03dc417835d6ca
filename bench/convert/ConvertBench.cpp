// Saving the largest sample drawing in each format the program offers, as a
// save does it: read, converted, given its preview picture and written to
// memory (the disk stays out). Goal: under 100 ms each.
#include <benchmark/benchmark.h>
#include <convert/Export.h>

#include <algorithm>

#include "BenchSamples.h"

namespace {

const benchsupport::Sample& largest() {
    static const benchsupport::Sample sample = [] {
        std::vector<benchsupport::Sample> all =
            benchsupport::samplesOf({"R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013",
                                     "R2018", "3d/R2010", "3d/R2013", "3d/R2018"});
        if (all.empty()) return benchsupport::Sample{};
        return *std::max_element(all.begin(), all.end(), [](const auto& a, const auto& b) {
            return a.bytes->size() < b.bytes->size();
        });
    }();
    return sample;
}

void saveLargest(benchmark::State& state, dwg::SaveFormat format) {
    const benchsupport::Sample& sample = largest();
    if (!sample.bytes) {
        state.SkipWithError("no sample drawings");
        return;
    }
    state.SetLabel(sample.name);
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(convert::exportDrawing(*sample.bytes, {format, std::nullopt}));
        } catch (const convert::ExportError& error) {
            state.SkipWithError(error.what());
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.bytes->size()));
}

BENCHMARK_CAPTURE(saveLargest, dwg2000, dwg::SaveFormat::Dwg2000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(saveLargest, dwg2004, dwg::SaveFormat::Dwg2004)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(saveLargest, dwg2010, dwg::SaveFormat::Dwg2010)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(saveLargest, dwg2013, dwg::SaveFormat::Dwg2013)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(saveLargest, dwg2018, dwg::SaveFormat::Dwg2018)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(saveLargest, dxf2000, dwg::SaveFormat::Dxf2000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(saveLargest, dxf2018, dwg::SaveFormat::Dxf2018)->Unit(benchmark::kMillisecond);

}  // namespace
