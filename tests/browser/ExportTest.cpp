// Export through the real main window: the real save dialog and message boxes
// are answered as a user would, and the target folder is checked byte for byte.
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDrag>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <span>

#include "../archive/ZipFixtures.h"
#include "ModalScript.h"
#include "Sketch.h"
#include "browser/ThumbnailGrid.h"
#include "browser/UNfrmVisualizar.h"
#include "download/PackageInstall.h"
#include "library/RunJournal.h"
#include "preview/DwgViewer.h"
#include "preview/UNfrmPreview.h"
#include "ui/Pump.h"
#include "ui/Translations.h"
#include "ui/Windows.h"

namespace fs = std::filesystem;
using fixtures::Member;
using fixtures::readFile;

using namespace browsertest;

namespace {

// Whether anyone may write the file: of its permissions, all that Windows keeps
// is this read-only mark.
bool writable(const fs::path& file) {
    return (fs::status(file).permissions() &
            (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) !=
           fs::perms::none;
}

// Answers a box shown over the save dialog, then, back in the dialog, gives
// up; stillOpen tells whether the dialog was still there to give up.
ModalScript::Step answerThenCancelTheDialog(ModalScript::Step answer, bool& stillOpen) {
    return [answer = std::move(answer), &stillOpen](QWidget* box) {
        answer(box);
        QTimer::singleShot(50, [&stillOpen] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            stillOpen = dialog != nullptr;
            if (dialog) dialog->reject();
        });
    };
}
ModalScript::Step pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [key, modifiers](QWidget* modal) { QTest::keyClick(modal, key, modifiers); };
}

// The file a drag or the clipboard offers: one local file.
fs::path offeredFile(const QMimeData* data) {
    if (!data || data->urls().size() != 1 || !data->urls()[0].isLocalFile()) return {};
    return library::pathFromUtf8(data->urls()[0].toLocalFile().toStdString());
}

class ExportTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(ui::installPortugueseTranslations(*qApp)); }

    void SetUp() override {
        ui::setSleepForTests([](int) {});
        program = temp.path() / "programa";
        target = temp.path() / "Meus desenhos";
        fs::create_directories(target);
        fs::create_directories(program / "Blocos" / "3" / "IMG");
        fs::create_directories(program / "Blocos" / "3" / "DWG");
    }
    void TearDown() override {
        ui::setSleepForTests({});
        ui::windows() = {};
    }

    fs::path dwgFolder() const { return program / "Blocos" / "3" / "DWG"; }

    // A block with its thumbnail and an archive holding its drawing; the
    // drawing differs from category to category.
    std::string addBlock(const std::string& name, std::size_t size = 20000, int category = 3) {
        const fs::path folder = program / "Blocos" / std::to_string(category);
        const std::string drawing =
            fixtures::drawingBytes(size, static_cast<unsigned>(name.size() * 16 + category));
        QImage image(30, 20, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        // Through the path: a name that is not UTF-8 keeps its bytes.
        fixtures::writeFile(folder / "IMG" / library::pathFromUtf8(name + ".PNG"),
                            png.toStdString());
        fs::create_directories(folder / "DWG");
        fixtures::writeWithLibzip(folder / "DWG" / library::pathFromUtf8(name + ".DWG.zip"),
                                  {Member(name + ".DWG", drawing)});
        return drawing;
    }

    void openCategoryAndSelect(const std::string& block) {
        main = std::make_unique<browser::TfrmVisualizar>(library::Layout(program));
        ui::windows().main = main.get();
        // Its first-show step would open the category list's drop-down over the dialogs.
        main->tBrowser->stop();
        main->show();
        chooseCategoryAndSelect(3, block);
    }
    void chooseCategoryAndSelect(int category, const std::string& block) {
        main->cArea->setCurrentIndex(category);
        emit main->cArea->activated(category);
        for (int i = 0; i < main->Lista->count(); ++i)
            if (main->Lista->item(i).FileName == library::pathFromUtf8(block + ".PNG"))
                main->Lista->setSelectedIndex(i);
    }

    // Presses save and answers the windows with steps; what they showed.
    std::vector<SeenBox> exportWith(std::deque<ModalScript::Step> steps) {
        ModalScript script(std::move(steps));
        QTest::mouseClick(main->bSalvar, Qt::LeftButton);
        EXPECT_TRUE(script.finished()) << "windows expected but not shown";
        return script.seen();
    }

    // Presses on the tile and moves the mouse by distance with the button
    // down, as a drag out of the grid starts; what the drag offered, nothing
    // when none started.
    std::optional<fs::path> dragTile(int index, int distance) {
        QWidget* viewport = main->Lista->viewport();
        const QPoint start = main->Lista->tileRect(index).center();
        const QPoint end = start + QPoint(distance, 0);
        // A platform whose drag waits for the mouse would hold the test: end it.
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, [] { QDrag::cancel(); });
        deadline.start(5000);
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, start);
        QMouseEvent move(QEvent::MouseMove, end, viewport->mapToGlobal(end), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        std::optional<fs::path> offered;
        if (auto* drag = main->Lista->findChild<QDrag*>()) offered = offeredFile(drag->mimeData());
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, end);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(main->Lista->findChild<QDrag*>(), nullptr);
        return offered;
    }
    fs::path copyToClipboard() {
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(main->Lista, Qt::Key_C, Qt::ControlModifier);
        return offeredFile(QGuiApplication::clipboard()->mimeData());
    }

    std::vector<std::string> targetFiles() const { return fixtures::listTree(target); }
    void emptyTarget() const {
        fs::remove_all(target);
        fs::create_directories(target);
    }

    fixtures::TempFolder temp;
    fs::path program;
    fs::path target;
    std::unique_ptr<browser::TfrmVisualizar> main;
};

