#include "FolderWatcher.h"

#include <QFileSystemWatcher>
#include <QTimer>

#include "library/Library.h"
#include "platform/Watching.h"

namespace browser {

// The watch itself, on the watcher's thread.
class FolderWatch : public QObject {
    Q_OBJECT
  public:
    FolderWatch() {
        quiet_.setSingleShot(true);
        quiet_.setInterval(FolderWatcher::kQuietMs);
        connect(&quiet_, &QTimer::timeout, this, &FolderWatch::changed);
    }

    void watch(const QStringList& folders) {
        quiet_.stop();
        // Made here, on the watch's thread, where it is also destroyed: on
        // Windows it hooks into the event dispatcher of the thread that makes
        // it and unhooks from that of the thread that destroys it, so one made
        // on the user-interface thread would leave a dead hook behind there,
        // called at the next window message.
        if (!watcher_) {
            watcher_ = new QFileSystemWatcher(this);
            connect(watcher_, &QFileSystemWatcher::directoryChanged, &quiet_,
                    qOverload<>(&QTimer::start));
        }
        const QStringList watched = watcher_->directories();
        if (!watched.isEmpty()) watcher_->removePaths(watched);
        if (!folders.isEmpty()) watcher_->addPaths(folders);
    }

  signals:
    void changed();

  private:
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer quiet_{this};
};

FolderWatcher::FolderWatcher() : thread_(new QThread), watch_(new FolderWatch) {
    watch_->moveToThread(thread_);
    connect(thread_, &QThread::finished, watch_, &QObject::deleteLater);
    connect(watch_, &FolderWatch::changed, this, &FolderWatcher::changed, Qt::QueuedConnection);
    thread_->start();
}

FolderWatcher::~FolderWatcher() {
    disconnect(watch_, nullptr, this, nullptr);
    thread_->quit();
    // A watch stuck on a disk that does not answer is left behind, with its
    // thread, rather than holding up the end of the program.
    if (thread_->wait(5000)) delete thread_;
}

void FolderWatcher::watch(const std::vector<std::filesystem::path>& folders) {
    // Where a watch holds the folders above it, only the folder itself is
    // watched: the user must stay free to rename its sub-folders.
    const int most = platform::watchingHoldsParentFolders() ? 1 : kMaxWatched;
    QStringList names;
    for (const auto& folder : folders) {
        if (names.size() >= most) break;
        names << QString::fromStdString(library::pathToUtf8(folder));
    }
    QMetaObject::invokeMethod(watch_, [watch = watch_, names] { watch->watch(names); },
                              Qt::QueuedConnection);
}

}  // namespace browser

#include "FolderWatcher.moc"
