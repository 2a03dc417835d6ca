#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>

#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "download/UNfrmDownload.h"
#include "preview/UNfrmPreview.h"
#include "ui/Pump.h"
#include "ui/Windows.h"

namespace fs = std::filesystem;
using browser::TfrmVisualizar;

namespace {

void writePng(const fs::path& file) {
    fs::create_directories(file.parent_path());
    QImage image(40, 28, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "PNG"));
}

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// Runs `answer` on the modal window as soon as it is up and active. The watch
// gives up at its deadline and ends with the returned object, so it never
// reaches into a later test's window or into this test's finished frame. A
// modal window still open at the deadline is closed, so the run never hangs.
class ModalWatch {
  public:
    explicit ModalWatch(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
        waited_.start();
        QObject::connect(&poll_, &QTimer::timeout, [this] { tick(); });
        poll_.start(10);
    }

  private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        const bool ready = modal && modal->isActiveWindow();
        if (!ready && waited_.elapsed() < 15000) return;
        poll_.stop();
        if (ready) {
            answer_(modal);
        } else if (modal) {
            ADD_FAILURE() << "the modal window never became active";
            modal->close();
        }
    }

    std::function<void(QWidget*)> answer_;
    QTimer poll_;
    QElapsedTimer waited_;
};

[[nodiscard]] std::unique_ptr<ModalWatch> whenModalIsActive(std::function<void(QWidget*)> answer) {
    return std::make_unique<ModalWatch>(std::move(answer));
}

// A program folder with its windows, as the program entry makes them.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The preview's refresh waits for block archives these blocks do not have.
        ui::setSleepForTests([](int) {});
        ASSERT_TRUE(folder.isValid());
        program = fs::path(folder.path().toStdString());
        fs::create_directories(program / "Blocos");
        for (int n = 0; n < library::kCategoryCount; ++n)
            writeText(program / "Blocos" / (std::to_string(n) + ".txt"),
                      "Descri\xE7\xE3o do pacote " + std::to_string(n) + "\r\nsegunda linha\r\n");
    }
    void TearDown() override {
        ui::setSleepForTests({});
        ui::windows() = {};
    }

    void install(int category, const std::vector<std::string>& thumbnails) {
        fs::create_directories(program / "Blocos" / std::to_string(category));
        for (const auto& name : thumbnails)
            writePng(program / "Blocos" / std::to_string(category) / "IMG" /
                     library::pathFromUtf8(name));
    }

    // The main window's first-show step, half a second after it shows, reloads
    // the grid and drops the category list down: in a slow run that lands in
    // the middle of a test, so only the test of that step keeps it.
    enum class FirstShow { Runs, Stopped };
    void createWindows(FirstShow firstShow = FirstShow::Stopped) {
        main = std::make_unique<TfrmVisualizar>(library::Layout(program));
        if (firstShow == FirstShow::Stopped) main->tBrowser->stop();
        ui::windows().main = main.get();
        packages = std::make_unique<download::TfrmDownload>();
        ui::windows().download = packages.get();
        preview = std::make_unique<preview::TfrmPreview>();
        ui::windows().preview = preview.get();
        QObject::connect(preview->bVer, &QPushButton::clicked, [this] { ++previewRefreshes; });
    }

    void choose(int category) {
        main->cArea->setCurrentIndex(category);
        emit main->cArea->activated(category);
    }

    QTemporaryDir folder;
    fs::path program;
    std::unique_ptr<TfrmVisualizar> main;
    std::unique_ptr<download::TfrmDownload> packages;
    std::unique_ptr<preview::TfrmPreview> preview;
    int previewRefreshes = 0;
};

}  // namespace

TEST(ColumnLayout, TileSizeFollowsWidthAndColumns) {
    EXPECT_EQ(browser::tileSizeFor(762, 6), QSize(112, 83));
    EXPECT_EQ(browser::tileSizeFor(762, 25), QSize(19, 17));
    EXPECT_EQ(browser::tileSizeFor(762, 2), QSize(356, 256));
    // Degenerate widths never give a zero or negative tile.
    EXPECT_EQ(browser::tileSizeFor(0, 25).width(), 1);
    EXPECT_GE(browser::tileSizeFor(-50, 0).height(), 1);
}

