#include "browser/UNfrmVisualizar.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <cmath>

#include "FolderWatcher.h"
#include "RunFolder.h"
#include "SaveTypes.h"
#include "SourceLister.h"
#include "browser/FolderListDialog.h"
#include "browser/ThumbnailGrid.h"
#include "search/Indexing.h"
#include "search/QueryWorker.h"
#include "ui/ButtonImages.h"
#include "ui/DisplayName.h"
#include "ui/Help.h"
#include "ui/Magnet.h"
#include "ui/Pump.h"
#include "ui/Skin.h"
#include "ui/Translations.h"

namespace browser {

namespace {

// The window was designed at this client size; controls kept at the right
// edge keep their distance to it.
constexpr int kDesignWidth = 764;
constexpr int kDesignHeight = 537;
constexpr int kTopBarHeight = 33;
constexpr int kBottomBarHeight = 50;
constexpr int kStatusHeight = 19;

// Keeps its own colour and size over the skin.
QLabel* whiteLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    ui::setOwnTextLook(label, Qt::white, 12);
    return label;
}

QWidget* bar(const char* name, ui::SkinSection section, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    ui::setSkinSection(panel, section);
    return panel;
}

}  // namespace

QSize tileSizeFor(int gridWidth, int columns) {
    columns = std::max(columns, 1);
    const int width = std::max((gridWidth - columns * ThumbnailGrid::kSpacing - 30) / columns, 1);
    const int height = static_cast<int>(std::lround(width / std::sqrt(2.0))) + 4;
    return {width, height};
}

TfrmVisualizar::TfrmVisualizar(library::Layout layout, QWidget* parent)
    : QWidget(parent),
      layout_(std::move(layout)),
      folders_(layout_),
      favourites_(library::BlockList::favourites(layout_)),
      recents_(library::BlockList::recents(layout_)),
      runFolder_(std::make_unique<RunFolder>(layout_)),
      lister_(std::make_unique<SourceLister>()),
      watcher_(std::make_unique<FolderWatcher>()),
      queries_(std::make_unique<search::QueryWorker>(
          layout_.searchIndexFile(),
          [this](search::QueryAnswer answer) {
              QMetaObject::invokeMethod(
                  this, [this, answer = std::move(answer)] { showAnswer(answer); },
                  Qt::QueuedConnection);
          })),
      indexer_(std::make_unique<search::BackgroundIndexer>(layout_)) {
    setWindowTitle(QStringLiteral("Tessaly - Biblioteca de blocos para projetos"));
    setFont(ui::programFont());
    buildControls();
    ui::applySkin(this);
    ui::attachMagnet(this);
    resize(kDesignWidth, kDesignHeight);
    setMinimumSize(600, 400);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    FormCreate();
}

TfrmVisualizar::~TfrmVisualizar() = default;

