// Per sample drawing and per crafted hostile drawing: building the display
// list (the drawing already read; counters: work units spent, whether the
// build was cut), painting it at 1024 x 724, and dwgrender as a whole process.
// Per sample with surfaces, what the viewer's worker does at the preview's
// size (852 x 448): opening it shaded in its saved view (reading the bytes,
// building, rasterising), and one frame of orbiting (building from a turned
// direction, rasterising), with the memory the list and picture take.
//   bench_render --benchmark_filter='Build/.*KYLD'
//   bench_render --benchmark_filter='(Open|Orbit)3D'
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Painter.h>
#include <render/Raster.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "HostileDrawings.h"

extern char** environ;

namespace {

std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment) ? fromEnvironment : TESSALY_DWG_SAMPLES_DEFAULT;
}

void build(benchmark::State& state, std::shared_ptr<const dwg::Drawing> drawing) {
    render::BuildReport report;
    for (auto _ : state) {
        render::DisplayList list = render::buildModelSpace(*drawing);
        benchmark::DoNotOptimize(list);
        report = list.report;
    }
    state.counters["work"] = static_cast<double>(report.workSpent);
    state.counters["simplified"] = report.simplified() ? 1 : 0;
}

void paint(benchmark::State& state, std::shared_ptr<const dwg::Drawing> drawing) {
    const render::DisplayList list = render::buildModelSpace(*drawing);
    QImage image(1024, 724, QImage::Format_RGB32);
    const render::View view = render::View::fit(list.extents, 1024, 724);
    for (auto _ : state) {
        QPainter painter(&image);
        render::paint(painter, list, view, Qt::white);
    }
}

void wholeProcess(benchmark::State& state, const std::filesystem::path& path) {
    const std::string in = path.string();
    const std::string out = (std::filesystem::temp_directory_path() / "bench_render.png").string();
    char* argv[] = {const_cast<char*>(DWGRENDER_PATH), const_cast<char*>(in.c_str()),
                    const_cast<char*>(out.c_str()), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, DWGRENDER_PATH, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("dwgrender did not start");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("dwgrender failed");
            return;
        }
    }
    std::filesystem::remove(out);
}

constexpr int kPreviewWidth = 852;
constexpr int kPreviewHeight = 448;

// What a list and a picture of it hold, in bytes.
double memoryOf(const render::DisplayList& list, const render::Picture& picture) {
    const auto bytes = [](const auto& v) { return double(v.capacity() * sizeof(v[0])); };
    return bytes(list.items) + bytes(list.pieces) + bytes(list.points) + bytes(list.depths) +
           bytes(list.scalars) + bytes(list.runs) + bytes(list.glyphs) + bytes(list.surfaces) +
           bytes(list.vertices) + bytes(list.normals) + bytes(list.triangles) +
           bytes(list.smoothEdges) + bytes(picture.pixels) +
           // the rasteriser's depth buffer, freed with it
           double(picture.pixels.size() * sizeof(double));
}

render::Picture shaded(const render::DisplayList& list) {
    render::RasterOptions options;
    options.style = render::VisualStyle::Shaded;
    return render::rasterise(
        list, render::View::fit(list.extents, kPreviewWidth, kPreviewHeight, 0.03), options);
}

void openShaded(benchmark::State& state, std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    double memory = 0;
    std::size_t triangles = 0;
    for (auto _ : state) {
        const dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(*bytes));
        const render::DisplayList list = render::buildModelSpaceAsSaved(drawing);
        const render::Picture picture = shaded(list);
        benchmark::DoNotOptimize(picture.pixels.data());
        memory = memoryOf(list, picture);
        triangles = list.triangles.size();
    }
    state.counters["MB"] = memory / (1 << 20);
    state.counters["triangles"] = static_cast<double>(triangles);
}

// A frame of orbiting by the viewer's step: the list built from the next
// direction round, bodies decoded and tessellated once, then its picture.
void orbitFrame(benchmark::State& state, std::shared_ptr<const dwg::Drawing> drawing) {
    render::SolidCache solids;  // as the viewer keeps one per drawing
    render::BuildOptions options;
    options.projection = render::savedProjection(*drawing);
    options.solids = &solids;
    for (auto _ : state) {
        options.projection = options.projection.orbited(0.05, 0);
        const render::DisplayList list = render::buildModelSpace(*drawing, options);
        benchmark::DoNotOptimize(shaded(list).pixels.data());
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

const bool registered = [] {
    for (const auto& crafted : testsupport::hostileDrawings()) {
        auto drawing = std::make_shared<const dwg::Drawing>(dwg::read(crafted.bytes));
        benchmark::RegisterBenchmark(("Build/crafted/" + crafted.name).c_str(), build, drawing)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Paint/crafted/" + crafted.name).c_str(), paint, drawing)
            ->Unit(benchmark::kMillisecond);
    }
    if (!std::filesystem::is_directory(samplesFolder())) return false;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(samplesFolder())) {
        if (entry.path().extension() != ".dwg") continue;
        std::shared_ptr<const dwg::Drawing> drawing;
        try {
            drawing = std::make_shared<const dwg::Drawing>(dwg::read(entry.path()));
        } catch (const dwg::Error&) {
            continue;
        }
        const std::string name = entry.path().parent_path().filename().string() + "/" +
                                 entry.path().filename().string() + "/" +
                                 std::to_string(std::filesystem::file_size(entry.path()) / 1024) +
                                 "KB";
        benchmark::RegisterBenchmark(("Build/" + name).c_str(), build, drawing)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Paint/" + name).c_str(), paint, drawing)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Process/" + name).c_str(), wholeProcess, entry.path())
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        if (render::buildModelSpaceAsSaved(*drawing).surfaces.empty()) continue;
        auto bytes =
            std::make_shared<const std::vector<std::uint8_t>>(dwg::readFileBytes(entry.path()));
        benchmark::RegisterBenchmark(("Open3D/" + name).c_str(), openShaded, bytes)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Orbit3D/" + name).c_str(), orbitFrame, drawing)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

}  // namespace
