#include "browser/ThumbnailGrid.h"

#include <QApplication>
#include <QDrag>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "ThumbnailDelegate.h"
#include "ThumbnailFooter.h"

namespace browser {

ThumbnailGrid::ThumbnailGrid(QWidget* parent)
    : QAbstractItemView(parent),
      thumbnails_(new ThumbnailModel(this)),
      colors_(GridColors::olive()),
      delegate_(new ThumbnailDelegate(colors_, this)),
      footer_(new ThumbnailFooter(colors_, this)) {
    setModel(thumbnails_);
    setItemDelegate(delegate_);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    setAutoScroll(false);  // a selection is scrolled into view by the grid itself
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

    connect(footer_, &ThumbnailFooter::stepped, this,
            [this](TileLayout::Step step) { selectByUser(stepTarget(step), false); });
    connect(thumbnails_, &ThumbnailModel::thumbnailLoaded, this, &ThumbnailGrid::thumbnailLoaded);
    showFooterState();
}

ThumbnailGrid::~ThumbnailGrid() = default;

void ThumbnailGrid::setColors(const GridColors& colors) {
    colors_ = colors;
    viewport()->update();
    footer_->update();
}

void ThumbnailGrid::replaceBlocks(const std::vector<library::Block>& blocks) {
    const int scrolled = verticalScrollBar()->value();
    thumbnails_->replaceBlocks(blocks);
    verticalScrollBar()->setValue(scrolled);
}

void ThumbnailGrid::endUpdate() {
    thumbnails_->endUpdate();
    if (thumbnails_->isUpdating()) return;
    relayout();
    ensureVisible(selectedIndex());
}

int ThumbnailGrid::selectedIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void ThumbnailGrid::setSelectedIndex(int index) {
    if (index < 0 || index >= count()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(model()->index(index, 0),
                                      QItemSelectionModel::ClearAndSelect);
    ensureVisible(index);
}

void ThumbnailGrid::setColumnCount(int columns) {
    columns = std::max(1, columns);
    if (columns == columns_) return;
    columns_ = columns;
    relayout();
    ensureVisible(selectedIndex());
}

void ThumbnailGrid::setItemSize(const QSize& size) {
    const QSize checked = size.expandedTo(QSize(1, 1));
    if (checked == itemSize_) return;
    itemSize_ = checked;
    relayout();
    ensureVisible(selectedIndex());
}

int ThumbnailGrid::layoutWidth() const {
    return contentsRect().width();
}

QRect ThumbnailGrid::tileRect(int index) const {
    const QRect rect = tiles().tileRect(index);
    return rect.isValid() ? rect.translated(0, -verticalScrollBar()->value()) : rect;
}

int ThumbnailGrid::itemAt(const QPoint& viewportPoint) const {
    return tiles().itemAt(viewportPoint + QPoint(0, verticalScrollBar()->value()));
}

bool ThumbnailGrid::isThumbnailLoaded(int index) const {
    return thumbnails_->isThumbnailLoaded(index, decodeTarget());
}

void ThumbnailGrid::setDragData(std::function<QMimeData*(int index)> data) {
    dragData_ = std::move(data);
}

QRect ThumbnailGrid::visualRect(const QModelIndex& index) const {
    return index.isValid() ? tileRect(index.row()) : QRect();
}

void ThumbnailGrid::scrollTo(const QModelIndex& index, ScrollHint) {
    if (index.isValid()) ensureVisible(index.row());
}

QModelIndex ThumbnailGrid::indexAt(const QPoint& point) const {
    const int index = itemAt(point);
    return index < 0 ? QModelIndex() : model()->index(index, 0);
}

QModelIndex ThumbnailGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    using Step = TileLayout::Step;
    Step step = Step::NextItem;
    switch (action) {
        case MoveLeft:
        case MovePrevious:
            step = Step::PreviousItem;
            break;
        case MoveRight:
        case MoveNext:
            step = Step::NextItem;
            break;
        case MoveUp:
            step = Step::RowUp;
            break;
        case MoveDown:
            step = Step::RowDown;
            break;
        case MovePageUp:
            step = Step::PageUp;
            break;
        case MovePageDown:
            step = Step::PageDown;
            break;
        case MoveHome:
            step = Step::First;
            break;
        case MoveEnd:
            step = Step::Last;
            break;
    }
    const int target = stepTarget(step);
    return target < 0 ? QModelIndex() : model()->index(target, 0);
}

int ThumbnailGrid::stepTarget(TileLayout::Step step) const {
    return tiles().stepTarget(step, selectedIndex(), viewport()->height());
}

int ThumbnailGrid::verticalOffset() const {
    return verticalScrollBar()->value();
}

void ThumbnailGrid::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    // One selection at a time: the tile under the rectangle's first corner.
    const int index = itemAt(rect.normalized().topLeft());
    if (index >= 0)
        selectionModel()->select(model()->index(index, 0), command);
    else if (command & QItemSelectionModel::Clear)
        selectionModel()->clearSelection();
}

