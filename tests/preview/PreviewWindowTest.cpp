// The preview window through the real windows: the main window's grid is
// clicked, the walk buttons are pressed, the zip reader's question answered,
// and the program folder is checked afterwards. Waits run through the sleep
// seam, which counts them instead of sleeping.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <functional>

#include <dwg/Reader.h>
#include <render/Build.h>

#include "../archive/ZipFixtures.h"
#include "../ui/DialogDriver.h"
#include "Samples.h"
#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "preview/DwgViewer.h"
#include "preview/UNfrmPreview.h"
#include "ui/Pump.h"
#include "ui/Windows.h"

namespace fs = std::filesystem;
using fixtures::Member;

namespace {

constexpr int kCategory = 3;  // "Cozinhas"
const QString kCategoryText = QStringLiteral("» Biblioteca - Cozinhas");

fs::path sample(const char* relative) {
    return testsupport::samplesFolder() / relative;
}

render::DisplayList listOf(const fs::path& drawing) {
    return render::buildModelSpace(dwg::read(drawing));
}

// The viewer holds this drawing's list: same items, points and extents.
void expectShows(const preview::DwgViewer& viewer, const render::DisplayList& expected) {
    const render::DisplayList& shown = viewer.displayList();
    EXPECT_TRUE(viewer.failureText().isEmpty()) << viewer.failureText().toStdString();
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(shown.items.size(), expected.items.size());
    EXPECT_EQ(shown.points.size(), expected.points.size());
    EXPECT_EQ(shown.extents.minX, expected.extents.minX);
    EXPECT_EQ(shown.extents.maxY, expected.extents.maxY);
}

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::setSleepForTests([this](int ms) {
            sleeps.push_back(ms);
            if (onSleep) std::exchange(onSleep, nullptr)();
        });
        program = temp.path() / "programa";
        fs::create_directories(img());
        fs::create_directories(dwgFolder());
    }
    void TearDown() override {
        ui::setSleepForTests({});
        ui::windows() = {};
        preview.reset();
        main.reset();
    }

    fs::path img() const { return program / "Blocos" / std::to_string(kCategory) / "IMG"; }
    fs::path dwgFolder() const { return program / "Blocos" / std::to_string(kCategory) / "DWG"; }
    fs::path archiveOf(const std::string& block) const {
        return dwgFolder() / library::pathFromUtf8(block + ".DWG.zip");
    }

    void addThumbnail(const std::string& block) {
        QImage image(30, 20, QImage::Format_RGB32);
        image.fill(Qt::gray);
        ASSERT_TRUE(image.save(QString::fromStdString(
            library::pathToUtf8(img() / library::pathFromUtf8(block + ".PNG")))));
    }
    void addBlock(const std::string& block, const std::string& drawing) {
        addThumbnail(block);
        fixtures::writeWithLibzip(archiveOf(block), {Member(block + ".DWG", drawing)});
    }
    void addSampleBlock(const std::string& block, const char* sampleFile) {
        addBlock(block, fixtures::readFile(sample(sampleFile)));
    }

    void openCategory() {
        main = std::make_unique<browser::TfrmVisualizar>(library::Layout(program));
        ui::windows().main = main.get();
        preview = std::make_unique<preview::TfrmPreview>();
        ui::windows().preview = preview.get();
        QObject::connect(preview->bVer, &QPushButton::clicked, [this] { ++refreshes; });
        main->show();
        main->cArea->setCurrentIndex(kCategory);
        emit main->cArea->activated(kCategory);
    }

    int indexOf(const std::string& block) const {
        for (int i = 0; i < main->Lista->count(); ++i)
            if (main->Lista->item(i).FileName == library::pathFromUtf8(block + ".PNG")) return i;
        ADD_FAILURE() << block << " not in the grid";
        return -1;
    }
    void clickTile(const std::string& block) {
        QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {},
                          main->Lista->tileRect(indexOf(block)).center());
    }
    QString captionOf(const std::string& block) const {
        return kCategoryText + QStringLiteral(" - Bloco ") + QString::fromStdString(block);
    }

    int sleptMs() const {
        int total = 0;
        for (int ms : sleeps) total += ms;
        return total;
    }
    // What the library root holds besides the category folders and descriptions.
    std::vector<std::string> looseFilesInRoot() const {
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(program / "Blocos"))
            if (entry.is_regular_file()) files.push_back(library::pathToUtf8(entry.path().filename()));
        return files;
    }
    void expectNoTransientFiles() const {
        EXPECT_FALSE(fs::exists(program / "TMP.ZIP"));
        EXPECT_EQ(looseFilesInRoot(), std::vector<std::string>{});
        EXPECT_TRUE(main->shared().PreviewDrawingPath.empty());
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

TEST_F(PreviewTest, SelectingABlockShowsItsDrawingAndLeavesNoFileBehind) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addSampleBlock("Pia01", "R2000/libredwg_sample_2000.dwg");
    addSampleBlock("Fogão01", "R2000/libredwg_entities-2d.dwg");
    openCategory();

    clickTile("Fogão01");
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(main->secondStatusPanelText(), captionOf("Fogão01"));
    EXPECT_EQ(preview->windowTitle(), captionOf("Fogão01"));
    expectShows(*preview->dwg, listOf(sample("R2000/libredwg_entities-2d.dwg")));
    expectNoTransientFiles();
    EXPECT_EQ(QApplication::focusWidget(), main->Lista);
    EXPECT_EQ(sleptMs(), 0) << "no wait when the copy is there at once";
    EXPECT_TRUE(fs::exists(archiveOf("Fogão01"))) << "the library keeps its archive";
}

