// The thumbnail grid of the main window, a view over a ThumbnailModel: a
// fixed number of columns of image tiles, vertical scrolling, a footer with a
// navigator, one selection. The model decodes the images in the background,
// the tiles in view first, so that filling the grid with a whole category
// never waits for them; a ThumbnailDelegate paints each tile.
//
// The grid raises itemSelected for the user's choices only (mouse, keys,
// navigator); a selection made by the program is silent. Enter raises
// activated, Ctrl+C copyRequested, a click on a tile's star or Ctrl+D
// favouriteToggled, F5 rescanRequested, and a tile dragged out of the grid
// carries what setDragData gives.
#pragma once

#include <QAbstractItemView>
#include <QSize>
#include <filesystem>
#include <functional>

#include "browser/GridColors.h"
#include "browser/ThumbnailModel.h"
#include "browser/TileLayout.h"

class QMimeData;

namespace browser {

class ThumbnailDelegate;
class ThumbnailFooter;

class ThumbnailGrid : public QAbstractItemView {
    Q_OBJECT

  public:
    static constexpr int kSpacing = TileLayout::kSpacing;
    static constexpr int kFooterHeight = 25;

    explicit ThumbnailGrid(QWidget* parent = nullptr);
    ~ThumbnailGrid() override;

    ThumbnailModel& thumbnails() const { return *thumbnails_; }

    void setColors(const GridColors& colors);
    const GridColors& colors() const { return colors_; }

    // Filling, as the main window does it: between beginUpdate and endUpdate
    // the grid neither lays out nor repaints.
    void beginUpdate() { thumbnails_->beginUpdate(); }
    void endUpdate();
    void clear() { thumbnails_->clear(); }
    void addItem(const std::filesystem::path& location) { thumbnails_->addItem(location); }
    void addBlock(library::Block block) { thumbnails_->addBlock(std::move(block)); }
    // The blocks listed again, the view scrolled where it was (ThumbnailModel::replaceBlocks).
    void replaceBlocks(const std::vector<library::Block>& blocks);
    void setFavourite(int index, bool favourite) { thumbnails_->setFavourite(index, favourite); }
    int count() const { return thumbnails_->count(); }
    const ThumbnailItem& item(int index) const { return thumbnails_->item(index); }
    void setToolTipText(std::function<QString(int index)> text) {
        thumbnails_->setToolTipText(std::move(text));
    }

    int selectedIndex() const;
    // A selection made by the program: scrolled into view, no itemSelected.
    void setSelectedIndex(int index);

    void setColumnCount(int columns);
    int columnCount() const { return columns_; }
    void setItemSize(const QSize& size);
    QSize itemSize() const { return itemSize_; }
    // The width the column layout divides among the columns. It includes the
    // room of the vertical scroll bar, so that showing the bar never changes it.
    int layoutWidth() const;

    // The tile of an item in viewport coordinates (the current scroll applied).
    QRect tileRect(int index) const;
    // The item under a viewport point, -1 for none.
    int itemAt(const QPoint& viewportPoint) const;

    // The item's image is decoded for the current tile size and screen.
    bool isThumbnailLoaded(int index) const;
    // The item's file gave no picture; its tile shows a placeholder.
    bool isThumbnailFailed(int index) const { return thumbnails_->isThumbnailFailed(index); }
    ThumbnailModel::DecodeStats decodeStats() const { return thumbnails_->decodeStats(); }

    // What a tile dragged out of the grid carries; null (or no function)
    // starts no drag.
    void setDragData(std::function<QMimeData*(int index)> data);

    // QAbstractItemView
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    // Tiles carry no caption: typing does not look for one.
    void keyboardSearch(const QString&) override {}
    void reset() override;

  signals:
    // The user chose a tile: mouse, keyboard or navigator.
    void itemSelected(int index);
    // A decoded image has arrived for this item (user-interface thread).
    void thumbnailLoaded(int index);
    // Ctrl+C on the grid with an item selected.
    void copyRequested(int index);
    // The user marked or unmarked the tile as a favourite: a click on its
    // star, or Ctrl+D on the selected tile.
    void favouriteToggled(int index);
    // F5: the user asks for the blocks to be listed again.
    void rescanRequested();

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    TileLayout tiles() const { return {count(), columns_, itemSize_}; }
    QSize decodeTarget() const;
    // The item a step from the selection lands on, -1 for no move.
    int stepTarget(TileLayout::Step step) const;
    void relayout();
    void ensureVisible(int index);
    void selectByUser(int index, bool evenIfUnchanged);
    void setHovered(int index);
    void showFooterState();
    void scheduleLoads();
    void requestVisibleImages();
    void dragItem(int index);

    ThumbnailModel* thumbnails_;
    GridColors colors_;
    ThumbnailDelegate* delegate_;
    ThumbnailFooter* footer_;
    std::function<QMimeData*(int)> dragData_;
    int pressedIndex_ = -1;  // the tile a left-button press landed on, a drag's source
    QPoint pressedAt_;
    int hovered_ = -1;
    int columns_ = 6;
    QSize itemSize_{112, 83};
    bool mouseInside_ = false;
    bool loadsScheduled_ = false;
};

}  // namespace browser
