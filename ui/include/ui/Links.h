// Labels that act as links.
#pragma once

#include <functional>

class QLabel;

namespace ui {

// A link of the About window: hand cursor; underlined and in the skin's hover
// colour while the mouse is over it, plain and in the skin's link colour
// otherwise. The left button going down runs the action.
void makeLink(QLabel* label, std::function<void()> onPress);

// A link of the main window: arrow cursor, underlined exactly while the mouse
// is over it, the action on a click (left button pressed and released on it).
void makeUnderlinedLink(QLabel* label, std::function<void()> onClick);

}  // namespace ui