struct WalkCase {
    const char* name;
    int blocks;
    int start;
    bool next;  // "Próximo >", else "< Anterior"
    int end;
    int refreshes;  // each after one 100 ms pause
};

TEST_F(PreviewTest, WalkButtonsStayWithinTheGrid) {
    const WalkCase cases[] = {
        {"Anterior on the first", 3, 0, false, 0, 0},
        {"Próximo on the last", 3, 2, true, 2, 0},
        {"Próximo on an empty grid", 0, -1, true, -1, 0},
        {"Anterior on an empty grid", 0, -1, false, -1, 0},
        {"Próximo with none selected", 3, -1, true, 0, 1},
        {"Anterior with none selected", 3, -1, false, -1, 0},
        {"Próximo in the middle", 3, 1, true, 2, 1},
        {"Anterior in the middle", 3, 1, false, 0, 1},
    };
    for (int i = 0; i < 3; ++i)
        addBlock("Bloco" + std::to_string(i), fixtures::drawingBytes(3000, i + 1));
    openCategory();
    preview->show();
    for (const WalkCase& walk : cases) {
        SCOPED_TRACE(walk.name);
        if (walk.blocks == 0) main->Lista->clear();
        ASSERT_EQ(main->Lista->count(), walk.blocks);
        main->Lista->setSelectedIndex(walk.start);
        main->setSecondStatusPanelText(QString());
        refreshes = 0;
        sleeps.clear();

        QTest::mouseClick(walk.next ? preview->bProximo : preview->bAnterior, Qt::LeftButton);

        EXPECT_EQ(main->Lista->selectedIndex(), walk.end);
        EXPECT_EQ(refreshes, walk.refreshes);
        EXPECT_EQ(sleeps, std::vector<int>(static_cast<size_t>(walk.refreshes), 100));
        if (walk.refreshes > 0) {
            EXPECT_EQ(main->secondStatusPanelText(),
                      captionOf(main->Lista->item(walk.end).FileName.stem().string()));
            EXPECT_EQ(QApplication::focusWidget(), main->Lista);
        }
        if (walk.blocks == 0) {
            main->LoadBlockList();
            main->Lista->setSelectedIndex(-1);
        }
    }
}

