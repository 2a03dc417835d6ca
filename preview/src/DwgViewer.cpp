#include "preview/DwgViewer.h"

#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Painter.h>

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "preview/StatusLine.h"

namespace preview {

namespace {

const QColor kBackground = Qt::white;
const QColor kFailureText(90, 90, 90);
const QColor kActivePaneFrame(70, 110, 170);
const auto kEmptyList = std::make_shared<const render::DisplayList>();

render::Vec2 vec(QPointF point) {
    return {point.x(), point.y()};
}

}  // namespace

DwgViewer::DwgViewer(QWidget* parent) : QWidget(parent), panes_(1) {
    panes_[0].list = kEmptyList;
    panes_[0].id = ++generations_;
    panes_[0].generation = ++generations_;
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

DwgViewer::~DwgViewer() {
    cancelBuilds();
    for (Worker& worker : workers_) worker.thread.join();
}

void DwgViewer::runWorker(std::function<void()> job) {
    // Threads that are done are joined here, so that they never pile up.
    std::erase_if(workers_, [](Worker& worker) {
        if (!*worker.finished) return false;
        worker.thread.join();
        return true;
    });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({std::thread([job = std::move(job), finished] {
                            job();
                            *finished = true;
                        }),
                        finished});
}

void DwgViewer::cancelBuilds() {
    if (cancelOpen_) *cancelOpen_ = true;
    for (Pane& pane : panes_)
        if (pane.cancelBuild) *pane.cancelBuild = true;
}

void DwgViewer::OpenDrawing(const std::filesystem::path& file) {
    cancelBuilds();
    const std::uint64_t generation = ++openGeneration_;
    // Only the bytes are read here, since the caller may delete the file;
    // parsing a large drawing takes longer than the window may wait.
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    QString failure;
    try {
        *bytes = dwg::readFileBytes(file);
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
    }
    for (const Pane& pane : panes_) lastHadDrawing_ = lastHadDrawing_ || !pane.list->empty();
    // A drawing in one pane may open in the view the last one was left in.
    const bool keepView = !zoomExtentsOnOpen_ && lastHadDrawing_ && panes_.size() == 1;
    const Pane kept = current();
    panes_.assign(1, Pane{});
    current_ = 0;
    panes_[0].list = kEmptyList;
    panes_[0].id = ++generations_;
    panes_[0].generation = ++generations_;
    panes_[0].projection = kept.projection;
    panes_[0].style = kept.style;
    panes_[0].view = kept.view;
    panes_[0].showsExtents = kept.showsExtents;
    failure_.clear();
    drawing_.reset();
    solids_.reset();
    layOutPanes();
    if (!failure.isEmpty()) {
        showOpened(generation, nullptr, nullptr, {}, failure, false);
        return;
    }
    opening_ = true;
    update();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancelOpen_ = cancel;
    // The view it opens in comes from the drawing itself, so it is chosen once
    // the drawing is parsed, on the worker too.
    runWorker([this, bytes, cancel, generation, keepView, keptProjection = kept.projection,
               width = width(), height = height()] {
        std::shared_ptr<const dwg::Drawing> drawing;
        auto solids = std::make_shared<render::SolidCache>();
        std::vector<BuiltPane> built;
        QString failure;
        try {
            drawing = std::make_shared<const dwg::Drawing>(
                dwg::read(std::span<const std::uint8_t>(*bytes)));
            bytes->clear();
            bytes->shrink_to_fit();
            for (const render::SavedPane& layout : render::savedPanes(*drawing, width, height)) {
                if (*cancel) return;
                BuiltPane pane{layout, layout.projection, layout.style, nullptr};
                if (keepView) pane.projection = keptProjection;
                // Panes looking the same way share one list.
                for (const BuiltPane& other : built)
                    if (other.projection == pane.projection) pane.list = other.list;
                if (!pane.list) {
                    render::BuildOptions options;
                    options.cancel = cancel.get();
                    options.solids = solids.get();
                    options.projection = pane.projection;
                    pane.list = std::make_shared<const render::DisplayList>(
                        render::buildModelSpace(*drawing, options));
                }
                built.push_back(std::move(pane));
            }
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("memória insuficiente");
        } catch (const std::exception& error) {
            failure = QString::fromStdString(error.what());
        }
        if (*cancel) return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, drawing, solids, built = std::move(built), failure,
             keepView]() mutable {
                showOpened(generation, drawing, solids, std::move(built), failure, keepView);
            },
            Qt::QueuedConnection);
    });
}

