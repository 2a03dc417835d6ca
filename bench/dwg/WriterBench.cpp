// Time to write a drawing of about 200 KB (lines, arcs, polylines with
// bulges, texts, solid fills and nested inserts) to memory, with its size.
#include <benchmark/benchmark.h>
#include <dwg/Writer.h>

#include <cmath>
#include <string>

namespace {

dwg::Entity entity(const char* type, dwg::EntityData data) {
    dwg::Entity e;
    e.typeName = type;
    e.data = std::move(data);
    return e;
}

dwg::Drawing mixedDrawing(int rows) {
    dwg::Drawing drawing;
    dwg::Block chair;
    chair.handle = 2;
    chair.name = "Cadeira";
    chair.entities = {entity("CIRCLE", dwg::Circle{{0, 0, 0}, 20}),
                      entity("LINE", dwg::Line{{-20, 0, 0}, {20, 0, 0}})};
    dwg::Block model;
    model.handle = 1;
    model.modelSpace = true;
    for (int i = 0; i < rows; ++i) {
        const double y = i * 50.0;
        model.entities.push_back(entity("LINE", dwg::Line{{0, y, 0}, {1000.5 + i, y + 3.25, 0}}));
        model.entities.push_back(
            entity("ARC", dwg::Arc{{i * 7.5, y, 0}, 12.5 + i % 7, 0.1 * (i % 10), 3.0 + 0.01 * i}));
        dwg::LwPolyline outline;
        outline.closed = true;
        for (int k = 0; k < 8; ++k)
            outline.points.push_back({i + 40 * std::cos(k * 0.785), y + 40 * std::sin(k * 0.785)});
        outline.bulges.assign(8, 0.2);
        model.entities.push_back(entity("LWPOLYLINE", outline));
        dwg::Text label;
        label.text = "Bloco nº " + std::to_string(i) + " – ação";
        label.insertion = label.alignment = {i * 3.0, y};
        label.height = 2.5;
        model.entities.push_back(entity("TEXT", label));
        if (i % 4 == 0) {
            dwg::Hatch fill;
            fill.patternName = "SOLID";
            fill.solid = true;
            fill.patternType = 1;
            dwg::HatchLoop loop;
            loop.flags = 3;
            loop.isPolyline = true;
            loop.points = outline.points;
            fill.loops = {loop};
            model.entities.push_back(entity("HATCH", fill));
        }
        dwg::Insert placed;
        placed.block = 2;
        placed.insertion = {i * 11.0, y, 0};
        placed.rotation = i * 0.1;
        model.entities.push_back(entity("INSERT", placed));
    }
    drawing.blocks = {model, chair};
    return drawing;
}

void writeTwoHundredKilobytes(benchmark::State& state) {
    const dwg::Drawing drawing = mixedDrawing(400);
    std::size_t size = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> bytes = dwg::writeR2000(drawing);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["KB"] = static_cast<double>(size) / 1024;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(writeTwoHundredKilobytes)->Unit(benchmark::kMillisecond);

}  // namespace
