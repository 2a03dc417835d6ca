// Portuguese for the texts Qt draws itself (file dialog, context menus, error
// boxes) and the font the program's windows use.
#pragma once

#include <QFont>

class QApplication;

namespace ui {

// Loads Qt's own pt_BR catalogue and makes pt_BR the default locale, so sizes,
// dates and numbers follow it too. The catalogue shipped in the program's
// folder (translations/) comes first, then Qt's own. Returns false when the
// catalogue is missing; the locale is set either way.
bool installPortugueseTranslations(QApplication& app);

// "MS Sans Serif", 11 pixels high unless another size is asked for. The face
// is a bitmap one: 11 pixels of character height is its 13-pixel strike (2
// pixels of internal leading), which is the one Qt picks. Where any screen is
// scaled (125 %, 150 %, 200 %...), which a bitmap face cannot follow, the same
// size of Tahoma, a scalable face of the same widths. Both are compiled in:
// Windows, Wine and Linux show the same letters.
QFont programFont(int pixelSize = 11);
QString programFontFamily();

}  // namespace ui
