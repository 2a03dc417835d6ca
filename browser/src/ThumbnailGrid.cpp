#include "browser/ThumbnailGrid.h"

#include <QAbstractButton>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <chrono>

#include "ThumbnailLoader.h"
#include "library/Library.h"
#include "ui/DisplayName.h"

namespace browser {

namespace {

constexpr qsizetype kCacheBytes = 32 * 1024 * 1024;
constexpr int kImageInset =
    5;  // the frame of tile colour around the image: hover and selection show there

void fillGradient(QPainter& painter, const QRect& rect, const GridColors::Fill& fill) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, fill.from);
    gradient.setColorAt(1, fill.to);
    painter.fillRect(rect, gradient);
    painter.setPen(fill.border);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

// A picture frame with a cross: the file is there but its image cannot be read.
void paintPlaceholder(QPainter& painter, const QRect& area, const QColor& color) {
    const int side = std::min(area.width(), area.height()) * 2 / 3;
    if (side < 4) return;
    QRect frame(0, 0, side, side * 3 / 4);
    frame.moveCenter(area.center());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
    const QRect cross = frame.adjusted(side / 4, side / 6, -side / 4, -side / 6);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
    painter.restore();
}

}  // namespace

// One button of the footer's navigator, drawn in the grid's colours.
class ThumbnailNavigatorButton : public QAbstractButton {
  public:
    enum class Glyph { PreviousItem, NextItem, PreviousPage, NextPage };

    ThumbnailNavigatorButton(Glyph glyph, const ThumbnailGrid* grid, QWidget* parent)
        : QAbstractButton(parent), glyph_(glyph), grid_(grid) {
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(23, 19);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const GridColors& colors = grid_->colors();
        QPainter painter(this);
        const QColor fill = isDown()       ? colors.buttonPressed
                            : underMouse() ? colors.buttonHover
                                           : colors.button;
        painter.fillRect(rect(), fill);
        painter.setPen(colors.buttonBorder);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));

        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(isEnabled() ? colors.buttonBorder : QColor(140, 140, 140));
        const bool pointsLeft = glyph_ == Glyph::PreviousItem || glyph_ == Glyph::PreviousPage;
        const bool twoArrows = glyph_ == Glyph::PreviousPage || glyph_ == Glyph::NextPage;
        const qreal half = 4;
        const qreal centreY = height() / 2.0;
        const qreal centreX = width() / 2.0;
        const int arrows = twoArrows ? 2 : 1;
        for (int arrow = 0; arrow < arrows; ++arrow) {
            const qreal shift = twoArrows ? (arrow == 0 ? -half : half) : 0;
            const qreal x = centreX + shift;
            QPainterPath triangle;
            const qreal tip = pointsLeft ? x - half : x + half;
            const qreal base = pointsLeft ? x + half : x - half;
            triangle.moveTo(tip, centreY);
            triangle.lineTo(base, centreY - half);
            triangle.lineTo(base, centreY + half);
            triangle.closeSubpath();
            painter.drawPath(triangle);
        }
    }

  private:
    Glyph glyph_;
    const ThumbnailGrid* grid_;
};

// The bar under the tiles: the position of the selection and the navigator.
class ThumbnailFooter : public QWidget {
  public:
    explicit ThumbnailFooter(ThumbnailGrid* grid) : QWidget(grid), grid_(grid) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        const GridColors& colors = grid_->colors();
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, colors.footer.from);
        gradient.setColorAt(1, colors.footer.to);
        painter.fillRect(rect(), gradient);
        painter.setPen(colors.footer.border);
        painter.drawLine(0, 0, width() - 1, 0);
        if (grid_->count() == 0) return;
        painter.setPen(colors.footerText);
        const QString position =
            grid_->selectedIndex() >= 0
                ? QStringLiteral("%1 / %2").arg(grid_->selectedIndex() + 1).arg(grid_->count())
                : QString::number(grid_->count());
        painter.drawText(rect().adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, position);
    }

  private:
    const ThumbnailGrid* grid_;
};

