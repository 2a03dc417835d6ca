// Program entry: the application title, the four windows created once in
// their fixed order, and the message loop until the main window closes.
#include <QApplication>

#include "browser/UNfrmVisualizar.h"
#include "download/UNfrmDownload.h"
#include "preview/UNfrmPreview.h"
#include "ui/Skin.h"
#include "ui/Translations.h"
#include "ui/UNfrmSobre.h"
#include "ui/Windows.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    ui::installPortugueseTranslations(application);
    ui::setUpLookAndFeel(application);

    const library::Layout layout(
        library::pathFromUtf8(QApplication::applicationDirPath().toStdString()));
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
