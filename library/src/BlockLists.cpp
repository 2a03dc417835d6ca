#include "library/BlockLists.h"

#include <algorithm>
#include <sstream>

#include "LineText.h"
#include "library/SmallFile.h"

namespace fs = std::filesystem;

namespace library {

namespace {

constexpr std::uint64_t kMaxFileBytes = 8 << 20;
constexpr std::string_view kCategoryWord = "categoria";
constexpr std::string_view kFolderWord = "pasta";

std::string word(const fs::path& path) {
    return detail::escapeWord(detail::genericUtf8(path));
}

std::optional<fs::path> pathOf(const std::string& word) {
    const std::optional<std::string> text = detail::unescapeWord(word);
    if (!text || text->empty() || text->find('\0') != std::string::npos) return std::nullopt;
    return pathFromUtf8(*text);
}

std::optional<BlockRef> refOf(const std::string& line) {
    std::istringstream words(line);
    std::string kind, first, second, more;
    if (!(words >> kind >> first >> second) || (words >> more)) return std::nullopt;
    BlockRef ref;
    if (kind == kCategoryWord) {
        if (first.empty() || first.size() > 2 ||
            !std::all_of(first.begin(), first.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        ref.origin = BlockRef::Origin::Category;
        ref.category = std::stoi(first);
    } else if (kind == kFolderWord) {
        const std::optional<fs::path> folder = pathOf(first);
        if (!folder) return std::nullopt;
        ref.origin = BlockRef::Origin::Folder;
        ref.folder = *folder;
    } else {
        return std::nullopt;
    }
    const std::optional<fs::path> item = pathOf(second);
    if (!item) return std::nullopt;
    ref.item = *item;
    if (!isSoundRef(ref)) return std::nullopt;
    return ref;
}

}  // namespace

BlockList::BlockList(fs::path file, std::string heading, std::size_t capacity)
    : file_(std::move(file)), heading_(std::move(heading)), capacity_(capacity) {
    if (const std::optional<std::string> bytes = readRegularFile(file_, kMaxFileBytes))
        readText(*bytes);
}

BlockList BlockList::favourites(const Layout& layout) {
    return BlockList(layout.favouritesFile(), "tessaly-favoritos 1", kMaxFavourites);
}

BlockList BlockList::recents(const Layout& layout) {
    return BlockList(layout.recentsFile(), "tessaly-recentes 1", kMaxRecents);
}

bool BlockList::contains(const BlockRef& ref) const {
    return std::find(refs_.begin(), refs_.end(), ref) != refs_.end();
}

bool BlockList::add(const BlockRef& ref) {
    if (!isSoundRef(ref) || contains(ref)) return true;
    if (refs_.size() >= capacity_) return true;
    refs_.push_back(ref);
    return save();
}

bool BlockList::putFirst(const BlockRef& ref) {
    if (!isSoundRef(ref)) return true;
    std::erase(refs_, ref);
    refs_.insert(refs_.begin(), ref);
    if (refs_.size() > capacity_) refs_.resize(capacity_);
    return save();
}

bool BlockList::remove(const BlockRef& ref) {
    if (std::erase(refs_, ref) == 0) return true;
    return save();
}

bool BlockList::forget(const std::vector<BlockRef>& refs) {
    const std::size_t before = refs_.size();
    std::erase_if(refs_, [&refs](const BlockRef& listed) {
        return std::find(refs.begin(), refs.end(), listed) != refs.end();
    });
    return refs_.size() == before || save();
}

std::string BlockList::text() const {
    std::string text = heading_ + '\n';
    for (const BlockRef& ref : refs_) {
        if (ref.origin == BlockRef::Origin::Category)
            text += std::string(kCategoryWord) + ' ' + std::to_string(ref.category);
        else
            text += std::string(kFolderWord) + ' ' + word(ref.folder);
        text += ' ' + word(ref.item) + '\n';
    }
    return text;
}

void BlockList::readText(const std::string& text) {
    refs_.clear();
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != heading_) return;
    while (std::getline(lines, line) && refs_.size() < capacity_) {
        const std::optional<BlockRef> ref = refOf(line);
        if (ref && !contains(*ref)) refs_.push_back(*ref);
    }
}

bool BlockList::save() const {
    return writeFileDurably(file_, text());
}

}  // namespace library
