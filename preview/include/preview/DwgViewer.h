// The drawing viewer the preview window hosts. It offers the operations the
// window drives (the settings it makes on show, and OpenDrawing) and, for
// the user, wheel zoom about the cursor, drag to pan, double-click for the
// whole drawing, and + and - on the keyboard. A drawing is seen from the
// direction its author saved it in (a 3D block saved in an isometric view
// opens isometric, one saved in perspective in perspective); Home brings that
// view back, T, F and D look from the top, the front and the right, 1 to 4
// from the south-west, south-east, north-east and north-west, and Shift +
// drag turns the model about. It opens in the visual style it was saved in;
// W shows every line, H hides what faces cover, S shades the faces.
//
// A drawing saved with model space split into tiled viewports opens split
// the same way: each pane in its rectangle of the window, with its own
// direction and look, and its own view. The mouse acts on the pane under it,
// which becomes the current pane; the keys act on the current pane, at
// first the one that was current when the drawing was saved. The accessors
// below (projection, view, list, look) are the current pane's.
//
// OpenDrawing reads the whole file before it returns, so the caller may delete
// it at once; the drawing is parsed, its display lists built and every view
// of them painted on worker threads, so that no drawing holds up the window.
// Zoomed in far enough that curved faces would show their facets, a list
// is built again, finer, while the coarser picture stays.
// Until the new lists are ready the viewer shows an empty drawing; a newer
// OpenDrawing cancels an older build. While a new view is painted the last
// picture is shown moved and scaled to it; while a pane is drawn again
// from another direction, its last picture stays as it was. A file that cannot be read leaves
// a short line in place of the drawing; one cut short by the build's budget
// shows what was built and a line saying so. OpenDrawing never throws.
#pragma once

#include <dwg/Drawing.h>
#include <render/Build.h>
#include <render/DisplayList.h>
#include <render/SavedLayout.h>
#include <render/View.h>

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QMenu;

namespace preview {

class DwgViewer : public QWidget {
    Q_OBJECT
  public:
    explicit DwgViewer(QWidget* parent = nullptr);
    ~DwgViewer() override;

    // The viewer draws model space alone and has neither layout tabs nor a
    // toolbar of its own; the preview switches both off, which is all the
    // window relies on.
    void ShowLayoutBar(bool show);
    void ShowToobar(bool show);
    // On: every drawing opens showing its whole extents, in its saved view
    // direction. Off: a drawing opens in the view the previous one was left in.
    void OpenZoomextend(bool zoomToExtents);
    // The viewer's own menu (whole drawing, closer, farther) on a right click,
    // when no menu of the host's takes its place.
    void EnableContextMenu(bool enable);
    // The host's pop-up menu: shown on a right click when it has actions; an
    // empty one shows nothing, the viewer's own menu included.
    void setPopupMenu(QMenu* menu);

    void OpenDrawing(const std::filesystem::path& file);

    // The current pane's drawing whole.
    void zoomToExtents();
    // Looks at the drawing from `projection` in the current pane, the whole
    // drawing in view once its list is built again.
    void setProjection(const render::Projection& projection);
    const render::Projection& projection() const { return current().projection; }
    // The view direction the current pane was saved in (top when it has none).
    const render::Projection& savedProjection() const { return current().savedProjection; }
    // How the current pane shows 3D objects; a new picture is painted, the list stays.
    void setVisualStyle(render::VisualStyle style);
    render::VisualStyle visualStyle() const { return current().style; }
    // The look the current pane was saved with (wireframe when it has none).
    render::VisualStyle savedVisualStyle() const { return current().savedStyle; }

    // The current pane's list: empty while a newly opened drawing is being built.
    const render::DisplayList& displayList() const { return *current().list; }
    bool isBuilding() const;
    // Whether what is on screen is the finished picture of every pane's view.
    bool pictureIsCurrent() const;
    const render::View& view() const { return current().view; }
    // The panes the window is split into (one unless the drawing was saved
    // split), their rectangles in the widget and the current one.
    std::size_t paneCount() const { return panes_.size(); }
    QRectF paneRect(std::size_t pane) const;
    std::size_t currentPane() const { return current_; }
    // "Não foi possível ler o desenho: …" after a failed OpenDrawing, else empty.
    const QString& failureText() const { return failure_; }
    // The status line shown under the drawing (statusLine()): what of it
    // could not be shown; empty when everything was drawn.
    QString noticeText() const;

    static constexpr double kMargin = 0.03;  // free border around the whole drawing
    static constexpr double kWheelStep = 1.25;
    static constexpr double kOrbitRadiansPerPixel = 0.01;
    // Curved faces are made flat to within this many pixels, and made again
    // once zooming in has made them this many times coarser.
    static constexpr double kFacetPixels = 0.5;
    static constexpr double kRefineFactor = 4;

