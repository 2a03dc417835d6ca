// The colours of the thumbnail grid: tiles in their states, the footer bar
// and its navigator buttons.
#pragma once

#include <QColor>

namespace browser {

struct GridColors {
    struct Fill {
        QColor from;  // a vertical gradient, top to bottom
        QColor to;
        QColor border;
    };
    QColor background;
    Fill tile;
    Fill tileHover;
    Fill tileSelected;
    Fill tileDisabled;
    Fill footer;
    QColor footerText;
    QColor button;
    QColor buttonHover;
    QColor buttonPressed;
    QColor buttonBorder;

    // The olive-green tones the main window uses.
    static GridColors olive();
};

}  // namespace browser
