// Drives the modal boxes the way a user does: waits until the box is the
// active modal window (a zero-delay timer would fire before it is), then acts.
#pragma once

#include <QDialog>
#include <QList>
#include <QPushButton>
#include <functional>

namespace ui_test {

// Runs action on the modal box once it is active. If it never becomes active
// the test fails and the box is closed so the run does not hang.
void whenModalActive(std::function<void(QDialog*)> action);

// The box's buttons, left to right.
QList<QPushButton*> buttonsInRow(const QDialog* dialog);

void pressKey(QDialog* dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void clickButton(QDialog* dialog, const char* controlName);

}  // namespace ui_test
