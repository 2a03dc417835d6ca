// The decoded thumbnails kept for painting, by item, bounded in bytes; the
// least recently used go first. An image keeps the size it was decoded for,
// so that a tile resized meanwhile shows it scaled until its new decode
// arrives.
#pragma once

#include <QCache>
#include <QImage>
#include <QSize>
#include <vector>

namespace browser {

class ThumbnailCache {
  public:
    ThumbnailCache();

    // The item's image, whatever size it was decoded for; null when none is
    // held. Looking counts as a use.
    const QImage* image(int index) const;
    // An image is held for the item, decoded for exactly this size.
    bool holds(int index, const QSize& decodedFor) const;
    // False, and nothing kept, when the image is larger than the whole cache.
    bool insert(int index, const QImage& image, const QSize& decodedFor);
    // Room for this many tiles decoded for target, with a margin, so that
    // the tiles wanted never evict each other; never less than a floor.
    void makeRoomFor(qsizetype tiles, const QSize& target);
    void clear();
    // Items moved: the image of old item i is kept as item newIndexOf[i]'s,
    // or dropped where that is -1.
    void remap(const std::vector<int>& newIndexOf);

  private:
    struct Entry {
        QImage image;
        QSize decodedFor;  // device pixels the image was decoded to fit
    };
    QCache<int, Entry> entries_;
};

}  // namespace browser
