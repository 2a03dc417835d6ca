#include "ui/Windows.h"

namespace ui {

Windows& windows() {
    static Windows registry;
    return registry;
}

}  // namespace ui