QRegion ThumbnailGrid::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    for (const QModelIndex& index : selection.indexes()) region += tileRect(index.row());
    return region;
}

void ThumbnailGrid::updateGeometries() {
    relayout();
    QAbstractItemView::updateGeometries();
}

void ThumbnailGrid::reset() {
    QAbstractItemView::reset();
    hovered_ = -1;
    pressedIndex_ = -1;
    verticalScrollBar()->setValue(0);
    relayout();
}

void ThumbnailGrid::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    relayout();
}

void ThumbnailGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                const QList<int>& roles) {
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    // An image decoded for a size the tiles no longer have is asked for again.
    if (roles.contains(Qt::DecorationRole) && topLeft == bottomRight &&
        !isThumbnailLoaded(topLeft.row()))
        scheduleLoads();
}

void ThumbnailGrid::selectionChanged(const QItemSelection& selected,
                                     const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected);
    showFooterState();
}

QSize ThumbnailGrid::decodeTarget() const {
    const QSize inside = ThumbnailDelegate::imageArea(QRect(QPoint(), itemSize_)).size();
    if (inside.isEmpty()) return {};
    const qreal ratio = devicePixelRatioF();
    return QSize(qRound(inside.width() * ratio), qRound(inside.height() * ratio));
}

void ThumbnailGrid::relayout() {
    if (thumbnails_->isUpdating()) return;
    const TileLayout layout = tiles();
    const int viewHeight = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, layout.contentHeight() - viewHeight));
    bar->setPageStep(viewHeight);
    // A wheel notch scrolls three steps: one row.
    bar->setSingleStep(std::max(1, layout.rowPitch() / 3));
    if (hovered_ >= count()) hovered_ = -1;
    viewport()->update();
    showFooterState();
    scheduleLoads();
}

void ThumbnailGrid::ensureVisible(int index) {
    if (index < 0 || index >= count() || thumbnails_->isUpdating()) return;
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(tiles().scrollToShow(index, bar->value(), viewport()->height()));
}

void ThumbnailGrid::selectByUser(int index, bool evenIfUnchanged) {
    if (index < 0 || index >= count()) return;
    if (index == selectedIndex() && !evenIfUnchanged) return;
    setSelectedIndex(index);
    emit itemSelected(index);
}

void ThumbnailGrid::setHovered(int index) {
    if (index == hovered_) return;
    if (hovered_ >= 0) viewport()->update(tileRect(hovered_));
    hovered_ = index;
    if (hovered_ >= 0) viewport()->update(tileRect(hovered_));
}

void ThumbnailGrid::showFooterState() {
    footer_->showState(selectedIndex(), count(), mouseInside_);
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
    const bool shown = isVisible() && !thumbnails_->isUpdating() && !target.isEmpty();
    const std::vector<int> wanted =
        shown ? tiles().itemsToLoad(verticalScrollBar()->value(), viewport()->height())
              : std::vector<int>();
    thumbnails_->requestThumbnails(wanted, target, devicePixelRatioF());
}

void ThumbnailGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), colors_.background);
    if (count() == 0) return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.state = isEnabled() ? QStyle::State_Enabled : QStyle::State_None;
    const QStyle::State plain = option.state;
    const int selected = selectedIndex();
    const int scroll = verticalScrollBar()->value();
    const auto [firstRow, lastRow] =
        tiles().rowsBetween(event->rect().top() + scroll, event->rect().bottom() + scroll);
    bool imagesMissing = false;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < columns_; ++column) {
            const int index = row * columns_ + column;
            if (index >= count()) break;
            option.rect = tileRect(index);
            if (!option.rect.intersects(event->rect())) continue;
            option.state = plain;
            if (index == selected) option.state |= QStyle::State_Selected;
            if (index == hovered_) option.state |= QStyle::State_MouseOver;
            delegate_->paint(&painter, option, model()->index(index, 0));
            imagesMissing =
                imagesMissing || (!isThumbnailLoaded(index) && !isThumbnailFailed(index));
        }
    }
    if (imagesMissing) scheduleLoads();
}

