#include "ui/Desktop.h"

#include <QDesktopServices>
#include <QMimeDatabase>
#include <QProcess>

namespace ui {
namespace {

std::function<bool(const QUrl&)>& replacement() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

// Free desktops start a file through xdg-open, which Qt counts as a success as
// soon as the launcher runs, even when no application takes the file's type.
// Asking the desktop's MIME defaults first tells the two apart. Where the
// question cannot be asked, the opener is left to try.
bool desktopTakesFile(const QString& file) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    Q_UNUSED(file);
    return true;
#else
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForStarted(2000)) return true;
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return true;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
#endif
}

bool desktopOpen(const QUrl& url) {
    if (url.isLocalFile() && !desktopTakesFile(url.toLocalFile())) return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace

bool openUrl(const QUrl& url) {
    return replacement() ? replacement()(url) : desktopOpen(url);
}

void setUrlOpenerForTests(std::function<bool(const QUrl&)> opener) {
    replacement() = std::move(opener);
}

}  // namespace ui
