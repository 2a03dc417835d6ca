#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "DialogDriver.h"
#include "ui/Desktop.h"
#include "ui/Help.h"
#include "ui/Publisher.h"
#include "ui/Skin.h"
#include "ui/UNfrmSobre.h"
#include "ui/Windows.h"

namespace fs = std::filesystem;
using ui_test::whenModalActive;

namespace {

// Records what the program asks the desktop to open; `answer` is the opener's verdict.
class Opener {
  public:
    explicit Opener(std::function<bool(const QUrl&)> answer = [](const QUrl&) { return true; }) {
        ui::setUrlOpenerForTests([this, answer](const QUrl& url) {
            opened.push_back(url);
            return answer(url);
        });
    }
    ~Opener() { ui::setUrlOpenerForTests({}); }
    std::vector<QUrl> opened;
};

void press(QWidget* widget, Qt::MouseButton button) {
    QTest::mousePress(widget, button, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseRelease(widget, button, Qt::NoModifier, QPoint(2, 2));
}

void hover(QWidget* widget, bool inside) {
    QEvent event(inside ? QEvent::Enter : QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

TEST(VersionText, OneDecimalInTheLocalesNotation) {
    struct Case {
        const char* constant;
        QLocale locale;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"22", QLocale(QLocale::Portuguese, QLocale::Brazil), "v2,2"},
        {"22", QLocale(QLocale::English, QLocale::UnitedStates), "v2.2"},
        {"7", QLocale(QLocale::English, QLocale::UnitedStates), "v0.7"},
        {"30", QLocale(QLocale::Portuguese, QLocale::Brazil), "v3,0"},
        {"12345", QLocale(QLocale::English, QLocale::UnitedStates), "v1234.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.constant);
        EXPECT_EQ(ui::versionText(QString::fromLatin1(c.constant), c.locale),
                  QString::fromLatin1(c.expected));
    }
    for (const char* broken : {"", "2.2", "v22", "22a"})
        EXPECT_THROW(ui::versionText(QString::fromLatin1(broken), QLocale::c()),
                     std::invalid_argument)
            << broken;
}

TEST(About, FixedSkinnedWindowWithTheVersion) {
    ui::TfrmSobre about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Sobre"));
    EXPECT_EQ(about.size(), QSize(284, 132));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_TRUE(about.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(about.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(about.lVersao->text(),
              ui::versionText(QString::fromLatin1(ui::publisher::kVersion), QLocale::system()));
    EXPECT_TRUE(ui::carriesSkin(&about));
}

TEST(About, EnterAndEscDoNothingOnlyTheCloseBoxCloses) {
    ui::TfrmSobre about;
    bool stayedOpen = false;
    whenModalActive([&](QDialog* dialog) {
        ui_test::pressKey(dialog, Qt::Key_Escape);
        ui_test::pressKey(dialog, Qt::Key_Return);
        stayedOpen = dialog->isVisible();
        dialog->close();
    });
    about.exec();
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(about.isVisible());
}

TEST(About, LinksOpenTheirAddressOnTheLeftButtonGoingDown) {
    ui::TfrmSobre about;
    Opener opener;
    QTest::mousePress(about.lweb, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    ASSERT_EQ(opener.opened.size(), 1u) << "opened on the press, before any release";
    EXPECT_EQ(opener.opened[0], QUrl(QStringLiteral("http://www.tessaly.example")));
    QTest::mouseRelease(about.lweb, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    press(about.sWebLabel1, Qt::LeftButton);
    press(about.sWebLabel1, Qt::RightButton);
    ASSERT_EQ(opener.opened.size(), 2u);
    EXPECT_EQ(opener.opened[1], QUrl(QStringLiteral("mailto:contato@tessaly.example")));
    EXPECT_EQ(about.lweb->cursor().shape(), Qt::PointingHandCursor);
}

TEST(About, LinkUnderlinedInTheHoverColourOnlyWhileTheMouseIsOver) {
    ui::TfrmSobre about;
    const QString before = about.lweb->styleSheet();
    const QFont font = about.lweb->font();
    EXPECT_TRUE(before.contains(ui::programSkin().link.name()));
    hover(about.lweb, true);
    EXPECT_TRUE(about.lweb->styleSheet().contains(QStringLiteral("underline")));
    EXPECT_TRUE(about.lweb->styleSheet().contains(ui::programSkin().linkHover.name()));
    hover(about.lweb, false);
    EXPECT_EQ(about.lweb->styleSheet(), before);
    EXPECT_EQ(about.lweb->font(), font);
}

namespace {

class HelpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        program = fs::path(folder.path().toStdString());
    }
    void writeChm() { std::ofstream(program / "Ajuda.chm") << "ITSF"; }
    void writePages() {
        fs::create_directories(program / "Ajuda");
        std::ofstream(program / "Ajuda" / "index.html") << "<html></html>";
    }
    QUrl chm() const {
        return QUrl::fromLocalFile(QString::fromStdString((program / "Ajuda.chm").string()));
    }
    QUrl pages() const {
        return QUrl::fromLocalFile(
            QString::fromStdString((program / "Ajuda" / "index.html").string()));
    }
    // Clicks "Ajuda"; returns the text of the message it showed, if any.
    QString clickHelp() {
        QString shown;
        // Stops with the click; a message that never comes leaves `shown` empty.
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&shown, &watcher] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isActiveWindow()) return;
            watcher.stop();
            shown = dialog->windowTitle() + QLatin1Char('|') +
                    dialog->findChild<QLabel*>(QStringLiteral("message"))->text() +
                    QLatin1Char('|') + ui_test::buttonsInRow(dialog).first()->text();
            ui_test::clickButton(dialog, "OK");
        });
        watcher.start(10);
        ui::lAjudaClick(library::Layout(program));
        return shown;
    }

    QTemporaryDir folder;
    fs::path program;
};

}  // namespace

TEST_F(HelpTest, CompiledHelpOpensWhenTheDesktopHasAViewer) {
    writeChm();
    writePages();
    Opener opener;
    EXPECT_EQ(clickHelp(), QString());
    EXPECT_EQ(opener.opened, std::vector<QUrl>{chm()});
}

TEST_F(HelpTest, PagesOpenWhenNoViewerTakesTheCompiledHelp) {
    writeChm();
    writePages();
    Opener opener([this](const QUrl& url) { return url != chm(); });
    EXPECT_EQ(clickHelp(), QString());
    EXPECT_EQ(opener.opened, (std::vector<QUrl>{chm(), pages()}));
}

TEST_F(HelpTest, PagesAloneAreHelpToo) {
    writePages();
    Opener opener;
    EXPECT_EQ(clickHelp(), QString());
    EXPECT_EQ(opener.opened, std::vector<QUrl>{pages()});
}

TEST_F(HelpTest, CompiledHelpThatNothingOpensBringsNoMessage) {
    writeChm();
    Opener opener([](const QUrl&) { return false; });
    EXPECT_EQ(clickHelp(), QString());
    EXPECT_EQ(opener.opened, std::vector<QUrl>{chm()});
}

TEST_F(HelpTest, WithoutHelpTheSupportMessageSaysWhomToAskOncePerClick) {
    Opener opener;
    const QString expected = QStringLiteral(
        "Informação|Para suporte técnico, gentileza entrar em contato com "
        "\"suporte@tessaly.example\".|&OK");
    EXPECT_EQ(clickHelp(), expected);
    EXPECT_EQ(clickHelp(), expected);
    EXPECT_TRUE(opener.opened.empty());
}

TEST_F(HelpTest, WhereTheDesktopOpensNothingTheProgramShowsThePages) {
    writeChm();
    fs::create_directories(program / "Ajuda" / "imagens");
    std::ofstream(program / "Ajuda" / "index.html")
        << "<html><body><h1>Bem-vindo</h1><img src=\"imagens/janela.png\">"
           "<p><a href=\"salvar.html\">Salvar um bloco</a></p></body></html>";
    std::ofstream(program / "Ajuda" / "salvar.html")
        << "<html><body><h1>Como salvar</h1></body></html>";
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString((program / "Ajuda" / "imagens" /
                                                      "janela.png").string())));
    Opener opener([](const QUrl&) { return false; });

