// The main window: category list, thumbnail grid, column setting, export.
#pragma once

#include <QWidget>

#include "archive/ZipReader.h"
#include "browser/BlockSaveDialog.h"
#include "library/Library.h"
#include "ui/Windows.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTimer;

namespace browser {

class ThumbnailGrid;

// Tile size for c columns in a grid W pixels wide: w = (W − c·10 − 30) / c,
// h = round(w / √2) + 4. Never below one pixel, whatever W and c.
QSize tileSizeFor(int gridWidth, int columns);

class TfrmVisualizar : public QWidget, public ui::MainWindowAccess {
    Q_OBJECT
  public:
    explicit TfrmVisualizar(library::Layout layout, QWidget* parent = nullptr);

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
    QString secondStatusPanelText() const override;
    void setSecondStatusPanelText(const QString& text) override;
    void focusGrid() override;

    void LoadBlockList();

    // Controls, named as the window carries them, for the other windows and tests.
    QComboBox* cArea = nullptr;
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

  public slots:
    void cAreaChange(int index);
    void ListaItemSelect(int itemindex);
    void eColChange();
    void tBrowserTimer();
    void bSalvarClick();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void FormResize();
    void buildControls();
    void placeControls();
    void exportSelectedBlock(archive::ZipLease& lease);

    library::Layout layout_;
    ui::SharedState state_;
    bool FirstShowDone = false;
    archive::ZipReader zip_{"zip"};

    QWidget* sPanel4 = nullptr;
    QWidget* sPanel1 = nullptr;
    QWidget* sPanel3 = nullptr;
    QLabel* sLabel1 = nullptr;
    QLabel* sLabel2 = nullptr;
    QLabel* sLabel4 = nullptr;
    QLabel* statusFirstPanel = nullptr;
    QLabel* statusSecondPanel = nullptr;
};

}  // namespace browser
