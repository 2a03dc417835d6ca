// The bar under the tiles of the thumbnail grid: the position of the
// selection among the items, and the navigator (previous and next item and
// page). The navigator hides itself: it shows while the mouse is over the
// grid and there are at least two items to walk through.
#pragma once

#include <QWidget>

#include "browser/GridColors.h"
#include "browser/TileLayout.h"

class QAbstractButton;

namespace browser {

class ThumbnailFooter : public QWidget {
    Q_OBJECT

  public:
    // colors must outlive the footer (the grid owns both).
    ThumbnailFooter(const GridColors& colors, QWidget* parent);

    // selected is -1 for none.
    void showState(int selected, int count, bool mouseOverGrid);

  signals:
    // A navigator button was pressed (repeating while held): an item or a
    // page back or forth.
    void stepped(TileLayout::Step step);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const GridColors& colors_;
    int selected_ = -1;
    int count_ = 0;
    QAbstractButton* previousPage_ = nullptr;
    QAbstractButton* previousItem_ = nullptr;
    QAbstractButton* nextItem_ = nullptr;
    QAbstractButton* nextPage_ = nullptr;
};

}  // namespace browser
