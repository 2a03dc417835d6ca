// The package selection window: one check box per category package, the
// description of the package under the pointer, and the run that downloads
// the ticked packages and installs them, with its progress and cancel.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "archive/ZipReader.h"
#include "library/Library.h"
#include "net/Download.h"
#include "signing/PackageIndex.h"
#include "signing/Signature.h"
#include "signing/Trust.h"
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

// What the download of package index may cost: at most four times the size
// the category table lists for it, never more than 2 GiB.
net::DownloadLimits packageLimits(int index);

// The free space a run over selection needs in the library: each package and
// its unpacked content, less the stale archives the run deletes first.
std::uint64_t spaceNeeded(const library::PackageSelection& selection,
                          const library::Layout& layout);
// The message for a run that needs more than available bytes; none when enough is free.
std::optional<QString> spaceShortage(const library::PackageSelection& selection,
                                     std::uint64_t available, const library::Layout& layout);

// The package server the program was built for, ending in "/".
std::string builtInPackageServer();

class TfrmDownload : public QDialog, public ui::PackageWindowAccess {
    Q_OBJECT
  public:
    // The package server and publisher key the program was built with.
    explicit TfrmDownload(QWidget* parent = nullptr);
    // packageServer ends in "/"; package n is fetched from packageServer + "blocos/<n>.zip".
    // With publisherKey, only packages of the list packageServer + "blocos/indice.txt"
    // that the key signed are taken, and installed categories learn of newer packages.
    explicit TfrmDownload(std::string packageServer,
                          std::optional<signing::PublicKey> publisherKey = std::nullopt,
                          QWidget* parent = nullptr);

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
    QLabel* sLabel1 = nullptr;

    int currentPackage() const { return CurrentPackage; }
    // True when the server's signed list has a newer package for this
    // installed category, as found when the window last opened.
    bool hasNewerPackage(int index) const { return newer_.at(static_cast<size_t>(index)); }

  public slots:
    // Downloads every ticked package, then installs each; reports and closes.
    void bDownloadClick();
    void bCancelarClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

  private:
    // What a click on box c<index> does; throws when the description is unreadable.
    void packageClicked(int index);
    void packageHovered(int index);
    void FormClose();
    // The description of package index, headed by the news of a newer package.
    QString descriptionOf(int index, ui::MainWindowAccess& main) const;
    // Fetches the signed list for this showing of the window and says on
    // their boxes which installed categories it has a newer package for.
    void findNewerPackages();
    void showNews();
    // The list a run installs from: the one the window showed, judged again,
    // or, when it showed none, one fetched now. The message for the user
    // when there is none to trust.
    std::optional<QString> takeListForRun(const library::Layout& layout);

    // The steps of a run over a fixed selection; returns each package's
    // failure, empty for the packages installed.
    // index is the server's signed list, null when the program has no key.
    std::array<QString, library::kCategoryCount> runPackages(
        const library::PackageSelection& selection, ui::MainWindowAccess& main,
        const signing::PackageIndex* index);
    // expectedSize: the length the signed list gives, 0 without a list.
    QString DownloadFile(const std::string& url, const std::filesystem::path& target, int index,
                         std::uint64_t expectedSize);
    // The downloaded file against its line of the signed list, before anything is unpacked.
    QString checkDownloaded(const std::filesystem::path& archiveFile,
                            const signing::IndexLine& line);
    void DownloadProgress(std::uint64_t progress, std::uint64_t progressMax, bool& cancel);
    // signedLine: the package's line in the signed list, null without a list.
    QString ExtractPackage(const std::filesystem::path& archiveFile, ui::MainWindowAccess& main,
                           int index, const signing::IndexLine* signedLine);
    void zipFileProgress(const archive::ZipProgress& progress, bool& cancel);
    void WaitPumping(int milliseconds);
    void setGauge(std::uint64_t progress, std::uint64_t maximum);
    void setRunControls(bool running);

    std::string packageServer_;
    std::optional<signing::PublicKey> publisherKey_;
    // The signed list of this showing: what the boxes announce is what a run installs.
    std::optional<signing::PackageIndex> list_;
    signing::Publication publication_;  // the files list_ was verified from
    std::array<bool, library::kCategoryCount> newer_{};
    int CurrentPackage = 0;
    bool CancelRequested = false;
    bool running_ = false;
    bool closing_ = false;
};

}  // namespace download