  signals:
    // The drawing of the last OpenDrawing is built and in place.
    void drawingShown();
    // A picture painted on a worker has reached the screen.
    void pictureShown();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // How a pane's view follows a list when it arrives.
    enum class Refit {
        Open,       // as OpenZoomextend says
        Whole,      // the whole drawing
        KeepScale,  // the same scale about the drawing's middle (orbiting)
        KeepView,   // the view as it is (the same drawing, finer)
    };
    struct PictureKey {
        std::uint64_t pane = 0;  // the pane's id
        std::uint64_t generation = 0;
        std::uint64_t listSerial = 0;
        render::VisualStyle style = render::VisualStyle::Wireframe;
        render::View view;
    };
    // One viewport of the window and what it shows.
    struct Pane {
        render::SavedPane layout;  // its rectangle in the widget
        std::uint64_t id = 0;      // no two panes, of any drawing, share one
        render::Projection projection;
        render::Projection savedProjection;
        render::VisualStyle style = render::VisualStyle::Wireframe;
        render::VisualStyle savedStyle = render::VisualStyle::Wireframe;
        render::View view;
        std::shared_ptr<const render::DisplayList> list;
        // Of the last OpenDrawing or change of this pane's direction.
        std::uint64_t generation = 0;
        // Counts the lists shown: a picture is of one of them.
        std::uint64_t listSerial = 0;
        std::shared_ptr<std::atomic<bool>> cancelBuild;
        bool building = false;
        bool refining = false;
        // The view follows the pane's size while it shows the whole drawing;
        // once the user zooms or pans, a resize keeps centre and scale.
        bool showsExtents = true;
        // The zoom the list's facets were made for; 0 when it has none.
        double facetScale = 0;
        // The picture of the list for one view; at most one painted at a time.
        QImage picture;
        PictureKey pictureKey;
        bool painting = false;
    };
    // What a worker built for one pane when a drawing opened.
    struct BuiltPane {
        render::SavedPane layout;
        render::Projection projection;
        render::VisualStyle style = render::VisualStyle::Wireframe;
        std::shared_ptr<const render::DisplayList> list;
    };

    const Pane& current() const { return panes_[current_]; }
    Pane& current() { return panes_[current_]; }
    // The pane under a widget point (the current one where none is).
    std::size_t paneAt(QPointF point) const;
    QPointF inPane(std::size_t pane, QPointF point) const;
    // Lays the panes out in the widget again, keeping their views.
    void layOutPanes();
    void zoomAbout(std::size_t pane, QPointF point, double factor);
    void setView(std::size_t pane, const render::View& view);
    void zoomPaneToExtents(std::size_t pane);
    void orbitBy(std::size_t pane, QPointF delta);
    void showOpened(std::uint64_t generation, std::shared_ptr<const dwg::Drawing> drawing,
                    std::shared_ptr<render::SolidCache> solids, std::vector<BuiltPane> built,
                    const QString& failure, bool keepView);
    // `tolerance`: world units a curved face's facets may stray, 0 for the
    // builder's own choice.
    void showBuilt(std::size_t pane, std::uint64_t generation,
                   std::shared_ptr<const render::DisplayList> list, const QString& failure,
                   Refit refit, double tolerance);
    void startBuild(std::size_t pane, Refit refit, double tolerance);
    // Builds a pane's list again with facets fine enough for its current
    // zoom, when it has surfaces made coarser than that.
    void refineIfCoarse(std::size_t pane);
    // World units a facet may stray for a pane's current zoom; 0 before any view.
    double facetTolerance(const Pane& pane) const;
    void cancelBuilds();
    bool paneIsCurrent(const Pane& pane) const;
    void requestPicture(std::size_t pane);
    void pictureDone(std::size_t pane, const PictureKey& key, const QImage& image);
    // Runs `job` on a thread of its own, joined before the viewer goes.
    void runWorker(std::function<void()> job);

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::vector<Worker> workers_;
    std::shared_ptr<std::atomic<bool>> cancelOpen_;
    std::uint64_t openGeneration_ = 0;  // of the last OpenDrawing
    std::uint64_t generations_ = 0;     // hands out the panes' generations
    bool opening_ = false;
    bool lastHadDrawing_ = false;
    std::vector<Pane> panes_;
    std::size_t current_ = 0;
    // Kept to draw it again from another direction, with its bodies' faces.
    std::shared_ptr<const dwg::Drawing> drawing_;
    std::shared_ptr<render::SolidCache> solids_;
    bool zoomExtentsOnOpen_ = true;
    bool ownContextMenu_ = true;
    QMenu* popupMenu_ = nullptr;
    QString failure_;
    std::optional<QPointF> dragFrom_;
    std::size_t dragPane_ = 0;
    bool orbiting_ = false;  // the drag turns the model instead of moving it
};

}  // namespace preview
