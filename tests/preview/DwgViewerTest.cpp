// The drawing viewer on its own: what OpenDrawing keeps, what the mouse and
// keys do to the view, and which menu a right click brings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "../archive/ZipFixtures.h"
#include "HostileDrawings.h"
#include "Samples.h"
#include "preview/DwgViewer.h"
#include "render/Painter.h"

namespace fs = std::filesystem;
using preview::DwgViewer;

namespace {

int inkedPixels(const QImage& image) {
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) inked += image.pixel(x, y) != qRgb(255, 255, 255);
    return inked;
}

class DwgViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        viewer.resize(400, 300);
        viewer.show();
    }
    // Waits, within a deadline, for the drawing to be built and the view painted.
    void settle() {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                viewer.update();
                return viewer.pictureIsCurrent();
            },
            10000));
    }
    QImage shown() {
        viewer.grab();  // asks for the picture of the current view
        settle();
        return viewer.grab().toImage();
    }
    // A copy of a sample drawing, opened.
    fs::path openSample() {
        // The bytes only: a copied file would keep the samples' read-only mark,
        // which Windows refuses to delete.
        const fs::path copy = temp.path() / "desenho.DWG";
        fixtures::writeFile(copy, fixtures::readFile(testsupport::samplesFolder() /
                                                     "R2000/libredwg_entities-2d.dwg"));
        viewer.OpenDrawing(copy);
        settle();
        EXPECT_TRUE(viewer.failureText().isEmpty()) << viewer.failureText().toStdString();
        return copy;
    }
    void wheel(QPointF at, int notches) {
        QWheelEvent event(at, viewer.mapToGlobal(at), {}, {0, notches * 120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&viewer, &event);
    }
    // The world point under a device point, within a hundredth of a pixel.
    void expectUnder(QPointF at, render::Vec2 world) const {
        const render::Vec2 under = viewer.view().toWorld({at.x(), at.y()});
        EXPECT_NEAR(under.x, world.x, 0.01 / viewer.view().scale);
        EXPECT_NEAR(under.y, world.y, 0.01 / viewer.view().scale);
    }

    fixtures::TempFolder temp;
    DwgViewer viewer;
};

}  // namespace

TEST_F(DwgViewerTest, PaintsFromItsListAfterTheFileIsGone) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path file = openSample();
    ASSERT_FALSE(viewer.displayList().empty());
#ifdef __linux__
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        EXPECT_NE(fs::read_symlink(fd.path(), error), file) << "a handle on the drawing was kept";
    }
#endif
    ASSERT_TRUE(fs::remove(file));
    EXPECT_GT(inkedPixels(shown()), 100);
    viewer.resize(500, 320);
    EXPECT_GT(inkedPixels(shown()), 100);
}

TEST_F(DwgViewerTest, UnreadableFilesShowALineInsteadOfTheDrawing) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const std::string drawing =
        fixtures::readFile(testsupport::samplesFolder() / "R2000/libredwg_entities-2d.dwg");
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"no file", std::nullopt},
        {"empty", std::string()},
        {"not a drawing", std::string("PK\x03\x04 not a drawing")},
        {"truncated", drawing.substr(0, drawing.size() / 3)},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        openSample();
        const fs::path file = temp.path() / "ilegivel.DWG";
        fs::remove(file);
        if (content) fixtures::writeFile(file, *content);
        viewer.OpenDrawing(file);
        settle();
        EXPECT_TRUE(
            viewer.failureText().startsWith(QStringLiteral("Não foi possível ler o desenho: ")));
        EXPECT_TRUE(viewer.displayList().empty());
        EXPECT_GT(inkedPixels(shown()), 20) << "the line is shown";
    }
    openSample();
    EXPECT_GT(inkedPixels(shown()), 100) << "a readable drawing replaces the line";
}

TEST_F(DwgViewerTest, WheelZoomsAboutTheCursor) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    openSample();
    for (const int notches : {1, -1, 3, -2}) {
        for (const QPointF at : {QPointF(50, 40), QPointF(390, 290)}) {
            const render::Vec2 world = viewer.view().toWorld({at.x(), at.y()});
            const double scale = viewer.view().scale;
            wheel(at, notches);
            EXPECT_DOUBLE_EQ(viewer.view().scale, scale * std::pow(DwgViewer::kWheelStep, notches));
            expectUnder(at, world);
        }
    }
}

