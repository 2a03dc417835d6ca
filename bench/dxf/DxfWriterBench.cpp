// Writing DXF from drawings already read: the ten largest samples, in each
// version that holds what is left once the unwritable entities are dropped.
// Throughput is the DXF's bytes.
#include <dwg/DxfWriter.h>
#include <dwg/Reader.h>

#include "BenchSamples.h"
#include "WritableDrawing.h"

namespace {

void registerLargest() {
    auto samples = benchsupport::samplesOf(
        {"R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018", "3d/R2010", "3d/R2013",
         "3d/R2018"});
    std::sort(samples.begin(), samples.end(), [](const auto& a, const auto& b) {
        return a.bytes->size() > b.bytes->size();
    });
    if (samples.size() > 10) samples.resize(10);
    for (const benchsupport::Sample& sample : samples) {
        for (const dwg::Version version : {dwg::Version::R2000, dwg::Version::R2018}) {
            auto drawing = std::make_shared<dwg::Drawing>(dwg::read(*sample.bytes));
            benchsupport::dropUnwritable(*drawing, version);
            try {
                dwg::writeDxf(*drawing, version);
            } catch (const dwg::WriteError&) {
                continue;  // what this version cannot hold, the conversion turns first
            }
            const std::string name = std::string("DxfWrite/") +
                                     (version == dwg::Version::R2000 ? "2000/" : "2018/") + sample.name;
            benchmark::RegisterBenchmark(name.c_str(), [drawing, version](benchmark::State& state) {
                std::size_t bytes = 0;
                for (auto _ : state) {
                    const std::string file = dwg::writeDxf(*drawing, version);
                    bytes = file.size();
                    benchmark::DoNotOptimize(file.data());
                }
                state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
            })->Unit(benchmark::kMillisecond);
        }
    }
}

const int registered = (registerLargest(), 0);

}  // namespace
