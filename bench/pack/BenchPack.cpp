// Packing a category of 100 drawings as tessaly-pack does: read, thumbnail,
// block archive, package.
#include <benchmark/benchmark.h>
#include <dwg/Writer.h>

#include <cmath>
#include <fstream>
#include <string>

#include "Pack.h"
#include "Thumbnail.h"

namespace {

namespace fs = std::filesystem;

// A block of some hundred shapes, different for every seed.
dwg::Drawing blockDrawing(int seed) {
    dwg::Block model;
    model.handle = 1;
    model.modelSpace = true;
    auto add = [&](const char* type, dwg::EntityData data) {
        dwg::Entity e;
        e.typeName = type;
        e.data = std::move(data);
        model.entities.push_back(std::move(e));
    };
    for (int i = 0; i < 60; ++i) {
        const double r = 10 + (seed * 7 + i) % 50;
        add("LINE", dwg::Line{{i * 3.0, 0, 0}, {i * 3.0 + r, r, 0}});
        add("ARC", dwg::Arc{{i * 2.0, r, 0}, r, 0.2, 2.5});
        dwg::LwPolyline outline;
        outline.closed = true;
        outline.points = {{0, 0}, {r, 0}, {r, r / 2}, {0, r / 2}};
        outline.bulges = {0, 0.4, 0, 0.4};
        add("LWPOLYLINE", outline);
    }
    dwg::Hatch fill;
    fill.patternName = "SOLID";
    fill.solid = true;
    fill.patternType = 1;
    dwg::HatchLoop loop;
    loop.flags = 3;
    loop.isPolyline = true;
    loop.points = {{0, 0}, {100, 0}, {100, 40}, {0, 40}};
    fill.loops = {loop};
    add("HATCH", fill);
    dwg::Text label;
    label.text = "Bloco " + std::to_string(seed) + " – ação";
    label.height = 5;
    add("TEXT", label);
    dwg::Drawing drawing;
    drawing.blocks = {model};
    return drawing;
}

class Folder {
  public:
    Folder() : path_(fs::temp_directory_path() / "tessaly-bench-pack") {
        fs::remove_all(path_);
        fs::create_directories(path_);
        for (int i = 0; i < 100; ++i)
            dwg::writeR2000(blockDrawing(i), path_ / ("Bloco " + std::to_string(i) + ".DWG"));
    }
    ~Folder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

void packHundredDrawings(benchmark::State& state) {
    const Folder folder;
    std::size_t size = 0;
    for (auto _ : state) {
        const pack::PackedCategory packed =
            pack::packDrawings(folder.path(), pack::kDefaultEntryTime, pack::renderThumbnail);
        const std::vector<std::uint8_t> package =
            pack::packageArchive(9, packed.blocks, pack::kDefaultEntryTime);
        size = package.size();
        benchmark::DoNotOptimize(package.data());
    }
    state.counters["package KB"] = static_cast<double>(size) / 1024;
}
BENCHMARK(packHundredDrawings)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
