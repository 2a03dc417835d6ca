// The preview window through the real windows: tiles are clicked, the walk
// buttons pressed, the zip reader's question answered, and the program folder
// checked afterwards. Waits run through the sleep seam, which counts them.
#include <dwg/Reader.h>
#include <gtest/gtest.h>
#include <render/Build.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <functional>

#include "Links.h"
#include "../archive/ZipFixtures.h"
#include "../ui/DialogDriver.h"
#include "Samples.h"
#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "library/Library.h"
#include "preview/DwgViewer.h"
#include "preview/UNfrmPreview.h"
#include "ui/Pump.h"
#include "ui/Windows.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCategory = 3;  // "Cozinhas"
constexpr const char* kSink = "R2000/libredwg_sample_2000.dwg";
constexpr const char* kStove = "R2000/libredwg_entities-2d.dwg";

fs::path sample(const char* relative) {
    return testsupport::samplesFolder() / relative;
}

QString captionOf(const std::string& block) {
    return QStringLiteral("» Biblioteca - Cozinhas - Bloco ") + QString::fromStdString(block);
}

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::setSleepForTests([this](int ms) {
            sleeps.push_back(ms);
            if (onSleep) std::exchange(onSleep, nullptr)();
        });
        program = temp.path() / "programa";
        fs::create_directories(category() / "IMG");
        fs::create_directories(category() / "DWG");
    }
    void TearDown() override {
        ui::setSleepForTests({});
        ui::windows() = {};
    }

    fs::path category() const { return program / "Blocos" / std::to_string(kCategory); }
    fs::path archiveOf(const std::string& block) const {
        return category() / "DWG" / library::pathFromUtf8(block + ".DWG.zip");
    }
    // A thumbnail, and an archive holding `drawing` unless it is empty.
    void addBlock(const std::string& block, const std::string& drawing) {
        QImage image(30, 20, QImage::Format_RGB32);
        image.fill(Qt::gray);
        const fs::path thumbnail = category() / "IMG" / library::pathFromUtf8(block + ".PNG");
        ASSERT_TRUE(image.save(QString::fromStdString(library::pathToUtf8(thumbnail))));
        if (!drawing.empty())
            fixtures::writeWithLibzip(archiveOf(block),
                                      {fixtures::Member(block + ".DWG", drawing)});
    }
    void addSample(const std::string& block, const char* file) {
        addBlock(block, fixtures::readFile(sample(file)));
    }

    void openCategory() {
        main = std::make_unique<browser::TfrmVisualizar>(library::Layout(program));
        preview = std::make_unique<preview::TfrmPreview>();
        ui::windows().main = main.get();
        ui::windows().preview = preview.get();
        QObject::connect(preview->bVer, &QPushButton::clicked, [this] { ++refreshes; });
        // Its first-show step, half a second after showing, would reload the
        // grid and drop the category list down in the middle of a slow test.
        main->tBrowser->stop();
        main->show();
        main->cArea->setCurrentIndex(kCategory);
        emit main->cArea->activated(kCategory);
    }
    int indexOf(const std::string& block) const {
        for (int i = 0; i < main->Lista->count(); ++i)
            if (main->Lista->item(i).FileName == library::pathFromUtf8(block + ".PNG")) return i;
        return -1;
    }
    void clickTile(const std::string& block) {
        QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {},
                          main->Lista->tileRect(indexOf(block)).center());
    }

    // The viewer holds this drawing's display list.
    void expectShows(const fs::path& drawing) const {
        const render::DisplayList expected = render::buildModelSpace(dwg::read(drawing));
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !preview->dwg->isBuilding(); }, 10000));
        EXPECT_TRUE(preview->dwg->failureText().isEmpty());
        EXPECT_EQ(preview->dwg->displayList().items.size(), expected.items.size());
        EXPECT_EQ(preview->dwg->displayList().points.size(), expected.points.size());
    }
    // No TMP.ZIP, no drawing left in the library root, the grid has the keyboard.
    void expectCleanEnd() const {
        EXPECT_FALSE(fs::exists(program / "TMP.ZIP"));
        // The search index lives beside the categories.
        for (const auto& entry : fs::directory_iterator(program / "Blocos"))
            EXPECT_TRUE(entry.is_directory() ||
                        entry.path().filename().string().starts_with("indice.db"))
                << entry.path();
        EXPECT_TRUE(main->shared().PreviewDrawingPath.empty());
        EXPECT_EQ(QApplication::focusWidget(), main->Lista);
    }

    fixtures::TempFolder temp;
    fs::path program;
    std::unique_ptr<browser::TfrmVisualizar> main;
    std::unique_ptr<preview::TfrmPreview> preview;
    int refreshes = 0;
    std::vector<int> sleeps;
    std::function<void()> onSleep;  // run once, at the next sleep
};

}  // namespace

TEST_F(PreviewTest, SelectingABlockShowsItsDrawing) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addSample("Pia01", kSink);
    addSample("Fogão01", kStove);
    openCategory();
    clickTile("Fogão01");
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(main->secondStatusPanelText(), captionOf("Fogão01"));
    EXPECT_EQ(preview->windowTitle(), captionOf("Fogão01"));
    expectShows(sample(kStove));
    expectCleanEnd();
    EXPECT_EQ(sleeps, std::vector<int>{}) << "no wait when the copy is there at once";
}

TEST_F(PreviewTest, WalkStaysWithinTheGrid) {
    enum Press { Next, Previous, EnterOnDrawing };
    const struct {
        int blocks, start;
        Press press;
        int end;
        bool refreshed;  // after one 100 ms pause
    } cases[] = {
        {3, 0, Previous, 0, false},   {3, 2, Next, 2, false},    {0, -1, Next, -1, false},
        {0, -1, Previous, -1, false}, {3, -1, Next, 0, true},    {3, -1, Previous, -1, false},
        {3, 1, Next, 2, true},        {3, 1, Previous, 0, true}, {3, 0, EnterOnDrawing, 1, true},
    };
    for (int i = 0; i < 3; ++i) addBlock("Bloco" + std::to_string(i), "x");
    openCategory();
    preview->show();
    for (const auto& walk : cases) {
        SCOPED_TRACE(testing::Message()
                     << walk.blocks << " blocks, from " << walk.start << ", press " << walk.press);
        if (walk.blocks == 0) main->Lista->clear();
        main->Lista->setSelectedIndex(walk.start);
        refreshes = 0;
        sleeps.clear();
        if (walk.press == EnterOnDrawing)
            QTest::keyClick(preview->dwg, Qt::Key_Return);
        else
            QTest::mouseClick(walk.press == Next ? preview->bProximo : preview->bAnterior,
                              Qt::LeftButton);
        EXPECT_EQ(main->Lista->selectedIndex(), walk.end);
        EXPECT_EQ(refreshes, walk.refreshed ? 1 : 0);
        EXPECT_EQ(sleeps, std::vector<int>(walk.refreshed ? 1 : 0, 100));
        if (walk.refreshed) {
            EXPECT_EQ(preview->windowTitle(), captionOf("Bloco" + std::to_string(walk.end)));
            EXPECT_EQ(QApplication::focusWidget(), main->Lista);
        }
        if (walk.blocks == 0) main->LoadBlockList();
    }
}

TEST_F(PreviewTest, MissingArchiveWaitsSixSecondsAndKeepsThePreviousDrawing) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addSample("Pia01", kSink);
    addBlock("Sem arquivo", "");
    openCategory();
    clickTile("Pia01");
    sleeps.clear();
    clickTile("Sem arquivo");
    // Six checks, each failed one followed by ten pauses of 100 ms.
    EXPECT_EQ(sleeps, std::vector<int>(60, 100));
    EXPECT_EQ(preview->windowTitle(), captionOf("Sem arquivo"));
    EXPECT_EQ(main->secondStatusPanelText(), captionOf("Sem arquivo"));
    // Without an empty drawing to blank it, the viewer keeps the block before.
    expectShows(sample(kSink));
    expectCleanEnd();
}