TEST_F(MainWindowTest, StartUpState) {
    install(0, {"Sofa01.PNG"});
    fs::create_directories(program / "Blocos" / "12");
    writeText(program / "Blocos" / "5", "not a folder");
    createWindows();

    EXPECT_EQ(main->windowTitle(), QStringLiteral("Tessaly - Biblioteca de blocos para projetos"));
    // The 14 categories, then the user's own: no folder added yet.
    ASSERT_EQ(main->cArea->count(), 17);
    EXPECT_EQ(main->cArea->itemText(14), QStringLiteral("Minhas pastas…"));
    EXPECT_EQ(main->cArea->itemText(15), QStringLiteral("» Favoritos"));
    EXPECT_EQ(main->cArea->itemText(16), QStringLiteral("» Recentes"));
    EXPECT_EQ(main->cArea->currentIndex(), -1);
    EXPECT_EQ(main->cArea->itemText(0), QStringLiteral("» Biblioteca - 3D"));
    EXPECT_EQ(main->cArea->itemText(5), QStringLiteral("Download - Elétrica"));
    EXPECT_EQ(main->cArea->itemText(11), QStringLiteral("Download - Urbano"));
    EXPECT_EQ(main->cArea->itemText(12), QStringLiteral("» Biblioteca - Vegetação"));
    EXPECT_TRUE(main->shared().InstalledFlags[0]);
    EXPECT_FALSE(main->shared().InstalledFlags[5]);
    EXPECT_EQ(main->Lista->count(), 0);
    EXPECT_EQ(main->secondStatusPanelText(), QString());
    EXPECT_EQ(main->eCol->value(), 6);
    EXPECT_EQ(main->eCol->minimum(), 2);
    EXPECT_EQ(main->eCol->maximum(), 25);
    EXPECT_TRUE(main->cVer->isChecked());
    EXPECT_EQ(main->bSalvar->text(), QStringLiteral("Salvar bloco selecionado"));
    EXPECT_TRUE(main->shared().CurrentCategoryFolder.empty());
    EXPECT_GE(main->minimumWidth(), 600);
    EXPECT_GE(main->minimumHeight(), 400);
}

TEST_F(MainWindowTest, ChoosingAnInstalledCategoryFillsTheGridWithoutSelectionText) {
    install(0, {"Sofa01.PNG", "Sofa02.png", "Mesa.Redonda.PNG", "foto.jpg"});
    createWindows();
    main->show();
    choose(0);

    EXPECT_EQ(main->shared().CurrentCategoryFolder, program / "Blocos" / "0");
    ASSERT_EQ(main->Lista->count(), 3);
    EXPECT_EQ(main->Lista->selectedIndex(), 0);
    EXPECT_EQ(main->secondStatusPanelText(), QString());
    EXPECT_EQ(previewRefreshes, 0) << "a selection made by the program refreshes nothing";
    EXPECT_FALSE(preview->isVisible());
    EXPECT_TRUE(main->Lista->hasFocus() || !QApplication::focusWidget());
}

TEST_F(MainWindowTest, UserSelectionWritesTextAndRefreshesThePreview) {
    install(0, {"Sofa01.PNG", "Sofa02.PNG", "Sofa03.PNG"});
    createWindows();
    main->show();
    choose(0);
    ASSERT_EQ(main->Lista->count(), 3);

    const int sofa01 = [&] {
        for (int i = 0; i < main->Lista->count(); ++i)
            if (main->Lista->item(i).FileName == "Sofa01.PNG") return i;
        return -1;
    }();
    ASSERT_GE(sofa01, 0);
    QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {},
                      main->Lista->tileRect(sofa01).center());
    EXPECT_EQ(main->Lista->selectedIndex(), sofa01);
    EXPECT_EQ(main->secondStatusPanelText(), QStringLiteral("» Biblioteca - 3D - Bloco Sofa01"));
    EXPECT_TRUE(preview->isVisible()) << "cVer ticked brings the preview up";
    EXPECT_EQ(previewRefreshes, 1);

    QTest::keyClick(main->Lista->viewport(), Qt::Key_End);
    EXPECT_EQ(main->Lista->selectedIndex(), 2);
    EXPECT_EQ(main->secondStatusPanelText(), QStringLiteral("» Biblioteca - 3D - Bloco Sofa03"));
    EXPECT_EQ(previewRefreshes, 2);
}

TEST_F(MainWindowTest, UntickedExploreRefreshesTheHiddenPreviewOnly) {
    install(3, {"Pia.PNG", "Fogão.PNG"});
    createWindows();
    main->show();
    main->cVer->setChecked(false);
    choose(3);
    QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {},
                      main->Lista->tileRect(1).center());
    EXPECT_TRUE(main->secondStatusPanelText().startsWith(
        QStringLiteral("» Biblioteca - Cozinhas - Bloco ")));
    EXPECT_FALSE(preview->isVisible());
    EXPECT_EQ(previewRefreshes, 1);
}

