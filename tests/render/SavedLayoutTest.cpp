// The window as the drawing was saved: one pane, or the tiled viewports each
// in its rectangle, meeting without gaps at any size, the current one first,
// each with its own direction and look.
#include <gtest/gtest.h>
#include <render/SavedLayout.h>

#include <array>

namespace {

dwg::SavedView tile(double x0, double y0, double x1, double y1,
                    dwg::VisualStyle look = dwg::VisualStyle::Wireframe2D) {
    dwg::SavedView view;
    view.lowerLeft = {x0, y0};
    view.upperRight = {x1, y1};
    view.direction = {x0 + 1, y0, 1};  // a direction of its own
    view.visualStyle = look;
    return view;
}

using Rect = std::array<double, 4>;  // left, top, width, height

TEST(SavedPanes, EachViewportInItsRectangle) {
    dwg::Drawing single;
    single.activeView = tile(0.2, 0.2, 0.6, 0.9);  // one viewport fills the window whatever it says
    dwg::Drawing none;
    dwg::Drawing three;
    three.tiledViews = {tile(0, 0.5, 0.5, 1), tile(0, 0, 0.5, 0.5),
                        tile(0.5, 0, 1, 1, dwg::VisualStyle::Conceptual)};
    three.activeView = three.tiledViews.front();
    struct Case {
        const char* name;
        const dwg::Drawing* drawing;
        double width, height;
        std::vector<Rect> rects;
    };
    const Case cases[] = {
        {"one viewport", &single, 400, 300, {{0, 0, 400, 300}}},
        {"no view kept", &none, 400, 300, {{0, 0, 400, 300}}},
        {"three tiles",
         &three,
         400,
         300,
         {{0, 0, 200, 150}, {0, 150, 200, 150}, {200, 0, 200, 300}}},
        // Odd sizes: whole pixels, meeting exactly.
        {"odd size", &three, 401, 301, {{0, 0, 201, 151}, {0, 151, 201, 150}, {201, 0, 200, 301}}},
        // Too small for some: kept, empty, so that the panes keep their order.
        {"one pixel", &three, 1, 1, {{0, 0, 1, 1}, {0, 1, 1, 0}, {1, 0, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<render::SavedPane> panes =
            render::savedPanes(*c.drawing, c.width, c.height);
        ASSERT_EQ(panes.size(), c.rects.size());
        for (std::size_t i = 0; i < panes.size(); ++i) {
            const render::SavedPane& p = panes[i];
            EXPECT_EQ((Rect{p.left, p.top, p.width, p.height}), c.rects[i]) << i;
            EXPECT_EQ(p.current, i == 0) << i;
        }
    }
    const std::vector<render::SavedPane> panes = render::savedPanes(three, 400, 300);
    EXPECT_EQ(panes[2].style, render::VisualStyle::Shaded);
    EXPECT_EQ(panes[0].style, render::VisualStyle::Wireframe);
    EXPECT_EQ(panes[1].projection.direction.x, 1);
    EXPECT_EQ(panes[2].projection.direction.x, 1.5);
    EXPECT_TRUE(panes[2].contains({399.5, 299.5}));
    EXPECT_FALSE(panes[2].contains({199.5, 10}));
}

}  // namespace
