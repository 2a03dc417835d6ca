// "Salvar bloco selecionado": the selected block's drawing is written as the
// file the user chose in the save dialog. A publisher's block comes from its
// archive, a user's drawing from his folder, read off the user-interface
// thread and written as a new file that replaces the target in one rename.
//
// The block's archive is read where it lies in the library. Copying it beside
// the target first could land the copy on another block's archive (saving
// into the category's own DWG folder) or on a user's own file, and removing
// the copy afterwards would lose that file. An export writes one file, the
// drawing, and deletes none; it replaces a file only when the user said so in
// the dialog, and a read-only one never.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QStringList>
#include <QUrl>
#include <system_error>

#include "ConvertedSave.h"
#include "RunFolder.h"
#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "library/SmallFile.h"
#include "ui/DisplayName.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/OffThread.h"
#include "ui/Pump.h"
#include "ui/ZipQuestionBox.h"

namespace fs = std::filesystem;

namespace browser {

namespace {

const QString kNoSelectionMessage = QStringLiteral(
    "\rPara salvar o bloco, selecione a biblioteca na caixa de opção no canto superior esquerdo\r"
    "e clique sobre o bloco desejado na lista de imagens.\r");

// How long a user's disk may take to hand over a drawing before the run
// gives up on it (a share that stopped answering).
constexpr int kUserDiskDeadlineMs = 30000;

// The pause after a drawing is written, before the user is told.
void waitAfterWriting() {
    for (int step = 0; step < 10; ++step) {
        ui::sleepMs(100);
        ui::pump();
    }
}

// A failure message lists this many names of an archive, each cut to this length.
constexpr qsizetype kNamesListed = 5;
constexpr qsizetype kNameLength = 80;

void inform(const QString& text) {
    ui::LocalisedMessageDlg(text, ui::MessageKind::Information, ui::MessageButton::OK, 0);
}

void reportFailure(const QString& text) {
    ui::LocalisedMessageDlg(QLatin1Char('\r') + text + QLatin1Char('\r'), ui::MessageKind::Error,
                            ui::MessageButton::OK, 0);
}

// Stored names come from the archive: control characters are shown as '?'
// and long names are cut.
QString listedNames(const std::vector<std::string>& names) {
    QStringList shown;
    for (std::size_t i = 0; i < names.size() && shown.size() < kNamesListed; ++i) {
        QString name = QString::fromStdString(names[i]);
        for (QChar& c : name)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char('?');
        if (name.size() > kNameLength) name = name.left(kNameLength - 1) + QChar(0x2026);
        shown << name;
    }
    QString text = shown.join(QStringLiteral(", "));
    if (names.size() > static_cast<std::size_t>(kNamesListed))
        text += QStringLiteral(" e mais %1").arg(names.size() - kNamesListed);
    return text;
}

QString whyFailed(archive::MemberFailure failure) {
    switch (failure) {
        case archive::MemberFailure::DamagedData:
            return QStringLiteral("o arquivo do bloco está danificado.");
        case archive::MemberFailure::WrongPassword:
            return QStringLiteral("o arquivo do bloco está protegido por outra senha.");
        case archive::MemberFailure::UnsupportedEncryption:
            return QStringLiteral(
                "o arquivo do bloco usa um tipo de criptografia que este programa não lê.");
        case archive::MemberFailure::CannotCreateFile:
        case archive::MemberFailure::CannotWriteFile:
            return QStringLiteral("não foi possível gravar o arquivo na pasta escolhida.");
        case archive::MemberFailure::NameTooLong:
            return QStringLiteral("o nome do arquivo é longo demais para a pasta escolhida.");
    }
    return {};
}

// What the user is told when no drawing was written.
QString nothingWritten(const archive::ExtractResult& result) {
    QString text = QStringLiteral("O desenho do bloco não foi gravado: ");
    if (!result.failed.empty())
        text += whyFailed(result.failed.back().failure);
    else if (!result.refused.empty())
        text += QStringLiteral("o arquivo do bloco contém nomes de arquivo inválidos.");
    else
        text += QStringLiteral("o arquivo do bloco não contém nenhum desenho (.DWG).");
    if (!result.refused.empty())
        text += QStringLiteral("\rNomes recusados: ") + listedNames(result.refused);
    if (!result.skipped.empty())
        text += QStringLiteral("\rArquivos ignorados: ") + listedNames(result.skipped);
    return text;
}

// A block archive holds one drawing: only a .DWG member is written, under
// the target's name whatever its stored name says. Returns why the archive
// could not be read, empty when it was.
QString extractDrawing(archive::ZipLease& lease, const fs::path& blockArchive,
                       const fs::path& target, archive::ExtractResult& result) {
    archive::ExtractOptions options;
    options.destination = target.parent_path();
    options.password = std::string(library::kArchivePassword);
    options.mask = "*.DWG";
    options.writeAs = target.filename();
    options.question = [](const archive::ZipQuestion& question) {
        return ui::askZipQuestion(question);
    };
    try {
        lease.open(blockArchive);
        result = lease.extract(options);
        ui::pump();
        lease.close();
        ui::pump();
    } catch (const archive::ZipError& zipError) {
        lease.close();
        return QString::fromStdString(zipError.what());
    }
    return {};
}

// A file as file managers and drawing programs take it: its URL.
QMimeData* fileData(const fs::path& file) {
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString(library::pathToUtf8(file)))});
    return data;
}

}  // namespace

