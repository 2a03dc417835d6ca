#include "ui/Help.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

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

QPointer<QTextBrowser>& helpBrowser() {
    static QPointer<QTextBrowser> browser;
    return browser;
}

// The pages in a window of the program's own, for a machine with no browser.
// Pictures and links between the pages resolve against the page shown; links
// out of the help (site, mail) still go to the desktop.
void showOwnHelp(const std::filesystem::path& index) {
    QPointer<QTextBrowser>& browser = helpBrowser();
    if (!browser) {
        auto* window = new QWidget(dynamic_cast<QWidget*>(windows().main), Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(QStringLiteral("Ajuda"));
        window->resize(760, 560);
        browser = new QTextBrowser(window);
        browser->setObjectName(QStringLiteral("helpBrowser"));
        browser->setOpenLinks(false);
        auto* back = new QPushButton(QStringLiteral("&Voltar"), window);
        auto* home = new QPushButton(QStringLiteral("&Início"), window);
        back->setEnabled(false);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(back);
        buttons->addWidget(home);
        buttons->addStretch();
        auto* layout = new QVBoxLayout(window);
        layout->addLayout(buttons);
        layout->addWidget(browser, 1);
        QTextBrowser* pages = browser;
        QObject::connect(back, &QPushButton::clicked, pages, &QTextBrowser::backward);
        QObject::connect(home, &QPushButton::clicked, pages, &QTextBrowser::home);
        QObject::connect(pages, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
        QObject::connect(pages, &QTextBrowser::anchorClicked, pages, [pages](const QUrl& link) {
            const QUrl target = pages->source().resolved(link);
            if (target.isLocalFile())
                pages->setSource(target);
            else
                openUrl(target);
        });
    }
    browser->setSource(fileUrl(index));
    QWidget* window = browser->window();
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

QTextBrowser* ownHelpBrowser() { return helpBrowser(); }

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
        if (!openUrl(fileUrl(pages))) showOwnHelp(pages);
        return;
    }
    // A help file that no viewer opens is not the user's to fix: no message.
    if (hasCompiled) return;
    LocalisedMessageDlg(supportMessage(), MessageKind::Information, MessageButton::OK, 0);
}

std::filesystem::path helpIndex(const library::Layout& layout) {
    return layout.shippedFolder() / "Ajuda" / "index.html";
}

QString supportMessage() {
    return QStringLiteral("Para suporte técnico, gentileza entrar em contato com \"%1\".")
        .arg(QLatin1String(publisher::kSupport));
}

}  // namespace ui