const QString kDone = QStringLiteral("Procedimento concluído.");

}  // namespace

TEST_F(ExportTest, TheDrawingTakesTheNameTypedOrProposed) {
    struct Case {
        const char* block;
        const char* typed;  // empty: the proposed name accepted
        const char* written;
    };
    const Case cases[] = {
        {"Cama de casal", "copia da cama.DWG", "copia da cama.DWG"},
        {"Cama de casal", "copia da cama", "copia da cama.DWG"},
        {"Cama de casal", "planta.dwg", "planta.dwg"},
        {"Cama de casal", "planta.v2", "planta.v2"},
        {"Cama de casal", "", "Cama de casal.DWG"},
        // Only the thumbnail's extension was dropped: the dots stay, .DWG follows.
        {"Mesa.Redonda", "", "Mesa.Redonda.DWG"},
        {"Mesa.Redonda", "Mesa.Redonda", "Mesa.Redonda.DWG"},
        {"Mesa.Redonda", "Outra.Mesa", "Outra.Mesa"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.block) + " as " + c.typed);
        const std::string drawing = addBlock(c.block);
        openCategoryAndSelect(c.block);
        QString proposed;
        const auto seen =
            exportWith({*c.typed ? saveAs(target / library::pathFromUtf8(c.typed), &proposed)
                                 : acceptProposedIn(target, &proposed),
                        pressKey(Qt::Key_Return)});
        EXPECT_EQ(proposed, QString::fromUtf8(c.block));
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].kind, QStringLiteral("save"));
        EXPECT_EQ(seen[0].title, QStringLiteral("Salvar"));
        EXPECT_EQ(seen[1].title, QStringLiteral("Informação"));
        EXPECT_EQ(seen[1].text, kDone);
        // Only the drawing: the copy made on the way is gone.
        EXPECT_EQ(targetFiles(), std::vector<std::string>{c.written});
        EXPECT_EQ(readFile(target / library::pathFromUtf8(c.written)), drawing);
        EXPECT_TRUE(main->bSalvar->isEnabled());
        EXPECT_TRUE(
            fs::exists(dwgFolder() / library::pathFromUtf8(std::string(c.block) + ".DWG.zip")))
            << "the library keeps its archive";
        emptyTarget();
    }
}

TEST_F(ExportTest, ArchivesFromAnIndependentWriterExportToo) {
    const std::string drawing = fixtures::drawingBytes(300000, 7);
    fixtures::writeFile(temp.path() / "staging" / "Pia Dupla.DWG", drawing);
    addBlock("Pia Dupla");
    fs::remove(dwgFolder() / "Pia Dupla.DWG.zip");
    fixtures::writeWithInfoZip(dwgFolder() / "Pia Dupla.DWG.zip", temp.path() / "staging",
                               {"Pia Dupla.DWG"});
    openCategoryAndSelect("Pia Dupla");
    exportWith({acceptProposedIn(target), pressKey(Qt::Key_Return)});
    ASSERT_EQ(targetFiles(), std::vector<std::string>{"Pia Dupla.DWG"});
    EXPECT_EQ(readFile(target / "Pia Dupla.DWG"), drawing);
}

// A user's own read-only drawing of the block's name lies in the folder; the
// user saves the block under another name.
TEST_F(ExportTest, AnotherNameLeavesTheUsersFileOfTheBlocksNameAlone) {
    const std::string drawing = addBlock("Cama de casal");
    const fs::path own = target / "Cama de casal.DWG";
    fixtures::writeFile(own, "the user's own drawing");
    fs::permissions(own, fs::perms::owner_read);
    openCategoryAndSelect("Cama de casal");
    const auto seen = exportWith({saveAs(target / "copia da cama.DWG"), pressKey(Qt::Key_Return)});
    ASSERT_EQ(seen.size(), 2u) << "no question: nothing of that name is there";
    EXPECT_EQ(seen.back().text, kDone);
    EXPECT_EQ(readFile(target / "copia da cama.DWG"), drawing);
    EXPECT_EQ(readFile(own), "the user's own drawing");
    EXPECT_FALSE(writable(own));
    EXPECT_EQ(targetFiles(), (std::vector<std::string>{"Cama de casal.DWG", "copia da cama.DWG"}));
}

