// Decoding every ACIS model of the sample drawings with solids (the drawing
// already read): the part of drawing a solid that is the decoder's.
//   acis_bench --benchmark_filter=LAVAMANOS
#include <acis/Model.h>
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment) ? fromEnvironment : TESSALY_DWG_SAMPLES_DEFAULT;
}

void decodeAll(benchmark::State& state, std::shared_ptr<const dwg::Drawing> drawing) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::size_t edges = 0;
        for (const dwg::Block& block : drawing->blocks)
            for (const dwg::Entity& entity : block.entities)
                if (const auto* data = std::get_if<dwg::AcisData>(&entity.data)) {
                    edges += acis::decode(data->bytes).edges.size();
                    bytes += data->bytes.size();
                }
        benchmark::DoNotOptimize(edges);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

const bool registered = [] {
    for (const char* name : {"R2018/restaurant_LAVAMANOS.dwg", "R2018/symbol_co2-anturi.dwg",
                             "R2018/symbol_hoyrystin-1.dwg", "R2000/acadsharp_sample_AC1015.dwg",
                             "R2004/acadsharp_sample_AC1018.dwg"}) {
        const std::filesystem::path path = samplesFolder() / name;
        if (!std::filesystem::exists(path)) continue;
        auto drawing = std::make_shared<const dwg::Drawing>(dwg::read(path));
        benchmark::RegisterBenchmark((std::string("Decode/") + name).c_str(), decodeAll, drawing)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace
