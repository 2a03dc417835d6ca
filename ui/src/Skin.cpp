#include "ui/Skin.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>
#include <algorithm>

#include "SkinStyle.h"
#include "ui/ButtonImages.h"

namespace ui {
namespace {

constexpr auto kSkinnedProperty = "tessalySkin";
constexpr auto kSectionProperty = "skinSection";

constexpr std::array<const char*, kSkinSectionCount> kSectionNames{
    "FORM",     "SPEEDBUTTON", "GROUPBOX", "STATUSBAR", "BUTTON",
    "CHECKBOX", "COMBOBOX",    "EDIT",     "PANEL"};

QColor hex(const char* rgb) {
    return QColor(QString::fromLatin1(rgb));
}

SectionLook look(const char* top, const char* bottom, const char* border, const char* text) {
    return {hex(top), hex(bottom), hex(border), hex(text)};
}

SectionLook recoloured(const SectionLook& look, Recolour recolour) {
    return {ui::recoloured(look.top, recolour), ui::recoloured(look.bottom, recolour),
            ui::recoloured(look.border, recolour), ui::recoloured(look.text, recolour)};
}

QString css(const QColor& colour) {
    return colour.name(QColor::HexRgb);
}

QString gradient(const SectionLook& look) {
    return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
        .arg(css(look.top), css(look.bottom));
}

// Section colours reach the controls through a style sheet; text colours that
// the controls take from their palette come from skinPalette().
QString styleSheetOf(const Skin& skin) {
    const SectionLook& form = skin[SkinSection::Form];
    const SectionLook& speed = skin[SkinSection::SpeedButton];
    const SectionLook& group = skin[SkinSection::GroupBox];
    const SectionLook& status = skin[SkinSection::StatusBar];
    const SectionLook& button = skin[SkinSection::Button];
    const SectionLook& check = skin[SkinSection::CheckBox];
    const SectionLook& edit = skin[SkinSection::Edit];
    const SectionLook& panel = skin[SkinSection::Panel];
    QString sheet;
    const auto bar = [&sheet](const char* name, const SectionLook& look) {
        sheet += QStringLiteral(
                     "QWidget[skinSection=\"%1\"] { background: %2; border-top: 1px solid %3; "
                     "border-bottom: 1px solid %3; }\n"
                     "QWidget[skinSection=\"%1\"] QLabel, QWidget[skinSection=\"%1\"] QCheckBox "
                     "{ color: %4; }\n")
                     .arg(QLatin1String(name), gradient(look), css(look.border), css(look.text));
    };
    sheet += QStringLiteral("QLabel, QCheckBox { color: %1; }\n").arg(css(form.text));
    bar("SPEEDBUTTON", speed);
    bar("GROUPBOX", group);
    bar("PANEL", panel);
    sheet += QStringLiteral(
                 "QGroupBox { background: %1; border: 1px solid %2; border-radius: 3px; "
                 "margin-top: 6px; }\n"
                 "QGroupBox QLabel, QGroupBox QCheckBox { color: %3; }\n"
                 "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px 3px; "
                 "border-radius: 2px; background: %2; color: %4; }\n")
                 .arg(gradient(group), css(group.border), css(group.text), css(skin.caption));
    sheet += QStringLiteral(
                 "QStatusBar { background: %1; border-top: 1px solid %2; }\n"
                 "QStatusBar QLabel { color: %3; }\n"
                 "QStatusBar::item { border: 1px solid %2; border-radius: 1px; margin: 1px; }\n")
                 .arg(gradient(status), css(status.border), css(status.text));
    sheet +=
        QStringLiteral(
            "QPushButton { background: %1; border: 1px solid %2; border-radius: 3px; "
            "color: %3; padding: 2px 8px; }\n"
            "QPushButton:default { border: 2px solid %2; }\n"
            "QPushButton:hover { background: %4; }\n"
            "QPushButton:pressed { background: %5; }\n"
            "QPushButton:disabled { color: %6; border-color: %6; }\n"
            "QPushButton:focus { border-color: %7; }\n")
            .arg(gradient(button), css(button.border), css(button.text), gradient(skin.buttonHover),
                 gradient(skin.buttonDown), css(button.bottom.darker(130)), css(skin.highlight));
    // The combo box and the spin box are drawn by the style, whose buttons
    // carry the skin's colours and arrows.
    sheet += QStringLiteral("QPlainTextEdit { background: palette(base); border: 1px solid %1; }\n")
                 .arg(css(edit.border));
    sheet += QStringLiteral(
                 "QProgressBar { background: palette(base); border: 1px solid %1; "
                 "border-radius: 2px; text-align: center; color: %2; }\n"
                 "QProgressBar::chunk { background: %3; }\n")
                 .arg(css(edit.border), css(button.text), css(skin.highlight));
    sheet += QStringLiteral("QCheckBox { spacing: 5px; } QCheckBox:disabled { color: %1; }\n")
                 .arg(css(check.border));
    return sheet;
}

QPalette skinPalette(const Skin& skin) {
    const SectionLook& form = skin[SkinSection::Form];
    const SectionLook& button = skin[SkinSection::Button];
    QPalette palette(button.bottom, form.top);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, form.text);
        palette.setColor(group, QPalette::ButtonText, button.text);
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::Highlight, skin.highlight);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::Link, skin.link);
    }
    return palette;
}