void TfrmVisualizar::buildControls() {
    sPanel4 = bar("sPanel4", ui::SkinSection::SpeedButton, this);
    sLabel2 = whiteLabel(QStringLiteral("Blocos:"), sPanel4);
    cArea = new QComboBox(sPanel4);
    cArea->setObjectName(QStringLiteral("cArea"));
    cArea->setEditable(false);
    cArea->setCursor(Qt::PointingHandCursor);
    cArea->setFont(ui::programFont(12));
    QPalette areaPalette = cArea->palette();
    areaPalette.setColor(QPalette::Base, QColor(240, 244, 240));
    areaPalette.setColor(QPalette::Text, Qt::black);
    cArea->setPalette(areaPalette);
    sLabel3 = whiteLabel(QStringLiteral("Procurar:"), sPanel4);
    eProcurar = new QLineEdit(sPanel4);
    eProcurar->setObjectName(QStringLiteral("eProcurar"));
    eProcurar->setFont(ui::programFont(12));
    eProcurar->setPalette(areaPalette);
    eProcurar->setClearButtonEnabled(true);
    // Whatever is pasted: a search reads no more.
    eProcurar->setMaxLength(search::kMaxQueryCharacters);
    tProcurar = new QTimer(this);
    tProcurar->setSingleShot(true);
    tProcurar->setInterval(250);
    sLabel1 = whiteLabel(QStringLiteral("Colunas:"), sPanel4);
    eCol = new QSpinBox(sPanel4);
    eCol->setObjectName(QStringLiteral("eCol"));
    eCol->setRange(2, 25);
    eCol->setSingleStep(1);
    eCol->setValue(6);

    sPanel1 = bar("sPanel1", ui::SkinSection::SpeedButton, this);
    Lista = new ThumbnailGrid(sPanel1);
    Lista->setObjectName(QStringLiteral("Lista"));
    sLabel4 = whiteLabel(QStringLiteral("Clique no botão abaixo para salvar o bloco selecionado"),
                         sPanel1);
    sLabel4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    sLabel4->setAttribute(Qt::WA_TransparentForMouseEvents);

    sPanel3 = bar("sPanel3", ui::SkinSection::GroupBox, this);
    lSobre = new QLabel(QStringLiteral("Sobre"), sPanel3);
    lAjuda = new QLabel(QStringLiteral("Ajuda"), sPanel3);
    ui::connectAboutAndHelp(lSobre, lAjuda);
    bSalvar = new QPushButton(ui::buttonImage(ui::ButtonImage::Save),
                              QStringLiteral("Salvar bloco selecionado"), sPanel3);
    bSalvar->setIconSize(QSize(24, 24));
    bSalvar->setObjectName(QStringLiteral("bSalvar"));
    cVer = new QCheckBox(QStringLiteral("Explorar ao clicar sobre imagem"), sPanel3);
    cVer->setObjectName(QStringLiteral("cVer"));
    cVer->setChecked(true);
    QPalette checkPalette = cVer->palette();
    checkPalette.setColor(QPalette::WindowText, Qt::white);
    cVer->setPalette(checkPalette);

    status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    statusFirstPanel = new QLabel(status);
    statusFirstPanel->setObjectName(QStringLiteral("statusFirstPanel"));
    statusFirstPanel->setFixedWidth(390);
    statusSecondPanel = new QLabel(status);
    statusSecondPanel->setObjectName(QStringLiteral("statusSecondPanel"));
    status->addWidget(statusFirstPanel);
    status->addWidget(statusSecondPanel, 1);

    tBrowser = new QTimer(this);
    tBrowser->setInterval(500);
    connect(tBrowser, &QTimer::timeout, this, &TfrmVisualizar::tBrowserTimer);
    tBrowser->start();

    dSalvar = new BlockSaveDialog(this, rememberedExportFile(layout_.programFolder()));
    dPastas = new FolderListDialog(layout_, folders_, this);
    Lista->thumbnails().setLayout(layout_);

    connect(bSalvar, &QPushButton::clicked, this, &TfrmVisualizar::bSalvarClick);
    connect(cArea, &QComboBox::activated, this, &TfrmVisualizar::cAreaChange);
    connect(eCol, &QSpinBox::valueChanged, this, [this] { ui::guarded([this] { eColChange(); }); });
    connect(Lista, &ThumbnailGrid::itemSelected, this, &TfrmVisualizar::ListaItemSelect);
    Lista->setToolTipText([this](int index) { return tileToolTip(index); });
    connect(Lista, &ThumbnailGrid::activated, bSalvar, &QPushButton::click);
    connect(Lista, &ThumbnailGrid::copyRequested, this,
            [this](int index) { ui::guarded([this, index] { copyBlock(index); }); });
    Lista->setDragData([this](int index) { return blockMimeData(index); });
    connect(Lista, &ThumbnailGrid::favouriteToggled, this,
            [this](int index) { ui::guarded([this, index] { toggleFavourite(index); }); });
    connect(Lista, &ThumbnailGrid::rescanRequested, this, &TfrmVisualizar::rescan);
    // A change in the folder shown lists it again, unless the grid has left it.
    connect(watcher_.get(), &FolderWatcher::changed, this, [this] {
        if (chosen_.kind == Choice::Kind::Folder && !showingResults_) rescan();
    });

    connect(eProcurar, &QLineEdit::textChanged, tProcurar, qOverload<>(&QTimer::start));
    connect(tProcurar, &QTimer::timeout, this, &TfrmVisualizar::eProcurarChange);
    connect(eProcurar, &QLineEdit::returnPressed, this, [this] {
        tProcurar->stop();
        eProcurarChange();
        if (searching())
            focusGridWhenAnswered_ = true;
        else if (Lista->count() > 0)
            Lista->setFocus();
    });
    auto* emptyField = new QShortcut(QKeySequence(Qt::Key_Escape), eProcurar, nullptr, nullptr,
                                     Qt::WidgetShortcut);
    connect(emptyField, &QShortcut::activated, this, [this] {
        eProcurar->clear();
        tProcurar->stop();
        eProcurarChange();
    });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        eProcurar->setFocus(Qt::ShortcutFocusReason);
        eProcurar->selectAll();
    });
    // Categories indexed in the background join the results on screen: the
    // newest search is asked again once for all the categories that finished
    // before the window got to it.
    indexer_->setCategoryIndexed([this](int) {
        if (lookAgainQueued_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                lookAgainQueued_ = false;
                if (!showingResults_ && !searching()) return;
                // Asked again for the same keys: Return pressed before still
                // wants the keys on the grid once answered.
                const bool focusGrid = focusGridWhenAnswered_;
                eProcurarChange();
                focusGridWhenAnswered_ = focusGrid && searching();
            },
            Qt::QueuedConnection);
    });
}

