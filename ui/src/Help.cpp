#include "ui/Help.h"

#include <QDialog>
#include <QLabel>
#include <QUrl>

#include "ui/Desktop.h"
#include "ui/Links.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/Publisher.h"
#include "ui/Pump.h"
#include "ui/Windows.h"

namespace ui {
namespace {

QUrl fileUrl(const std::filesystem::path& file) {
    return QUrl::fromLocalFile(QString::fromStdString(library::pathToUtf8(file)));
}

}  // namespace

void connectAboutAndHelp(QLabel* lSobre, QLabel* lAjuda) {
    makeUnderlinedLink(lSobre, [] { guarded(lSobreClick); });
    makeUnderlinedLink(lAjuda, [] {
        if (MainWindowAccess* main = windows().main)
            guarded([main] { lAjudaClick(main->layout()); });
    });
}

void lSobreClick() {
    if (auto* about = qobject_cast<QDialog*>(windows().about)) about->exec();
}

void lAjudaClick(const library::Layout& layout) {
    namespace fs = std::filesystem;
    const fs::path compiled = layout.helpFile();
    const fs::path pages = helpIndex(layout);
    const bool hasCompiled = fs::is_regular_file(compiled);
    if (hasCompiled && openUrl(fileUrl(compiled))) return;
    if (fs::is_regular_file(pages)) {
        openUrl(fileUrl(pages));
        return;
    }
    // A help file that no viewer opens is not the user's to fix: no message.
    if (hasCompiled) return;
    LocalisedMessageDlg(supportMessage(), MessageKind::Information, MessageButton::OK, 0);
}

std::filesystem::path helpIndex(const library::Layout& layout) {
    return layout.programFolder() / "Ajuda" / "index.html";
}

QString supportMessage() {
    return QStringLiteral("Para suporte técnico, gentileza entrar em contato com \"%1\".")
        .arg(QLatin1String(publisher::kSupport));
}

}  // namespace ui
