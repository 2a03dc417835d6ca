#include "browser/BlockSaveDialog.h"

#include <platform/Files.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLocale>
#include <QStandardPaths>
#include <system_error>

#include "SaveTypes.h"
#include "library/Library.h"
#include "ui/DisplayName.h"
#include "ui/LocalisedMessageDlg.h"

namespace fs = std::filesystem;

namespace browser {

namespace {

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

BlockSaveDialog::BlockSaveDialog(QWidget* parent, fs::path rememberedFile)
    : QFileDialog(parent, QStringLiteral("Salvar")), rememberedFile_(std::move(rememberedFile)) {
    setObjectName(QStringLiteral("dSalvar"));
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    // The first shown as "*.DWG", the others by their label; lower-case names
    // are listed too on file systems that tell them apart.
    QStringList filters;
    for (const SaveType& type : saveTypes()) filters << nameFilter(type);
    setNameFilters(filters);
    setOption(QFileDialog::HideNameFilterDetails);
    setOption(QFileDialog::DontUseNativeDialog);
    // The extension and the question about an existing file concern the file
    // the drawing really goes to, which accept() settles.
    setOption(QFileDialog::DontConfirmOverwrite);
    setSizeGripEnabled(true);
    setProxyModel(new ProgramLocaleDates(this));

    cUnidades = new QComboBox(this);
    cUnidades->setObjectName(QStringLiteral("cUnidades"));
    for (const UnitsChoice& units : unitsChoices()) cUnidades->addItem(units.label);
    auto* unitsLabel = new QLabel(QStringLiteral("&Unidades:"), this);
    unitsLabel->setBuddy(cUnidades);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(unitsLabel, row, 0);
        grid->addWidget(cUnidades, row, 1);
    }
    connect(this, &QFileDialog::filterSelected, this, &BlockSaveDialog::typeChosen);
    // Chosen from the program as well as by the user: the units follow the type either way.
    if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        connect(types, &QComboBox::currentIndexChanged, this,
                [this] { typeChosen(selectedNameFilter()); });

    const RememberedExport remembered =
        rememberedFile_.empty() ? RememberedExport{} : readRememberedExport(rememberedFile_);
    for (const SaveType& type : saveTypes())
        if (type.format == remembered.format) selectNameFilter(nameFilter(type));
    for (std::size_t i = 0; i < unitsChoices().size(); ++i)
        if (unitsChoices()[i].unit == remembered.units)
            cUnidades->setCurrentIndex(static_cast<int>(i));
    typeChosen(selectedNameFilter());
}

void BlockSaveDialog::typeChosen(const QString& filter) {
    const SaveType& type = saveTypeOfFilter(filter);
    // The block's own file is saved as it is, in its own units.
    cUnidades->setEnabled(type.format.has_value());
}

QString BlockSaveDialog::extension() const {
    return saveTypeOfFilter(selectedNameFilter()).extension;
}

std::optional<convert::ExportChoice> BlockSaveDialog::choice() const {
    const SaveType& type = saveTypeOfFilter(selectedNameFilter());
    if (!type.format) return std::nullopt;
    const int units = cUnidades->currentIndex();
    return convert::ExportChoice{
        *type.format,
        units >= 0 ? unitsChoices()[static_cast<std::size_t>(units)].unit : std::nullopt};
}

std::optional<convert::ExportChoice> BlockSaveDialog::rememberedChoice() const {
    if (rememberedFile_.empty()) return std::nullopt;
    return readRememberedExport(rememberedFile_).choice();
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
    if (rememberedFile_.empty()) return;
    const std::optional<convert::ExportChoice> chosen = choice();
    RememberedExport remembered;
    if (chosen) remembered = {chosen->format, chosen->units};
    // Not kept when the library's folder cannot be written: the save itself went well.
    writeRememberedExport(rememberedFile_, remembered);
}

fs::path BlockSaveDialog::targetFor(const QString& chosen) const {
    const fs::path path = library::pathFromUtf8(chosen.toStdString());
    const QString name = QFileInfo(chosen).fileName();
    const std::string added = extension().toStdString();
    if (name == proposedName_) return path.parent_path() / (fs::path(blockName_) += added);
    if (QFileInfo(name).suffix().isEmpty()) return fs::path(path) += added;
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
