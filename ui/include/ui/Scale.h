// Whether the program's windows are drawn at the screens' own pixels (100 %)
// or scaled (125 %, 150 %, 200 %...): bitmap faces and images drawn for one
// size need the former.
#pragma once

namespace ui {

// True when every screen shows one device pixel per pixel of the windows.
bool screensUnscaled();

}  // namespace ui
