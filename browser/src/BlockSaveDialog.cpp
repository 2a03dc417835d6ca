#include "browser/BlockSaveDialog.h"

#include <platform/Files.h>

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QStandardPaths>
#include <system_error>

#include "library/Library.h"
#include "ui/DisplayName.h"
#include "ui/LocalisedMessageDlg.h"

namespace fs = std::filesystem;

namespace browser {

namespace {

const QString kExtension = QStringLiteral(".DWG");

fs::path documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return library::pathFromUtf8(documents.toStdString());
    return library::pathFromUtf8(QDir::homePath().toStdString());
}

// Qt's file model writes the dates in the system's locale, English on a
// machine set to another language; the dialog shows them in the program's.
class ProgramLocaleDates : public QIdentityProxyModel {
  public:
    static constexpr int kDateColumn = 3;
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (index.column() == kDateColumn && role == Qt::DisplayRole)
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel()))
                return QLocale().toString(files->lastModified(mapToSource(index)),
                                          QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }
};

}  // namespace

bool isReadOnlyFile(const fs::path& file) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (error || !fs::is_regular_file(status)) return false;
    return (status.permissions() & fs::perms::owner_write) == fs::perms::none ||
           !platform::isWritable(file);
}

void refuseReadOnly(const fs::path& file) {
    ui::LocalisedMessageDlg(QStringLiteral("\rO arquivo \"%1\" é somente leitura e não foi "
                                           "substituído.\rEscolha outro nome ou outra pasta.\r")
                                .arg(ui::displayName(file.filename())),
                            ui::MessageKind::Error, ui::MessageButton::OK, 0);
}

BlockSaveDialog::BlockSaveDialog(QWidget* parent) : QFileDialog(parent, QStringLiteral("Salvar")) {
    setObjectName(QStringLiteral("dSalvar"));
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    // Shown as "*.DWG"; lower-case names are listed too on file systems that tell them apart.
    setNameFilter(QStringLiteral("*.DWG (*.DWG *.dwg)"));
    setOption(QFileDialog::HideNameFilterDetails);
    setOption(QFileDialog::DontUseNativeDialog);
    // The extension and the question about an existing file concern the file
    // the drawing really goes to, which accept() settles.
    setOption(QFileDialog::DontConfirmOverwrite);
    setSizeGripEnabled(true);
    setProxyModel(new ProgramLocaleDates(this));
}

void BlockSaveDialog::propose(const fs::path& blockName) {
    blockName_ = blockName;
    proposedName_ = ui::displayName(blockName);
    target_.clear();
    std::error_code error;
    const bool lastFolderStays = !lastFolder_.empty() && fs::is_directory(lastFolder_, error);
    setDirectory(QString::fromStdString(
        library::pathToUtf8(lastFolderStays ? lastFolder_ : documentsFolder())));
    selectFile(proposedName_);
}

void BlockSaveDialog::saved(const fs::path& file) {
    lastFolder_ = file.parent_path();
}

fs::path BlockSaveDialog::targetFor(const QString& chosen) const {
    const fs::path path = library::pathFromUtf8(chosen.toStdString());
    const QString name = QFileInfo(chosen).fileName();
    if (name == proposedName_) return path.parent_path() / (fs::path(blockName_) += ".DWG");
    if (QFileInfo(name).suffix().isEmpty()) return fs::path(path) += ".DWG";
    return path;
}

void BlockSaveDialog::accept() {
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty()) return;
    std::error_code error;
    const fs::path target = targetFor(chosen.constFirst());
    // A folder typed or picked is opened as usual.
    if (QFileInfo(chosen.constFirst()).isDir() || !fs::exists(fs::symlink_status(target, error))) {
        target_ = target;
        QFileDialog::accept();
        return;
    }
    if (isReadOnlyFile(target)) {
        refuseReadOnly(target);
        return;
    }
    const ui::ModalResult answer = ui::LocalisedMessageDlg(
        QStringLiteral("\r\"%1\" já existe.\rDeseja substituí-lo?\r")
            .arg(ui::displayName(target.filename())),
        ui::MessageKind::Confirmation, {ui::MessageButton::Yes, ui::MessageButton::No}, 0);
    if (answer != ui::modal_result::Yes) return;
    target_ = target;
    QFileDialog::accept();
}

}  // namespace browser
