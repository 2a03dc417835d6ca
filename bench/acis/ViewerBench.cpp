// What the viewer's worker does with the real 3D drawings, at the preview's
// size (852 x 448): opening one shaded in its saved view (reading the bytes,
// building, rasterising), and a minute of the user's zooming and turning it
// (each step a fifth of a wheel notch in, then a drag of 3 pixels round),
// with the solid cache kept as the viewer keeps it: the resident memory
// after the first step, at its highest and at the end, and what the cache
// holds (flat is the goal).
//   acis_bench --benchmark_filter='Open3D|ZoomOrbit'
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Raster.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr int kWidth = 852;
constexpr int kHeight = 448;
// The viewer's: a notch zooms by 1.25, a pixel of drag turns by 0.01, faces
// are flat to within half a pixel.
constexpr double kWheelStep = 1.25;
constexpr double kRadiansPerPixel = 0.01;
constexpr double kFacetPixels = 0.5;

std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment) ? fromEnvironment : TESSALY_DWG_SAMPLES_DEFAULT;
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    double size = 0, resident = 0;
    statm >> size >> resident;
    return resident * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

render::Picture shaded(const render::DisplayList& list, const render::View& view) {
    render::RasterOptions options;
    options.style = render::VisualStyle::Shaded;
    return render::rasterise(list, view, options);
}

void open3d(benchmark::State& state, std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    std::size_t triangles = 0;
    for (auto _ : state) {
        const dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(*bytes));
        render::SolidCache solids;
        render::BuildOptions options;
        options.projection = render::savedProjection(drawing);
        options.solids = &solids;
        const render::DisplayList list = render::buildModelSpace(drawing, options);
        const render::Picture picture =
            shaded(list, render::View::fit(list.extents, kWidth, kHeight, 0.03));
        benchmark::DoNotOptimize(picture.pixels.data());
        triangles = list.triangles.size();
        state.counters["simplified"] = list.report.simplified() ? 1 : 0;
    }
    state.counters["triangles"] = static_cast<double>(triangles);
}

void zoomOrbit(benchmark::State& state, std::shared_ptr<const dwg::Drawing> drawing) {
    for (auto _ : state) {
        render::SolidCache solids;
        render::BuildOptions options;
        options.projection = render::savedProjection(*drawing);
        options.solids = &solids;
        render::DisplayList list = render::buildModelSpace(*drawing, options);
        render::View view = render::View::fit(list.extents, kWidth, kHeight, 0.03);
        double first = 0, highest = 0, cacheHighest = 0;
        for (int step = 0; step < 60; ++step) {
            for (const bool turn : {false, true}) {
                if (turn)
                    options.projection = options.projection.orbited(3 * kRadiansPerPixel, 0);
                else
                    view.scale *= std::pow(kWheelStep, 24.0 / 120);
                options.surfaceTolerance = kFacetPixels / view.scale;
                list = render::buildModelSpace(*drawing, options);
                benchmark::DoNotOptimize(shaded(list, view).pixels.data());
                const double now = residentMegabytes();
                if (first == 0) first = now;
                highest = std::max(highest, now);
                cacheHighest = std::max(cacheHighest, double(solids.meshBytes()) / (1 << 20));
            }
        }
        state.counters["MB_first"] = first;
        state.counters["MB_highest"] = highest;
        state.counters["MB_last"] = residentMegabytes();
        state.counters["cache_MB"] = cacheHighest;
        state.counters["meshes"] = static_cast<double>(solids.meshCount());
    }
}

const bool registered = [] {
    // The drawing the cache was seen to grow on, and the real 3D ones.
    if (const auto lavamanos = samplesFolder() / "R2018/restaurant_LAVAMANOS.dwg";
        std::filesystem::exists(lavamanos))
        benchmark::RegisterBenchmark(
            "ZoomOrbit/R2018/restaurant_LAVAMANOS.dwg", zoomOrbit,
            std::make_shared<const dwg::Drawing>(dwg::read(lavamanos)))
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    const std::filesystem::path folder = samplesFolder() / "3d";
    if (!std::filesystem::is_directory(folder)) return false;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".dwg") continue;
        const std::string name =
            entry.path().parent_path().filename().string() + "/" + entry.path().filename().string();
        auto bytes = std::make_shared<const std::vector<std::uint8_t>>(dwg::readFileBytes(entry.path()));
        benchmark::RegisterBenchmark(("Open3D/" + name).c_str(), open3d, bytes)
            ->Unit(benchmark::kMillisecond);
        auto drawing = std::make_shared<const dwg::Drawing>(dwg::read(entry.path()));
        benchmark::RegisterBenchmark(("ZoomOrbit/" + name).c_str(), zoomOrbit, drawing)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    return true;
}();

}  // namespace
