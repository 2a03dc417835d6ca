// The thumbnail grid driven as the user and the main window drive it: real
// PNG files on disk, real mouse and key events, images decoded in the
// background.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QBuffer>
#include <QEnterEvent>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>

#include "ThumbnailLoader.h"
#include "browser/ThumbnailGrid.h"

namespace fs = std::filesystem;
using browser::ThumbnailGrid;

namespace {

// What a thumbnail of the library looks like: a landscape PNG.
constexpr QSize kThumbnailSize(200, 141);

QColor colourOf(int index) {
    return QColor::fromHsv((index * 37) % 360, 200, 220);
}

// Runs the event loop until condition holds; false when it never did. (Qt's
// own QTRY macros report to QtTest, not to GoogleTest, and leave the test
// without failing it.)
bool waitUntil(const std::function<bool()>& condition, int milliseconds) {
    return QTest::qWaitFor(condition, milliseconds);
}

bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

class ThumbnailGridTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    // Written through the path, so that names which are not UTF-8 keep their bytes.
    fs::path writeFile(const std::string& name, const QByteArray& bytes) {
        const fs::path path = fs::path(folder_.path().toStdString()) / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
        return path;
    }

    fs::path writePng(const std::string& name, const QColor& colour, QSize size = kThumbnailSize) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        return writeFile(name, encoded(image, "PNG"));
    }

    static QByteArray encoded(const QImage& image, const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return bytes;
    }

    // A shown grid laid out the way the main window does it: six columns,
    // tiles of the width the column formula gives for a 762 pixel grid.
    std::unique_ptr<ThumbnailGrid> shownGrid(const std::vector<fs::path>& files,
                                             QSize widgetSize = QSize(762, 420)) {
        auto grid = std::make_unique<ThumbnailGrid>();
        grid->resize(widgetSize);
        grid->setColumnCount(6);
        grid->setItemSize(QSize(112, 83));
        grid->beginUpdate();
        grid->clear();
        for (const fs::path& file : files) grid->addItem(file);
        grid->endUpdate();
        grid->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
        return grid;
    }

    std::vector<fs::path> distinctPngs(int count) {
        std::vector<fs::path> files;
        for (int i = 0; i < count; ++i)
            files.push_back(
                writePng(QStringLiteral("Bloco%1.PNG").arg(i, 3, 10, QChar('0')).toStdString(),
                         colourOf(i)));
        return files;
    }

    static bool fullyInView(const ThumbnailGrid& grid, int index) {
        return grid.viewport()->rect().contains(grid.tileRect(index));
    }

    static std::vector<int> indicesInView(const ThumbnailGrid& grid) {
        std::vector<int> inView;
        for (int i = 0; i < grid.count(); ++i)
            if (grid.viewport()->rect().intersects(grid.tileRect(i))) inView.push_back(i);
        return inView;
    }

    static void enter(ThumbnailGrid& grid) {
        QEnterEvent event(QPointF(5, 5), QPointF(5, 5), grid.mapToGlobal(QPointF(5, 5)));
        QCoreApplication::sendEvent(&grid, &event);
    }

    static void leave(ThumbnailGrid& grid) {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(&grid, &event);
    }

    QTemporaryDir folder_;
};

TEST_F(ThumbnailGridTest, ItemsCarryPathNameSizeAndDateOfTheirFile) {
    const fs::path first = writePng("Sofa01.PNG", Qt::red);
    const fs::path second = writePng("Mesa.de.jantar.png", Qt::blue, QSize(40, 30));
    const QDateTime stamp(QDate(2019, 3, 14), QTime(15, 9, 26));
    {
        QFile file(QString::fromStdString(second.string()));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }

    ThumbnailGrid grid;
    grid.addItem(first);
    grid.addItem(second);

    ASSERT_EQ(grid.count(), 2);
    EXPECT_EQ(grid.item(0).Location, first);
    EXPECT_EQ(grid.item(0).FileName, "Sofa01.PNG");
    EXPECT_EQ(grid.item(1).FileName, "Mesa.de.jantar.png");
    QFile written(QString::fromStdString(first.string()));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(grid.item(0).FileSize, written.readAll().size());
    EXPECT_GT(grid.item(0).FileSize, 0);
    EXPECT_EQ(grid.item(1).FileDate, stamp);
    EXPECT_EQ(grid.selectedIndex(), -1);
}

