// The line the preview shows under a drawing, composed in this one place:
// what of the drawing could not be shown, one notice a line, then the
// block's units and size (`sizeText`, "Tamanho: …") when known.
#pragma once

#include <render/DisplayList.h>

#include <QString>

namespace preview {

// Empty when everything was drawn and the size is unknown.
QString statusLine(const render::BuildReport& report, const QString& sizeText = {});

}  // namespace preview
