#include "search/Indexing.h"

#include <dwg/Reader.h>

#include <system_error>

#include "archive/MemberBytes.h"
#include "search/Words.h"

namespace search {

namespace fs = std::filesystem;

std::optional<CategoryEntries> readCategory(const fs::path& categoryFolder,
                                            const ReadProgress& progress) {
    CategoryEntries entries;
    entries.fingerprint = folderFingerprint(categoryFolder);
    const std::vector<fs::path> thumbnails = library::listBlocks(categoryFolder);
    const library::DrawingArchives archives(categoryFolder);
    entries.blocks.reserve(thumbnails.size());
    for (std::size_t i = 0; i < thumbnails.size(); ++i) {
        const fs::path drawingArchive = archives.of(thumbnails[i]);
        if (progress && !progress(drawingArchive, 100.0 * static_cast<double>(i) /
                                                      static_cast<double>(thumbnails.size())))
            return std::nullopt;
        BlockEntry entry;
        entry.thumbnail = thumbnails[i].filename();
        entry.nameWords = indexWords(library::pathToUtf8(library::blockName(entry.thumbnail)));
        try {
            const std::vector<std::uint8_t> bytes = archive::readMemberBytes(
                drawingArchive, "*.DWG", library::kArchivePassword, kMaxDrawingSize);
            DrawingSummary summary = summarize(dwg::read(bytes));
            entry.drawingWords = std::move(summary.words);
            entry.size = summary.size;
        } catch (const std::exception&) {
            // Missing, damaged or unreadable: the block is still found by its name.
        }
        entries.blocks.push_back(std::move(entry));
    }
    if (progress && !thumbnails.empty() && !progress(archives.of(thumbnails.back()), 100))
        return std::nullopt;
    return entries;
}

bool indexStagedCategory(const library::Layout& layout, int category, const fs::path& stagedFolder,
                         const ReadProgress& progress) {
    const std::optional<CategoryEntries> entries = readCategory(stagedFolder, progress);
    if (!entries) return false;
    try {
        std::error_code error;
        const BlockIndex::Open mode = fs::exists(layout.searchIndexFile(), error)
                                          ? BlockIndex::Open::Existing
                                          : BlockIndex::Open::CheckOrRebuild;
        BlockIndex index(layout.searchIndexFile(), mode);
        index.writeCategory(category, *entries);
    } catch (const std::exception&) {
        // A damaged index: the next start-up rebuilds it and reads this category again.
    }
    return true;
}

BackgroundIndexer::BackgroundIndexer(library::Layout layout) : layout_(std::move(layout)) {}

BackgroundIndexer::~BackgroundIndexer() {
    stop_ = true;
    wait();
}

void BackgroundIndexer::setCategoryIndexed(std::function<void(int)> handler) {
    std::lock_guard lock(mutex_);
    categoryIndexed_ = std::move(handler);
}

void BackgroundIndexer::start() {
    std::lock_guard lock(mutex_);
    if (running_) {
        again_ = true;
        return;
    }
    if (thread_.joinable()) thread_.join();
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

void BackgroundIndexer::wait() {
    std::thread finishing;
    {
        std::lock_guard lock(mutex_);
        finishing = std::move(thread_);
    }
    if (finishing.joinable()) finishing.join();
}

IndexReport BackgroundIndexer::report() const {
    std::lock_guard lock(mutex_);
    return report_;
}

void BackgroundIndexer::run() {
    for (;;) {
        IndexReport report;
        // A write failed on an index that looked sound: it is made again, and
        // the categories read again into it.
        if (reportedPass(BlockIndex::Open::CheckOrRebuild, report) == IndexError::Reason::Damaged)
            reportedPass(BlockIndex::Open::Rebuild, report);
        std::lock_guard lock(mutex_);
        report_ = report;
        if (!again_ || stop_) {
            running_ = false;
            return;
        }
        again_ = false;
    }
}

std::optional<IndexError::Reason> BackgroundIndexer::reportedPass(BlockIndex::Open mode,
                                                                  IndexReport& report) {
    try {
        pass(mode, report);
        report.refused = false;
        report.problem.clear();
        return std::nullopt;
    } catch (const IndexError& error) {
        report.refused = error.reason() == IndexError::Reason::Refused;
        report.problem = error.what();
        return error.reason();
    } catch (const std::exception& error) {
        // The index cannot be written now (a full disk, a read-only folder):
        // searching finds what it holds, the next start tries again.
        report.problem = error.what();
        return IndexError::Reason::Unavailable;
    }
}

void BackgroundIndexer::pass(BlockIndex::Open mode, IndexReport& report) {
    std::error_code error;
    if (!fs::is_directory(layout_.libraryRoot(), error)) return;
    BlockIndex index(layout_.searchIndexFile(), mode);
    report.rebuilt = report.rebuilt || index.rebuilt();
    for (int category = 0; category < library::kCategoryCount && !stop_; ++category) {
        if (!layout_.isInstalled(category)) {
            if (index.fingerprint(category)) index.removeCategory(category);
            continue;
        }
        const fs::path folder = layout_.categoryFolder(category);
        if (index.fingerprint(category) == folderFingerprint(folder)) continue;
        const std::optional<CategoryEntries> entries =
            readCategory(folder, [this](const fs::path&, double) { return !stop_.load(); });
        if (!entries) return;
        // Installed anew while it was read: the installation wrote its part.
        if (folderFingerprint(folder) != entries->fingerprint) continue;
        index.writeCategory(category, *entries);
        std::function<void(int)> indexed;
        {
            std::lock_guard lock(mutex_);
            indexed = categoryIndexed_;
        }
        if (indexed) indexed(category);
    }
}

}  // namespace search
