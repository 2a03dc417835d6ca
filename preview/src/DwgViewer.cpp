#include "preview/DwgViewer.h"

#include <convert/BlockSize.h>
#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Painter.h>

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QStringList>
#include <QWheelEvent>
#include <cmath>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace preview {

namespace {

const QColor kBackground = Qt::white;
const QColor kFailureText(90, 90, 90);

render::Vec2 vec(QPointF point) {
    return {point.x(), point.y()};
}

}  // namespace

DwgViewer::DwgViewer(QWidget* parent)
    : QWidget(parent), list_(std::make_shared<const render::DisplayList>()) {
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
    if (cancelBuild_) *cancelBuild_ = true;
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

void DwgViewer::OpenDrawing(const std::filesystem::path& file) {
    if (cancelBuild_) *cancelBuild_ = true;
    const std::uint64_t generation = ++generation_;
    // Only the bytes are read here, since the caller may delete the file;
    // parsing a large drawing takes longer than the window may wait.
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    QString failure;
    try {
        *bytes = dwg::readFileBytes(file);
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
    }
    lastHadDrawing_ = lastHadDrawing_ || !list_->empty();
    list_ = std::make_shared<const render::DisplayList>();
    ++listSerial_;
    picture_ = {};
    failure_.clear();
    sizeText_.clear();
    drawing_.reset();
    solids_.reset();
    refining_ = false;
    if (!failure.isEmpty()) {
        showBuilt(generation, list_, failure, Refit::Open, 0);
        return;
    }
    building_ = true;
    update();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancelBuild_ = cancel;
    // The view it opens in comes from the drawing itself, so it is chosen once
    // the drawing is parsed, on the worker too.
    const bool keepView = !zoomExtentsOnOpen_ && lastHadDrawing_;
    const render::Projection keptProjection = projection_;
    const render::VisualStyle keptStyle = style_;
    runWorker([this, bytes, cancel, generation, keepView, keptProjection, keptStyle] {
        std::shared_ptr<const dwg::Drawing> drawing;
        auto solids = std::make_shared<render::SolidCache>();
        render::Projection saved;
        render::VisualStyle savedStyle = render::VisualStyle::Wireframe;
        std::shared_ptr<const render::DisplayList> list;
        std::optional<convert::BlockSize> size;
        QString failure;
        try {
            drawing = std::make_shared<const dwg::Drawing>(
                dwg::read(std::span<const std::uint8_t>(*bytes)));
            bytes->clear();
            bytes->shrink_to_fit();
            if (*cancel) return;
            saved = render::savedProjection(*drawing);
            savedStyle = render::savedVisualStyle(*drawing);
            render::BuildOptions options;
            options.cancel = cancel.get();
            options.solids = solids.get();
            options.projection = keepView ? keptProjection : saved;
            list = std::make_shared<const render::DisplayList>(
                render::buildModelSpace(*drawing, options));
            size = options.projection == render::Projection::top()
                       ? convert::blockSizeOfPlan(*list, drawing->header.insertionUnits)
                       : convert::blockSize(*drawing, solids.get(), cancel.get());
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("memória insuficiente");
        } catch (const std::exception& error) {
            failure = QString::fromStdString(error.what());
        }
        if (*cancel) return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, drawing, solids, saved, savedStyle, keepView, keptProjection,
             keptStyle, list, size, failure] {
                if (generation != generation_) return;
                sizeText_ = size ? QStringLiteral("Tamanho: ") +
                                       QString::fromStdString(convert::blockSizeText(*size))
                                 : QString();
                if (drawing && failure.isEmpty()) {
                    drawing_ = drawing;
                    solids_ = solids;
                    savedProjection_ = saved;
                    savedStyle_ = savedStyle;
                    projection_ = keepView ? keptProjection : saved;
                    style_ = keepView ? keptStyle : savedStyle;
                }
                showBuilt(generation, list, failure, Refit::Open, 0);
            },
            Qt::QueuedConnection);
    });
}

double DwgViewer::facetTolerance() const {
    return view_.scale > 0 && std::isfinite(view_.scale) ? kFacetPixels / view_.scale : 0;
}

// Builds the list of drawing_ from projection_ for the current generation.
void DwgViewer::startBuild(Refit refit, double tolerance) {
    if (refit == Refit::KeepView)
        refining_ = true;
    else
        building_ = true;
    update();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancelBuild_ = cancel;
    runWorker([this, drawing = drawing_, solids = solids_, projection = projection_, cancel,
               generation = generation_, refit, tolerance] {
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
            [this, generation, list, failure, refit, tolerance] {
                showBuilt(generation, list, failure, refit, tolerance);
            },
            Qt::QueuedConnection);
    });
}

void DwgViewer::setProjection(const render::Projection& projection) {
    if (projection == projection_) {
        zoomToExtents();
        return;
    }
    projection_ = projection;
    if (!drawing_) return;
    if (cancelBuild_) *cancelBuild_ = true;
    ++generation_;
    refining_ = false;
    startBuild(Refit::Whole, facetTolerance());
}

void DwgViewer::setVisualStyle(render::VisualStyle style) {
    style_ = style;
    update();  // paints the new look; the list stays
}

// The model turns under the drag; the new list keeps the scale.
void DwgViewer::orbitBy(QPointF delta) {
    projection_ =
        projection_.orbited(-delta.x() * kOrbitRadiansPerPixel, delta.y() * kOrbitRadiansPerPixel);
    if (!drawing_) return;
    if (cancelBuild_) *cancelBuild_ = true;
    ++generation_;
    refining_ = false;
    startBuild(Refit::KeepScale, facetTolerance());
}

