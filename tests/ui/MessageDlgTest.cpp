#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <vector>

#include "DialogDriver.h"
#include "ui/LocalisedMessageDlg.h"

using namespace ui;
using ui_test::buttonsInRow;
using ui_test::clickButton;
using ui_test::pressKey;
using ui_test::whenModalActive;

namespace {

ModalResult showAndThen(const QString& text, MessageKind kind, MessageButtons buttons,
                        std::function<void(QDialog*)> action) {
    whenModalActive(std::move(action));
    return LocalisedMessageDlg(text, kind, buttons, 0);
}

QStringList captions(const QList<QPushButton*>& buttons) {
    QStringList texts;
    for (const QPushButton* button : buttons) texts << button->text();
    return texts;
}

QRect screenGeometry() {
    return QGuiApplication::primaryScreen()->geometry();
}

}  // namespace

TEST(MessageButtons, SetValueHasOneBitPerButtonInRowOrder) {
    EXPECT_EQ(MessageButtons{MessageButton::OK}.value(), 4u);
    EXPECT_EQ((MessageButtons{MessageButton::Yes, MessageButton::No}.value()), 3u);
    EXPECT_EQ(MessageButtons{MessageButton::Help}.value(), 1u << 10);
    EXPECT_EQ(MessageButtons::fromValue(0xFFFFu).value(), 0x7FFu);
    EXPECT_EQ(MessageButtons(MessageButton::Yes) | MessageButton::No,
              (MessageButtons{MessageButton::Yes, MessageButton::No}));
}

