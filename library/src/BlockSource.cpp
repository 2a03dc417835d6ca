#include "library/BlockSource.h"

#include <archive/MemberBytes.h>
#include <platform/Files.h>
#include <platform/Listing.h>

#include <algorithm>
#include <map>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace library {

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isDrawingName(const fs::path& name) {
    const std::string text = pathToUtf8(name);
    constexpr std::string_view kEnding = ".dwg";
    if (text.size() <= kEnding.size()) return false;
    return std::equal(kEnding.begin(), kEnding.end(), text.end() - kEnding.size(),
                      [](char ending, char c) { return ending == asciiLower(c); });
}

// Folder by folder, letter case ignored, then byte by byte so that the order
// is total.
bool shownBefore(const fs::path& a, const fs::path& b) {
    auto at = a.begin();
    auto bt = b.begin();
    for (; at != a.end() && bt != b.end(); ++at, ++bt) {
        const std::string x = pathToUtf8(*at);
        const std::string y = pathToUtf8(*bt);
        const auto folded = std::lexicographical_compare_three_way(
            x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
                return static_cast<unsigned char>(asciiLower(p)) <=>
                       static_cast<unsigned char>(asciiLower(q));
            });
        if (folded != 0) return folded < 0;
        if (x != y) return x < y;
    }
    return at == a.end() && bt != b.end();
}

}  // namespace

Block folderBlock(const fs::path& folder, const fs::path& relative, std::uint64_t size,
                  std::int64_t modified) {
    Block block;
    block.ref = {BlockRef::Origin::Folder, -1, folder, relative};
    block.drawing = folder / relative;
    block.storage = DrawingStorage::File;
    block.size = size;
    block.modified = modified;
    return block;
}

namespace {

Block archiveBlock(int category, const fs::path& thumbnail, const DrawingArchives& archives) {
    Block block;
    block.ref = {BlockRef::Origin::Category, category, {}, thumbnail.filename()};
    block.thumbnail = thumbnail;
    block.drawing = archives.of(thumbnail);
    block.storage = DrawingStorage::Archive;
    return block;
}

int categoryNamed(const fs::path& folderName) {
    for (int n = 0; n < kCategoryCount; ++n)
        if (folderName == fs::path(std::to_string(n))) return n;
    return -1;
}

std::string systemMessage(const std::error_code& error) {
    return error.message();
}

}  // namespace

bool isSoundRef(const BlockRef& ref) {
    const auto plainPart = [](const fs::path& part) {
        const std::string text = pathToUtf8(part);
        return !text.empty() && text != "." && text != ".." &&
               text.find('\0') == std::string::npos;
    };
    if (ref.origin == BlockRef::Origin::Category)
        return ref.category >= 0 && ref.category < kCategoryCount && ref.folder.empty() &&
               ref.item.filename() == ref.item && plainPart(ref.item) &&
               !ref.item.has_root_path();
    if (!ref.folder.is_absolute() || ref.item.empty() || ref.item.has_root_path() ||
        ref.category != -1)
        return false;
    return std::all_of(ref.item.begin(), ref.item.end(), plainPart);
}

fs::path Block::name() const {
    return blockName(shownFile());
}

Block categoryBlockOf(const fs::path& thumbnail) {
    const fs::path categoryFolder = thumbnail.parent_path().parent_path();
    Block block;
    block.ref = {BlockRef::Origin::Category, categoryNamed(categoryFolder.filename()), {},
                 thumbnail.filename()};
    block.thumbnail = thumbnail;
    block.drawing = drawingArchivePath(categoryFolder, thumbnail);
    return block;
}

std::vector<std::uint8_t> readBlockDrawing(const Block& block, std::uint64_t maxBytes) {
    using Reason = DrawingUnavailable::Reason;
    const std::string shown = pathToUtf8(block.drawing);
    std::error_code error;
    if (block.storage == DrawingStorage::Archive) {
        try {
            return archive::readMemberBytes(block.drawing, "*.DWG", kArchivePassword, maxBytes);
        } catch (const archive::ZipError& zipError) {
            if (!fs::is_regular_file(block.drawing, error))
                throw DrawingUnavailable(Reason::Unreachable,
                                         "o arquivo do desenho não foi encontrado: " + shown);
            throw DrawingUnavailable(Reason::Unusable, zipError.what());
        }
    }
    platform::File file = platform::File::openForReading(block.drawing, error, platform::Follow::No);
    if (!file.isOpen()) {
        const bool notAFile = error == std::errc::too_many_symbolic_link_levels ||
                              error == std::errc::is_a_directory ||
                              error == std::errc::invalid_argument;
        throw DrawingUnavailable(notAFile ? Reason::Unusable : Reason::Unreachable,
                                 "não foi possível abrir o desenho " + shown + " (" +
                                     systemMessage(error) + ")");
    }
    const std::uint64_t size = file.size(error);
    if (error)
        throw DrawingUnavailable(Reason::Unreachable, "não foi possível ler o desenho " + shown);
    if (size > maxBytes)
        throw DrawingUnavailable(Reason::Unusable, "o desenho é grande demais: " + shown);
    // One byte more than its size tells a file that grew while it was read.
    const std::string bytes = file.readUpTo(static_cast<std::size_t>(size) + 1, error);
    if (error)
        throw DrawingUnavailable(Reason::Unreachable, "não foi possível ler o desenho " + shown +
                                                          " (" + systemMessage(error) + ")");
    if (bytes.size() != size)
        throw DrawingUnavailable(Reason::Unreachable,
                                 "o desenho mudou enquanto era lido: " + shown);
    return {bytes.begin(), bytes.end()};
}