TEST_F(ExportTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
    struct Case {
        const char* block;
        const char* typed;  // empty: the proposed name accepted
        const char* existing;
        ModalScript::Step answer;
        bool replaced;
    };
    const std::vector<Case> cases = {
        {"Sofa01", "copia", "copia.DWG", clickButton("Yes"), true},
        {"Sofa01", "copia", "copia.DWG", clickButton("No"), false},
        {"Cadeira de balanço", "", "Cadeira de balanço.DWG", pressKey(Qt::Key_S, Qt::AltModifier),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.existing) + (c.replaced ? " replaced" : " kept"));
        const std::string drawing = addBlock(c.block);
        const fs::path existing = target / library::pathFromUtf8(c.existing);
        fixtures::writeFile(existing, "older drawing");
        openCategoryAndSelect(c.block);
        const ModalScript::Step answer = [&](QWidget* modal) {
            auto* yes = modal->findChild<QPushButton*>(QStringLiteral("Yes"));
            auto* no = modal->findChild<QPushButton*>(QStringLiteral("No"));
            ASSERT_TRUE(yes && no);
            EXPECT_EQ(yes->text(), QStringLiteral("&Sim"));
            EXPECT_EQ(no->text(), QStringLiteral("&Não"));
            c.answer(modal);
        };
        // Not replacing leaves the user in the dialog, to pick another name or give up.
        bool dialogStayed = false;
        std::deque<ModalScript::Step> steps = {*c.typed ? saveAs(target / c.typed)
                                                        : acceptProposedIn(target)};
        if (c.replaced) {
            steps.push_back(answer);
            steps.push_back(pressKey(Qt::Key_Return));
        } else {
            steps.push_back(answerThenCancelTheDialog(answer, dialogStayed));
        }
        const auto seen = exportWith(std::move(steps));
        ASSERT_EQ(seen.size(), c.replaced ? 3u : 2u);
        EXPECT_EQ(seen[1].title, QStringLiteral("Confirmação"));
        EXPECT_EQ(seen[1].text, QStringLiteral("\n\"%1\" já existe.\nDeseja substituí-lo?\n")
                                    .arg(QString::fromUtf8(c.existing)));
        EXPECT_EQ(seen.back().text == kDone, c.replaced);
        EXPECT_EQ(dialogStayed, !c.replaced);
        EXPECT_EQ(readFile(existing), c.replaced ? drawing : "older drawing");
        EXPECT_EQ(targetFiles(), std::vector<std::string>{c.existing});
        emptyTarget();
    }
}

TEST_F(ExportTest, AReadOnlyFileIsNeverReplaced) {
    addBlock("Sofa01");
    for (const char* typed : {"copia", "Sofa01"}) {
        SCOPED_TRACE(typed);
        const fs::path file = target / (std::string(typed) + ".DWG");
        fixtures::writeFile(file, "read-only drawing");
        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
        openCategoryAndSelect("Sofa01");
        bool dialogStayed = false;
        const auto seen =
            exportWith({saveAs(target / typed),
                        answerThenCancelTheDialog(pressKey(Qt::Key_Return), dialogStayed)});
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1].title, QStringLiteral("Erro"));
        EXPECT_EQ(seen[1].text,
                  QStringLiteral("\nO arquivo \"%1.DWG\" é somente leitura e não foi substituído.\n"
                                 "Escolha outro nome ou outra pasta.\n")
                      .arg(QLatin1String(typed)));
        EXPECT_TRUE(dialogStayed);
        EXPECT_EQ(readFile(file), "read-only drawing");
        EXPECT_FALSE(writable(file));
        EXPECT_EQ(targetFiles(), std::vector<std::string>{file.filename().string()});
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
        fs::remove(file);
    }
}

TEST_F(ExportTest, NothingSelectedOrNoCategoryExplainsWhatToDo) {
    const QString explanation = QStringLiteral(
        "\nPara salvar o bloco, selecione a biblioteca na caixa de opção no canto superior "
        "esquerdo\n"
        "e clique sobre o bloco desejado na lista de imagens.\n");
    for (const bool categoryCleared : {false, true}) {
        SCOPED_TRACE(categoryCleared ? "a block selected, then the category choice cleared"
                                     : "no category chosen");
        if (categoryCleared) {
            addBlock("Sofa01");
            openCategoryAndSelect("Sofa01");
            main->cArea->setCurrentIndex(-1);
        } else {
            main = std::make_unique<browser::TfrmVisualizar>(library::Layout(program));
            main->show();
        }
        const auto seen = exportWith({pressKey(categoryCleared ? Qt::Key_Return : Qt::Key_Escape)});
        ASSERT_EQ(seen.size(), 1u) << "no save dialog";
        EXPECT_EQ(seen[0].kind, QStringLiteral("message"));
        EXPECT_EQ(seen[0].title, QStringLiteral("Informação"));
        EXPECT_EQ(seen[0].text, explanation);
        EXPECT_TRUE(targetFiles().empty());
    }
}

TEST_F(ExportTest, UnreadableArchivesEndWithAnErrorAndNoLeftovers) {
    const QString damaged = QStringLiteral(
        "zip: Invalid size or check sum of file or unsupported compression format"
        " - Native error: 00008. File processing error, possibly disk is full");
    const auto damage = [](const fs::path& archive) { fixtures::damageMember(archive, "Pia.DWG"); };
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> spoil;
        std::vector<const char*> answers;  // the buttons clicked in the zip reader's questions
        QString question;                  // what each question says; empty: not checked
    };
    const std::vector<Case> cases = {
        {"missing", [](const fs::path& archive) { fs::remove(archive); }, {}, {}},
        {"not a zip",
         [](const fs::path& archive) { fixtures::writeFile(archive, "isto não é um zip"); },
         {},
         {}},
        {"truncated",
         [](const fs::path& archive) {
             const std::string bytes = readFile(archive);
             fixtures::writeFile(archive, bytes.substr(0, bytes.size() / 2));
         },
         {},
         {}},
        {"wrong password",
         [](const fs::path& archive) {
             fixtures::writeWithLibzip(archive, {Member("Pia.DWG", "secret drawing")},
                                       "outra senha");
         },
         {"Ignore"},
         {}},
        {"damaged member, aborted", damage, {"Abort"}, damaged},
        {"damaged member, ignored", damage, {"Ignore"}, damaged},
        // Retry reads the member again: the question comes back until the user gives up.
        {"damaged member, retried", damage, {"Retry", "Abort"}, damaged},
    };
    addBlock("Sofa01");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        addBlock("Pia", 60000);
        c.spoil(dwgFolder() / "Pia.DWG.zip");
        openCategoryAndSelect("Pia");
        std::deque<ModalScript::Step> steps = {acceptProposedIn(target)};
        for (const char* answer : c.answers) steps.push_back(clickButton(answer));
        steps.push_back(pressKey(Qt::Key_Return));
        const auto seen = exportWith(std::move(steps));
        ASSERT_EQ(seen.size(), c.answers.size() + 2);
        for (std::size_t i = 1; i <= c.answers.size(); ++i) {
            EXPECT_EQ(seen[i].kind, QStringLiteral("question"));
            EXPECT_EQ(seen[i].title, QStringLiteral("Confirmação"));
            if (!c.question.isEmpty()) {
                EXPECT_EQ(seen[i].text, c.question);
            }
        }
        EXPECT_EQ(seen.back().title, QStringLiteral("Erro"));
        EXPECT_NE(seen.back().text, kDone);
        EXPECT_TRUE(targetFiles().empty()) << "no drawing, no temporary copy";
    }
}

