// "Salvar bloco selecionado": the selected block's archive is copied next to
// the chosen file name, its drawing extracted there and the copy removed.
#include <QComboBox>
#include <QFileDialog>
#include <QPushButton>
#include <system_error>

#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/Pump.h"
#include "ui/ZipQuestionBox.h"

namespace fs = std::filesystem;

namespace browser {

namespace {

const QString kNoSelectionMessage = QStringLiteral(
    "\rPara salvar o bloco, selecione a biblioteca na caixa de opção no canto superior esquerdo\r"
    "e clique sobre o bloco desejado na lista de imagens.\r");

QString displayPath(const fs::path& path) {
    return QString::fromStdString(library::pathToUtf8(path));
}
fs::path pathOf(const QString& text) {
    return library::pathFromUtf8(text.toStdString());
}

void inform(const QString& text) {
    ui::LocalisedMessageDlg(text, ui::MessageKind::Information, ui::MessageButton::OK, 0);
}

void reportFailure(const QString& text) {
    ui::LocalisedMessageDlg(QLatin1Char('\r') + text + QLatin1Char('\r'), ui::MessageKind::Error,
                            ui::MessageButton::OK, 0);
}

// Removes a file that may carry the read-only attribute.
void removeFile(const fs::path& file) {
    std::error_code error;
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, error);
    fs::remove(file, error);
}

archive::ZipAnswer askUser(const archive::ZipQuestion& question) {
    switch (ui::askZipQuestion(QString::fromStdString(question.text), question.retryOffered)) {
        case ui::ZipQuestionAnswer::Retry:
            return archive::ZipAnswer::Retry;
        case ui::ZipQuestionAnswer::Ignore:
            return archive::ZipAnswer::Ignore;
        case ui::ZipQuestionAnswer::Abort:
            break;
    }
    return archive::ZipAnswer::Abort;
}

}  // namespace

void TfrmVisualizar::bSalvarClick() {
    // An export pumps messages while it runs; a second click, or a preview
    // refresh, must not reach the zip reader or the temporary copy meanwhile.
    if (zipInUse_) return;
    zipInUse_ = true;
    bSalvar->setEnabled(false);
    ui::guarded([this] { exportSelectedBlock(); });
    zipInUse_ = false;
    bSalvar->setEnabled(true);
}

void TfrmVisualizar::exportSelectedBlock() {
    const int selected = Lista->selectedIndex();
    if (selected < 0 || selected >= Lista->count() || cArea->currentIndex() < 0) {
        inform(kNoSelectionMessage);
        return;
    }
    const QString thumbnail = Lista->item(selected).FileName;
    const QString blockName =
        QString::fromStdString(library::blockNameFromThumbnail(thumbnail.toStdString()));

    dSalvar->selectFile(blockName);
    if (dSalvar->exec() != QDialog::Accepted || dSalvar->selectedFiles().isEmpty()) return;
    const fs::path chosen = pathOf(dSalvar->selectedFiles().constFirst());
    fs::path temporaryCopy = chosen;
    temporaryCopy.replace_extension(".DWG.zip");
    const fs::path targetFolder = temporaryCopy.parent_path();

    const fs::path blockArchive =
        library::drawingArchivePath(state_.CurrentCategoryFolder, thumbnail.toStdString());
    std::error_code error;
    if (!fs::is_regular_file(blockArchive, error)) {
        reportFailure(QStringLiteral("O arquivo do desenho deste bloco não foi encontrado:\r") +
                      displayPath(blockArchive));
        return;
    }
    // Saving into the library's own folder under the block's name would make
    // the copy the archive itself, and deleting the copy would lose the block.
    const bool copyIsTheArchive = fs::equivalent(blockArchive, temporaryCopy, error);
    const fs::path source = copyIsTheArchive ? blockArchive : temporaryCopy;
    if (!copyIsTheArchive) {
        if (fs::exists(temporaryCopy, error)) removeFile(temporaryCopy);
        if (!fs::copy_file(blockArchive, temporaryCopy, fs::copy_options::overwrite_existing,
                           error)) {
            removeFile(temporaryCopy);
            reportFailure(
                QStringLiteral("Não foi possível copiar o bloco para a pasta escolhida:\r") +
                displayPath(targetFolder) + QStringLiteral("\r") +
                QString::fromStdString(error.message()));
            return;
        }
    }
    ui::pump();

    ui::pump();
    for (int waits = 0; !fs::exists(source, error) && waits < 21; ++waits) {
        ui::sleepMs(250);
        ui::pump();
        ui::pump();
    }
    if (!fs::exists(source, error)) {
        reportFailure(QStringLiteral("Não foi possível copiar o bloco para a pasta escolhida:\r") +
                      displayPath(targetFolder));
        return;
    }

    archive::ExtractResult result;
    QString failure;
    try {
        zip_.setFileName(source);
        zip_.open();
        zip_.setPassword(std::string(library::kArchivePassword));
        zip_.setDestination(targetFolder);
        zip_.setPathMode(archive::PathMode::Flat);
        zip_.setQuestionHandler(askUser);
        result = zip_.extract("*.*");
        ui::pump();
        zip_.close();
        ui::pump();
    } catch (const std::exception& extractionError) {
        zip_.close();
        failure = QString::fromStdString(extractionError.what());
    }

    if (failure.isEmpty()) {
        for (int step = 0; step < 10; ++step) {
            ui::sleepMs(100);
            ui::pump();
        }
    }
    if (!copyIsTheArchive) removeFile(temporaryCopy);

    if (!failure.isEmpty()) {
        reportFailure(QStringLiteral("Não foi possível abrir o arquivo do bloco:\r") + failure);
    } else if (result.written.empty()) {
        reportFailure(
            QStringLiteral("O desenho do bloco não foi gravado: o arquivo do bloco está "
                           "danificado ou a extração foi interrompida."));
    } else {
        inform(QStringLiteral("Procedimento concluído."));
    }
}

}  // namespace browser
