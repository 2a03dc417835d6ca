#include "preview/UNfrmPreview.h"

#include <platform/Files.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>
#include <cmath>
#include <optional>
#include <string>
#include <system_error>

#include "library/BlockSource.h"
#include "library/RunJournal.h"
#include "preview/DwgViewer.h"
#include "ui/DisplayName.h"
#include "ui/Magnet.h"
#include "ui/OffThread.h"
#include "ui/Pump.h"
#include "ui/Skin.h"
#include "ui/Translations.h"
#include "ui/ZipQuestionBox.h"

namespace fs = std::filesystem;

namespace preview {

namespace {

constexpr int kPanelHeight = 41;
// The panel's width at the window's design size, and the buttons' centres on
// it; the centres keep their fraction of the width when the window is resized.
constexpr int kDesignPanelWidth = 334;
constexpr double kAnteriorCentre = 99;
constexpr double kProximoCentre = 234;
constexpr QSize kButtonSize(105, 25);

// How long the refresh waits for its copy of the archive: six checks, each
// failed one followed by a one-second wait.
constexpr int kCopyChecks = 6;

// How long a user's disk may take to hand over a drawing.
constexpr int kUserDiskDeadlineMs = 30000;

bool isFile(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

// Removes a file this program created and settles its journal entry. True
// when the file is gone.
bool removeFile(const library::RunJournal& journal, const fs::path& file) {
    std::error_code error;
    platform::removeFile(file, error);
    if (error) return false;
    journal.settled(file);
    return true;
}

// The preview drawing's name: the block's name in the library root, unless a
// file of that name is there already that an earlier refresh did not leave
// behind; then the first free "<name>~<n>.DWG", so that no file of anybody
// else is overwritten or deleted.
fs::path previewDrawingPath(const fs::path& root, const fs::path& blockName,
                            const fs::path& leftOver) {
    // A link counts as taken even when it leads nowhere: the drawing is never
    // written through it.
    const auto taken = [](const fs::path& path) {
        std::error_code error;
        return platform::entryKind(path, error) != platform::EntryKind::Missing || error;
    };
    fs::path candidate = root / library::previewDrawingName(blockName, 0);
    for (int n = 1; taken(candidate) && candidate != leftOver; ++n)
        candidate = root / library::previewDrawingName(blockName, n);
    return candidate;
}

// Copies the block's archive to TMP.ZIP. The old copy is unlinked first and
// the new one created afresh, never opened through a link or over a file
// somebody else put there meanwhile. A failed copy leaves no TMP.ZIP.
void copyToArchiveCopy(const library::RunJournal& journal, const fs::path& blockArchive,
                       const fs::path& archiveCopy) {
    std::error_code error;
    platform::removeFile(archiveCopy, error);
    platform::File source = platform::File::openForReading(blockArchive, error);
    if (!source.isOpen() || !journal.willCreate(archiveCopy)) return;
    platform::File copy = platform::File::createNew(archiveCopy, error);
    if (!copy.isOpen()) {
        journal.settled(archiveCopy);
        return;
    }
    bool copied = true;
    char buffer[64 * 1024];
    while (copied) {
        const std::size_t got = source.read(buffer, sizeof buffer, error);
        if (error) copied = false;
        if (got == 0) break;
        copied = copied && copy.writeAll(buffer, got, error);
    }
    if (!copy.close(error)) copied = false;
    if (!copied) removeFile(journal, archiveCopy);
}

}  // namespace

QSize sizeWithinWorkArea(const QSize& workArea, const QMargins& frame, const QSize& size,
                         const QSize& minimum) {
    const QSize room = workArea.shrunkBy(frame);
    return size.boundedTo(room).expandedTo(minimum);
}

QPoint bottomRightPlacement(const QRect& workArea, const QSize& frame) {
    return {std::max(workArea.left(), workArea.x() + workArea.width() - frame.width()),
            std::max(workArea.top(), workArea.y() + workArea.height() - frame.height())};
}

TfrmPreview::TfrmPreview(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Navegador"));
    setFont(ui::programFont());
    setMinimumSize(300, 300);
    // Made first so that "Próximo >" leads the tab order.
    buttonPanel_ = new QWidget(this);
    ui::setSkinSection(buttonPanel_, ui::SkinSection::Panel);
    bProximo = new QPushButton(QStringLiteral("Próximo >"), buttonPanel_);
    bProximo->setObjectName(QStringLiteral("bProximo"));
    bProximo->setDefault(true);
    bAnterior = new QPushButton(QStringLiteral("< Anterior"), buttonPanel_);
    bAnterior->setObjectName(QStringLiteral("bAnterior"));
    bAnterior->setAutoDefault(true);  // Enter presses the focused button
    setTabOrder(bProximo, bAnterior);
    dwg = new DwgViewer(this);
    dwg->setObjectName(QStringLiteral("dwg"));
    pop1 = new QMenu(this);
    pop1->setObjectName(QStringLiteral("pop1"));
    aFavorito = pop1->addAction(QStringLiteral("&Favorito"));
    aFavorito->setObjectName(QStringLiteral("aFavorito"));
    aFavorito->setCheckable(true);
    aFavorito->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    aFavorito->setShortcutContext(Qt::WindowShortcut);
    addAction(aFavorito);
    // Marks the block the grid has selected, which is the one shown.
    connect(pop1, &QMenu::aboutToShow, this, [this] {
        const ui::MainWindowAccess* main = ui::windows().main;
        const int selected = main ? main->selectedItemIndex() : -1;
        aFavorito->setEnabled(selected >= 0);
        aFavorito->setChecked(selected >= 0 && main->isFavourite(selected));
    });
    connect(aFavorito, &QAction::triggered, this, [this] {
        ui::MainWindowAccess* main = ui::windows().main;
        if (!main || main->selectedItemIndex() < 0) return;
        const int selected = main->selectedItemIndex();
        main->setFavourite(selected, !main->isFavourite(selected));
    });
    bVer = new QPushButton(QStringLiteral("Ok"), this);
    bVer->setObjectName(QStringLiteral("bVer"));
    bVer->setFocusPolicy(Qt::NoFocus);
    bVer->hide();
    connect(bVer, &QPushButton::clicked, this, &TfrmPreview::bVerClick);
    connect(bAnterior, &QPushButton::clicked, this, &TfrmPreview::bAnteriorClick);
    connect(bProximo, &QPushButton::clicked, this, &TfrmPreview::bProximoClick);
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (refreshRequested_) bVerClick();
    });
    frameWatch_.setInterval(kFrameLookMs);
    connect(&frameWatch_, &QTimer::timeout, this, &TfrmPreview::checkPlacement);
    resize(350, 350);
    ui::applySkin(this);
    ui::attachMagnet(this);
}

