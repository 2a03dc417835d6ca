// Tells of changes in a folder of the user's while the grid shows it. The
// watch lives on a thread of its own, since setting one up asks the disk,
// which may not answer (a network share, a pulled-out stick). A burst of
// changes (a copy of many drawings) is told once, a short pause after the last.
#pragma once

#include <QObject>
#include <QThread>
#include <filesystem>
#include <vector>

namespace browser {

class FolderWatch;

class FolderWatcher : public QObject {
    Q_OBJECT
  public:
    // At most this many folders are watched; changes deeper in a larger tree
    // are seen with a rescan (F5).
    static constexpr int kMaxWatched = 256;
    static constexpr int kQuietMs = 400;

    FolderWatcher();
    ~FolderWatcher() override;

    // Watches these folders, and only these, from now on, the first of them
    // alone where watching holds the folders above (Windows); none stops watching.
    void watch(const std::vector<std::filesystem::path>& folders);

  signals:
    void changed();

  private:
    QThread* thread_;     // left running at the end when a disk holds it up
    FolderWatch* watch_;  // lives on thread_
};

}  // namespace browser