TEST(LocalisedMessageDlg, InformationWithOkCloseByEveryMeans) {
    struct Case {
        const char* how;
        std::function<void(QDialog*)> close;
        ModalResult expected;
    };
    const std::vector<Case> cases = {
        {"Enter", [](QDialog* d) { pressKey(d, Qt::Key_Return); }, 1},
        {"Esc", [](QDialog* d) { pressKey(d, Qt::Key_Escape); }, 1},
        {"Alt+O", [](QDialog* d) { pressKey(d, Qt::Key_O, Qt::AltModifier); }, 1},
        {"click", [](QDialog* d) { clickButton(d, "OK"); }, 1},
        {"close box", [](QDialog* d) { d->close(); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        const ModalResult result = showAndThen(
            QStringLiteral("Procedimento concluído."), MessageKind::Information, MessageButton::OK,
            [&](QDialog* dialog) {
                EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Informação"));
                const auto* icon = dialog->findChild<QLabel*>(QStringLiteral("icon"));
                ASSERT_NE(icon, nullptr);
                EXPECT_EQ(icon->size(), QSize(32, 32));
                EXPECT_FALSE(icon->pixmap().isNull());
                EXPECT_GE(dialog->findChild<QLabel*>(QStringLiteral("message"))->height(),
                          icon->height());
                EXPECT_EQ(captions(buttonsInRow(dialog)), QStringList{QStringLiteral("&OK")});
                c.close(dialog);
            });
        EXPECT_EQ(result, c.expected);
    }
}

TEST(LocalisedMessageDlg, ConfirmationYesNo) {
    const MessageButtons yesNo{MessageButton::Yes, MessageButton::No};
    struct Case {
        const char* how;
        std::function<void(QDialog*)> close;
        ModalResult expected;
    };
    const std::vector<Case> cases = {
        {"Enter right after opening", [](QDialog* d) { pressKey(d, Qt::Key_Return); }, 6},
        {"Esc", [](QDialog* d) { pressKey(d, Qt::Key_Escape); }, 7},
        {"Alt+N", [](QDialog* d) { pressKey(d, Qt::Key_N, Qt::AltModifier); }, 7},
        {"close box", [](QDialog* d) { d->close(); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        const ModalResult result = showAndThen(
            QStringLiteral("Deseja continuar?"), MessageKind::Confirmation, yesNo,
            [&](QDialog* dialog) {
                EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Confirmação"));
                const QList<QPushButton*> row = buttonsInRow(dialog);
                EXPECT_EQ(captions(row),
                          (QStringList{QStringLiteral("&Sim"), QStringLiteral("&Não")}));
                EXPECT_EQ(dialog->focusWidget(), row.value(0));
                c.close(dialog);
            });
        EXPECT_EQ(result, c.expected);
    }
}

TEST(LocalisedMessageDlg, EveryButtonHasItsCaptionPlaceAndResult) {
    struct Expected {
        MessageButton button;
        const char* controlName;
        QString caption;
        ModalResult result;
    };
    const std::vector<Expected> table = {
        {MessageButton::Yes, "Yes", QStringLiteral("&Sim"), 6},
        {MessageButton::No, "No", QStringLiteral("&Não"), 7},
        {MessageButton::OK, "OK", QStringLiteral("&OK"), 1},
        {MessageButton::Cancel, "Cancel", QStringLiteral("&Cancelar"), 2},
        {MessageButton::Abort, "Abort", QStringLiteral("A&bortar"), 3},
        {MessageButton::Retry, "Retry", QStringLiteral("&Repetir"), 4},
        {MessageButton::Ignore, "Ignore", QStringLiteral("&Ignorar"), 5},
        {MessageButton::All, "All", QStringLiteral("&Todos"), 8},
        {MessageButton::NoToAll, "NoToAll", QStringLiteral("Não à To&dos"), 9},
        {MessageButton::YesToAll, "YesToAll", QStringLiteral("S&im à Todos"), 10},
        {MessageButton::Help, "Help", QStringLiteral("&Ajuda"), 0},
    };

    // All eleven in one row: table order, one size, the row centred.
    showAndThen(QStringLiteral("Todos os botões"), MessageKind::Warning,
                MessageButtons::fromValue(0x7FF), [&](QDialog* dialog) {
                    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Aviso"));
                    const QList<QPushButton*> row = buttonsInRow(dialog);
                    ASSERT_EQ(row.size(), static_cast<qsizetype>(table.size()));
                    for (std::size_t i = 0; i < table.size(); ++i) {
                        SCOPED_TRACE(table[i].controlName);
                        EXPECT_EQ(row[i]->objectName(), QString::fromLatin1(table[i].controlName));
                        EXPECT_EQ(row[i]->text(), table[i].caption);
                        EXPECT_EQ(row[i]->size(), row[0]->size());
                        EXPECT_EQ(row[i]->y(), row[0]->y());
                        EXPECT_GE(row[i]->width(), row[i]->sizeHint().width());
                    }
                    const int leftGap = row.first()->x();
                    const int rightGap = dialog->width() - row.last()->geometry().right() - 1;
                    EXPECT_NEAR(leftGap, rightGap, 1);
                    dialog->close();
                });

    for (const Expected& expected : table) {
        if (expected.result == 0) continue;
        SCOPED_TRACE(expected.controlName);
        const ModalResult result = showAndThen(
            QStringLiteral("Um botão"), MessageKind::Error, expected.button, [&](QDialog* dialog) {
                EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Erro"));
                clickButton(dialog, expected.controlName);
            });
        EXPECT_EQ(result, expected.result);
        EXPECT_EQ(modalResultOf(expected.button), expected.result);
    }
}

TEST(LocalisedMessageDlg, HelpDoesNotClose) {
    bool stillOpen = false;
    const ModalResult result =
        showAndThen(QStringLiteral("Ajuda?"), MessageKind::Information,
                    {MessageButton::OK, MessageButton::Help}, [&](QDialog* dialog) {
                        clickButton(dialog, "Help");
                        QCoreApplication::processEvents();
                        stillOpen = dialog->isVisible();
                        clickButton(dialog, "OK");
                    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 1);
}

TEST(LocalisedMessageDlg, DefaultAndEscapeButtonsFollowTheirOrderOfPreference) {
    const MessageButtons abortRetryIgnore{MessageButton::Abort, MessageButton::Retry,
                                          MessageButton::Ignore};

    // Enter presses the focused button, the first of the row.
    EXPECT_EQ(showAndThen(QStringLiteral("Falha"), MessageKind::Error, abortRetryIgnore,
                          [](QDialog* dialog) {
                              EXPECT_EQ(dialog->focusWidget()->objectName(),
                                        QStringLiteral("Abort"));
                              pressKey(dialog, Qt::Key_Return);
                          }),
              3);

    // With no button focused Enter presses the default one, Retry; Esc has no
    // button to press and leaves the box open.
    bool openAfterEscape = false;
    EXPECT_EQ(
        showAndThen(QStringLiteral("Falha"), MessageKind::Error, abortRetryIgnore,
                    [&](QDialog* dialog) {
                        pressKey(dialog, Qt::Key_Escape);
                        QCoreApplication::processEvents();
                        openAfterEscape = dialog->isVisible();
                        dialog->focusWidget()->clearFocus();
                        EXPECT_TRUE(
                            dialog->findChild<QPushButton*>(QStringLiteral("Retry"))->isDefault());
                        QTest::keyClick(dialog, Qt::Key_Return);
                    }),
        4);
    EXPECT_TRUE(openAfterEscape);

    // Cancel wins Esc over No and OK; OK wins the default over Yes.
    const MessageButtons many{MessageButton::Yes, MessageButton::No, MessageButton::OK,
                              MessageButton::Cancel};
    EXPECT_EQ(showAndThen(QStringLiteral("?"), MessageKind::Confirmation, many,
                          [](QDialog* dialog) { pressKey(dialog, Qt::Key_Escape); }),
              2);
    EXPECT_EQ(showAndThen(QStringLiteral("?"), MessageKind::Confirmation, many,
                          [](QDialog* dialog) {
                              dialog->focusWidget()->clearFocus();
                              QTest::keyClick(dialog, Qt::Key_Return);
                          }),
              1);
    EXPECT_EQ(showAndThen(QStringLiteral("?"), MessageKind::Confirmation,
                          {MessageButton::OK, MessageButton::No},
                          [](QDialog* dialog) { pressKey(dialog, Qt::Key_Escape); }),
              7);
}

TEST(LocalisedMessageDlg, CarriageReturnsBreakLinesAndFrameShortMessages) {
    const auto messageHeight = [](const QString& text) {
        int height = 0;
        showAndThen(text, MessageKind::Custom, MessageButton::OK, [&](QDialog* dialog) {
            height = dialog->findChild<QLabel*>(QStringLiteral("message"))->height();
            dialog->close();
        });
        return height;
    };
    const int oneLine = messageHeight(QStringLiteral("Texto"));
    const int framed = messageHeight(QStringLiteral("\rTexto\r"));
    const int threeLines = messageHeight(QStringLiteral("Um\rDois\rTrês"));
    EXPECT_GT(oneLine, 0);
    EXPECT_EQ(framed, threeLines);
    EXPECT_GE(framed, 3 * oneLine - 2);
}

TEST(LocalisedMessageDlg, LongMessageWrapsAtHalfTheScreenAndGrowsDown) {
    QString longText;
    for (int i = 0; i < 120; ++i) longText += QStringLiteral("palavra%1 ").arg(i);
    const QRect screen = screenGeometry();

    showAndThen(longText, MessageKind::Warning, MessageButton::OK, [&](QDialog* dialog) {
        const auto* message = dialog->findChild<QLabel*>(QStringLiteral("message"));
        EXPECT_LE(message->width(), screen.width() / 2);
        EXPECT_GT(message->width(), screen.width() / 2 - 80);
        EXPECT_GT(message->height(), 5 * message->fontMetrics().lineSpacing());
        EXPECT_LE(dialog->width(), screen.width() / 2 + 32 + 80);
        dialog->close();
    });

    // A short message keeps its own width, and the box sits at the screen's centre.
    showAndThen(
        QStringLiteral("Curta."), MessageKind::Warning, MessageButton::OK, [&](QDialog* dialog) {
            EXPECT_LT(dialog->findChild<QLabel*>(QStringLiteral("message"))->width(),
                      screen.width() / 4);
            const QRect window = dialog->frameGeometry();
            EXPECT_NEAR(window.x() - screen.x(), (screen.width() - window.width()) / 2, 1);
            EXPECT_NEAR(window.y() - screen.y(), (screen.height() - window.height()) / 2, 1);
            EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
            EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
            const Qt::WindowFlags flags = dialog->windowFlags();
            EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
            EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
            dialog->close();
        });
}

TEST(LocalisedMessageDlg, CustomHasNoIconAndTheApplicationTitle) {
    const QString previous = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tessaly"));
    showAndThen(QStringLiteral("Mensagem"), MessageKind::Custom, MessageButton::OK,
                [](QDialog* dialog) {
                    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tessaly"));
                    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("icon")), nullptr);
                    dialog->close();
                });
    QGuiApplication::setApplicationDisplayName(previous);
}

TEST(LocalisedMessageDlg, EachCallBuildsItsOwnBoxAndDestroysIt) {
    const auto boxesAlive = [] {
        int count = 0;
        for (const QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QStringLiteral("LocalisedMessageDlg")) ++count;
        return count;
    };
    std::vector<QPointer<QDialog>> seen;
    for (int call = 0; call < 2; ++call) {
        showAndThen(QStringLiteral("Chamada"), MessageKind::Information, MessageButton::OK,
                    [&](QDialog* dialog) {
                        EXPECT_EQ(boxesAlive(), 1);
                        seen.emplace_back(dialog);
                        clickButton(dialog, "OK");
                    });
        ASSERT_EQ(seen.size(), static_cast<std::size_t>(call + 1));
        EXPECT_TRUE(seen.back().isNull());
    }
    EXPECT_EQ(boxesAlive(), 0);
}

TEST(LocalisedMessageDlg, TextStaysBlackUnderTheProgramsColours) {
    const QPalette previousPalette = QApplication::palette();
    QPalette whiteText = previousPalette;
    whiteText.setColor(QPalette::WindowText, Qt::white);
    whiteText.setColor(QPalette::ButtonText, Qt::white);
    QApplication::setPalette(whiteText);
    qApp->setStyleSheet(QStringLiteral("QLabel { color: white; } QPushButton { color: yellow; }"));

    showAndThen(QStringLiteral("Texto preto"), MessageKind::Information, MessageButton::OK,
                [](QDialog* dialog) {
                    auto* message = dialog->findChild<QLabel*>(QStringLiteral("message"));
                    const auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("OK"));
                    EXPECT_EQ(message->palette().color(QPalette::WindowText), QColor(Qt::black));
                    EXPECT_EQ(ok->palette().color(QPalette::ButtonText), QColor(Qt::black));
                    // What is drawn, not only what is set: the label's text is black.
                    const QImage image = message->grab().toImage();
                    bool black = false;
                    for (int y = 0; y < image.height(); ++y)
                        for (int x = 0; x < image.width(); ++x)
                            black = black || image.pixelColor(x, y).lightness() < 40;
                    EXPECT_TRUE(black);
                    dialog->close();
                });

    qApp->setStyleSheet(QString());
    QApplication::setPalette(previousPalette);
}
