// The drawing window as the drawing was saved: model space in one viewport,
// or split into tiled viewports side by side, each looking from its own
// direction at its own window in its own visual style. A viewer lays them
// out in its window, and a picture of the drawing as saved draws each in
// its rectangle.
#pragma once

#include <dwg/Drawing.h>
#include <render/View.h>

#include <vector>

namespace render {

struct SavedPane {
    // Device rectangle in the window, y down, in whole pixels so that panes
    // meet without a gap or an overlap.
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    // The viewport's view; none where the drawing keeps no view at all.
    std::optional<dwg::SavedView> view;
    Projection projection;
    VisualStyle style = VisualStyle::Wireframe;
    // The pane of the viewport that was current when the drawing was saved.
    bool current = false;

    bool empty() const { return !(width > 0 && height > 0); }
    bool contains(Vec2 device) const {
        return device.x >= left && device.x < left + width && device.y >= top &&
               device.y < top + height;
    }
};

// The panes of a width x height window: one for the whole window unless the
// drawing was saved with model space split, the current one first. A pane
// may round to no pixel in a small window; it is kept, empty, so that a
// pane's index names the same viewport at every size.
std::vector<SavedPane> savedPanes(const dwg::Drawing& drawing, double width, double height);

// The direction and twist a saved view looks from, at its target.
Projection projectionOf(const dwg::SavedView& view);
// The look a saved view shows 3D objects in.
VisualStyle lookOf(const dwg::SavedView& view);

}  // namespace render