void TfrmVisualizar::placeControls() {
    const int w = width();
    const int h = height();
    sPanel4->setGeometry(0, 0, w, kTopBarHeight);
    cArea->setGeometry(49, 5, 169, 21);
    eCol->setGeometry(w - (kDesignWidth - 711), 6, 49, 21);
    // The labels end just before the control they name, whatever the font's width.
    const auto labelBefore = [](QLabel* label, int designLeft, const QWidget* control) {
        const QSize size = label->sizeHint();
        label->setGeometry(std::max(designLeft, control->x() - 3 - size.width()),
                           14 - size.height() / 4, size.width(), size.height());
    };
    labelBefore(sLabel2, 2, cArea);
    labelBefore(sLabel1, w - (kDesignWidth - 611), eCol);
    // The search field takes the room between the category list and "Colunas:".
    const int searchLeft = 290;
    const int searchWidth = std::clamp(sLabel1->x() - 12 - searchLeft, 60, 260);
    eProcurar->setGeometry(searchLeft, 5, searchWidth, 21);
    labelBefore(sLabel3, cArea->x() + cArea->width() + 8, eProcurar);

    const int middleHeight = std::max(h - kTopBarHeight - kBottomBarHeight - kStatusHeight, 0);
    sPanel1->setGeometry(0, kTopBarHeight, w, middleHeight);
    Lista->setGeometry(0, 0, w, middleHeight);
    // Sits on the grid's footer bar, where its white text reads.
    // Right-aligned: its right edge stays where the design put it.
    const QSize hint = sLabel4->sizeHint();
    sLabel4->setGeometry(250 + 261 - hint.width(), middleHeight - 22, hint.width(), hint.height());
    sLabel4->raise();

    sPanel3->setGeometry(0, h - kStatusHeight - kBottomBarHeight, w, kBottomBarHeight);
    lSobre->move(110, 10);
    lAjuda->move(110, 29);
    // The save button keeps its centre at the same fraction of the width.
    const int saveCentre = static_cast<int>(std::lround((296.0 + 86.0) * w / kDesignWidth));
    bSalvar->setGeometry(saveCentre - 86, 7, 172, 37);
    cVer->setGeometry(w - (kDesignWidth - 577), 16, 174, 19);
    status->setGeometry(0, h - kStatusHeight, w, kStatusHeight);
}

void TfrmVisualizar::FormCreate() {
    ui::guarded([this] {
        state_.PreviewDrawingPath.clear();
        ui::pump();
        FirstShowDone = false;
        Lista->setColors(GridColors::olive());
        RefreshCategories();
    });
}

