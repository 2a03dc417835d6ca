// Draws the program's own pictures and writes them as PNG files into the
// source tree: the skin's small images (in the skin's stored colours, which the
// program recolours), the button images and the program icon.
//
//   tessaly-draw-images <source folder>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Drawing = std::function<void(QPainter&)>;

QImage draw(int width, int height, const Drawing& drawing) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing(painter);
    return image;
}

// Drawn in a 16-unit square, scaled to the image's size.
QImage drawSquare(int size, const Drawing& drawing) {
    return draw(size, size, [&](QPainter& painter) {
        painter.scale(size / 16.0, size / 16.0);
        drawing(painter);
    });
}

void checkMark(QPainter& painter) {
    painter.setPen(QPen(QColor("#0B443C"), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({{1.2, 4.6}, {3.6, 7.2}, {7.8, 1.4}}));
}

void arrow(QPainter& painter, bool down) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor("#0B4036"));
    if (down)
        painter.drawPolygon(QPolygonF({{0, 0}, {7, 0}, {3.5, 4}}));
    else
        painter.drawPolygon(QPolygonF({{0, 4}, {7, 4}, {3.5, 0}}));
}

// A diskette: the save button's picture.
void diskette(QPainter& painter) {
    QPainterPath body;
    body.moveTo(1.5, 1.5);
    body.lineTo(12.5, 1.5);
    body.lineTo(14.5, 3.5);
    body.lineTo(14.5, 14.5);
    body.lineTo(1.5, 14.5);
    body.closeSubpath();
    painter.setPen(QPen(QColor("#2F3526"), 1));
    painter.setBrush(QColor("#5C6B45"));
    painter.drawPath(body);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor("#DCE0D0"));
    painter.drawRect(QRectF(4, 2, 7.5, 4.5));
    painter.setBrush(QColor("#5C6B45"));
    painter.drawRect(QRectF(8.8, 2.7, 1.8, 3));
    painter.setBrush(QColor("#FFFFFF"));
    painter.drawRoundedRect(QRectF(3.5, 8.5, 9, 5), 0.8, 0.8);
    painter.setPen(QPen(QColor("#EE9515"), 1));
    painter.drawLine(QPointF(5, 10.5), QPointF(11, 10.5));
    painter.drawLine(QPointF(5, 12.3), QPointF(9.5, 12.3));
}

// An arrow going down into a tray.
void downloadArrow(QPainter& painter) {
    painter.setPen(QPen(QColor("#2F3526"), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor("#5E8F2F"));
    painter.drawPolygon(
        QPolygonF({{6, 1.5}, {10, 1.5}, {10, 6.5}, {13, 6.5}, {8, 11.5}, {3, 6.5}, {6, 6.5}}));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor("#59604A"), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({{1.5, 11}, {1.5, 14.5}, {14.5, 14.5}, {14.5, 11}}));
}

// A red disc with a white cross.
void cancelCross(QPainter& painter) {
    painter.setPen(QPen(QColor("#7A1E14"), 1));
    painter.setBrush(QColor("#C8412F"));
    painter.drawEllipse(QPointF(8, 8), 6.8, 6.8);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
    painter.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
}

// An olive tile with a block drawn in white lines: an isometric box with a
// dimension line, the kind of drawing the library holds.
void programIcon(QPainter& painter) {
    QLinearGradient fill(0, 0, 0, 16);
    fill.setColorAt(0, QColor(175, 192, 130));
    fill.setColorAt(1, QColor(99, 122, 68));
    painter.setPen(QPen(QColor(64, 84, 56), 0.4));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(0.6, 0.6, 14.8, 14.8), 2.6, 2.6);
    const QPointF top(8, 3.2), left(3.4, 5.6), right(12.6, 5.6), centre(8, 8);
    const QPointF bottom(8, 13.4), bottomLeft(3.4, 11), bottomRight(12.6, 11);
    painter.setBrush(QColor(255, 255, 255, 60));
    painter.setPen(QPen(Qt::white, 0.75, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolygon(QPolygonF({top, right, centre, left}));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({left, bottomLeft, bottom, bottomRight, right}));
    painter.drawLine(centre, bottom);
    painter.setPen(QPen(QColor(238, 149, 21), 0.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(2, 6.4), QPointF(2, 10.2));
    painter.drawLine(QPointF(1.5, 6.4), QPointF(2.5, 6.4));
    painter.drawLine(QPointF(1.5, 10.2), QPointF(2.5, 10.2));
    painter.setBrush(QColor(238, 149, 21));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(top, 0.7, 0.7);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "uso: tessaly-draw-images <pasta dos fontes>\n");
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));
    struct Image {
        std::string path;
        QImage image;
    };
    std::vector<Image> images = {
        {"ui/skin/check.png", draw(9, 9, checkMark)},
        {"ui/skin/arrow-down.png", draw(7, 4, [](QPainter& p) { arrow(p, true); })},
        {"ui/skin/arrow-up.png", draw(7, 4, [](QPainter& p) { arrow(p, false); })},
        {"ui/images/salvar.png", drawSquare(24, diskette)},
        {"ui/images/download.png", drawSquare(16, downloadArrow)},
        {"ui/images/cancelar.png", drawSquare(16, cancelCross)},
        // Twice as fine, for scaled screens (Qt takes name@2x.png there).
        {"ui/images/salvar@2x.png", drawSquare(48, diskette)},
        {"ui/images/download@2x.png", drawSquare(32, downloadArrow)},
        {"ui/images/cancelar@2x.png", drawSquare(32, cancelCross)},
        {"dist/tessaly.png", drawSquare(256, programIcon)},
        {"ui/images/tessaly-48.png", drawSquare(48, programIcon)},
    };
    // The desktop's icon theme, at the sizes launchers and file managers ask for.
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256})
        images.push_back({"dist/linux/icons/" + std::to_string(side) + "/tessaly.png",
                          drawSquare(side, programIcon)});
    for (const auto& [path, image] : images) {
        const QString file = source.filePath(QString::fromStdString(path));
        QDir().mkpath(QFileInfo(file).path());
        if (!image.save(file)) {
            std::fprintf(stderr, "não foi possível gravar %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
