// Program entry: the application title, the four windows created once in
// their fixed order, and the message loop until the main window closes.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

#include <platform/Files.h>
#include <platform/InstanceLock.h>
#include <platform/Steps.h>

#include "browser/UNfrmVisualizar.h"
#include "download/PackageInstall.h"
#include "download/UNfrmDownload.h"
#include "preview/UNfrmPreview.h"
#include "ui/Skin.h"
#include "ui/DisplayName.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/Pump.h"
#include "ui/Translations.h"
#include "ui/UNfrmSobre.h"
#include "ui/Windows.h"

namespace {

// A program folder keeps everything beside the executable. Installed by a
// system package, where the program cannot write, what it writes (the
// library, its lists, its lock) lies in the user's own data folder,
// ~/.local/share/Tessaly, and what it only reads stays in the package's.
library::Layout installedLayout() {
    const QString userFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/Tessaly");
    library::Layout layout = library::installationLayout(
        library::pathFromUtf8(QApplication::applicationDirPath().toStdString()),
        library::pathFromUtf8(userFolder.toStdString()));
    if (layout.programFolder() != layout.shippedFolder()) QDir().mkpath(userFolder);
    return layout;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    ui::installPortugueseTranslations(application);
    ui::setUpLookAndFeel(application);

    const library::Layout layout = installedLayout();
    // Installed where the user may not write (under Program Files by hand),
    // every download, preview and export would fail later without a word.
    if (!layout.canWriteFolders()) {
        const QString text =
            QStringLiteral("O Tessaly não pode gravar na pasta em que foi instalado:\r%1\r\r"
                           "Instale-o com o instalador do Tessaly, que o coloca em\r%2\r"
                           "ou copie a pasta do programa para uma pasta em que você possa "
                           "gravar.")
                .arg(ui::displayName(layout.programFolder()),
                     ui::displayName(platform::personalInstallFolder()));
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        ui::LocalisedMessageDlg(QLatin1Char('\r') + text + QLatin1Char('\r'),
                                ui::MessageKind::Error, ui::MessageButton::OK, 0);
        return 1;
    }
    // A file another program holds (a virus scanner, an Explorer window) is
    // waited for with the windows alive; a worker thread (thumbnails, the
    // index, a user's folder read) just waits.
    platform::setRetryWait([](int milliseconds) {
        ui::sleepMs(milliseconds);
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) ui::pump();
    });
    // One program folder, one running program: no instance cleans up or swaps
    // another's work. The lock of a process that died is the system's to drop.
    std::error_code lockError;
    const platform::InstanceLock instance =
        platform::InstanceLock::take(layout.programFolder() / "tessaly.lock", lockError);
    if (!instance.held()) {
        const QString text =
            lockError ? QStringLiteral("Não foi possível abrir o arquivo tessaly.lock na pasta do "
                                       "programa (%1).")
                            .arg(QString::fromStdString(lockError.message()))
                      : QStringLiteral("O Tessaly já está aberto nesta pasta. Use a janela aberta "
                                       "ou feche-a antes de abrir o programa de novo.");
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        ui::LocalisedMessageDlg(QLatin1Char('\r') + text + QLatin1Char('\r'),
                                ui::MessageKind::Warning, ui::MessageButton::OK, 0);
        return 1;
    }
    download::recoverInterruptedRuns(layout);
    ui::Windows& windows = ui::windows();
    // The main window's creation runs before any other window exists.
    browser::TfrmVisualizar frmVisualizar(layout);
    windows.main = &frmVisualizar;
    ui::TfrmSobre frmSobre;
    windows.about = &frmSobre;
    download::TfrmDownload frmDownload;
    windows.download = &frmDownload;
    preview::TfrmPreview frmPreview;
    windows.preview = &frmPreview;

    frmVisualizar.show();
    const int exitCode = application.exec();
    windows = {};
    return exitCode;
}
