// Time to write a drawing of about 200 KB (lines, arcs, polylines with
// bulges, texts, solid fills and nested inserts) to memory, with its size;
// and to write each of the ten largest sample drawings in every version, as
// read (less the kinds of entity the writer does not store), with the size
// written.
#include <benchmark/benchmark.h>
#include <dwg/Reader.h>
#include <dwg/Writer.h>

#include <cmath>
#include <string>

#include "BenchSamples.h"

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

void writeSample(benchmark::State& state, std::shared_ptr<const dwg::Drawing> drawing,
                 dwg::Version version) {
    std::size_t size = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> bytes = dwg::writeDwg(*drawing, version);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["KB"] = static_cast<double>(size) / 1024;
}

const bool registered = [] {
    std::vector<benchsupport::Sample> samples = benchsupport::samplesOf(
        {"R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018", "3d/R2010",
         "3d/R2013", "3d/R2018"});
    std::sort(samples.begin(), samples.end(), [](const auto& a, const auto& b) {
        return a.bytes->size() > b.bytes->size();
    });
    samples.resize(std::min<std::size_t>(samples.size(), 10));
    for (const auto& sample : samples) {
        dwg::Drawing drawing;
        try {
            drawing = dwg::read(std::span<const std::uint8_t>(*sample.bytes));
        } catch (const dwg::Error&) {
            continue;
        }
        // As the conversion before the writer would: RGB colours become an index for 2000.
        for (dwg::Block& block : drawing.blocks) {
            std::erase_if(block.entities, [](const dwg::Entity& e) {
                return !dwg::canWrite(e, dwg::Version::R2000);
            });
            for (dwg::Entity& e : block.entities)
                if (e.header.color.kind == dwg::Color::Kind::True)
                    e.header.color = dwg::Color::fromIndex(7);
        }
        for (dwg::Layer& layer : drawing.layers)
            if (layer.color.kind == dwg::Color::Kind::True) layer.color = dwg::Color::fromIndex(7);
        const auto shared = std::make_shared<const dwg::Drawing>(std::move(drawing));
        for (dwg::Version version : {dwg::Version::R2000, dwg::Version::R2004, dwg::Version::R2010,
                                     dwg::Version::R2013, dwg::Version::R2018})
            benchmark::RegisterBenchmark(
                ("write/" + std::string(dwg::versionCode(version)) + "/" + sample.name).c_str(),
                writeSample, shared, version)
                ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
