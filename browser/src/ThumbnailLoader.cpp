#include "ThumbnailLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QThread>
#include <fstream>

#include "DrawingThumbnail.h"

namespace browser {

namespace {

// A thumbnail larger than this is refused rather than decoded: a hostile or
// broken file must not make two workers each hold hundreds of megabytes.
constexpr qint64 kMaxSourcePixels = 4096LL * 4096LL;
constexpr std::uintmax_t kMaxFileBytes = 32 * 1024 * 1024;

const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

// The file's bytes, read through its path as the file system gave it (Qt's
// own file names are text and lose bytes that are not UTF-8).
QByteArray readFile(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileBytes) return {};
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    std::ifstream in(path, std::ios::binary);
    if (!in.read(bytes.data(), bytes.size())) return {};
    return bytes;
}

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
        if (!image.isNull()) image.setDevicePixelRatio(request.devicePixelRatio);
        emit decoded(request.generation, request.index, image, request.target);
        // Still in flight until the image has reached the grid: posted after
        // the signal, this runs right after the grid took it, so that a request
        // made meanwhile does not decode the same file a second time.
        QMetaObject::invokeMethod(
            this,
            [this, key = std::make_pair(request.generation, request.index)] {
                std::lock_guard lock(mutex_);
                inFlight_.erase(key);
            },
            Qt::QueuedConnection);
    }
}

QImage ThumbnailLoader::decode(const std::filesystem::path& path, const QSize& target) {
    ++decoded_;
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) ++decodedOnUiThread_;
    QImage image = decodePng(path, target);
    // Without a thumbnail the block's own drawing gives the picture.
    if (image.isNull()) image = drawingThumbnail(path, target);
    if (image.isNull()) ++failed_;
    return image;
}

QImage ThumbnailLoader::decodePng(const std::filesystem::path& path, const QSize& target) {
    if (target.isEmpty()) return {};
    QByteArray bytes = readFile(path);
    if (!bytes.startsWith(kPngSignature)) return {};
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    const QSize original = reader.size();
    if (!original.isValid() || original.isEmpty()) return {};
    if (static_cast<qint64>(original.width()) * original.height() > kMaxSourcePixels) return {};
    // Shrunk to the tile while decoding, in whichever direction it is too
    // large (a 1-pixel-wide image can be far too tall); a small image is kept
    // as it is and scaled up when painted, which costs no memory.
    const QSize fitted = original.scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const bool tooLarge = original.width() > target.width() || original.height() > target.height();
    if (tooLarge) reader.setScaledSize(fitted);
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (image.width() > target.width() || image.height() > target.height())
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

}  // namespace browser