GridColors ThumbnailGrid::olivePreset() {
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

ThumbnailGrid::ThumbnailGrid(QWidget* parent)
    : QAbstractScrollArea(parent),
      colors_(olivePreset()),
      loader_(std::make_unique<ThumbnailLoader>(std::clamp(QThread::idealThreadCount(), 1, 4))) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    // The footer takes the bottom band of the widget. The scroll bar keeps
    // clear of it through a blank piece of the bar's own height.
    setViewportMargins(0, 0, 0, kFooterHeight);
    auto* underFooter = new QWidget(this);
    underFooter->setFixedHeight(kFooterHeight);
    addScrollBarWidget(underFooter, Qt::AlignBottom);
    viewport()->setMouseTracking(true);
    cache_.setMaxCost(kCacheBytes);

    footer_ = new ThumbnailFooter(this);
    auto* navigator = new QHBoxLayout(footer_);
    navigator->setContentsMargins(4, 3, 4, 3);
    navigator->setSpacing(2);
    navigator->addStretch();
    auto addButton = [&](ThumbnailNavigatorButton::Glyph glyph, const char* name,
                         const QString& hint, auto action) {
        auto* button = new ThumbnailNavigatorButton(glyph, this, footer_);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(hint);
        button->setAutoRepeat(true);
        connect(button, &QAbstractButton::clicked, this, action);
        navigator->addWidget(button);
        return button;
    };
    using Glyph = ThumbnailNavigatorButton::Glyph;
    previousPageButton_ =
        addButton(Glyph::PreviousPage, "previousPageButton", QStringLiteral("Previous Page"),
                  [this] { moveSelection(-itemsPerPage(), true); });
    previousItemButton_ =
        addButton(Glyph::PreviousItem, "previousItemButton", QStringLiteral("Previous Item"),
                  [this] { moveSelection(-1, false); });
    nextItemButton_ = addButton(Glyph::NextItem, "nextItemButton", QStringLiteral("Next Item"),
                                [this] { moveSelection(1, false); });
    nextPageButton_ = addButton(Glyph::NextPage, "nextPageButton", QStringLiteral("Next Page"),
                                [this] { moveSelection(itemsPerPage(), true); });

    connect(loader_.get(), &ThumbnailLoader::decoded, this, &ThumbnailGrid::onImageDecoded,
            Qt::QueuedConnection);
    updateNavigator();
}

ThumbnailGrid::~ThumbnailGrid() = default;

void ThumbnailGrid::setColors(const GridColors& colors) {
    colors_ = colors;
    viewport()->update();
    footer_->update();
    for (auto* button :
         {previousPageButton_, previousItemButton_, nextItemButton_, nextPageButton_})
        button->update();
}

void ThumbnailGrid::beginUpdate() {
    ++updateDepth_;
}

void ThumbnailGrid::endUpdate() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ > 0) return;
    relayout();
    if (selected_ >= 0) ensureVisible(selected_);
}

void ThumbnailGrid::clear() {
    items_.clear();
    itemInfoRead_.clear();
    failed_.clear();
    cache_.clear();
    selected_ = -1;
    hovered_ = -1;
    ++generation_;
    loader_->setRequests({});
    verticalScrollBar()->setValue(0);
    relayout();
}

void ThumbnailGrid::addItem(const std::filesystem::path& location) {
    items_.push_back({location, location.filename(), 0, {}});
    itemInfoRead_.push_back(false);
    failed_.push_back(false);
    relayout();
}

const ThumbnailItem& ThumbnailGrid::item(int index) const {
    ThumbnailItem& entry = items_.at(static_cast<size_t>(index));
    if (!itemInfoRead_[static_cast<size_t>(index)]) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(entry.Location, error);
        entry.FileSize = error ? 0 : static_cast<qint64>(size);
        const auto modified = std::filesystem::last_write_time(entry.Location, error);
        if (!error) {
            const auto sinceEpoch = std::chrono::file_clock::to_sys(modified).time_since_epoch();
            entry.FileDate = QDateTime::fromMSecsSinceEpoch(
                std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
        }
        itemInfoRead_[static_cast<size_t>(index)] = true;
    }
    return entry;
}

void ThumbnailGrid::setSelectedIndex(int index) {
    if (index < 0 || index >= count()) index = -1;
    if (selected_ >= 0) viewport()->update(tileRect(selected_));
    selected_ = index;
    if (selected_ >= 0) {
        ensureVisible(selected_);
        viewport()->update(tileRect(selected_));
    }
    footer_->update();
    updateNavigator();
}

