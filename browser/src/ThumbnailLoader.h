// Decodes thumbnails on worker threads. The grid hands over the list of
// images it wants, most wanted first; a new list replaces the old one, so
// images that scrolled out of view before their turn are never decoded.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>
#include <atomic>
#include <deque>
#include <filesystem>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace browser {

class ThumbnailLoader : public QObject {
    Q_OBJECT

  public:
    struct Request {
        quint64 generation = 0;
        int index = 0;
        std::filesystem::path path;
        QSize target;  // device pixels the image must fit in
        qreal devicePixelRatio = 1.0;
    };

    explicit ThumbnailLoader(int threadCount);
    ~ThumbnailLoader() override;

    // Replaces every queued request; requests already being decoded, or
    // decoded and on their way to the grid, finish and are not queued again.
    void setRequests(std::vector<Request> requests);

    int decodedCount() const { return decoded_.load(); }
    int decodedOnUiThreadCount() const { return decodedOnUiThread_.load(); }
    int failedCount() const { return failed_.load(); }

    // Reads a PNG file's image scaled to fit target, keeping its aspect; when
    // the file is missing, no PNG or cannot be decoded, the picture its
    // block's drawing gives (drawingThumbnail()), and a null image when that
    // fails too. Every decode, from any caller, is counted, by the thread it
    // ran on.
    QImage decode(const std::filesystem::path& path, const QSize& target);

  signals:
    // Sent from a worker thread; a null image means the block has no picture.
    void decoded(quint64 generation, int index, const QImage& image, const QSize& target);

  private:
    void work();
    static QImage decodePng(const std::filesystem::path& path, const QSize& target);

    QThreadPool pool_;
    std::mutex mutex_;
    std::deque<Request> queue_;
    std::set<std::pair<quint64, int>> inFlight_;
    int activeWorkers_ = 0;
    int maxWorkers_;
    bool stopping_ = false;
    std::atomic<int> decoded_{0};
    std::atomic<int> decodedOnUiThread_{0};
    std::atomic<int> failed_{0};
};

}  // namespace browser