TEST_F(PreviewTest, EmptyDrawingBlanksTheViewerAndClearsTheCaption) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    // Any drawing serves to see that the viewer is given the empty one.
    testsupport::copySample(sample("R2000/libredwg_circle.dwg"), program / "vazio.dwg");
    addSample("Pia01", kSink);
    openCategory();
    clickTile("Pia01");
    expectShows(sample(kSink));
    main->Lista->setSelectedIndex(-1);
    preview->clickRefresh();
    EXPECT_EQ(preview->windowTitle(), QString());
    expectShows(program / "vazio.dwg");

    clickTile("Pia01");
    preview->hide();
    preview->show();
    expectShows(program / "vazio.dwg");
}

TEST_F(PreviewTest, DamagedOrUnreadableDrawingShowsWhyAndCleansUp) {
    const struct {
        const char* block;
        const char* answer;  // to the reader's question; none for a member that extracts
        bool damaged;
    } cases[] = {{"Pia01", "Abort", true}, {"Pia02", "Ignore", true}, {"Pia03", nullptr, false}};
    for (const auto& c : cases) {
        addBlock(c.block, c.damaged ? fixtures::drawingBytes(40000, 3) : "not a drawing");
        if (c.damaged) fixtures::damageMember(archiveOf(c.block), std::string(c.block) + ".DWG");
    }
    openCategory();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        QString question;
        if (c.answer)
            ui_test::whenModalActive([&](QDialog* box) {
                question = box->windowTitle() + QLatin1Char('|') +
                           box->findChild<QLabel*>(QStringLiteral("message"))->text();
                ui_test::clickButton(box, c.answer);
            });
        clickTile(c.block);
        if (c.answer) {
            EXPECT_TRUE(question.startsWith(QStringLiteral("Confirmação|zip: ")));
        }
        EXPECT_EQ(preview->windowTitle(), captionOf(c.block));
        // A file that is read but does not parse fails on the viewer's worker.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !preview->dwg->isBuilding(); }, 10000));
        EXPECT_TRUE(preview->dwg->failureText().startsWith(
            QStringLiteral("Não foi possível ler o desenho: ")));
        EXPECT_TRUE(preview->dwg->displayList().empty());
        expectCleanEnd();
    }
}

TEST_F(PreviewTest, UsersOwnDrawingOfTheBlocksNameIsNeverTouched) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addSample("Pia01", kSink);
    addSample("Pia02", kStove);
    const fs::path users = program / "Blocos" / "Pia01.DWG";
    testsupport::copySample(sample("R2000/libredwg_circle.dwg"), users);
    const std::string before = fixtures::readFile(users);
    openCategory();
    clickTile("Pia01");
    expectShows(sample(kSink));
    clickTile("Pia02");
    clickTile("Pia01");
    EXPECT_TRUE(fixtures::readFile(users) == before) << "the user's file was changed";
    std::vector<std::string> root;
    for (const auto& entry : fs::directory_iterator(program / "Blocos"))
        if (!entry.path().filename().string().starts_with("indice.db"))
            root.push_back(entry.path().filename().string());
    std::sort(root.begin(), root.end());
    EXPECT_EQ(root, (std::vector<std::string>{"3", "Pia01.DWG"}));
    EXPECT_FALSE(fs::exists(program / "TMP.ZIP"));
}

