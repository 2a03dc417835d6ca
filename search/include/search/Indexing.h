// Reading a category or a folder of the user's for the index, and keeping the
// index in step with the library: at installation, for the category being
// installed, and in the background at start-up and whenever the folders
// change, for categories installed before or by hand and for the folders.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "library/BlockSource.h"
#include "library/Library.h"
#include "search/BlockIndex.h"

namespace search {

// A drawing archive larger than this is not looked into; its block is still
// found by name.
inline constexpr std::uint64_t kMaxDrawingSize = 64ull << 20;

// Told before each block is read, with its drawing archive and the share of
// the category done, and once more with 100 after the last; returning false
// stops the reading.
using ReadProgress = std::function<bool(const std::filesystem::path& archive, double percent)>;

// Every block of the category folder with its name words and, when its drawing
// can be read, the drawing's words and size; each drawing is read once. A
// block whose archive is missing or damaged is kept with its name only.
// Nothing when progress asked to stop.
std::optional<CategoryEntries> readCategory(const std::filesystem::path& categoryFolder,
                                            const ReadProgress& progress = {});

// The installation's step: the category staged in stagedFolder gets its part
// of the index before it takes its place, so that it arrives indexed. False
// when progress asked to stop. An index that cannot be written is left to the
// next start-up, which reads the category again.
bool indexStagedCategory(const library::Layout& layout, int category,
                         const std::filesystem::path& stagedFolder, const ReadProgress& progress);

// The fingerprint of a folder of the user's as a listing found it: the paths,
// sizes and times of its drawings.
std::uint64_t listingFingerprint(const std::vector<library::Block>& blocks);

// A folder's drawings are read into its part this many at a time: a large
// folder is found by its drawings' names at once, and by their words as
// they are read.
inline constexpr std::size_t kFolderBatch = 250;

// What a pass of the background indexer did to the index file.
struct IndexReport {
    bool rebuilt = false;  // it was damaged, or failed a write, and was made again
    bool refused = false;  // it is not ours to write (a link, another program's database)
    std::string problem;   // why it was refused or could not be written; empty when it was
};

// Brings the index in step with the library on a thread of its own: a damaged
// index is rebuilt, categories whose folder changed since their part was
// written are read again, parts of categories no longer installed go; then
// the same for the user's folders (tessaly.pastas), whose drawings unchanged
// since they were read keep their words; a folder out of reach now keeps its
// part. An index that fails a write is rebuilt and the pass run once more.
// Runs once per start(); a start() while running runs the pass again after it.
class BackgroundIndexer {
  public:
    explicit BackgroundIndexer(library::Layout layout);
    BackgroundIndexer(const BackgroundIndexer&) = delete;
    BackgroundIndexer& operator=(const BackgroundIndexer&) = delete;
    // Stops at the next block and waits for the thread.
    ~BackgroundIndexer();

    // Called on the indexer's thread after a category's part was written
    // (-1 for a folder's).
    void setCategoryIndexed(std::function<void(int category)> handler);
    void start();
    bool running() const { return running_; }
    // Waits until the pass ends; for tools and tests.
    void wait();
    // The last pass's; nothing done before the first pass ends.
    IndexReport report() const;

  private:
    void run();
    // The pass's failure, if any, noted in report.
    std::optional<IndexError::Reason> reportedPass(BlockIndex::Open mode, IndexReport& report);
    void pass(BlockIndex::Open mode, IndexReport& report);
    void indexFolders(BlockIndex& index);
    void indexFolder(BlockIndex& index, const std::filesystem::path& folder);
    void tellIndexed(int category);

    library::Layout layout_;
    std::function<void(int)> categoryIndexed_;
    IndexReport report_;
    mutable std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> again_{false};
    std::atomic<bool> stop_{false};
};

}  // namespace search
