// The main window: category list, thumbnail grid, column setting, export.
//
// The category list holds the 14 categories, then "Minhas pastas…" (the
// window that adds and removes the user's folders), one entry per folder of
// the user's, "» Favoritos" and "» Recentes". A category is listed at once;
// every other entry is listed off the user-interface thread, since a folder
// may lie on a disk that is slow or gone, and the grid fills when that is
// done. A folder shown is watched: drawings changed, added or removed update
// their tiles; F5 lists the entry shown again.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>

#include "archive/ZipReader.h"
#include "browser/BlockSaveDialog.h"
#include "library/BlockLists.h"
#include "library/BlockSource.h"
#include "library/Library.h"
#include "library/UserFolders.h"
#include "search/BlockIndex.h"
#include "ui/Windows.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTimer;

namespace search {
class BackgroundIndexer;
class QueryWorker;
struct QueryAnswer;
}  // namespace search

namespace browser {

class FolderListDialog;
class FolderWatcher;
class RunFolder;
class SourceLister;
class ThumbnailGrid;

// Tile size for c columns in a grid W pixels wide: w = (W − c·10 − 30) / c,
// h = round(w / √2) + 4. Never below one pixel, whatever W and c.
QSize tileSizeFor(int gridWidth, int columns);

class TfrmVisualizar : public QWidget, public ui::MainWindowAccess {
    Q_OBJECT
  public:
    explicit TfrmVisualizar(library::Layout layout, QWidget* parent = nullptr);
    ~TfrmVisualizar() override;

    // MainWindowAccess
    ui::SharedState& shared() override { return state_; }
    const library::Layout& layout() const override { return layout_; }
    void RefreshCategories() override;
    void dropDownCategoryList() override;
    archive::ZipReader& zip() override { return zip_; }
    int selectedItemIndex() const override;
    void setSelectedItemIndex(int index) override;
    int itemCount() const override;
    std::filesystem::path itemFileName(int index) const override;
    QString categoryText() const override;
    library::Block itemBlock(int index) const override;
    QString itemCategoryText(int index) const override;
    bool isFavourite(int index) const override;
    void setFavourite(int index, bool favourite) override;
    QString secondStatusPanelText() const override;
    void setSecondStatusPanelText(const QString& text) override;
    void focusGrid() override;

    void LoadBlockList();

    // Controls, named as the window carries them, for the other windows and tests.
    QComboBox* cArea = nullptr;
    QLineEdit* eProcurar = nullptr;
    // Asks for the search a short pause after the last key.
    QTimer* tProcurar = nullptr;
    QSpinBox* eCol = nullptr;
    ThumbnailGrid* Lista = nullptr;
    QPushButton* bSalvar = nullptr;
    QCheckBox* cVer = nullptr;
    QLabel* lSobre = nullptr;
    QLabel* lAjuda = nullptr;
    QStatusBar* status = nullptr;
    QTimer* tBrowser = nullptr;

    BlockSaveDialog* dSalvar = nullptr;
    FolderListDialog* dPastas = nullptr;  // "Minhas pastas…"

    // Where each kind of entry begins in the category list.
    static constexpr int kFoldersEntry = library::kCategoryCount;
    int folderEntry(const std::filesystem::path& folder) const;  // -1 when not listed
    int favouritesEntry() const;
    int recentsEntry() const;

    const library::UserFolders& userFolders() const { return folders_; }
    const library::BlockList& favourites() const { return favourites_; }
    const library::BlockList& recents() const { return recents_; }
    // The first status panel: what the window tells beside the selection.
    QString firstStatusPanelText() const;

    bool firstShowDone() const { return FirstShowDone; }
    // The grid holds search results rather than one category.
    bool showingResults() const { return showingResults_; }
    // A search was asked for and its answer is not on screen yet.
    bool searching() const { return askedTicket_ != 0; }
    // The listing of a folder, the favourites or the recents is on its way.
    bool listing() const;
    // The start-up indexing, which tests wait for.
    search::BackgroundIndexer& indexer() { return *indexer_; }
    // Where the search's queries run, off the user-interface thread.
    const search::QueryWorker& queryWorker() const { return *queries_; }

