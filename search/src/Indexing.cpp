#include "search/Indexing.h"

#include <dwg/Reader.h>

#include <algorithm>
#include <map>
#include <system_error>

#include "archive/MemberBytes.h"
#include "library/UserFolders.h"
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

namespace {

// A folder's drawing as the index first has it: found by its name.
BlockEntry nameEntry(const library::Block& block) {
    BlockEntry entry;
    entry.thumbnail = block.ref.item;
    entry.nameWords = indexWords(library::pathToUtf8(block.name()));
    entry.fileSize = block.size;
    entry.modified = block.modified;
    entry.drawingRead = false;
    return entry;
}

// The drawing's words into entry; false when the drawing is out of reach now
// and is to be read another time. A drawing that is no drawing counts as read:
// it is found by its name.
bool readDrawingWords(const library::Block& block, BlockEntry& entry) {
    try {
        const std::vector<std::uint8_t> bytes = library::readBlockDrawing(block, kMaxDrawingSize);
        DrawingSummary summary = summarize(dwg::read(bytes));
        entry.drawingWords = std::move(summary.words);
        entry.size = summary.size;
    } catch (const library::DrawingUnavailable& error) {
        if (error.reason() == library::DrawingUnavailable::Reason::Unreachable) return false;
    } catch (const std::exception&) {
        // Damaged or hostile: found by its name.
    }
    entry.drawingRead = true;
    return true;
}

}  // namespace

std::uint64_t listingFingerprint(const std::vector<library::Block>& blocks) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    const auto mix = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3ull;
        }
        hash ^= 0xFF;
        hash *= 0x100000001b3ull;
    };
    for (const library::Block& block : blocks) {
        const std::u8string item = block.ref.item.generic_u8string();
        mix(std::string_view(reinterpret_cast<const char*>(item.data()), item.size()));
        mix(std::to_string(block.size) + ' ' + std::to_string(block.modified));
    }
    return hash;
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
        tellIndexed(category);
    }
    indexFolders(index);
}

void BackgroundIndexer::tellIndexed(int category) {
    std::function<void(int)> indexed;
    {
        std::lock_guard lock(mutex_);
        indexed = categoryIndexed_;
    }
    if (indexed) indexed(category);
}

void BackgroundIndexer::indexFolders(BlockIndex& index) {
    const library::UserFolders listed(layout_);
    const std::vector<fs::path>& folders = listed.folders();
    for (const fs::path& indexed : index.folders())
        if (std::find(folders.begin(), folders.end(), indexed) == folders.end())
            index.removeFolder(indexed);
    for (const fs::path& folder : folders) {
        if (stop_) return;
        indexFolder(index, folder);
    }
}

void BackgroundIndexer::indexFolder(BlockIndex& index, const fs::path& folder) {
    const library::Listing listing =
        library::FolderSource(folder).list([this] { return stop_.load(); });
    // A folder out of reach keeps what its part has.
    if (stop_ || listing.unreachable) return;
    const std::uint64_t fingerprint = listingFingerprint(listing.blocks);
    if (index.fingerprint(folder) == fingerprint) return;
    std::map<fs::path, BlockEntry> known;
    for (BlockEntry& entry : index.folderEntries(folder))
        known.emplace(entry.thumbnail, std::move(entry));
    CategoryEntries entries;
    std::vector<std::size_t> unread;
    for (const library::Block& block : listing.blocks) {
        const auto found = known.find(block.ref.item);
        if (found != known.end() && found->second.fileSize == block.size &&
            found->second.modified == block.modified) {
            entries.blocks.push_back(found->second);
            entries.blocks.back().thumbnail = block.ref.item;
        } else {
            unread.push_back(entries.blocks.size());
            entries.blocks.push_back(nameEntry(block));
        }
    }
    bool allRead = true;
    std::size_t next = 0;
    do {
        const std::size_t end = std::min(next + kFolderBatch, unread.size());
        for (; next < end; ++next) {
            if (stop_) return;
            const std::size_t at = unread[next];
            allRead = readDrawingWords(listing.blocks[at], entries.blocks[at]) && allRead;
        }
        // Until every drawing is read, the part carries no fingerprint that
        // would let the next pass take it as done.
        entries.fingerprint = next == unread.size() && allRead ? fingerprint : 0;
        index.writeFolder(folder, entries);
        tellIndexed(-1);
    } while (next < unread.size());
}

}  // namespace search
