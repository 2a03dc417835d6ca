// The program keeps one instance of each window for its whole run; windows
// reach each other through these references. The interfaces keep the modules'
// dependencies pointing one way: the main window knows the other windows only
// through what they offer here, and they know it the same way.
#pragma once

#include <QString>
#include <filesystem>

#include "archive/ZipReader.h"
#include "library/BlockSource.h"
#include "library/Library.h"

class QWidget;

namespace ui {

// The run-time values the main window owns and the other windows share.
struct SharedState {
    std::filesystem::path CurrentCategoryFolder;  // empty until an installed category is chosen
    library::InstalledFlags InstalledFlags{};
    library::PackageSelection PackageSelection{};
    std::filesystem::path PreviewDrawingPath;
};

class MainWindowAccess {
  public:
    virtual ~MainWindowAccess() = default;
    virtual SharedState& shared() = 0;
    virtual const library::Layout& layout() const = 0;
    virtual void RefreshCategories() = 0;
    // Opens the category list so that the user can pick a category at once.
    virtual void dropDownCategoryList() = 0;
    // The one zip reader that export, preview and installation borrow, one
    // run at a time (ZipReader::tryLease).
    virtual archive::ZipReader& zip() = 0;

    // The grid as the preview walks it. Setting the selected index moves the
    // selection mark and scrolls it into view without a selection event.
    virtual int selectedItemIndex() const = 0;
    virtual void setSelectedItemIndex(int index) = 0;
    virtual int itemCount() const = 0;
    // The item's thumbnail file name, without folder.
    virtual std::filesystem::path itemFileName(int index) const = 0;
    // The category list's shown text.
    virtual QString categoryText() const = 0;
    // The item's block: where its drawing lies and how it is kept.
    virtual library::Block itemBlock(int index) const = 0;
    // The item's own entry in the category list: its category's, or that of
    // the user's folder its drawing lies in. It differs from the shown text
    // while the grid holds search results, the favourites or the recently used.
    virtual QString itemCategoryText(int index) const = 0;
    // The user's favourites, as the preview's menu marks them.
    virtual bool isFavourite(int index) const = 0;
    virtual void setFavourite(int index, bool favourite) = 0;
    virtual QString secondStatusPanelText() const = 0;
    virtual void setSecondStatusPanelText(const QString& text) = 0;
    // Activates the main window with the grid as its focused control.
    virtual void focusGrid() = 0;
};

class PackageWindowAccess {
  public:
    virtual ~PackageWindowAccess() = default;
    // Sets box c<index>; a change of state runs the box's click behaviour,
    // which may throw when the package description cannot be read.
    virtual void setPackageChecked(int index, bool checked) = 0;
    virtual void showModally() = 0;
};

class PreviewWindowAccess {
  public:
    virtual ~PreviewWindowAccess() = default;
    virtual bool isShowing() const = 0;
    virtual void showModeless() = 0;
    // Clicks the hidden refresh button.
    virtual void clickRefresh() = 0;
};

struct Windows {
    MainWindowAccess* main = nullptr;
    QWidget* about = nullptr;
    PackageWindowAccess* download = nullptr;
    PreviewWindowAccess* preview = nullptr;
};

// The registry of the program's windows.
Windows& windows();

}  // namespace ui
