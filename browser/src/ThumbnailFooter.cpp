#include "ThumbnailFooter.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace browser {

namespace {

// One button of the navigator, drawn in the grid's colours: one arrow for an
// item, two for a page.
class NavigatorButton : public QAbstractButton {
  public:
    NavigatorButton(TileLayout::Step step, const GridColors& colors, QWidget* parent)
        : QAbstractButton(parent), step_(step), colors_(colors) {
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(23, 19);
        setAutoRepeat(true);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        using Step = TileLayout::Step;
        QPainter painter(this);
        const QColor fill = isDown()       ? colors_.buttonPressed
                            : underMouse() ? colors_.buttonHover
                                           : colors_.button;
        painter.fillRect(rect(), fill);
        painter.setPen(colors_.buttonBorder);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));

        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(isEnabled() ? colors_.buttonBorder : QColor(140, 140, 140));
        const bool pointsLeft = step_ == Step::PreviousItem || step_ == Step::PageUp;
        const bool twoArrows = step_ == Step::PageUp || step_ == Step::PageDown;
        const qreal half = 4;
        const qreal centreY = height() / 2.0;
        const qreal centreX = width() / 2.0;
        const int arrows = twoArrows ? 2 : 1;
        for (int arrow = 0; arrow < arrows; ++arrow) {
            const qreal shift = twoArrows ? (arrow == 0 ? -half : half) : 0;
            const qreal x = centreX + shift;
            QPainterPath triangle;
            const qreal tip = pointsLeft ? x - half : x + half;
            const qreal base = pointsLeft ? x + half : x - half;
            triangle.moveTo(tip, centreY);
            triangle.lineTo(base, centreY - half);
            triangle.lineTo(base, centreY + half);
            triangle.closeSubpath();
            painter.drawPath(triangle);
        }
    }

  private:
    TileLayout::Step step_;
    const GridColors& colors_;
};

}  // namespace

ThumbnailFooter::ThumbnailFooter(const GridColors& colors, QWidget* parent)
    : QWidget(parent), colors_(colors) {
    auto* navigator = new QHBoxLayout(this);
    navigator->setContentsMargins(4, 3, 4, 3);
    navigator->setSpacing(2);
    navigator->addStretch();
    using Step = TileLayout::Step;
    const auto addButton = [&](Step step, const char* name, const char* hint) {
        auto* button = new NavigatorButton(step, colors_, this);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(QLatin1String(hint));
        connect(button, &QAbstractButton::clicked, this, [this, step] { emit stepped(step); });
        navigator->addWidget(button);
        return button;
    };
    previousPage_ = addButton(Step::PageUp, "previousPageButton", "Previous Page");
    previousItem_ = addButton(Step::PreviousItem, "previousItemButton", "Previous Item");
    nextItem_ = addButton(Step::NextItem, "nextItemButton", "Next Item");
    nextPage_ = addButton(Step::PageDown, "nextPageButton", "Next Page");
    showState(-1, 0, false);
}

void ThumbnailFooter::showState(int selected, int count, bool mouseOverGrid) {
    selected_ = selected;
    count_ = count;
    // Shown only while the mouse is over the grid, and only when there is
    // something to walk through.
    const bool shown = mouseOverGrid && count > 1;
    for (QAbstractButton* button : {previousPage_, previousItem_, nextItem_, nextPage_})
        button->setVisible(shown);
    previousPage_->setEnabled(selected != 0);
    previousItem_->setEnabled(selected != 0);
    nextItem_->setEnabled(selected != count - 1);
    nextPage_->setEnabled(selected != count - 1);
    update();
}

void ThumbnailFooter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, colors_.footer.from);
    gradient.setColorAt(1, colors_.footer.to);
    painter.fillRect(rect(), gradient);
    painter.setPen(colors_.footer.border);
    painter.drawLine(0, 0, width() - 1, 0);
    if (count_ == 0) return;
    painter.setPen(colors_.footerText);
    const QString position = selected_ >= 0
                                 ? QStringLiteral("%1 / %2").arg(selected_ + 1).arg(count_)
                                 : QString::number(count_);
    painter.drawText(rect().adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, position);
}

}  // namespace browser