void DwgViewer::showOpened(std::uint64_t generation, std::shared_ptr<const dwg::Drawing> drawing,
                           std::shared_ptr<render::SolidCache> solids, std::vector<BuiltPane> built,
                           const QString& failure, bool keepView) {
    if (generation != openGeneration_) return;  // a newer drawing was opened meanwhile
    opening_ = false;
    const Pane kept = current();
    if (drawing && failure.isEmpty() && !built.empty()) {
        drawing_ = std::move(drawing);
        solids_ = std::move(solids);
        panes_.clear();
        for (BuiltPane& b : built) {
            Pane pane;
            pane.layout = b.layout;
            pane.savedProjection = b.layout.projection;
            pane.savedStyle = b.layout.style;
            pane.projection = b.projection;
            pane.style = keepView ? kept.style : b.layout.style;
            pane.list = std::move(b.list);
            pane.id = ++generations_;
            pane.generation = ++generations_;
            pane.view = kept.view;
            pane.showsExtents = kept.showsExtents;
            panes_.push_back(std::move(pane));
        }
        current_ = 0;  // the pane that was current when the drawing was saved
    } else {
        panes_.assign(1, kept);
        panes_[0].list = kEmptyList;
        failure_ = QStringLiteral("Não foi possível ler o desenho: ") + failure;
    }
    layOutPanes();
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        Pane& pane = panes_[i];
        ++pane.listSerial;
        if (zoomExtentsOnOpen_ || !lastHadDrawing_)
            zoomPaneToExtents(i);
        else
            pane.view = pane.view.resized(pane.layout.width, pane.layout.height);
        // Facets made to the builder's own measure suit the first view.
        pane.facetScale = pane.view.scale;
    }
    lastHadDrawing_ = false;
    update();
    emit drawingShown();
    for (std::size_t i = 0; i < panes_.size(); ++i) refineIfCoarse(i);
}

double DwgViewer::facetTolerance(const Pane& pane) const {
    const double scale = pane.view.scale;
    return scale > 0 && std::isfinite(scale) ? kFacetPixels / scale : 0;
}

// Builds the list of drawing_ from the pane's projection for its generation.
void DwgViewer::startBuild(std::size_t index, Refit refit, double tolerance) {
    Pane& pane = panes_[index];
    if (refit == Refit::KeepView)
        pane.refining = true;
    else
        pane.building = true;
    update();
    if (pane.cancelBuild) *pane.cancelBuild = true;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    pane.cancelBuild = cancel;
    runWorker([this, drawing = drawing_, solids = solids_, projection = pane.projection, cancel,
               index, generation = pane.generation, refit, tolerance] {
        render::BuildOptions options;
        options.cancel = cancel.get();
        options.solids = solids.get();
        options.projection = projection;
        options.surfaceTolerance = tolerance;
        std::shared_ptr<const render::DisplayList> list;
        QString failure;
        try {
            list = std::make_shared<const render::DisplayList>(
                render::buildModelSpace(*drawing, options));
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("memória insuficiente");
        }
        if (*cancel) return;
        QMetaObject::invokeMethod(
            this,
            [this, index, generation, list, failure, refit, tolerance] {
                showBuilt(index, generation, list, failure, refit, tolerance);
            },
            Qt::QueuedConnection);
    });
}

void DwgViewer::setProjection(const render::Projection& projection) {
    Pane& pane = current();
    if (projection == pane.projection) {
        zoomToExtents();
        return;
    }
    pane.projection = projection;
    if (!drawing_) return;
    pane.generation = ++generations_;
    pane.refining = false;
    startBuild(current_, Refit::Whole, facetTolerance(pane));
}

