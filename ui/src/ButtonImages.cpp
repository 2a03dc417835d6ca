#include "ui/ButtonImages.h"

#include "ui/Scale.h"

namespace ui {

namespace {

// An image drawn at its size and at twice it: screens at their own pixels
// show the first, scaled ones (125 %, 150 %, 200 %) the finer one shrunk to
// their size, never the coarse one enlarged.
QIcon drawnTwice(const QString& name) {
    QIcon icon;
    if (screensUnscaled()) icon.addFile(QStringLiteral(":/ui/images/%1.png").arg(name));
    icon.addFile(QStringLiteral(":/ui/images/%1@2x.png").arg(name));
    return icon;
}

}  // namespace

QIcon buttonImage(ButtonImage image) {
    switch (image) {
        case ButtonImage::Save:
            return drawnTwice(QStringLiteral("salvar"));
        case ButtonImage::Download:
            return drawnTwice(QStringLiteral("download"));
        case ButtonImage::Cancel:
            return drawnTwice(QStringLiteral("cancelar"));
    }
    return {};
}

QIcon programIcon() {
    // Every size drawn for it, so that title bars, task bars and docks at any
    // scale take a picture of their size instead of a scaled one.
    QIcon icon(QStringLiteral(":/ui/images/tessaly-48.png"));
    for (const int side : {16, 32, 64, 128, 256})
        icon.addFile(QStringLiteral(":/ui/images/tessaly-%1.png").arg(side), QSize(side, side));
    return icon;
}

}  // namespace ui
