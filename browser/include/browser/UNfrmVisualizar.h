// The main window: category list, thumbnail grid, column setting, export.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>

#include "archive/ZipReader.h"
#include "browser/BlockSaveDialog.h"
#include "library/Library.h"
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

class RunFolder;
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
    std::filesystem::path itemCategoryFolder(int index) const override;
    QString itemCategoryText(int index) const override;
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

    bool firstShowDone() const { return FirstShowDone; }
    // The grid holds search results rather than one category.
    bool showingResults() const { return showingResults_; }
    // A search was asked for and its answer is not on screen yet.
    bool searching() const { return askedTicket_ != 0; }
    // The start-up indexing, which tests wait for.
    search::BackgroundIndexer& indexer() { return *indexer_; }
    // Where the search's queries run, off the user-interface thread.
    const search::QueryWorker& queryWorker() const { return *queries_; }

    // The block's drawing as a file for other programs, `<block name>.DWG`
    // in this run's folder for the block's category, which goes when the
    // window does; empty when the drawing could not be written (the reason
    // in failure, if given).
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

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void FormResize();
    void buildControls();
    void placeControls();
    void exportSelectedBlock(archive::ZipLease& lease);
    void copyBlock(int index);
    void showAnswer(const search::QueryAnswer& answer);
    void showResults(search::Found found);
    // No answer to a search asked is wanted any more.
    void forgetSearch();
    // Back from the results to the category chosen before, if any.
    void emptySearch();
    // Ends the search mode without touching the grid; true when it was on.
    bool leaveSearch();
    // The blocks of the category chosen before the search, or an empty grid.
    void showChosenCategory();
    int itemCategory(int index) const;
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

    // The category whose blocks the grid shows outside the search, -1 for none.
    int chosenCategory_ = -1;
    bool showingResults_ = false;
    search::Found results_;  // one hit per grid item while results are shown
    // The ticket of the search whose answer is awaited; 0 for none.
    std::uint64_t askedTicket_ = 0;
    bool focusGridWhenAnswered_ = false;  // Return was pressed in the field
    // Set on the indexer's thread while a new look at the results is on its way.
    std::atomic<bool> lookAgainQueued_{false};
    std::unique_ptr<RunFolder> runFolder_;
    // Last: their threads end before anything they report to goes.
    std::unique_ptr<search::QueryWorker> queries_;
    std::unique_ptr<search::BackgroundIndexer> indexer_;
};

}  // namespace browser
