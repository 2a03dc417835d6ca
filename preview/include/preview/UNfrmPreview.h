// The floating preview window ("Navegador"): shows the drawing of the block
// selected in the main window's grid and walks the grid with "< Anterior" and
// "Próximo >".
//
// A refresh turns the block's archive into a short-lived drawing file beside
// the library, opens it in the viewer and deletes it again. It pumps window
// messages while it works, so another refresh can be asked for meanwhile
// (a walk button, a grid selection), or while an export holds the zip reader.
// Such a request waits: it is remembered, and once the running refresh or the
// run holding the reader has ended, one refresh runs for the selection of
// that moment. Two runs never share the reader or TMP.ZIP.
//
// A drawing of the user's own folder is read off the user-interface thread
// (his disk may be slow or gone) and written as the same short-lived drawing.
// The drawing's pop-up menu marks the block as a favourite or unmarks it.
#pragma once

#include <QDeadlineTimer>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <filesystem>

#include "ui/Windows.h"

class QAction;
class QMenu;
class QPushButton;

namespace preview {

class DwgViewer;

// Where a window of outer size `frame` lands at the bottom right of the
// work area (the screen less its panels, on whatever edge they are). A window
// larger than the work area keeps its top left corner inside it.
QPoint bottomRightPlacement(const QRect& workArea, const QSize& frame);

// The window's size kept, or made smaller so that its frame fits the work
// area; never below the window's minimum size.
QSize sizeWithinWorkArea(const QSize& workArea, const QMargins& frame, const QSize& size,
                         const QSize& minimum);

class TfrmPreview : public QWidget, public ui::PreviewWindowAccess {
    Q_OBJECT
  public:
    explicit TfrmPreview(QWidget* parent = nullptr);

    // PreviewWindowAccess
    bool isShowing() const override { return isVisible(); }
    void showModeless() override { show(); }
    void clickRefresh() override;

    DwgViewer* dwg = nullptr;
    QPushButton* bAnterior = nullptr;
    QPushButton* bProximo = nullptr;
    QPushButton* bVer = nullptr;  // hidden; its click is the refresh
    QMenu* pop1 = nullptr;        // the drawing's pop-up menu
    QAction* aFavorito = nullptr;  // in pop1: the block shown is a favourite

    // Between two refreshes asked for while the reader was lent to another run.
    static constexpr int kRetryMs = 50;
    // A window just shown is framed by the window manager some time later,
    // without an event that says so: its placement is looked at this often,
    // for at most this long, until the frame has stayed where it belongs for
    // a few looks.
    static constexpr int kFrameLookMs = 20;
    static constexpr int kFrameWaitMs = 3000;
    static constexpr int kFramedLooks = 5;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FormShow();
    void placeAtBottomRight();
    void watchPlacement();
    void checkPlacement();
    void endPlacementWatch();
    void bVerClick();
    void bAnteriorClick();
    void bProximoClick();
    void walk(int step);
    void refresh(ui::MainWindowAccess& main);
    void showBlockDrawing(ui::MainWindowAccess& main, const std::filesystem::path& archiveCopy,
                          const std::filesystem::path& blockName);
    void showUserDrawing(ui::MainWindowAccess& main, const library::Block& block);
    // Shows the drawing written (or, when written is false, the viewer's line
    // saying it could not be read) and deletes it again.
    void showWritten(ui::MainWindowAccess& main, const std::filesystem::path& drawing,
                     bool written);

    QWidget* buttonPanel_ = nullptr;
    bool refreshing_ = false;
    bool refreshRequested_ = false;
    QTimer retry_;
    // The placement of a window just shown, watched until the window manager
    // has framed it where it belongs.
    QTimer frameWatch_;
    QDeadlineTimer frameDeadline_;
    int framedLooks_ = 0;
    QMargins placedMargins_;  // the frame's extents the last placement knew
    QRect placedFrame_;
};

}  // namespace preview
