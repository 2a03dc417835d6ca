// The blocks the thumbnail grid shows, one row each, and the state of their
// thumbnails. The view says which items it wants to show, most wanted first;
// their images are decoded on worker threads into a cache bounded in bytes,
// and the view hears of each one that arrives (dataChanged).
#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QImage>
#include <QSize>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "library/BlockSource.h"
#include "library/Library.h"

namespace browser {

class ThumbnailCache;
class ThumbnailLoader;

// Paths as the file system gave them, so that a name that is not UTF-8 still
// opens; ui::displayName makes text of them for the user.
struct ThumbnailItem {
    // Full path of the thumbnail; a block installed without one keeps the
    // path it would have, and its tile shows the block's drawing. A user's
    // drawing has none: its own path stands here.
    std::filesystem::path Location;
    std::filesystem::path FileName;  // file name without folder
    qint64 FileSize = 0;
    QDateTime FileDate;
    library::Block block;
};

class ThumbnailModel : public QAbstractListModel {
    Q_OBJECT

  public:
    enum Role {
        // bool: the item's file gave no picture; it is not tried again until
        // the model is refilled.
        FailedRole = Qt::UserRole + 1,
        // QString: why a failed item has no picture, shown in its tile; empty
        // for a plain placeholder.
        FailureTextRole,
        // bool: the block is one of the user's favourites.
        FavouriteRole,
    };

    // What the loader has done so far; lets tests and benchmarks check that
    // no image was ever decoded on the user-interface thread, and that no
    // file is decoded again and again.
    struct DecodeStats {
        int decoded = 0;
        int decodedOnUiThread = 0;
        int failed = 0;
        int drawn = 0;  // made from a drawing rather than a picture file
    };

    explicit ThumbnailModel(QObject* parent = nullptr);
    ~ThumbnailModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the block's name. ToolTip: the hint set, or the name.
    // Decoration: the thumbnail (QImage) once decoded, at whatever size it
    // was decoded for. FailedRole as above.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Between these two, items are cleared and added without a signal each:
    // the views hear of one reset at the end.
    void beginUpdate();
    void endUpdate();
    bool isUpdating() const { return updateDepth_ > 0; }

    void clear();
    // The image is read only when a view asks for it.
    void addBlock(library::Block block);
    // A publisher's block by its thumbnail's path.
    void addItem(const std::filesystem::path& location);
    // The blocks of a source listed again: images of blocks that stayed as
    // they were are kept (for their new places), the others made anew. The
    // views hear of one reset.
    void replaceBlocks(const std::vector<library::Block>& blocks);
    int count() const { return static_cast<int>(items_.size()); }
    // Size and date are read from the file on the first call for an item, so
    // that filling a large category costs no file-system query per item; a
    // user's drawing has them from its listing, and its disk is never asked.
    const ThumbnailItem& item(int index) const;

    void setFavourite(int index, bool favourite);
    bool isFavourite(int index) const;

    // Where the pictures of users' drawings are kept, beside the library.
    void setLayout(const library::Layout& layout);
    // Makes and keeps the pictures of every user's drawing of the model while
    // no tile waits for one; then, when tidyFolder is given, removes the kept
    // pictures of its drawings that the model no longer holds.
    void keepAllPictures(const std::filesystem::path& tidyFolder = {});
    // How many of them are kept by now, of how many.
    std::pair<int, int> keptPictures() const;

    // The hint shown over an item; without one, the block's name.
    void setToolTipText(std::function<QString(int index)> text);

    const QImage* thumbnail(int index) const;
    // Decoded for exactly this size (device pixels).
    bool isThumbnailLoaded(int index, const QSize& target) const;
    bool isThumbnailFailed(int index) const;
    QString failureText(int index) const;
    // The items a view shows or soon will, most wanted first, their images
    // to be decoded to fit target; replaces the previous wish, so that items
    // that went out of view before their turn are never decoded.
    void requestThumbnails(const std::vector<int>& wanted, const QSize& target,
                           qreal devicePixelRatio);
    DecodeStats decodeStats() const;

  signals:
    // A decoded image has arrived for this item (user-interface thread).
    void thumbnailLoaded(int index);

  private:
    void dropItems();
    void onImageDecoded(quint64 generation, int index, const QImage& image, const QSize& target,
                        const QString& failure);
    void appendItem(library::Block block);

    mutable std::vector<ThumbnailItem> items_;
    mutable std::vector<bool> itemInfoRead_;
    std::vector<bool> failed_;
    std::vector<QString> failureTexts_;
    std::vector<bool> favourites_;
    std::function<QString(int)> toolTipText_;
    int updateDepth_ = 0;
    bool resetPending_ = false;  // items changed inside the bulk update
    // Images decoded for an earlier filling are dropped when they arrive.
    quint64 generation_ = 0;
    std::unique_ptr<ThumbnailCache> cache_;
    std::unique_ptr<ThumbnailLoader> loader_;
};

}  // namespace browser