TEST_F(MainWindowTest, EmptyOrImagelessCategoriesShowAnEmptyGrid) {
    fs::create_directories(program / "Blocos" / "12");
    install(4, {"a.PNG"});
    createWindows();
    main->show();
    choose(4);
    ASSERT_EQ(main->Lista->count(), 1);
    choose(12);
    EXPECT_EQ(main->Lista->count(), 0);
    EXPECT_EQ(main->Lista->selectedIndex(), -1);
    EXPECT_EQ(main->shared().CurrentCategoryFolder, program / "Blocos" / "12");
}

TEST_F(MainWindowTest, UninstalledCategoryTicksEveryMissingPackageAndRescansOnClose) {
    install(0, {"a.PNG"});
    install(4, {"b.PNG"});
    createWindows();
    main->show();
    choose(0);
    ASSERT_EQ(main->Lista->count(), 1);

    bool shown = false;
    std::array<bool, 14> ticked{};
    const auto watch = whenModalIsActive([&](QWidget* modal) {
        shown = modal == packages.get();
        for (int n = 0; n < 14; ++n) ticked[n] = packages->boxes[n]->isChecked();
        // The package arrives while the window is open.
        fs::create_directories(program / "Blocos" / "11");
        modal->close();
    });
    choose(11);

    EXPECT_TRUE(shown);
    for (int n = 0; n < 14; ++n) EXPECT_EQ(ticked[n], n != 0 && n != 4) << "package " << n;
    EXPECT_TRUE(packages->memo->toPlainText().startsWith(QStringLiteral("Descrição do pacote 13")));
    // Closing rescanned the library: nothing chosen, grid empty, new category installed.
    EXPECT_EQ(main->cArea->currentIndex(), -1);
    EXPECT_EQ(main->Lista->count(), 0);
    EXPECT_EQ(main->cArea->itemText(11), QStringLiteral("» Biblioteca - Urbano"));
    EXPECT_EQ(main->shared().CurrentCategoryFolder, program / "Blocos" / "0");
}

TEST_F(MainWindowTest, MissingDescriptionKeepsThePackageWindowClosed) {
    fs::remove(program / "Blocos" / "2.txt");
    createWindows();
    main->show();
    bool shown = false;
    // The error box comes up instead of the package window.
    const auto watch = whenModalIsActive([&](QWidget* modal) {
        shown = modal == packages.get();
        modal->close();
    });
    choose(7);
    QTest::qWait(50);
    EXPECT_FALSE(shown);
    EXPECT_TRUE(packages->boxes[0]->isChecked());
    EXPECT_TRUE(packages->boxes[1]->isChecked());
    EXPECT_FALSE(packages->boxes[3]->isChecked()) << "boxes after the failing one keep their state";
}

TEST_F(MainWindowTest, ColumnLayoutFollowsTheSpinBoxAndTheWidth) {
    createWindows();
    main->resize(764, 537);
    main->show();
    QApplication::processEvents();
    const int gridWidth = main->Lista->layoutWidth();
    EXPECT_EQ(main->Lista->columnCount(), 6);
    EXPECT_EQ(main->Lista->itemSize(), browser::tileSizeFor(gridWidth, 6));

    main->eCol->setValue(7);
    EXPECT_EQ(main->Lista->columnCount(), 7);
    EXPECT_LT(main->Lista->itemSize().width(), browser::tileSizeFor(gridWidth, 6).width());

    main->resize(1000, 537);
    QApplication::processEvents();
    EXPECT_EQ(main->Lista->itemSize(), browser::tileSizeFor(main->Lista->layoutWidth(), 7));
    EXPECT_GT(main->Lista->layoutWidth(), gridWidth);

    main->eCol->setValue(25);
    QTest::keyClick(main->eCol, Qt::Key_Up);
    EXPECT_EQ(main->eCol->value(), 25);
    main->eCol->setValue(2);
    QTest::keyClick(main->eCol, Qt::Key_Down);
    EXPECT_EQ(main->eCol->value(), 2);

    main->resize(300, 200);
    EXPECT_GE(main->width(), 600);
    EXPECT_GE(main->height(), 400);
}

TEST_F(MainWindowTest, FirstShowStepCentresAndOpensTheCategoryList) {
    createWindows(FirstShow::Runs);
    main->move(0, 0);
    main->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->firstShowDone(); }, 3000));
    EXPECT_FALSE(main->tBrowser->isActive());
    EXPECT_TRUE(main->cArea->view()->isVisible()) << "the drop-down is open";
    const QRect screen = main->screen()->geometry();
    const QRect frame = main->frameGeometry();
    EXPECT_EQ(frame.left(), screen.left() + (screen.width() - frame.width()) / 2);
    EXPECT_EQ(frame.top(), screen.top() + (screen.height() - frame.height()) / 2);
    main->cArea->hidePopup();
}
