// The package selection window: one check box per category package, the
// description of the package under the pointer, and the progress area.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "library/Library.h"
#include "ui/Windows.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace download {

// A package description file as text: UTF-8 when it is valid UTF-8 (a BOM is
// dropped), Windows-1252 otherwise. Throws std::runtime_error naming the file
// when it cannot be read.
QString readDescription(const std::filesystem::path& file);

class TfrmDownload : public QDialog, public ui::PackageWindowAccess {
    Q_OBJECT
  public:
    explicit TfrmDownload(QWidget* parent = nullptr);

    // PackageWindowAccess
    void setPackageChecked(int index, bool checked) override;
    void showModally() override;

    std::array<QCheckBox*, library::kCategoryCount> boxes{};  // c0 .. c13
    QGroupBox* sGroupBox1 = nullptr;
    QLabel* gSobre = nullptr;
    QPlainTextEdit* memo = nullptr;
    QLabel* lProgresso = nullptr;
    QProgressBar* Gauge = nullptr;
    QPushButton* bCancelar = nullptr;
    QPushButton* bDownload = nullptr;

    int currentPackage() const { return CurrentPackage; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

  private:
    // What a click on box c<index> does; throws when the description is unreadable.
    void packageClicked(int index);
    void packageHovered(int index);
    void FormClose();

    int CurrentPackage = 0;
    bool closing_ = false;
};

}  // namespace download