    EXPECT_EQ(clickHelp(), QString()) << "no message over the help window";
    EXPECT_EQ(opener.opened, (std::vector<QUrl>{chm(), pages()}));
    QTextBrowser* browser = ui::ownHelpBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->window()->isVisible());
    EXPECT_EQ(browser->window()->windowTitle(), QStringLiteral("Ajuda"));
    EXPECT_EQ(browser->source(), pages());
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Bem-vindo")));

    const QVariant image =
        browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("imagens/janela.png")));
    EXPECT_EQ(QImage::fromData(image.toByteArray()).size(), picture.size());

    // A click on the link opens the other page in the same window.
    QTextCursor link = browser->document()->find(QStringLiteral("Salvar um bloco"));
    ASSERT_FALSE(link.isNull());
    link.setPosition(link.selectionStart() + 3);
    browser->window()->resize(600, 400);
    QApplication::processEvents();
    const QPoint at = browser->cursorRect(link).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Como salvar")));
    EXPECT_EQ(browser->source().fileName(), QStringLiteral("salvar.html"));
    EXPECT_EQ(opener.opened.size(), 2u) << "a page of the help went to the desktop";

    // "Ajuda" again brings the same window back to the index.
    EXPECT_EQ(clickHelp(), QString());
    EXPECT_EQ(ui::ownHelpBrowser(), browser);
    EXPECT_EQ(browser->source(), pages());

    browser->window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ui::ownHelpBrowser(), nullptr);
}

TEST(MainWindowLinks, SobreOpensTheAboutWindowAndHoverLeavesTheLabelAsItWas) {
    QWidget bar;
    auto* lSobre = new QLabel(QStringLiteral("Sobre"), &bar);
    auto* lAjuda = new QLabel(QStringLiteral("Ajuda"), &bar);
    ui::connectAboutAndHelp(lSobre, lAjuda);
    ui::TfrmSobre about;
    ui::windows().about = &about;

    for (QLabel* link : {lSobre, lAjuda}) {
        SCOPED_TRACE(link->text().toStdString());
        const QString sheet = link->styleSheet();
        const QFont font = link->font();
        EXPECT_EQ(link->cursor().shape(), Qt::ArrowCursor);
        hover(link, true);
        EXPECT_TRUE(link->styleSheet().contains(QStringLiteral("underline")));
        hover(link, false);
        EXPECT_EQ(link->styleSheet(), sheet);
        EXPECT_EQ(link->font(), font);
    }

    QWidget* shown = nullptr;
    whenModalActive([&](QDialog* dialog) {
        shown = dialog;
        dialog->close();
    });
    press(lSobre, Qt::LeftButton);
    EXPECT_EQ(shown, &about);
    ui::windows() = {};
}