void ThumbnailGrid::setColumnCount(int columns) {
    columns = std::max(1, columns);
    if (columns == columns_) return;
    columns_ = columns;
    relayout();
    if (selected_ >= 0) ensureVisible(selected_);
}

void ThumbnailGrid::setItemSize(const QSize& size) {
    const QSize checked = size.expandedTo(QSize(1, 1));
    if (checked == itemSize_) return;
    itemSize_ = checked;
    relayout();
    if (selected_ >= 0) ensureVisible(selected_);
}

int ThumbnailGrid::layoutWidth() const {
    return contentsRect().width();
}

QRect ThumbnailGrid::tileRect(int index) const {
    if (index < 0 || index >= count()) return {};
    const int row = index / columns_;
    const int column = index % columns_;
    return QRect(kSpacing + column * columnPitch(),
                 kSpacing + row * rowPitch() - verticalScrollBar()->value(), itemSize_.width(),
                 itemSize_.height());
}

int ThumbnailGrid::indexAt(const QPoint& viewportPoint) const {
    const int x = viewportPoint.x() - kSpacing;
    const int y = viewportPoint.y() + verticalScrollBar()->value() - kSpacing;
    if (x < 0 || y < 0) return -1;
    if (x % columnPitch() >= itemSize_.width() || y % rowPitch() >= itemSize_.height()) return -1;
    const int column = x / columnPitch();
    if (column >= columns_) return -1;
    const qint64 index = static_cast<qint64>(y / rowPitch()) * columns_ + column;
    return index < count() ? static_cast<int>(index) : -1;
}

bool ThumbnailGrid::isThumbnailLoaded(int index) const {
    const CachedImage* cached = cache_.object(index);
    return cached && cached->decodedFor == decodeTarget();
}

bool ThumbnailGrid::isThumbnailFailed(int index) const {
    return index >= 0 && index < count() && failed_[static_cast<size_t>(index)];
}

ThumbnailGrid::DecodeStats ThumbnailGrid::decodeStats() const {
    return {loader_->decodedCount(), loader_->decodedOnUiThreadCount(), loader_->failedCount()};
}

int ThumbnailGrid::rowCount() const {
    return (count() + columns_ - 1) / columns_;
}

int ThumbnailGrid::itemsPerPage() const {
    return std::max(1, viewport()->height() / rowPitch()) * columns_;
}

QSize ThumbnailGrid::decodeTarget() const {
    const QSize inside = itemSize_ - QSize(2 * kImageInset, 2 * kImageInset);
    if (inside.isEmpty()) return {};
    const qreal ratio = devicePixelRatioF();
    return QSize(qRound(inside.width() * ratio), qRound(inside.height() * ratio));
}

void ThumbnailGrid::relayout() {
    if (updateDepth_ > 0) return;
    const int contentHeight = count() == 0 ? 0 : kSpacing + rowCount() * rowPitch();
    const int viewHeight = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, contentHeight - viewHeight));
    bar->setPageStep(viewHeight);
    bar->setSingleStep(std::max(1, rowPitch() / 3));  // a wheel notch scrolls three steps: one row
    if (hovered_ >= count()) hovered_ = -1;
    viewport()->update();
    footer_->update();
    updateNavigator();
    scheduleLoads();
}

void ThumbnailGrid::ensureVisible(int index) {
    if (index < 0 || index >= count() || updateDepth_ > 0) return;
    QScrollBar* bar = verticalScrollBar();
    const int top = kSpacing + (index / columns_) * rowPitch();
    const int bottom = top + itemSize_.height();
    if (top - kSpacing < bar->value())
        bar->setValue(top - kSpacing);
    else if (bottom + kSpacing > bar->value() + viewport()->height())
        bar->setValue(bottom + kSpacing - viewport()->height());
}

void ThumbnailGrid::selectByUser(int index, bool evenIfUnchanged) {
    if (index < 0 || index >= count()) return;
    if (index == selected_ && !evenIfUnchanged) return;
    setSelectedIndex(index);
    emit itemSelected(index);
}

void ThumbnailGrid::moveSelection(int delta, bool stopAtEnds) {
    if (count() == 0) return;
    if (selected_ < 0) {
        selectByUser(0, false);
        return;
    }
    const int target = selected_ + delta;
    if (target >= 0 && target < count())
        selectByUser(target, false);
    else if (stopAtEnds)
        selectByUser(target < 0 ? 0 : count() - 1, false);
}