TEST_F(DwgViewerTest, DragPansAndTheWholeDrawingComesBack) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    openSample();
    const render::View whole = viewer.view();
    const render::Vec2 grabbed = whole.toWorld({100, 100});
    QTest::mousePress(&viewer, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&viewer, QPoint(140, 90));
    QTest::mouseMove(&viewer, QPoint(180, 60));
    QTest::mouseRelease(&viewer, Qt::LeftButton, {}, QPoint(180, 60));
    expectUnder(QPointF(180, 60), grabbed);

    const auto showsWhole = [&] {
        return viewer.view().scale == whole.scale && viewer.view().centre.x == whole.centre.x &&
               viewer.view().centre.y == whole.centre.y;
    };
    QTest::mouseDClick(&viewer, Qt::LeftButton, {}, QPoint(180, 60));
    EXPECT_TRUE(showsWhole());
    QTest::keyClick(&viewer, Qt::Key_Plus);
    QTest::keyClick(&viewer, Qt::Key_Left);
    EXPECT_GT(viewer.view().scale, whole.scale);
    QTest::keyClick(&viewer, Qt::Key_Home);
    EXPECT_TRUE(showsWhole());

    // A resize refits the whole drawing, but keeps a zoom the user chose.
    viewer.resize(800, 600);
    EXPECT_NEAR(viewer.view().scale, 2 * whole.scale, 1e-9 * whole.scale);
    wheel({400, 300}, 2);
    const double zoomed = viewer.view().scale;
    viewer.resize(400, 300);
    EXPECT_EQ(viewer.view().scale, zoomed);
}

TEST_F(DwgViewerTest, RightClickShowsTheHostsMenuTheViewersOwnOrNone) {
    QMenu empty, hosts;
    hosts.addAction(QStringLiteral("Do programa"));
    const struct {
        QMenu* popup;
        bool ownMenu;
        int actionsShown;  // 0: no menu comes up
    } cases[] = {{&empty, false, 0},
                 {&empty, true, 0},
                 {nullptr, false, 0},
                 {nullptr, true, 3},
                 {&hosts, false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.popup << " " << c.ownMenu);
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
    }
}

namespace {

render::Vec3 unit(render::Vec3 v) {
    return v * (1 / render::length(v));
}

void expectDirection(const render::Projection& projection, render::Vec3 expected) {
    const render::Vec3 d = unit(projection.direction), e = unit(expected);
    EXPECT_NEAR(d.x, e.x, 1e-9);
    EXPECT_NEAR(d.y, e.y, 1e-9);
    EXPECT_NEAR(d.z, e.z, 1e-9);
}

}  // namespace

// A 3D polyline saved in a south-west isometric view opens as saved; keys
// choose the standard views and Home goes back.
TEST_F(DwgViewerTest, OpensInTheSavedDirectionAndKeysChooseTheView) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path copy = temp.path() / "iso.DWG";
    testsupport::copySample(testsupport::samplesFolder() / "R2000/libredwg_PolyLine3D.dwg", copy);
    viewer.OpenZoomextend(true);
    viewer.OpenDrawing(copy);
    settle();
    ASSERT_TRUE(viewer.failureText().isEmpty());
    expectDirection(viewer.projection(), {-1, -1, 1});
    expectDirection(viewer.savedProjection(), {-1, -1, 1});
    const render::Box saved = viewer.displayList().extents;
    const render::View whole =
        render::View::fit(saved, viewer.width(), viewer.height(), DwgViewer::kMargin);
    EXPECT_EQ(viewer.view().scale, whole.scale) << "zoomed to the extents";

    struct Case {
        Qt::Key key;
        render::Vec3 direction;
    };
    const Case cases[] = {
        {Qt::Key_T, {0, 0, 1}},   {Qt::Key_F, {0, -1, 0}},     {Qt::Key_D, {1, 0, 0}},
        {Qt::Key_1, {-1, -1, 1}}, {Qt::Key_2, {1, -1, 1}},     {Qt::Key_3, {1, 1, 1}},
        {Qt::Key_4, {-1, 1, 1}},  {Qt::Key_Home, {-1, -1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
        QTest::keyClick(&viewer, c.key);
        settle();
        expectDirection(viewer.projection(), c.direction);
        // The list is drawn again from the new side, the whole of it in view.
        const render::Box box = viewer.displayList().extents;
        const render::View fitted =
            render::View::fit(box, viewer.width(), viewer.height(), DwgViewer::kMargin);
        EXPECT_EQ(viewer.view().scale, fitted.scale);
    }
    // From the top the polyline looks other than from its saved side.
    QTest::keyClick(&viewer, Qt::Key_T);
    settle();
    const render::Box top = viewer.displayList().extents;
    EXPECT_GT(std::abs(top.width() / top.height() - saved.width() / saved.height()), 0.05);
}

TEST_F(DwgViewerTest, ShiftDragTurnsTheModelAndAPlainDragMovesIt) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    openSample();  // a plan drawing
    expectDirection(viewer.projection(), {0, 0, 1});
    QTest::mousePress(&viewer, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 150));
    QTest::mouseMove(&viewer, QPoint(200, 100));  // the model tips its front up
    QTest::mouseMove(&viewer, QPoint(260, 100));  // and it turns to the right
    QTest::mouseRelease(&viewer, Qt::LeftButton, Qt::ShiftModifier, QPoint(260, 100));
    settle();
    const render::Vec3 turned = unit(viewer.projection().direction);
    EXPECT_LT(turned.z, 0.9) << "the eye came down from above";
    EXPECT_GT(turned.z, 0);
    const render::Vec3 d = turned;

    const render::View before = viewer.view();
    QTest::mousePress(&viewer, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&viewer, QPoint(150, 120));
    QTest::mouseRelease(&viewer, Qt::LeftButton, {}, QPoint(150, 120));
    expectDirection(viewer.projection(), d);
    EXPECT_NE(viewer.view().centre.x, before.centre.x);
    QTest::keyClick(&viewer, Qt::Key_Home);
    settle();
    expectDirection(viewer.projection(), {0, 0, 1});
}

