#include "SkinStyle.h"

#include <QAbstractSpinBox>
#include <QPainter>
#include <QStyleOption>
#include <QWidget>

#include "ui/Skin.h"

namespace ui::detail {
namespace {

bool inSkinnedWindow(const QWidget* widget) {
    return widget && carriesSkin(widget->window());
}

void drawCentred(QPainter* painter, const QRect& area, const QImage& image, bool enabled) {
    if (image.isNull()) return;
    const QRect target(area.center() - QPoint(image.width() / 2, image.height() / 2) + QPoint(1, 1),
                       image.size());
    painter->save();
    if (!enabled) painter->setOpacity(0.4);
    painter->drawImage(target, image);
    painter->restore();
}

// The section's gradient inside its border; pressed turns the gradient over.
void drawSectionBox(QPainter* painter, const QRect& area, const SectionLook& look, bool pressed) {
    QLinearGradient fill(area.topLeft(), area.bottomLeft());
    fill.setColorAt(0, pressed ? look.bottom : look.top);
    fill.setColorAt(1, pressed ? look.top : look.bottom);
    painter->save();
    painter->setPen(look.border);
    painter->setBrush(fill);
    painter->drawRect(area.adjusted(0, 0, -1, -1));
    painter->restore();
}

// A button of a combo or spin box.
void drawArrowButton(QPainter* painter, const QRect& area, const SectionLook& look,
                     const QImage& arrow, bool enabled, bool pressed) {
    if (!area.isValid()) return;
    drawSectionBox(painter, area, look, pressed);
    drawCentred(painter, area, arrow, enabled);
}

}  // namespace

void SkinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (!inSkinnedWindow(widget)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const Skin& skin = programSkin();
    const bool enabled = option->state & State_Enabled;
    if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option)) {
        QStyleOptionComboBox field = *combo;
        field.subControls &= ~SC_ComboBoxArrow;
        QProxyStyle::drawComplexControl(control, &field, painter, widget);
        const QRect button = subControlRect(control, option, SC_ComboBoxArrow, widget);
        drawArrowButton(
            painter, button, skin[SkinSection::ComboBox], skin.arrowDown, enabled,
            combo->activeSubControls & SC_ComboBoxArrow && option->state & State_Sunken);
        return;
    }
    if (const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option)) {
        QStyleOptionSpinBox field = *spin;
        field.subControls &= ~(SC_SpinBoxUp | SC_SpinBoxDown);
        QProxyStyle::drawComplexControl(control, &field, painter, widget);
        const bool sunken = option->state & State_Sunken;
        const SectionLook& look = skin[SkinSection::Edit];
        drawArrowButton(painter, subControlRect(control, option, SC_SpinBoxUp, widget), look,
                        skin.arrowUp,
                        enabled && spin->stepEnabled & QAbstractSpinBox::StepUpEnabled,
                        sunken && spin->activeSubControls & SC_SpinBoxUp);
        drawArrowButton(painter, subControlRect(control, option, SC_SpinBoxDown, widget), look,
                        skin.arrowDown,
                        enabled && spin->stepEnabled & QAbstractSpinBox::StepDownEnabled,
                        sunken && spin->activeSubControls & SC_SpinBoxDown);
        return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void SkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                              QPainter* painter, const QWidget* widget) const {
    if (!inSkinnedWindow(widget)) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const Skin& skin = programSkin();
    const bool enabled = option->state & State_Enabled;
    switch (element) {
        case PE_IndicatorCheckBox: {
            drawSectionBox(painter, option->rect, skin[SkinSection::CheckBox], false);
            if (option->state & (State_On | State_NoChange))
                drawCentred(painter, option->rect, skin.checkMark, enabled);
            return;
        }
        case PE_IndicatorArrowDown:
        case PE_IndicatorSpinDown:
            drawCentred(painter, option->rect, skin.arrowDown, enabled);
            return;
        case PE_IndicatorArrowUp:
        case PE_IndicatorSpinUp:
            drawCentred(painter, option->rect, skin.arrowUp, enabled);
            return;
        default:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

int SkinStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    switch (hint) {
        case SH_Widget_Animation_Duration:
            return 0;
        default:
            return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

}  // namespace ui::detail
