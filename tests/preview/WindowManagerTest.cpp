// The preview window placed under a real window manager: a virtual X server
// (Xvfb) of 1280 x 1024 with openbox, which frames a window only after it is
// shown and tells the frame's extents then. The window is shown by a helper
// program on that display; its frame, as the window system reports it, must
// end whole at the bottom right of the work area.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

constexpr int kStartDeadlineMs = 10000;
constexpr int kHelperDeadlineMs = 60000;

// A process of the test's own, stopped (and waited for) when the test ends.
class OwnProcess {
  public:
    OwnProcess() = default;
    OwnProcess(const OwnProcess&) = delete;
    OwnProcess& operator=(const OwnProcess&) = delete;
    ~OwnProcess() {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        if (!process.waitForFinished(2000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    QProcess process;
};

// An X server of its own with openbox running on it; `error` says what failed.
class WindowManagedDisplay {
  public:
    // margins: the openbox margins that stand for a panel (top, bottom, left, right).
    WindowManagedDisplay(const QString& margins) {
        if (QString(TESSALY_XVFB).isEmpty() || QString(TESSALY_OPENBOX).isEmpty()) {
            error = "Xvfb or openbox is not installed (scripts/install-deps.sh installs them)";
            return;
        }
        if (!folder_.isValid()) {
            error = "no temporary folder";
            return;
        }
        // Xvfb picks a free display itself and writes its number once it listens.
        xvfb_.process.start(
            TESSALY_XVFB, {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        const QDeadlineTimer deadline(kStartDeadlineMs);
        while (!xvfb_.process.canReadLine() && !deadline.hasExpired() &&
               xvfb_.process.state() != QProcess::NotRunning)
            xvfb_.process.waitForReadyRead(100);
        const QString number = QString::fromLatin1(xvfb_.process.readLine()).trimmed();
        if (number.isEmpty()) {
            error = "Xvfb did not start";
            return;
        }
        display = QLatin1Char(':') + number;

        const QString config = folder_.filePath("rc.xml");
        QFile rc(config);
        if (!rc.open(QIODevice::WriteOnly) ||
            rc.write(QStringLiteral("<?xml version=\"1.0\"?>\n"
                                    "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                                    "<margins>%1</margins>\n</openbox_config>\n")
                         .arg(margins)
                         .toUtf8()) < 0) {
            error = "openbox's configuration not written";
            return;
        }
        rc.close();
        // openbox runs its start-up command once it manages the screen.
        const QString ready = folder_.filePath("ready");
        openbox_.process.setProcessEnvironment(environment());
        openbox_.process.start(TESSALY_OPENBOX, {"--config-file", config, "--sm-disable",
                                                 "--startup", "touch " + ready});
        const bool started = QTest::qWaitFor(
            [&] {
                return QFile::exists(ready) || openbox_.process.state() == QProcess::NotRunning;
            },
            kStartDeadlineMs);
        if (!started || !QFile::exists(ready)) error = "openbox did not start";
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("HOME", folder_.path());
        environment.insert("XDG_RUNTIME_DIR", folder_.path());
        return environment;
    }

    std::string error;
    QString display;

  private:
    QTemporaryDir folder_;
    OwnProcess xvfb_;
    OwnProcess openbox_;
};

struct Shown {
    QRect workArea;
    std::vector<QRect> frames;
};

std::optional<QRect> rectOf(const QStringList& words) {
    if (words.size() != 5) return std::nullopt;
    return QRect(words[1].toInt(), words[2].toInt(), words[3].toInt(), words[4].toInt());
}

// Runs the helper on the display: the preview shown once per size, in order.
std::optional<Shown> showPreview(const WindowManagedDisplay& display, const QStringList& sizes) {
    OwnProcess helper;
    helper.process.setProcessEnvironment(display.environment());
    helper.process.start(TESSALY_SHOW_PREVIEW, sizes);
    if (!helper.process.waitForFinished(kHelperDeadlineMs) || helper.process.exitCode() != 0) {
        ADD_FAILURE() << "the helper failed: "
                      << helper.process.readAllStandardError().toStdString();
        return std::nullopt;
    }
    Shown shown;
    for (const QString& line :
         QString::fromUtf8(helper.process.readAllStandardOutput()).split('\n')) {
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        if (words.isEmpty()) continue;
        const std::optional<QRect> rect = rectOf(words);
        if (!rect) continue;
        if (words[0] == "work") shown.workArea = *rect;
        if (words[0] == "frame") shown.frames.push_back(*rect);
    }
    return shown;
}

std::string text(const QRect& rect) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height())
        .toStdString();
}

TEST(PreviewUnderAWindowManager, FrameEndsWholeAtTheBottomRightOfTheWorkArea) {
    const struct {
        const char* name;
        QString margins;  // openbox's, standing for a panel
        QRect workArea;
    } displays[] = {
        {"no panel", "", QRect(0, 0, 1280, 1024)},
        {"a panel along the bottom", "<bottom>40</bottom>", QRect(0, 0, 1280, 984)},
    };
    // The design size, a size the user gave, one larger than the screen, and
    // the design size again: every show is placed anew.
    const QStringList sizes = {"350x350", "420x380", "2000x2000", "350x350"};
    for (const auto& d : displays) {
        SCOPED_TRACE(d.name);
        WindowManagedDisplay display(d.margins);
        ASSERT_EQ(display.error, "");
        const std::optional<Shown> shown = showPreview(display, sizes);
        ASSERT_TRUE(shown);
        ASSERT_EQ(shown->workArea, d.workArea) << text(shown->workArea);
        ASSERT_EQ(shown->frames.size(), static_cast<std::size_t>(sizes.size()));
        for (std::size_t i = 0; i < shown->frames.size(); ++i) {
            const QRect frame = shown->frames[i];
            SCOPED_TRACE(sizes[static_cast<qsizetype>(i)].toStdString() + ": frame " + text(frame));
            EXPECT_TRUE(d.workArea.contains(frame));
            if (i == 2)
                EXPECT_EQ(frame, d.workArea) << "as large as the work area allows";
            else
                EXPECT_EQ(frame.bottomRight(), d.workArea.bottomRight());
        }
    }
}

}  // namespace
