#include "ThumbnailLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QThread>
#include <fstream>

#include "DrawingThumbnail.h"
#include "library/ThumbnailStore.h"

namespace browser {

namespace {

// A thumbnail larger than this is refused rather than decoded: a hostile or
// broken file must not make two workers each hold hundreds of megabytes.
constexpr qint64 kMaxSourcePixels = 4096LL * 4096LL;
constexpr std::uintmax_t kMaxFileBytes = 32 * 1024 * 1024;

const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

// The tiles' texts for a drawing without a picture.
QString unreadableText() {
    return QStringLiteral("Desenho ilegível");
}
QString unreachableText() {
    return QStringLiteral("Arquivo inacessível");
}

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

QImage fitted(const QImage& image, const QSize& target) {
    if (image.width() <= target.width() && image.height() <= target.height()) return image;
    return image.scaled(image.size().scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)),
                        Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::string pngOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return {};
    return bytes.toStdString();
}

}  // namespace

ThumbnailLoader::ThumbnailLoader(int threadCount) : maxWorkers_(qMax(1, threadCount)) {
    pool_.setMaxThreadCount(maxWorkers_);
    // Every core makes pictures, and the window still comes first.
    pool_.setThreadPriority(QThread::LowPriority);
}

ThumbnailLoader::~ThumbnailLoader() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
        background_.clear();
    }
    pool_.waitForDone();
}

void ThumbnailLoader::setLayout(const library::Layout& layout) {
    std::lock_guard lock(mutex_);
    layout_ = layout;
}

void ThumbnailLoader::setRequests(std::vector<Request> requests) {
    std::lock_guard lock(mutex_);
    queue_.clear();
    for (auto& request : requests) {
        if (inFlight_.count({request.generation, request.index}) == 0)
            queue_.push_back(std::move(request));
    }
    startWorkers();
}

void ThumbnailLoader::setBackground(std::vector<library::Block> blocks,
                                    std::filesystem::path tidyFolder) {
    std::lock_guard lock(mutex_);
    background_ = std::move(blocks);
    backgroundNext_ = 0;
    backgroundDone_ = 0;
    ++backgroundGeneration_;
    tidyFolder_ = std::move(tidyFolder);
    startWorkers();
}

std::pair<int, int> ThumbnailLoader::backgroundProgress() const {
    std::lock_guard lock(mutex_);
    return {backgroundDone_, static_cast<int>(background_.size())};
}

void ThumbnailLoader::startWorkers() {
    const std::size_t waiting = queue_.size() + (background_.size() - backgroundNext_) +
                                (tidyFolder_.empty() ? 0 : 1);
    while (activeWorkers_ < maxWorkers_ && static_cast<size_t>(activeWorkers_) < waiting) {
        ++activeWorkers_;
        pool_.start([this] { work(); });
    }
}

void ThumbnailLoader::work() {
    for (;;) {
        std::optional<Request> request;
        std::optional<library::Block> background;
        std::uint64_t backgroundGeneration = 0;
        std::vector<library::Block> tidyKeeping;
        std::filesystem::path tidyFolder;
        std::optional<library::Layout> layout;
        {
            std::lock_guard lock(mutex_);
            layout = layout_;
            if (stopping_) {
                --activeWorkers_;
                return;
            }
            if (!queue_.empty()) {
                request = std::move(queue_.front());
                queue_.pop_front();
                inFlight_.insert({request->generation, request->index});
            } else if (backgroundNext_ < background_.size()) {
                background = background_[backgroundNext_++];
                backgroundGeneration = backgroundGeneration_;
            } else if (!tidyFolder_.empty() && backgroundDone_ == static_cast<int>(background_.size())) {
                tidyFolder = std::exchange(tidyFolder_, {});
                tidyKeeping = background_;
            } else {
                --activeWorkers_;
                return;
            }
        }
        if (request) {
            Made made = decode(request->block, request->target);
            if (!made.image.isNull()) made.image.setDevicePixelRatio(request->devicePixelRatio);
            emit decoded(request->generation, request->index, made.image, request->target,
                         made.failure);
            // Still in flight until the image has reached the grid: posted after
            // the signal, this runs right after the grid took it, so that a request
            // made meanwhile does not decode the same file a second time.
            QMetaObject::invokeMethod(
                this,
                [this, key = std::make_pair(request->generation, request->index)] {
                    std::lock_guard lock(mutex_);
                    inFlight_.erase(key);
                },
                Qt::QueuedConnection);
        } else if (background) {
            if (layout) filePicture(*background, kKeptSize);
            std::lock_guard lock(mutex_);
            if (backgroundGeneration == backgroundGeneration_) ++backgroundDone_;
        } else if (layout) {
            library::ThumbnailStore(*layout, tidyFolder).tidy(tidyKeeping);
        }
    }
}