void ThumbnailGrid::setHovered(int index) {
    if (index == hovered_) return;
    if (hovered_ >= 0) viewport()->update(tileRect(hovered_));
    hovered_ = index;
    if (hovered_ >= 0) viewport()->update(tileRect(hovered_));
}

void ThumbnailGrid::scheduleLoads() {
    if (loadsScheduled_) return;
    loadsScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        loadsScheduled_ = false;
        requestVisibleImages();
    });
}

void ThumbnailGrid::requestVisibleImages() {
    const QSize target = decodeTarget();
    const int viewHeight = viewport()->height();
    if (!isVisible() || updateDepth_ > 0 || items_.empty() || viewHeight <= 0 || target.isEmpty()) {
        loader_->setRequests({});
        return;
    }
    const int scroll = verticalScrollBar()->value();
    const int lastRowOfAll = rowCount() - 1;
    const int firstRow = std::clamp((scroll - kSpacing) / rowPitch(), 0, lastRowOfAll);
    const int lastRow =
        std::clamp((scroll + viewHeight - kSpacing) / rowPitch(), firstRow, lastRowOfAll);
    const int rowsInView = lastRow - firstRow + 1;

    // The rows in view, then one page below (the usual way to scroll), then
    // one page above.
    std::vector<int> rows;
    for (int row = firstRow; row <= lastRow; ++row) rows.push_back(row);
    for (int row = lastRow + 1; row <= std::min(lastRowOfAll, lastRow + rowsInView); ++row)
        rows.push_back(row);
    for (int row = firstRow - 1; row >= std::max(0, firstRow - rowsInView); --row)
        rows.push_back(row);

    // Room for every wanted tile, so that a page of big tiles on a dense
    // screen never evicts its own images.
    const qsizetype tileBytes = static_cast<qsizetype>(target.width()) * target.height() * 4;
    cache_.setMaxCost(
        std::max(kCacheBytes, tileBytes * static_cast<qsizetype>(rows.size()) * columns_ * 3 / 2));

    std::vector<ThumbnailLoader::Request> requests;
    const qreal ratio = devicePixelRatioF();
    // Walked from least to most wanted, so that the cache keeps the tiles in
    // view as its most recently used.
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        for (int column = columns_ - 1; column >= 0; --column) {
            const int index = *row * columns_ + column;
            if (index >= count() || failed_[static_cast<size_t>(index)]) continue;
            const CachedImage* cached = cache_.object(index);
            if (cached && cached->decodedFor == target) continue;
            requests.push_back(
                {generation_, index, items_[static_cast<size_t>(index)].Location, target, ratio});
        }
    }
    std::reverse(requests.begin(), requests.end());
    loader_->setRequests(std::move(requests));
}

void ThumbnailGrid::onImageDecoded(quint64 generation, int index, const QImage& image,
                                   const QSize& target) {
    if (generation != generation_ || index < 0 || index >= count()) return;
    // An image the cache cannot take would be asked for again on every
    // paint: it counts as failed instead.
    const bool cached = !image.isNull() &&
                        cache_.insert(index, new CachedImage{image, target}, image.sizeInBytes());
    if (!cached) failed_[static_cast<size_t>(index)] = true;
    if (cached && target != decodeTarget()) scheduleLoads();
    viewport()->update(tileRect(index));
    if (cached) emit thumbnailLoaded(index);
}

void ThumbnailGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), colors_.background);
    if (items_.empty()) return;
    const int scroll = verticalScrollBar()->value();
    const int lastRowOfAll = rowCount() - 1;
    const int firstRow =
        std::clamp((event->rect().top() + scroll - kSpacing) / rowPitch(), 0, lastRowOfAll);
    const int lastRow =
        std::clamp((event->rect().bottom() + scroll - kSpacing) / rowPitch(), 0, lastRowOfAll);
    bool imagesMissing = false;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < columns_; ++column) {
            const int index = row * columns_ + column;
            if (index >= count()) break;
            const QRect rect = tileRect(index);
            if (!rect.intersects(event->rect())) continue;
            paintTile(painter, index, rect);
            imagesMissing =
                imagesMissing || (!isThumbnailLoaded(index) && !isThumbnailFailed(index));
        }
    }
    if (imagesMissing) scheduleLoads();
}

