#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include "Links.h"
#include "DialogDriver.h"
#include "LibraryFixture.h"
#include "TestFiles.h"
#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "download/UNfrmDownload.h"
#include "preview/DwgViewer.h"
#include "preview/UNfrmPreview.h"
#include "library/UserFolders.h"
#include "search/Indexing.h"
#include "search/QueryWorker.h"
#include "ui/Pump.h"
#include "ui/Windows.h"

namespace {

namespace fs = std::filesystem;
using searchtest::labelledBox;

// Lets events run until done() holds or the deadline passes.
bool waitUntil(const std::function<bool()>& done, int deadlineMs = 5000) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > deadlineMs) return false;
        QTest::qWait(10);
    }
    return true;
}

std::string pngBytes() {
    QImage image(40, 28, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// Cozinhas and Mobília installed by hand, the windows as the program makes them.
class SearchWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::setSleepForTests([](int) {});
        const std::string png = pngBytes();
        demo::Sketch sink;
        sink.rectangle(searchtest::kOutline, {0, 0}, 180, 90);
        sink.text(searchtest::kLabel, "Torneira monocomando", {10, 10}, 4);
        library.addBlock(3, "Cuba01", sink.finish(), png);
        library.addBlock(3, "Geladeira", labelledBox(70, 60, "Geladeira"), png);
        library.addBlock(9, "CadeiraEscritorio", labelledBox(50, 50, "Cadeira giratória"), png);
        library.addBlock(9, "Mesa", labelledBox(120, 80, "Mobília de jantar"), png);
    }
    void TearDown() override {
        ui::setSleepForTests({});
        ui::windows() = {};
    }

    void createWindows() {
        main = std::make_unique<browser::TfrmVisualizar>(library.layout());
        ui::windows().main = main.get();
        packages = std::make_unique<download::TfrmDownload>();
        ui::windows().download = packages.get();
        preview = std::make_unique<preview::TfrmPreview>();
        ui::windows().preview = preview.get();
        main->cVer->setChecked(false);
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        ASSERT_TRUE(waitUntil([&] { return main->firstShowDone(); }));
        main->cArea->hidePopup();
        main->indexer().wait();
    }

    // Types into the field as a user does and waits for the grid to follow.
    void type(const QString& text) {
        main->eProcurar->setFocus();
        QTest::keyClicks(main->eProcurar, text);
        waitForAnswer();
    }

    void waitForAnswer() {
        ASSERT_TRUE(waitUntil([&] { return !main->tProcurar->isActive() && !main->searching(); }));
    }

    std::vector<std::string> gridNames() const {
        std::vector<std::string> names;
        for (int i = 0; i < main->Lista->count(); ++i)
            names.push_back(main->Lista->item(i).FileName.string());
        return names;
    }

    // As the list does when the user picks an entry.
    void choose(int category) {
        main->cArea->setCurrentIndex(category);
        emit main->cArea->activated(category);
    }

    void clickTile(int index) {
        QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {},
                          main->Lista->tileRect(index).center());
    }

    searchtest::Library library;
    std::unique_ptr<browser::TfrmVisualizar> main;
    std::unique_ptr<download::TfrmDownload> packages;
    std::unique_ptr<preview::TfrmPreview> preview;
};