ThumbnailLoader::Made ThumbnailLoader::decode(const library::Block& block, const QSize& target) {
    ++decoded_;
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) ++decodedOnUiThread_;
    Made made;
    if (target.isEmpty()) {
        ++failed_;
        return made;
    }
    if (block.storage == library::DrawingStorage::File) {
        made = filePicture(block, target);
    } else {
        if (!block.thumbnail.empty()) made.image = readPng(block.thumbnail, target);
        // Without a thumbnail the block's own drawing gives the picture.
        if (made.image.isNull()) {
            made.image = drawingThumbnail(block, target);
            if (!made.image.isNull()) ++drawn_;
        }
    }
    if (made.image.isNull()) ++failed_;
    return made;
}

ThumbnailLoader::Made ThumbnailLoader::filePicture(const library::Block& block,
                                                   const QSize& target) {
    std::optional<library::Layout> layout;
    {
        std::unique_lock lock(mutex_);
        made_.wait(lock, [&] { return making_.count(block.drawing) == 0; });
        layout = layout_;
    }
    std::optional<library::ThumbnailStore> store;
    if (layout) store.emplace(*layout, block.ref.folder);
    if (store) {
        if (const auto kept = store->find(block)) {
            if (kept->failed) return {{}, unreadableText()};
            const QImage image = decodePng(QByteArray::fromStdString(kept->bytes), target);
            if (!image.isNull()) return {image, {}};
            // Not a picture after all: made again below.
        }
    }
    {
        std::unique_lock lock(mutex_);
        // Taken up by another worker meanwhile: its picture is the one kept.
        if (making_.count(block.drawing) != 0) {
            lock.unlock();
            return filePicture(block, target);
        }
        making_.insert(block.drawing);
    }
    struct Release {
        ThumbnailLoader& loader;
        const std::filesystem::path& drawing;
        ~Release() {
            {
                std::lock_guard lock(loader.mutex_);
                loader.making_.erase(drawing);
            }
            loader.made_.notify_all();
        }
    } done{*this, block.drawing};
    std::vector<std::uint8_t> bytes;
    try {
        bytes = library::readBlockDrawing(block);
    } catch (const library::DrawingUnavailable& error) {
        // A drawing out of reach now may be read next time; one that is no
        // drawing stays so until it changes.
        if (error.reason() == library::DrawingUnavailable::Reason::Unreachable)
            return {{}, unreachableText()};
        if (store) store->keep(block, {true, error.what()});
        return {{}, unreadableText()};
    }
    const DrawingPicture made = drawingPicture(bytes, kKeptSize);
    const QImage& picture = made.image;
    ++drawn_;
    if (picture.isNull()) {
        if (store) store->keep(block, {true, made.error.toStdString()});
        return {{}, unreadableText()};
    }
    if (store) store->keep(block, {false, pngOf(picture)});
    return {fitted(picture.convertToFormat(QImage::Format_RGB32), target), {}};
}

QImage ThumbnailLoader::readPng(const std::filesystem::path& path, const QSize& target) {
    return decodePng(readFile(path), target);
}

QImage ThumbnailLoader::decodePng(const QByteArray& source, const QSize& target) {
    if (target.isEmpty() || !source.startsWith(kPngSignature)) return {};
    QByteArray bytes = source;
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    const QSize original = reader.size();
    if (!original.isValid() || original.isEmpty()) return {};
    if (static_cast<qint64>(original.width()) * original.height() > kMaxSourcePixels) return {};
    // Shrunk to the tile while decoding, in whichever direction it is too
    // large (a 1-pixel-wide image can be far too tall); a small image is kept
    // as it is and scaled up when painted, which costs no memory.
    const QSize fittedSize = original.scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const bool tooLarge = original.width() > target.width() || original.height() > target.height();
    if (tooLarge) reader.setScaledSize(fittedSize);
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (image.width() > target.width() || image.height() > target.height())
        image = image.scaled(fittedSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

}  // namespace browser