void TfrmPreview::clickRefresh() {
    bVer->click();
}

void TfrmPreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfrmPreview::FormShow() {
    ui::guarded([this] {
        dwg->ShowLayoutBar(false);
        dwg->ShowToobar(false);
        dwg->OpenZoomextend(true);
        dwg->setPopupMenu(pop1);
        dwg->EnableContextMenu(false);
        ui::pump();
        if (const ui::MainWindowAccess* main = ui::windows().main) {
            const fs::path emptyDrawing = main->layout().emptyDrawing();
            if (isFile(emptyDrawing)) dwg->OpenDrawing(emptyDrawing);
        }
        placeAtBottomRight();
        watchPlacement();
    });
}

void TfrmPreview::placeAtBottomRight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // The work area stands in for the screen less its taskbar: clear of
    // panels on any edge. The size is the one the window has now, so a size
    // the user gave it stays, unless the frame would not fit.
    const QRect workArea = screen->availableGeometry();
    // Until the window manager has framed a window just shown, its frame
    // counts as none.
    placedMargins_ = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    resize(sizeWithinWorkArea(workArea.size(), placedMargins_, size(), minimumSize()));
    const QSize frame = size().grownBy(placedMargins_);
    placedFrame_ = QRect(bottomRightPlacement(workArea, frame), frame);
    // A window's position is its frame's.
    move(placedFrame_.topLeft());
}

void TfrmPreview::watchPlacement() {
    frameDeadline_.setRemainingTime(kFrameWaitMs);
    framedLooks_ = 0;
    // The moves that follow are the program's and the window manager's.
    ui::holdMagnet(this, true);
    frameWatch_.start();
}

void TfrmPreview::endPlacementWatch() {
    frameWatch_.stop();
    ui::holdMagnet(this, false);
}

