#include "browser/ThumbnailModel.h"

#include <QThread>
#include <algorithm>
#include <chrono>

#include "ThumbnailCache.h"
#include "ThumbnailLoader.h"
#include "library/Library.h"
#include "ui/DisplayName.h"

namespace browser {

ThumbnailModel::ThumbnailModel(QObject* parent)
    : QAbstractListModel(parent),
      cache_(std::make_unique<ThumbnailCache>()),
      loader_(std::make_unique<ThumbnailLoader>(std::clamp(QThread::idealThreadCount(), 1, 4))) {
    connect(loader_.get(), &ThumbnailLoader::decoded, this, &ThumbnailModel::onImageDecoded,
            Qt::QueuedConnection);
}

ThumbnailModel::~ThumbnailModel() = default;

int ThumbnailModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ThumbnailModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) return {};
    const int row = index.row();
    switch (role) {
        case Qt::DisplayRole:
            return ui::displayName(library::blockName(item(row).FileName));
        case Qt::ToolTipRole:
            // Tiles carry no caption: the hint is where the block's name is read.
            return toolTipText_ ? toolTipText_(row) : data(index, Qt::DisplayRole);
        case Qt::DecorationRole:
            if (const QImage* image = thumbnail(row)) return *image;
            return {};
        case FailedRole:
            return isThumbnailFailed(row);
        default:
            return {};
    }
}

void ThumbnailModel::beginUpdate() {
    ++updateDepth_;
}

void ThumbnailModel::endUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0 || !resetPending_) return;
    resetPending_ = false;
    endResetModel();
}

void ThumbnailModel::clear() {
    // At once even in a bulk update: the views forget their selection now.
    if (resetPending_) {
        dropItems();
        return;
    }
    beginResetModel();
    dropItems();
    endResetModel();
}

void ThumbnailModel::dropItems() {
    items_.clear();
    itemInfoRead_.clear();
    failed_.clear();
    cache_->clear();
    ++generation_;
    loader_->setRequests({});
}

void ThumbnailModel::addItem(const std::filesystem::path& location) {
    const int row = count();
    if (isUpdating() && !resetPending_) {
        beginResetModel();
        resetPending_ = true;
    }
    if (!resetPending_) beginInsertRows(QModelIndex(), row, row);
    items_.push_back({location, location.filename(), 0, {}});
    itemInfoRead_.push_back(false);
    failed_.push_back(false);
    if (!resetPending_) endInsertRows();
}

const ThumbnailItem& ThumbnailModel::item(int index) const {
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

void ThumbnailModel::setToolTipText(std::function<QString(int)> text) {
    toolTipText_ = std::move(text);
}

const QImage* ThumbnailModel::thumbnail(int index) const {
    return cache_->image(index);
}

bool ThumbnailModel::isThumbnailLoaded(int index, const QSize& target) const {
    return cache_->holds(index, target);
}

bool ThumbnailModel::isThumbnailFailed(int index) const {
    return index >= 0 && index < count() && failed_[static_cast<size_t>(index)];
}

void ThumbnailModel::requestThumbnails(const std::vector<int>& wanted, const QSize& target,
                                       qreal devicePixelRatio) {
    // Nothing wanted (a hidden grid) leaves the cache's room as it was.
    if (!wanted.empty()) cache_->makeRoomFor(static_cast<qsizetype>(wanted.size()), target);
    std::vector<ThumbnailLoader::Request> requests;
    // Walked from least to most wanted, so that the cache keeps the most
    // wanted as its most recently used.
    for (auto index = wanted.rbegin(); index != wanted.rend(); ++index) {
        if (*index < 0 || *index >= count() || failed_[static_cast<size_t>(*index)]) continue;
        if (cache_->holds(*index, target)) continue;
        requests.push_back({generation_, *index, items_[static_cast<size_t>(*index)].Location,
                            target, devicePixelRatio});
    }
    std::reverse(requests.begin(), requests.end());
    loader_->setRequests(std::move(requests));
}

ThumbnailModel::DecodeStats ThumbnailModel::decodeStats() const {
    return {loader_->decodedCount(), loader_->decodedOnUiThreadCount(), loader_->failedCount()};
}

void ThumbnailModel::onImageDecoded(quint64 generation, int index, const QImage& image,
                                    const QSize& target) {
    if (generation != generation_ || index < 0 || index >= count()) return;
    // An image the cache cannot take would be asked for again on every
    // paint: it counts as failed instead.
    const bool cached = !image.isNull() && cache_->insert(index, image, target);
    if (!cached) failed_[static_cast<size_t>(index)] = true;
    const QModelIndex changed = this->index(index);
    emit dataChanged(changed, changed, {cached ? Qt::DecorationRole : int(FailedRole)});
    if (cached) emit thumbnailLoaded(index);
}

}  // namespace browser
