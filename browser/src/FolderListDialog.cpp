#include "browser/FolderListDialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "library/ThumbnailStore.h"
#include "ui/DisplayName.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/OffThread.h"
#include "ui/Skin.h"
#include "ui/Translations.h"

namespace fs = std::filesystem;

namespace browser {

namespace {

// Removing the pictures of a large folder takes a moment; a disk that holds
// them up longer is left to it.
constexpr int kRemovalDeadlineMs = 60000;
// How long the disks of the folders may take to answer whether a folder is new.
constexpr int kDiskDeadlineMs = 30000;

}  // namespace

FolderListDialog::FolderListDialog(library::Layout layout, library::UserFolders& folders,
                                   QWidget* parent)
    : QDialog(parent), layout_(std::move(layout)), folders_(folders) {
    setObjectName(QStringLiteral("frmPastas"));
    setWindowTitle(QStringLiteral("Minhas pastas"));
    setFont(ui::programFont());
    auto* explanation = new QLabel(
        QStringLiteral("Pastas com desenhos seus (.dwg), mostradas na lista de blocos.\n"
                       "O Tessaly só lê estas pastas: nada é gravado nelas."),
        this);
    lPastas = new QListWidget(this);
    lPastas->setObjectName(QStringLiteral("lPastas"));
    bAdicionar = new QPushButton(QStringLiteral("&Adicionar pasta…"), this);
    bAdicionar->setObjectName(QStringLiteral("bAdicionar"));
    bRemover = new QPushButton(QStringLiteral("&Remover da lista"), this);
    bRemover->setObjectName(QStringLiteral("bRemover"));
    bFechar = new QPushButton(QStringLiteral("&Fechar"), this);
    bFechar->setObjectName(QStringLiteral("bFechar"));
    bFechar->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bAdicionar);
    buttons->addWidget(bRemover);
    buttons->addStretch();
    buttons->addWidget(bFechar);
    auto* layoutBox = new QVBoxLayout(this);
    layoutBox->addWidget(explanation);
    layoutBox->addWidget(lPastas);
    layoutBox->addLayout(buttons);
    resize(520, 320);

    dPasta = new QFileDialog(this, QStringLiteral("Adicionar pasta"));
    dPasta->setObjectName(QStringLiteral("dPasta"));
    dPasta->setFileMode(QFileDialog::Directory);
    dPasta->setOption(QFileDialog::ShowDirsOnly);
    dPasta->setOption(QFileDialog::DontUseNativeDialog);
    dPasta->setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));

    connect(bAdicionar, &QPushButton::clicked, this, &FolderListDialog::bAdicionarClick);
    connect(bRemover, &QPushButton::clicked, this, &FolderListDialog::bRemoverClick);
    connect(bFechar, &QPushButton::clicked, this, &QDialog::accept);
    connect(lPastas, &QListWidget::currentRowChanged, this,
            [this](int row) { bRemover->setEnabled(row >= 0); });
    ui::applySkin(this);
}

int FolderListDialog::exec() {
    added_.reset();
    changed_ = false;
    showFolders();
    return QDialog::exec();
}

void FolderListDialog::showFolders() {
    lPastas->clear();
    for (const fs::path& folder : folders_.folders()) {
        auto* item = new QListWidgetItem(QString::fromStdString(folders_.shownName(folder)) +
                                             QStringLiteral("  —  ") + ui::displayName(folder),
                                         lPastas);
        item->setToolTip(ui::displayName(folder));
    }
    lPastas->setCurrentRow(lPastas->count() > 0 ? lPastas->count() - 1 : -1);
    bRemover->setEnabled(lPastas->currentRow() >= 0);
}

void FolderListDialog::bAdicionarClick() {
    if (dPasta->exec() != QDialog::Accepted || dPasta->selectedFiles().isEmpty()) return;
    addFolder(library::pathFromUtf8(dPasta->selectedFiles().constFirst().toStdString()));
}

bool FolderListDialog::addFolder(const fs::path& folder) {
    // Telling whether the folder is one listed already asks the disks of the
    // folders listed, any of which may not answer: done on a copy of the
    // list, off the user-interface thread.
    struct Added {
        std::string why;
        library::UserFolders folders;
    };
    std::optional<Added> added = ui::waitOffUiThread<Added>(
        [folders = folders_, folder]() mutable {
            std::string why = folders.add(folder);
            return Added{std::move(why), std::move(folders)};
        },
        kDiskDeadlineMs);
    const std::string why =
        added ? added->why : std::string("os discos das pastas não responderam a tempo.");
    if (why.empty()) folders_ = std::move(added->folders);
    if (!why.empty()) {
        ui::LocalisedMessageDlg(QStringLiteral("\rA pasta não foi adicionada: ") +
                                    QString::fromStdString(why) + QLatin1Char('\r'),
                                ui::MessageKind::Warning, ui::MessageButton::OK, 0);
        return false;
    }
    added_ = folders_.folders().back();
    changed_ = true;
    showFolders();
    return true;
}

void FolderListDialog::bRemoverClick() {
    const int row = lPastas->currentRow();
    if (row < 0 || row >= static_cast<int>(folders_.folders().size())) return;
    const fs::path folder = folders_.folders()[static_cast<std::size_t>(row)];
    const QString question =
        QStringLiteral("\rTirar da lista a pasta %1?\r\rOs desenhos da pasta não são apagados; "
                       "só as miniaturas que o Tessaly fez deles.\r")
            .arg(ui::displayName(folder));
    if (ui::LocalisedMessageDlg(question, ui::MessageKind::Confirmation,
                                {ui::MessageButton::Yes, ui::MessageButton::No},
                                0) != ui::modal_result::Yes)
        return;
    const bool saved = folders_.remove(folder);
    if (added_ == folder) added_.reset();
    changed_ = true;
    const library::ThumbnailStore store(layout_, folder);
    ui::waitOffUiThread<bool>(
        [store] {
            store.removeAll();
            return true;
        },
        kRemovalDeadlineMs);
    if (!saved)
        ui::LocalisedMessageDlg(
            QStringLiteral("\rA lista de pastas não pôde ser gravada na pasta do programa: a "
                           "pasta volta a aparecer quando o Tessaly for aberto de novo.\r"),
            ui::MessageKind::Warning, ui::MessageButton::OK, 0);
    showFolders();
}

}  // namespace browser