TEST_F(ThumbnailGridTest, ColumnCountAndItemSizePlaceTheTiles) {
    auto grid = shownGrid(distinctPngs(14));
    const int s = ThumbnailGrid::kSpacing;

    EXPECT_EQ(grid->tileRect(0), QRect(s, s, 112, 83));
    EXPECT_EQ(grid->tileRect(5), QRect(s + 5 * (112 + s), s, 112, 83));
    EXPECT_EQ(grid->tileRect(7), QRect(s + (112 + s), s + (83 + s), 112, 83));
    EXPECT_FALSE(grid->tileRect(14).isValid());

    grid->setColumnCount(7);
    grid->setItemSize(QSize(96, 72));
    EXPECT_EQ(grid->columnCount(), 7);
    EXPECT_EQ(grid->itemSize(), QSize(96, 72));
    EXPECT_EQ(grid->tileRect(6).top(), s) << "a seventh column now holds item 6";
    EXPECT_EQ(grid->tileRect(7), QRect(s, s + 72 + s, 96, 72));

    // The tile under a point; the gaps between tiles belong to none.
    EXPECT_EQ(grid->itemAt(grid->tileRect(9).center()), 9);
    EXPECT_EQ(grid->itemAt(grid->tileRect(9).topRight() + QPoint(2, 0)), -1);
    EXPECT_EQ(grid->itemAt(QPoint(s / 2, s / 2)), -1);
    EXPECT_EQ(grid->itemAt(QPoint(s + 7 * (96 + s) + 1, s + 1)), -1) << "right of the last column";

    // A column count that cannot be laid out is never taken literally.
    grid->setColumnCount(0);
    EXPECT_GE(grid->columnCount(), 1);
    EXPECT_TRUE(grid->tileRect(13).isValid());
}

TEST_F(ThumbnailGridTest, LayoutWidthIgnoresTheScrollBarAndTheFooterLeavesItRoom) {
    const std::vector<fs::path> few = distinctPngs(3);
    auto grid = shownGrid(few);
    ASSERT_FALSE(grid->verticalScrollBar()->isVisible());
    const int withoutBar = grid->layoutWidth();
    EXPECT_EQ(withoutBar, grid->width());

    grid->beginUpdate();
    for (int i = 0; i < 120; ++i) grid->addItem(few[i % 3]);
    grid->endUpdate();
    ASSERT_TRUE(waitUntil([&] { return grid->verticalScrollBar()->isVisible(); }, 5000));
    EXPECT_EQ(grid->layoutWidth(), withoutBar);

    // The column formula's margin must hold the bar: six columns of the
    // width it gives end left of the bar.
    const int columns = 6;
    const int width = (grid->layoutWidth() - columns * ThumbnailGrid::kSpacing - 30) / columns;
    grid->setItemSize(QSize(width, 60));
    const QRect bar(grid->verticalScrollBar()->mapTo(grid.get(), QPoint()),
                    grid->verticalScrollBar()->size());
    EXPECT_LT(grid->viewport()->mapTo(grid.get(), grid->tileRect(5).topRight()).x(), bar.left());

    // The footer band is 25 pixels high and covers neither tiles nor bar.
    const QRect viewport(grid->viewport()->mapTo(grid.get(), QPoint()), grid->viewport()->size());
    EXPECT_EQ(viewport.bottom(), grid->height() - 1 - ThumbnailGrid::kFooterHeight);
    EXPECT_LE(bar.bottom(), grid->height() - 1 - ThumbnailGrid::kFooterHeight);
}

TEST_F(ThumbnailGridTest, ClickingATileSelectsItForTheUser) {
    auto grid = shownGrid(distinctPngs(20));
    QSignalSpy selected(grid.get(), &ThumbnailGrid::itemSelected);

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->tileRect(8).center());
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.takeFirst().at(0).toInt(), 8);
    EXPECT_EQ(grid->selectedIndex(), 8);

    // Clicking the selected tile again is still a choice (it brings the
    // preview back); a click between tiles is none.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->tileRect(8).center());
    EXPECT_EQ(selected.count(), 1);
    selected.clear();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->tileRect(8).bottomRight() + QPoint(4, 4));
    EXPECT_EQ(selected.count(), 0);
    EXPECT_EQ(grid->selectedIndex(), 8);

    // The second press of a double-click arrives as a double-click event: it
    // selects nothing more and opens nothing.
    const QPointF tile3 = grid->tileRect(3).center();
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, tile3,
                            grid->viewport()->mapToGlobal(tile3), Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
    QCoreApplication::sendEvent(grid->viewport(), &doubleClick);
    EXPECT_EQ(selected.count(), 0);
    EXPECT_EQ(grid->selectedIndex(), 8);
}

