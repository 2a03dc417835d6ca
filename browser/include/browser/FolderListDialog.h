// "Minhas pastas": the user's own folders of drawings, added and removed.
// A folder removed leaves the list with the pictures kept of its drawings;
// its files are never touched.
#pragma once

#include <QDialog>
#include <filesystem>
#include <optional>

#include "library/Library.h"
#include "library/UserFolders.h"

class QFileDialog;
class QListWidget;
class QPushButton;

namespace browser {

class FolderListDialog : public QDialog {
    Q_OBJECT
  public:
    FolderListDialog(library::Layout layout, library::UserFolders& folders, QWidget* parent);

    // Controls, named as the window carries them, for tests.
    QListWidget* lPastas = nullptr;
    QPushButton* bAdicionar = nullptr;
    QPushButton* bRemover = nullptr;
    QPushButton* bFechar = nullptr;
    QFileDialog* dPasta = nullptr;  // picks the folder to add

    // Shows the list as it is and runs until closed.
    int exec() override;
    // The folder added last while the window was open, if any.
    const std::optional<std::filesystem::path>& added() const { return added_; }
    // Whether any folder was added or removed while it was open.
    bool changed() const { return changed_; }

    // Adds a folder as the folder picker's choice does; false, and the user
    // told why, when it is refused.
    bool addFolder(const std::filesystem::path& folder);

  public slots:
    void bAdicionarClick();
    void bRemoverClick();

  private:
    void showFolders();

    library::Layout layout_;
    library::UserFolders& folders_;
    std::optional<std::filesystem::path> added_;
    bool changed_ = false;
};

}  // namespace browser