TEST_F(PreviewTest, EnterOnTheDrawingPressesProximo) {
    for (int i = 0; i < 2; ++i) addBlock("Bloco" + std::to_string(i), "x");
    openCategory();
    preview->show();
    main->Lista->setSelectedIndex(0);
    QTest::keyClick(preview->dwg, Qt::Key_Return);
    EXPECT_EQ(main->Lista->selectedIndex(), 1);
    EXPECT_EQ(refreshes, 1);
}

TEST_F(PreviewTest, MissingArchiveWaitsSixSecondsAndKeepsThePreviousDrawing) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addSampleBlock("Pia01", "R2000/libredwg_sample_2000.dwg");
    addThumbnail("Sem arquivo");
    openCategory();
    clickTile("Pia01");
    sleeps.clear();

    clickTile("Sem arquivo");
    // Six checks, each failed one followed by ten pauses of 100 ms.
    EXPECT_EQ(sleeps, std::vector<int>(60, 100));
    EXPECT_EQ(preview->windowTitle(), captionOf("Sem arquivo"));
    EXPECT_EQ(main->secondStatusPanelText(), captionOf("Sem arquivo"));
    // Without an empty drawing to blank it, the viewer keeps the block before.
    expectShows(*preview->dwg, listOf(sample("R2000/libredwg_sample_2000.dwg")));
    expectNoTransientFiles();
    EXPECT_EQ(QApplication::focusWidget(), main->Lista);
}

TEST_F(PreviewTest, EmptyDrawingBlanksTheViewerAndClearsTheCaption) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    // Any drawing serves to see that the viewer is given the empty one.
    fs::copy_file(sample("R2000/libredwg_circle.dwg"), program / "vazio.dwg");
    addSampleBlock("Pia01", "R2000/libredwg_sample_2000.dwg");
    openCategory();
    clickTile("Pia01");
    expectShows(*preview->dwg, listOf(sample("R2000/libredwg_sample_2000.dwg")));

    main->Lista->setSelectedIndex(-1);
    preview->clickRefresh();
    EXPECT_EQ(preview->windowTitle(), QString());
    expectShows(*preview->dwg, listOf(program / "vazio.dwg"));
    EXPECT_TRUE(fs::exists(program / "vazio.dwg"));

    // Shown again, the window starts from the empty drawing.
    clickTile("Pia01");
    preview->hide();
    preview->show();
    expectShows(*preview->dwg, listOf(program / "vazio.dwg"));
}

TEST_F(PreviewTest, DamagedMemberAskedAbortOrIgnoreShowsWhyAndCleansUp) {
    const std::vector<std::pair<std::string, const char*>> answers = {{"Pia01", "Abort"},
                                                                      {"Pia02", "Ignore"}};
    for (const auto& [block, button] : answers) {
        addBlock(block, fixtures::drawingBytes(40000, 3));
        fixtures::damageMember(archiveOf(block), block + ".DWG");
    }
    openCategory();
    for (const auto& [block, button] : answers) {
        SCOPED_TRACE(button);
        QString title, text;
        ui_test::whenModalActive([&, button = button](QDialog* box) {
            title = box->windowTitle();
            text = box->findChild<QLabel*>(QStringLiteral("message"))->text();
            ui_test::clickButton(box, button);
        });
        clickTile(block);

        EXPECT_EQ(title, QStringLiteral("Confirmação"));
        EXPECT_TRUE(text.startsWith(QStringLiteral("zip: "))) << text.toStdString();
        EXPECT_EQ(preview->windowTitle(), captionOf(block));
        EXPECT_TRUE(preview->dwg->failureText().startsWith(
            QStringLiteral("Não foi possível ler o desenho: ")));
        EXPECT_TRUE(preview->dwg->displayList().empty());
        expectNoTransientFiles();
        EXPECT_EQ(QApplication::focusWidget(), main->Lista);
    }
}