TEST_F(ThumbnailGridTest, KeysMoveTheSelectionAndReportIt) {
    auto grid = shownGrid(distinctPngs(200));  // 34 rows, far more than a page
    QSignalSpy selected(grid.get(), &ThumbnailGrid::itemSelected);
    grid->setFocus();
    grid->setSelectedIndex(0);

    auto press = [&](Qt::Key key) {
        selected.clear();
        QTest::keyClick(grid.get(), key);
        return selected.isEmpty() ? -1 : selected.takeFirst().at(0).toInt();
    };

    EXPECT_EQ(press(Qt::Key_Right), 1);
    EXPECT_EQ(press(Qt::Key_Down), 7);
    EXPECT_EQ(press(Qt::Key_Left), 6);
    EXPECT_EQ(press(Qt::Key_Up), 0);
    EXPECT_EQ(press(Qt::Key_Up), -1) << "nothing above the first row";
    EXPECT_EQ(press(Qt::Key_Left), -1) << "nothing before the first item";
    EXPECT_EQ(grid->selectedIndex(), 0);

    const int pageDown = press(Qt::Key_PageDown);
    EXPECT_GT(pageDown, 6) << "a page is more than one row";
    EXPECT_EQ(pageDown % 6, 0) << "a page keeps the column";
    EXPECT_TRUE(fullyInView(*grid, pageDown));
    EXPECT_EQ(press(Qt::Key_PageUp), 0);

    EXPECT_EQ(press(Qt::Key_End), 199);
    EXPECT_TRUE(fullyInView(*grid, 199));
    EXPECT_EQ(press(Qt::Key_Right), -1);
    EXPECT_EQ(press(Qt::Key_Down), -1);
    EXPECT_EQ(press(Qt::Key_PageDown), -1);
    EXPECT_EQ(press(Qt::Key_Home), 0);
    EXPECT_TRUE(fullyInView(*grid, 0));
}

TEST_F(ThumbnailGridTest, ShortLastRowDownGoesToTheLastItem) {
    auto grid = shownGrid(distinctPngs(10));  // rows of 6 and 4
    QSignalSpy selected(grid.get(), &ThumbnailGrid::itemSelected);
    grid->setFocus();
    grid->setSelectedIndex(5);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.takeFirst().at(0).toInt(), 9);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(selected.count(), 0) << "already in the last row";
}

TEST_F(ThumbnailGridTest, NavigatorShowsUnderTheMouseAndWalksTheGrid) {
    auto grid = shownGrid(distinctPngs(100));
    QSignalSpy selected(grid.get(), &ThumbnailGrid::itemSelected);
    auto* previousItem = grid->findChild<QAbstractButton*>("previousItemButton");
    auto* nextItem = grid->findChild<QAbstractButton*>("nextItemButton");
    auto* previousPage = grid->findChild<QAbstractButton*>("previousPageButton");
    auto* nextPage = grid->findChild<QAbstractButton*>("nextPageButton");
    ASSERT_TRUE(previousItem && nextItem && previousPage && nextPage);
    EXPECT_EQ(previousItem->toolTip(), "Previous Item");
    EXPECT_EQ(nextItem->toolTip(), "Next Item");
    EXPECT_EQ(previousPage->toolTip(), "Previous Page");
    EXPECT_EQ(nextPage->toolTip(), "Next Page");

    leave(*grid);
    EXPECT_FALSE(nextItem->isVisible()) << "hidden while the mouse is elsewhere";
    enter(*grid);
    ASSERT_TRUE(nextItem->isVisible());
    EXPECT_TRUE(previousPage->isVisible());
    EXPECT_LT(grid->viewport()->mapTo(grid.get(), QPoint(0, grid->viewport()->height())).y(),
              nextItem->mapTo(grid.get(), QPoint()).y() + 1)
        << "the navigator sits in the footer, under the tiles";

    grid->setSelectedIndex(0);
    QTest::mouseClick(nextItem, Qt::LeftButton);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.takeFirst().at(0).toInt(), 1);
    QTest::mouseClick(previousItem, Qt::LeftButton);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.takeFirst().at(0).toInt(), 0);
    EXPECT_FALSE(previousItem->isEnabled()) << "nothing before the first item";

    QTest::mouseClick(nextPage, Qt::LeftButton);
    ASSERT_EQ(selected.count(), 1);
    const int page = selected.takeFirst().at(0).toInt();
    EXPECT_GT(page, 6);
    EXPECT_TRUE(fullyInView(*grid, page));
    QTest::mouseClick(previousPage, Qt::LeftButton);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.takeFirst().at(0).toInt(), 0);

    leave(*grid);
    EXPECT_FALSE(nextItem->isVisible());

    // One item has nowhere to walk: the navigator stays hidden.
    grid->clear();
    grid->addItem(distinctPngs(1).front());
    enter(*grid);
    EXPECT_FALSE(nextItem->isVisible());
}

