// The display-list builder over whatever the reader makes of a file: model
// space and every block, then traced through two views, and model space as
// saved (in perspective if so) rasterised in its saved look, with the
// program's own budgets or a hundredth of them (FuzzLimits.h; the input's
// size picks). No crash, memory bounded (run with -rss_limit_mb), and no
// input doing work the budgets do not count.
#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Raster.h>
#include <render/Trace.h>

#include <cstddef>
#include <cstdint>

#include "FuzzLimits.h"

namespace {

struct NullSink : render::DeviceSink {
    std::size_t work = 0;
    void polyline(const render::Colour&, std::span<const render::Vec2> points,
                  std::span<const double>) override {
        work += points.size();
    }
    void polygon(const render::Colour&, std::span<const render::Vec2> points,
                 std::span<const double>, std::span<const std::uint32_t>, bool) override {
        work += points.size();
    }
    void dot(const render::Colour&, render::Vec2, double) override { ++work; }
};

void traceTwice(const render::DisplayList& list) {
    NullSink sink;
    render::View view = render::View::fit(list.extents, 256, 256);
    render::traceView(list, view, sink);
    render::traceView(list, view.zoomedAbout({64, 64}, 50), sink);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dwg::Drawing drawing;
    try {
        drawing = dwg::read(std::span<const std::uint8_t>(data, size));
    } catch (const dwg::Error&) {
        return 0;
    }
    const fuzzlimits::Limits limits = fuzzlimits::pick(size);
    render::BuildOptions options;
    options.limits = limits.build;
    traceTwice(render::buildModelSpace(drawing, options));
    options.projection = render::savedProjection(drawing);
    const render::DisplayList saved = render::buildModelSpace(drawing, options);
    traceTwice(saved);
    render::RasterOptions raster;
    raster.style = render::savedVisualStyle(drawing);
    raster.maxWork = limits.rasterWork;
    render::rasterise(saved, render::View::fit(saved.extents, 128, 128), raster);
    for (const dwg::Block& block : drawing.blocks)
        traceTwice(render::buildDisplayList(drawing, block, options));
    return 0;
}