void TfrmVisualizar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
    FormResize();
}

void TfrmVisualizar::FormResize() {
    ui::guarded([this] { eColChange(); });
}

void TfrmVisualizar::eColChange() {
    const int columns = std::clamp(eCol->value(), eCol->minimum(), eCol->maximum());
    Lista->setColumnCount(columns);
    Lista->setItemSize(tileSizeFor(Lista->layoutWidth(), columns));
    ui::pump();
}

void TfrmVisualizar::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, hidden or floating windows included.
    event->accept();
    QGuiApplication::quit();
}

void TfrmVisualizar::RefreshCategories() {
    ui::guarded([this] {
        leaveSearch();
        chosen_ = {};
        lister_->cancel();
        watcher_->watch({});
        cArea->setCurrentIndex(-1);
        Lista->clear();
        for (int n = 0; n < library::kCategoryCount; ++n)
            state_.InstalledFlags[static_cast<size_t>(n)] = layout_.isInstalled(n);
        writeCategoryList();
        cArea->setCurrentIndex(-1);
    });
    // Categories and folders added or removed since the last look are
    // indexed in the background, off the user-interface thread.
    indexer_->start();
}

void TfrmVisualizar::writeCategoryList() {
    QStringList entries;
    for (int n = 0; n < library::kCategoryCount; ++n)
        entries << QString::fromStdString(
            library::categoryListEntry(n, state_.InstalledFlags[static_cast<size_t>(n)]));
    entries << QString::fromUtf8(library::kFoldersEntry);
    for (const std::filesystem::path& folder : folders_.folders())
        entries << QString::fromStdString(folders_.entry(folder));
    entries << QString::fromUtf8(library::kFavouritesEntry)
            << QString::fromUtf8(library::kRecentsEntry);
    const int shown = cArea->currentIndex();
    while (cArea->count() > entries.size()) cArea->removeItem(cArea->count() - 1);
    while (cArea->count() < entries.size()) cArea->addItem(QString());
    for (int i = 0; i < entries.size(); ++i) cArea->setItemText(i, entries[i]);
    if (shown >= cArea->count()) cArea->setCurrentIndex(-1);
}

int TfrmVisualizar::folderEntry(const std::filesystem::path& folder) const {
    const auto& listed = folders_.folders();
    const auto found = std::find(listed.begin(), listed.end(), folder);
    return found == listed.end() ? -1 : kFoldersEntry + 1 + static_cast<int>(found - listed.begin());
}

int TfrmVisualizar::favouritesEntry() const {
    return kFoldersEntry + 1 + static_cast<int>(folders_.folders().size());
}

int TfrmVisualizar::recentsEntry() const {
    return favouritesEntry() + 1;
}

int TfrmVisualizar::entryOf(const Choice& choice) const {
    switch (choice.kind) {
        case Choice::Kind::Category:
            return choice.category;
        case Choice::Kind::Folder:
            return folderEntry(choice.folder);
        case Choice::Kind::Favourites:
            return favouritesEntry();
        case Choice::Kind::Recents:
            return recentsEntry();
        case Choice::Kind::Nothing:
            break;
    }
    return -1;
}

TfrmVisualizar::Choice TfrmVisualizar::choiceAt(int entry) const {
    if (entry >= 0 && entry < library::kCategoryCount) return {Choice::Kind::Category, entry, {}};
    const int folder = entry - kFoldersEntry - 1;
    if (folder >= 0 && folder < static_cast<int>(folders_.folders().size()))
        return {Choice::Kind::Folder, -1, folders_.folders()[static_cast<size_t>(folder)]};
    if (entry == favouritesEntry()) return {Choice::Kind::Favourites, -1, {}};
    if (entry == recentsEntry()) return {Choice::Kind::Recents, -1, {}};
    return {};
}

void TfrmVisualizar::dropDownCategoryList() {
    cArea->showPopup();
}