TEST_F(ThumbnailGridTest, SelectionsByTheProgramAreSilentAndScrollIntoView) {
    auto grid = shownGrid(distinctPngs(200));
    QSignalSpy selected(grid.get(), &ThumbnailGrid::itemSelected);

    grid->setSelectedIndex(199);
    EXPECT_EQ(grid->selectedIndex(), 199);
    EXPECT_TRUE(fullyInView(*grid, 199));
    grid->setSelectedIndex(90);
    EXPECT_TRUE(fullyInView(*grid, 90));
    grid->setSelectedIndex(500);
    EXPECT_EQ(grid->selectedIndex(), -1);
    grid->setSelectedIndex(4);

    // The bulk fill of a category: no layout in between, nothing reported.
    grid->beginUpdate();
    grid->clear();
    EXPECT_EQ(grid->selectedIndex(), -1);
    for (const fs::path& file : distinctPngs(30)) grid->addItem(file);
    grid->endUpdate();
    grid->setSelectedIndex(0);
    EXPECT_EQ(grid->count(), 30);
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);

    grid->clear();
    EXPECT_EQ(grid->count(), 0);
    EXPECT_EQ(grid->selectedIndex(), -1);
    QCoreApplication::processEvents();
    EXPECT_EQ(selected.count(), 0);
}

TEST_F(ThumbnailGridTest, ThumbnailsArriveFromWorkerThreadsAndShowInTheirTiles) {
    auto grid = shownGrid(distinctPngs(12));
    ASSERT_TRUE(waitUntil(
        [&] {
            for (int i = 0; i < 12; ++i)
                if (!grid->isThumbnailLoaded(i)) return false;
            return true;
        },
        10000));
    const auto stats = grid->decodeStats();
    EXPECT_GE(stats.decoded, 12);
    EXPECT_EQ(stats.decodedOnUiThread, 0);
    EXPECT_EQ(stats.failed, 0);

    const QImage shot = grid->viewport()->grab().toImage();
    for (int i : {0, 5, 11}) {
        const QColor centre = shot.pixelColor(grid->tileRect(i).center() * shot.devicePixelRatio());
        EXPECT_TRUE(near(centre, colourOf(i), 8))
            << "tile " << i << " shows " << centre.name().toStdString();
    }
    // Fitted with its aspect: a landscape image leaves the tile's gradient
    // above and below it in a square tile.
    grid->setItemSize(QSize(100, 100));
    ASSERT_TRUE(waitUntil([&] { return grid->isThumbnailLoaded(0); }, 10000));
    const QImage square = grid->viewport()->grab().toImage();
    const QRect tile = grid->tileRect(0);
    EXPECT_TRUE(near(square.pixelColor(tile.center()), colourOf(0), 8));
    EXPECT_FALSE(near(square.pixelColor(tile.center().x(), tile.top() + 8), colourOf(0), 8));
}

TEST_F(ThumbnailGridTest, UnreadableFilesGetAPlaceholder) {
    const fs::path good = writePng("Bom.PNG", Qt::red);
    QImage green(kThumbnailSize, QImage::Format_RGB32);
    green.fill(Qt::green);
    const QByteArray truncated = encoded(green, "PNG").left(60);
    QImage huge(5000, 5000, QImage::Format_Mono);
    huge.fill(0);
    const fs::path hugePath = writeFile("Enorme.PNG", encoded(huge, "PNG"));

    auto grid = shownGrid({good, writeFile("Lixo.PNG", "not a picture at all"),
                           writeFile("Cortado.PNG", truncated), writeFile("Vazio.PNG", {}),
                           hugePath, good});
    ASSERT_TRUE(waitUntil(
        [&] {
            return grid->isThumbnailFailed(1) && grid->isThumbnailFailed(2) &&
                   grid->isThumbnailFailed(3) && grid->isThumbnailFailed(4);
        },
        10000));
    ASSERT_TRUE(
        waitUntil([&] { return grid->isThumbnailLoaded(0) && grid->isThumbnailLoaded(5); }, 10000));
    EXPECT_FALSE(grid->isThumbnailFailed(0));

    // The placeholder is drawn in the tile's border colour inside the tile,
    // where a good tile shows its picture and an empty one only its gradient.
    const QImage shot = grid->viewport()->grab().toImage();
    const QColor border = browser::GridColors::olive().tile.border;
    auto borderPixelsInside = [&](int index) {
        const QRect inside = grid->tileRect(index).adjusted(6, 6, -6, -6);
        int found = 0;
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                found += near(shot.pixelColor(x, y), border, 12);
        return found;
    };
    EXPECT_GT(borderPixelsInside(1), 50);
    EXPECT_GT(borderPixelsInside(4), 50);
    EXPECT_EQ(borderPixelsInside(0), 0);
}