void TfrmPreview::checkPlacement() {
    if (!isVisible() || !windowHandle() || frameDeadline_.hasExpired()) {
        endPlacementWatch();
        return;
    }
    const QMargins margins = windowHandle()->frameMargins();
    if (margins.isNull() && placedMargins_.isNull()) return;  // not framed yet
    // Framed: the frame's extents are known now, and the window manager may
    // still answer earlier requests with moves of its own.
    if (margins == placedMargins_ && windowHandle()->frameGeometry() == placedFrame_) {
        if (++framedLooks_ >= kFramedLooks) endPlacementWatch();
        return;
    }
    framedLooks_ = 0;
    placeAtBottomRight();
}

void TfrmPreview::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    endPlacementWatch();
}

void TfrmPreview::bVerClick() {
    refreshRequested_ = true;
    if (refreshing_) return;  // taken up by the running refresh when it ends
    ui::MainWindowAccess* main = ui::windows().main;
    if (!main) return;
    refreshing_ = true;
    while (refreshRequested_ && !main->zip().leased()) {
        refreshRequested_ = false;
        ui::guarded([&] { refresh(*main); });
        // Whatever became of the refresh, the keyboard goes back to the grid.
        ui::guarded([&] {
            main->focusGrid();
            ui::pump();
        });
    }
    refreshing_ = false;
    // Another run holds the reader: try again once it may have ended.
    if (refreshRequested_) retry_.start();
}

void TfrmPreview::refresh(ui::MainWindowAccess& main) {
    const library::Layout& layout = main.layout();
    ui::SharedState& shared = main.shared();

    const fs::path emptyDrawing = layout.emptyDrawing();
    if (isFile(emptyDrawing)) {
        setWindowTitle(QString());
        dwg->OpenDrawing(emptyDrawing);
    }
    ui::pump();

    // The drawing the last refresh could not delete goes now.
    const library::RunJournal journal(layout);
    if (!shared.PreviewDrawingPath.empty()) {
        if (removeFile(journal, shared.PreviewDrawingPath)) shared.PreviewDrawingPath.clear();
    }

    const int selected = main.selectedItemIndex();
    if (selected < 0 || selected >= main.itemCount()) return;

    const library::Block block = main.itemBlock(selected);
    const fs::path blockName = block.name();
    main.setSecondStatusPanelText(main.itemCategoryText(selected) + QStringLiteral(" - Bloco ") +
                                  ui::displayName(blockName));
    setWindowTitle(main.secondStatusPanelText());
    if (block.storage == library::DrawingStorage::File) {
        showUserDrawing(main, block);
        return;
    }

    const fs::path archiveCopy = layout.previewArchiveCopy();
    copyToArchiveCopy(journal, block.drawing, archiveCopy);

    for (int check = 1; !isFile(archiveCopy); ++check) {
        for (int step = 0; step < 10; ++step) {
            ui::sleepMs(100);
            ui::pump();
        }
        if (check == kCopyChecks) return;
    }
    ui::pump();
    showBlockDrawing(main, archiveCopy, blockName);
}

// Extracts the block's drawing from the copy of its archive, shows it and
// deletes both files again.
void TfrmPreview::showBlockDrawing(ui::MainWindowAccess& main, const fs::path& archiveCopy,
                                   const fs::path& blockName) {
    ui::SharedState& shared = main.shared();
    const fs::path root = main.layout().libraryRoot();
    const fs::path drawing = previewDrawingPath(root, blockName, shared.PreviewDrawingPath);
    const library::RunJournal journal(main.layout());
    archive::ExtractResult result;
    {
        std::optional<archive::ZipLease> lease = main.zip().tryLease();
        if (!lease) {
            // Taken by a run started in one of the pumps above: start again after it.
            removeFile(journal, archiveCopy);
            refreshRequested_ = true;
            return;
        }
        archive::ExtractOptions options;
        options.destination = root;
        options.password = std::string(library::kArchivePassword);
        // Only the block's drawing is written, under the name chosen above.
        options.mask = "*.DWG";
        options.writeAs = drawing.filename();
        options.question = [](const archive::ZipQuestion& question) {
            return ui::askZipQuestion(question);
        };
        // Recorded before it exists: the next start removes it after a kill,
        // and never a file of that name the program did not write.
        const bool recorded = drawing == shared.PreviewDrawingPath || journal.willCreate(drawing);
        try {
            lease->open(archiveCopy);
            if (recorded) result = lease->extract(options);
        } catch (...) {
            // An archive that cannot be opened: the copy is ours to remove.
            removeFile(journal, archiveCopy);
            if (recorded && drawing != shared.PreviewDrawingPath) journal.settled(drawing);
            throw;
        }
    }
    ui::pump();
    ui::pump();
    removeFile(journal, archiveCopy);
    const bool written = !result.written.empty();
    showWritten(main, written ? result.written.front() : drawing, written);
}

