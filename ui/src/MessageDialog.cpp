#include "MessageDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace ui::detail {
namespace {

constexpr int kIconSize = 32;
// The platform's message box buttons are at least 75 x 23 pixels.
constexpr QSize kMinimumButtonSize(75, 23);

// The program breaks lines with a lone carriage return; Qt breaks them with '\n'.
QString withLineFeeds(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QScreen* dialogScreen() {
    return QGuiApplication::primaryScreen();
}

// The box keeps the platform's own look whatever palette the program gives its
// windows, with black text. Every role is set explicitly so that nothing of
// the application palette is inherited.
QPalette platformPaletteWithBlackText(const QStyle& style) {
    const QPalette standard = style.standardPalette();
    QPalette palette;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        const auto colorGroup = static_cast<QPalette::ColorGroup>(group);
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colorRole = static_cast<QPalette::ColorRole>(role);
            palette.setBrush(colorGroup, colorRole, standard.brush(colorGroup, colorRole));
        }
    }
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(group, role, Qt::black);
    }
    return palette;
}

}  // namespace

MessageDialog::MessageDialog(const QString& title, const QString& text,
                             std::optional<QStyle::StandardPixmap> icon)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    setFont(QApplication::font("QMessageBox"));
    setPalette(platformPaletteWithBlackText(*style()));
    // A widget's own style sheet outranks the application's for the same
    // property, which keeps a skin's text colour off the box.
    setStyleSheet(QStringLiteral("QWidget { color: #000000; }"));

    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    auto* messageRow = new QHBoxLayout;
    column->addLayout(messageRow);

    if (icon) {
        auto* iconLabel = new QLabel(this);
        iconLabel->setObjectName(QStringLiteral("icon"));
        iconLabel->setFixedSize(kIconSize, kIconSize);
        iconLabel->setPixmap(style()
                                 ->standardIcon(*icon, nullptr, this)
                                 .pixmap(QSize(kIconSize, kIconSize), devicePixelRatio()));
        messageRow->addWidget(iconLabel, 0, Qt::AlignTop);
        messageRow->addSpacing(
            style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, this));
        hasIcon_ = true;
    }

    message_ = new QLabel(withLineFeeds(text), this);
    message_->setObjectName(QStringLiteral("message"));
    message_->setTextFormat(Qt::PlainText);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    messageRow->addWidget(message_, 0, Qt::AlignTop);

    buttonRow_ = new QHBoxLayout;
    buttonRow_->addStretch();
    buttonRow_->addStretch();
    column->addLayout(buttonRow_);
}

QPushButton* MessageDialog::addButton(const QString& controlName, ModalResult result) {
    auto* button = new QPushButton(this);
    button->setObjectName(controlName);
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, [this, result] {
        if (result != modal_result::None) done(result);
    });
    // Keep the closing stretch last so the row stays centred.
    buttonRow_->insertWidget(buttonRow_->count() - 1, button);
    buttons_.append(button);
    return button;
}

QPushButton* MessageDialog::findButton(const QString& controlName) const {
    const auto found =
        std::find_if(buttons_.begin(), buttons_.end(), [&](const QPushButton* button) {
            return button->objectName().compare(controlName, Qt::CaseInsensitive) == 0;
        });
    return found == buttons_.end() ? nullptr : *found;
}

void MessageDialog::setDefaultButton(QPushButton* button) {
    if (button) button->setDefault(true);
}

void MessageDialog::sizeMessage() {
    // Unwrapped, the label is as wide as its longest line; past half the
    // screen it wraps and grows downwards instead.
    message_->setWordWrap(false);
    const int naturalWidth = message_->sizeHint().width();
    const int widthLimit = dialogScreen()->geometry().width() / 2;
    const int width = std::min(naturalWidth, widthLimit);
    message_->setWordWrap(true);
    message_->setFixedWidth(width);
    int height = message_->heightForWidth(width);
    if (hasIcon_) height = std::max(height, kIconSize);
    message_->setFixedHeight(height);
}

void MessageDialog::sizeButtons() {
    QSize size = kMinimumButtonSize;
    for (QPushButton* button : std::as_const(buttons_)) size = size.expandedTo(button->sizeHint());
    for (QPushButton* button : std::as_const(buttons_)) button->setFixedSize(size);
}

// The whole window, frame included, is centred on the whole screen.
void MessageDialog::centreOnScreen() {
    const QRect screen = dialogScreen()->geometry();
    const QSize window = frameGeometry().size();
    move(screen.x() + (screen.width() - window.width()) / 2,
         screen.y() + (screen.height() - window.height()) / 2);
}

ModalResult MessageDialog::run() {
    sizeMessage();
    sizeButtons();
    layout()->activate();
    centreOnScreen();
    if (!buttons_.isEmpty()) buttons_.first()->setFocus();
    return exec();
}

void MessageDialog::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        if (escapeButton_) escapeButton_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The frame's size is known once the window exists.
void MessageDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen();
}

void MessageDialog::reject() {
    done(modal_result::Cancel);
}

}  // namespace ui::detail
