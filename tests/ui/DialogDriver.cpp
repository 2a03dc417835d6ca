#include "DialogDriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>

namespace ui_test {

void whenModalActive(std::function<void(QDialog*)> action) {
    auto* timer = new QTimer;
    auto* waited = new QElapsedTimer;
    waited->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, action = std::move(action)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        const bool ready = dialog && dialog->isActiveWindow();
        if (!ready && waited->elapsed() < 5000) return;
        timer->stop();
        timer->deleteLater();
        delete waited;
        if (ready) {
            action(dialog);
        } else {
            ADD_FAILURE() << "the modal box never became the active window";
            if (dialog) dialog->done(-1);
        }
    });
    timer->start();
}

QList<QPushButton*> buttonsInRow(const QDialog* dialog) {
    QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
    std::sort(buttons.begin(), buttons.end(),
              [](const QPushButton* a, const QPushButton* b) { return a->x() < b->x(); });
    return buttons;
}

// A real key goes to the widget with the focus, and from there up to the box.
void pressKey(QDialog* dialog, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    QTest::keyClick(target, key, modifiers);
}

void clickButton(QDialog* dialog, const char* controlName) {
    auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(controlName));
    ASSERT_NE(button, nullptr) << controlName;
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace ui_test