// Names found anywhere below the test's folder, at any depth.
bool existsBelow(const fs::path& folder, const std::string& name) {
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename() == name) return true;
    return false;
}

TEST_F(ExportTest, HostileBlockArchivesWriteOnlyTheDrawingOrSaySo) {
    const std::string drawing = fixtures::drawingBytes(20000, 3);
    struct Case {
        const char* what;
        std::vector<Member> members;
        std::string hostileName;  // the first member is renamed to this, byte for byte
        std::deque<ModalScript::Step> answers;  // to the zip reader's questions
        std::string written;                    // the drawing written, empty for none
        QString mentioned;                      // in the last message
    };
    const std::vector<Case> cases = {
        {"extra members",
         {{"sub/.bashrc", "rm -rf ~"}, {"leiame.txt", "leia"}, {"Poltrona.DWG", drawing}},
         "",
         {},
         drawing,
         kDone},
        {"DOS name of UTF-8 bytes without the UTF-8 mark",
         {Member("B16_Poltrona_XXbano.DWG", drawing).dosAttributes(0x20)},
         "B16_Poltrona_\xC3\x89"
         "bano.DWG",
         {},
         drawing,
         kDone},
        {"names outside the folder",
         {{"../fora.DWG", "a"}, {"/tmp/tessaly-fora.DWG", "b"}, {"..\\fora2.DWG", "c"}},
         "",
         {},
         "a",
         kDone},
        {"NUL inside the name",
         {{"B68.DWGX../../evil.DWG", drawing}},
         std::string("B68.DWG\0../../evil.DWG", 22),
         {},
         "",
         QStringLiteral("nomes de arquivo inválidos")},
        {"no drawing", {{"leiame.txt", "leia"}}, "", {}, "", QStringLiteral("leiame.txt")},
        {"bomb",
         {{"Poltrona.DWG", std::string(4 * 1024 * 1024, '\0')}},
         "",
         {clickButton("Abort")},
         "",
         QStringLiteral("danificado")},
        {"AES encryption",
         {Member("Poltrona.DWG", drawing).aes()},
         "",
         {clickButton("Ignore")},
         "",
         QStringLiteral("criptografia")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        addBlock("Poltrona");
        const fs::path archive = dwgFolder() / "Poltrona.DWG.zip";
        ASSERT_NO_FATAL_FAILURE(fixtures::writeWithLibzip(archive, c.members));
        if (!c.hostileName.empty()) {
            ASSERT_NO_FATAL_FAILURE(
                fixtures::renameStored(archive, c.members[0].name, c.hostileName));
        }
        openCategoryAndSelect("Poltrona");
        std::deque<ModalScript::Step> steps = c.answers;
        steps.push_front(acceptProposedIn(target));
        steps.push_back(pressKey(Qt::Key_Return));
        const auto seen = exportWith(std::move(steps));

        ASSERT_FALSE(seen.empty());
        EXPECT_TRUE(seen.back().text.contains(c.mentioned)) << seen.back().text.toStdString();
        EXPECT_EQ(seen.back().text == kDone, !c.written.empty()) << "success only when written";
        if (c.written.empty()) {
            EXPECT_TRUE(targetFiles().empty());
        } else {
            EXPECT_EQ(targetFiles(), std::vector<std::string>{"Poltrona.DWG"});
            EXPECT_EQ(readFile(target / "Poltrona.DWG"), c.written);
        }
        for (const char* outside : {"evil.DWG", "fora.DWG", "fora2.DWG", ".bashrc", "leiame.txt"})
            EXPECT_FALSE(existsBelow(temp.path(), outside)) << outside;
        EXPECT_FALSE(fs::exists("/tmp/tessaly-fora.DWG"));
        emptyTarget();
    }
}

// The copy the export once made, named after what the user typed, stood on
// another block's archive or on a user's own file and was deleted afterwards.
TEST_F(ExportTest, NeverReplacesOrDeletesAFileItDidNotCreate) {
    const std::string mesa = addBlock("Mesa01");
    addBlock("Sofa01");
    const std::string mesaArchive = readFile(dwgFolder() / "Mesa01.DWG.zip");
    const std::string sofaArchive = readFile(dwgFolder() / "Sofa01.DWG.zip");
    fixtures::writeFile(target / "Projeto.DWG.zip", "the user's own archive");
    struct Case {
        const char* what;
        fs::path typed;
        std::deque<ModalScript::Step> after;  // the windows that follow the dialog
        fs::path written;                     // empty: nothing written
    };
    const std::vector<Case> cases = {
        {"another block's name in the category's DWG folder",
         dwgFolder() / "Sofa01",
         {pressKey(Qt::Key_Return)},
         dwgFolder() / "Sofa01.DWG"},
        {"beside a user's own archive of the typed name",
         target / "Projeto",
         {pressKey(Qt::Key_Return)},
         target / "Projeto.DWG"},
        // Replacing is agreed to, but the archive being read is the block itself.
        {"the block's own archive",
         dwgFolder() / "Mesa01.DWG.zip",
         {clickButton("Yes"), pressKey(Qt::Key_Return)},
         {}},
        {"the block's own name in its DWG folder",
         dwgFolder() / "Mesa01",
         {pressKey(Qt::Key_Return)},
         dwgFolder() / "Mesa01.DWG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        openCategoryAndSelect("Mesa01");
        std::deque<ModalScript::Step> steps = c.after;
        steps.push_front(saveAs(c.typed));
        const auto seen = exportWith(std::move(steps));
        EXPECT_EQ(seen.back().text == kDone, !c.written.empty());
        if (!c.written.empty()) {
            EXPECT_EQ(readFile(c.written), mesa);
        }
    }
    EXPECT_EQ(readFile(dwgFolder() / "Mesa01.DWG.zip"), mesaArchive);
    EXPECT_EQ(readFile(dwgFolder() / "Sofa01.DWG.zip"), sofaArchive);
    EXPECT_EQ(readFile(target / "Projeto.DWG.zip"), "the user's own archive");
    EXPECT_EQ(
        fixtures::listTree(dwgFolder()),
        (std::vector<std::string>{"Mesa01.DWG", "Mesa01.DWG.zip", "Sofa01.DWG", "Sofa01.DWG.zip"}));
    EXPECT_EQ(targetFiles(), (std::vector<std::string>{"Projeto.DWG", "Projeto.DWG.zip"}));
}

// A library unpacked from a Windows archive keeps Latin-1 bytes in its names.
TEST_F(ExportTest, NamesThatAreNotUtf8StillShowAndExport) {
    const std::string latin1 = "Sof\xE1";
    const std::string drawing = addBlock(latin1);
    openCategoryAndSelect(latin1);
    const int selected = main->Lista->selectedIndex();
    ASSERT_GE(selected, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->Lista->isThumbnailLoaded(selected); }, 10000))
        << "the thumbnail opens through its path";
    QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {},
                      main->Lista->tileRect(selected).center());
    EXPECT_EQ(main->secondStatusPanelText(),
              QStringLiteral("» Biblioteca - Cozinhas - Bloco Sofá"));

    QString proposed;
    const auto seen = exportWith({acceptProposedIn(target, &proposed), pressKey(Qt::Key_Return)});
    EXPECT_EQ(proposed, QStringLiteral("Sofá"));
    EXPECT_EQ(seen.back().text, kDone);
    EXPECT_EQ(readFile(target / (latin1 + ".DWG")), drawing) << "the block's own bytes as its name";
}