void DwgViewer::setVisualStyle(render::VisualStyle style) {
    current().style = style;
    update();  // paints the new look; the list stays
}

// The model turns under the drag; the new list keeps the scale.
void DwgViewer::orbitBy(std::size_t index, QPointF delta) {
    Pane& pane = panes_[index];
    pane.projection = pane.projection.orbited(-delta.x() * kOrbitRadiansPerPixel,
                                              delta.y() * kOrbitRadiansPerPixel);
    if (!drawing_) return;
    pane.generation = ++generations_;
    pane.refining = false;
    startBuild(index, Refit::KeepScale, facetTolerance(pane));
}

void DwgViewer::refineIfCoarse(std::size_t index) {
    const Pane& pane = panes_[index];
    if (!drawing_ || opening_ || pane.building || pane.refining || pane.list->surfaces.empty() ||
        !(pane.facetScale > 0))
        return;
    if (pane.view.scale <= kRefineFactor * pane.facetScale) return;
    startBuild(index, Refit::KeepView, facetTolerance(pane));
}

void DwgViewer::showBuilt(std::size_t index, std::uint64_t generation,
                          std::shared_ptr<const render::DisplayList> list, const QString& failure,
                          Refit refit, double tolerance) {
    // A newer drawing or direction came meanwhile.
    if (index >= panes_.size() || panes_[index].generation != generation) return;
    Pane& pane = panes_[index];
    if (refit == Refit::KeepView) {
        pane.refining = false;
        if (!failure.isEmpty() || !list) return;  // the coarser list stays
    }
    pane.building = false;
    if (failure.isEmpty() && list) {
        pane.list = std::move(list);
    } else {
        pane.list = kEmptyList;
        failure_ = QStringLiteral("Não foi possível ler o desenho: ") + failure;
    }
    ++pane.listSerial;
    switch (refit) {
        case Refit::Open:
        case Refit::Whole:
            zoomPaneToExtents(index);
            break;
        case Refit::KeepScale:
            pane.view = pane.view.resized(pane.layout.width, pane.layout.height);
            if (!pane.list->extents.empty()) pane.view.centre = pane.list->extents.centre();
            pane.showsExtents = false;
            update();
            break;
        case Refit::KeepView:
            update();
            break;
    }
    // Facets made to the builder's own measure suit the first view of the
    // drawing; those made for a zoom, that zoom.
    pane.facetScale = tolerance > 0 ? kFacetPixels / tolerance : pane.view.scale;
    refineIfCoarse(index);
}

QString DwgViewer::noticeText() const {
    return statusLine(current().list->report);
}

void DwgViewer::zoomToExtents() {
    zoomPaneToExtents(current_);
}

void DwgViewer::zoomPaneToExtents(std::size_t index) {
    Pane& pane = panes_[index];
    pane.view =
        render::View::fit(pane.list->extents, pane.layout.width, pane.layout.height, kMargin);
    pane.showsExtents = true;
    update();
}

void DwgViewer::setView(std::size_t index, const render::View& view) {
    Pane& pane = panes_[index];
    pane.view = view;
    pane.showsExtents = false;
    update();
    refineIfCoarse(index);
}

void DwgViewer::zoomAbout(std::size_t index, QPointF point, double factor) {
    setView(index, panes_[index].view.zoomedAbout(vec(inPane(index, point)), factor));
}

void DwgViewer::layOutPanes() {
    if (drawing_) {
        const std::vector<render::SavedPane> layout =
            render::savedPanes(*drawing_, width(), height());
        for (std::size_t i = 0; i < panes_.size() && i < layout.size(); ++i)
            panes_[i].layout = layout[i];
    } else {
        panes_.front().layout.left = panes_.front().layout.top = 0;
        panes_.front().layout.width = width();
        panes_.front().layout.height = height();
    }
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        Pane& pane = panes_[i];
        if (pane.showsExtents)
            pane.view = render::View::fit(pane.list->extents, pane.layout.width, pane.layout.height,
                                          kMargin);
        else
            pane.view = pane.view.resized(pane.layout.width, pane.layout.height);
    }
}