TEST_F(DwgViewerTest, ADrawingCutShortShowsWhatWasBuiltAndSaysSo) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool simplified;
    };
    const Case cases[] = {
        {"fine hatch array", testsupport::fineHatchMinsertDrawing(), true},
        {"huge arc angle", testsupport::arcDrawing(1e300, 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = temp.path() / "criado.DWG";
        fixtures::writeFile(file, std::string(c.bytes.begin(), c.bytes.end()));
        viewer.OpenDrawing(file);
        fs::remove(file);
        settle();
        EXPECT_EQ(viewer.displayList().report.simplified(), c.simplified);
        EXPECT_EQ(viewer.noticeText().isEmpty(), !c.simplified);
        if (c.simplified) {
            EXPECT_EQ(
                viewer.noticeText(),
                QStringLiteral("Desenho simplificado: parte dos elementos não foi desenhada."));
        }
        EXPECT_FALSE(viewer.displayList().empty());
        EXPECT_GT(inkedPixels(shown()), 100);
    }
}

TEST_F(DwgViewerTest, ANewerDrawingReplacesABuildStillRunning) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path slow = temp.path() / "lento.DWG";
    const std::vector<std::uint8_t> bytes = testsupport::nestedMinsertDrawing();
    fixtures::writeFile(slow, std::string(bytes.begin(), bytes.end()));
    viewer.OpenDrawing(slow);
    EXPECT_TRUE(viewer.displayList().empty()) << "the empty drawing shows while building";
    openSample();
    // The older build's list never replaces the newer drawing.
    QTest::qWait(50);
    EXPECT_FALSE(viewer.displayList().empty());
    EXPECT_FALSE(viewer.displayList().report.simplified());
}

TEST_F(DwgViewerTest, TurningKeepsTheLastPictureUntilTheTurnedOneIsReady) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path copy = temp.path() / "iso.DWG";
    testsupport::copySample(testsupport::samplesFolder() / "R2000/libredwg_PolyLine3D.dwg", copy);
    viewer.OpenDrawing(copy);
    settle();
    const QImage saved = shown();
    ASSERT_GT(inkedPixels(saved), 50);
    for (const Qt::Key key : {Qt::Key_T, Qt::Key_F, Qt::Key_Home}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        const QImage before = viewer.grab().toImage();
        QTest::keyClick(&viewer, key);  // the new list is built on a worker meanwhile
        EXPECT_EQ(viewer.grab().toImage(), before) << "not a blank while it turns";
        // Once settled, what shows is the new list's own picture, not the
        // old list painted again while the new one was built.
        const QImage turned = shown();
        QImage expected(turned.size(), QImage::Format_RGB32);
        {
            QPainter painter(&expected);
            render::paint(painter, viewer.displayList(), viewer.view(), Qt::white);
        }
        EXPECT_EQ(turned.convertToFormat(QImage::Format_RGB32), expected);
    }
}

