// Proxy graphics: the drawing commands a program stores with an entity so that
// readers without its code can still show it.
#pragma once

#include <dwg/Drawing.h>

#include "Sections.h"

namespace dwg::detail {

// Decodes the command stream; stops at the first command that does not fit and
// keeps what came before it.
ProxyGraphics decodeProxyGraphics(Bytes graphics, const FileContext& file);

// Gives an entity the reader left undecoded its proxy graphics as data, when it
// has any that draw something.
void drawFromProxyGraphics(Entity& entity, const FileContext& file);

}  // namespace dwg::detail
