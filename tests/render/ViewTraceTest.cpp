// Views (fit, zoom about a point, pan) and what a view hands the painter:
// curves within a quarter pixel at any zoom, dashes, culling, clipping.
#include <gtest/gtest.h>
#include <render/Build.h>
#include <render/Trace.h>

#include <cmath>

#include "TestDrawing.h"

namespace {

using render::Box;
using render::Colour;
using render::Vec2;
using render::View;
using testsupport::TestDrawing;

struct Recorder : render::DeviceSink {
    std::vector<std::vector<Vec2>> polylines;
    std::vector<std::vector<Vec2>> polygons;
    int dots = 0;
    void polyline(const Colour&, std::span<const Vec2> points, std::span<const double>) override {
        polylines.emplace_back(points.begin(), points.end());
    }
    void polygon(const Colour&, std::span<const Vec2> points, std::span<const double>,
                 std::span<const std::uint32_t>, bool) override {
        polygons.emplace_back(points.begin(), points.end());
    }
    void dot(const Colour&, Vec2, double) override { ++dots; }
};

TEST(ViewTest, FitZoomAndPan) {
    struct FitCase {
        Box world;
        double width, height, margin;
        Vec2 centre;
        double scale;
    };
    const FitCase fits[] = {
        {{0, 0, 100, 50}, 1000, 1000, 0, {50, 25}, 10},
        {{0, 0, 100, 50}, 1000, 200, 0, {50, 25}, 4},        // height limits
        {{-10, -10, 10, 10}, 1000, 1000, 0.02, {0, 0}, 48},  // 2 % each side
        {{5, 5, 5, 5}, 100, 100, 0.02, {5, 5}, 1},           // a single point
        {Box{}, 100, 100, 0.02, {0, 0}, 1},                  // nothing
    };
    for (const FitCase& f : fits) {
        const View v = View::fit(f.world, f.width, f.height, f.margin);
        EXPECT_NEAR(v.centre.x, f.centre.x, 1e-9);
        EXPECT_NEAR(v.centre.y, f.centre.y, 1e-9);
        EXPECT_NEAR(v.scale, f.scale, 1e-9);
    }
    View v = View::fit({0, 0, 100, 100}, 200, 200, 0);
    const Vec2 cursor{30, 170};
    const Vec2 under = v.toWorld(cursor);
    for (const double factor : {1.25, 0.8, 1e6}) {
        const View zoomed = v.zoomedAbout(cursor, factor);
        const Vec2 still = zoomed.toDevice(under);
        EXPECT_NEAR(still.x, cursor.x, 1e-6) << factor;
        EXPECT_NEAR(still.y, cursor.y, 1e-6) << factor;
    }
    EXPECT_LE(v.zoomedAbout(cursor, 1e300).scale, View::kMaxScale);
    const View panned = v.pannedBy({10, -20});
    const Vec2 moved = panned.toDevice(v.toWorld({50, 50}));
    EXPECT_NEAR(moved.x, 60, 1e-9);
    EXPECT_NEAR(moved.y, 30, 1e-9);
    // World y goes up, device y down.
    EXPECT_LT(v.toDevice({0, 100}).y, v.toDevice({0, 0}).y);
}

TEST(TraceTest, CirclesStayWithinAQuarterPixelAtEveryZoom) {
    TestDrawing t;
    dwg::Circle circle;
    circle.radius = 10;
    t.add(TestDrawing::kModel, "CIRCLE", circle);
    const render::DisplayList list = render::buildModelSpace(t.drawing);
    std::size_t previousCount = 0;
    for (const double scale : {1.0, 10.0, 100.0}) {
        View view;
        view.scale = scale;
        view.width = view.height = 30 * scale;
        Recorder recorder;
        render::traceView(list, view, recorder);
        ASSERT_EQ(recorder.polylines.size(), 1u);
        const auto& points = recorder.polylines[0];
        const Vec2 centre = view.toDevice({0, 0});
        for (std::size_t i = 1; i < points.size(); ++i) {
            const Vec2 middle = (points[i] + points[i - 1]) * 0.5;
            EXPECT_LE(10 * scale - render::length(middle - centre), 0.25 + 1e-9) << scale;
        }
        EXPECT_GT(points.size(), previousCount) << "zooming in adds points";
        previousCount = points.size();
        // A screen of twice the pixel density flattens finer still.
        Recorder sharp;
        render::TraceOptions options;
        options.pixelRatio = 2;
        render::traceView(list, view, sharp, options);
        EXPECT_GT(sharp.polylines.at(0).size(), points.size());
    }
}

TEST(TraceTest, DashesCullingAndInfiniteLines) {
    constexpr dwg::Handle kDashed = 0x60;
    TestDrawing t;
    dwg::Linetype dashed;
    dashed.handle = kDashed;
    dashed.dashes = {10, -5};
    t.drawing.linetypes.push_back(dashed);
    dwg::Entity& line = t.add(TestDrawing::kModel, "LINE", TestDrawing::line(0, 0, 100, 0));
    line.header.linetypeRef = dwg::EntityHeader::LinetypeRef::Explicit;
    line.header.linetype = kDashed;
    t.add(TestDrawing::kModel, "LINE", TestDrawing::line(1000, 1000, 1001, 1000));  // far away
    dwg::ConstructionLine ray;
    ray.point = {50, 10, 0};
    ray.direction = {0, 1, 0};
    t.add(TestDrawing::kModel, "RAY", ray);
    const render::DisplayList list = render::buildModelSpace(t.drawing);

    View view;
    view.centre = {50, 0};
    view.width = 120;
    view.height = 120;
    Recorder recorder;
    render::traceView(list, view, recorder);
    // 0-10, 15-25 ... 90-100: seven dashes of 10 px, and the ray, clipped.
    ASSERT_EQ(recorder.polylines.size(), 8u);
    for (std::size_t i = 0; i < 7; ++i) {
        const auto& dash = recorder.polylines[i];
        EXPECT_NEAR(render::length(dash.back() - dash.front()), 10, 1e-9);
        EXPECT_NEAR(dash.front().x - view.toDevice({0, 0}).x, 15.0 * static_cast<double>(i), 1e-9);
    }
    const auto& clipped = recorder.polylines.back();
    EXPECT_NEAR(clipped.front().y, view.toDevice(Vec2{50, 10}).y, 1e-9);  // starts at its base
    EXPECT_LE(clipped.back().y, 0);                                       // runs off the top
    EXPECT_GT(clipped.back().y, -100);

    // Zoomed far out the pattern is finer than a pixel: drawn solid.
    view.scale = 0.1;
    Recorder solid;
    render::traceView(list, view, solid);
    EXPECT_EQ(solid.polylines.size(), 2u);
}

TEST(TraceTest, PointsTakeTheDrawingsPointStyle) {
    struct Case {
        int mode;
        double size;
        int dots, polylines;
        double reach;  // device pixels from the point to the figure's far end
    };
    const Case cases[] = {
        {0, 0, 1, 0, 0},
        {1, 5, 0, 0, 0},
        {2, 4, 0, 2, 80},  // a plus of 4 units
        {3, 4, 0, 2, 80 * std::sqrt(2)},
        {34, 4, 0, 3, 80},                   // and a circle
        {65, -10, 0, 1, 10 * std::sqrt(2)},  // a square, 10 % of the view's height
        {4, 0, 0, 1, 5},                     // a tick, 5 % of the height by default
    };
    for (const Case& c : cases) {
        TestDrawing t;
        t.drawing.header.pointDisplayMode = c.mode;
        t.drawing.header.pointDisplaySize = c.size;
        dwg::Point point;
        point.position = {5, 5, 0};
        t.add(TestDrawing::kModel, "POINT", point);
        View view;
        view.centre = {5, 5};
        view.scale = 40;
        view.width = view.height = 200;
        Recorder recorder;
        render::traceView(render::buildModelSpace(t.drawing), view, recorder);
        EXPECT_EQ(recorder.dots, c.dots) << c.mode;
        EXPECT_EQ(static_cast<int>(recorder.polylines.size()), c.polylines) << c.mode;
        double reach = 0;
        for (const auto& line : recorder.polylines)
            for (const Vec2& p : line) reach = std::max(reach, render::length(p - Vec2{100, 100}));
        EXPECT_NEAR(reach, c.reach, 0.3) << c.mode;
    }
}

TEST(TraceTest, TextTurnsIntoGlyphsOrABarWhenTiny) {
    TestDrawing t;
    dwg::Text text;
    text.text = "Tessaly";
    text.height = 10;
    t.add(TestDrawing::kModel, "TEXT", text);
    const render::DisplayList list = render::buildModelSpace(t.drawing);
    for (const double scale : {1.0, 0.01}) {
        const View view = View::fit(list.extents, 200 * scale, 100 * scale, 0);
        Recorder recorder;
        render::traceView(list, view, recorder);
        EXPECT_EQ(recorder.polygons.size(), scale == 1 ? 1u : 0u) << scale;
        EXPECT_EQ(recorder.polylines.size(), scale == 1 ? 0u : 1u) << scale;
    }
}

}  // namespace