// A BMP of 1 x 16,000,000 pixels in 64 bytes: its run-length data ends at once.
QByteArray tallBmp() {
    QByteArray bytes;
    auto put = [&](quint32 value, int size) {
        for (int i = 0; i < size; ++i) bytes.append(static_cast<char>(value >> (8 * i)));
    };
    bytes.append("BM");
    put(64, 4), put(0, 4), put(62, 4);                      // file size, reserved, pixel offset
    put(40, 4), put(1, 4), put(16000000, 4), put(1, 2);     // header size, width, height, planes
    put(8, 2), put(1, 4), put(2, 4), put(0, 4), put(0, 4);  // 8 bits, RLE8, data size, resolution
    put(2, 4), put(0, 4);                                   // palette of two colours
    put(0, 4), put(0x00FFFFFF, 4);
    bytes.append("\x00\x01", 2);  // end of bitmap
    return bytes;
}

// Whatever a file holds, its tile ends loaded or failed, and once every tile
// has settled no file is decoded again: an image too large for the cache or a
// format the grid does not take must not be decoded over and over.
TEST_F(ThumbnailGridTest, EveryThumbnailEndsLoadedOrFailedOnce) {
    QImage tall(1, 1000000, QImage::Format_Mono);
    tall.fill(1);
    QImage small(40, 30, QImage::Format_RGB32);
    small.fill(Qt::darkCyan);
    struct Case {
        std::string name;
        QByteArray bytes;
        bool loads;
    };
    const std::vector<Case> cases = {
        {"Alta.PNG", encoded(tall, "PNG"), true},     {"AltaDeVerdadeBmp.png", tallBmp(), false},
        {"Foto.PNG", encoded(small, "JPEG"), false},  {"Icone.PNG", encoded(small, "BMP"), false},
        {"Sof\xE1.PNG", encoded(small, "PNG"), true},  // Latin-1 bytes, as Windows archives give
    };
    std::vector<fs::path> files;
    for (const Case& c : cases) files.push_back(writeFile(c.name, c.bytes));
    auto grid = shownGrid(files);
    const int count = static_cast<int>(cases.size());
    auto settled = [&] {
        for (int i = 0; i < count; ++i)
            if (!grid->isThumbnailLoaded(i) && !grid->isThumbnailFailed(i)) return false;
        return true;
    };
    ASSERT_TRUE(waitUntil([&] { return settled(); }, 20000));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(grid->isThumbnailLoaded(i), cases[i].loads) << cases[i].name;
        EXPECT_EQ(grid->isThumbnailFailed(i), !cases[i].loads) << cases[i].name;
    }
    EXPECT_EQ(grid->decodeStats().decoded, count);
    grid->viewport()->repaint();
    QTest::qWait(300);
    EXPECT_EQ(grid->decodeStats().decoded, count) << "a settled tile is never decoded again";
}

// Images are fitted to the tile before the grid caches them, in whichever
// direction they are too large. Every decode is counted by the thread it ran
// on: these, called here, on the user-interface thread.
TEST_F(ThumbnailGridTest, DecodedImagesFitTheTile) {
    struct Case {
        QSize image;
        QSize decoded;
    };
    const QSize tile(102, 73);
    const std::vector<Case> cases = {
        {{1, 1000000}, {1, 73}},
        {{4000, 10}, {102, 1}},
        {{300, 300}, {73, 73}},
        {{40, 30}, {40, 30}},  // small ones are scaled up when painted, not in memory
    };
    browser::ThumbnailLoader loader(1);
    for (const Case& c : cases) {
        QImage image(c.image, QImage::Format_Mono);
        image.fill(0);
        const fs::path file = writeFile("imagem.PNG", encoded(image, "PNG"));
        EXPECT_EQ(loader.decode(library::categoryBlockOf(file), tile).image.size(), c.decoded)
            << c.image.width() << "x" << c.image.height();
    }
    EXPECT_EQ(loader.decodedOnUiThreadCount(), static_cast<int>(cases.size()));
}

