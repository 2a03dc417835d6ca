// Drawing a display list with QPainter: the one painter behind the viewer,
// the thumbnails and dwgrender. Needs Qt Gui only; safe on worker threads
// with their own QPainter (e.g. on a QImage).
#pragma once

#include <render/DisplayList.h>
#include <render/SavedLayout.h>
#include <render/View.h>

#include <QColor>
#include <QImage>
#include <QSize>
#include <atomic>
#include <vector>

class QPainter;

namespace render {

// Fills the view's rectangle (0, 0, view.width, view.height in the painter's
// coordinates) with `background` and draws `list` over it, antialiased, 1 px
// lines. Colour 7 is black on a light background, white on a dark one.
// Curves are flattened for the paint device's pixel ratio. In the hidden and
// shaded styles a list with surfaces is rasterised (see Raster.h) at the
// device's pixels, and `cancel`, once true, cuts that short.
void paint(QPainter& painter, const DisplayList& list, const View& view, const QColor& background,
           VisualStyle style = VisualStyle::Wireframe, const std::atomic<bool>* cancel = nullptr);

// Thin lines along the panes' edges, where a window is split into tiled
// viewports; nothing for a single pane.
void paintPaneBorders(QPainter& painter, const std::vector<SavedPane>& panes);

// The list zoomed to its extents with `margin` (a fraction of each side) in a
// new image of `size`.
QImage renderImage(const DisplayList& list, QSize size, const QColor& background = Qt::white,
                   double margin = 0.02, VisualStyle style = VisualStyle::Wireframe);

}  // namespace render
