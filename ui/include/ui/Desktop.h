// Documents and addresses opened through the desktop: the help, the site and
// the mail address. Tests put their own opener in place.
#pragma once

#include <QUrl>
#include <functional>

namespace ui {

// Opens the address with the desktop's application for it. False when nothing
// could open it; for a local file, also when the desktop has no application
// registered for the file's type (the opener would only report an error).
bool openUrl(const QUrl& url);

// Replaces the opener; an empty function restores the desktop's.
void setUrlOpenerForTests(std::function<bool(const QUrl&)> opener);

}  // namespace ui
