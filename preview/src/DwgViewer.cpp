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
    picture_ = {};
    failure_.clear();
    drawing_.reset();
    if (!failure.isEmpty()) {
        showBuilt(generation, list_, failure);
        return;
    }
    refit_ = Refit::Open;
    building_ = true;
    update();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancelBuild_ = cancel;
    // The view it opens in comes from the drawing itself, so it is chosen once
    // the drawing is parsed, on the worker too.
    const std::optional<render::Projection> keptProjection =
        zoomExtentsOnOpen_ || !lastHadDrawing_ ? std::nullopt
                                               : std::optional<render::Projection>(projection_);
    runWorker([this, bytes, cancel, generation, keptProjection] {
        std::shared_ptr<const dwg::Drawing> drawing;
        render::Projection saved;
        std::shared_ptr<const render::DisplayList> list;
        QString failure;
        try {
            drawing = std::make_shared<const dwg::Drawing>(
                dwg::read(std::span<const std::uint8_t>(*bytes)));
            bytes->clear();
            bytes->shrink_to_fit();
            if (*cancel) return;
            saved = render::savedProjection(*drawing);
            render::BuildOptions options;
            options.cancel = cancel.get();
            options.projection = keptProjection.value_or(saved);
            list = std::make_shared<const render::DisplayList>(
                render::buildModelSpace(*drawing, options));
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("memória insuficiente");
        } catch (const std::exception& error) {
            failure = QString::fromStdString(error.what());
        }
        if (*cancel) return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, drawing, saved, keptProjection, list, failure] {
                if (generation != generation_) return;
                if (drawing && failure.isEmpty()) {
                    drawing_ = drawing;
                    savedProjection_ = saved;
                    projection_ = keptProjection.value_or(saved);
                }
                showBuilt(generation, list, failure);
            },
            Qt::QueuedConnection);
    });
}

// Builds the list of drawing_ from projection_ for the current generation.
void DwgViewer::startBuild(Refit refit) {
    refit_ = refit;
    building_ = true;
    update();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancelBuild_ = cancel;
    runWorker(
        [this, drawing = drawing_, projection = projection_, cancel, generation = generation_] {
            render::BuildOptions options;
            options.cancel = cancel.get();
            options.projection = projection;
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
                this, [this, generation, list, failure] { showBuilt(generation, list, failure); },
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
    startBuild(Refit::Whole);
}

// The model turns under the drag; the new list keeps the scale.
void DwgViewer::orbitBy(QPointF delta) {
    projection_ =
        projection_.orbited(-delta.x() * kOrbitRadiansPerPixel, delta.y() * kOrbitRadiansPerPixel);
    if (!drawing_) return;
    if (cancelBuild_) *cancelBuild_ = true;
    ++generation_;
    startBuild(Refit::KeepScale);
}

void DwgViewer::showBuilt(std::uint64_t generation, std::shared_ptr<const render::DisplayList> list,
                          const QString& failure) {
    if (generation != generation_) return;  // a newer drawing was opened meanwhile
    building_ = false;
    if (failure.isEmpty() && list) {
        list_ = std::move(list);
        failure_.clear();
    } else {
        list_ = std::make_shared<const render::DisplayList>();
        failure_ = QStringLiteral("Não foi possível ler o desenho: ") + failure;
    }
    switch (refit_) {
        case Refit::Open:
            if (zoomExtentsOnOpen_ || !lastHadDrawing_)
                zoomToExtents();
            else
                view_ = view_.resized(width(), height());
            lastHadDrawing_ = false;
            update();
            emit drawingShown();
            return;
        case Refit::Whole:
            zoomToExtents();
            return;
        case Refit::KeepScale: {
            render::View turned = view_.resized(width(), height());
            if (!list_->extents.empty()) turned.centre = list_->extents.centre();
            setView(turned);
            return;
        }
    }
}

QString DwgViewer::noticeText() const {
    if (!list_->report.simplified()) return {};
    return QString::fromUtf8(render::kSimplifiedNotice.data(),
                             static_cast<qsizetype>(render::kSimplifiedNotice.size()));
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
    return !picture_.isNull() && pictureGeneration_ == generation_ && sameView(pictureView_, view_);
}

void DwgViewer::requestPicture() {
    // While a list is built its predecessor is not painted again: it would
    // pass for the new one.
    if (painting_ || building_ || width() <= 0 || height() <= 0 || pictureIsCurrent()) return;
    painting_ = true;
    const std::uint64_t generation = generation_;
    const render::View view = view_;
    const double ratio = devicePixelRatioF();
    runWorker([this, list = list_, generation, view, ratio] {
        QImage image(static_cast<int>(std::ceil(view.width * ratio)),
                     static_cast<int>(std::ceil(view.height * ratio)), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        {
            QPainter painter(&image);
            render::paint(painter, *list, view, kBackground);
        }
        QMetaObject::invokeMethod(
            this, [this, generation, view, image] { pictureDone(generation, view, image); },
            Qt::QueuedConnection);
    });
}

void DwgViewer::pictureDone(std::uint64_t generation, const render::View& view,
                            const QImage& image) {
    painting_ = false;
    if (generation == generation_) {
        picture_ = image;
        pictureView_ = view;
        pictureGeneration_ = generation;
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
    if (!picture_.isNull() && pictureGeneration_ == generation_) {
        // The last picture moved and scaled to the view asked for.
        const double factor = view_.scale / pictureView_.scale;
        const render::Vec2 topLeft = view_.toDevice(pictureView_.toWorld({0, 0}));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(
            QRectF(topLeft.x, topLeft.y, pictureView_.width * factor, pictureView_.height * factor),
            picture_);
    } else if (!picture_.isNull()) {
        // The drawing turned to another direction: the last picture stays as
        // it was until the turned one is ready, rather than a blank.
        painter.drawImage(QRectF(0, 0, pictureView_.width, pictureView_.height), picture_);
    }
    requestPicture();
    const QString notice = noticeText();
    if (!notice.isEmpty())
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
