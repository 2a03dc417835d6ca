// The modal box behind LocalisedMessageDlg and the zip reader's question: an
// optional 32 x 32 icon, the wrapped message and one centred row of buttons of
// equal size. It is built by hand rather than from QMessageBox, whose button
// roles reorder the row and pick their own default and Esc buttons.
#pragma once

#include <QDialog>
#include <QList>
#include <QStyle>
#include <optional>

#include "ui/LocalisedMessageDlg.h"

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace ui::detail {

class MessageDialog : public QDialog {
  public:
    MessageDialog(const QString& title, const QString& text,
                  std::optional<QStyle::StandardPixmap> icon);

    // The button's objectName is its control name; a zero result leaves the box open.
    QPushButton* addButton(const QString& controlName, ModalResult result);
    // Compares control names without regard to case.
    QPushButton* findButton(const QString& controlName) const;

    void setDefaultButton(QPushButton* button);
    // Pressed by Esc; without one Esc does nothing.
    void setEscapeButton(QPushButton* button) { escapeButton_ = button; }

    // Lays the box out, centres it on the screen, shows it modally and returns
    // the result of the button or close box that ended it.
    ModalResult run();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // QDialog routes the close box here; it answers Cancel whatever the buttons.
    void reject() override;

  private:
    void sizeMessage();
    void sizeButtons();
    void centreOnScreen();

    QLabel* message_ = nullptr;
    bool hasIcon_ = false;
    QHBoxLayout* buttonRow_ = nullptr;
    QList<QPushButton*> buttons_;
    QPushButton* escapeButton_ = nullptr;
};

}  // namespace ui::detail
