// The drawing viewer on its own: what OpenDrawing keeps, what the user's
// mouse and keys do to the view, and which menu a right click brings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <unistd.h>

#include <dwg/Reader.h>
#include <render/Build.h>

#include "../archive/ZipFixtures.h"
#include "Samples.h"
#include "preview/DwgViewer.h"

namespace fs = std::filesystem;
using preview::DwgViewer;

namespace {

constexpr const char* kSample = "R2000/libredwg_entities-2d.dwg";

fs::path sample(const char* relative) {
    return testsupport::samplesFolder() / relative;
}

int inkedPixels(const QImage& image) {
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != QColor(Qt::white)) ++inked;
    return inked;
}

#ifdef __linux__
// Whether this process holds a file descriptor on file.
bool holdsOpen(const fs::path& file) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        if (fs::read_symlink(entry.path(), linkError) == file) return true;
    }
    return false;
}
#endif

// The world point under a device point, in the viewer's current view.
render::Vec2 worldAt(const DwgViewer& viewer, QPointF at) {
    return viewer.view().toWorld({at.x(), at.y()});
}

void expectSameWorldPoint(render::Vec2 a, render::Vec2 b, double scale) {
    // Within a hundredth of a pixel.
    EXPECT_NEAR(a.x, b.x, 0.01 / scale);
    EXPECT_NEAR(a.y, b.y, 0.01 / scale);
}

class DwgViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        viewer.resize(400, 300);
        viewer.show();
    }
    void openSample() {
        const fs::path copy = temp.path() / "desenho.DWG";
        fs::copy_file(sample(kSample), copy, fs::copy_options::overwrite_existing);
        viewer.OpenDrawing(copy);
        ASSERT_TRUE(viewer.failureText().isEmpty()) << viewer.failureText().toStdString();
    }
    void wheel(QPointF at, int notches) {
        QWheelEvent event(at, viewer.mapToGlobal(at), {}, {0, notches * 120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&viewer, &event);
    }

    fixtures::TempFolder temp;
    DwgViewer viewer;
};

}  // namespace

TEST_F(DwgViewerTest, KeepsTheListAndNoHandleSoTheFileCanGo) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path copy = temp.path() / "desenho.DWG";
    fs::copy_file(sample(kSample), copy);
    viewer.OpenDrawing(copy);
#ifdef __linux__
    EXPECT_FALSE(holdsOpen(copy));
#endif
    const render::DisplayList expected = render::buildModelSpace(dwg::read(copy));
    ASSERT_TRUE(fs::remove(copy));

    EXPECT_EQ(viewer.displayList().items.size(), expected.items.size());
    // Painted from the list alone, now and after a resize.
    EXPECT_GT(inkedPixels(viewer.grab().toImage()), 100);
    viewer.resize(500, 320);
    EXPECT_GT(inkedPixels(viewer.grab().toImage()), 100);
}

TEST_F(DwgViewerTest, UnreadableFilesShowALineInsteadOfTheDrawing) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const std::string drawing = fixtures::readFile(sample(kSample));
    struct Case {
        const char* name;
        std::optional<std::string> content;  // none: no file at all
    };
    const Case cases[] = {
        {"missing", std::nullopt},
        {"empty", std::string()},
        {"text", std::string("PK\x03\x04 not a drawing")},
        {"truncated drawing", drawing.substr(0, drawing.size() / 3)},
        {"damaged drawing", [&] {
             std::string damaged = drawing;
             for (std::size_t i = 64; i < damaged.size(); i += 97) damaged[i] ^= 0x55;
             return damaged;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openSample();
        const fs::path file = temp.path() / (std::string(c.name) + ".DWG");
        if (c.content) fixtures::writeFile(file, *c.content);

        viewer.OpenDrawing(file);
        EXPECT_TRUE(viewer.failureText().startsWith(QStringLiteral("Não foi possível ler o desenho: ")))
            << viewer.failureText().toStdString();
        EXPECT_TRUE(viewer.displayList().empty());
        EXPECT_GT(inkedPixels(viewer.grab().toImage()), 20) << "the line is shown";
    }
    openSample();
    EXPECT_TRUE(viewer.failureText().isEmpty()) << "a readable drawing clears the line";
}

TEST_F(DwgViewerTest, WheelZoomsAboutTheCursor) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    openSample();
    const QPointF cursors[] = {{50, 40}, {200, 150}, {390, 290}};
    for (const int notches : {1, -1, 3, -2}) {
        for (const QPointF at : cursors) {
            SCOPED_TRACE(notches);
            const render::Vec2 before = worldAt(viewer, at);
            const double scale = viewer.view().scale;
            wheel(at, notches);
            EXPECT_DOUBLE_EQ(viewer.view().scale, scale * std::pow(DwgViewer::kWheelStep, notches));
            expectSameWorldPoint(worldAt(viewer, at), before, viewer.view().scale);
        }
    }
}

