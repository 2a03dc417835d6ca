#include "ThumbnailLoader.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QThread>

namespace browser {

namespace {

// A thumbnail larger than this is refused rather than decoded: a hostile or
// broken file must not make two workers each hold hundreds of megabytes.
constexpr qint64 kMaxSourcePixels = 4096LL * 4096LL;

}  // namespace

ThumbnailLoader::ThumbnailLoader(int threadCount) : maxWorkers_(qMax(1, threadCount)) {
    pool_.setMaxThreadCount(maxWorkers_);
}

ThumbnailLoader::~ThumbnailLoader() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    pool_.waitForDone();
}

void ThumbnailLoader::setRequests(std::vector<Request> requests) {
    std::lock_guard lock(mutex_);
    queue_.clear();
    for (auto& request : requests) {
        if (inFlight_.count({request.generation, request.index}) == 0)
            queue_.push_back(std::move(request));
    }
    while (activeWorkers_ < maxWorkers_ && static_cast<size_t>(activeWorkers_) < queue_.size()) {
        ++activeWorkers_;
        pool_.start([this] { work(); });
    }
}

void ThumbnailLoader::work() {
    for (;;) {
        Request request;
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || queue_.empty()) {
                --activeWorkers_;
                return;
            }
            request = std::move(queue_.front());
            queue_.pop_front();
            inFlight_.insert({request.generation, request.index});
        }
        QImage image = decode(request.path, request.target);
        ++decoded_;
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            ++decodedOnUiThread_;
        if (image.isNull())
            ++failed_;
        else
            image.setDevicePixelRatio(request.devicePixelRatio);
        emit decoded(request.generation, request.index, image, request.target);
        std::lock_guard lock(mutex_);
        inFlight_.erase({request.generation, request.index});
    }
}

QImage ThumbnailLoader::decode(const QString& path, const QSize& target) {
    QImageReader reader(path);
    const QSize original = reader.size();
    if (!original.isValid() || original.isEmpty() || target.isEmpty()) return {};
    if (static_cast<qint64>(original.width()) * original.height() > kMaxSourcePixels) return {};
    // Shrink while decoding; a small image is kept as it is and scaled up
    // when painted, which costs no memory.
    const QSize fitted = original.scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (fitted.width() < original.width()) reader.setScaledSize(fitted);
    QImage image = reader.read();
    if (image.isNull()) return {};
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

}  // namespace browser
