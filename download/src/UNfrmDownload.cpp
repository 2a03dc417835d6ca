#include "download/UNfrmDownload.h"

#include <platform/Files.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringDecoder>
#include <algorithm>
#include <climits>
#include <optional>
#include <stdexcept>

#include "download/PackageIndex.h"
#include "download/PackageInstall.h"
#include "library/RunJournal.h"
#include "net/Resume.h"
#include "ui/ButtonImages.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/Pump.h"
#include "ui/Skin.h"
#include "ui/Translations.h"
#include "ui/ZipQuestionBox.h"

namespace download {

namespace fs = std::filesystem;

namespace {

void setDarkText(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, QColor(53, 64, 51));
    widget->setPalette(palette);
}

// What the application shows for a failure no handler catches: a plain
// error box titled with the application's title.
void showUncaughtError(QWidget* parent, const std::exception& error) {
    QMessageBox::critical(parent, QApplication::applicationDisplayName(),
                          QString::fromStdString(error.what()));
}

QString displayName(int index) {
    return QString::fromUtf8(library::categoryTable().at(static_cast<size_t>(index)).name);
}

void showMessage(const QString& text, ui::MessageKind kind) {
    ui::LocalisedMessageDlg(QLatin1Char('\r') + text + QLatin1Char('\r'), kind,
                            ui::MessageButton::OK, 0);
}

QString detailOf(const std::string& detail) {
    return detail.empty() ? QString() : QStringLiteral(" (%1)").arg(QString::fromStdString(detail));
}

QString downloadFailure(const net::DownloadResult& result) {
    switch (result.status) {
        case net::DownloadStatus::Done:
            return {};
        case net::DownloadStatus::Cancelled:
            return QStringLiteral("download cancelado");
        case net::DownloadStatus::NotFound:
            return QStringLiteral("o pacote não foi encontrado no servidor");
        case net::DownloadStatus::NoConnection:
            return QStringLiteral("sem conexão com o servidor de pacotes") +
                   detailOf(result.detail);
        case net::DownloadStatus::ServerError:
            return result.httpStatus >= 400
                       ? QStringLiteral("o servidor de pacotes respondeu com o erro %1")
                             .arg(result.httpStatus)
                       : QStringLiteral("resposta inválida do servidor de pacotes") +
                             detailOf(result.detail);
        case net::DownloadStatus::Incomplete:
            return QStringLiteral("o download foi interrompido antes do fim");
        case net::DownloadStatus::TooSlow:
            return QStringLiteral("a conexão ficou lenta demais (menos de 1 KB/s durante 30 s)");
        case net::DownloadStatus::TooLarge:
            return QStringLiteral("o servidor enviou um pacote muito maior do que o esperado");
        case net::DownloadStatus::BadAddress:
            return QStringLiteral("o endereço do servidor de pacotes não é válido");
        case net::DownloadStatus::WriteError:
            return QStringLiteral("não foi possível gravar o pacote na pasta Blocos") +
                   detailOf(result.detail);
    }
    return {};
}

QString installFailure(const InstallResult& result) {
    switch (result.outcome) {
        case InstallOutcome::Installed:
            return {};
        case InstallOutcome::Busy:
            return QStringLiteral("o leitor de arquivos zip está ocupado com outra tarefa");
        case InstallOutcome::Cancelled:
            return QStringLiteral("instalação cancelada");
        case InstallOutcome::Unreadable:
            return QStringLiteral("o arquivo do pacote está danificado ou incompleto");
        case InstallOutcome::Damaged:
            return QStringLiteral("o pacote está danificado") + detailOf(result.detail);
        case InstallOutcome::Refused:
            return QStringLiteral("o pacote contém um arquivo fora da sua pasta, um link ou um "
                                  "nome que o Windows não aceita") +
                   detailOf(result.detail);
        case InstallOutcome::Empty:
            return QStringLiteral("o pacote não contém nenhum bloco (IMG\\*.PNG com o seu "
                                  "DWG\\*.DWG.zip)");
        case InstallOutcome::BringsRecord:
            return QStringLiteral("o pacote traz um arquivo no lugar do registro de versão, que só "
                                  "o programa grava") +
                   detailOf(result.detail);
        case InstallOutcome::NotReplaced:
            return QStringLiteral("não foi possível substituir a biblioteca instalada") +
                   detailOf(result.detail);
    }
    return {};
}

// "Procedimento concluído." when every ticked package was installed;
// otherwise which ones failed and why.
void reportRun(const library::PackageSelection& selection,
               const std::array<QString, library::kCategoryCount>& failures, bool cancelled) {
    QStringList failed;
    QStringList installed;
    for (int n = 0; n < library::kCategoryCount; ++n) {
        if (!selection[static_cast<size_t>(n)]) continue;
        const QString& failure = failures[static_cast<size_t>(n)];
        if (failure.isEmpty())
            installed << displayName(n);
        else
            failed << displayName(n) + QStringLiteral(": ") + failure + QLatin1Char('.');
    }
    if (failed.isEmpty()) {
        showMessage(QStringLiteral("Procedimento concluído."), ui::MessageKind::Information);
        return;
    }
    QString text = QStringLiteral("Não foi possível instalar:\r") + failed.join(QLatin1Char('\r'));
    if (!installed.isEmpty())
        text += QStringLiteral("\r\rInstalados: ") + installed.join(QStringLiteral(", ")) +
                QLatin1Char('.');
    text += QStringLiteral("\r\rAs bibliotecas que já estavam instaladas foram mantidas.");
    showMessage(text, cancelled ? ui::MessageKind::Warning : ui::MessageKind::Error);
}

const QString kNewerPackage = QStringLiteral("Nova versão disponível.");

QString refusedRun(const ServerIndex& fetched) {
    const QString why = QString::fromStdString(fetched.detail);
    const QString kept =
        QStringLiteral("\rNenhum pacote foi baixado; as bibliotecas instaladas foram mantidas.");
    if (fetched.state == IndexState::Unreachable)
        return QStringLiteral("Não foi possível obter a lista de pacotes do servidor (%1).")
                   .arg(why) +
               kept;
    return why + kept;
}

// A package never takes its category back to an older version; the same
// version may be installed again.
std::optional<QString> olderThanInstalled(const library::Layout& layout, int index,
                                          const signing::IndexLine& line) {
    const std::optional<signing::IndexLine> installed =
        installedPackage(layout.categoryFolder(index));
    if (!installed || installed->version <= line.version) return std::nullopt;
    return QStringLiteral(
               "o servidor oferece a versão %1 do pacote, mais antiga que a versão %2 "
               "instalada")
        .arg(line.version)
        .arg(installed->version);
}

// The shortage of free space where the library lies; none when the space
// cannot be read (the run then meets the system's own error).
std::optional<QString> freeSpaceShortage(const library::PackageSelection& selection,
                                         const library::Layout& layout) {
    std::error_code error;
    fs::path existing = layout.libraryRoot();
    while (!fs::exists(existing, error) && existing.has_relative_path())
        existing = existing.parent_path();
    const fs::space_info space = fs::space(existing, error);
    if (error) return std::nullopt;
    return spaceShortage(selection, space.available, layout);
}

QString megabytes(std::uint64_t bytes) {
    return QString::number((bytes + archive::kMiB - 1) / archive::kMiB);
}

}  // namespace