CategorySource::CategorySource(fs::path categoryFolder) : folder_(std::move(categoryFolder)) {}

Listing CategorySource::list(const std::function<bool()>&) const {
    Listing listing;
    const int category = categoryNamed(folder_.filename());
    const DrawingArchives archives(folder_);
    for (const fs::path& thumbnail : listBlocks(folder_))
        listing.blocks.push_back(archiveBlock(category, thumbnail, archives));
    return listing;
}

FolderSource::FolderSource(fs::path folder) : folder_(std::move(folder)) {}

Listing FolderSource::list(const std::function<bool()>& stop) const {
    Listing listing;
    struct Pending {
        fs::path relative;
        int depth;
    };
    std::vector<Pending> pending{{fs::path(), 0}};
    std::size_t entriesSeen = 0;
    bool someUnread = false;
    bool tooMany = false;
    bool tooDeep = false;
    while (!pending.empty() && !tooMany) {
        if (stop && stop()) break;
        const Pending at = std::move(pending.back());
        pending.pop_back();
        const bool isRoot = at.relative.empty();
        std::error_code error;
        // The folder the user chose may be a link to where his drawings are.
        const std::vector<platform::ListedEntry> entries =
            platform::listFolder(isRoot ? folder_ : folder_ / at.relative,
                                 kMaxFolderEntries - entriesSeen, error,
                                 isRoot ? platform::Follow::Yes : platform::Follow::No);
        if (error == std::errc::value_too_large) {
            tooMany = true;
        } else if (error) {
            if (isRoot) {
                listing.unreachable = true;
                listing.problem = "a pasta não pôde ser lida (" + systemMessage(error) + ")";
                return listing;
            }
            someUnread = true;
            continue;
        }
        entriesSeen += entries.size();
        for (const platform::ListedEntry& entry : entries) {
            const fs::path relative = at.relative / entry.name;
            if (entry.kind == platform::EntryKind::Folder) {
                if (at.depth + 1 < kMaxFolderDepth)
                    pending.push_back({relative, at.depth + 1});
                else
                    tooDeep = true;
            } else if (entry.kind == platform::EntryKind::File && isDrawingName(entry.name)) {
                if (listing.blocks.size() == kMaxFolderDrawings) {
                    tooMany = true;
                    break;
                }
                listing.blocks.push_back(folderBlock(folder_, relative, entry.size, entry.modified));
            }
        }
    }
    std::sort(listing.blocks.begin(), listing.blocks.end(),
              [](const Block& a, const Block& b) { return shownBefore(a.ref.item, b.ref.item); });
    if (tooMany)
        listing.problem = "a pasta tem arquivos demais: só parte dos desenhos foi listada";
    else if (tooDeep)
        listing.problem = "a pasta tem sub-pastas demais, umas dentro das outras: as mais "
                          "fundas não foram lidas";
    else if (someUnread)
        listing.problem = "algumas sub-pastas não puderam ser lidas";
    return listing;
}

ChosenBlocks::ChosenBlocks(Layout layout, std::vector<fs::path> folders, std::vector<BlockRef> refs)
    : layout_(std::move(layout)), folders_(std::move(folders)), refs_(std::move(refs)) {}

Listing ChosenBlocks::list(const std::function<bool()>& stop) const {
    Listing listing;
    std::map<int, DrawingArchives> archives;  // read once per category
    std::map<fs::path, bool> reachable;       // looked at once per folder
    for (const BlockRef& ref : refs_) {
        if (stop && stop()) break;
        std::error_code error;
        if (ref.origin == BlockRef::Origin::Category) {
            if (ref.category < 0 || ref.category >= kCategoryCount ||
                !layout_.isInstalled(ref.category)) {
                listing.gone.push_back(ref);
                continue;
            }
            const fs::path folder = layout_.categoryFolder(ref.category);
            auto found = archives.find(ref.category);
            if (found == archives.end())
                found = archives.emplace(ref.category, DrawingArchives(folder)).first;
            const Block block = archiveBlock(ref.category, imgFolder(folder) / ref.item,
                                             found->second);
            if (fs::is_regular_file(block.thumbnail, error) ||
                fs::is_regular_file(block.drawing, error))
                listing.blocks.push_back(block);
            else
                listing.gone.push_back(ref);
            continue;
        }
        if (std::find(folders_.begin(), folders_.end(), ref.folder) == folders_.end()) {
            listing.gone.push_back(ref);
            continue;
        }
        auto known = reachable.find(ref.folder);
        if (known == reachable.end())
            known = reachable.emplace(ref.folder, fs::is_directory(ref.folder, error)).first;
        if (!known->second) {
            listing.problem = "uma das pastas não pôde ser lida agora";
            continue;
        }
        const platform::ListedEntry entry = platform::entryInfo(ref.folder / ref.item, error);
        if (error) {
            listing.problem = "um dos desenhos não pôde ser lido agora";
            continue;
        }
        if (entry.kind == platform::EntryKind::File && isDrawingName(ref.item.filename()))
            listing.blocks.push_back(folderBlock(ref.folder, ref.item, entry.size, entry.modified));
        else
            listing.gone.push_back(ref);
    }
    return listing;
}

}  // namespace library