TEST_F(ThumbnailGridTest, TilesInViewAreDecodedFirstAndFarOnesNever) {
    const std::vector<fs::path> some = distinctPngs(30);
    std::vector<fs::path> many;
    for (std::size_t i = 0; i < 600; ++i) many.push_back(some[i % some.size()]);
    auto grid = shownGrid(many);
    QSignalSpy arrived(grid.get(), &ThumbnailGrid::thumbnailLoaded);

    const std::vector<int> firstView = indicesInView(*grid);
    ASSERT_GE(firstView.size(), 18u);
    auto allLoaded = [&](const std::vector<int>& indices) {
        for (int i : indices)
            if (!grid->isThumbnailLoaded(i)) return false;
        return true;
    };
    ASSERT_TRUE(waitUntil([&] { return allLoaded(firstView); }, 10000));

    // Workers take the tiles in view before any other; only the few decodes
    // already running when the last one was taken may overtake it.
    const std::set<int> inView(firstView.begin(), firstView.end());
    constexpr int kMostWorkers = 4;
    const int surelyFirst =
        std::min<int>(arrived.count(), static_cast<int>(firstView.size()) - (kMostWorkers - 1));
    for (int i = 0; i < surelyFirst; ++i)
        EXPECT_TRUE(inView.count(arrived.at(i).at(0).toInt())) << "arrival " << i;

    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    const std::vector<int> lastView = indicesInView(*grid);
    ASSERT_TRUE(std::find(lastView.begin(), lastView.end(), 599) != lastView.end());
    ASSERT_TRUE(waitUntil([&] { return allLoaded(lastView); }, 10000));
    QTest::qWait(200);  // let any decode still queued finish, to count them all

    EXPECT_FALSE(grid->isThumbnailLoaded(300))
        << "the middle of the list was never in or near view";
    const auto stats = grid->decodeStats();
    EXPECT_LT(stats.decoded, 4 * static_cast<int>(firstView.size() + lastView.size()));
    EXPECT_EQ(stats.decodedOnUiThread, 0);
}

TEST_F(ThumbnailGridTest, TileFramesShowSelectionHoverAndDisabledColours) {
    auto grid = shownGrid(distinctPngs(12));
    grid->setSelectedIndex(2);
    const QPointF over = grid->tileRect(4).center();
    QMouseEvent move(QEvent::MouseMove, over, grid->viewport()->mapToGlobal(over), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(grid->viewport(), &move);

    // The top of a tile's frame, above its image, is the start of its gradient.
    auto frameTop = [&](const QImage& shot, int index) {
        const QRect tile = grid->tileRect(index);
        return shot.pixelColor(tile.center().x(), tile.top() + 2);
    };
    // The olive preset's gradients start at these colours.
    QImage shot = grid->viewport()->grab().toImage();
    EXPECT_TRUE(near(frameTop(shot, 2), QColor(251, 230, 148), 6));
    EXPECT_TRUE(near(frameTop(shot, 4), QColor(255, 253, 235), 6));
    EXPECT_TRUE(near(frameTop(shot, 0), QColor(234, 240, 207), 6));
    EXPECT_TRUE(near(shot.pixelColor(grid->tileRect(0).right() + 5, 40), QColor(234, 240, 207), 0));

    grid->setEnabled(false);
    shot = grid->viewport()->grab().toImage();
    EXPECT_TRUE(near(frameTop(shot, 2), QColor(242, 242, 242), 6));
}

TEST_F(ThumbnailGridTest, TooltipNamesTheBlock) {
    auto grid = shownGrid({writePng("Cadeira.giratoria.PNG", Qt::gray)});
    const QPoint centre = grid->tileRect(0).center();
    QHelpEvent help(QEvent::ToolTip, centre, grid->viewport()->mapToGlobal(centre));
    QCoreApplication::sendEvent(grid->viewport(), &help);
    ASSERT_TRUE(waitUntil([&] { return QToolTip::isVisible(); }, 5000));
    EXPECT_EQ(QToolTip::text(), "Cadeira.giratoria");
    QToolTip::hideText();
}

}  // namespace
