// The rasteriser on small drawings: which face shows where faces overlap or
// cross, what each visual style leaves in view, edges on their own faces,
// perspective, and its bounds.
#include <gtest/gtest.h>
#include <render/Build.h>
#include <render/Raster.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>

#include "TestDrawing.h"

namespace {

using render::DisplayList;
using render::Picture;
using render::VisualStyle;
using testsupport::TestDrawing;

constexpr std::uint32_t kWhite = 0xFFFFFF;

enum class Ink { Background, Red, Blue, Dark };

Ink inkAt(const Picture& picture, const render::View& view, double x, double y) {
    const render::Vec2 p = view.toDevice({x, y});
    const std::uint32_t c =
        picture.at(static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y)));
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    if (r > 240 && g > 240 && b > 240) return Ink::Background;
    // Lines cover a pixel in part: red or blue mixed with what lies below.
    if (r - std::max(g, b) > 60) return Ink::Red;
    if (b - std::max(r, g) > 60) return Ink::Blue;
    return Ink::Dark;
}

dwg::Face face(dwg::Point3 a, dwg::Point3 b, dwg::Point3 c, dwg::Point3 d) {
    dwg::Face f;
    f.kind = dwg::Face::Kind::Face3D;
    f.corners = {a, b, c, d};
    return f;
}

dwg::Face level(double x0, double y0, double x1, double y1, double z) {
    return face({x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z});
}

struct Scene {
    TestDrawing drawing;
    void add(const dwg::Face& f, int colour) {
        drawing.add(TestDrawing::kModel, "3DFACE", f, TestDrawing::kLayerZero,
                    dwg::Color::fromIndex(colour));
    }
};

struct Shot {
    render::Projection projection;
    DisplayList list;
    render::View view;
    Picture picture;

    // What shows at a world point.
    Ink at(render::Vec3 world) const {
        const auto seen = render::projectToPicture(list, projection.worldToView().apply(world));
        return seen ? inkAt(picture, view, seen->x, seen->y) : Ink::Background;
    }
};

Shot shoot(const dwg::Drawing& drawing, VisualStyle style,
           render::Projection projection = render::Projection::top(), double size = 120) {
    render::BuildOptions options;
    options.projection = projection;
    Shot shot;
    shot.projection = projection;
    shot.list = render::buildModelSpace(drawing, options);
    shot.view = render::View::fit(shot.list.extents, size, size, 0.05);
    render::RasterOptions raster;
    raster.style = style;
    raster.background = kWhite;
    shot.picture = render::rasterise(shot.list, shot.view, raster);
    return shot;
}

TEST(Raster, TheNearestFaceShowsWhateverTheOrder) {
    struct Case {
        const char* name;
        bool blueFirst;
        render::Projection projection;
        double x, y;  // world point looked at
        Ink expected;
    };
    // Red at z = 0 over (0..10), blue at z = 5 over (5..15).
    const render::Projection below = render::Projection::looking({0, 0, -1});
    const Case cases[] = {
        {"from above", false, render::Projection::top(), 7, 7, Ink::Blue},
        {"from above, drawn the other way", true, render::Projection::top(), 7, 7, Ink::Blue},
        {"from below", false, below, 7, 7, Ink::Red},
        {"red alone", false, render::Projection::top(), 2, 2, Ink::Red},
        {"nothing", false, render::Projection::top(), 13, 2, Ink::Background},
    };
    for (const Case& c : cases) {
        Scene scene;
        if (c.blueFirst) scene.add(level(5, 5, 15, 15, 5), 5);
        scene.add(level(0, 0, 10, 10, 0), 1);
        if (!c.blueFirst) scene.add(level(5, 5, 15, 15, 5), 5);
        const Shot shot = shoot(scene.drawing.drawing, VisualStyle::Shaded, c.projection);
        EXPECT_EQ(shot.at({c.x, c.y, 0}), c.expected) << c.name;
    }
}

TEST(Raster, CrossingFacesShowWhicheverIsNearerOnEachSideOfTheirMeeting) {
    Scene scene;
    scene.add(level(0, 0, 10, 10, 0), 1);
    // Blue rises through the red one along x = 5: below it to the left.
    scene.add(face({0, 0, -5}, {10, 0, 5}, {10, 10, 5}, {0, 10, -5}), 5);
    const Shot shot = shoot(scene.drawing.drawing, VisualStyle::Shaded);
    for (const double y : {2.0, 5.0, 8.0}) {
        EXPECT_EQ(shot.at({3, y, 0}), Ink::Red) << y;
        EXPECT_EQ(shot.at({7, y, 2}), Ink::Blue) << y;
    }
}