TEST_F(PreviewTest, UnreadableDrawingShowsTheMessageLine) {
    addBlock("Pia01", "not a drawing at all");
    openCategory();
    clickTile("Pia01");
    EXPECT_EQ(preview->dwg->failureText(),
              QStringLiteral("Não foi possível ler o desenho: o arquivo não é um desenho DWG"));
    EXPECT_EQ(preview->windowTitle(), captionOf("Pia01"));
    expectNoTransientFiles();
}

TEST_F(PreviewTest, UsersOwnDrawingOfTheBlocksNameIsNeverTouched) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addSampleBlock("Pia01", "R2000/libredwg_sample_2000.dwg");
    addSampleBlock("Pia02", "R2000/libredwg_entities-2d.dwg");
    const fs::path users = program / "Blocos" / "Pia01.DWG";
    fs::copy_file(sample("R2000/libredwg_circle.dwg"), users);
    const std::string before = fixtures::readFile(users);
    openCategory();

    clickTile("Pia01");
    expectShows(*preview->dwg, listOf(sample("R2000/libredwg_sample_2000.dwg")));
    clickTile("Pia02");
    clickTile("Pia01");
    EXPECT_TRUE(fixtures::readFile(users) == before) << "the user's file was changed";
    EXPECT_EQ(looseFilesInRoot(), std::vector<std::string>{"Pia01.DWG"});
    EXPECT_FALSE(fs::exists(program / "TMP.ZIP"));
}

TEST_F(PreviewTest, RefreshAskedForDuringARefreshRunsAfterItForTheNewSelection) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addThumbnail("Sem arquivo");
    addSampleBlock("Pia01", "R2000/libredwg_sample_2000.dwg");
    openCategory();
    QString captionDuringTheFirst;
    // In the first refresh's wait, the user picks another block.
    onSleep = [&] {
        main->Lista->setSelectedIndex(indexOf("Pia01"));
        preview->clickRefresh();
        captionDuringTheFirst = preview->windowTitle();
    };
    clickTile("Sem arquivo");

    EXPECT_EQ(captionDuringTheFirst, captionOf("Sem arquivo")) << "no second refresh inside the first";
    EXPECT_EQ(sleeps.size(), 60u) << "the first refresh ran to its end";
    EXPECT_EQ(preview->windowTitle(), captionOf("Pia01"));
    expectShows(*preview->dwg, listOf(sample("R2000/libredwg_sample_2000.dwg")));
    expectNoTransientFiles();
}

TEST_F(PreviewTest, RefreshAskedForDuringAnExportWaitsForTheExportToEnd) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    addSampleBlock("Pia01", "R2000/libredwg_sample_2000.dwg");
    addSampleBlock("Pia02", "R2000/libredwg_entities-2d.dwg");
    const fs::path target = temp.path() / "Meus desenhos";
    fs::create_directories(target);
    openCategory();
    clickTile("Pia01");

    QString captionDuringExport;
    bool copyDuringExport = true;
    ui_test::whenModalActive([&](QDialog* save) {
        ui_test::whenModalActive([&](QDialog* done) {
            // The export still holds the reader under its last message: the
            // user picks another block.
            main->Lista->setSelectedIndex(indexOf("Pia02"));
            main->ListaItemSelect(main->Lista->selectedIndex());
            captionDuringExport = preview->windowTitle();
            copyDuringExport = fs::exists(program / "TMP.ZIP");
            ui_test::pressKey(done, Qt::Key_Return);
        });
        auto* name = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(library::pathToUtf8(target / "Pia01")));
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(main->bSalvar, Qt::LeftButton);

    EXPECT_TRUE(fs::exists(target / "Pia01.DWG"));
    EXPECT_EQ(captionDuringExport, captionOf("Pia01"));
    EXPECT_FALSE(copyDuringExport);
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview->windowTitle() == captionOf("Pia02"); }, 5000))
        << "the refresh runs once the export has ended";
    expectShows(*preview->dwg, listOf(sample("R2000/libredwg_entities-2d.dwg")));
    expectNoTransientFiles();
}