// Links where the refresh writes are never followed: TMP.ZIP is made afresh
// after the old name is unlinked, and a link at the preview drawing's name,
// even one that leads nowhere, counts as taken.
TEST_F(PreviewTest, LinksAtTheRefreshsPathsAreNeverWrittenThrough) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const fs::path outside = temp.path() / "fora";
    struct Case {
        const char* name;
        std::function<void()> plant;
        fs::path mustNotExist;
    };
    const Case cases[] = {
        {"TMP.ZIP a link to a file", [&] {
             fixtures::writeFile(outside / "alvo.txt", "not the program's");
             testsupport::plantLink(outside / "alvo.txt", program / "TMP.ZIP");
         }, {}},
        {"TMP.ZIP a link to nowhere",
         [&] { testsupport::plantLink(outside / "novo.zip", program / "TMP.ZIP"); },
         outside / "novo.zip"},
        {"the drawing's name a link to nowhere",
         [&] {
             testsupport::plantLink(outside / "Pia01.DWG", program / "Blocos" / "Pia01.DWG");
         },
         outside / "Pia01.DWG"},
    };
    addSample("Pia01", kSink);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(outside);
        fs::create_directories(outside);
        std::error_code ignored;
        fs::remove(program / "TMP.ZIP", ignored);
        fs::remove(program / "Blocos" / "Pia01.DWG", ignored);
        c.plant();
        const std::vector<std::string> before = fixtures::listTree(outside);
        openCategory();
        clickTile("Pia01");
        expectShows(sample(kSink));
        EXPECT_EQ(fixtures::listTree(outside), before);
        if (!c.mustNotExist.empty()) {
            EXPECT_FALSE(fs::exists(c.mustNotExist));
        }
        if (fs::exists(outside / "alvo.txt")) {
            EXPECT_EQ(fixtures::readFile(outside / "alvo.txt"), "not the program's");
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(program / "TMP.ZIP")));
    }
}

TEST_F(PreviewTest, RefreshAskedForDuringARefreshRunsAfterItForTheNewSelection) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addBlock("Sem arquivo", "");
    addSample("Pia01", kSink);
    openCategory();
    QString captionInside;
    onSleep = [&] {  // in the first refresh's wait, the user picks another block
        main->Lista->setSelectedIndex(indexOf("Pia01"));
        preview->clickRefresh();
        captionInside = preview->windowTitle();
    };
    clickTile("Sem arquivo");
    EXPECT_EQ(captionInside, captionOf("Sem arquivo")) << "no refresh inside the first";
    EXPECT_EQ(sleeps.size(), 60u) << "the first refresh ran to its end";
    EXPECT_EQ(preview->windowTitle(), captionOf("Pia01"));
    expectShows(sample(kSink));
    expectCleanEnd();
}

TEST_F(PreviewTest, RefreshAskedForDuringAnExportWaitsForTheExportToEnd) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addSample("Pia01", kSink);
    addSample("Pia02", kStove);
    const fs::path target = temp.path() / "Meus desenhos";
    fs::create_directories(target);
    openCategory();
    clickTile("Pia01");
    QString captionDuringExport;
    ui_test::whenModalActive([&](QDialog* save) {
        // Under the export's last message, with the reader still lent, the user picks a block.
        ui_test::whenModalActive([&](QDialog* done) {
            main->Lista->setSelectedIndex(indexOf("Pia02"));
            main->ListaItemSelect(main->Lista->selectedIndex());
            captionDuringExport = preview->windowTitle();
            ui_test::pressKey(done, Qt::Key_Return);
        });
        auto* name = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setText(QString::fromStdString(library::pathToUtf8(target / "Pia01")));
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(main->bSalvar, Qt::LeftButton);
    EXPECT_TRUE(fs::exists(target / "Pia01.DWG"));
    EXPECT_EQ(captionDuringExport, captionOf("Pia01"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return preview->windowTitle() == captionOf("Pia02"); }, 5000));
    expectShows(sample(kStove));
    expectCleanEnd();
}

TEST(PreviewPlacement, BottomRightOfTheWorkAreaWhereverThePanelIs) {
    const QSize window(352, 380);
    const struct {
        QRect workArea;  // the screen 1920 x 1080 less a panel
        QPoint expected;
    } cases[] = {
        {QRect(0, 0, 1920, 1080), QPoint(1568, 700)},     // no panel
        {QRect(0, 0, 1920, 1040), QPoint(1568, 660)},     // bottom
        {QRect(0, 40, 1920, 1040), QPoint(1568, 700)},    // top
        {QRect(64, 0, 1856, 1080), QPoint(1568, 700)},    // left
        {QRect(0, 0, 1856, 1080), QPoint(1504, 700)},     // right
        {QRect(-1280, 0, 1280, 984), QPoint(-352, 604)},  // a primary screen left of the origin
        {QRect(10, 20, 300, 200), QPoint(10, 20)},        // smaller than the window
    };
    for (const auto& c : cases)
        EXPECT_EQ(preview::bottomRightPlacement(c.workArea, window), c.expected)
            << c.workArea.x() << "," << c.workArea.y();
}

