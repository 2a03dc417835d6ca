// The search index of the library: one SQLite database (FTS5) in Blocos/ that
// holds, for every installed category and every folder of the user's, each
// block's name words, the words of its drawing and the drawing's size. It
// holds nothing but what the library's own files and the user's drawings say;
// it can be deleted at any time and is then built again.
//
// Each part (a category, a folder) carries the fingerprint of the files it was
// read from (names, sizes and times), so a category changed, installed by hand
// or installed before the index existed, or a folder whose drawings changed,
// is read again.
//
// The file lies in the program's folder, where others may write: what it
// gives back is checked as it is read, and it is written only when it is ours.
//
// A connection belongs to one thread. Several connections, in several threads,
// may use the same file at once (the database is in WAL mode).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
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
    enum class Reason {
        // Missing, busy or on a disk that fails: nothing to mend.
        Unavailable,
        // Not as this program writes it: to be made again from the library.
        Damaged,
        // Not ours to touch: a link or another program's database. Left as it is.
        Refused,
        // Stopped on request before it finished.
        Stopped,
    };
    IndexError(Reason reason, const std::string& what)
        : std::runtime_error(what), reason_(reason) {}
    Reason reason() const { return reason_; }

  private:
    Reason reason_;
};

struct BlockEntry {
    // A category's: the file name in IMG/, as on disk. A folder's: the
    // drawing's path below the folder.
    std::filesystem::path thumbnail;
    std::vector<std::string> nameWords;
    std::vector<std::string> drawingWords;
    std::optional<DrawingSize> size;
    // A folder's drawing as it was listed, and whether its words were read
    // from it (a drawing listed and not read yet is found by its name).
    std::uint64_t fileSize = 0;
    std::int64_t modified = 0;
    bool drawingRead = true;
};

struct CategoryEntries {
    std::uint64_t fingerprint = 0;
    std::vector<BlockEntry> blocks;
};

struct Hit {
    Hit() = default;
    // A category's block.
    Hit(int inCategory, std::filesystem::path named)
        : category(inCategory), thumbnail(std::move(named)) {}
    // A drawing of a user's folder.
    Hit(std::filesystem::path in, std::filesystem::path drawing, std::uint64_t size,
        std::int64_t time)
        : category(-1), thumbnail(std::move(drawing)), folder(std::move(in)), fileSize(size),
          modified(time) {}

    int category = 0;  // -1 for a drawing of a user's folder
    // A category's thumbnail: a plain file name. A folder's drawing: its path
    // below the folder, never out of it. Both checked when read back.
    std::filesystem::path thumbnail;
    // A folder's drawing: the folder, and the file as it was indexed.
    std::filesystem::path folder;
    std::uint64_t fileSize = 0;
    std::int64_t modified = 0;

    bool operator==(const Hit&) const = default;
};

// Where a query looks: the categories marked and the user's folders listed.
struct Scope {
    library::InstalledFlags categories{};
    std::vector<std::filesystem::path> folders;

    Scope() = default;
    Scope(const library::InstalledFlags& marked, std::vector<std::filesystem::path> listed = {})
        : categories(marked), folders(std::move(listed)) {}
};

struct Found {
    std::vector<Hit> hits;
    std::size_t total = 0;  // all the blocks found, also those beyond the limit

    bool operator==(const Found&) const = default;
};

// A first letter typed finds most of a large library: more blocks than this
// are counted, not listed.
inline constexpr std::size_t kMaxHits = 2000;

// A search looks at no more than this many characters (the search field holds
// no more) and for no more than this many distinct words: every word costs a
// pass over its part of the word index, and text pasted by mistake may hold
// thousands.
inline constexpr int kMaxQueryCharacters = 100;
inline constexpr std::size_t kMaxQueryWords = 12;

// What a query looks for: every word of `words` whole, and a word beginning
// with `prefix`, the last word typed, which may be unfinished. Each word once,
// in the order typed, at most kMaxQueryWords in all; the prefix is left out
// when a whole word already begins with it.
struct QueryTerms {
    std::vector<std::string> words;
    std::string prefix;