net::DownloadLimits packageLimits(int index) {
    net::DownloadLimits limits;
    const auto listed = static_cast<std::uint64_t>(
        library::categoryTable().at(static_cast<size_t>(index)).packageSizeMb);
    limits.maxBytes = std::min(limits.maxBytes, 4 * listed * archive::kMiB);
    return limits;
}

std::uint64_t spaceNeeded(const library::PackageSelection& selection,
                          const library::Layout& layout) {
    std::uint64_t needed = 0;
    std::error_code error;
    for (int n = 0; n < library::kCategoryCount; ++n) {
        if (!selection[static_cast<size_t>(n)]) continue;
        const auto listed = static_cast<std::uint64_t>(
            library::categoryTable()[static_cast<size_t>(n)].packageSizeMb);
        // The archive, and its content staged beside the installed category.
        needed += 2 * listed * archive::kMiB;
        // A stale archive of the package is deleted before the download.
        const std::uintmax_t stale = fs::file_size(layout.packageFile(n), error);
        if (!error) needed -= std::min<std::uint64_t>(needed, stale);
    }
    return needed;
}

std::optional<QString> spaceShortage(const library::PackageSelection& selection,
                                     std::uint64_t available, const library::Layout& layout) {
    const std::uint64_t needed = spaceNeeded(selection, layout);
    if (needed <= available) return std::nullopt;
    return QStringLiteral("Não há espaço livre suficiente para instalar os pacotes escolhidos: "
                          "são necessários %1 MB na pasta Blocos e há %2 MB livres.\r"
                          "Nada foi removido nem baixado.")
        .arg(megabytes(needed), megabytes(available));
}

