// Decoding every ACIS model of the sample drawings with solids (the drawing
// already read): the part of drawing a solid that is the decoder's; and
// tessellating every face of those models (decoded already) at a tolerance of
// a thousandth and a hundred-thousandth of each model's size, as a view
// showing the whole solid, or a small part of it close up, would ask.
//   acis_bench --benchmark_filter=LAVAMANOS
#include <acis/Model.h>
#include <acis/Tessellate.h>
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>

#include <algorithm>
#include <cmath>
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

struct Decoded {
    acis::Model model;
    double size = 0;  // the diagonal of its vertices' box
};

void tessellateAll(benchmark::State& state, std::shared_ptr<const std::vector<Decoded>> models,
                   double relativeTolerance) {
    std::size_t faces = 0, failed = 0, triangles = 0;
    for (auto _ : state) {
        faces = failed = triangles = 0;
        for (const Decoded& d : *models) {
            acis::TessellationLimits limits;
            limits.tolerance = d.size * relativeTolerance;
            const acis::ModelMesh mesh = acis::tessellate(d.model, limits);
            for (const acis::FaceMesh& f : mesh.faces) {
                ++faces;
                failed += f.error.empty() ? 0 : 1;
                triangles += f.mesh.triangles.size();
            }
        }
        benchmark::DoNotOptimize(triangles);
    }
    state.counters["faces"] = static_cast<double>(faces);
    state.counters["failed"] = static_cast<double>(failed);
    state.counters["triangles"] = static_cast<double>(triangles);
}

std::shared_ptr<const std::vector<Decoded>> decodeModels(const dwg::Drawing& drawing) {
    auto models = std::make_shared<std::vector<Decoded>>();
    for (const dwg::Block& block : drawing.blocks)
        for (const dwg::Entity& entity : block.entities)
            if (const auto* data = std::get_if<dwg::AcisData>(&entity.data)) {
                Decoded d{acis::decode(data->bytes), 0};
                acis::Vec3 low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
                for (const acis::Vertex& v : d.model.vertices) {
                    low = {std::min(low.x, v.position.x), std::min(low.y, v.position.y),
                           std::min(low.z, v.position.z)};
                    high = {std::max(high.x, v.position.x), std::max(high.y, v.position.y),
                            std::max(high.z, v.position.z)};
                }
                d.size = std::hypot(high.x - low.x, high.y - low.y, high.z - low.z);
                models->push_back(std::move(d));
            }
    return models;
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
        const auto models = decodeModels(*drawing);
        for (const auto& [label, tolerance] :
             {std::pair{"Tessellate/", 1e-3}, std::pair{"TessellateClose/", 1e-5}})
            benchmark::RegisterBenchmark((std::string(label) + name).c_str(), tessellateAll, models,
                                         tolerance)
                ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