void ThumbnailGrid::paintTile(QPainter& painter, int index, const QRect& rect) {
    const GridColors::Fill& fill = !isEnabled()         ? colors_.tileDisabled
                                   : index == selected_ ? colors_.tileSelected
                                   : index == hovered_  ? colors_.tileHover
                                                        : colors_.tile;
    fillGradient(painter, rect, fill);
    const QRect inside = rect.adjusted(kImageInset, kImageInset, -kImageInset, -kImageInset);
    if (const CachedImage* cached = cache_.object(index)) {
        const QSizeF shown =
            cached->image.deviceIndependentSize().scaled(inside.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), shown);
        target.moveCenter(QRectF(inside).center());
        painter.setRenderHint(QPainter::SmoothPixmapTransform,
                              shown != cached->image.deviceIndependentSize());
        painter.drawImage(target, cached->image);
    } else if (failed_[static_cast<size_t>(index)]) {
        paintPlaceholder(painter, inside, fill.border);
    }
}

void ThumbnailGrid::updateNavigator() {
    // Shown only while the mouse is over the grid, and only when there is
    // something to walk through.
    const bool shown = mouseInside_ && count() > 1;
    for (auto* button :
         {previousPageButton_, previousItemButton_, nextItemButton_, nextPageButton_})
        button->setVisible(shown);
    previousPageButton_->setEnabled(selected_ != 0);
    previousItemButton_->setEnabled(selected_ != 0);
    nextItemButton_->setEnabled(selected_ != count() - 1);
    nextPageButton_->setEnabled(selected_ != count() - 1);
}

void ThumbnailGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    footer_->setGeometry(0, height() - kFooterHeight, width(), kFooterHeight);
    footer_->raise();
    relayout();
}

void ThumbnailGrid::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    scheduleLoads();
}

void ThumbnailGrid::scrollContentsBy(int, int) {
    viewport()->update();
    scheduleLoads();
}

void ThumbnailGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    // A click on the tile already selected is still the user's choice.
    selectByUser(indexAt(event->position().toPoint()), true);
}

void ThumbnailGrid::mouseMoveEvent(QMouseEvent* event) {
    setHovered(indexAt(event->position().toPoint()));
}

void ThumbnailGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The press before it has selected the tile; a double-click adds nothing.
    event->accept();
}

void ThumbnailGrid::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            moveSelection(-1, false);
            break;
        case Qt::Key_Right:
            moveSelection(1, false);
            break;
        case Qt::Key_Up:
            moveSelection(-columns_, false);
            break;
        case Qt::Key_Down:
            // From a row above the last one, Down lands on the last item even
            // when the last row is too short to have one right below.
            if (selected_ >= 0 && selected_ + columns_ >= count() &&
                selected_ / columns_ < rowCount() - 1)
                selectByUser(count() - 1, false);
            else
                moveSelection(columns_, false);
            break;
        case Qt::Key_PageUp:
            moveSelection(-itemsPerPage(), true);
            break;
        case Qt::Key_PageDown:
            moveSelection(itemsPerPage(), true);
            break;
        case Qt::Key_Home:
            selectByUser(0, false);
            break;
        case Qt::Key_End:
            selectByUser(count() - 1, false);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void ThumbnailGrid::enterEvent(QEnterEvent* event) {
    QAbstractScrollArea::enterEvent(event);
    mouseInside_ = true;
    updateNavigator();
}

void ThumbnailGrid::leaveEvent(QEvent* event) {
    QAbstractScrollArea::leaveEvent(event);
    mouseInside_ = false;
    setHovered(-1);
    updateNavigator();
}

bool ThumbnailGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = indexAt(help->pos());
        if (index < 0) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), toolTipText(index), viewport(),
                               tileRect(index));
        }
        return true;
    }
    if (event->type() == QEvent::Leave) setHovered(-1);
    return QAbstractScrollArea::viewportEvent(event);
}

void ThumbnailGrid::setToolTipText(std::function<QString(int)> text) {
    toolTipText_ = std::move(text);
}

QString ThumbnailGrid::toolTipText(int index) const {
    if (index < 0 || index >= count()) return {};
    // Tiles carry no caption: the hint is where the block's name is read.
    if (toolTipText_) return toolTipText_(index);
    return ui::displayName(library::blockName(item(index).FileName));
}

void ThumbnailGrid::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) viewport()->update();
}

}  // namespace browser
