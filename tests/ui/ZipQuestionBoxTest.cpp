#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <functional>
#include <vector>

#include "DialogDriver.h"
#include "ui/ZipQuestionBox.h"

using ui::ZipQuestionAnswer;
using ui_test::buttonsInRow;
using ui_test::clickButton;
using ui_test::pressKey;
using ui_test::whenModalActive;

namespace {

const QString kQuestion = QStringLiteral(
    "zip: Invalid size or check sum of file or unsupported compression format - Native error: "
    "00008. "
    "File processing error, possibly disk is full");

QStringList captions(const QDialog* dialog) {
    QStringList texts;
    for (const QPushButton* button : buttonsInRow(dialog)) texts << button->text();
    return texts;
}

}  // namespace

TEST(ZipQuestionBox, OffersAbortRetryIgnoreAndReturnsTheChoice) {
    struct Case {
        const char* how;
        std::function<void(QDialog*)> answer;
        ZipQuestionAnswer expected;
    };
    const std::vector<Case> cases = {
        {"Abort", [](QDialog* d) { clickButton(d, "Abort"); }, ZipQuestionAnswer::Abort},
        {"Retry", [](QDialog* d) { clickButton(d, "Retry"); }, ZipQuestionAnswer::Retry},
        {"Ignore", [](QDialog* d) { clickButton(d, "Ignore"); }, ZipQuestionAnswer::Ignore},
        {"Alt+R", [](QDialog* d) { pressKey(d, Qt::Key_R, Qt::AltModifier); },
         ZipQuestionAnswer::Retry},
        {"Enter on the default",
         [](QDialog* d) {
             d->focusWidget()->clearFocus();
             QTest::keyClick(d, Qt::Key_Return);
         },
         ZipQuestionAnswer::Retry},
        {"Esc", [](QDialog* d) { pressKey(d, Qt::Key_Escape); }, ZipQuestionAnswer::Abort},
        {"close box", [](QDialog* d) { d->close(); }, ZipQuestionAnswer::Abort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        whenModalActive([&](QDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Confirmação"));
            EXPECT_NE(dialog->findChild<QLabel*>(QStringLiteral("icon")), nullptr);
            EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("message"))->text(), kQuestion);
            EXPECT_EQ(captions(dialog),
                      (QStringList{QStringLiteral("&Abortar"), QStringLiteral("&Repetir"),
                                   QStringLiteral("&Ignorar")}));
            c.answer(dialog);
        });
        EXPECT_EQ(ui::askZipQuestion(kQuestion, true), c.expected);
    }
}

TEST(ZipQuestionBox, NameTooLongOffersNoRetry) {
    for (const auto& [control, expected] : {std::pair{"Abort", ZipQuestionAnswer::Abort},
                                            std::pair{"Ignore", ZipQuestionAnswer::Ignore}}) {
        SCOPED_TRACE(control);
        whenModalActive([&](QDialog* dialog) {
            EXPECT_EQ(captions(dialog),
                      (QStringList{QStringLiteral("&Abortar"), QStringLiteral("&Ignorar")}));
            EXPECT_EQ(dialog->findChild<QPushButton*>(QStringLiteral("Retry")), nullptr);
            clickButton(dialog, control);
        });
        EXPECT_EQ(ui::askZipQuestion(
                      QStringLiteral("zip: File name too long - Native error: 00061"), false),
                  expected);
    }
}