void TfrmPreview::showUserDrawing(ui::MainWindowAccess& main, const library::Block& block) {
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
        bytes = ui::waitOffUiThread<std::vector<std::uint8_t>>(
            [block] { return library::readBlockDrawing(block); }, kUserDiskDeadlineMs);
    } catch (const library::DrawingUnavailable&) {
        // Shown as a drawing that could not be read.
    }
    // The selection may have moved while the disk was read: that refresh follows.
    if (refreshRequested_) return;
    ui::SharedState& shared = main.shared();
    const fs::path drawing = previewDrawingPath(main.layout().libraryRoot(), block.name(),
                                                shared.PreviewDrawingPath);
    const library::RunJournal journal(main.layout());
    bool written = false;
    // Recorded before it exists, as an extracted drawing is.
    const bool ours = drawing == shared.PreviewDrawingPath;
    if (bytes && (ours || journal.willCreate(drawing))) {
        std::error_code error;
        platform::File file =
            platform::File::openForWriting(drawing, platform::File::Start::Emptied, error);
        if (file.isOpen()) {
            written = file.writeAll(bytes->data(), bytes->size(), error);
            written = file.close(error) && written;
            if (!written) removeFile(journal, drawing);
        }
    }
    showWritten(main, drawing, written);
}

void TfrmPreview::showWritten(ui::MainWindowAccess& main, const fs::path& drawing, bool written) {
    ui::SharedState& shared = main.shared();
    const library::RunJournal journal(main.layout());
    if (written)
        shared.PreviewDrawingPath = drawing;
    else if (drawing != shared.PreviewDrawingPath)
        journal.settled(drawing);
    // A drawing that was not written shows the viewer's own line saying so.
    dwg->OpenDrawing(drawing);
    ui::pump();
    if (written) {
        if (removeFile(journal, shared.PreviewDrawingPath)) shared.PreviewDrawingPath.clear();
    }
    ui::pump();
}

void TfrmPreview::bAnteriorClick() {
    walk(-1);
}

void TfrmPreview::bProximoClick() {
    walk(+1);
}

void TfrmPreview::walk(int step) {
    ui::guarded([this, step] {
        ui::MainWindowAccess* main = ui::windows().main;
        if (!main) return;
        const auto target = [main, step]() -> std::optional<int> {
            const int index = main->selectedItemIndex() + step;
            const bool inside = step < 0 ? index >= 0 : index < main->itemCount();
            return inside ? std::optional<int>(index) : std::nullopt;
        };
        if (!target()) return;
        ui::sleepMs(100);
        ui::pump();
        // The pause lets input through that may have moved or emptied the grid.
        const std::optional<int> index = target();
        if (!index) return;
        main->setSelectedItemIndex(*index);
        bVer->click();
        ui::pump();
    });
}

void TfrmPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    dwg->setGeometry(0, 0, width(), height() - kPanelHeight);
    buttonPanel_->setGeometry(0, height() - kPanelHeight, width(), kPanelHeight);
    const auto place = [this](QPushButton* button, double designCentre) {
        const int centre =
            static_cast<int>(std::lround(designCentre * width() / kDesignPanelWidth));
        button->setGeometry(QRect(
            QPoint(centre - kButtonSize.width() / 2, (kPanelHeight - kButtonSize.height()) / 2),
            kButtonSize));
    };
    place(bAnterior, kAnteriorCentre);
    place(bProximo, kProximoCentre);
}

void TfrmPreview::keyPressEvent(QKeyEvent* event) {
    // Enter reaches the window when the drawing has the focus: the default button takes it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        bProximo->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace preview