void ThumbnailGrid::resizeEvent(QResizeEvent* event) {
    QAbstractItemView::resizeEvent(event);
    footer_->setGeometry(0, height() - kFooterHeight, width(), kFooterHeight);
    footer_->raise();
}

void ThumbnailGrid::showEvent(QShowEvent* event) {
    QAbstractItemView::showEvent(event);
    scheduleLoads();
}

void ThumbnailGrid::scrollContentsBy(int, int) {
    viewport()->update();
    scheduleLoads();
}

void ThumbnailGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    pressedAt_ = event->position().toPoint();
    pressedIndex_ = itemAt(pressedAt_);
    // A click on the tile already selected is still the user's choice.
    selectByUser(pressedIndex_, true);
    if (pressedIndex_ >= 0 &&
        ThumbnailDelegate::starArea(tileRect(pressedIndex_)).contains(pressedAt_)) {
        const int index = pressedIndex_;
        pressedIndex_ = -1;  // a click on the star drags nothing
        emit favouriteToggled(index);
    }
}

void ThumbnailGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if ((event->buttons() & Qt::LeftButton) && pressedIndex_ >= 0 &&
        (at - pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
        const int index = pressedIndex_;
        pressedIndex_ = -1;  // one drag per press
        dragItem(index);
        return;
    }
    setHovered(itemAt(at));
}

void ThumbnailGrid::mouseReleaseEvent(QMouseEvent* event) {
    // The press chose the tile already; a release adds nothing.
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void ThumbnailGrid::dragItem(int index) {
    if (!dragData_ || index >= count()) return;
    QMimeData* data = dragData_(index);
    if (!data) return;
    QPointer<QDrag> drag = new QDrag(this);
    drag->setMimeData(data);
    if (const QImage* image = thumbnails_->thumbnail(index))
        drag->setPixmap(QPixmap::fromImage(
            image->scaled(itemSize_ / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    drag->exec(Qt::CopyAction);
    // Kept until the events of the drop have run.
    if (drag) drag->deleteLater();
}

void ThumbnailGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The press before it has selected the tile; a double-click adds nothing.
    event->accept();
}

void ThumbnailGrid::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        if (selectedIndex() >= 0) emit copyRequested(selectedIndex());
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_D && event->modifiers() == Qt::ControlModifier) {
        if (selectedIndex() >= 0) emit favouriteToggled(selectedIndex());
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F5 || event->matches(QKeySequence::Refresh)) {
        emit rescanRequested();
        event->accept();
        return;
    }
    CursorAction action = MoveNext;
    switch (event->key()) {
        case Qt::Key_Left:
            action = MoveLeft;
            break;
        case Qt::Key_Right:
            action = MoveRight;
            break;
        case Qt::Key_Up:
            action = MoveUp;
            break;
        case Qt::Key_Down:
            action = MoveDown;
            break;
        case Qt::Key_PageUp:
            action = MovePageUp;
            break;
        case Qt::Key_PageDown:
            action = MovePageDown;
            break;
        case Qt::Key_Home:
            action = MoveHome;
            break;
        case Qt::Key_End:
            action = MoveEnd;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (selectedIndex() >= 0) emit activated(model()->index(selectedIndex(), 0));
            event->accept();
            return;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    selectByUser(moveCursor(action, event->modifiers()).row(), false);
    event->accept();
}

void ThumbnailGrid::enterEvent(QEnterEvent* event) {
    QAbstractItemView::enterEvent(event);
    mouseInside_ = true;
    showFooterState();
}

void ThumbnailGrid::leaveEvent(QEvent* event) {
    QAbstractItemView::leaveEvent(event);
    mouseInside_ = false;
    setHovered(-1);
    showFooterState();
}

bool ThumbnailGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) setHovered(-1);
    // Hints come from the delegate, with each tile's text from the model.
    return QAbstractItemView::viewportEvent(event);
}

void ThumbnailGrid::changeEvent(QEvent* event) {
    QAbstractItemView::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) viewport()->update();
}

}  // namespace browser