// A red box of 3D faces, its edges hidden, with a blue line running beneath it.
TestDrawing boxOverALine() {
    Scene scene;
    for (int sign : {0, 1}) {
        const double at = sign * 10;
        scene.add(level(0, 0, 10, 10, at), 1);
        scene.add(face({0, at, 0}, {10, at, 0}, {10, at, 10}, {0, at, 10}), 1);
        scene.add(face({at, 0, 0}, {at, 10, 0}, {at, 10, 10}, {at, 0, 10}), 1);
    }
    for (dwg::Block& block : scene.drawing.drawing.blocks)
        for (dwg::Entity& e : block.entities) std::get<dwg::Face>(e.data).invisibleEdges = 15;
    dwg::Line line = TestDrawing::line(-10, 5, 20, 5);
    line.start.z = line.end.z = -2;
    scene.drawing.add(TestDrawing::kModel, "LINE", line, TestDrawing::kLayerZero,
                      dwg::Color::fromIndex(5));
    return std::move(scene.drawing);
}

TEST(Raster, EachStyleShowsWhatItShould) {
    struct Case {
        VisualStyle style;
        Ink underTheBox;  // where the line passes below the box
        Ink boxAwayFromTheLine;
    };
    const Case cases[] = {
        {VisualStyle::Wireframe, Ink::Blue, Ink::Background},
        {VisualStyle::Hidden, Ink::Background, Ink::Background},
        {VisualStyle::Shaded, Ink::Red, Ink::Red},
    };
    const TestDrawing drawing = boxOverALine();
    for (const Case& c : cases) {
        const Shot shot = shoot(drawing.drawing, c.style);
        const int style = static_cast<int>(c.style);
        EXPECT_EQ(shot.at({5, 5, -2}), c.underTheBox) << style;
        EXPECT_EQ(shot.at({5, 8, 10}), c.boxAwayFromTheLine) << style;
        // Clear of the box the line shows in every style.
        EXPECT_EQ(shot.at({-5, 5, -2}), Ink::Blue) << style;
        EXPECT_FALSE(shot.picture.truncated);
    }
}

TEST(Raster, EdgesShowOnTheirOwnFacesAndNotThroughOthers) {
    Scene scene;
    // A steep face, z = 3 x, its four edges drawn; seen from the south-west
    // side, high up, where it faces the eye.
    scene.add(face({0, 0, 0}, {10, 0, 30}, {10, 10, 30}, {0, 10, 0}), 1);
    const render::Projection eye = render::Projection::looking({-3, -1, 1});
    const Shot alone = shoot(scene.drawing.drawing, VisualStyle::Hidden, eye, 400);
    // A wall nearer the eye, its edges hidden, across the lower part of the
    // near edge (y = 0, from the origin to (10, 0, 30)).
    Scene covered = scene;
    dwg::Face wall = face({-20, -5, -50}, {-10.5, -5, -50}, {-10.5, -5, 60}, {-20, -5, 60});
    wall.invisibleEdges = 15;
    covered.add(wall, 5);
    const Shot behind = shoot(covered.drawing.drawing, VisualStyle::Hidden, eye, 400);
    int shown = 0, hidden = 0, clear = 0;
    for (int i = 1; i <= 9; ++i) {
        // Along each of its edges, which lie on the face itself.
        for (const render::Vec3 p : {render::Vec3{1.0 * i, 0, 3.0 * i},
                                     {10, 1.0 * i, 30},
                                     {1.0 * i, 10, 3.0 * i},
                                     {0, 1.0 * i, 0}})
            if (alone.at(p) == Ink::Red) ++shown;
        const render::Vec3 p{1.0 * i, 0, 3.0 * i};
        const Ink there = behind.at(p);
        if (i <= 3 && there == Ink::Background) ++hidden;
        if (i >= 6 && there == Ink::Red) ++clear;
    }
    EXPECT_EQ(shown, 4 * 9);
    EXPECT_EQ(hidden, 3);  // behind the wall: its faces hide in the background colour
    EXPECT_EQ(clear, 4);
}

