#include "ui/Scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace ui {

bool screensUnscaled() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    return !screens.isEmpty() && std::all_of(screens.begin(), screens.end(), [](QScreen* screen) {
        return qFuzzyCompare(screen->devicePixelRatio(), 1.0);
    });
}

}  // namespace ui
