#include "ui/ButtonImages.h"

namespace ui {

QIcon buttonImage(ButtonImage image) {
    switch (image) {
        case ButtonImage::Save:
            return QIcon(QStringLiteral(":/ui/images/salvar.png"));
        case ButtonImage::Download:
            return QIcon(QStringLiteral(":/ui/images/download.png"));
        case ButtonImage::Cancel:
            return QIcon(QStringLiteral(":/ui/images/cancelar.png"));
    }
    return {};
}

QIcon programIcon() {
    return QIcon(QStringLiteral(":/ui/images/tessaly-48.png"));
}

}  // namespace ui