// A block installed with its drawing archive alone: its tile shows the
// drawing, and it previews and exports like any other.
TEST_F(ExportTest, ABlockWithoutAThumbnailShowsPreviewsAndExports) {
    demo::Sketch sketch;
    const demo::Pen pen{"CONTORNO", 7};
    sketch.rectangle(pen, {0, 0}, 80, 60);
    sketch.line(pen, {0, 0}, {80, 60});
    sketch.line(pen, {0, 60}, {80, 0});
    const std::vector<std::uint8_t> dwgBytes = dwg::writeR2000(sketch.finish());
    const std::string drawing(dwgBytes.begin(), dwgBytes.end());
    fixtures::writeWithLibzip(dwgFolder() / "Poltrona.DWG.zip", {Member("Poltrona.DWG", drawing)});
    preview::TfrmPreview preview;
    ui::windows().preview = &preview;

    openCategoryAndSelect("Poltrona");
    ASSERT_EQ(main->Lista->count(), 1);
    ASSERT_EQ(main->Lista->selectedIndex(), 0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return main->Lista->isThumbnailLoaded(0) || main->Lista->isThumbnailFailed(0); },
        20000));
    ASSERT_TRUE(main->Lista->isThumbnailLoaded(0)) << "the drawing, not the crossed placeholder";
    // Ink on white in the middle of the tile, where the drawing's diagonals cross.
    const QImage shot = main->Lista->viewport()->grab().toImage();
    const QRect tile = main->Lista->tileRect(0);
    const QRect middle =
        tile.adjusted(tile.width() / 4, tile.height() / 4, -tile.width() / 4, -tile.height() / 4);
    int white = 0, dark = 0;
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x) {
            const int lightness = shot.pixelColor(x, y).lightness();
            white += lightness > 245;
            dark += lightness < 200;
        }
    const int pixels = middle.width() * middle.height();
    EXPECT_GT(white, pixels / 2);
    EXPECT_GT(dark, 0);

    QTest::mouseClick(main->Lista->viewport(), Qt::LeftButton, {}, tile.center());
    EXPECT_EQ(main->secondStatusPanelText(),
              QStringLiteral("» Biblioteca - Cozinhas - Bloco Poltrona"));
    EXPECT_TRUE(preview.isVisible());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !preview.dwg->isBuilding() && !preview.dwg->displayList().empty(); }, 20000))
        << preview.dwg->failureText().toStdString();

    QString proposed;
    const auto seen = exportWith({acceptProposedIn(target, &proposed), pressKey(Qt::Key_Return)});
    EXPECT_EQ(proposed, QStringLiteral("Poltrona"));
    EXPECT_EQ(seen.back().text, kDone);
    EXPECT_EQ(targetFiles(), std::vector<std::string>{"Poltrona.DWG"});
    EXPECT_EQ(readFile(target / "Poltrona.DWG"), drawing);
    EXPECT_FALSE(fs::exists(program / "Blocos" / "3" / "IMG" / "Poltrona.PNG"))
        << "nothing writes a thumbnail into the library";
    preview.close();
    ui::windows().preview = nullptr;
}