TEST_F(SearchWindowTest, TypingFillsTheGridFromEveryInstalledCategory) {
    createWindows();
    const struct {
        const char* typed;
        std::vector<std::string> found;
    } cases[] = {
        {"torneira", {"Cuba01.PNG"}},
        {"mobilia", {"Mesa.PNG"}},
        {"CADEIRA gira", {"CadeiraEscritorio.PNG"}},
        {"contorno", {"Cuba01.PNG", "Geladeira.PNG", "CadeiraEscritorio.PNG", "Mesa.PNG"}},
        {"nada disso", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        main->eProcurar->clear();
        type(QString::fromUtf8(c.typed));
        EXPECT_TRUE(main->showingResults());
        EXPECT_EQ(gridNames(), c.found);
        EXPECT_EQ(main->cArea->currentIndex(), -1);
        EXPECT_EQ(main->cArea->placeholderText(),
                  QStringLiteral("Resultados: %1 blocos").arg(c.found.size()));
        EXPECT_EQ(QApplication::focusWidget(), main->eProcurar) << "the keys stay in the field";
        EXPECT_TRUE(main->secondStatusPanelText().isEmpty());
    }
}

TEST_F(SearchWindowTest, AResultKeepsItsOwnCategoryForStatusPreviewAndWalk) {
    createWindows();
    type("contorno");
    ASSERT_EQ(main->Lista->count(), 4);
    clickTile(0);
    EXPECT_EQ(main->secondStatusPanelText(),
              QStringLiteral("» Biblioteca - Cozinhas - Bloco Cuba01"));
    ASSERT_TRUE(waitUntil([&] { return preview->windowTitle() == main->secondStatusPanelText(); }));
    EXPECT_TRUE(preview->dwg->failureText().isEmpty()) << "the drawing came from Cozinhas";

    preview->bProximo->click();
    preview->bProximo->click();
    ASSERT_TRUE(waitUntil([&] { return main->selectedItemIndex() == 2; }));
    EXPECT_EQ(main->secondStatusPanelText(),
              QStringLiteral("» Biblioteca - Mobília - Bloco CadeiraEscritorio"));
    ASSERT_TRUE(waitUntil([&] { return preview->windowTitle() == main->secondStatusPanelText(); }));
    EXPECT_TRUE(preview->dwg->failureText().isEmpty()) << "the drawing came from Mobília";
    EXPECT_EQ(main->itemBlock(2).ref.category, 9);
    EXPECT_EQ(main->itemBlock(2).drawing.parent_path().parent_path(), library.categoryFolder(9));
}

TEST_F(SearchWindowTest, AResultIsSavedFromItsOwnCategory) {
    createWindows();
    searchtest::TemporaryFolder target;
    type("jantar");
    ASSERT_EQ(gridNames(), std::vector<std::string>{"Mesa.PNG"});
    clickTile(0);
    QString message;
    ui_test::whenModalActive([&](QDialog* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(
            QString::fromStdString((target.path() / edit->text().toStdString()).string()));
        ui_test::whenModalActive([&](QDialog* box) {
            for (const QLabel* label : box->findChildren<QLabel*>()) message += label->text();
            box->accept();
        });
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QTest::mouseClick(main->bSalvar, Qt::LeftButton);
    EXPECT_TRUE(message.contains(QStringLiteral("Procedimento concluído.")))
        << message.toStdString();
    EXPECT_TRUE(fs::is_regular_file(target.path() / "Mesa.DWG"));
}

TEST_F(SearchWindowTest, ChoosingACategoryLeavesTheSearchAndEmptiesTheField) {
    createWindows();
    type("torneira");
    ASSERT_TRUE(main->showingResults());
    choose(9);
    EXPECT_FALSE(main->showingResults());
    EXPECT_TRUE(main->eProcurar->text().isEmpty());
    EXPECT_TRUE(main->cArea->placeholderText().isEmpty());
    EXPECT_EQ(gridNames(), (std::vector<std::string>{"CadeiraEscritorio.PNG", "Mesa.PNG"}));
    clickTile(1);
    EXPECT_EQ(main->secondStatusPanelText(), QStringLiteral("» Biblioteca - Mobília - Bloco Mesa"));
    QTest::qWait(400);
    EXPECT_FALSE(main->showingResults()) << "no search left pending";
}

TEST_F(SearchWindowTest, ChoosingACategoryNotInstalledShowsTheOneChosenBefore) {
    // The package window shows each package's description as it ticks it.
    for (int n = 0; n < library::kCategoryCount; ++n)
        searchtest::Library::writeFile(library.layout().descriptionFile(n), "Pacote\r\n");
    createWindows();
    choose(3);
    type("mesa");
    ASSERT_TRUE(main->showingResults());
    std::vector<std::string> whileOffered;
    bool offered = false;
    ui_test::whenModalActive([&](QDialog* dialog) {
        offered = dialog == packages.get();
        whileOffered = gridNames();
        dialog->close();
    });
    choose(0);
    EXPECT_TRUE(offered);
    EXPECT_EQ(whileOffered, (std::vector<std::string>{"Cuba01.PNG", "Geladeira.PNG"}));
    EXPECT_FALSE(main->showingResults());
    EXPECT_TRUE(main->eProcurar->text().isEmpty());
    // The list was rewritten when the package window closed: nothing chosen, an empty grid.
    EXPECT_EQ(main->cArea->currentIndex(), -1);
    EXPECT_EQ(main->Lista->count(), 0);
    // Back from the package window, as the window system gives the focus back.
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    type("mesa");
    QTest::keyClick(main->eProcurar, Qt::Key_Escape);
    EXPECT_EQ(main->Lista->count(), 0) << "no category to go back to";
}

TEST_F(SearchWindowTest, EscEmptiesTheFieldAndGoesBackToTheCategory) {
    createWindows();
    choose(3);
    type("mesa");
    ASSERT_EQ(gridNames(), std::vector<std::string>{"Mesa.PNG"});
    QTest::keyClick(main->eProcurar, Qt::Key_Escape);
    EXPECT_TRUE(main->eProcurar->text().isEmpty());
    EXPECT_FALSE(main->showingResults());
    EXPECT_EQ(main->cArea->currentIndex(), 3);
    EXPECT_EQ(gridNames(), (std::vector<std::string>{"Cuba01.PNG", "Geladeira.PNG"}));
    EXPECT_EQ(main->itemCategoryText(0), QStringLiteral("» Biblioteca - Cozinhas"));
}

TEST_F(SearchWindowTest, CtrlFPutsTheKeysInTheField) {
    createWindows();
    choose(3);
    main->eProcurar->setText(QStringLiteral("velho"));
    main->Lista->setFocus();
    QTest::keyClick(main->Lista, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), main->eProcurar);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("cuba"));
    EXPECT_EQ(main->eProcurar->text(), QStringLiteral("cuba")) << "what was there is replaced";
}

TEST_F(SearchWindowTest, ATileHintsNameCategoryDrawingSizeAndArchiveSize) {
    createWindows();
    type("torneira");
    ASSERT_EQ(main->Lista->count(), 1);
    const QPoint centre = main->Lista->tileRect(0).center();
    QHelpEvent help(QEvent::ToolTip, centre, main->Lista->viewport()->mapToGlobal(centre));
    QApplication::sendEvent(main->Lista->viewport(), &help);
    ASSERT_TRUE(waitUntil([] { return QToolTip::isVisible(); }));
    const qint64 archiveSize =
        static_cast<qint64>(fs::file_size(library.categoryFolder(3) / "DWG" / "Cuba01.DWG.zip"));
    EXPECT_EQ(QToolTip::text(),
              QStringLiteral("Bloco Cuba01\nCategoria: Cozinhas\nTamanho: 180 × 90 cm\nArquivo: ") +
                  QLocale(QLocale::Portuguese, QLocale::Brazil)
                      .formattedDataSize(archiveSize, 1, QLocale::DataSizeTraditionalFormat));
    QToolTip::hideText();
}

TEST_F(SearchWindowTest, ADamagedIndexIsRebuiltAtStartUp) {
    searchtest::Library::writeFile(library.layout().searchIndexFile(), std::string(8192, '\x5A'));
    createWindows();
    type("torneira");
    EXPECT_EQ(gridNames(), std::vector<std::string>{"Cuba01.PNG"});
}

TEST_F(SearchWindowTest, AnIndexLostWhileRunningIsBuiltAgain) {
    createWindows();
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(fs::path(library.layout().searchIndexFile()) += suffix);
    // Whether the first answer comes before or after the rebuild depends on the
    // indexing thread; what matters is that the rebuilt index answers.
    type("torneira");
    EXPECT_TRUE(main->showingResults());
    main->indexer().wait();
    // The categories indexed again join the results on screen.
    ASSERT_TRUE(waitUntil([&] { return main->Lista->count() == 1; }));
    EXPECT_EQ(gridNames(), std::vector<std::string>{"Cuba01.PNG"});
}

TEST_F(SearchWindowTest, APasteIsCutToWhatTheSearchReads) {
    createWindows();
    QString pasted;
    while (pasted.size() < 10000) pasted += QStringLiteral("torneira monocomando ");
    QApplication::clipboard()->setText(pasted);
    main->eProcurar->setFocus();
    QTest::keyClick(main->eProcurar, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(main->eProcurar->text(), pasted.left(search::kMaxQueryCharacters));
    waitForAnswer();
    EXPECT_EQ(gridNames(), std::vector<std::string>{"Cuba01.PNG"});
}

TEST_F(SearchWindowTest, AnAnswerNoLongerWantedIsDropped) {
    createWindows();
    choose(3);
    const struct {
        const char* what;
        std::function<void()> leave;
    } ways[] = {
        {"Esc", [&] { QTest::keyClick(main->eProcurar, Qt::Key_Escape); }},
        {"another category", [&] { choose(9); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        main->eProcurar->setFocus();
        main->eProcurar->setText(QStringLiteral("torneira"));
        QTest::keyClick(main->eProcurar, Qt::Key_Return);
        ASSERT_TRUE(main->searching()) << "answered later, off the window's thread";
        const std::vector<std::string> before = gridNames();
        way.leave();
        EXPECT_FALSE(main->searching());
        const std::vector<std::string> left = gridNames();
        // Long enough for the worker to answer a query over four blocks.
        QTest::qWait(300);
        EXPECT_FALSE(main->showingResults());
        EXPECT_EQ(gridNames(), left);
        EXPECT_NE(left, std::vector<std::string>{"Cuba01.PNG"});
    }
}

TEST_F(SearchWindowTest, ReturnMovesTheKeysToTheGridOnceAnswered) {
    createWindows();
    main->eProcurar->setFocus();
    main->eProcurar->setText(QStringLiteral("contorno"));
    QTest::keyClick(main->eProcurar, Qt::Key_Return);
    waitForAnswer();
    EXPECT_EQ(main->Lista->count(), 4);
    EXPECT_EQ(QApplication::focusWidget(), main->Lista);
}

TEST_F(SearchWindowTest, ReturnStillMovesTheKeysWhenACategoryIndexedMeanwhileAsksAgain) {
    createWindows();
    // A category finishes indexing just as Return is pressed: the window asks
    // again before the first answer, and that answer still takes the keys.
    const fs::path thumbnails = library::imgFolder(library.categoryFolder(3));
    for (const auto& entry : fs::directory_iterator(thumbnails))
        fs::last_write_time(entry.path(), fs::file_time_type::clock::now() + std::chrono::hours(1));
    main->indexer().start();
    main->indexer().wait();
    main->eProcurar->setFocus();
    main->eProcurar->setText(QStringLiteral("contorno"));
    const std::uint64_t asked = main->queryWorker().lastTicket();
    QTest::keyClick(main->eProcurar, Qt::Key_Return);
    waitForAnswer();
    EXPECT_EQ(main->queryWorker().lastTicket(), asked + 2) << "asked, then asked again";
    EXPECT_EQ(main->Lista->count(), 4);
    EXPECT_EQ(QApplication::focusWidget(), main->Lista);
}

TEST_F(SearchWindowTest, CategoriesIndexedMeanwhileAskTheSearchAgainOnce) {
    createWindows();
    type("contorno");
    ASSERT_EQ(main->Lista->count(), 4);
    clickTile(2);
    ASSERT_EQ(main->selectedItemIndex(), 2);

    // Both categories read again, with nothing new found: the grid and its selection stay.
    // The thumbnails' times change what the indexer compares (a folder's own
    // time cannot be set through the C library on Windows).
    for (int category : {3, 9}) {
        const fs::path thumbnail = library::imgFolder(library.categoryFolder(category));
        for (const auto& entry : fs::directory_iterator(thumbnail))
            fs::last_write_time(entry.path(),
                                fs::file_time_type::clock::now() + std::chrono::hours(1));
    }
    std::uint64_t asked = main->queryWorker().lastTicket();
    main->indexer().start();
    main->indexer().wait();  // both categories finish before the window looks
    QApplication::processEvents();
    waitForAnswer();
    EXPECT_EQ(main->queryWorker().lastTicket(), asked + 1);
    EXPECT_EQ(main->selectedItemIndex(), 2);

    // New blocks in both: one search again, and they join the results.
    library.addBlock(3, "Pia", labelledBox(100, 50, "Pia"), pngBytes());
    library.addBlock(9, "Banco", labelledBox(40, 40, "Banco"), pngBytes());
    asked = main->queryWorker().lastTicket();
    main->indexer().start();
    main->indexer().wait();
    QApplication::processEvents();
    waitForAnswer();
    EXPECT_EQ(main->queryWorker().lastTicket(), asked + 1);
    EXPECT_EQ(gridNames(),
              (std::vector<std::string>{"Cuba01.PNG", "Geladeira.PNG", "Pia.PNG", "Banco.PNG",
                                        "CadeiraEscritorio.PNG", "Mesa.PNG"}));
}

TEST_F(SearchWindowTest, AnIndexThatIsALinkIsLeftAloneAndTheStatusBarSaysSo) {
    searchtest::TemporaryFolder elsewhere;
    const fs::path usersFile = elsewhere.path() / "texto.txt";
    searchtest::Library::writeFile(usersFile, "meu texto");
    testsupport::plantLink(usersFile, library.layout().searchIndexFile());
    createWindows();
    type("torneira");
    EXPECT_TRUE(main->showingResults());
    EXPECT_EQ(main->Lista->count(), 0);
    const auto* firstPanel = main->findChild<QLabel*>(QStringLiteral("statusFirstPanel"));
    ASSERT_NE(firstPanel, nullptr);
    EXPECT_TRUE(firstPanel->text().startsWith(QStringLiteral("O índice de busca não foi aberto")))
        << firstPanel->text().toStdString();
    EXPECT_TRUE(firstPanel->text().contains(QStringLiteral("link")));
    EXPECT_EQ(fixtures::readFile(usersFile), "meu texto");

    // The link gone, the index is built and the message goes with the next answer.
    fs::remove(library.layout().searchIndexFile());
    main->indexer().start();
    main->indexer().wait();
    QApplication::processEvents();
    waitForAnswer();
    EXPECT_EQ(gridNames(), std::vector<std::string>{"Cuba01.PNG"});
    EXPECT_TRUE(firstPanel->text().isEmpty());
}

}  // namespace

TEST_F(SearchWindowTest, AUsersFolderIsSearchedTooAndEachResultNamesItsFolder) {
    searchtest::TemporaryFolder home;
    const fs::path folder = home.path() / library::pathFromUtf8("Blocos da empresa");
    const std::vector<std::uint8_t> drawing =
        dwg::writeR2000(labelledBox(30, 20, "Torneira de parede"));
    searchtest::Library::writeFile(folder / "banho" / "misturador.dwg",
                       std::string(drawing.begin(), drawing.end()));
    ASSERT_EQ(library::UserFolders(library.layout()).add(folder), "");
    createWindows();
    type("torneira");
    ASSERT_EQ(gridNames(), (std::vector<std::string>{"Cuba01.PNG", "misturador.dwg"}));
    clickTile(1);
    EXPECT_EQ(main->secondStatusPanelText(),
              QStringLiteral("» Minha pasta - Blocos da empresa - Bloco misturador"));
    ASSERT_TRUE(waitUntil([&] { return preview->windowTitle() == main->secondStatusPanelText(); }));
    ASSERT_TRUE(waitUntil([&] { return !preview->dwg->displayList().empty(); }));
    EXPECT_TRUE(preview->dwg->failureText().isEmpty()) << "the drawing came from the folder";

    const QPoint centre = main->Lista->tileRect(1).center();
    QHelpEvent help(QEvent::ToolTip, centre, main->Lista->viewport()->mapToGlobal(centre));
    QApplication::sendEvent(main->Lista->viewport(), &help);
    ASSERT_TRUE(waitUntil([] { return QToolTip::isVisible(); }));
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("Pasta: Blocos da empresa / banho")))
        << QToolTip::text().toStdString();
    QToolTip::hideText();
}
