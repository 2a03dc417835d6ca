#include "ui/Links.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

#include "ui/Skin.h"

namespace ui {
namespace {

enum class Trigger { Press, Click };

class LinkBehaviour : public QObject {
  public:
    LinkBehaviour(QLabel* label, Trigger trigger, std::function<void()> action,
                  std::function<void(QLabel*, bool hovered)> show)
        : QObject(label),
          label_(label),
          trigger_(trigger),
          action_(std::move(action)),
          show_(std::move(show)) {
        label->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != label_) return false;
        switch (event->type()) {
            case QEvent::Enter:
                show_(label_, true);
                break;
            case QEvent::Leave:
                show_(label_, false);
                break;
            case QEvent::MouseButtonPress:
                if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
                pressed_ = true;
                if (trigger_ == Trigger::Press) action_();
                return true;
            case QEvent::MouseButtonRelease: {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                const bool click = pressed_ && mouse->button() == Qt::LeftButton &&
                                   label_->rect().contains(mouse->position().toPoint());
                pressed_ = false;
                if (click && trigger_ == Trigger::Click) action_();
                return click;
            }
            default:
                break;
        }
        return false;
    }

  private:
    QLabel* label_;
    Trigger trigger_;
    std::function<void()> action_;
    std::function<void(QLabel*, bool)> show_;
    bool pressed_ = false;
};

void showSkinLink(QLabel* label, bool hovered) {
    const Skin& skin = programSkin();
    // The label's own sheet outranks the skin's colours for labels.
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; text-decoration: %2; }")
                             .arg(hovered ? skin.linkHover.name() : skin.link.name(),
                                  hovered ? QStringLiteral("underline") : QStringLiteral("none")));
}

}  // namespace

void makeLink(QLabel* label, std::function<void()> onPress) {
    // A label with a sheet of its own no longer follows its window's font.
    label->setFont(label->font());
    label->setCursor(Qt::PointingHandCursor);
    showSkinLink(label, false);
    new LinkBehaviour(label, Trigger::Press, std::move(onPress), showSkinLink);
}

void makeUnderlinedLink(QLabel* label, std::function<void()> onClick) {
    label->setFont(label->font());
    label->setCursor(Qt::ArrowCursor);
    // Leaving puts the label's own sheet back exactly as it was.
    const QString ownSheet = label->styleSheet();
    new LinkBehaviour(
        label, Trigger::Click, std::move(onClick), [ownSheet](QLabel* link, bool hovered) {
            link->setStyleSheet(
                hovered ? ownSheet + QStringLiteral("\nQLabel { text-decoration: underline; }")
                        : ownSheet);
        });
}

}  // namespace ui