namespace {

// Samples with solids, and the look each was saved in.
struct SavedLook {
    const char* file;
    render::VisualStyle style;
};
const SavedLook kSavedLooks[] = {
    {"R2018/restaurant_LAVAMANOS.dwg", render::VisualStyle::Shaded},
    {"R2018/symbol_hoyrystin-1.dwg", render::VisualStyle::Wireframe},
    {"R2000/libredwg_PolyLine3D.dwg", render::VisualStyle::Wireframe},
};

}  // namespace

TEST_F(DwgViewerTest, OpensInTheSavedLookAndKeysChangeIt) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    for (const SavedLook& look : kSavedLooks) {
        SCOPED_TRACE(look.file);
        const fs::path copy = temp.path() / "3d.DWG";
        testsupport::copySample(testsupport::samplesFolder() / look.file, copy);
        viewer.OpenDrawing(copy);
        settle();
        ASSERT_TRUE(viewer.failureText().isEmpty());
        EXPECT_EQ(viewer.savedVisualStyle(), look.style);
        EXPECT_EQ(viewer.visualStyle(), look.style);
    }
    // Each key paints the same list in its look: every line, what faces leave
    // in view, or faces shaded.
    struct Case {
        Qt::Key key;
        render::VisualStyle style;
    };
    const Case cases[] = {{Qt::Key_W, render::VisualStyle::Wireframe},
                          {Qt::Key_H, render::VisualStyle::Hidden},
                          {Qt::Key_S, render::VisualStyle::Shaded}};
    const fs::path copy = temp.path() / "3d.DWG";
    testsupport::copySample(testsupport::samplesFolder() / kSavedLooks[0].file, copy);
    viewer.OpenDrawing(copy);
    settle();
    ASSERT_FALSE(viewer.displayList().surfaces.empty());
    std::vector<int> ink;
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
        const render::DisplayList* list = &viewer.displayList();
        const QImage before = viewer.grab().toImage();
        QTest::keyClick(&viewer, c.key);
        EXPECT_EQ(viewer.visualStyle(), c.style);
        EXPECT_EQ(&viewer.displayList(), list) << "the list stays; only its picture changes";
        EXPECT_EQ(viewer.grab().toImage(), before) << "the last picture stays until the new one";
        const QImage after = shown();
        QImage expected(after.size(), QImage::Format_RGB32);
        {
            QPainter painter(&expected);
            render::paint(painter, viewer.displayList(), viewer.view(), Qt::white, c.style);
        }
        EXPECT_EQ(after.convertToFormat(QImage::Format_RGB32), expected);
        ink.push_back(inkedPixels(after));
    }
    // Hidden lines leave less ink than every line; shaded faces, the most.
    EXPECT_LT(ink[1], ink[0]);
    EXPECT_GT(ink[2], 2 * ink[0]);
}

TEST_F(DwgViewerTest, OrbitingAShadedModelNeverBlanksThePicture) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path copy = temp.path() / "3d.DWG";
    testsupport::copySample(testsupport::samplesFolder() / kSavedLooks[0].file, copy);
    viewer.OpenDrawing(copy);
    settle();
    ASSERT_EQ(viewer.visualStyle(), render::VisualStyle::Shaded);
    const int whole = inkedPixels(shown());
    QTest::mousePress(&viewer, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 150));
    for (int step = 1; step <= 20; ++step) {
        QTest::mouseMove(&viewer, QPoint(200 + 6 * step, 150 - 2 * step));
        // Whatever is ready, the model is on screen while it turns.
        EXPECT_GT(inkedPixels(viewer.grab().toImage()), whole / 4) << step;
    }
    QTest::mouseRelease(&viewer, Qt::LeftButton, Qt::ShiftModifier, QPoint(320, 110));
    EXPECT_GT(inkedPixels(shown()), whole / 4);
    EXPECT_EQ(viewer.visualStyle(), render::VisualStyle::Shaded);
}

