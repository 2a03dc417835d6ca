// The pictures drawn on the program's buttons and its window icon.
#pragma once

#include <QIcon>

namespace ui {

enum class ButtonImage { Save, Download, Cancel };

QIcon buttonImage(ButtonImage image);
QIcon programIcon();

}  // namespace ui
