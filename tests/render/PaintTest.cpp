// The painter on small images, and dwgrender as a program.
#include <dwg/Preview.h>
#include <gtest/gtest.h>
#include <render/Build.h>
#include <render/Painter.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <map>

#include "HostileDrawings.h"
#include "PreviewImages.h"
#include "Samples.h"
#include "TestDrawing.h"

namespace {

using testsupport::TestDrawing;

render::DisplayList sampleList() {
    TestDrawing t;
    // A red horizontal line, a colour-7 vertical line and a filled square.
    t.add(TestDrawing::kModel, "LINE", TestDrawing::line(0, 50, 100, 50), TestDrawing::kLayerZero,
          dwg::Color::fromIndex(1));
    t.add(TestDrawing::kModel, "LINE", TestDrawing::line(25, 0, 25, 100));
    dwg::Face square;
    square.corners = {dwg::Point3{60, 60, 0}, {90, 60, 0}, {60, 90, 0}, {90, 90, 0}};
    t.add(TestDrawing::kModel, "SOLID", square, TestDrawing::kLayerZero, dwg::Color::fromIndex(5));
    return render::buildModelSpace(t.drawing);
}

TEST(PaintTest, PixelsShowTheDrawingInItsColours) {
    struct Case {
        QColor background;
        QColor colourSeven;
    };
    for (const Case& c : {Case{Qt::white, Qt::black}, Case{Qt::black, Qt::white}}) {
        const QImage image = render::renderImage(sampleList(), QSize(101, 101), c.background, 0);
        // World (x, y) is pixel (x, 100 - y) at this size.
        EXPECT_EQ(image.pixelColor(10, 50).red(), 255);
        EXPECT_LT(image.pixelColor(10, 50).green(), 128);
        EXPECT_EQ(image.pixelColor(25, 20).lightness() > 128, c.colourSeven.lightness() > 128);
        EXPECT_EQ(image.pixelColor(75, 25), QColor(0, 0, 255));
        EXPECT_EQ(image.pixelColor(10, 10), c.background);
        EXPECT_EQ(image.pixelColor(75, 75), c.background);
    }
}

TEST(PaintTest, WipeoutMasksWhatLiesBelowWithTheBackground) {
    TestDrawing t;
    t.add(TestDrawing::kModel, "LINE", TestDrawing::line(0, 50, 100, 50));
    dwg::RasterImage wipeout;
    wipeout.wipeout = true;
    wipeout.insertion = {40, 40, 0};
    wipeout.u = {20, 0, 0};  // one 20 x 20 pixel
    wipeout.v = {0, 20, 0};
    t.add(TestDrawing::kModel, "WIPEOUT", wipeout);
    for (const QColor background : {QColor(Qt::white), QColor(Qt::darkBlue)}) {
        const QImage image =
            render::renderImage(render::buildModelSpace(t.drawing), QSize(101, 101), background, 0);
        EXPECT_NE(image.pixelColor(20, 50), background);
        EXPECT_EQ(image.pixelColor(50, 50), background);
    }
}

TEST(PaintTest, PaintingFollowsTheViewAndTheDeviceRatio) {
    const render::DisplayList list = sampleList();
    QImage image(200, 200, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);  // 100 x 100 logical pixels
    QPainter painter(&image);
    render::View view = render::View::fit(list.extents, 100, 100, 0);
    view = view.zoomedAbout({75, 25}, 2);  // the square fills the view's middle
    render::paint(painter, list, view, Qt::white);
    painter.end();
    EXPECT_EQ(image.pixelColor(100, 100), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(10, 190), QColor(Qt::white));
}

TEST(PaintTest, SurfacesAreRasterisedAtTheDevicesPixelsInTheLooksThatShowFaces) {
    TestDrawing t;
    dwg::Face face;
    face.kind = dwg::Face::Kind::Face3D;
    face.corners = {dwg::Point3{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}};
    t.add(TestDrawing::kModel, "3DFACE", face, TestDrawing::kLayerZero, dwg::Color::fromIndex(1));
    const render::DisplayList list = render::buildModelSpace(t.drawing);
    struct Case {
        render::VisualStyle style;
        QColor middle;  // of the face, lit straight on in the shaded look
        QColor edge;    // red, or the shaded look's edge colour
    };
    const Case cases[] = {{render::VisualStyle::Wireframe, Qt::white, Qt::red},
                          {render::VisualStyle::Hidden, Qt::white, Qt::red},
                          {render::VisualStyle::Shaded, QColor(224, 0, 0), Qt::black}};
    for (const Case& c : cases) {
        QImage image(202, 202, QImage::Format_RGB32);
        image.setDevicePixelRatio(2);  // 101 x 101 logical pixels
        QPainter painter(&image);
        // The face's top edge at logical y 25.25: device rows 49.5 to 51.5.
        render::paint(painter, list, render::View::fit(list.extents, 101, 101, 0.25), Qt::white,
                      c.style);
        painter.end();
        const int style = static_cast<int>(c.style);
        EXPECT_EQ(image.pixelColor(101, 101), c.middle) << style;
        // The edges a logical pixel wide, as the painter draws lines: two device pixels.
        EXPECT_EQ(image.pixelColor(101, 50), c.edge) << style;
        EXPECT_NE(image.pixelColor(101, 49), QColor(Qt::white)) << style;
        EXPECT_EQ(image.pixelColor(101, 47), QColor(Qt::white)) << style;
    }
}

class DwgRenderTest : public ::testing::Test {
  protected:
    int run(const QStringList& arguments, QString* errors = nullptr) {
        QProcess process;
        process.start(DWGRENDER_PATH, arguments);
        if (!process.waitForFinished(60'000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (errors) *errors = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }
    QTemporaryDir dir;
};

TEST_F(DwgRenderTest, WritesAPngOrFailsWithoutOne) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const QString sample = QString::fromStdString(
        (testsupport::samplesFolder() / "R2000/libredwg_entities-2d.dwg").string());
    const QString png = dir.filePath("out.png");
    ASSERT_EQ(run({sample, png}), 0);
    QImage image(png);
    EXPECT_EQ(image.size(), QSize(1024, 724));
    ASSERT_EQ(run({"--size", "300x200", "--block", "BLOCK1", sample, png}), 0);
    image.load(png);
    EXPECT_EQ(image.size(), QSize(300, 200));
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink += image.pixelColor(x, y).lightness() < 128;
    EXPECT_GT(ink, 150) << "the block's line, across the image";

    QFile garbage(dir.filePath("garbage.dwg"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("AC1015 but nothing else");
    garbage.close();
    struct Failure {
        QStringList arguments;
        int code;
    };
    const QString missing = dir.filePath("missing.png");
    const Failure failures[] = {
        {{garbage.fileName(), missing}, 1},
        {{dir.filePath("absent.dwg"), missing}, 1},
        {{"--block", "NO SUCH BLOCK", sample, missing}, 1},
        {{"--size", "0x10", sample, missing}, 2},
        {{"--view", "sideways", sample, missing}, 2},
        {{"--view", "saved", "--block", "BLOCK1", sample, missing}, 2},
        {{"--view", "direction", "--block", "BLOCK1", sample, missing}, 2},
        {{sample}, 2},
    };
    for (const Failure& f : failures) {
        QString errors;
        EXPECT_EQ(run(f.arguments, &errors), f.code) << f.arguments.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(missing));
        if (f.code == 1) {
            EXPECT_TRUE(errors.startsWith("dwgrender: ")) << errors.toStdString();
            EXPECT_EQ(errors.count('\n'), 1) << errors.toStdString();
        }
    }
}

TEST_F(DwgRenderTest, SavedViewFramesTheDrawingAsItsOwnPreviewDoes) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    struct Case {
        const char* file;
        const char* view;
        bool samePlace;  // else only the same shape: the margins differ
    };
    const Case cases[] = {
        {"R2000/libredwg_PolyLine3D.dwg", "saved", true},   // saved in an isometric view
        {"R2000/libredwg_sample_2000.dwg", "saved", true},  // a plan drawing
        // Tiled viewports, the current one last in the file; its program
        // drew the preview at the extents.
        {"R2018/symbol_co2-anturi.dwg", "direction", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto path = testsupport::samplesFolder() / c.file;
        const QImage reference = testsupport::storedPreview(path);
        ASSERT_FALSE(reference.isNull());
        const QString png = dir.filePath("saved.png");
        const QString size =
            QString("%1x%2").arg(reference.width() * 4).arg(reference.height() * 4);
        ASSERT_EQ(
            run({"--view", c.view, "--size", size, QString::fromStdString(path.string()), png}), 0);
        const QRectF ours = testsupport::inkBox(QImage(png));
        const QRectF theirs = testsupport::inkBox(reference);
        ASSERT_FALSE(theirs.isEmpty());
        ASSERT_FALSE(ours.isEmpty());
        if (!c.samePlace) {
            EXPECT_NEAR(ours.width() / ours.height(), theirs.width() / theirs.height(),
                        0.03 * theirs.width() / theirs.height());
            continue;
        }
        // Within two of the preview's pixels.
        const double dx = 2.0 / reference.width(), dy = 2.0 / reference.height();
        EXPECT_NEAR(ours.left(), theirs.left(), dx);
        EXPECT_NEAR(ours.right(), theirs.right(), dx);
        EXPECT_NEAR(ours.top(), theirs.top(), dy);
        EXPECT_NEAR(ours.bottom(), theirs.bottom(), dy);
    }
}

}  // namespace

TEST_F(DwgRenderTest, StylesDrawASolidsFacesOrItsLines) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const QString sample = QString::fromStdString(
        (testsupport::samplesFolder() / "R2018/restaurant_LAVAMANOS.dwg").string());
    const QString png = dir.filePath("out.png");
    std::map<QString, int> ink;
    for (const QString style : {"wireframe", "hidden", "shaded", "saved"}) {
        ASSERT_EQ(run({"--view", "saved", "--size", "400x200", "--style", style, sample, png}), 0)
            << style.toStdString();
        const QImage image(png);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ink[style] += image.pixel(x, y) != qRgb(255, 255, 255);
    }
    EXPECT_LT(ink["hidden"], ink["wireframe"]);
    EXPECT_GT(ink["shaded"], 2 * ink["wireframe"]);
    EXPECT_EQ(ink["saved"], ink["shaded"]);  // it was saved in a realistic look
    EXPECT_EQ(run({"--style", "sombreado", sample, png}), 2);
}

TEST(DwgRenderBudgetTest, ADrawingCutShortIsStillWrittenAndSaid) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool simplified;
    };
    const Case cases[] = {
        {"nested minsert", testsupport::nestedMinsertDrawing(), true},
        {"fine hatch", testsupport::fineHatchMinsertDrawing(), true},
        {"huge arc angle", testsupport::arcDrawing(1e17, -1e17), false},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString in = dir.filePath("in.dwg"), png = dir.filePath("out.png");
        QFile::remove(png);
        QFile file(in);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(c.bytes.data()),
                   static_cast<qint64>(c.bytes.size()));
        file.close();
        QProcess process;
        process.start(DWGRENDER_PATH, {in, png});
        ASSERT_TRUE(process.waitForFinished(60'000));
        EXPECT_EQ(process.exitCode(), 0);
        // Windows ends the lines "\r\n".
        const QString errors =
            QString::fromUtf8(process.readAllStandardError()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (c.simplified)
            EXPECT_EQ(
                errors,
                QStringLiteral("Desenho simplificado: parte dos elementos não foi desenhada.\n"));
        else
            EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
        EXPECT_FALSE(QImage(png).isNull());
    }
}
