// Opening the R2004+ container and decoding the four sections a drawing needs,
// without parsing them: the share of the read that the containers take.
#include "BenchSamples.h"
#include "SectionContainer.h"

namespace {

void decodeSections(benchmark::State& state, const benchsupport::Sample& sample) {
    for (auto _ : state) {
        const auto container = dwg::container::openSectionContainer(*sample.bytes);
        for (const char* name :
             {"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects"}) {
            auto bytes = container->read(name);
            benchmark::DoNotOptimize(bytes);
        }
    }
    benchsupport::countBytes(state, sample);
}

const bool registered = [] {
    for (const auto& sample :
         benchsupport::samplesOf({"R2004", "R2007", "R2010", "R2013", "R2018"}))
        benchmark::RegisterBenchmark(("sections/" + sample.name).c_str(), decodeSections, sample)
            ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