    bool operator==(const QueryTerms&) const = default;
};
QueryTerms queryTerms(std::string_view query);

class BlockIndex {
  public:
    // Whatever the mode, the index is opened only as a plain file (one name,
    // not a link) in a folder that is no link, and only a file of this program
    // is written to: anything else at its name or at the names of its journal
    // files throws IndexError (Reason::Refused) and is left untouched.
    enum class Open {
        // Creates the file when missing; a file that is not a sound index of
        // this program's version (damaged, of another version, not a
        // database) is deleted and made again, empty. Another program's
        // database is refused.
        CheckOrRebuild,
        // As CheckOrRebuild, but an index of this program is made again
        // whether it looks sound or not: after a write it should have taken
        // failed.
        Rebuild,
        // Reads the file as it is; throws IndexError when it is missing or
        // not an index of this version, without looking at every row.
        Existing,
    };

    BlockIndex(const std::filesystem::path& file, Open mode);
    BlockIndex(const BlockIndex&) = delete;
    BlockIndex& operator=(const BlockIndex&) = delete;
    ~BlockIndex();

    // True when opening found a damaged file and replaced it.
    bool rebuilt() const { return rebuilt_; }

    // From now on a statement running when stop() returns true fails with
    // Reason::Stopped; it is asked every few thousand steps of the database.
    void stopWhen(std::function<bool()> stop);

    // The fingerprint the category's part was read from; nothing when the
    // category has no part.
    std::optional<std::uint64_t> fingerprint(int category);
    // Replaces the category's part in one transaction.
    void writeCategory(int category, const CategoryEntries& entries);
    void removeCategory(int category);

    // The same for a folder of the user's, by its path.
    std::optional<std::uint64_t> fingerprint(const std::filesystem::path& folder);
    void writeFolder(const std::filesystem::path& folder, const CategoryEntries& entries);
    void removeFolder(const std::filesystem::path& folder);
    // The folders that have a part.
    std::vector<std::filesystem::path> folders();
    // What the folder's part holds of each drawing read, to be kept for the
    // drawings that did not change.
    std::vector<BlockEntry> folderEntries(const std::filesystem::path& folder);

    // Blocks of the categories and folders in `among` holding the query's
    // terms: how many there are, and the first `limit` of them by category,
    // then folder, then name. A query without words finds nothing. A row
    // that is not as this program writes it (a part out of range, a name that
    // leads out of its folder) throws IndexError (Reason::Damaged).
    Found find(std::string_view query, const Scope& among, std::size_t limit = kMaxHits);
    // Nothing too for a size out of any drawing's range.
    std::optional<DrawingSize> drawingSize(int category, const std::filesystem::path& thumbnail);
    std::optional<DrawingSize> drawingSize(const std::filesystem::path& folder,
                                           const std::filesystem::path& drawing);

  private:
    enum class Kind { Empty, Ours, Damaged, Foreign };

    void openFile(int flags);
    void close();
    Kind kind();
    bool sound();
    bool rowsSound();
    void createSchema();
    void writePart(std::int64_t part, const std::filesystem::path* folder,
                   const CategoryEntries& entries);
    void removeRows(std::int64_t part);
    // The part of a folder: the one it has, or (make) a new one.
    std::optional<std::int64_t> folderPart(const std::filesystem::path& folder, bool make);
    std::optional<DrawingSize> sizeOfBlock(std::int64_t part, const std::string& name);

    std::filesystem::path file_;
    bool writer_;
    sqlite3* db_ = nullptr;
    bool rebuilt_ = false;
    std::function<bool()> stop_;
};

// The fingerprint of a category folder as it is now: the names, sizes and
// modification times of the files in IMG/ and DWG/. Moving the folder keeps it.
std::uint64_t folderFingerprint(const std::filesystem::path& categoryFolder);

}  // namespace search
