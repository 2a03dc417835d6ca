// The one routine through which the program shows its own messages: a modal
// box with a Portuguese title, Portuguese button captions with their own
// accelerators, and the result code of the button that closed it.
#pragma once

#include <QString>
#include <initializer_list>

namespace ui {

enum class MessageKind { Warning, Error, Information, Confirmation, Custom };

// The enumerator's value is its bit in MessageButtons and its place in the
// button row, left to right.
enum class MessageButton {
    Yes,
    No,
    OK,
    Cancel,
    Abort,
    Retry,
    Ignore,
    All,
    NoToAll,
    YesToAll,
    Help
};

constexpr int kMessageButtonCount = 11;

class MessageButtons {
  public:
    constexpr MessageButtons() = default;
    constexpr MessageButtons(MessageButton button) : bits_(bitOf(button)) {}
    constexpr MessageButtons(std::initializer_list<MessageButton> buttons) {
        for (MessageButton button : buttons) bits_ |= bitOf(button);
    }
    // Bits above the last button are dropped.
    static constexpr MessageButtons fromValue(unsigned value) {
        MessageButtons set;
        set.bits_ = value & ((1u << kMessageButtonCount) - 1);
        return set;
    }

    constexpr unsigned value() const { return bits_; }
    constexpr bool contains(MessageButton button) const { return (bits_ & bitOf(button)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }

    friend constexpr MessageButtons operator|(MessageButtons a, MessageButtons b) {
        return fromValue(a.bits_ | b.bits_);
    }
    friend constexpr bool operator==(MessageButtons, MessageButtons) = default;

  private:
    static constexpr unsigned bitOf(MessageButton button) {
        return 1u << static_cast<unsigned>(button);
    }
    unsigned bits_ = 0;
};

// The platform's message-box result codes, extended by All, NoToAll and YesToAll.
using ModalResult = int;
namespace modal_result {
constexpr ModalResult None = 0;
constexpr ModalResult OK = 1;
constexpr ModalResult Cancel = 2;
constexpr ModalResult Abort = 3;
constexpr ModalResult Retry = 4;
constexpr ModalResult Ignore = 5;
constexpr ModalResult Yes = 6;
constexpr ModalResult No = 7;
constexpr ModalResult All = 8;
constexpr ModalResult NoToAll = 9;
constexpr ModalResult YesToAll = 10;
}  // namespace modal_result

// The code a button returns; Help has None, it never closes the box.
ModalResult modalResultOf(MessageButton button);

// Shows the message modally over every window of the program and returns once
// the box is closed and destroyed. A lone carriage return in the text starts a
// new line. The close box returns modal_result::Cancel whichever buttons are
// shown. The Custom kind is titled with QGuiApplication::applicationDisplayName().
// The help context is accepted for the callers' sake and not used.
//
// The box keeps the platform's look: it pins its own palette with black text,
// but Qt lets an application-wide style sheet reach every widget, so the skin
// must be set on the program's windows, not on the QApplication.
ModalResult LocalisedMessageDlg(const QString& text, MessageKind kind, MessageButtons buttons,
                                int helpContext);

}  // namespace ui
