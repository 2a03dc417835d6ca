// The question the zip reader asks when one entry cannot be extracted. It is
// the toolkit's standard confirmation box, not the program's own message box:
// its captions ("&Abortar") differ from LocalisedMessageDlg's ("A&bortar").
#pragma once

#include <QString>

#include "archive/ZipReader.h"

namespace ui {

enum class ZipQuestionAnswer { Abort, Retry, Ignore };

// Modal; Retry is offered only when allowRetry is true. Closing the box by its
// close box or Esc answers Abort, the choice that writes nothing more.
ZipQuestionAnswer askZipQuestion(const QString& text, bool allowRetry);

// The same box as a zip run's question handler.
archive::ZipAnswer askZipQuestion(const archive::ZipQuestion& question);

}  // namespace ui