TEST_F(DwgViewerTest, ZoomingInMakesCurvedFacesFinerWhileTheCoarserPictureStays) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path copy = temp.path() / "3d.DWG";
    testsupport::copySample(testsupport::samplesFolder() / kSavedLooks[0].file, copy);
    viewer.OpenDrawing(copy);
    settle();
    const std::size_t coarse = viewer.displayList().triangles.size();
    const render::Vec2 middle{viewer.width() / 2.0, viewer.height() / 2.0};
    wheel({middle.x, middle.y}, 12);  // about fifteen times closer
    EXPECT_GT(inkedPixels(viewer.grab().toImage()), 100) << "the coarser picture, enlarged";
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return viewer.displayList().triangles.size() > coarse; }, 10000));
    const render::View zoomed = viewer.view();
    settle();
    EXPECT_EQ(viewer.view().scale, zoomed.scale) << "the finer list keeps the zoom";
}

// A drawing saved with model space split into three tiled viewports opens
// split the same way, each pane with its own direction, look and view; the
// mouse acts on the pane under it, the keys on the current pane.
TEST_F(DwgViewerTest, TiledViewportsOpenSplitAndEachPaneKeepsItsOwnView) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path copy = temp.path() / "tiles.DWG";
    testsupport::copySample(testsupport::samplesFolder() / "R2018/symbol_co2-anturi.dwg", copy);
    viewer.OpenDrawing(copy);
    settle();
    ASSERT_EQ(viewer.paneCount(), 3u);
    EXPECT_EQ(viewer.paneRect(0), QRectF(0, 0, 200, 150));
    EXPECT_EQ(viewer.paneRect(1), QRectF(0, 150, 200, 150));
    EXPECT_EQ(viewer.paneRect(2), QRectF(200, 0, 200, 300));
    EXPECT_EQ(viewer.currentPane(), 0u) << "the viewport current when saved";
    EXPECT_EQ(viewer.visualStyle(), render::VisualStyle::Wireframe);
    // Each pane opens on the whole drawing, from its own side.
    const QImage picture = shown();
    const auto dark = [&](const QRectF& area) {
        int n = 0;
        const QRect inside = area.toRect().adjusted(3, 3, -3, -3);
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                n += qGray(picture.pixel(x, y)) < 100;
        return n;
    };
    for (std::size_t pane = 0; pane < 3; ++pane) EXPECT_GT(dark(viewer.paneRect(pane)), 50) << pane;

    const QPoint inFirst(100, 75), inSecond(100, 225), inThird(300, 150);
    const render::View firstView = viewer.view();
    const render::Projection firstDirection = viewer.projection();
    QTest::mouseClick(&viewer, Qt::LeftButton, {}, inThird);
    EXPECT_EQ(viewer.currentPane(), 2u);
    EXPECT_EQ(viewer.visualStyle(), render::VisualStyle::Shaded) << "saved Realistic";
    const double thirdScale = viewer.view().scale;
    wheel(inThird, 1);
    EXPECT_DOUBLE_EQ(viewer.view().scale, thirdScale * DwgViewer::kWheelStep);
    QTest::keyClick(&viewer, Qt::Key_W);
    EXPECT_EQ(viewer.visualStyle(), render::VisualStyle::Wireframe);

    QTest::mouseClick(&viewer, Qt::LeftButton, {}, inSecond);
    const render::Projection secondDirection = viewer.projection();
    QTest::mousePress(&viewer, Qt::LeftButton, Qt::ShiftModifier, inSecond);
    QTest::mouseMove(&viewer, inSecond + QPoint(40, 0));
    QTest::mouseRelease(&viewer, Qt::LeftButton, Qt::ShiftModifier, inSecond + QPoint(40, 0));
    EXPECT_EQ(viewer.currentPane(), 1u);
    EXPECT_FALSE(viewer.projection() == secondDirection) << "turned";
    settle();

    QTest::mouseClick(&viewer, Qt::LeftButton, {}, inFirst);
    EXPECT_EQ(viewer.currentPane(), 0u);
    EXPECT_EQ(viewer.view().scale, firstView.scale) << "the others' zoom left it alone";
    EXPECT_EQ(viewer.view().centre.x, firstView.centre.x);
    EXPECT_TRUE(viewer.projection() == firstDirection) << "and their turning";
    QTest::keyClick(&viewer, Qt::Key_H);
    QTest::mouseClick(&viewer, Qt::LeftButton, {}, inThird);
    EXPECT_EQ(viewer.visualStyle(), render::VisualStyle::Wireframe) << "kept its own look";
    settle();
}
