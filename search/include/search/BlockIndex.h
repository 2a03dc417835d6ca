// The search index of the library: one SQLite database (FTS5) in Blocos/ that
// holds, for every installed category, each block's name words, the words of
// its drawing and the drawing's size. It holds nothing but what the library's
// own files say; it can be deleted at any time and is then built again.
//
// Each category's part carries the fingerprint of the category folder it was
// read from (names, sizes and times of its files), so a category changed,
// installed by hand or installed before the index existed is read again.
//
// A connection belongs to one thread. Several connections, in several threads,
// may use the same file at once (the database is in WAL mode).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "library/Library.h"
#include "search/DrawingSummary.h"

struct sqlite3;

namespace search {

class IndexError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct BlockEntry {
    std::filesystem::path thumbnail;  // file name in IMG/, as on disk
    std::vector<std::string> nameWords;
    std::vector<std::string> drawingWords;
    std::optional<DrawingSize> size;
};

struct CategoryEntries {
    std::uint64_t fingerprint = 0;
    std::vector<BlockEntry> blocks;
};

struct Hit {
    int category = 0;
    std::filesystem::path thumbnail;

    bool operator==(const Hit&) const = default;
};

struct Found {
    std::vector<Hit> hits;
    std::size_t total = 0;  // all the blocks found, also those beyond the limit
};

// A first letter typed finds most of a large library: more blocks than this
// are counted, not listed.
inline constexpr std::size_t kMaxHits = 2000;

class BlockIndex {
  public:
    enum class Open {
        // Creates the file when missing; a file that is not a sound index of
        // this program's version is deleted and made again, empty.
        CheckOrRebuild,
        // Reads the file as it is; throws IndexError when it is missing or
        // not an index of this version.
        Existing,
    };

    BlockIndex(const std::filesystem::path& file, Open mode);
    BlockIndex(const BlockIndex&) = delete;
    BlockIndex& operator=(const BlockIndex&) = delete;
    ~BlockIndex();

    // True when opening found a damaged or foreign file and replaced it.
    bool rebuilt() const { return rebuilt_; }

    // The fingerprint the category's part was read from; nothing when the
    // category has no part.
    std::optional<std::uint64_t> fingerprint(int category);
    // Replaces the category's part in one transaction.
    void writeCategory(int category, const CategoryEntries& entries);
    void removeCategory(int category);

    // Blocks of the categories marked in `among` holding every word of the
    // query, the last one as a prefix: how many there are, and the first
    // `limit` of them by category, then by thumbnail name. A query without
    // words finds nothing.
    Found find(std::string_view query, const library::InstalledFlags& among,
               std::size_t limit = kMaxHits);
    std::optional<DrawingSize> drawingSize(int category, const std::filesystem::path& thumbnail);

  private:
    void openFile(bool create);
    void close();
    bool sound();
    void createSchema();
    void removeRows(int category);

    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    bool rebuilt_ = false;
};

// The fingerprint of a category folder as it is now: the names, sizes and
// modification times of the files in IMG/ and DWG/. Moving the folder keeps it.
std::uint64_t folderFingerprint(const std::filesystem::path& categoryFolder);

}  // namespace search
