// The thumbnail grid of the main window: a fixed number of columns of image
// tiles, vertical scrolling, a footer with a navigator, one selection. Images
// are decoded by a background loader, the tiles in view first, so that filling
// the grid with a whole category never waits for the images.
//
// The navigator (previous/next item and page) hides itself: it shows while the
// mouse is over the grid and the grid holds at least two items. The footer
// bar itself always stays, with the position of the selection in it.
#pragma once

#include <QAbstractScrollArea>
#include <QCache>
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QRect>
#include <QSize>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QMimeData;

namespace browser {

class ThumbnailLoader;
class ThumbnailFooter;

// Paths as the file system gave them, so that a name that is not UTF-8 still
// opens; ui::displayName makes text of them for the user.
struct ThumbnailItem {
    // Full path of the thumbnail; a block installed without one keeps the
    // path it would have, and its tile shows the block's drawing.
    std::filesystem::path Location;
    std::filesystem::path FileName;  // file name without folder
    qint64 FileSize = 0;
    QDateTime FileDate;
};

struct GridColors {
    struct Fill {
        QColor from;
        QColor to;
        QColor border;
    };
    QColor background;
    Fill tile;
    Fill tileHover;
    Fill tileSelected;
    Fill tileDisabled;
    Fill footer;
    QColor footerText;
    QColor button;
    QColor buttonHover;
    QColor buttonPressed;
    QColor buttonBorder;
};

class ThumbnailGrid : public QAbstractScrollArea {
    Q_OBJECT

  public:
    static constexpr int kSpacing = 10;  // between tiles, both directions, and around them
    static constexpr int kFooterHeight = 25;

    // What the loader has done so far; lets tests and benchmarks check that
    // no image was ever decoded on the user-interface thread, and that no
    // file is decoded again and again.
    struct DecodeStats {
        int decoded = 0;
        int decodedOnUiThread = 0;
        int failed = 0;
    };

    explicit ThumbnailGrid(QWidget* parent = nullptr);
    ~ThumbnailGrid() override;

    // The olive-green tones the main window uses.
    static GridColors olivePreset();
    void setColors(const GridColors& colors);
    const GridColors& colors() const { return colors_; }

    // Between these two the grid neither lays out nor repaints.
    void beginUpdate();
    void endUpdate();

    void clear();
    // The image is read only when its tile comes into view.
    void addItem(const std::filesystem::path& location);
    int count() const { return static_cast<int>(items_.size()); }
    // Size and date are read from the file on the first call for an item, so
    // that filling a large category costs no file-system query per item.
    const ThumbnailItem& item(int index) const;

    int selectedIndex() const { return selected_; }
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
    int indexAt(const QPoint& viewportPoint) const;

    // The item's image is decoded for the current tile size and screen.
    bool isThumbnailLoaded(int index) const;
    // The item's file could not be decoded (or is no PNG); its tile shows a
    // placeholder, and the file is not tried again until the grid is refilled.
    bool isThumbnailFailed(int index) const;
    DecodeStats decodeStats() const;

    // The hint shown over a tile; without one, the block's name.
    void setToolTipText(std::function<QString(int index)> text);
    QString toolTipText(int index) const;

    // What a tile dragged out of the grid carries; null (or no function)
    // starts no drag.
    void setDragData(std::function<QMimeData*(int index)> data);

  signals:
    // The user chose a tile: mouse, keyboard or navigator.
    void itemSelected(int index);
    // A decoded image has arrived for this item (user-interface thread).
    void thumbnailLoaded(int index);
    // Enter, or Ctrl+C, on the grid with an item selected.
    void activated(int index);
    void copyRequested(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct CachedImage {
        QImage image;
        QSize decodedFor;  // device pixels the image was decoded to fit
    };

    int rowCount() const;
    int rowPitch() const { return itemSize_.height() + kSpacing; }
    int columnPitch() const { return itemSize_.width() + kSpacing; }
    int itemsPerPage() const;
    QSize decodeTarget() const;
    void relayout();
    void ensureVisible(int index);
    void selectByUser(int index, bool evenIfUnchanged);
    void moveSelection(int delta, bool stopAtEnds);
    void setHovered(int index);
    void scheduleLoads();
    void requestVisibleImages();
    void onImageDecoded(quint64 generation, int index, const QImage& image, const QSize& target);
    void paintTile(QPainter& painter, int index, const QRect& rect);
    void updateNavigator();
    void startDrag(int index);

    std::function<QString(int)> toolTipText_;
    std::function<QMimeData*(int)> dragData_;
    int pressedIndex_ = -1;  // the tile a left-button press landed on, a drag's source
    QPoint pressedAt_;
    mutable std::vector<ThumbnailItem> items_;
    mutable std::vector<bool> itemInfoRead_;
    std::vector<bool> failed_;
    QCache<int, CachedImage> cache_;
    int selected_ = -1;
    int hovered_ = -1;
    int columns_ = 6;
    QSize itemSize_{112, 83};
    int updateDepth_ = 0;
    bool mouseInside_ = false;
    bool loadsScheduled_ = false;
    quint64 generation_ = 0;
    GridColors colors_;
    std::unique_ptr<ThumbnailLoader> loader_;
    ThumbnailFooter* footer_ = nullptr;
    QAbstractButton* previousItemButton_ = nullptr;
    QAbstractButton* nextItemButton_ = nullptr;
    QAbstractButton* previousPageButton_ = nullptr;
    QAbstractButton* nextPageButton_ = nullptr;
};

}  // namespace browser