    // The block's drawing as a file for other programs, `<block name>.DWG`
    // in this run's folder for the block's category or folder, which goes
    // when the window does; empty when the drawing could not be written (the
    // reason in failure, if given).
    std::filesystem::path writeBlockForOthers(int index, QString* failure = nullptr);
    // What a drag or the clipboard carries: the URL of that file.
    QMimeData* blockMimeData(int index);
    // Empty until a block was first written for others.
    std::filesystem::path runFolder() const;

  public slots:
    void cAreaChange(int index);
    void ListaItemSelect(int itemindex);
    void eColChange();
    void tBrowserTimer();
    void bSalvarClick();
    void eProcurarChange();
    // Lists the entry shown again (F5, or a change in the folder shown).
    void rescan();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // What the grid shows outside the search: one entry of the category list.
    struct Choice {
        enum class Kind { Nothing, Category, Folder, Favourites, Recents };
        Kind kind = Kind::Nothing;
        int category = -1;
        std::filesystem::path folder;
    };

    void FormCreate();
    void FormResize();
    void buildControls();
    void placeControls();
    void exportSelectedBlock(archive::ZipLease& lease);
    void copyBlock(int index);
    // Writes a user's drawing, read off the user-interface thread, as a new
    // file at target; why not, or empty when written.
    QString writeUserDrawing(const library::Block& block, const std::filesystem::path& target);
    // The block was saved, dragged out or copied: first of the recents.
    void used(const library::Block& block);
    void toggleFavourite(int index);
    void openFolderList();
    // Writes the category list's entries; the grid stays as it is.
    void writeCategoryList();
    int entryOf(const Choice& choice) const;  // -1 for none
    Choice choiceAt(int entry) const;
    // Shows the chosen folder, favourites or recents, listed off the
    // user-interface thread; again keeps the view where it is.
    void listChosen(bool again);
    void showListing(library::Listing listing, bool again);
    // The grid filled with blocks, each with its star.
    void fillGrid(std::vector<library::Block> blocks);
    // Every tile's star as the favourites say.
    void markFavourites();
    void showAnswer(const search::QueryAnswer& answer);
    void showResults(search::Found found);
    // No answer to a search asked is wanted any more.
    void forgetSearch();
    // Back from the results to the entry chosen before, if any.
    void emptySearch();
    // Ends the search mode without touching the grid; true when it was on.
    bool leaveSearch();
    // The blocks of the entry chosen before the search, or an empty grid.
    void showChosen();
    // The folders the search looks in besides the installed categories.
    search::Scope searchScope() const;
    QString tileToolTip(int index) const;

    library::Layout layout_;
    ui::SharedState state_;
    bool FirstShowDone = false;
    archive::ZipReader zip_{"zip"};

    QWidget* sPanel4 = nullptr;
    QWidget* sPanel1 = nullptr;
    QWidget* sPanel3 = nullptr;
    QLabel* sLabel1 = nullptr;
    QLabel* sLabel2 = nullptr;
    QLabel* sLabel3 = nullptr;
    QLabel* sLabel4 = nullptr;
    QLabel* statusFirstPanel = nullptr;
    QLabel* statusSecondPanel = nullptr;

    library::UserFolders folders_;
    library::BlockList favourites_;
    library::BlockList recents_;
    Choice chosen_;
    bool showingResults_ = false;
    search::Found results_;  // one hit per grid item while results are shown
    // The ticket of the search whose answer is awaited; 0 for none.
    std::uint64_t askedTicket_ = 0;
    bool focusGridWhenAnswered_ = false;  // Return was pressed in the field
    // Set on the indexer's thread while a new look at the results is on its way.
    std::atomic<bool> lookAgainQueued_{false};
    std::unique_ptr<RunFolder> runFolder_;
    std::unique_ptr<SourceLister> lister_;
    std::unique_ptr<FolderWatcher> watcher_;
    // Last: their threads end before anything they report to goes.
    std::unique_ptr<search::QueryWorker> queries_;
    std::unique_ptr<search::BackgroundIndexer> indexer_;
};

}  // namespace browser
