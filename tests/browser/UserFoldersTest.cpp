// The user's own blocks through the real main window: folders added and
// removed in "Minhas pastas…", their drawings browsed, previewed, copied and
// saved, their pictures kept beside the library, favourites and recents
// across a restart.
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <map>
#include <memory>

#include "ModalScript.h"
#include "Sketch.h"
#include "TemporaryFolders.h"
#include "TestFiles.h"
#include "ThumbnailDelegate.h"
#include "archive/ZipWriter.h"
#include "browser/FolderListDialog.h"
#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "download/UNfrmDownload.h"
#include "library/ThumbnailStore.h"
#include "preview/DwgViewer.h"
#include "preview/UNfrmPreview.h"
#include "search/Indexing.h"
#include "ui/Pump.h"
#include "ui/Windows.h"

using namespace browsertest;

namespace {

using fixtures::readFile;
using fixtures::writeFile;

std::string drawingBytes(const std::string& label, double width = 100) {
    demo::Sketch sketch;
    sketch.rectangle({"CONTORNO", 7}, {0, 0}, width, 50);
    sketch.text({"TEXTO", 5}, label, {2, 2}, 3);
    const std::vector<std::uint8_t> bytes = dwg::writeR2000(sketch.finish());
    return {bytes.begin(), bytes.end()};
}

bool waitUntil(const std::function<bool()>& done, int deadlineMs = 20000) {
    return QTest::qWaitFor(done, deadlineMs);
}

// Every file below folder with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fixtures::slashed(entry.path().lexically_relative(folder))] =
                readFile(entry.path());
    return files;
}

// Files in folder, those whose name ends with ending only when given.
std::size_t filesIn(const fs::path& folder, const std::string& ending = {}) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) return 0;
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        count += library::pathToUtf8(entry.path().filename()).ends_with(ending);
    return count;
}

class UserFoldersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::setSleepForTests([](int) {});
        root = testsupport::makeTemporaryFolder("tessaly-pastas");
        program = root / "programa";
        fs::create_directories(program / "Blocos");
        // Where a Windows user keeps his office's blocks.
        user = root / library::pathFromUtf8("Conceição Araújo") / "Documents" /
               library::pathFromUtf8("Blocos da empresa");
        fs::create_directories(user);
    }
    void TearDown() override {
        closeWindows();
        ui::setSleepForTests({});
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    library::Layout layout() const { return library::Layout(program); }

    void createWindows() {
        main = std::make_unique<browser::TfrmVisualizar>(layout());
        main->tBrowser->stop();
        main->cVer->setChecked(false);
        ui::windows().main = main.get();
        packages = std::make_unique<download::TfrmDownload>();
        ui::windows().download = packages.get();
        preview = std::make_unique<preview::TfrmPreview>();
        ui::windows().preview = preview.get();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    // As the program ends: the windows go, what they keep stays on disk.
    void closeWindows() {
        if (main) main->indexer().wait();
        ui::windows() = {};
        preview.reset();
        packages.reset();
        main.reset();
    }

    void choose(int entry) {
        main->cArea->setCurrentIndex(entry);
        emit main->cArea->activated(entry);
    }
    // Chooses an entry listed off the user-interface thread and waits for it.
    void chooseListed(int entry) {
        choose(entry);
        ASSERT_TRUE(waitUntil([&] { return !main->listing(); }));
    }

    void addThroughTheList(const fs::path& folder) {
        ModalScript script({[folder](QWidget* modal) {
            auto* list = qobject_cast<browser::FolderListDialog*>(modal);
            ASSERT_NE(list, nullptr);
            EXPECT_TRUE(list->addFolder(folder));
            list->bFechar->click();
        }});
        choose(browser::TfrmVisualizar::kFoldersEntry);
        EXPECT_TRUE(script.finished());
    }

    std::vector<std::string> gridNames() const {
        std::vector<std::string> names;
        for (int i = 0; i < main->Lista->count(); ++i)
            names.push_back(library::pathToUtf8(main->Lista->item(i).block.name()));
        return names;
    }

    // Every tile on screen has its picture or its placeholder.
    void waitForPictures() {
        ASSERT_TRUE(waitUntil([&] {
            for (int i = 0; i < main->Lista->count(); ++i)
                if (!main->Lista->isThumbnailLoaded(i) && !main->Lista->isThumbnailFailed(i))
                    return false;
            return true;
        }));
    }
    // Every drawing of the folder shown has its picture kept.
    void waitForKeptPictures() {
        ASSERT_TRUE(waitUntil([&] {
            const auto [kept, all] = main->Lista->thumbnails().keptPictures();
            return kept == all;
        }));
    }

    fs::path keptPicturesOf(const fs::path& folder) const {
        return library::ThumbnailStore(layout(), folder).place();
    }

    void installCategory(int category, const std::vector<std::string>& blocks) {
        const fs::path folder = layout().categoryFolder(category);
        QImage image(40, 28, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        for (const std::string& name : blocks) {
            fs::create_directories(library::imgFolder(folder));
            ASSERT_TRUE(image.save(
                QString::fromStdString(library::pathToUtf8(library::imgFolder(folder) / (name + ".PNG")))));
            archive::ZipWriter zip(1704067200, std::string(library::kArchivePassword));
            const std::string bytes = drawingBytes(name);
            zip.addFile(name + ".DWG", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
            const std::vector<std::uint8_t> archive = zip.finish();
            writeFile(library::dwgFolder(folder) / (name + ".DWG.zip"),
                      std::string(archive.begin(), archive.end()));
        }
    }

    fs::path root;
    fs::path program;
    fs::path user;
    std::unique_ptr<browser::TfrmVisualizar> main;
    std::unique_ptr<download::TfrmDownload> packages;
    std::unique_ptr<preview::TfrmPreview> preview;
};

}  // namespace

TEST_F(UserFoldersTest, AFolderAddedShowsItsDrawingsAndNothingIsWrittenIntoIt) {
    writeFile(user / "cadeira.dwg", drawingBytes("Cadeira giratória"));
    writeFile(user / "cozinha" / "Pia.DWG", drawingBytes("Pia de granito", 60));
    writeFile(user / "notas.txt", "não é desenho");
    writeFile(user / "ruim.dwg", "AC1015 e nada mais");
    const auto before = snapshot(user);
    createWindows();

    addThroughTheList(user);
    ASSERT_EQ(main->cArea->count(), 18);
    EXPECT_EQ(main->cArea->itemText(15), QStringLiteral("» Minha pasta - Blocos da empresa"));
    EXPECT_EQ(main->cArea->itemText(16), QStringLiteral("» Favoritos"));
    EXPECT_EQ(main->cArea->currentIndex(), 15) << "the folder added is shown";
    ASSERT_TRUE(waitUntil([&] { return !main->listing(); }));
    EXPECT_EQ(gridNames(), (std::vector<std::string>{"cadeira", "Pia", "ruim"}));
    waitForPictures();
    EXPECT_TRUE(main->Lista->isThumbnailLoaded(0));
    EXPECT_TRUE(main->Lista->isThumbnailLoaded(1));
    EXPECT_TRUE(main->Lista->isThumbnailFailed(2));
    EXPECT_EQ(main->Lista->thumbnails().failureText(2), QStringLiteral("Desenho ilegível"));
    EXPECT_EQ(main->Lista->decodeStats().decodedOnUiThread, 0);

    // Selected and previewed as a category's block is.
    QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {},
                      main->Lista->tileRect(1).center());
    EXPECT_EQ(main->secondStatusPanelText(),
              QStringLiteral("» Minha pasta - Blocos da empresa - Bloco Pia"));
    ASSERT_TRUE(waitUntil([&] { return !preview->dwg->displayList().empty(); }));
    EXPECT_TRUE(preview->dwg->failureText().isEmpty());
    EXPECT_TRUE(main->shared().PreviewDrawingPath.empty()) << "the preview's copy went";

    waitForKeptPictures();
    EXPECT_EQ(filesIn(keptPicturesOf(user), ".mini"), 3u) << "two pictures and one drawing without";
    EXPECT_EQ(snapshot(user), before);

    // Removed from the list: its pictures go, its drawings stay.
    ModalScript script({[](QWidget* modal) {
                            auto* list = qobject_cast<browser::FolderListDialog*>(modal);
                            ASSERT_NE(list, nullptr);
                            ASSERT_EQ(list->lPastas->count(), 1);
                            list->lPastas->setCurrentRow(0);
                            list->bRemover->click();
                            list->bFechar->click();
                        },
                        clickButton("Yes")});
    choose(browser::TfrmVisualizar::kFoldersEntry);
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(main->cArea->count(), 17);
    EXPECT_EQ(main->Lista->count(), 0);
    EXPECT_FALSE(fs::exists(keptPicturesOf(user)));
    EXPECT_TRUE(library::UserFolders(layout()).folders().empty());
    EXPECT_EQ(snapshot(user), before);
}

TEST_F(UserFoldersTest, ASecondVisitShowsThePicturesKeptAndChangesUpdateTheirTiles) {
    for (const char* name : {"a", "b", "c"}) writeFile(user / (std::string(name) + ".dwg"), drawingBytes(name));
    ASSERT_EQ(library::UserFolders(layout()).add(user), "");
    createWindows();
    chooseListed(15);
    waitForPictures();
    waitForKeptPictures();
    EXPECT_EQ(main->Lista->decodeStats().drawn, 3);

    closeWindows();
    createWindows();
    chooseListed(15);
    waitForPictures();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(main->Lista->isThumbnailLoaded(i)) << i;
    EXPECT_EQ(main->Lista->decodeStats().drawn, 0) << "every picture came from the kept ones";

    // Saved again, added and deleted while shown: the folder is watched.
    writeFile(user / "b.dwg", drawingBytes("b, outra vez", 140));
    fs::last_write_time(user / "b.dwg", fs::last_write_time(user / "a.dwg") + std::chrono::hours(1));
    writeFile(user / "d.dwg", drawingBytes("d"));
    fs::remove(user / "c.dwg");
    ASSERT_TRUE(waitUntil([&] { return gridNames() == std::vector<std::string>{"a", "b", "d"}; }))
        << "the watch never told";
    waitForPictures();
    EXPECT_EQ(main->Lista->decodeStats().drawn, 2) << "only the changed and the new drawing";
    waitForKeptPictures();
    EXPECT_EQ(filesIn(keptPicturesOf(user), ".mini"), 3u) << "the old pictures of b and c went";
}

TEST_F(UserFoldersTest, AFolderThatVanishesEmptiesItsGridAndKeepsEveryPicture) {
    const fs::path stick = root / "Pendrive";
    writeFile(stick / "x.dwg", drawingBytes("x"));
    writeFile(user / "y.dwg", drawingBytes("y"));
    {
        library::UserFolders folders(layout());
        ASSERT_EQ(folders.add(stick), "");
        ASSERT_EQ(folders.add(user), "");
    }
    createWindows();
    chooseListed(16);
    waitForKeptPictures();
    chooseListed(15);
    ASSERT_EQ(main->Lista->count(), 1);
    waitForKeptPictures();

    const int drawn = main->Lista->decodeStats().drawn;
    fs::rename(stick, root / "longe");  // pulled out
    main->Lista->setFocus();
    QTest::keyClick(main->Lista, Qt::Key_F5);
    ASSERT_TRUE(waitUntil([&] { return !main->listing() && main->Lista->count() == 0; }));
    EXPECT_TRUE(main->firstStatusPanelText().startsWith(QStringLiteral("Pendrive: ")))
        << main->firstStatusPanelText().toStdString();
    EXPECT_EQ(filesIn(keptPicturesOf(stick), ".mini"), 1u) << "kept for when it comes back";

    chooseListed(16);
    waitForPictures();
    EXPECT_TRUE(main->Lista->isThumbnailLoaded(0));
    EXPECT_EQ(main->Lista->decodeStats().drawn, drawn) << "its picture was kept";
    EXPECT_TRUE(main->firstStatusPanelText().isEmpty());
}

TEST_F(UserFoldersTest, FavouritesSurviveARestartAndLoseBlocksThatWent) {
    installCategory(0, {"Mesa", "Sofa01"});
    writeFile(user / "cadeira.dwg", drawingBytes("cadeira"));
    ASSERT_EQ(library::UserFolders(layout()).add(user), "");
    createWindows();
    choose(0);
    ASSERT_EQ(main->Lista->count(), 2);
    // The star of a tile, clicked.
    QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {},
                      browser::ThumbnailDelegate::starArea(main->Lista->tileRect(1)).center());
    EXPECT_TRUE(main->isFavourite(1));
    EXPECT_FALSE(main->isFavourite(0));
    chooseListed(15);
    ASSERT_EQ(main->Lista->count(), 1);
    main->Lista->setFocus();
    QTest::keyClick(main->Lista, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(main->isFavourite(0));

    closeWindows();
    createWindows();
    chooseListed(main->favouritesEntry());
    EXPECT_EQ(gridNames(), (std::vector<std::string>{"Sofa01", "cadeira"}));
    EXPECT_TRUE(main->isFavourite(0) && main->isFavourite(1));
    EXPECT_EQ(main->itemCategoryText(1), QStringLiteral("» Minha pasta - Blocos da empresa"));

    // The preview's menu unmarks the block the grid has selected.
    main->setSelectedItemIndex(0);
    emit preview->pop1->aboutToShow();
    EXPECT_TRUE(preview->aFavorito->isChecked());
    preview->aFavorito->trigger();
    EXPECT_FALSE(main->isFavourite(0));

    fs::remove(user / "cadeira.dwg");
    chooseListed(main->favouritesEntry());
    EXPECT_EQ(main->Lista->count(), 0);
    EXPECT_TRUE(main->favourites().refs().empty()) << "a deleted drawing is forgotten";
    EXPECT_TRUE(main->firstStatusPanelText().isEmpty()) << "without an error";
}

TEST_F(UserFoldersTest, RecentsAreTheBlocksUsedLastAndAUsersDrawingIsSavedAsItIs) {
    installCategory(0, {"Sofa01"});
    const std::string chair = drawingBytes("cadeira");
    writeFile(user / "sub" / "cadeira.dwg", chair);
    ASSERT_EQ(library::UserFolders(layout()).add(user), "");
    createWindows();
    choose(0);
    main->Lista->setFocus();
    QTest::keyClick(main->Lista, Qt::Key_C, Qt::ControlModifier);
    chooseListed(15);
    main->Lista->setSelectedIndex(0);
    main->Lista->setFocus();
    QTest::keyClick(main->Lista, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied && copied->urls().size() == 1);
    const fs::path offered = library::pathFromUtf8(copied->urls()[0].toLocalFile().toStdString());
    EXPECT_EQ(offered.filename(), "cadeira.DWG");
    EXPECT_EQ(readFile(offered), chair);

    // Saved where the user says, byte for byte his drawing.
    const fs::path target = root / "projeto" / "cadeira.DWG";
    fs::create_directories(target.parent_path());
    ModalScript save({saveAs(target), clickButton("OK")});
    QTest::mouseClick(main->bSalvar, Qt::LeftButton);
    EXPECT_TRUE(save.finished());
    EXPECT_EQ(readFile(target), chair);
    EXPECT_EQ(filesIn(target.parent_path()), 1u) << "no temporary file left beside it";

    closeWindows();
    createWindows();
    chooseListed(main->recentsEntry());
    EXPECT_EQ(gridNames(), (std::vector<std::string>{"cadeira", "Sofa01"})) << "newest first";
}
