// The line the preview shows under a drawing, composed in this one place:
// what of the drawing could not be shown, one notice a line.
#pragma once

#include <render/DisplayList.h>

#include <QString>

namespace preview {

// Empty when everything was drawn.
QString statusLine(const render::BuildReport& report);

}  // namespace preview
