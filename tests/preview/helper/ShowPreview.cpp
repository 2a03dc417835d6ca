// Shows the preview window on the display the environment names and tells
// where its frame lands once the window manager has framed it: a line
// "work X Y W H" for the primary screen's work area, then for each size
// asked for (arguments "WxH") the window is given that size, shown, and
// "frame X Y W H" written, then hidden again.
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cstdio>

#include "preview/UNfrmPreview.h"

namespace {

void print(const char* what, const QRect& rect) {
    std::printf("%s %d %d %d %d\n", what, rect.x(), rect.y(), rect.width(), rect.height());
    std::fflush(stdout);
}

// The frame once it has stayed put for a while: the window manager frames
// and places a window some time after it is shown, and the window may move
// again then.
QRect settledFrame(const QWindow& window) {
    constexpr int kStillFor = 400;
    constexpr int kDeadline = 5000;
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer still;
    still.start();
    QRect last = window.frameGeometry();
    while (clock.elapsed() < kDeadline && still.elapsed() < kStillFor) {
        QTest::qWait(20);
        if (window.frameGeometry() != last) {
            last = window.frameGeometry();
            still.restart();
        }
    }
    return last;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 2;
    print("work", screen->availableGeometry());
    preview::TfrmPreview window;
    for (int i = 1; i < argc; ++i) {
        const QStringList size = QString::fromLocal8Bit(argv[i]).split(QLatin1Char('x'));
        if (size.size() != 2) return 2;
        window.resize(size[0].toInt(), size[1].toInt());
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) return 3;
        print("frame", settledFrame(*window.windowHandle()));
        window.hide();
        QTest::qWait(100);
    }
    return 0;
}