TEST_F(ExportTest, SecondClickWhileAnExportWaitsIsRefused) {
    const std::string drawing = addBlock("Sofa01");
    openCategoryAndSelect("Sofa01");
    int clicksDuringExport = 0;
    const auto seen = exportWith({acceptProposedIn(target), [&](QWidget* modal) {
                                      // The export is still running under this message box.
                                      EXPECT_FALSE(main->bSalvar->isEnabled());
                                      // A preview refresh would find the reader lent too.
                                      EXPECT_FALSE(main->zip().tryLease());
                                      main->bSalvarClick();
                                      ++clicksDuringExport;
                                      QTest::keyClick(modal, Qt::Key_Return);
                                  }});
    EXPECT_EQ(clicksDuringExport, 1);
    EXPECT_EQ(seen.size(), 2u) << "the second click opened nothing";
    EXPECT_EQ(readFile(target / "Sofa01.DWG"), drawing);
    EXPECT_TRUE(main->bSalvar->isEnabled());
}

TEST_F(ExportTest, SaveOrEnterOnTheGridOpensTheDialogAndEscapeWritesNothing) {
    struct Case {
        const char* name;
        bool selected;
        Qt::Key key;  // pressed on the grid; Qt::Key_unknown: a click on save
        bool dialogExpected;
    };
    const Case cases[] = {
        {"a click on save", true, Qt::Key_unknown, true},
        {"Return with a block selected", true, Qt::Key_Return, true},
        {"keypad Enter with a block selected", true, Qt::Key_Enter, true},
        {"Return with nothing selected", false, Qt::Key_Return, false},
    };
    addBlock("Sofa01");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openCategoryAndSelect("Sofa01");
        if (!c.selected) main->Lista->setSelectedIndex(-1);
        std::deque<ModalScript::Step> steps;
        if (c.dialogExpected) steps.push_back(pressKey(Qt::Key_Escape));
        ModalScript script(std::move(steps));
        if (c.key == Qt::Key_unknown) {
            QTest::mouseClick(main->bSalvar, Qt::LeftButton);
        } else {
            main->Lista->setFocus();
            QTest::keyClick(main->Lista, c.key);
        }
        EXPECT_TRUE(script.finished());
        ASSERT_EQ(script.seen().size(), c.dialogExpected ? 1u : 0u);
        if (c.dialogExpected) {
            EXPECT_EQ(script.seen()[0].kind, QStringLiteral("save"));
        }
        EXPECT_TRUE(targetFiles().empty());
    }
}

TEST_F(ExportTest, CopyPutsTheDrawingOnTheClipboardUntilTheProgramEnds) {
    const std::string drawing = addBlock("Mesa.Redonda");
    const std::string other = addBlock("Sofa02");
    openCategoryAndSelect("Mesa.Redonda");
    const fs::path file = copyToClipboard();
    ASSERT_FALSE(file.empty()) << "no file on the clipboard";
    EXPECT_EQ(file.filename(), fs::path("Mesa.Redonda.DWG"));
    EXPECT_EQ(file.parent_path().parent_path(), main->runFolder());
    EXPECT_EQ(readFile(file), drawing);
    // The run's folder lies in the library under its own pattern, recorded
    // in the journal while the run lasts.
    const library::RunJournal journal{library::Layout(program)};
    EXPECT_EQ(main->runFolder().parent_path(), program / "Blocos");
    EXPECT_TRUE(library::isRunFolderName(main->runFolder().filename().string()));
    EXPECT_EQ(journal.leftovers(), std::vector<fs::path>{main->runFolder()});

    // Another block, and the first again: each its own file, the folder the same.
    openCategoryAndSelect("Sofa02");
    const fs::path folder = main->runFolder();
    const fs::path second = copyToClipboard();
    EXPECT_EQ(second.filename(), fs::path("Sofa02.DWG"));
    EXPECT_EQ(readFile(second), other);
    EXPECT_TRUE(targetFiles().empty());

    main.reset();
    ui::windows() = {};
    EXPECT_FALSE(fs::exists(folder)) << "the run's folder outlives the program";
    EXPECT_TRUE(journal.leftovers().empty());
}

// Killed while its files are out: the next start removes the run's folder,
// and nothing of the library.
TEST_F(ExportTest, AKilledRunsFilesForOthersGoAtTheNextStart) {
    const std::string drawing = addBlock("Mesa");
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    run.setProcessEnvironment(environment);
    run.start(TESSALY_OFFER_BLOCK,
              {QString::fromStdString(library::pathToUtf8(program)), "3", "Mesa"});
    const QDeadlineTimer deadline(30000);
    while (!run.canReadLine() && !deadline.hasExpired() && run.state() != QProcess::NotRunning)
        run.waitForReadyRead(100);
    const fs::path offered =
        library::pathFromUtf8(QString::fromUtf8(run.readLine()).trimmed().toStdString());
    run.kill();
    ASSERT_TRUE(run.waitForFinished(10000));
    ASSERT_EQ(offered.filename(), fs::path("Mesa.DWG"));
    EXPECT_EQ(readFile(offered), drawing);
    const fs::path folder = offered.parent_path().parent_path();
    const library::Layout layout(program);
    ASSERT_EQ(library::RunJournal(layout).leftovers(), std::vector<fs::path>{folder});

    download::recoverInterruptedRuns(layout);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(library::RunJournal(layout).leftovers().empty());
    EXPECT_TRUE(fs::is_regular_file(dwgFolder() / "Mesa.DWG.zip")) << "the library stays whole";
}

