// The program's look: one skin built into the program, recoloured once at
// start-up by a fixed hue offset and saturation change, and put on every window
// of the program. Message boxes and the platform's own dialogs keep the
// platform's look.
//
// A skin is drawn in sections: every window's background (FORM), the bars
// (SPEEDBUTTON, GROUPBOX, PANEL), the status bar and every kind of control.
// Windows tag their bars with setSkinSection() and call applySkin() once their
// controls exist.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <array>

class QApplication;
class QWidget;

namespace ui {

// Hue offset in degrees, saturation change on a scale from -100 to 100
// (negative draws every colour toward grey, -100 leaves only grey).
struct Recolour {
    int hueOffset = 0;
    int saturation = 0;
};

// The fixed settings the program's skin is loaded with.
constexpr Recolour kProgramRecolour{270, -70};

// HSV hue turned by the offset, then the HSV saturation scaled toward 0
// (negative change) or toward full (positive); value and alpha kept. Greys stay
// grey. The hue turn comes first, as the skin manager does it.
QColor recoloured(const QColor& colour, Recolour recolour);
// Every pixel recoloured the same way; transparency is kept.
QImage recoloured(const QImage& image, Recolour recolour);

enum class SkinSection {
    Form,         // "FORM": the background of every window
    SpeedButton,  // "SPEEDBUTTON": the main window's top bar and grid panel
    GroupBox,     // "GROUPBOX": group boxes and the panels drawn like them
    StatusBar,    // "STATUSBAR"
    Button,       // "BUTTON"
    CheckBox,     // "CHECKBOX"
    ComboBox,     // "COMBOBOX"
    Edit,         // "EDIT": spin boxes and text fields
    Panel,        // "PANEL": plain button bars
};
constexpr int kSkinSectionCount = 9;

// "FORM", "SPEEDBUTTON"… as the skin names its sections.
const char* sectionName(SkinSection section);

struct SectionLook {
    QColor top;  // vertical gradient, top to bottom
    QColor bottom;
    QColor border;
    QColor text;
};

struct Skin {
    QString name;
    std::array<SectionLook, kSkinSectionCount> sections;
    SectionLook buttonHover;
    SectionLook buttonDown;
    QColor caption;    // group box captions
    QColor link;       // link labels
    QColor linkHover;  // link labels under the mouse
    QColor highlight;  // selection, progress
    QImage checkMark;
    QImage arrowDown;
    QImage arrowUp;

    const SectionLook& operator[](SkinSection section) const {
        return sections[static_cast<std::size_t>(section)];
    }
};

// "Velmora (internal)", as it is stored in the program.
const Skin& baseSkin();
Skin recoloured(const Skin& skin, Recolour recolour);
// The base skin recoloured by kProgramRecolour, computed once.
const Skin& programSkin();

// Turns the toolkit's animations off, installs the style that draws the skin's
// images in skinned windows and gives the windows the program's icon. Once,
// before the windows are created.
void setUpLookAndFeel(QApplication& application);

// Marks a bar or panel as drawn by a section of the skin.
void setSkinSection(QWidget* panel, SkinSection section);

// Puts the skin on a window and its controls, not on the windows it owns
// (its file dialog, its message boxes). Call once its controls exist.
void applySkin(QWidget* window);
bool carriesSkin(const QWidget* window);

// Text that keeps its own colour and size whatever the skin says.
void setOwnTextLook(QWidget* widget, const QColor& colour, int pixelSize);

}  // namespace ui