TEST_F(PreviewTest, WindowAsDesigned) {
    openCategory();
    preview->resize(334, 350);
    preview->show();
    EXPECT_EQ(preview->windowTitle(), QStringLiteral("Navegador"));
    EXPECT_EQ(preview->windowType(), Qt::Tool);
    EXPECT_TRUE(preview->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(preview->minimumSize(), QSize(300, 300));
    EXPECT_FALSE(preview->bVer->isVisible());
    // The drawing's menu holds only the favourite's mark.
    EXPECT_EQ(preview->pop1->actions(), QList<QAction*>{preview->aFavorito});
    EXPECT_TRUE(preview->bProximo->isDefault());
    // "Próximo >" is the first control the keyboard reaches, then "< Anterior".
    QWidget* first = preview->nextInFocusChain();
    while (!(first->isVisible() && first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    EXPECT_EQ(first, preview->bProximo);
    EXPECT_EQ(preview->bProximo->nextInFocusChain(), preview->bAnterior);
    // At the design width the 41-pixel panel has the buttons at 47 and 182.
    EXPECT_EQ(preview->dwg->geometry(), QRect(0, 0, 334, 350 - 41));
    EXPECT_EQ(preview->bAnterior->geometry(), QRect(47, 8, 105, 25));
    EXPECT_EQ(preview->bProximo->geometry(), QRect(182, 8, 105, 25));
    // Twice as wide, each centre keeps its fraction of the width.
    preview->resize(668, 400);
    EXPECT_EQ(preview->bAnterior->geometry().center().x(), 198);
    EXPECT_EQ(preview->bProximo->geometry().center().x(), 468);
}

TEST(PreviewPlacement, TheFrameFitsTheWorkArea) {
    const QSize minimum(300, 300);
    const QMargins frame(4, 24, 4, 4);
    const struct {
        QSize workArea;
        QSize size;
        QSize expected;
    } cases[] = {
        {{1280, 984}, {350, 350}, {350, 350}},      // fits: the user's size stays
        {{1280, 984}, {1272, 956}, {1272, 956}},    // fits exactly
        {{1280, 984}, {1273, 957}, {1272, 956}},    // one pixel too large each way
        {{1280, 984}, {3000, 400}, {1272, 400}},    // too wide only
        {{320, 240}, {350, 350}, {312, 300}},       // never below the minimum
    };
    for (const auto& c : cases)
        EXPECT_EQ(preview::sizeWithinWorkArea(c.workArea, frame, c.size, minimum), c.expected)
            << c.size.width() << "x" << c.size.height();
}

TEST_F(PreviewTest, ShownAtTheBottomRightKeepingTheUsersSize) {
    openCategory();
    const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
    const auto frame = [&] { return preview->windowHandle()->frameGeometry(); };
    preview->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(preview.get()));
    EXPECT_EQ(frame().bottomRight(), workArea.bottomRight());
    EXPECT_TRUE(workArea.contains(frame()));
    // The user makes it larger and drags it away; it is hidden and shown again.
    preview->resize(420, 380);
    preview->move(workArea.topLeft());
    preview->hide();
    preview->show();
    EXPECT_EQ(preview->size(), QSize(420, 380));
    EXPECT_EQ(frame().bottomRight(), workArea.bottomRight());
    // Larger than the screen: it comes back whole, as large as the screen allows.
    preview->resize(workArea.size() + QSize(50, 50));
    preview->hide();
    preview->show();
    EXPECT_TRUE(workArea.contains(frame()))
        << frame().width() << "x" << frame().height() << " in " << workArea.width() << "x"
        << workArea.height();
    EXPECT_EQ(frame().topLeft(), workArea.topLeft());
}
