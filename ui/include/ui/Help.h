// The main window's "Sobre" and "Ajuda" links: the About window and the help.
#pragma once

#include <QString>

#include "library/Library.h"

class QLabel;
class QTextBrowser;

namespace ui {

// Both labels become links of the main window (underlined under the mouse);
// a click runs lSobreClick or lAjudaClick.
void connectAboutAndHelp(QLabel* lSobre, QLabel* lAjuda);

// Shows the About window modally; returns when it is closed.
void lSobreClick();

// Opens the help beside the executable: Ajuda.chm when the desktop has a
// viewer for it, otherwise the same pages as HTML (Ajuda/index.html), in the
// desktop's browser or, where there is none, in the program's own help
// window. Without either, the support message says whom to ask.
void lAjudaClick(const library::Layout& layout);

// The HTML pages' index beside the executable.
std::filesystem::path helpIndex(const library::Layout& layout);

QString supportMessage();

// The browser of the program's own help window while that window is open.
QTextBrowser* ownHelpBrowser();

}  // namespace ui