void TfrmVisualizar::LoadBlockList() {
    Lista->beginUpdate();
    try {
        setSecondStatusPanelText(QString());
        Lista->clear();
        if (!state_.CurrentCategoryFolder.empty()) {
            for (const library::Block& block :
                 library::CategorySource(state_.CurrentCategoryFolder).list().blocks)
                Lista->addBlock(block);
        }
    } catch (...) {
        Lista->endUpdate();
        throw;
    }
    Lista->endUpdate();
    if (Lista->count() > 0) Lista->setSelectedIndex(0);
    Lista->setFocus();
}

int TfrmVisualizar::selectedItemIndex() const {
    return Lista->selectedIndex();
}

void TfrmVisualizar::setSelectedItemIndex(int index) {
    Lista->setSelectedIndex(index);
}

int TfrmVisualizar::itemCount() const {
    return Lista->count();
}

std::filesystem::path TfrmVisualizar::itemFileName(int index) const {
    return Lista->item(index).FileName;
}

QString TfrmVisualizar::categoryText() const {
    return cArea->currentText();
}

void TfrmVisualizar::focusGrid() {
    activateWindow();
    Lista->setFocus();
}

QString TfrmVisualizar::secondStatusPanelText() const {
    return statusSecondPanel->text();
}

void TfrmVisualizar::setSecondStatusPanelText(const QString& text) {
    statusSecondPanel->setText(text);
}

void TfrmVisualizar::cAreaChange(int index) {
    ui::guarded([this, index] {
        if (index == kFoldersEntry) {
            openFolderList();
            return;
        }
        const Choice choice = choiceAt(index);
        if (choice.kind == Choice::Kind::Nothing) return;
        const bool wasSearching = leaveSearch();
        if (choice.kind != Choice::Kind::Category) {
            chosen_ = choice;
            listChosen(false);
            return;
        }
        if (state_.InstalledFlags[static_cast<size_t>(index)]) {
            chosen_ = choice;
            lister_->cancel();
            watcher_->watch({});
            statusFirstPanel->clear();
            state_.CurrentCategoryFolder = layout_.categoryFolder(index);
            LoadBlockList();
            markFavourites();
            ui::pump();
            return;
        }
        // The grid shows the entry chosen before while the packages are offered.
        if (wasSearching) showChosen();
        for (size_t n = 0; n < state_.PackageSelection.size(); ++n)
            state_.PackageSelection[n] = !state_.InstalledFlags[n];
        ui::PackageWindowAccess* packages = ui::windows().download;
        if (!packages) return;
        for (int n = 0; n < library::kCategoryCount; ++n)
            packages->setPackageChecked(n, state_.PackageSelection[static_cast<size_t>(n)]);
        ui::pump();
        packages->showModally();
    });
}

void TfrmVisualizar::ListaItemSelect(int itemindex) {
    Q_UNUSED(itemindex);  // the grid's selected index is authoritative
    ui::guarded([this] {
        const int selected = Lista->selectedIndex();
        if (selected < 0 || selected >= Lista->count()) return;
        const QString blockName =
            ui::displayName(library::blockName(Lista->item(selected).FileName));
        setSecondStatusPanelText(itemCategoryText(selected) + QStringLiteral(" - Bloco ") +
                                 blockName);
        ui::PreviewWindowAccess* preview = ui::windows().preview;
        if (!preview) return;
        if (!preview->isShowing() && cVer->isChecked()) {
            preview->showModeless();
            ui::pump();
        }
        preview->clickRefresh();
    });
}

void TfrmVisualizar::tBrowserTimer() {
    if (!isVisible() || FirstShowDone) return;
    const bool done = ui::guarded([this] {
        tBrowser->stop();
        if (const QScreen* screen = this->screen()) {
            const QRect area = screen->geometry();
            const QRect frame = frameGeometry();
            move(area.left() + (area.width() - frame.width()) / 2,
                 area.top() + (area.height() - frame.height()) / 2);
        }
        LoadBlockList();
        eColChange();
        FirstShowDone = true;
        ui::pump();
        cArea->showPopup();
        ui::pump();
    });
    if (!done) {
        FirstShowDone = true;
        tBrowser->stop();
    }
}

}  // namespace browser
