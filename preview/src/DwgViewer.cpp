#include "preview/DwgViewer.h"

#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Painter.h>

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>
#include <new>

namespace preview {

namespace {

const QColor kBackground = Qt::white;
const QColor kFailureText(90, 90, 90);

render::Vec2 vec(QPointF point) {
    return {point.x(), point.y()};
}

}  // namespace

DwgViewer::DwgViewer(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::OpenHandCursor);
}

void DwgViewer::ShowLayoutBar(bool) {}

void DwgViewer::ShowToobar(bool) {}

void DwgViewer::OpenZoomextend(bool zoomToExtents) {
    zoomExtentsOnOpen_ = zoomToExtents;
}

void DwgViewer::EnableContextMenu(bool enable) {
    ownContextMenu_ = enable;
}

void DwgViewer::setPopupMenu(QMenu* menu) {
    popupMenu_ = menu;
}

void DwgViewer::OpenDrawing(const std::filesystem::path& file) {
    const bool hadDrawing = !list_.empty();
    QString failure;
    try {
        drawing_ = std::make_shared<const dwg::Drawing>(dwg::read(file));
        savedProjection_ = render::savedProjection(*drawing_);
        if (zoomExtentsOnOpen_ || !hadDrawing) projection_ = savedProjection_;
        rebuild();
    } catch (const std::bad_alloc&) {
        failure = QStringLiteral("memória insuficiente");
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
    }
    if (failure.isEmpty()) {
        failure_.clear();
    } else {
        drawing_.reset();
        list_ = {};
        failure_ = QStringLiteral("Não foi possível ler o desenho: ") + failure;
    }
    if (zoomExtentsOnOpen_ || !hadDrawing)
        zoomToExtents();
    else
        view_ = view_.resized(width(), height());
    // Shown before the call returns, as the preview expects.
    if (isVisible()) repaint();
}

void DwgViewer::zoomToExtents() {
    view_ = render::View::fit(list_.extents, width(), height(), kMargin);
    showsExtents_ = true;
    update();
}

void DwgViewer::rebuild() {
    render::BuildOptions options;
    options.projection = projection_;
    list_ = drawing_ ? render::buildModelSpace(*drawing_, options) : render::DisplayList{};
}

void DwgViewer::setProjection(const render::Projection& projection) {
    projection_ = projection;
    rebuild();
    zoomToExtents();
}

// The model turns under the drag at the scale it is shown, its middle kept
// in the middle of the view.
void DwgViewer::orbitBy(QPointF delta) {
    projection_ =
        projection_.orbited(-delta.x() * kOrbitRadiansPerPixel, delta.y() * kOrbitRadiansPerPixel);
    rebuild();
    render::View turned = view_;
    if (!list_.extents.empty()) turned.centre = list_.extents.centre();
    setView(turned);
}

void DwgViewer::setView(const render::View& view) {
    view_ = view;
    showsExtents_ = false;
    update();
}

void DwgViewer::zoomAbout(QPointF point, double factor) {
    setView(view_.zoomedAbout(vec(point), factor));
}

void DwgViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (failure_.isEmpty()) {
        render::paint(painter, list_, view_, kBackground);
        return;
    }
    painter.fillRect(rect(), kBackground);
    painter.setPen(kFailureText);
    painter.drawText(rect().adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap,
                     failure_);
}

void DwgViewer::resizeEvent(QResizeEvent*) {
    if (showsExtents_)
        zoomToExtents();
    else
        view_ = view_.resized(width(), height());
}

void DwgViewer::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) return;
    zoomAbout(event->position(), std::pow(kWheelStep, steps));
    event->accept();
}

void DwgViewer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton && event->button() != Qt::MiddleButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragFrom_ = event->position();
    orbiting_ = event->modifiers() & Qt::ShiftModifier;
    setCursor(orbiting_ ? Qt::SizeAllCursor : Qt::ClosedHandCursor);
}

void DwgViewer::mouseMoveEvent(QMouseEvent* event) {
    if (!dragFrom_) return;
    const QPointF delta = event->position() - *dragFrom_;
    dragFrom_ = event->position();
    if (orbiting_)
        orbitBy(delta);
    else
        setView(view_.pannedBy(vec(delta)));
}

void DwgViewer::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragFrom_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragFrom_.reset();
    setCursor(Qt::OpenHandCursor);
}

void DwgViewer::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) zoomToExtents();
}

void DwgViewer::keyPressEvent(QKeyEvent* event) {
    const QPointF middle(width() / 2.0, height() / 2.0);
    const double panStep = std::max(width(), height()) / 8.0;
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomAbout(middle, kWheelStep);
            break;
        case Qt::Key_Minus:
            zoomAbout(middle, 1 / kWheelStep);
            break;
        case Qt::Key_Home:
            setProjection(savedProjection_);
            break;
        case Qt::Key_T:
            setProjection(render::Projection::top());
            break;
        case Qt::Key_F:
            setProjection(render::Projection::front());
            break;
        case Qt::Key_D:
            setProjection(render::Projection::right());
            break;
        case Qt::Key_1:
            setProjection(render::Projection::southWest());
            break;
        case Qt::Key_2:
            setProjection(render::Projection::southEast());
            break;
        case Qt::Key_3:
            setProjection(render::Projection::northEast());
            break;
        case Qt::Key_4:
            setProjection(render::Projection::northWest());
            break;
        // The drawing moves the way the arrow points.
        case Qt::Key_Left:
            setView(view_.pannedBy({-panStep, 0}));
            break;
        case Qt::Key_Right:
            setView(view_.pannedBy({panStep, 0}));
            break;
        case Qt::Key_Up:
            setView(view_.pannedBy({0, -panStep}));
            break;
        case Qt::Key_Down:
            setView(view_.pannedBy({0, panStep}));
            break;
        default:
            // Enter and the rest belong to the window (its default button).
            QWidget::keyPressEvent(event);
    }
}

void DwgViewer::contextMenuEvent(QContextMenuEvent* event) {
    if (popupMenu_) {
        if (!popupMenu_->isEmpty()) popupMenu_->popup(event->globalPos());
        return;
    }
    if (!ownContextMenu_) return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("Desenho inteiro"), this, &DwgViewer::zoomToExtents);
    const QPointF at = event->pos();
    menu.addAction(QStringLiteral("Aproximar"), this, [this, at] { zoomAbout(at, 2); });
    menu.addAction(QStringLiteral("Afastar"), this, [this, at] { zoomAbout(at, 0.5); });
    menu.exec(event->globalPos());
}

}  // namespace preview
