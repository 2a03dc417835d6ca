#include "browser/GridColors.h"

namespace browser {

GridColors GridColors::olive() {
    GridColors colors;
    const QColor border(96, 128, 88);
    colors.background = QColor(234, 240, 207);
    colors.tile = {QColor(234, 240, 207), QColor(177, 192, 140), border};
    colors.tileHover = {QColor(255, 253, 235), QColor(255, 236, 172), QColor(124, 124, 148)};
    colors.tileSelected = {QColor(251, 230, 148), QColor(238, 149, 21), border};
    colors.tileDisabled = {QColor(242, 242, 242), QColor(182, 182, 182), border};
    colors.footer = {QColor(175, 192, 130), QColor(99, 122, 68), border};
    colors.footerText = Qt::white;
    colors.button = QColor(234, 240, 207);
    colors.buttonHover = QColor(251, 230, 148);
    colors.buttonPressed = QColor(238, 149, 21);
    colors.buttonBorder = Qt::black;
    return colors;
}

}  // namespace browser
