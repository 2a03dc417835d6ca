// The blocks the user marked as favourites and the ones he used last (saved,
// dragged out or copied), each list kept in a file of its own beside the
// library: tessaly.favoritos and tessaly.recentes. A heading line, then one
// block a line: "categoria <n> <thumbnail>" or "pasta <folder> <path below
// it>", each name as one word (RunJournal's escapes), paths with "/" between
// their parts. The file is read as hostile: taken only as a regular file of
// bounded size; a line that names no block soundly, a block listed twice and
// blocks beyond the list's capacity are left out. Every change is written at
// once, through a temporary file and a rename.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "library/BlockSource.h"
#include "library/Library.h"

namespace library {

class BlockList {
  public:
    static constexpr std::size_t kMaxFavourites = 10'000;
    static constexpr std::size_t kMaxRecents = 50;

    // In the order marked.
    static BlockList favourites(const Layout& layout);
    // Newest first.
    static BlockList recents(const Layout& layout);

    const std::vector<BlockRef>& refs() const { return refs_; }
    bool contains(const BlockRef& ref) const;

    // Each returns false when the list could not be written; the change holds
    // for this run all the same. An unsound ref changes nothing.
    // At the end, unless listed already.
    bool add(const BlockRef& ref);
    // At the front, moved there when listed already; the oldest beyond the
    // capacity go.
    bool putFirst(const BlockRef& ref);
    bool remove(const BlockRef& ref);
    bool forget(const std::vector<BlockRef>& refs);

    // The text the file holds, and the list a text gives; for the tests too.
    std::string text() const;
    void readText(const std::string& text);

  private:
    BlockList(std::filesystem::path file, std::string heading, std::size_t capacity);
    bool save() const;

    std::filesystem::path file_;
    std::string heading_;
    std::size_t capacity_;
    std::vector<BlockRef> refs_;
};

}  // namespace library
