#include "ThumbnailCache.h"

#include <algorithm>

namespace browser {

namespace {

constexpr qsizetype kFloorBytes = 32 * 1024 * 1024;

}  // namespace

ThumbnailCache::ThumbnailCache() {
    entries_.setMaxCost(kFloorBytes);
}

const QImage* ThumbnailCache::image(int index) const {
    const Entry* entry = entries_.object(index);
    return entry ? &entry->image : nullptr;
}

bool ThumbnailCache::holds(int index, const QSize& decodedFor) const {
    const Entry* entry = entries_.object(index);
    return entry && entry->decodedFor == decodedFor;
}

bool ThumbnailCache::insert(int index, const QImage& image, const QSize& decodedFor) {
    return entries_.insert(index, new Entry{image, decodedFor}, image.sizeInBytes());
}

void ThumbnailCache::makeRoomFor(qsizetype tiles, const QSize& target) {
    const qsizetype tileBytes = static_cast<qsizetype>(target.width()) * target.height() * 4;
    entries_.setMaxCost(std::max(kFloorBytes, tileBytes * tiles * 3 / 2));
}

void ThumbnailCache::clear() {
    entries_.clear();
}

void ThumbnailCache::remap(const std::vector<int>& newIndexOf) {
    std::vector<std::pair<int, Entry*>> kept;
    for (const int old : entries_.keys()) {
        Entry* entry = entries_.take(old);
        const int moved = old >= 0 && static_cast<std::size_t>(old) < newIndexOf.size()
                              ? newIndexOf[static_cast<std::size_t>(old)]
                              : -1;
        if (moved < 0)
            delete entry;
        else
            kept.emplace_back(moved, entry);
    }
    for (const auto& [index, entry] : kept)
        entries_.insert(index, entry, entry->image.sizeInBytes());
}

}  // namespace browser
