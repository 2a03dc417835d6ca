#include "ui/LocalisedMessageDlg.h"

#include <QGuiApplication>
#include <QPushButton>
#include <array>
#include <string_view>

#include "MessageDialog.h"

namespace ui {
namespace {

struct TextPair {
    std::string_view key;
    const char* text;  // UTF-8
};

// Keyed by the control name of the button, compared without regard to case.
constexpr std::array<TextPair, 11> kButtonCaptions{{
    {"ABORT", "A&bortar"},
    {"ALL", "&Todos"},
    {"CANCEL", "&Cancelar"},
    {"HELP", "&Ajuda"},
    {"IGNORE", "&Ignorar"},
    {"NO", "&Não"},
    {"NOTOALL", "Não à To&dos"},
    {"OK", "&OK"},
    {"RETRY", "&Repetir"},
    {"YES", "&Sim"},
    {"YESTOALL", "S&im à Todos"},
}};

// Keyed by the English word of the kind.
constexpr std::array<TextPair, 4> kTitles{{
    {"Confirm", "Confirmação"},
    {"Error", "Erro"},
    {"Information", "Informação"},
    {"Warning", "Aviso"},
}};

template <std::size_t N>
constexpr bool sortedByKey(const std::array<TextPair, N>& table) {
    for (std::size_t i = 1; i < N; ++i)
        if (!(table[i - 1].key < table[i].key)) return false;
    return true;
}
static_assert(sortedByKey(kButtonCaptions) && sortedByKey(kTitles));

struct ButtonInfo {
    const char* controlName;
    ModalResult result;
};

// In row order: the index is the MessageButton value.
constexpr std::array<ButtonInfo, kMessageButtonCount> kButtons{{
    {"Yes", modal_result::Yes},
    {"No", modal_result::No},
    {"OK", modal_result::OK},
    {"Cancel", modal_result::Cancel},
    {"Abort", modal_result::Abort},
    {"Retry", modal_result::Retry},
    {"Ignore", modal_result::Ignore},
    {"All", modal_result::All},
    {"NoToAll", modal_result::NoToAll},
    {"YesToAll", modal_result::YesToAll},
    {"Help", modal_result::None},
}};

// The word the title table knows a kind by; Custom has none.
const char* titleKey(MessageKind kind) {
    switch (kind) {
        case MessageKind::Warning:
            return "Warning";
        case MessageKind::Error:
            return "Error";
        case MessageKind::Information:
            return "Information";
        case MessageKind::Confirmation:
            return "Confirm";
        case MessageKind::Custom:
            return nullptr;
    }
    return nullptr;
}

std::optional<QStyle::StandardPixmap> iconOf(MessageKind kind) {
    switch (kind) {
        case MessageKind::Warning:
            return QStyle::SP_MessageBoxWarning;
        case MessageKind::Error:
            return QStyle::SP_MessageBoxCritical;
        case MessageKind::Information:
            return QStyle::SP_MessageBoxInformation;
        case MessageKind::Confirmation:
            return QStyle::SP_MessageBoxQuestion;
        case MessageKind::Custom:
            return std::nullopt;
    }
    return std::nullopt;
}

QString titleOf(MessageKind kind) {
    if (const char* key = titleKey(kind)) {
        for (const TextPair& pair : kTitles)
            if (pair.key == key) return QString::fromUtf8(pair.text);
    }
    return QGuiApplication::applicationDisplayName();
}

// The first of the candidates that the set holds.
std::optional<MessageButton> firstHeld(MessageButtons buttons,
                                       std::initializer_list<MessageButton> candidates) {
    for (MessageButton candidate : candidates)
        if (buttons.contains(candidate)) return candidate;
    return std::nullopt;
}

}  // namespace

ModalResult modalResultOf(MessageButton button) {
    return kButtons[static_cast<std::size_t>(button)].result;
}

ModalResult LocalisedMessageDlg(const QString& text, MessageKind kind, MessageButtons buttons,
                                int /*helpContext*/) {
    detail::MessageDialog dialog(titleOf(kind), text, iconOf(kind));
    dialog.setObjectName(QStringLiteral("LocalisedMessageDlg"));

    for (int index = 0; index < kMessageButtonCount; ++index) {
        if (!buttons.contains(static_cast<MessageButton>(index))) continue;
        const ButtonInfo& info = kButtons[static_cast<std::size_t>(index)];
        dialog.addButton(QString::fromLatin1(info.controlName), info.result);
    }
    for (const TextPair& pair : kButtonCaptions) {
        if (QPushButton* button =
                dialog.findButton(QString::fromLatin1(pair.key.data(), pair.key.size())))
            button->setText(QString::fromUtf8(pair.text));
    }

    const auto controlName = [](MessageButton button) {
        return QString::fromLatin1(kButtons[static_cast<std::size_t>(button)].controlName);
    };
    if (auto button =
            firstHeld(buttons, {MessageButton::OK, MessageButton::Yes, MessageButton::Retry}))
        dialog.setDefaultButton(dialog.findButton(controlName(*button)));
    if (auto button =
            firstHeld(buttons, {MessageButton::Cancel, MessageButton::No, MessageButton::OK}))
        dialog.setEscapeButton(dialog.findButton(controlName(*button)));

    return dialog.run();
}

}  // namespace ui
