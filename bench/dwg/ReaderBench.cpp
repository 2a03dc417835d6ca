// dwg::read of every sample drawing, from memory, with the throughput per
// file; "largest/" reads the ten largest, the 3D drawings among them, which
// the reader's speed is judged on.
#include <dwg/Reader.h>

#include "BenchSamples.h"

namespace {

void readDrawing(benchmark::State& state, const benchsupport::Sample& sample) {
    for (auto _ : state) {
        dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(*sample.bytes));
        benchmark::DoNotOptimize(drawing);
    }
    benchsupport::countBytes(state, sample);
}

const bool registered = [] {
    for (const auto& sample : benchsupport::samplesOf(
             {"R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"}))
        benchmark::RegisterBenchmark(("read/" + sample.name).c_str(), readDrawing, sample)
            ->Unit(benchmark::kMillisecond);
    for (const auto& sample : benchsupport::largestSamples(10))
        benchmark::RegisterBenchmark(("largest/" + sample.name).c_str(), readDrawing, sample)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
