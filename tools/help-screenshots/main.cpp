// Photographs the program's real windows for the help pages: the windows are
// created as the program creates them, over a library folder given on the
// command line, put in each state of the list below and saved as PNG files.
// A new state of a window is one more entry in the list.
//
//   tessaly-help-screenshots <program folder with a library> <output folder>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "download/UNfrmDownload.h"
#include "preview/DwgViewer.h"
#include "preview/UNfrmPreview.h"
#include "ui/Help.h"
#include "ui/LocalisedMessageDlg.h"
#include "ui/Pump.h"
#include "ui/Skin.h"
#include "ui/Translations.h"
#include "ui/UNfrmSobre.h"
#include "ui/Windows.h"

namespace {

// The four windows, created in the program's order.
struct Program {
    explicit Program(const library::Layout& layout) : main(layout), about(), download(), preview() {
        ui::windows() = {&main, &about, &download, &preview};
    }
    ~Program() { ui::windows() = {}; }

    browser::TfrmVisualizar main;
    ui::TfrmSobre about;
    download::TfrmDownload download;
    preview::TfrmPreview preview;
};

using Save = std::function<bool(const QImage&)>;

void pumpFor(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

// The first-show step of the main window has run and its drop-down is closed.
void startMain(Program& program) {
    program.main.show();
    const QDeadlineTimer deadline(5000);
    while (!program.main.firstShowDone() && !deadline.hasExpired()) pumpFor(50);
    program.main.cArea->hidePopup();
    pumpFor(100);
}

// Chooses an installed category and waits for the thumbnails in view.
void chooseCategory(Program& program, int index, int selected) {
    program.main.cArea->setCurrentIndex(index);
    program.main.cAreaChange(index);
    program.main.Lista->setSelectedIndex(selected);
    program.main.ListaItemSelect(selected);
    const QDeadlineTimer deadline(5000);
    const auto loaded = [&] {
        for (int i = 0; i < program.main.Lista->count(); ++i)
            if (!program.main.Lista->isThumbnailLoaded(i) &&
                !program.main.Lista->isThumbnailFailed(i))
                return false;
        return true;
    };
    while (!loaded() && !deadline.hasExpired()) pumpFor(50);
    pumpFor(100);
}

// Photographs the next modal window once it is up, then closes it.
void photographModal(const Save& save, bool* saved) {
    auto* poll = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(5000);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, save, saved] {
        QWidget* modal = QApplication::activeModalWidget();
        if ((!modal || !modal->isVisible()) && !deadline->hasExpired()) return;
        poll->stop();
        poll->deleteLater();
        if (!modal) return;
        ui::pump();
        *saved = save(modal->grab().toImage());
        modal->close();
    });
    poll->start(50);
}

bool photographWindow(QWidget* window, const Save& save) {
    window->show();
    window->raise();
    pumpFor(150);
    return save(window->grab().toImage());
}

int categoryWithoutPackage(const library::Layout& layout) {
    for (int n = 0; n < library::kCategoryCount; ++n)
        if (!layout.isInstalled(n)) return n;
    return -1;
}

int firstInstalledCategory(const library::Layout& layout) {
    for (int n = 0; n < library::kCategoryCount; ++n)
        if (layout.isInstalled(n)) return n;
    return -1;
}

// The windows side by side on one picture, each under its title.
QImage sideBySide(const QList<QWidget*>& windows) {
    constexpr int kGap = 24;
    constexpr int kTitle = 18;
    QList<QImage> pictures;
    int width = kGap, height = 0;
    for (QWidget* window : windows) {
        pictures << window->grab().toImage();
        width += pictures.last().width() + kGap;
        height = std::max(height, pictures.last().height());
    }
    QImage sheet(width, height + kTitle + 2 * kGap, QImage::Format_RGB32);
    sheet.fill(QColor(90, 90, 90));
    QPainter painter(&sheet);
    painter.setFont(ui::programFont(12));
    int left = kGap;
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        painter.setPen(Qt::white);
        painter.drawText(QRect(left, kGap - 4, pictures[i].width(), kTitle), Qt::AlignLeft,
                         windows[i]->windowTitle());
        painter.drawImage(left, kGap + kTitle, pictures[i]);
        painter.setPen(Qt::black);
        painter.drawRect(
            QRect(QPoint(left, kGap + kTitle), pictures[i].size()).adjusted(-1, -1, 0, 0));
        left += pictures[i].width() + kGap;
    }
    return sheet;
}

