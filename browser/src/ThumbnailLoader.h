// Makes the tiles' pictures on worker threads, one worker per core. The grid
// hands over the pictures it wants, most wanted first; a new list replaces
// the old one, so pictures that scrolled out of view before their turn are
// never made. A publisher's block shows its thumbnail PNG (else a picture of
// its drawing); a user's drawing shows the picture kept for it beside the
// library, made from the drawing and kept the first time. When no tile waits,
// the workers make and keep the pictures of a folder's other drawings, so
// that the next visit finds them all.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "library/BlockSource.h"
#include "library/Library.h"

namespace browser {

class ThumbnailLoader : public QObject {
    Q_OBJECT

  public:
    struct Request {
        quint64 generation = 0;
        int index = 0;
        library::Block block;
        QSize target;  // device pixels the image must fit in
        qreal devicePixelRatio = 1.0;
    };

    // What became of a picture asked for.
    struct Made {
        QImage image;     // null when there is none
        QString failure;  // the tile's text then: why there is none
    };

    // The pictures of user's drawings are kept at most this large, and scaled
    // down for the tiles.
    static constexpr QSize kKeptSize{384, 272};

    explicit ThumbnailLoader(int threadCount);
    ~ThumbnailLoader() override;

    // Where the pictures of users' drawings are kept; none kept without it.
    void setLayout(const library::Layout& layout);

    // Replaces every queued request; requests already being decoded, or
    // decoded and on their way to the grid, finish and are not queued again.
    void setRequests(std::vector<Request> requests);
    // The drawings whose pictures are made and kept while no request waits,
    // replacing the ones given before; then, when tidyFolder is given, the
    // pictures kept of that folder's drawings not among them are removed.
    void setBackground(std::vector<library::Block> blocks, std::filesystem::path tidyFolder = {});
    // How many of the background's drawings have a kept picture by now, of how many.
    std::pair<int, int> backgroundProgress() const;

    int decodedCount() const { return decoded_.load(); }
    int decodedOnUiThreadCount() const { return decodedOnUiThread_.load(); }
    int failedCount() const { return failed_.load(); }
    // Pictures made from a drawing (not read from a PNG or the kept ones).
    int drawnCount() const { return drawn_.load(); }

    // The picture of block fitted to target. Every decode, from any caller,
    // is counted, by the thread it ran on.
    Made decode(const library::Block& block, const QSize& target);

  signals:
    // Sent from a worker thread; a null image means the block has no picture.
    void decoded(quint64 generation, int index, const QImage& image, const QSize& target,
                 const QString& failure);

  private:
    void startWorkers();
    void work();
    void keepBackgroundPicture(const library::Block& block);
    Made filePicture(const library::Block& block, const QSize& target);
    static QImage decodePng(const QByteArray& bytes, const QSize& target);
    static QImage readPng(const std::filesystem::path& path, const QSize& target);

    QThreadPool pool_;
    mutable std::mutex mutex_;
    // The user's drawings whose pictures a worker is making: another worker
    // wanting one waits for it and takes the picture kept, rather than
    // drawing it a second time.
    std::set<std::filesystem::path> making_;
    std::condition_variable made_;
    std::deque<Request> queue_;
    std::set<std::pair<quint64, int>> inFlight_;
    std::vector<library::Block> background_;
    std::size_t backgroundNext_ = 0;
    std::uint64_t backgroundGeneration_ = 0;
    int backgroundDone_ = 0;
    std::filesystem::path tidyFolder_;
    std::optional<library::Layout> layout_;
    int activeWorkers_ = 0;
    int maxWorkers_;
    bool stopping_ = false;
    std::atomic<int> decoded_{0};
    std::atomic<int> decodedOnUiThread_{0};
    std::atomic<int> failed_{0};
    std::atomic<int> drawn_{0};
};

}  // namespace browser