void DwgViewer::refineIfCoarse() {
    if (!drawing_ || building_ || refining_ || list_->surfaces.empty() || !(facetScale_ > 0))
        return;
    if (view_.scale <= kRefineFactor * facetScale_) return;
    if (cancelBuild_) *cancelBuild_ = true;
    startBuild(Refit::KeepView, facetTolerance());
}

void DwgViewer::showBuilt(std::uint64_t generation, std::shared_ptr<const render::DisplayList> list,
                          const QString& failure, Refit refit, double tolerance) {
    if (generation != generation_) return;  // a newer drawing was opened meanwhile
    if (refit == Refit::KeepView) {
        refining_ = false;
        if (!failure.isEmpty() || !list) return;  // the coarser list stays
    }
    building_ = false;
    if (failure.isEmpty() && list) {
        list_ = std::move(list);
        failure_.clear();
    } else {
        list_ = std::make_shared<const render::DisplayList>();
        failure_ = QStringLiteral("Não foi possível ler o desenho: ") + failure;
    }
    ++listSerial_;
    switch (refit) {
        case Refit::Open:
            if (zoomExtentsOnOpen_ || !lastHadDrawing_)
                zoomToExtents();
            else
                view_ = view_.resized(width(), height());
            lastHadDrawing_ = false;
            update();
            emit drawingShown();
            break;
        case Refit::Whole:
            zoomToExtents();
            break;
        case Refit::KeepScale:
            view_ = view_.resized(width(), height());
            if (!list_->extents.empty()) view_.centre = list_->extents.centre();
            showsExtents_ = false;
            update();
            break;
        case Refit::KeepView:
            update();
            break;
    }
    // Facets made to the builder's own measure suit the first view of the
    // drawing; those made for a zoom, that zoom.
    facetScale_ = tolerance > 0 ? kFacetPixels / tolerance : view_.scale;
    refineIfCoarse();
}

QString DwgViewer::noticeText() const {
    const render::BuildReport& report = list_->report;
    QStringList lines;
    if (report.simplified())
        lines << QString::fromUtf8(render::kSimplifiedNotice.data(),
                                   static_cast<qsizetype>(render::kSimplifiedNotice.size()));
    else if (report.surfacesFailed > 0 && !report.surfaceErrors.empty())
        lines << QString::fromUtf8(render::kFacesLeftOutNotice.data(),
                                   static_cast<qsizetype>(render::kFacesLeftOutNotice.size())) +
                     QString::fromStdString(report.surfaceErrors.front());
    // The block's units and size, as the CAD program will insert it.
    if (!sizeText_.isEmpty()) lines << sizeText_;
    return lines.join(QLatin1Char('\n'));
}

void DwgViewer::zoomToExtents() {
    view_ = render::View::fit(list_->extents, width(), height(), kMargin);
    showsExtents_ = true;
    update();
}

void DwgViewer::setView(const render::View& view) {
    view_ = view;
    showsExtents_ = false;
    update();
    refineIfCoarse();
}

void DwgViewer::zoomAbout(QPointF point, double factor) {
    setView(view_.zoomedAbout(vec(point), factor));
}

namespace {

bool sameView(const render::View& a, const render::View& b) {
    return a.centre.x == b.centre.x && a.centre.y == b.centre.y && a.scale == b.scale &&
           a.width == b.width && a.height == b.height;
}

}  // namespace

bool DwgViewer::pictureIsCurrent() const {
    if (building_) return false;
    if (!failure_.isEmpty()) return true;
    return !picture_.isNull() && pictureKey_.generation == generation_ &&
           pictureKey_.listSerial == listSerial_ && pictureKey_.style == style_ &&
           sameView(pictureKey_.view, view_);
}

void DwgViewer::requestPicture() {
    // While a list is built its predecessor is not painted again: it would
    // pass for the new one.
    if (painting_ || building_ || width() <= 0 || height() <= 0 || pictureIsCurrent()) return;
    painting_ = true;
    const PictureKey key{generation_, listSerial_, style_, view_};
    const double ratio = devicePixelRatioF();
    runWorker([this, list = list_, key, ratio] {
        QImage image(static_cast<int>(std::ceil(key.view.width * ratio)),
                     static_cast<int>(std::ceil(key.view.height * ratio)), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        {
            QPainter painter(&image);
            render::paint(painter, *list, key.view, kBackground, key.style);
        }
        QMetaObject::invokeMethod(
            this, [this, key, image] { pictureDone(key, image); }, Qt::QueuedConnection);
    });
}

void DwgViewer::pictureDone(const PictureKey& key, const QImage& image) {
    painting_ = false;
    if (key.generation == generation_) {
        picture_ = image;
        pictureKey_ = key;
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
    const render::View& shown = pictureKey_.view;
    if (!picture_.isNull() && pictureKey_.generation == generation_) {
        // The last picture moved and scaled to the view asked for.
        const double factor = view_.scale / shown.scale;
        const render::Vec2 topLeft = view_.toDevice(shown.toWorld({0, 0}));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(topLeft.x, topLeft.y, shown.width * factor, shown.height * factor),
                          picture_);
    } else if (!picture_.isNull()) {
        // The drawing turned to another direction: the last picture stays as
        // it was until the turned one is ready, rather than a blank.
        painter.drawImage(QRectF(0, 0, shown.width, shown.height), picture_);
    }
    requestPicture();
    paintNotice(painter);
}

void DwgViewer::paintNotice(QPainter& painter) const {
    const QString notice = noticeText();
    if (notice.isEmpty()) return;
    painter.setPen(kFailureText);
    painter.setFont(font());
    painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignLeft | Qt::AlignBottom, notice);
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
