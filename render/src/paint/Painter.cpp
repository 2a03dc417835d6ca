#include <render/Painter.h>
#include <render/Raster.h>
#include <render/Trace.h>

#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <vector>

namespace render {
namespace {

class QtSink final : public DeviceSink {
  public:
    QtSink(QPainter& painter, const QColor& background)
        : painter_(painter), background_(background) {
        foreground_ = background.lightnessF() > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
    }

    void polyline(const Colour& colour, std::span<const Vec2> points,
                  std::span<const double>) override {
        usePen(colour);
        convert(points);
        painter_.drawPolyline(buffer_.data(), static_cast<int>(buffer_.size()));
    }

    void polygon(const Colour& colour, std::span<const Vec2> points, std::span<const double>,
                 std::span<const std::uint32_t> ringSizes, bool nonZero) override {
        useBrush(colour);
        convert(points);
        const Qt::FillRule rule = nonZero ? Qt::WindingFill : Qt::OddEvenFill;
        if (ringSizes.size() == 1) {
            painter_.drawPolygon(buffer_.data(), static_cast<int>(buffer_.size()), rule);
            return;
        }
        QPainterPath path;
        path.setFillRule(rule);
        std::size_t at = 0;
        for (const std::uint32_t size : ringSizes) {
            path.addPolygon(QPolygonF(
                QList<QPointF>(buffer_.begin() + static_cast<std::ptrdiff_t>(at),
                               buffer_.begin() + static_cast<std::ptrdiff_t>(at + size))));
            path.closeSubpath();
            at += size;
        }
        painter_.drawPath(path);
    }

    void dot(const Colour& colour, Vec2 point, double) override {
        // A whole pixel, so that a lone point is never lost to antialiasing.
        useBrush(colour);
        painter_.drawRect(QRectF(std::floor(point.x), std::floor(point.y), 1, 1));
    }

  private:
    QColor qtColour(const Colour& colour) const {
        switch (colour.kind) {
            case Colour::Kind::Rgb:
                return QColor::fromRgb(static_cast<QRgb>(colour.rgb));
            case Colour::Kind::Foreground:
                return foreground_;
            case Colour::Kind::Background:
                return background_;
        }
        return foreground_;
    }
    void usePen(const Colour& colour) {
        if (mode_ == Mode::Pen && colour == current_) return;
        QPen pen(qtColour(colour), 1.0);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter_.setPen(pen);
        painter_.setBrush(Qt::NoBrush);
        mode_ = Mode::Pen;
        current_ = colour;
    }
    void useBrush(const Colour& colour) {
        if (mode_ == Mode::Brush && colour == current_) return;
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(qtColour(colour));
        mode_ = Mode::Brush;
        current_ = colour;
    }
    void convert(std::span<const Vec2> points) {
        buffer_.resize(points.size());
        for (std::size_t i = 0; i < points.size(); ++i)
            buffer_[i] = QPointF(points[i].x, points[i].y);
    }

    enum class Mode { None, Pen, Brush };
    QPainter& painter_;
    QColor background_;
    QColor foreground_;
    Mode mode_ = Mode::None;
    Colour current_;
    std::vector<QPointF> buffer_;
};

}  // namespace

void paint(QPainter& painter, const DisplayList& list, const View& view, const QColor& background,
           VisualStyle style, const std::atomic<bool>* cancel) {
    painter.save();
    painter.fillRect(QRectF(0, 0, view.width, view.height), background);
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1;
    if (style != VisualStyle::Wireframe && !list.surfaces.empty()) {
        // Drawn at the device's own pixels, lines as wide as the painter's.
        View device = view;
        device.scale *= ratio;
        device.width *= ratio;
        device.height *= ratio;
        RasterOptions options;
        options.style = style;
        options.background = background.rgb() & 0xFFFFFF;
        options.lineWidth = ratio;
        options.cancel = cancel;
        const Picture picture = rasterise(list, device, options);
        if (!picture.pixels.empty()) {
            const QImage image(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width,
                               picture.height, picture.width * 4, QImage::Format_RGB32);
            painter.drawImage(QRectF(0, 0, picture.width / ratio, picture.height / ratio), image);
        }
        painter.restore();
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    QtSink sink(painter, background);
    TraceOptions options;
    options.pixelRatio = ratio;
    traceView(list, view, sink, options);
    painter.restore();
}

void paintPaneBorders(QPainter& painter, const std::vector<SavedPane>& panes) {
    if (panes.size() < 2) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(160, 160, 160), 0));
    painter.setBrush(Qt::NoBrush);
    for (const SavedPane& pane : panes)
        painter.drawRect(QRectF(pane.left, pane.top, pane.width - 1, pane.height - 1));
    painter.restore();
}

QImage renderImage(const DisplayList& list, QSize size, const QColor& background, double margin,
                   VisualStyle style) {
    QImage image(size, QImage::Format_RGB32);  // paint() fills it
    QPainter painter(&image);
    paint(painter, list, View::fit(list.extents, size.width(), size.height(), margin), background,
          style);
    return image;
}

}  // namespace render