TEST_F(ExportTest, DraggingATileOffersItsDrawing) {
    struct Case {
        const char* name;
        int distance;  // how far the mouse moves with the button down
        bool dragExpected;
    };
    const int threshold = QApplication::startDragDistance();
    const Case cases[] = {
        {"a move shorter than the drag distance", threshold - 1, false},
        {"a move of the drag distance", threshold, true},
        {"a long move", threshold * 4, true},
    };
    const std::string drawing = addBlock("Sofa01");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openCategoryAndSelect("");
        main->cVer->setChecked(false);  // the press selects; no preview wanted here
        const std::optional<fs::path> file = dragTile(0, c.distance);
        ASSERT_EQ(file.has_value(), c.dragExpected);
        if (file) {
            EXPECT_EQ(file->filename(), fs::path("Sofa01.DWG"));
            EXPECT_EQ(file->parent_path().parent_path(), main->runFolder());
            EXPECT_EQ(readFile(*file), drawing);
        }
        EXPECT_EQ(main->Lista->selectedIndex(), 0);
    }
}

// "Mesa" of Cozinhas copied, then "Mesa" of Mobília dragged (or the other way
// round): each offer keeps its own file, so the first still holds its block.
TEST_F(ExportTest, SameNamedBlocksOfTwoCategoriesAreOfferedInFilesOfTheirOwn) {
    enum class Offer { Copy, Drag };
    const struct {
        const char* name;
        Offer first;  // in Cozinhas
        Offer then;   // in Mobília
    } cases[] = {
        {"copied, then dragged", Offer::Copy, Offer::Drag},
        {"dragged, then copied", Offer::Drag, Offer::Copy},
        {"copied twice", Offer::Copy, Offer::Copy},
    };
    const std::string kitchen = addBlock("Mesa", 20000, 3);
    const std::string furniture = addBlock("Mesa", 20000, 9);
    ASSERT_NE(kitchen, furniture);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openCategoryAndSelect("Mesa");
        main->cVer->setChecked(false);
        const auto offer = [&](Offer how) {
            return how == Offer::Copy
                       ? copyToClipboard()
                       : dragTile(main->Lista->selectedIndex(), 40).value_or(fs::path());
        };
        const fs::path first = offer(c.first);
        chooseCategoryAndSelect(9, "Mesa");
        const fs::path then = offer(c.then);
        ASSERT_FALSE(first.empty());
        ASSERT_FALSE(then.empty());
        EXPECT_EQ(first.filename(), fs::path("Mesa.DWG"));
        EXPECT_EQ(then.filename(), fs::path("Mesa.DWG"));
        EXPECT_NE(first, then);
        // Compared whole, not printed: drawings are large.
        EXPECT_TRUE(readFile(first) == kitchen) << "the first offer's file was overwritten";
        EXPECT_TRUE(readFile(then) == furniture);
    }
}

// --- Saving in another release and other units --------------------------------------------

namespace {

// A table 120 × 60 cm drawn as AutoCAD 2018 saves it.
std::string tableDrawing() {
    dwg::Drawing d;
    d.header.insertionUnits = 5;
    dwg::Block model;
    model.handle = 0x1F;
    model.name = "*Model_Space";
    model.modelSpace = true;
    dwg::Entity top;
    top.typeName = "LWPOLYLINE";
    dwg::LwPolyline outline;
    outline.closed = true;
    outline.points = {{0, 0}, {120, 0}, {120, 60}, {0, 60}};
    top.data = outline;
    model.entities.push_back(top);
    d.blocks.push_back(model);
    d.header.modelSpaceBlock = model.handle;
    const std::vector<std::uint8_t> bytes = dwg::writeDwg(d, dwg::Version::R2018);
    return {bytes.begin(), bytes.end()};
}

QStringList shownTypes(QWidget* dialog) {
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QStringList shown;
    if (types)
        for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
    return shown;
}

// Picks a file type and units in the save dialog, then the proposed name in folder.
ModalScript::Step saveConverted(const QString& type, const QString& units, const fs::path& folder,
                                QStringList* typesShown = nullptr, QString* typeShown = nullptr) {
    return [=](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        if (typesShown) *typesShown = shownTypes(modal);
        if (typeShown) *typeShown = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        auto* types = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* unitsBox = modal->findChild<QComboBox*>(QStringLiteral("cUnidades"));
        ASSERT_TRUE(types && unitsBox);
        types->setCurrentIndex(types->findText(type));
        emit types->activated(types->currentIndex());
        EXPECT_EQ(unitsBox->isEnabled(), type != QStringLiteral("*.DWG"));
        if (unitsBox->isEnabled()) unitsBox->setCurrentIndex(unitsBox->findText(units));
        acceptProposedIn(folder)(modal);
    };
}

}  // namespace