TEST(Raster, PerspectiveEnlargesWhatIsNearerAndLeavesOutWhatIsBehindTheEye) {
    Scene scene;
    scene.add(level(-5, -5, 5, 5, 0), 1);
    scene.add(level(-5, -5, 5, 5, 20), 5);
    // Seen from 40 above the target: the square at 20 is halfway to the eye,
    // twice as large.
    render::Projection eye = render::Projection::top();
    eye.eyeDistance = 40;
    const Shot shot = shoot(scene.drawing.drawing, VisualStyle::Shaded, eye);
    EXPECT_TRUE(shot.list.perspective());
    EXPECT_NEAR(shot.list.extents.width(), 20, 1e-9);
    EXPECT_NEAR(shot.list.extents.height(), 20, 1e-9);
    // Where the far square would show without perspective, the near one covers it.
    EXPECT_EQ(inkAt(shot.picture, shot.view, 8, 8), Ink::Blue);
    EXPECT_EQ(shot.at({0, 0, 20}), Ink::Blue);

    // A face reaching past the eye is cut at its near limit, not drawn wrapped round.
    Scene past = scene;
    past.add(face({-5, -5, 0}, {5, -5, 0}, {5, -5, 60}, {-5, -5, 60}), 1);
    const Shot cut = shoot(past.drawing.drawing, VisualStyle::Shaded, eye);
    EXPECT_FALSE(cut.picture.truncated);
    EXPECT_TRUE(std::isfinite(cut.list.extents.width()));

    // A drawing saved in perspective is built through the eye it was saved from.
    dwg::SavedView saved;
    saved.direction = {0, 0, 40};
    saved.perspective = true;
    scene.drawing.drawing.activeView = saved;
    const DisplayList asSaved = render::buildModelSpaceAsSaved(scene.drawing.drawing);
    EXPECT_DOUBLE_EQ(asSaved.eyeDistance, 40);
    EXPECT_NEAR(asSaved.extents.width(), 20, 1e-9);
}

TEST(Raster, FarAndBrokenGeometryIsDrawnWithinThePicture) {
    struct Case {
        const char* name;
        std::function<void(Scene&)> add;
    };
    const Case cases[] = {
        {"a face reaching far beyond the view",
         [](Scene& s) {
             s.add(face({-1e294, 0, 0}, {1e294, 0, 0}, {0, 1e294, 5}, {0, 1, 0}), 1);
         }},
        {"a circle of no finite size, given a thickness",
         [](Scene& s) {
             dwg::Circle circle;
             circle.radius = std::numeric_limits<double>::infinity();
             circle.thickness = 3;
             s.drawing.add(TestDrawing::kModel, "CIRCLE", circle);
         }},
        {"a round wall with a silhouette far out",
         [](Scene& s) {
             dwg::Circle circle;
             circle.center = {1e200, 0, 0};
             circle.radius = 1e199;
             circle.thickness = 1e200;
             s.drawing.add(TestDrawing::kModel, "CIRCLE", circle);
         }},
    };
    for (const Case& c : cases) {
        Scene scene;
        scene.add(level(0, 0, 10, 10, 0), 1);
        c.add(scene);
        const DisplayList list = render::buildModelSpace(scene.drawing.drawing);
        // The view of the small square: everything else lies far outside it.
        const render::View view = render::View::fit({0, 0, 10, 10}, 64, 64);
        for (const VisualStyle style : {VisualStyle::Hidden, VisualStyle::Shaded}) {
            render::RasterOptions options;
            options.style = style;
            const Picture picture = render::rasterise(list, view, options);
            EXPECT_FALSE(picture.truncated) << c.name;
            EXPECT_EQ(picture.pixels.size(), 64u * 64u) << c.name;
        }
    }
}

TEST(Raster, WorkAndSizeAreBounded) {
    Scene scene;
    for (int i = 0; i < 200; ++i) scene.add(level(0, 0, 10, 10, i), 1 + i % 7);
    const DisplayList list = render::buildModelSpace(scene.drawing.drawing);
    const render::View view = render::View::fit(list.extents, 200, 200);

    render::RasterOptions options;
    EXPECT_FALSE(render::rasterise(list, view, options).truncated);
    options.maxWork = 1000;
    EXPECT_TRUE(render::rasterise(list, view, options).truncated);

    const std::atomic<bool> cancelled{true};
    render::RasterOptions cancel;
    cancel.cancel = &cancelled;
    EXPECT_TRUE(render::rasterise(list, view, cancel).truncated);

    const Picture huge = render::rasterise(list, view.resized(1e5, 1e5));
    EXPECT_TRUE(huge.truncated);
    EXPECT_TRUE(huge.pixels.empty());
}

}  // namespace
