#include "library/ThumbnailStore.h"

#include <platform/Files.h>
#include <platform/Listing.h>

#include <atomic>
#include <chrono>
#include <random>
#include <set>
#include <sstream>
#include <system_error>

#include "LineText.h"
#include "library/FolderTree.h"
#include "library/SmallFile.h"

namespace fs = std::filesystem;

namespace library {

namespace {

constexpr std::string_view kMagic = "TSMN1";
constexpr std::string_view kListingMagic = "TSLS1";
constexpr std::string_view kListingName = "lista";
constexpr std::string_view kPictureEnding = ".mini";
constexpr std::string_view kTemporaryEnding = ".novo";
constexpr std::size_t kKeyDigits = 16;
// A temporary file this old was left by a run that ended while writing it.
constexpr std::int64_t kAbandonedAfterNs = 3600LL * 1000000000LL;

std::string hexKey(std::string_view bytes) {
    // FNV-1a: a name, not a secret; the picture's own line tells a collision.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    static const char* const hex = "0123456789abcdef";
    std::string key(kKeyDigits, '0');
    for (std::size_t i = 0; i < kKeyDigits; ++i) key[kKeyDigits - 1 - i] = hex[(hash >> (4 * i)) & 15];
    return key;
}

// The line that names the drawing a picture is of.
std::string identity(const Block& block) {
    return detail::escapeWord(detail::genericUtf8(block.ref.item)) + ' ' +
           std::to_string(block.size) + ' ' + std::to_string(block.modified);
}

bool isKey(std::string_view text) {
    return text.size() == kKeyDigits &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The unique part of a temporary file's name: this run's and this write's.
std::string uniqueSuffix() {
    static const std::uint64_t run =
        (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    static std::atomic<std::uint64_t> writes{0};
    return std::to_string(run) + "-" + std::to_string(++writes);
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A folder of the store, made when missing; never a link or a file in its place.
bool ensureFolder(const fs::path& folder) {
    std::error_code error;
    platform::EntryKind kind = platform::entryKind(folder, error);
    if (error) return false;
    if (kind == platform::EntryKind::Missing) {
        platform::makeFolder(folder, error);
        // Another worker may have made it meanwhile.
        kind = platform::entryKind(folder, error);
    }
    return !error && kind == platform::EntryKind::Folder;
}

}  // namespace

ThumbnailStore::ThumbnailStore(const Layout& layout, const fs::path& folder)
    : folder_(folder),
      root_(layout.thumbnailCacheFolder()),
      place_(root_ / hexKey(pathToUtf8(folder.lexically_normal()))) {}

fs::path ThumbnailStore::fileOf(const Block& block) const {
    return place_ / (hexKey(identity(block)) + std::string(kPictureEnding));
}

bool ThumbnailStore::makePlace() const {
    return ensureFolder(root_) && ensureFolder(place_);
}

std::optional<ThumbnailStore::Picture> ThumbnailStore::find(const Block& block) const {
    const std::optional<std::string> bytes =
        readRegularFile(fileOf(block), kMaxPictureBytes + 8 * 1024);
    if (!bytes) return std::nullopt;
    const std::size_t lineEnd = bytes->find('\n');
    if (lineEnd == std::string::npos) return std::nullopt;
    const std::string expected = std::string(kMagic) + ' ' + identity(block) + ' ';
    const std::string_view line(bytes->data(), lineEnd);
    if (!line.starts_with(expected)) return std::nullopt;
    const std::string_view state = line.substr(expected.size());
    if (state != "ok" && state != "falha") return std::nullopt;
    Picture picture;
    picture.failed = state == "falha";
    picture.bytes = bytes->substr(lineEnd + 1);
    if (picture.bytes.size() > kMaxPictureBytes) return std::nullopt;
    return picture;
}

bool ThumbnailStore::keep(const Block& block, const Picture& picture) const {
    if (picture.bytes.size() > kMaxPictureBytes) return false;
    return replace(fileOf(block), std::string(kMagic) + ' ' + identity(block) + ' ' +
                                      (picture.failed ? "falha" : "ok") + '\n' + picture.bytes);
}

bool ThumbnailStore::keepListing(const std::vector<Block>& blocks) const {
    std::string text = std::string(kListingMagic) + '\n';
    for (const Block& block : blocks) text += identity(block) + '\n';
    return replace(place_ / std::string(kListingName), text);
}

std::vector<Block> ThumbnailStore::lastListing() const {
    std::vector<Block> blocks;
    // A line of a drawing is far below this on average.
    constexpr std::uint64_t kMaxBytes = kMaxFolderDrawings * 512;
    const std::optional<std::string> text =
        readRegularFile(place_ / std::string(kListingName), kMaxBytes);
    if (!text || !text->starts_with(std::string(kListingMagic) + '\n')) return blocks;
    std::size_t at = kListingMagic.size() + 1;
    while (at < text->size() && blocks.size() < kMaxFolderDrawings) {
        std::size_t end = text->find('\n', at);
        if (end == std::string::npos) break;  // torn
        std::istringstream line(text->substr(at, end - at));
        at = end + 1;
        std::string word;
        std::uint64_t size = 0;
        std::int64_t modified = 0;
        if (!(line >> word >> size >> modified)) continue;
        const std::optional<std::string> relative = detail::unescapeWord(word);
        if (!relative || relative->empty()) continue;
        Block block = folderBlock(folder_, pathFromUtf8(*relative), size, modified);
        if (isSoundRef(block.ref)) blocks.push_back(std::move(block));
    }
    return blocks;
}

bool ThumbnailStore::replace(const fs::path& file, const std::string& text) const {
    if (!makePlace()) return false;
    fs::path temporary = file;
    temporary += "." + uniqueSuffix() + std::string(kTemporaryEnding);
    std::error_code error;
    {
        platform::File output = platform::File::createNew(temporary, error);
        if (!output.isOpen()) return false;
        const bool written = output.writeAll(text.data(), text.size(), error);
        if (!output.close(error) || !written) {
            platform::removeFile(temporary, error);
            return false;
        }
    }
    platform::renameReplacing(temporary, file, error);
    if (error) {
        platform::removeFile(temporary, error);
        return false;
    }
    return true;
}

void ThumbnailStore::tidy(const std::vector<Block>& current) const {
    std::set<std::string> wanted;
    for (const Block& block : current) wanted.insert(pathToUtf8(fileOf(block).filename()));
    std::error_code error;
    const std::vector<platform::ListedEntry> entries =
        platform::listFolder(place_, 4 * kMaxFolderDrawings, error);
    if (error) return;
    const std::int64_t now = nowNs();
    for (const platform::ListedEntry& entry : entries) {
        if (entry.kind != platform::EntryKind::File) continue;
        const std::string name = pathToUtf8(entry.name);
        const bool picture = name.size() == kKeyDigits + kPictureEnding.size() &&
                             name.ends_with(kPictureEnding) &&
                             isKey(std::string_view(name).substr(0, kKeyDigits));
        const bool ours = isKey(std::string_view(name).substr(0, kKeyDigits)) ||
                          name.starts_with(std::string(kListingName) + ".");
        const bool abandoned = name.ends_with(kTemporaryEnding) && name.size() > kKeyDigits && ours &&
                               now - entry.modified > kAbandonedAfterNs;
        if ((picture && wanted.count(name) == 0) || abandoned)
            platform::removeFile(place_ / entry.name, error);
    }
}

void ThumbnailStore::removeAll() const {
    std::error_code error;
    if (platform::entryKind(place_, error) == platform::EntryKind::Missing) return;
    try {
        RemoveFolderTree(place_, root_);
    } catch (const fs::filesystem_error&) {
        // What could not be removed is nobody's: a later removal takes it.
    }
}

KeptFolderSource::KeptFolderSource(const Layout& layout, fs::path folder)
    : layout_(layout), folder_(std::move(folder)) {}

Listing KeptFolderSource::list(const std::function<bool()>& stop) const {
    Listing listing = FolderSource(folder_).list(stop);
    if (listing.problem.empty() && !listing.unreachable && !(stop && stop()))
        ThumbnailStore(layout_, folder_).keepListing(listing.blocks);
    return listing;
}

}  // namespace library