std::size_t DwgViewer::paneAt(QPointF point) const {
    for (std::size_t i = 0; i < panes_.size(); ++i)
        if (panes_[i].layout.contains(vec(point))) return i;
    return current_;
}

QPointF DwgViewer::inPane(std::size_t index, QPointF point) const {
    return point - QPointF(panes_[index].layout.left, panes_[index].layout.top);
}

QRectF DwgViewer::paneRect(std::size_t index) const {
    const render::SavedPane& layout = panes_.at(index).layout;
    return QRectF(layout.left, layout.top, layout.width, layout.height);
}

namespace {

bool sameView(const render::View& a, const render::View& b) {
    return a.centre.x == b.centre.x && a.centre.y == b.centre.y && a.scale == b.scale &&
           a.width == b.width && a.height == b.height;
}

}  // namespace

bool DwgViewer::isBuilding() const {
    return opening_ ||
           std::any_of(panes_.begin(), panes_.end(), [](const Pane& p) { return p.building; });
}

bool DwgViewer::paneIsCurrent(const Pane& pane) const {
    if (pane.building) return false;
    if (pane.layout.empty()) return true;
    return !pane.picture.isNull() && pane.pictureKey.generation == pane.generation &&
           pane.pictureKey.listSerial == pane.listSerial && pane.pictureKey.style == pane.style &&
           sameView(pane.pictureKey.view, pane.view);
}

bool DwgViewer::pictureIsCurrent() const {
    if (opening_) return false;
    if (!failure_.isEmpty()) return true;
    return std::all_of(panes_.begin(), panes_.end(),
                       [this](const Pane& p) { return paneIsCurrent(p); });
}

void DwgViewer::requestPicture(std::size_t index) {
    Pane& pane = panes_[index];
    // While a list is built its predecessor is not painted again: it would
    // pass for the new one.
    if (pane.painting || pane.building || opening_ || pane.layout.empty() || paneIsCurrent(pane))
        return;
    pane.painting = true;
    const PictureKey key{pane.id, pane.generation, pane.listSerial, pane.style, pane.view};
    const double ratio = devicePixelRatioF();
    runWorker([this, index, list = pane.list, key, ratio] {
        QImage image(static_cast<int>(std::ceil(key.view.width * ratio)),
                     static_cast<int>(std::ceil(key.view.height * ratio)), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        {
            QPainter painter(&image);
            render::paint(painter, *list, key.view, kBackground, key.style);
        }
        QMetaObject::invokeMethod(
            this, [this, index, key, image] { pictureDone(index, key, image); },
            Qt::QueuedConnection);
    });
}

void DwgViewer::pictureDone(std::size_t index, const PictureKey& key, const QImage& image) {
    if (index >= panes_.size() || panes_[index].id != key.pane)
        return;  // a pane of another drawing
    Pane& pane = panes_[index];
    pane.painting = false;
    if (key.generation == pane.generation) {
        pane.picture = image;
        pane.pictureKey = key;
        emit pictureShown();
    }
    update();  // shows it, or asks for the view the user has moved to since
}

void DwgViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setPen(kFailureText);
    if (!failure_.isEmpty()) {
        painter.drawText(rect().adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap,
                         failure_);
        return;
    }
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        const Pane& pane = panes_[i];
        if (pane.layout.empty()) continue;
        painter.save();
        painter.translate(pane.layout.left, pane.layout.top);
        painter.setClipRect(QRectF(0, 0, pane.layout.width, pane.layout.height));
        const render::View& shown = pane.pictureKey.view;
        if (!pane.picture.isNull() && pane.pictureKey.generation == pane.generation) {
            // The last picture moved and scaled to the view asked for.
            const double factor = pane.view.scale / shown.scale;
            const render::Vec2 topLeft = pane.view.toDevice(shown.toWorld({0, 0}));
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(
                QRectF(topLeft.x, topLeft.y, shown.width * factor, shown.height * factor),
                pane.picture);
        } else if (!pane.picture.isNull()) {
            // The pane turned to another direction: the last picture stays
            // as it was until the turned one is ready, rather than a blank.
            painter.drawImage(QRectF(0, 0, shown.width, shown.height), pane.picture);
        }
        painter.restore();
        requestPicture(i);
    }
    if (panes_.size() > 1) {
        std::vector<render::SavedPane> layout;
        for (const Pane& pane : panes_) layout.push_back(pane.layout);
        render::paintPaneBorders(painter, layout);
        // The current pane, which the keys act on, framed darker.
        const render::SavedPane& active = current().layout;
        painter.setPen(QPen(kActivePaneFrame, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(active.left, active.top, active.width - 1, active.height - 1));
        painter.setPen(kFailureText);
    }
    const QString notice = noticeText();
    if (!notice.isEmpty())
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignLeft | Qt::AlignBottom, notice);
}

