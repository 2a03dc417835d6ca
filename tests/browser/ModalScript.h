// Answers the modal windows of a test in the order they come up, as a user
// does, each as soon as it is the active window.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <vector>

#include "library/Library.h"

namespace browsertest {

namespace fs = std::filesystem;

// What one modal window showed.
struct SeenBox {
    QString kind;  // "save", "question", "message", or the class name
    QString title;
    QString text;
};

// Answers the modal windows in the order they come up, each as soon as it is active.
class ModalScript {
  public:
    using Step = std::function<void(QWidget*)>;

    explicit ModalScript(std::deque<Step> steps) : steps_(std::move(steps)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { tick(); });
        poll_.start(5);
    }
    ~ModalScript() { poll_.stop(); }

    const std::vector<SeenBox>& seen() const { return seen_; }
    bool finished() const { return steps_.empty(); }

  private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isActiveWindow()) return;
        if (modal == handled_) {
            // A box nobody answers would hang the run: fail and close it.
            if (sinceLastStep_.elapsed() > 10000) {
                ADD_FAILURE() << "window left unanswered: " << modal->windowTitle().toStdString();
                modal->close();
                sinceLastStep_.restart();
            }
            return;
        }
        handled_ = modal;
        sinceLastStep_.restart();
        SeenBox box{
            QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), {}};
        if (qobject_cast<QFileDialog*>(modal)) box.kind = QStringLiteral("save");
        if (auto* message = modal->findChild<QLabel*>(QStringLiteral("message"))) {
            box.kind = modal->findChild<QPushButton*>(QStringLiteral("Abort"))
                           ? QStringLiteral("question")
                           : QStringLiteral("message");
            box.text = message->text();
        }
        seen_.push_back(box);
        if (steps_.empty()) {
            ADD_FAILURE() << "unexpected window " << box.kind.toStdString() << ": "
                          << box.text.toStdString();
            modal->close();
            return;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        // Run outside this timer's handler: a step that opens a nested modal
        // window would otherwise keep the poll from firing again.
        QPointer<QWidget> target(modal);
        QTimer::singleShot(0, [step = std::move(step), target] {
            if (target) step(target);
        });
    }

    std::deque<Step> steps_;
    std::vector<SeenBox> seen_;
    QTimer poll_;
    QPointer<QWidget> handled_;
    QElapsedTimer sinceLastStep_;  // a new box may reuse the address of a destroyed one
};

// Types a name (or a full path) into the save dialog and presses Enter;
// proposed, when given, keeps the name it proposed.
inline ModalScript::Step saveAs(const fs::path& file, QString* proposed = nullptr) {
    return [file, proposed](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        if (proposed) *proposed = edit->text();
        edit->setText(QString::fromStdString(library::pathToUtf8(file)));
        QTest::keyClick(edit, Qt::Key_Return);
    };
}
// Accepts what the save dialog proposes, in folder; proposed, when given,
// keeps the name it proposed.
inline ModalScript::Step acceptProposedIn(const fs::path& folder, QString* proposed = nullptr) {
    return [folder, proposed](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        if (proposed) *proposed = edit->text();
        edit->setText(
            QString::fromStdString(library::pathToUtf8(
                folder / library::pathFromUtf8(edit->text().toStdString()))));
        QTest::keyClick(edit, Qt::Key_Return);
    };
}
inline ModalScript::Step clickButton(const char* name) {
    return [name](QWidget* modal) {
        auto* button = modal->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    };
}

}  // namespace browsertest