TEST_F(ExportTest, TheDialogOffersTheBlocksOwnFileFirstThenEachRelease) {
    addBlock("Mesa");
    openCategoryAndSelect("Mesa");
    QStringList types;
    QString current;
    exportWith({[&](QWidget* modal) {
        types = shownTypes(modal);
        current = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        EXPECT_FALSE(modal->findChild<QComboBox*>(QStringLiteral("cUnidades"))->isEnabled());
        qobject_cast<QDialog*>(modal)->reject();
    }});
    EXPECT_EQ(types, (QStringList{"*.DWG", "AutoCAD 2018 (*.dwg)", "AutoCAD 2013 (*.dwg)",
                                  "AutoCAD 2010 (*.dwg)", "AutoCAD 2004 (*.dwg)",
                                  "AutoCAD 2000 (*.dwg)", "DXF 2018 (*.dxf)", "DXF 2000 (*.dxf)"}));
    EXPECT_EQ(current, QStringLiteral("*.DWG"));
    EXPECT_TRUE(targetFiles().empty());
}

TEST_F(ExportTest, AConvertedSaveWritesTheReleaseAndUnitsChosenAndRemembersThem) {
    addBlock("Mesa");
    fixtures::writeWithLibzip(dwgFolder() / "Mesa.DWG.zip", {Member("Mesa.DWG", tableDrawing())});
    openCategoryAndSelect("Mesa");
    const auto seen = exportWith(
        {saveConverted("AutoCAD 2000 (*.dwg)", "Milímetros (mm)", target), pressKey(Qt::Key_Return)});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].text, QStringLiteral("Procedimento concluído.\n\nMedidas convertidas de "
                                           "centímetros para milímetros (escala 10)."));
    ASSERT_EQ(targetFiles(), std::vector<std::string>{"Mesa.dwg"});
    const dwg::Drawing saved = dwg::read(target / "Mesa.dwg");
    EXPECT_EQ(saved.version, dwg::Version::R2000);
    EXPECT_EQ(saved.header.insertionUnits, 4);
    EXPECT_EQ(std::get<dwg::LwPolyline>(saved.modelSpace()->entities.at(0).data).points[2],
              (dwg::Point2{1200, 600}));

    // The next run proposes the same type and units.
    QString type;
    exportWith({[&](QWidget* modal) {
        type = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        EXPECT_EQ(modal->findChild<QComboBox*>(QStringLiteral("cUnidades"))->currentText(),
                  QStringLiteral("Milímetros (mm)"));
        qobject_cast<QDialog*>(modal)->reject();
    }});
    EXPECT_EQ(type, QStringLiteral("AutoCAD 2000 (*.dwg)"));
    main.reset();
    openCategoryAndSelect("Mesa");
    exportWith({[&](QWidget* modal) {
        type = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        qobject_cast<QDialog*>(modal)->reject();
    }});
    EXPECT_EQ(type, QStringLiteral("AutoCAD 2000 (*.dwg)"));
}

TEST_F(ExportTest, AFailedConversionWritesNothingAndTheOwnFileStillSaves) {
    // The fixture's drawing is no DWG: it cannot be converted, only handed over as it is.
    const std::string drawing = addBlock("Pia");
    openCategoryAndSelect("Pia");
    const auto failed = exportWith(
        {saveConverted("AutoCAD 2018 (*.dwg)", "Como no bloco", target), pressKey(Qt::Key_Return)});
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[1].title, QStringLiteral("Erro"));
    EXPECT_TRUE(failed[1].text.contains(QStringLiteral("Não foi possível ler o desenho do bloco")))
        << failed[1].text.toStdString();
    EXPECT_TRUE(failed[1].text.contains(QStringLiteral("Nada foi gravado.")));
    EXPECT_TRUE(targetFiles().empty());
    const auto saved = exportWith({saveConverted("*.DWG", "", target), pressKey(Qt::Key_Return)});
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[1].text, kDone);
    EXPECT_EQ(readFile(target / "Pia.DWG"), drawing);
}

TEST_F(ExportTest, DragAndCopyHandTheBlockOverInTheReleaseLastChosen) {
    const struct {
        const char* remembered;
        const char* name;
        dwg::Version version;
    } cases[] = {
        {"formato=2004\nunidades=m\n", "Mesa.DWG", dwg::Version::R2004},
        {"formato=dxf2018\nunidades=bloco\n", "Mesa.dxf", dwg::Version::R2018},
        {"formato=original\n", "Mesa.DWG", dwg::Version::R2018},
        {"lixo\0\x01", "Mesa.DWG", dwg::Version::R2018},
    };
    addBlock("Mesa");
    const std::string drawing = tableDrawing();
    fixtures::writeWithLibzip(dwgFolder() / "Mesa.DWG.zip", {Member("Mesa.DWG", drawing)});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.remembered);
        fixtures::writeFile(program / "tessaly.exportar", c.remembered);
        openCategoryAndSelect("Mesa");
        main->cVer->setChecked(false);
        for (const fs::path& offered :
             {copyToClipboard(), dragTile(main->Lista->selectedIndex(), 40).value_or(fs::path())}) {
            ASSERT_EQ(offered.filename(), fs::path(c.name));
            const std::string bytes = readFile(offered);
            if (offered.extension() == ".dxf") {
                EXPECT_NE(bytes.find("AC1032"), std::string::npos);
                continue;
            }
            const dwg::Drawing handed =
                dwg::read(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
            EXPECT_EQ(handed.version, c.version);
            // Converted in its units, or the block's own bytes as they are.
            EXPECT_EQ(handed.header.insertionUnits, c.version == dwg::Version::R2004 ? 6 : 5);
            EXPECT_EQ(bytes == drawing, c.version == dwg::Version::R2018);
        }
        main.reset();
    }
}