void DwgViewer::resizeEvent(QResizeEvent*) {
    layOutPanes();
}

void DwgViewer::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) return;
    current_ = paneAt(event->position());
    zoomAbout(current_, event->position(), std::pow(kWheelStep, steps));
    event->accept();
}

void DwgViewer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton && event->button() != Qt::MiddleButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    current_ = dragPane_ = paneAt(event->position());
    dragFrom_ = event->position();
    orbiting_ = event->modifiers() & Qt::ShiftModifier;
    setCursor(orbiting_ ? Qt::SizeAllCursor : Qt::ClosedHandCursor);
    update();  // the current pane's frame
}

void DwgViewer::mouseMoveEvent(QMouseEvent* event) {
    if (!dragFrom_ || dragPane_ >= panes_.size()) return;
    const QPointF delta = event->position() - *dragFrom_;
    dragFrom_ = event->position();
    if (orbiting_)
        orbitBy(dragPane_, delta);
    else
        setView(dragPane_, panes_[dragPane_].view.pannedBy(vec(delta)));
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
    if (event->button() != Qt::LeftButton) return;
    current_ = paneAt(event->position());
    zoomToExtents();
}

void DwgViewer::keyPressEvent(QKeyEvent* event) {
    const render::SavedPane& layout = current().layout;
    const QPointF middle(layout.left + layout.width / 2.0, layout.top + layout.height / 2.0);
    const double panStep = std::max(layout.width, layout.height) / 8.0;
    const auto pan = [&](double dx, double dy) {
        setView(current_, current().view.pannedBy({dx, dy}));
    };
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomAbout(current_, middle, kWheelStep);
            break;
        case Qt::Key_Minus:
            zoomAbout(current_, middle, 1 / kWheelStep);
            break;
        case Qt::Key_Home:
            setProjection(current().savedProjection);
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
        case Qt::Key_W:
            setVisualStyle(render::VisualStyle::Wireframe);
            break;
        case Qt::Key_H:
            setVisualStyle(render::VisualStyle::Hidden);
            break;
        case Qt::Key_S:
            setVisualStyle(render::VisualStyle::Shaded);
            break;
        // The drawing moves the way the arrow points.
        case Qt::Key_Left:
            pan(-panStep, 0);
            break;
        case Qt::Key_Right:
            pan(panStep, 0);
            break;
        case Qt::Key_Up:
            pan(0, -panStep);
            break;
        case Qt::Key_Down:
            pan(0, panStep);
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
    const QPointF at = event->pos();
    const std::size_t pane = current_ = paneAt(at);
    QMenu menu(this);
    menu.addAction(QStringLiteral("Desenho inteiro"), this,
                   [this, pane] { zoomPaneToExtents(pane); });
    menu.addAction(QStringLiteral("Aproximar"), this, [this, pane, at] { zoomAbout(pane, at, 2); });
    menu.addAction(QStringLiteral("Afastar"), this, [this, pane, at] { zoomAbout(pane, at, 0.5); });
    menu.exec(event->globalPos());
}

}  // namespace preview