QImage skinImage(const char* name) {
    return QImage(QStringLiteral(":/ui/skin/%1.png").arg(QLatin1String(name)));
}

}  // namespace

QColor recoloured(const QColor& colour, Recolour recolour) {
    if (!colour.isValid()) return colour;
    float hue = 0, saturation = 0, value = 0, alpha = 0;
    colour.getHsvF(&hue, &saturation, &value, &alpha);
    if (hue >= 0) {  // greys have no hue to turn
        hue += static_cast<float>(recolour.hueOffset) / 360.0f;
        hue -= std::floor(hue);
    }
    const float change = std::clamp(recolour.saturation, -100, 100) / 100.0f;
    saturation = change < 0 ? saturation * (1.0f + change) : saturation + (1 - saturation) * change;
    return QColor::fromHsvF(hue, saturation, value, alpha).toRgb();
}

QImage recoloured(const QImage& image, Recolour recolour) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            line[x] = recoloured(QColor::fromRgba(line[x]), recolour).rgba();
    }
    return result;
}

const char* sectionName(SkinSection section) {
    return kSectionNames[static_cast<std::size_t>(section)];
}

// Colours as the skin is stored: blue-green tones that the program's settings
// turn into muted olive greys.
const Skin& baseSkin() {
    static const Skin skin = [] {
        Skin velmora;
        velmora.name = QStringLiteral("Velmora (internal)");
        velmora.sections = {
            look("#9FD1C5", "#9FD1C5", "#136352", "#08302D"),  // FORM
            look("#2A8773", "#176053", "#0B443C", "#FFFFFF"),  // SPEEDBUTTON
            look("#247768", "#075746", "#0B4036", "#BFEAE2"),  // GROUPBOX
            look("#88C7B8", "#6AB3A2", "#2D8470", "#08302D"),  // STATUSBAR
            look("#DEF5ED", "#9ED7C8", "#1F7260", "#012621"),  // BUTTON
            look("#FFFFFF", "#BCE7DB", "#0E5144", "#CCF1E9"),  // CHECKBOX
            look("#CFF0E6", "#8FD2C1", "#0E5144", "#012621"),  // COMBOBOX
            look("#CFF0E6", "#8FD2C1", "#1F7260", "#012621"),  // EDIT
            look("#5DB09E", "#419482", "#1D6D5C", "#012621"),  // PANEL
        };
        velmora.buttonHover = look("#E7FBF1", "#B3E5D6", "#1F7260", "#012621");
        velmora.buttonDown = look("#84CAB8", "#AEE0D1", "#1F7260", "#012621");
        velmora.caption = hex("#FFFFFF");
        velmora.link = hex("#67E2D3");
        velmora.linkHover = hex("#2CF770");
        velmora.highlight = hex("#1C9479");
        velmora.checkMark = skinImage("check");
        velmora.arrowDown = skinImage("arrow-down");
        velmora.arrowUp = skinImage("arrow-up");
        return velmora;
    }();
    return skin;
}

Skin recoloured(const Skin& skin, Recolour recolour) {
    Skin result = skin;
    for (SectionLook& section : result.sections) section = recoloured(section, recolour);
    result.buttonHover = recoloured(skin.buttonHover, recolour);
    result.buttonDown = recoloured(skin.buttonDown, recolour);
    for (QColor* colour : {&result.caption, &result.link, &result.linkHover, &result.highlight})
        *colour = recoloured(*colour, recolour);
    for (QImage* image : {&result.checkMark, &result.arrowDown, &result.arrowUp})
        *image = recoloured(*image, recolour);
    return result;
}

const Skin& programSkin() {
    static const Skin skin = recoloured(baseSkin(), kProgramRecolour);
    return skin;
}

void setUpLookAndFeel(QApplication& application) {
    QApplication::setEffectEnabled(Qt::UI_General, false);
    for (Qt::UIEffect effect : {Qt::UI_AnimateMenu, Qt::UI_FadeMenu, Qt::UI_AnimateCombo,
                                Qt::UI_AnimateTooltip, Qt::UI_FadeTooltip, Qt::UI_AnimateToolBox})
        QApplication::setEffectEnabled(effect, false);
    application.setStyle(new detail::SkinStyle);
    QApplication::setWindowIcon(programIcon());
}

void setSkinSection(QWidget* panel, SkinSection section) {
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setProperty(kSectionProperty, QString::fromLatin1(sectionName(section)));
}

void applySkin(QWidget* window) {
    if (carriesSkin(window)) return;
    const Skin& skin = programSkin();
    window->setProperty(kSkinnedProperty, true);
    window->setPalette(skinPalette(skin));
    // A style sheet reaches every widget below the one that carries it, owned
    // windows included; set on the controls, it stays off the file dialog and
    // the message boxes the window owns. A control's own sheet keeps the last word.
    const QString sheet = styleSheetOf(skin);
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow()) child->setStyleSheet(sheet + child->styleSheet());
    }
}

bool carriesSkin(const QWidget* window) {
    return window && window->property(kSkinnedProperty).toBool();
}

void setOwnTextLook(QWidget* widget, const QColor& colour, int pixelSize) {
    // The face as a font of the widget's own, which the sheet leaves alone: a
    // size in the sheet alone would take the face of Qt's default font.
    widget->setFont(programFont(pixelSize));
    widget->setStyleSheet(QStringLiteral("QWidget { color: %1; }").arg(css(colour)));
}

}  // namespace ui