TEST_F(DwgViewerTest, DragPansDoubleClickAndHomeShowTheWholeDrawing) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    openSample();
    const render::View whole = viewer.view();
    const QPoint from(100, 100), to(180, 60);
    const render::Vec2 grabbed = worldAt(viewer, from);
    QTest::mousePress(&viewer, Qt::LeftButton, {}, from);
    QTest::mouseMove(&viewer, QPoint(140, 90));
    QTest::mouseMove(&viewer, to);
    QTest::mouseRelease(&viewer, Qt::LeftButton, {}, to);
    expectSameWorldPoint(worldAt(viewer, to), grabbed, viewer.view().scale);
    EXPECT_DOUBLE_EQ(viewer.view().scale, whole.scale);

    QTest::mouseDClick(&viewer, Qt::LeftButton, {}, to);
    EXPECT_DOUBLE_EQ(viewer.view().centre.x, whole.centre.x);
    EXPECT_DOUBLE_EQ(viewer.view().scale, whole.scale);

    QTest::keyClick(&viewer, Qt::Key_Plus);
    EXPECT_GT(viewer.view().scale, whole.scale);
    QTest::keyClick(&viewer, Qt::Key_Home);
    EXPECT_DOUBLE_EQ(viewer.view().scale, whole.scale);
}

TEST_F(DwgViewerTest, ResizeRefitsTheWholeDrawingButKeepsAUsersZoom) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    openSample();
    const double fitted = viewer.view().scale;
    viewer.resize(800, 600);
    EXPECT_NEAR(viewer.view().scale, 2 * fitted, 1e-9 * fitted);

    wheel({400, 300}, 2);
    const double zoomed = viewer.view().scale;
    viewer.resize(400, 300);
    EXPECT_DOUBLE_EQ(viewer.view().scale, zoomed);
}

TEST_F(DwgViewerTest, ZoomToExtentsOnOpenCanBeTurnedOff) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    openSample();
    wheel({10, 10}, 4);
    const render::View zoomed = viewer.view();
    viewer.OpenZoomextend(false);
    openSample();
    EXPECT_DOUBLE_EQ(viewer.view().scale, zoomed.scale);
    EXPECT_DOUBLE_EQ(viewer.view().centre.x, zoomed.centre.x);
    viewer.OpenZoomextend(true);
    openSample();
    EXPECT_LT(viewer.view().scale, zoomed.scale);
}

TEST_F(DwgViewerTest, RightClickShowsTheHostsMenuTheViewersOwnOrNone) {
    QMenu empty;
    QMenu hosts;
    hosts.addAction(QStringLiteral("Do programa"));
    struct Case {
        const char* name;
        QMenu* popup;
        bool ownMenu;
        int actionsShown;  // 0: no menu comes up
    };
    const Case cases[] = {
        {"empty host menu, own menu off", &empty, false, 0},
        {"empty host menu, own menu on", &empty, true, 0},
        {"no host menu, own menu off", nullptr, false, 0},
        {"no host menu, own menu on", nullptr, true, 3},
        {"host menu with an action", &hosts, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        viewer.setPopupMenu(c.popup);
        viewer.EnableContextMenu(c.ownMenu);
        int shown = 0;
        // The viewer's own menu runs its own loop: look from a timer, then close it.
        QTimer::singleShot(100, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                shown = static_cast<int>(menu->actions().size());
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                viewer.mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(&viewer, &event);
        QTest::qWait(200);
        EXPECT_EQ(shown, c.actionsShown);
        if (QWidget* left = QApplication::activePopupWidget()) left->close();
    }
}
