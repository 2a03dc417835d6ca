// The main window's "Sobre" and "Ajuda" links: the About window and the help.
#pragma once

#include <QString>

#include "library/Library.h"

class QLabel;

namespace ui {

// Both labels become links of the main window (underlined under the mouse);
// a click runs lSobreClick or lAjudaClick.
void connectAboutAndHelp(QLabel* lSobre, QLabel* lAjuda);

// Shows the About window modally; returns when it is closed.
void lSobreClick();

// Opens the help beside the executable: Ajuda.chm when the desktop has a
// viewer for it, otherwise the same pages as HTML (Ajuda/index.html). Without
// either, the support message says whom to ask.
void lAjudaClick(const library::Layout& layout);

// The HTML pages' index beside the executable.
std::filesystem::path helpIndex(const library::Layout& layout);

QString supportMessage();

}  // namespace ui