struct Shot {
    const char* file;
    std::function<bool(Program&, const Save&)> take;
};

// The states the help shows, one picture each.
const std::vector<Shot>& shots() {
    static const std::vector<Shot> list = {
        {"principal.png",
         [](Program& program, const Save& save) { return photographWindow(&program.main, save); }},
        {"categoria.png",
         [](Program& program, const Save& save) {
             const int category = firstInstalledCategory(program.main.layout());
             if (category < 0) return false;
             chooseCategory(program, category, 1);
             program.preview.hide();
             return photographWindow(&program.main, save);
         }},
        {"navegador.png",
         [](Program& program, const Save& save) {
             // The preview as a click on a tile brings it up, with that block's drawing.
             const int category = firstInstalledCategory(program.main.layout());
             if (category < 0) return false;
             chooseCategory(program, category, 0);
             if (program.preview.dwg->displayList().empty())
                 std::fprintf(stderr,
                              "o navegador não mostra desenho: a biblioteca de "
                              "demonstração não tem os arquivos dos blocos\n");
             return photographWindow(&program.preview, save);
         }},
        {"download.png",
         [](Program& program, const Save& save) {
             const int missing = categoryWithoutPackage(program.main.layout());
             if (missing < 0) return false;
             bool saved = false;
             photographModal(save, &saved);
             program.main.cAreaChange(missing);
             return saved;
         }},
        {"salvar.png",
         [](Program& program, const Save& save) {
             const int category = firstInstalledCategory(program.main.layout());
             if (category < 0) return false;
             chooseCategory(program, category, 1);
             program.preview.hide();
             // Opened in the user's folder, not in the build's.
             program.main.dSalvar->setDirectory(QDir::homePath());
             bool saved = false;
             photographModal(save, &saved);
             program.main.bSalvar->click();
             return saved;
         }},
        {"janelas.png",
         [](Program& program, const Save& save) {
             program.about.show();
             program.download.show();
             program.preview.show();
             pumpFor(150);
             bool saved = false;
             auto* poll = new QTimer;
             QObject::connect(poll, &QTimer::timeout, [&, poll] {
                 auto* message = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                 if (!message || !message->isVisible()) return;
                 poll->deleteLater();
                 saved = save(sideBySide({&program.main, &program.preview, &program.download,
                                          &program.about, message}));
                 message->done(0);
             });
             poll->start(50);
             ui::LocalisedMessageDlg(ui::supportMessage(), ui::MessageKind::Information,
                                     ui::MessageButton::OK, 0);
             program.about.hide();
             program.download.hide();
             program.preview.hide();
             return saved;
         }},
        {"sobre.png",
         [](Program&, const Save& save) {
             bool saved = false;
             photographModal(save, &saved);
             ui::lSobreClick();
             return saved;
         }},
    };
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    ui::installPortugueseTranslations(application);
    ui::setUpLookAndFeel(application);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr,
                     "uso: tessaly-help-screenshots <pasta do programa> <pasta de saída>\n");
        return 2;
    }
    const library::Layout layout(library::pathFromUtf8(arguments[1].toStdString()));
    const QDir output(arguments[2]);
    QDir().mkpath(output.path());

    Program program(layout);
    startMain(program);
    int failures = 0;
    for (const Shot& shot : shots()) {
        const QString file = output.filePath(QString::fromLatin1(shot.file));
        const bool saved = shot.take(
            program, [&file](const QImage& image) { return !image.isNull() && image.save(file); });
        if (!saved) {
            std::fprintf(stderr, "não foi possível fotografar %s\n", shot.file);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