void TfrmVisualizar::bSalvarClick() {
    // An export pumps messages while it runs. A second click, or a preview
    // refresh, started meanwhile finds the zip reader lent and does nothing.
    std::optional<archive::ZipLease> lease = zip_.tryLease();
    if (!lease) return;
    bSalvar->setEnabled(false);
    ui::guarded([&] { exportSelectedBlock(*lease); });
    bSalvar->setEnabled(true);
}

void TfrmVisualizar::exportSelectedBlock(archive::ZipLease& lease) {
    const int selected = Lista->selectedIndex();
    if (selected < 0 || selected >= Lista->count() ||
        (cArea->currentIndex() < 0 && !showingResults_)) {
        inform(kNoSelectionMessage);
        return;
    }
    // Copied: the grid may be refilled while the dialogs pump messages.
    const library::Block block = Lista->item(selected).block;

    dSalvar->propose(block.name());
    if (dSalvar->exec() != QDialog::Accepted || dSalvar->target().empty()) return;
    const fs::path target = dSalvar->target();
    // The dialog pumped messages: the file may have changed since the user was asked.
    if (isReadOnlyFile(target)) {
        refuseReadOnly(target);
        return;
    }
    if (const std::optional<convert::ExportChoice> choice = dSalvar->choice()) {
        std::error_code error;
        if (fs::equivalent(target, block.drawing, error)) {
            reportFailure(QStringLiteral("O desenho não pode substituir o arquivo do próprio bloco."));
            return;
        }
        const ConvertedSave converted = saveConvertedBlock(block, target, *choice);
        if (!converted.written) {
            reportFailure(converted.message);
            return;
        }
        used(block);
        dSalvar->saved(target);
        inform(converted.message);
        return;
    }

    if (block.storage == library::DrawingStorage::File) {
        const QString failure = writeUserDrawing(block, target);
        if (!failure.isEmpty()) {
            reportFailure(failure);
            return;
        }
    } else {
        std::error_code error;
        if (!fs::is_regular_file(block.drawing, error)) {
            reportFailure(QStringLiteral("O arquivo do desenho deste bloco não foi encontrado:\r") +
                          ui::displayName(block.drawing));
            return;
        }
        if (fs::equivalent(target, block.drawing, error)) {
            reportFailure(QStringLiteral("O desenho não pode substituir o arquivo do próprio bloco."));
            return;
        }
        archive::ExtractResult result;
        const QString failure = extractDrawing(lease, block.drawing, target, result);
        if (!failure.isEmpty()) {
            reportFailure(QStringLiteral("Não foi possível abrir o arquivo do bloco:\r") + failure);
            return;
        }
        if (result.written.empty()) {
            waitAfterWriting();
            reportFailure(nothingWritten(result));
            return;
        }
    }
    waitAfterWriting();
    used(block);
    dSalvar->saved(target);
    inform(QStringLiteral("Procedimento concluído."));
}