TEST(PreviewPlacement, BottomRightOfTheWorkAreaWhereverThePanelIs) {
    const QSize window(352, 380);
    struct Case {
        const char* panel;
        QRect workArea;
        QPoint expected;
    };
    const Case cases[] = {
        {"none", QRect(0, 0, 1920, 1080), QPoint(1568, 700)},
        {"bottom", QRect(0, 0, 1920, 1040), QPoint(1568, 660)},
        {"top", QRect(0, 40, 1920, 1040), QPoint(1568, 700)},
        {"left", QRect(64, 0, 1856, 1080), QPoint(1568, 700)},
        {"right", QRect(0, 0, 1856, 1080), QPoint(1504, 700)},
        {"second screen left of the first", QRect(-1280, 0, 1280, 984), QPoint(-352, 604)},
        {"work area smaller than the window", QRect(10, 20, 300, 200), QPoint(10, 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.panel);
        EXPECT_EQ(preview::bottomRightPlacement(c.workArea, window), c.expected);
    }
}

TEST_F(PreviewTest, WindowAsDesigned) {
    openCategory();
    preview->resize(334, 350);
    preview->show();
    EXPECT_EQ(preview->windowTitle(), QStringLiteral("Navegador"));
    EXPECT_TRUE(preview->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(preview->windowType(), Qt::Tool);
    EXPECT_EQ(preview->minimumSize(), QSize(300, 300));
    EXPECT_FALSE(preview->bVer->isVisible());
    EXPECT_TRUE(preview->pop1->isEmpty());
    EXPECT_TRUE(preview->bProximo->isDefault());
    EXPECT_EQ(preview->bProximo->text(), QStringLiteral("Próximo >"));
    EXPECT_EQ(preview->bAnterior->text(), QStringLiteral("< Anterior"));

    // The first control the keyboard reaches, then "< Anterior".
    QWidget* first = preview->nextInFocusChain();
    while (first != preview.get() && !(first->isVisible() && first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    EXPECT_EQ(first, preview->bProximo);
    EXPECT_EQ(preview->bProximo->nextInFocusChain(), preview->bAnterior);

    // The 41-pixel panel at the design width: buttons at 47 and 182, 30 apart.
    EXPECT_EQ(preview->dwg->geometry(), QRect(0, 0, 334, 350 - 41));
    EXPECT_EQ(preview->bAnterior->geometry(), QRect(47, 8, 105, 25));
    EXPECT_EQ(preview->bProximo->geometry(), QRect(182, 8, 105, 25));
    // Wider, each centre keeps its fraction, the pair stays symmetric.
    preview->resize(668, 400);
    EXPECT_EQ(preview->bAnterior->geometry().center().x(), 198);
    EXPECT_EQ(preview->bProximo->geometry().center().x(), 468);
    EXPECT_EQ(preview->bProximo->mapTo(preview.get(), QPoint(0, 0)).y(), 400 - 41 + 8);
}

TEST_F(PreviewTest, ShownAtTheBottomRightKeepingTheUsersSize) {
    openCategory();
    const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
    preview->show();
    EXPECT_EQ(preview->frameGeometry().bottomRight(), workArea.bottomRight());
    EXPECT_EQ(preview->size(), QSize(350, 350));

    // The user makes it larger and drags it away, then it is hidden and shown again.
    preview->resize(420, 380);
    preview->move(workArea.topLeft());
    preview->hide();
    preview->show();
    EXPECT_EQ(preview->size(), QSize(420, 380));
    EXPECT_EQ(preview->frameGeometry().bottomRight(), workArea.bottomRight());
}
