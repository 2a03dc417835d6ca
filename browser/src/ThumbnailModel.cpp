#include "browser/ThumbnailModel.h"

#include <QThread>
#include <algorithm>
#include <chrono>
#include <map>

#include "ThumbnailCache.h"
#include "ThumbnailLoader.h"
#include "library/Library.h"
#include "ui/DisplayName.h"

namespace browser {

ThumbnailModel::ThumbnailModel(QObject* parent)
    : QAbstractListModel(parent),
      cache_(std::make_unique<ThumbnailCache>()),
      // Every core makes pictures: a folder's first visit draws thousands.
      loader_(std::make_unique<ThumbnailLoader>(std::max(QThread::idealThreadCount(), 1))) {
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
        case FailureTextRole:
            return failureText(row);
        case FavouriteRole:
            return isFavourite(row);
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
    failureTexts_.clear();
    favourites_.clear();
    loader_->setBackground({});
    cache_->clear();
    ++generation_;
    loader_->setRequests({});
}

void ThumbnailModel::addItem(const std::filesystem::path& location) {
    addBlock(library::categoryBlockOf(location));
}

void ThumbnailModel::addBlock(library::Block block) {
    const int row = count();
    if (isUpdating() && !resetPending_) {
        beginResetModel();
        resetPending_ = true;
    }
    if (!resetPending_) beginInsertRows(QModelIndex(), row, row);
    appendItem(std::move(block));
    if (!resetPending_) endInsertRows();
}

void ThumbnailModel::appendItem(library::Block block) {
    ThumbnailItem item;
    item.Location = block.shownFile();
    item.FileName = item.Location.filename();
    item.block = std::move(block);
    items_.push_back(std::move(item));
    itemInfoRead_.push_back(false);
    failed_.push_back(false);
    failureTexts_.emplace_back();
    favourites_.push_back(false);
}

void ThumbnailModel::replaceBlocks(const std::vector<library::Block>& blocks) {
    // A block stays the same picture while its file is as it was.
    const auto same = [](const library::Block& a, const library::Block& b) {
        return a.ref == b.ref && a.drawing == b.drawing && a.thumbnail == b.thumbnail &&
               a.size == b.size && a.modified == b.modified;
    };
    std::map<std::filesystem::path, int> before;
    for (int i = 0; i < count(); ++i) before.emplace(items_[static_cast<size_t>(i)].block.shownFile(), i);
    std::vector<int> newIndexOf(items_.size(), -1);
    const std::vector<ThumbnailItem> old = std::move(items_);
    const std::vector<bool> oldFavourites = std::move(favourites_);
    beginResetModel();
    items_.clear();
    itemInfoRead_.clear();
    failed_.clear();
    failureTexts_.clear();
    favourites_.clear();
    ++generation_;
    for (const library::Block& block : blocks) {
        const auto found = before.find(block.shownFile());
        const bool kept = found != before.end() &&
                          same(old[static_cast<size_t>(found->second)].block, block);
        if (kept) newIndexOf[static_cast<size_t>(found->second)] = count();
        appendItem(block);
        if (kept) favourites_.back() = oldFavourites[static_cast<size_t>(found->second)];
    }
    cache_->remap(newIndexOf);
    loader_->setRequests({});
    endResetModel();
}

const ThumbnailItem& ThumbnailModel::item(int index) const {
    ThumbnailItem& entry = items_.at(static_cast<size_t>(index));
    if (!itemInfoRead_[static_cast<size_t>(index)] &&
        entry.block.storage == library::DrawingStorage::File) {
        // As listed: the user's disk is not asked again.
        entry.FileSize = static_cast<qint64>(entry.block.size);
        entry.FileDate = QDateTime::fromMSecsSinceEpoch(entry.block.modified / 1000000);
        itemInfoRead_[static_cast<size_t>(index)] = true;
    }
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

QString ThumbnailModel::failureText(int index) const {
    return isThumbnailFailed(index) ? failureTexts_[static_cast<size_t>(index)] : QString();
}

void ThumbnailModel::setFavourite(int index, bool favourite) {
    if (index < 0 || index >= count() || favourites_[static_cast<size_t>(index)] == favourite)
        return;
    favourites_[static_cast<size_t>(index)] = favourite;
    const QModelIndex changed = this->index(index);
    emit dataChanged(changed, changed, {int(FavouriteRole)});
}

bool ThumbnailModel::isFavourite(int index) const {
    return index >= 0 && index < count() && favourites_[static_cast<size_t>(index)];
}

void ThumbnailModel::setLayout(const library::Layout& layout) {
    loader_->setLayout(layout);
}

void ThumbnailModel::keepAllPictures(const std::filesystem::path& tidyFolder) {
    std::vector<library::Block> blocks;
    for (const ThumbnailItem& item : items_)
        if (item.block.storage == library::DrawingStorage::File) blocks.push_back(item.block);
    loader_->setBackground(std::move(blocks), tidyFolder);
}

std::pair<int, int> ThumbnailModel::keptPictures() const {
    return loader_->backgroundProgress();
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
        requests.push_back({generation_, *index, items_[static_cast<size_t>(*index)].block,
                            target, devicePixelRatio});
    }
    std::reverse(requests.begin(), requests.end());
    loader_->setRequests(std::move(requests));
}

ThumbnailModel::DecodeStats ThumbnailModel::decodeStats() const {
    return {loader_->decodedCount(), loader_->decodedOnUiThreadCount(), loader_->failedCount(),
            loader_->drawnCount()};
}

void ThumbnailModel::onImageDecoded(quint64 generation, int index, const QImage& image,
                                    const QSize& target, const QString& failure) {
    if (generation != generation_ || index < 0 || index >= count()) return;
    // An image the cache cannot take would be asked for again on every
    // paint: it counts as failed instead.
    const bool cached = !image.isNull() && cache_->insert(index, image, target);
    if (!cached) {
        failed_[static_cast<size_t>(index)] = true;
        failureTexts_[static_cast<size_t>(index)] = failure;
    }
    const QModelIndex changed = this->index(index);
    emit dataChanged(changed, changed, {cached ? Qt::DecorationRole : int(FailedRole)});
    if (cached) emit thumbnailLoaded(index);
}

}  // namespace browser