QString TfrmVisualizar::writeUserDrawing(const library::Block& block, const fs::path& target) {
    std::optional<std::string> why;
    try {
        // Both the user's folder and the one chosen may be on a slow disk.
        why = ui::waitOffUiThread<std::string>(
            [block, target]() -> std::string {
                std::error_code error;
                if (fs::equivalent(target, block.drawing, error))
                    return "o desenho não pode substituir a si mesmo.";
                const std::vector<std::uint8_t> bytes = library::readBlockDrawing(block);
                const std::string_view data(reinterpret_cast<const char*>(bytes.data()),
                                            bytes.size());
                return library::writeFileReplacing(target, data)
                           ? std::string()
                           : "não foi possível gravar o arquivo na pasta escolhida.";
            },
            kUserDiskDeadlineMs);
    } catch (const library::DrawingUnavailable& error) {
        return QStringLiteral("O desenho não pôde ser lido:\r") + QString::fromStdString(error.what());
    }
    if (!why)
        return QStringLiteral("O disco do desenho não respondeu a tempo; nada foi gravado:\r") +
               ui::displayName(block.drawing);
    return why->empty() ? QString()
                        : QStringLiteral("O desenho do bloco não foi gravado: ") +
                              QString::fromStdString(*why);
}

fs::path TfrmVisualizar::runFolder() const {
    return runFolder_->path();
}

fs::path TfrmVisualizar::writeBlockForOthers(int index, QString* failure) {
    auto fail = [failure](const QString& why) {
        if (failure) *failure = why;
        return fs::path();
    };
    if (index < 0 || index >= Lista->count()) return {};
    std::optional<archive::ZipLease> lease = zip_.tryLease();
    if (!lease) return {};  // an export is running
    // Copied: the grid may be refilled while the extraction pumps messages.
    const library::Block block = Lista->item(index).block;
    std::error_code error;
    if (block.storage == library::DrawingStorage::Archive && !fs::is_regular_file(block.drawing, error))
        return fail(QStringLiteral("O arquivo do desenho deste bloco não foi encontrado:\r") +
                    ui::displayName(block.drawing));
    // A folder per category and per folder of the user's: blocks of one name
    // from two places are two files.
    const fs::path folder = runFolder_->folderFor(block.ref);
    if (folder.empty())
        return fail(QStringLiteral("Não foi possível criar a pasta temporária do programa."));
    fs::path target = folder / block.name();
    target += ".DWG";  // appended to the name as it is, whatever its dots
    // The folder is this run's own: an earlier copy of the same block is replaced.
    fs::remove(target, error);
    if (block.storage == library::DrawingStorage::File) {
        const QString unwritten = writeUserDrawing(block, target);
        if (!unwritten.isEmpty()) return fail(unwritten);
        return target;
    }
    archive::ExtractResult result;
    const QString unreadable = extractDrawing(*lease, block.drawing, target, result);
    if (!unreadable.isEmpty())
        return fail(QStringLiteral("Não foi possível abrir o arquivo do bloco:\r") + unreadable);
    if (result.written.empty()) return fail(nothingWritten(result));
    // Handed over in the release and units the last save chose.
    if (const std::optional<convert::ExportChoice> choice = dSalvar->rememberedChoice())
        return convertForOthers(target, *choice, failure);
    return target;
}

QMimeData* TfrmVisualizar::blockMimeData(int index) {
    const fs::path file = writeBlockForOthers(index);
    if (file.empty()) return nullptr;
    used(itemBlock(index));
    return fileData(file);
}

void TfrmVisualizar::copyBlock(int index) {
    QString failure;
    const fs::path file = writeBlockForOthers(index, &failure);
    if (file.empty()) {
        if (!failure.isEmpty()) reportFailure(failure);
        return;
    }
    used(itemBlock(index));
    QGuiApplication::clipboard()->setMimeData(fileData(file));
}

}  // namespace browser