std::string builtInPackageServer() {
    return TESSALY_PACKAGE_SERVER;
}

QString readDescription(const fs::path& file) {
    QFile input(QString::fromStdU16String(file.u16string()));
    if (!input.open(QIODevice::ReadOnly))
        throw std::runtime_error("Não foi possível abrir o arquivo " + library::pathToUtf8(file) +
                                 ": " + input.errorString().toStdString());
    QByteArray bytes = input.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        QStringDecoder windows1252("windows-1252");
        text = windows1252.isValid() ? windows1252(bytes) : QString::fromLatin1(bytes);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

TfrmDownload::TfrmDownload(QWidget* parent)
    : TfrmDownload(builtInPackageServer(), builtInPublisherKey(), parent) {}

TfrmDownload::TfrmDownload(std::string packageServer,
                           std::optional<signing::PublicKey> publisherKey, QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      packageServer_(std::move(packageServer)),
      publisherKey_(publisherKey) {
    setObjectName(QStringLiteral("frmDownload"));
    setWindowTitle(QStringLiteral("Download de biblioteca"));
    setFont(ui::programFont());
    setFixedSize(400, 438);
    setModal(true);

    sGroupBox1 = new QGroupBox(QStringLiteral(" Bibliotecas "), this);
    sGroupBox1->setObjectName(QStringLiteral("sGroupBox1"));
    sGroupBox1->setGeometry(8, 8, 385, 305);
    sGroupBox1->setMouseTracking(true);
    sGroupBox1->installEventFilter(this);
    for (int n = 0; n < library::kCategoryCount; ++n) {
        auto* box =
            new QCheckBox(QString::fromStdString(library::packageCheckBoxText(n)), sGroupBox1);
        box->setObjectName(QStringLiteral("c%1").arg(n));
        box->setGeometry(n < 7 ? 8 : 192, 24 + 24 * (n % 7), 180, 19);
        box->setMouseTracking(true);
        box->installEventFilter(this);
        connect(box, &QCheckBox::clicked, this, [this, n] {
            try {
                packageClicked(n);
            } catch (const std::exception& error) {
                showUncaughtError(this, error);
            }
        });
        boxes[static_cast<size_t>(n)] = box;
    }
    gSobre = new QLabel(QStringLiteral("Conteúdo:"), sGroupBox1);
    gSobre->setObjectName(QStringLiteral("gSobre"));
    gSobre->move(8, 208);
    gSobre->setMinimumWidth(360);
    setDarkText(gSobre);
    memo = new QPlainTextEdit(sGroupBox1);
    memo->setObjectName(QStringLiteral("memo"));
    memo->setGeometry(8, 224, 369, 76);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* sGroupBox3 = new QGroupBox(QStringLiteral(" Progresso "), this);
    sGroupBox3->setObjectName(QStringLiteral("sGroupBox3"));
    sGroupBox3->setGeometry(8, 327, 385, 58);
    lProgresso = new QLabel(QStringLiteral("Pacote atual: --"), sGroupBox3);
    lProgresso->setObjectName(QStringLiteral("lProgresso"));
    lProgresso->setGeometry(8, 16, 369, 15);
    setDarkText(lProgresso);
    Gauge = new QProgressBar(sGroupBox3);
    Gauge->setObjectName(QStringLiteral("Gauge"));
    Gauge->setGeometry(8, 32, 369, 20);
    Gauge->setRange(0, 100);
    Gauge->setValue(0);

    bCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    bCancelar->setObjectName(QStringLiteral("bCancelar"));
    bCancelar->setGeometry(192, 390, 97, 25);
    bCancelar->setEnabled(false);
    bCancelar->setAutoDefault(false);
    connect(bCancelar, &QPushButton::clicked, this, &TfrmDownload::bCancelarClick);
    bDownload = new QPushButton(QStringLiteral("Download"), this);
    bDownload->setObjectName(QStringLiteral("bDownload"));
    bDownload->setGeometry(296, 390, 97, 25);
    bDownload->setDefault(true);
    connect(bDownload, &QPushButton::clicked, this, &TfrmDownload::bDownloadClick);
    sLabel1 = new QLabel(
        QStringLiteral("Atenção: é necessário que o software tenha acesso à internet."), this);
    sLabel1->setObjectName(QStringLiteral("sLabel1"));
    sLabel1->move(52, 419);
    setDarkText(sLabel1);
    bDownload->setIcon(ui::buttonImage(ui::ButtonImage::Download));
    bCancelar->setIcon(ui::buttonImage(ui::ButtonImage::Cancel));
    ui::applySkin(this);
}

void TfrmDownload::packageClicked(int index) {
    CurrentPackage = index;
    ui::MainWindowAccess* main = ui::windows().main;
    if (main) {
        main->shared().PackageSelection[static_cast<size_t>(index)] =
            boxes[static_cast<size_t>(index)]->isChecked();
        memo->setPlainText(descriptionOf(index, *main));
    }
}

QString TfrmDownload::descriptionOf(int index, ui::MainWindowAccess& main) const {
    const QString description = readDescription(main.layout().descriptionFile(index));
    return hasNewerPackage(index) ? kNewerPackage + QLatin1Char('\n') + description : description;
}

void TfrmDownload::findNewerPackages() {
    list_.reset();
    ui::MainWindowAccess* main = ui::windows().main;
    if (publisherKey_ && main) {
        ServerIndex fetched =
            fetchServerIndex(packageServer_, *publisherKey_, main->layout(), ui::pump);
        if (fetched.state == IndexState::Verified) {
            list_ = std::move(fetched.index);
            publication_ = std::move(fetched.publication);
        }
    }
    showNews();
}

void TfrmDownload::showNews() {
    newer_ = {};
    ui::MainWindowAccess* main = ui::windows().main;
    if (list_ && main)
        for (int n = 0; n < library::kCategoryCount; ++n)
            newer_[static_cast<size_t>(n)] =
                download::hasNewerPackage(main->layout().categoryFolder(n), list_->find(n));
    for (int n = 0; n < library::kCategoryCount; ++n)
        boxes[static_cast<size_t>(n)]->setToolTip(newer_[static_cast<size_t>(n)] ? kNewerPackage
                                                                                 : QString());
    // The opener showed a description before the news was known.
    if (main && CurrentPackage >= 0 && hasNewerPackage(CurrentPackage))
        ui::guarded([&] { memo->setPlainText(descriptionOf(CurrentPackage, *main)); });
}

std::optional<QString> TfrmDownload::takeListForRun(const library::Layout& layout) {
    ServerIndex judged = list_ ? judgeAgain(publication_, layout, *publisherKey_)
                               : fetchServerIndex(packageServer_, *publisherKey_, layout, ui::pump);
    if (judged.state != IndexState::Verified) {
        list_.reset();
        return refusedRun(judged);
    }
    if (!list_) {
        list_ = std::move(judged.index);
        publication_ = std::move(judged.publication);
        showNews();
    }
    return std::nullopt;
}

void TfrmDownload::packageHovered(int index) {
    if (CurrentPackage != -1) return;
    CurrentPackage = index;
    if (ui::MainWindowAccess* main = ui::windows().main)
        memo->setPlainText(descriptionOf(index, *main));
    gSobre->setText(QStringLiteral(" Conteúdo - ") + boxes[static_cast<size_t>(index)]->text() +
                    QLatin1Char(' '));
    ui::pump();
}

void TfrmDownload::setPackageChecked(int index, bool checked) {
    QCheckBox* box = boxes.at(static_cast<size_t>(index));
    if (box->isChecked() == checked) return;
    box->setChecked(checked);
    try {
        packageClicked(index);
    } catch (const std::exception& error) {
        // Shown, and the opener's step ends: the window does not open.
        showUncaughtError(this, error);
        throw;
    }
}

void TfrmDownload::showModally() {
    closing_ = false;
    findNewerPackages();
    exec();
}

bool TfrmDownload::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        // A move over a box that the box leaves unhandled reaches the group
        // box too; only the group box's own surface counts.
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (watched == sGroupBox1) {
            if (!qobject_cast<QCheckBox*>(sGroupBox1->childAt(at))) CurrentPackage = -1;
        } else {
            for (int n = 0; n < library::kCategoryCount; ++n) {
                if (watched != boxes[static_cast<size_t>(n)]) continue;
                try {
                    packageHovered(n);
                } catch (const std::exception& error) {
                    showUncaughtError(this, error);
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmDownload::FormClose() {
    if (closing_) return;
    closing_ = true;
    if (ui::MainWindowAccess* main = ui::windows().main)
        ui::guarded([main] { main->RefreshCategories(); });
}

// Closing while a run works asks it to stop; the run closes the window when it ends.
void TfrmDownload::closeEvent(QCloseEvent* event) {
    if (running_) {
        CancelRequested = true;
        event->ignore();
        return;
    }
    FormClose();
    QDialog::closeEvent(event);
}

void TfrmDownload::done(int result) {
    if (running_) {
        CancelRequested = true;
        return;
    }
    FormClose();
    QDialog::done(result);
}

void TfrmDownload::setRunControls(bool running) {
    // The selection is fixed for the length of a run, and one run at a time.
    bDownload->setEnabled(!running);
    for (QCheckBox* box : boxes) box->setEnabled(!running);
    bCancelar->setEnabled(running);
}

void TfrmDownload::bDownloadClick() {
    if (running_) return;
    ui::MainWindowAccess* main = ui::windows().main;
    if (!main) return;
    const library::PackageSelection selection = main->shared().PackageSelection;
    // A shortage is said before anything is removed or fetched; the window stays open.
    if (const std::optional<QString> shortage = freeSpaceShortage(selection, main->layout())) {
        showMessage(*shortage, ui::MessageKind::Error);
        return;
    }
    running_ = true;
    setRunControls(true);
    const bool finished = ui::guarded([&] {
        CancelRequested = false;
        ui::pump();
        const bool anyTicked =
            std::find(selection.begin(), selection.end(), true) != selection.end();
        const bool signedRun = publisherKey_ && anyTicked;
        if (signedRun) {
            if (const std::optional<QString> refused = takeListForRun(main->layout())) {
                showMessage(*refused, ui::MessageKind::Error);
                return;
            }
        }
        const auto failures = runPackages(selection, *main, signedRun ? &*list_ : nullptr);
        reportRun(selection, failures, CancelRequested);
    });
    running_ = false;
    setRunControls(false);
    if (finished) {
        done(QDialog::Rejected);
        main->dropDownCategoryList();
    }
    ui::pump();
}

std::array<QString, library::kCategoryCount> TfrmDownload::runPackages(
    const library::PackageSelection& selection, ui::MainWindowAccess& main,
    const signing::PackageIndex* index) {
    const library::Layout& layout = main.layout();
    std::array<QString, library::kCategoryCount> failures;
    std::array<fs::path, library::kCategoryCount> archives;
    const library::RunJournal journal(layout);
    std::error_code error;
    fs::create_directories(layout.libraryRoot(), error);  // a failure shows in each download
    std::array<const signing::IndexLine*, library::kCategoryCount> lines{};
    for (int n = 0; n < library::kCategoryCount; ++n) {
        const auto slot = static_cast<size_t>(n);
        if (!selection[slot]) continue;
        lProgresso->setText(QStringLiteral("Baixando pacote: ") + displayName(n));
        if (index) {
            lines[slot] = index->find(n);
            if (!lines[slot]) {
                failures[slot] = QStringLiteral("o pacote não consta da lista assinada do servidor");
                continue;
            }
            if (const std::optional<QString> older = olderThanInstalled(layout, n, *lines[slot])) {
                failures[slot] = *older;
                continue;
            }
        }
        removeLeftovers(layout, n);
        archives[slot] = layout.packageFile(n);
        if (fs::exists(fs::symlink_status(archives[slot], error))) {
            platform::removeFile(archives[slot], error);
            WaitPumping(3000);
        }
        failures[slot] =
            journal.willCreate(archives[slot])
                ? DownloadFile(packageServer_ + "blocos/" + library::packageName(n),
                               archives[slot], n, lines[slot] ? lines[slot]->size : 0)
                : QStringLiteral("não foi possível gravar na pasta Blocos");
    }
    setGauge(static_cast<std::uint64_t>(std::max(Gauge->value(), 0)), 100);
    for (int n = 0; n < library::kCategoryCount; ++n) {
        const auto slot = static_cast<size_t>(n);
        if (!selection[slot]) continue;
        lProgresso->setText(QStringLiteral("Instalando pacote: ") + displayName(n));
        ui::pump();
        if (failures[slot].isEmpty() && lines[slot])
            failures[slot] = checkDownloaded(archives[slot], *lines[slot]);
        if (failures[slot].isEmpty())
            failures[slot] = ExtractPackage(archives[slot], main, n, lines[slot]);
        WaitPumping(2000);
        lProgresso->setText(QStringLiteral("Removendo arquivos temporários [") + displayName(n) +
                            QLatin1Char(']'));
        ui::pump();
        platform::removeFile(archives[slot], error);
        if (!error) journal.settled(archives[slot]);
        ui::pump();
    }
    return failures;
}

QString TfrmDownload::DownloadFile(const std::string& url, const fs::path& target, int index,
                                  std::uint64_t expectedSize) {
    // A signed length is the bound itself; without one, the category's own.
    net::DownloadLimits limits = packageLimits(index);
    if (expectedSize > 0) limits.maxBytes = expectedSize;
    try {
        return downloadFailure(net::downloadResuming(
            url, target,
            [this](std::uint64_t progress, std::uint64_t progressMax, bool& cancel) {
                DownloadProgress(progress, progressMax, cancel);
            },
            expectedSize, limits));
    } catch (const std::exception& error) {
        return QStringLiteral("erro inesperado no download") + detailOf(error.what());
    }
}

void TfrmDownload::DownloadProgress(std::uint64_t progress, std::uint64_t progressMax,
                                    bool& cancel) {
    try {
        ui::pump();
        if (CancelRequested) {
            cancel = true;
            showMessage(QStringLiteral("Download cancelado."), ui::MessageKind::Warning);
        }
        setGauge(progress, progressMax);
    } catch (...) {
        // A progress report never ends the transfer by accident.
    }
}

QString TfrmDownload::checkDownloaded(const fs::path& archiveFile,
                                      const signing::IndexLine& line) {
    try {
        const PackageCheck check =
            checkPackage(archiveFile, line, [this, &line](std::uint64_t hashed, bool& stop) {
                setGauge(hashed, line.size);
                ui::pump();
                if (CancelRequested) {
                    stop = true;
                    showMessage(QStringLiteral("Instalação cancelada."), ui::MessageKind::Warning);
                }
            });
        setGauge(100, 100);  // extraction shows each entry's percentage
        switch (check) {
            case PackageCheck::Matches:
                return {};
            case PackageCheck::Stopped:
                return QStringLiteral("instalação cancelada");
            case PackageCheck::WrongSize:
                return QStringLiteral("o tamanho do pacote recebido não confere com a lista "
                                      "assinada do servidor");
            case PackageCheck::WrongDigest:
                return QStringLiteral("o conteúdo do pacote recebido não confere com a lista "
                                      "assinada do servidor");
        }
    } catch (const std::exception& error) {
        return QStringLiteral("não foi possível ler o pacote recebido") + detailOf(error.what());
    }
    return {};
}

QString TfrmDownload::ExtractPackage(const fs::path& archiveFile, ui::MainWindowAccess& main,
                                     int index, const signing::IndexLine* signedLine) {
    try {
        return installFailure(installPackage(
            main.zip(), archiveFile, main.layout(), index, signedLine,
            [this](const archive::ZipProgress& progress, bool& cancel) {
                zipFileProgress(progress, cancel);
            },
            [](const archive::ZipQuestion& question) { return ui::askZipQuestion(question); }));
    } catch (const std::exception& error) {
        return QStringLiteral("não foi possível gravar na pasta Blocos") + detailOf(error.what());
    }
}

void TfrmDownload::zipFileProgress(const archive::ZipProgress& progress, bool& cancel) {
    try {
        QString name = QString::fromStdString(progress.memberName);
        name.replace(QLatin1Char('/'), QLatin1Char('\\'));
        lProgresso->setText(QStringLiteral("Instalando [") + name + QLatin1Char(']'));
        if (CancelRequested) {
            cancel = true;
            showMessage(QStringLiteral("Instalação cancelada."), ui::MessageKind::Warning);
        }
        Gauge->setValue(static_cast<int>(progress.percent));
        ui::pump();
    } catch (...) {
        // As above.
    }
}

void TfrmDownload::bCancelarClick() {
    CancelRequested = true;
    ui::pump();
}

void TfrmDownload::WaitPumping(int milliseconds) {
    for (int round = 0; round < milliseconds / 100; ++round) {
        ui::sleepMs(100);
        ui::pump();
    }
}

// The gauge counts in int; totals beyond its range are shown in coarser units.
// A total not yet known leaves the gauge at zero.
void TfrmDownload::setGauge(std::uint64_t progress, std::uint64_t maximum) {
    if (maximum == 0) {
        Gauge->setRange(0, 100);
        Gauge->setValue(0);
        return;
    }
    while (maximum > static_cast<std::uint64_t>(INT_MAX)) {
        maximum >>= 10;
        progress >>= 10;
    }
    Gauge->setRange(0, static_cast<int>(maximum));
    Gauge->setValue(static_cast<int>(std::min(progress, maximum)));
}

}  // namespace download
