#include "search/BlockIndex.h"

#include <platform/Files.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <system_error>

#include "search/Words.h"

namespace search {

namespace fs = std::filesystem;

namespace {

// Marks the file as this program's index ("TsIx"); the version changes with the tables.
constexpr int kApplicationId = 0x54734978;
constexpr int kSchemaVersion = 4;

// A part is a category (0 to 13) or a folder of the user's (16 on, in the
// order they were first indexed).
constexpr std::int64_t kFirstFolderPart = 16;
constexpr std::int64_t kLastPart = 1 << 24;

// A block's id is its part in the high half and its place in the part's name
// order in the low half, so that the word index, which runs in id order,
// yields blocks in the order the grid shows them.
std::int64_t blockId(std::int64_t part, std::size_t place) {
    return (part << 32) + static_cast<std::int64_t>(place) + 1;
}

// Writers hold the lock for one category's part at most; the user-interface
// thread never waits long for them.
constexpr int kWriterBusyMs = 5000;
constexpr int kReaderBusyMs = 50;

// Beyond any name a file system gives a file or a path, and any drawing's extents.
constexpr std::size_t kMaxThumbnailBytes = 255;
constexpr std::size_t kMaxPathBytes = 4096;
constexpr double kMaxDrawingExtent = 1e15;
// INSUNITS runs from 0 (none) to 24 (US survey miles).
constexpr int kMaxInsertionUnits = 24;

// The database engine is asked whether to stop after this many steps of its own.
constexpr int kStepsBetweenStopChecks = 2000;

// The database and the files SQLite keeps beside it while writing.
constexpr const char* kFileSuffixes[] = {"", "-wal", "-shm", "-journal"};

constexpr const char* kSchema = R"sql(
CREATE TABLE part(id INTEGER PRIMARY KEY, fingerprint INTEGER NOT NULL, folder BLOB UNIQUE);
CREATE TABLE block(id INTEGER PRIMARY KEY, part INTEGER NOT NULL, thumbnail BLOB NOT NULL,
                   width REAL, height REAL, units INTEGER, zextent REAL, size INTEGER,
                   modified INTEGER, read INTEGER);
CREATE INDEX block_place ON block(part, thumbnail);
CREATE VIRTUAL TABLE block_words USING fts5(name, drawing, tokenize='unicode61', prefix='1 2 3');
)sql";

IndexError::Reason reasonOf(int result) {
    switch (result & 0xFF) {
        case SQLITE_INTERRUPT:
            return IndexError::Reason::Stopped;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_FORMAT:
        case SQLITE_MISMATCH:
        case SQLITE_CONSTRAINT:
        case SQLITE_SCHEMA:
        case SQLITE_ERROR:  // no such table, no such column: not our tables
            return IndexError::Reason::Damaged;
        default:  // busy, locked, read-only, full, failing disk, out of memory
            return IndexError::Reason::Unavailable;
    }
}

[[noreturn]] void throwError(sqlite3* db) {
    throw IndexError(reasonOf(sqlite3_extended_errcode(db)), sqlite3_errmsg(db));
}

class Statement {
  public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) fail();
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement_); }

    Statement& bind(int at, std::int64_t value) {
        check(sqlite3_bind_int64(statement_, at, value));
        return *this;
    }
    Statement& bind(int at, double value) {
        check(sqlite3_bind_double(statement_, at, value));
        return *this;
    }
    Statement& bind(int at, std::string_view text) {
        check(sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bindBlob(int at, std::string_view bytes) {
        check(sqlite3_bind_blob(statement_, at, bytes.data(), static_cast<int>(bytes.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bindNull(int at) {
        check(sqlite3_bind_null(statement_, at));
        return *this;
    }
    // True while there is a row.
    bool step() {
        const int result = sqlite3_step(statement_);
        if (result == SQLITE_ROW) return true;
        if (result != SQLITE_DONE) fail();
        return false;
    }
    void run() {
        while (step()) {
        }
        reset();
    }
    void reset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    double real(int column) const { return sqlite3_column_double(statement_, column); }
    bool isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    int type(int column) const { return sqlite3_column_type(statement_, column); }
    // Nothing for a value that is not a blob or is longer than maxBytes, which
    // is not copied.
    std::optional<std::string> blob(int column, std::size_t maxBytes) const {
        if (type(column) != SQLITE_BLOB) return std::nullopt;
        const int size = sqlite3_column_bytes(statement_, column);
        if (size < 0 || static_cast<std::size_t>(size) > maxBytes) return std::nullopt;
        const void* data = sqlite3_column_blob(statement_, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                    : std::string();
    }
    std::string text(int column) const {
        const unsigned char* data = sqlite3_column_text(statement_, column);
        return data ? reinterpret_cast<const char*>(data) : "";
    }

  private:
    void check(int result) {
        if (result != SQLITE_OK) fail();
    }
    [[noreturn]] void fail() const { throwError(db_); }

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

void execute(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (const int result = sqlite3_exec(db, sql, nullptr, nullptr, &message); result != SQLITE_OK) {
        const std::string why = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw IndexError(reasonOf(result), why);
    }
}

std::int64_t pragmaValue(sqlite3* db, const char* sql) {
    Statement statement(db, sql);
    return statement.step() ? statement.integer(0) : 0;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) text += ' ';
        text += word;
    }
    return text;
}

// The size in a row's columns first (width), first + 1 (height), first + 2
// (units) and first + 3 (reach along z); nothing unless all are numbers in a
// drawing's range.
std::optional<DrawingSize> sizeOf(const Statement& row, int first) {
    for (int column = first; column < first + 4; ++column)
        if (row.type(column) != SQLITE_FLOAT && row.type(column) != SQLITE_INTEGER)
            return std::nullopt;
    const auto extent = [](double value) {
        return std::isfinite(value) && value >= 0 && value <= kMaxDrawingExtent;
    };
    const double width = row.real(first);
    const double height = row.real(first + 1);
    const std::int64_t units = row.integer(first + 2);
    const double zExtent = row.real(first + 3);
    if (!extent(width) || !extent(height) || !extent(zExtent) || units < 0 ||
        units > kMaxInsertionUnits)
        return std::nullopt;
    return DrawingSize{width, height, static_cast<int>(units), zExtent};
}

IndexError damagedRow() {
    return IndexError(IndexError::Reason::Damaged, "o índice de busca tem um bloco inválido");
}

// Folded words hold only letters and digits, so quoting them is enough to keep
// FTS5's syntax out.
std::string matchExpression(const QueryTerms& terms) {
    std::string expression;
    for (const std::string& word : terms.words) {
        if (!expression.empty()) expression += ' ';
        expression += '"' + word + '"';
    }
    if (!terms.prefix.empty()) {
        if (!expression.empty()) expression += ' ';
        expression += '"' + terms.prefix + "\"*";
    }
    return expression;
}

// The first maxCharacters characters of UTF-8 text, or all of it.
std::string_view leadingCharacters(std::string_view text, std::size_t maxCharacters) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        // A character starts at every byte that does not continue one.
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && characters++ == maxCharacters)
            return text.substr(0, at);
    }
    return text;
}

// What is at `path` itself, a link not followed. A file with other names
// (hard links) is no plain file: writing it would write them too.
enum class Entry { Absent, PlainFile, Other };

Entry entryAt(const fs::path& path) {
    std::error_code error;
    switch (platform::entryKind(path, error)) {
        case platform::EntryKind::Missing:
            return error ? Entry::Other : Entry::Absent;
        case platform::EntryKind::File: {
            const platform::File file = platform::File::openForReading(path, error);
            return file.isOpen() && !file.hasOtherNames() ? Entry::PlainFile : Entry::Other;
        }
        default:
            return Entry::Other;
    }
}

std::string displayed(const fs::path& path) {
    return library::pathToUtf8(path.parent_path().filename() / path.filename());
}

// SQLite follows links when it opens the database and the files beside it:
// each must be a plain file or absent, in a folder that is itself no link.
void checkPlace(const fs::path& file) {
    const fs::path folder = file.parent_path();
    // Blocos itself may be a link to where the user moved his library, which
    // installation follows too; nothing inside it is followed.
    std::error_code error;
    if (!fs::is_directory(folder, error))
        throw IndexError(IndexError::Reason::Refused,
                         "o índice de busca não foi aberto: " + displayed(folder) +
                             " não é uma pasta; nada foi alterado");
    for (const char* suffix : kFileSuffixes) {
        const fs::path name = fs::path(file) += suffix;
        const Entry entry = entryAt(name);
        if (entry != Entry::Absent && entry != Entry::PlainFile)
            throw IndexError(IndexError::Reason::Refused,
                             "o índice de busca não foi aberto: " + displayed(name) +
                                 " é um link ou não é um arquivo comum; nada foi alterado");
    }
}

// A thumbnail named by the index must be a file of its category's IMG/
// folder: one plain name, nothing that leads out of it.
std::optional<fs::path> thumbnailName(const std::optional<std::string>& bytes) {
    if (!bytes || bytes->empty() || *bytes == "." || *bytes == ".." ||
        bytes->find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
        return std::nullopt;
    fs::path name = library::pathFromUtf8(*bytes);
    if (name.has_root_path() || name.filename() != name) return std::nullopt;  // "C:x" on Windows
    return name;
}

bool validCategory(std::int64_t category) {
    return category >= 0 && category < library::kCategoryCount;
}

bool validPart(std::int64_t part) {
    return validCategory(part) || (part >= kFirstFolderPart && part <= kLastPart);
}

// A drawing named by a folder's part must lie below its folder: a relative
// path of plain names, none of them "." or "..".
std::optional<fs::path> drawingPath(const std::optional<std::string>& bytes) {
    if (!bytes || bytes->empty() || bytes->size() > kMaxPathBytes ||
        bytes->find_first_of(std::string_view("\\\0", 2)) != std::string::npos)
        return std::nullopt;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes->find('/', start);
        const std::string_view part =
            std::string_view(*bytes).substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part == "." || part == ".." ||
            library::pathFromUtf8(part).has_root_name())
            return std::nullopt;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return library::pathFromUtf8(*bytes);
}

// A folder's own path, as the part keeps it.
std::optional<fs::path> folderPath(const std::optional<std::string>& bytes) {
    if (!bytes || bytes->empty() || bytes->find('\0') != std::string::npos) return std::nullopt;
    fs::path folder = library::pathFromUtf8(*bytes);
    if (!folder.is_absolute()) return std::nullopt;
    return folder;
}

std::string folderText(const fs::path& folder) {
    return library::pathToUtf8(folder.lexically_normal());
}

std::string drawingText(const fs::path& drawing) {
    const std::u8string text = drawing.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// The schema's rows in sqlite_master as this version of SQLite writes them,
// read once from a database made in memory.
using SchemaRows = std::vector<std::string>;

SchemaRows schemaRows(sqlite3* db) {
    SchemaRows rows;
    Statement statement(db,
                        "SELECT type || char(10) || name || char(10) || tbl_name || char(10) || "
                        "ifnull(sql, '') FROM sqlite_master ORDER BY type, name");
    while (statement.step()) rows.push_back(statement.text(0));
    Statement settings(db, "SELECT k || char(10) || v FROM block_words_config ORDER BY k");
    while (settings.step()) rows.push_back(settings.text(0));
    return rows;
}

const SchemaRows& expectedSchemaRows() {
    static const SchemaRows rows = [] {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(db);
            throw IndexError(IndexError::Reason::Unavailable, "sem memória");
        }
        try {
            execute(db, kSchema);
            SchemaRows made = schemaRows(db);
            sqlite3_close_v2(db);
            return made;
        } catch (...) {
            sqlite3_close_v2(db);
            throw;
        }
    }();
    return rows;
}

}  // namespace

QueryTerms queryTerms(std::string_view query) {
    std::vector<std::string> typed =
        words(leadingCharacters(query, static_cast<std::size_t>(kMaxQueryCharacters)));
    QueryTerms terms;
    if (typed.empty()) return terms;
    std::string last = std::move(typed.back());
    typed.pop_back();
    for (std::string& word : typed) {
        if (terms.words.size() == kMaxQueryWords) return terms;
        if (std::find(terms.words.begin(), terms.words.end(), word) == terms.words.end())
            terms.words.push_back(std::move(word));
    }
    // A whole word beginning with the prefix already finds only blocks it finds.
    const bool implied =
        std::any_of(terms.words.begin(), terms.words.end(),
                    [&last](const std::string& word) { return word.starts_with(last); });
    if (!implied && terms.words.size() < kMaxQueryWords) terms.prefix = std::move(last);
    return terms;
}

BlockIndex::BlockIndex(const fs::path& file, Open mode)
    : file_(file), writer_(mode != Open::Existing) {
    checkPlace(file);
    const bool exists = entryAt(file) == Entry::PlainFile;
    if (mode == Open::Existing) {
        if (!exists)
            throw IndexError(IndexError::Reason::Unavailable, "o índice de busca não existe");
        openFile(SQLITE_OPEN_READWRITE);
        const Kind found = kind();
        if (found == Kind::Ours) return;
        close();
        throw IndexError(
            found == Kind::Foreign ? IndexError::Reason::Refused : IndexError::Reason::Damaged,
            "o arquivo não é um índice de busca desta versão");
    }
    if (exists) {
        // Read only until it is known to be ours: another program's database
        // keeps its journal mode and every byte.
        openFile(SQLITE_OPEN_READONLY);
        const Kind found = kind();
        close();
        if (found == Kind::Foreign)
            throw IndexError(IndexError::Reason::Refused,
                             "o índice de busca não foi aberto: " + displayed(file) +
                                 " é um banco de dados de outro programa; nada foi alterado");
        if (found == Kind::Ours && mode == Open::CheckOrRebuild) {
            openFile(SQLITE_OPEN_READWRITE);
            if (sound()) return;
            close();
        }
        if (found != Kind::Empty || mode == Open::Rebuild) {
            // Ours to delete: the program made it, and it only repeats the library.
            std::error_code ignored;
            for (const char* suffix : kFileSuffixes) fs::remove(fs::path(file) += suffix, ignored);
            rebuilt_ = true;
            // Whatever took its place meanwhile is looked at again.
            checkPlace(file);
        }
    }
    openFile(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
        createSchema();
    } catch (...) {
        close();
        throw;
    }
}

BlockIndex::~BlockIndex() {
    close();
}

void BlockIndex::openFile(int flags) {
    // SQLite refuses a link anywhere on the way when it may not follow one;
    // the folder has been checked, so it is named as it really lies.
    std::error_code error;
    const fs::path folder = fs::canonical(file_.parent_path(), error);
    const std::string name = library::pathToUtf8(error ? file_ : folder / file_.filename());
    if (sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "sem memória";
        const int result = db_ ? sqlite3_extended_errcode(db_) : SQLITE_NOMEM;
        close();
        throw IndexError(result == SQLITE_CANTOPEN_SYMLINK ? IndexError::Reason::Refused
                                                           : IndexError::Reason::Unavailable,
                         "não foi possível abrir o índice de busca: " + why);
    }
    sqlite3_busy_timeout(db_, writer_ ? kWriterBusyMs : kReaderBusyMs);
    if (stop_) stopWhen(stop_);
}

void BlockIndex::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void BlockIndex::stopWhen(std::function<bool()> stop) {
    stop_ = std::move(stop);
    if (!db_) return;
    sqlite3_progress_handler(
        db_, kStepsBetweenStopChecks,
        [](void* self) { return static_cast<BlockIndex*>(self)->stop_() ? 1 : 0; }, this);
}

// Reads only: the application id, the version and the exact rows of the
// schema, so that a look-alike (a view for a table, a trigger, an index of
// its own) is not taken for ours.
BlockIndex::Kind BlockIndex::kind() {
    try {
        if (pragmaValue(db_, "PRAGMA application_id") != kApplicationId)
            return pragmaValue(db_, "SELECT count(*) FROM sqlite_master") == 0 ? Kind::Empty
                                                                               : Kind::Foreign;
        if (pragmaValue(db_, "PRAGMA user_version") != kSchemaVersion) return Kind::Damaged;
        return schemaRows(db_) == expectedSchemaRows() ? Kind::Ours : Kind::Damaged;
    } catch (const IndexError& error) {
        if (error.reason() == IndexError::Reason::Unavailable) throw;
        return Kind::Damaged;
    }
}

bool BlockIndex::sound() {
    try {
        execute(db_, "PRAGMA journal_mode=WAL");
        {
            Statement check(db_, "PRAGMA quick_check");
            if (!check.step() || check.text(0) != "ok") return false;
        }
        execute(db_, "INSERT INTO block_words(block_words) VALUES('integrity-check')");
        return rowsSound();
    } catch (const IndexError& error) {
        if (error.reason() == IndexError::Reason::Unavailable) throw;
        return false;
    }
}

// Every row as this program writes it, by the same rules as searching reads
// them: found blocks, drawing sizes and the word rows of blocks that exist.
bool BlockIndex::rowsSound() {
    std::set<std::int64_t> folderParts;
    Statement parts(db_, "SELECT id, folder FROM part");
    while (parts.step()) {
        const std::int64_t id = parts.integer(0);
        if (!validPart(id)) return false;
        if (validCategory(id) != parts.isNull(1)) return false;
        if (!validCategory(id)) {
            if (!folderPath(parts.blob(1, kMaxPathBytes))) return false;
            folderParts.insert(id);
        }
    }
    Statement blocks(db_, "SELECT id, part, thumbnail, width, height, units, zextent FROM block");
    while (blocks.step()) {
        const std::int64_t part = blocks.integer(1);
        if (!validPart(part) || blocks.integer(0) >> 32 != part) return false;
        const bool named = validCategory(part)
                               ? thumbnailName(blocks.blob(2, kMaxThumbnailBytes)).has_value()
                               : drawingPath(blocks.blob(2, kMaxPathBytes)).has_value();
        if (!named) return false;
        if (!blocks.isNull(3) && !sizeOf(blocks, 3)) return false;
    }
    const char* wordsWithoutBlock =
        "SELECT count(*) FROM block_words WHERE rowid NOT IN (SELECT id FROM block)";
    return pragmaValue(db_, wordsWithoutBlock) == 0;
}

void BlockIndex::createSchema() {
    execute(db_, "PRAGMA journal_mode=WAL");
    execute(db_, "BEGIN");
    try {
        execute(db_, kSchema);
        execute(db_, ("PRAGMA application_id=" + std::to_string(kApplicationId)).c_str());
        execute(db_, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
        execute(db_, "COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::optional<std::uint64_t> BlockIndex::fingerprint(int category) {
    Statement statement(db_, "SELECT fingerprint FROM part WHERE id = ?1");
    statement.bind(1, static_cast<std::int64_t>(category));
    if (!statement.step()) return std::nullopt;
    return static_cast<std::uint64_t>(statement.integer(0));
}

std::optional<std::uint64_t> BlockIndex::fingerprint(const fs::path& folder) {
    Statement statement(db_, "SELECT fingerprint FROM part WHERE folder = ?1");
    statement.bindBlob(1, folderText(folder));
    if (!statement.step()) return std::nullopt;
    return static_cast<std::uint64_t>(statement.integer(0));
}

std::optional<std::int64_t> BlockIndex::folderPart(const fs::path& folder, bool make) {
    Statement known(db_, "SELECT id FROM part WHERE folder = ?1");
    known.bindBlob(1, folderText(folder));
    if (known.step()) return known.integer(0);
    if (!make) return std::nullopt;
    const std::int64_t next = std::max(kFirstFolderPart, pragmaValue(db_, "SELECT max(id) FROM part") + 1);
    if (next > kLastPart)
        throw IndexError(IndexError::Reason::Damaged, "o índice de busca tem partes demais");
    return next;
}

void BlockIndex::writeCategory(int category, const CategoryEntries& entries) {
    writePart(category, nullptr, entries);
}

void BlockIndex::writeFolder(const fs::path& folder, const CategoryEntries& entries) {
    sqlite3_busy_timeout(db_, kWriterBusyMs);
    const std::optional<std::int64_t> part = folderPart(folder, true);
    writePart(*part, &folder, entries);
}

void BlockIndex::writePart(std::int64_t part, const fs::path* folder,
                           const CategoryEntries& entries) {
    sqlite3_busy_timeout(db_, kWriterBusyMs);
    execute(db_, "BEGIN IMMEDIATE");
    try {
        removeRows(part);
        Statement block(db_,
                        "INSERT INTO block(id, part, thumbnail, width, height, units, zextent, "
                        "size, modified, read) VALUES(?6, ?1, ?2, ?3, ?4, ?5, ?10, ?7, ?8, ?9)");
        Statement words(db_, "INSERT INTO block_words(rowid, name, drawing) VALUES(?1, ?2, ?3)");
        std::vector<const BlockEntry*> byName;
        for (const BlockEntry& entry : entries.blocks) byName.push_back(&entry);
        std::sort(byName.begin(), byName.end(), [](const BlockEntry* a, const BlockEntry* b) {
            return a->thumbnail.native() < b->thumbnail.native();
        });
        for (std::size_t place = 0; place < byName.size(); ++place) {
            const BlockEntry& entry = *byName[place];
            const std::int64_t id = blockId(part, place);
            block.bind(6, id);
            block.bind(1, part).bindBlob(2, folder ? drawingText(entry.thumbnail)
                                                   : library::pathToUtf8(entry.thumbnail));
            if (entry.size)
                block.bind(3, entry.size->width)
                    .bind(4, entry.size->height)
                    .bind(5, static_cast<std::int64_t>(entry.size->insertionUnits))
                    .bind(10, entry.size->zExtent);
            else
                block.bindNull(3).bindNull(4).bindNull(5).bindNull(10);
            block.bind(7, static_cast<std::int64_t>(entry.fileSize))
                .bind(8, entry.modified)
                .bind(9, static_cast<std::int64_t>(entry.drawingRead ? 1 : 0));
            block.run();
            words.bind(1, id).bind(2, joined(entry.nameWords)).bind(3, joined(entry.drawingWords));
            words.run();
        }
        Statement stamp(db_,
                        "INSERT OR REPLACE INTO part(id, fingerprint, folder) VALUES(?1, ?2, ?3)");
        stamp.bind(1, part).bind(2, static_cast<std::int64_t>(entries.fingerprint));
        if (folder)
            stamp.bindBlob(3, folderText(*folder));
        else
            stamp.bindNull(3);
        stamp.run();
        execute(db_, "COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void BlockIndex::removeCategory(int category) {
    sqlite3_busy_timeout(db_, kWriterBusyMs);
    execute(db_, "BEGIN IMMEDIATE");
    try {
        removeRows(category);
        execute(db_, "COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void BlockIndex::removeFolder(const fs::path& folder) {
    if (const std::optional<std::int64_t> part = folderPart(folder, false))
        removeCategory(static_cast<int>(*part));
}

std::vector<fs::path> BlockIndex::folders() {
    std::vector<fs::path> found;
    Statement statement(db_, "SELECT folder FROM part WHERE folder IS NOT NULL ORDER BY id");
    while (statement.step())
        if (const std::optional<fs::path> folder = folderPath(statement.blob(0, kMaxPathBytes)))
            found.push_back(*folder);
    return found;
}

std::vector<BlockEntry> BlockIndex::folderEntries(const fs::path& folder) {
    std::vector<BlockEntry> entries;
    const std::optional<std::int64_t> part = folderPart(folder, false);
    if (!part) return entries;
    Statement statement(db_,
                        "SELECT b.thumbnail, b.size, b.modified, b.width, b.height, b.units, "
                        "w.name, w.drawing FROM block b JOIN block_words w ON w.rowid = b.id "
                        "WHERE b.part = ?1 AND b.read = 1");
    statement.bind(1, *part);
    while (statement.step()) {
        const std::optional<fs::path> drawing = drawingPath(statement.blob(0, kMaxPathBytes));
        if (!drawing) throw damagedRow();
        BlockEntry entry;
        entry.thumbnail = *drawing;
        entry.fileSize = static_cast<std::uint64_t>(statement.integer(1));
        entry.modified = statement.integer(2);
        if (!statement.isNull(3)) entry.size = sizeOf(statement, 3);
        entry.nameWords = splitWords(statement.text(6));
        entry.drawingWords = splitWords(statement.text(7));
        entries.push_back(std::move(entry));
    }
    return entries;
}

void BlockIndex::removeRows(std::int64_t part) {
    Statement words(
        db_, "DELETE FROM block_words WHERE rowid IN (SELECT id FROM block WHERE part = ?1)");
    words.bind(1, part).run();
    Statement blocks(db_, "DELETE FROM block WHERE part = ?1");
    blocks.bind(1, part).run();
    Statement stamp(db_, "DELETE FROM part WHERE id = ?1");
    stamp.bind(1, part).run();
}

Found BlockIndex::find(std::string_view query, const Scope& among, std::size_t limit) {
    const QueryTerms terms = queryTerms(query);
    Found found;
    if (terms.words.empty() && terms.prefix.empty()) return found;
    std::map<std::int64_t, fs::path> folderOfPart;
    for (const fs::path& folder : among.folders)
        if (const std::optional<std::int64_t> part = folderPart(folder, false))
            folderOfPart.emplace(*part, folder);
    const auto wanted = [&](std::int64_t part) {
        return validCategory(part) ? among.categories[static_cast<std::size_t>(part)]
                                   : folderOfPart.count(part) != 0;
    };
    // One pass over the word index counts them all and keeps the first ids;
    // only the blocks listed are looked up.
    Statement ids(db_, "SELECT rowid FROM block_words WHERE block_words MATCH ?1 ORDER BY rowid");
    ids.bind(1, matchExpression(terms));
    std::vector<std::int64_t> listed;
    while (ids.step()) {
        const std::int64_t id = ids.integer(0);
        if (!wanted(id >> 32)) continue;
        ++found.total;
        if (listed.size() < limit) listed.push_back(id);
    }
    Statement block(db_, "SELECT part, thumbnail, size, modified FROM block WHERE id = ?1");
    for (const std::int64_t id : listed) {
        block.bind(1, id);
        if (!block.step() || block.integer(0) != id >> 32) throw damagedRow();
        const std::int64_t part = id >> 32;
        if (validCategory(part)) {
            const std::optional<fs::path> thumbnail = thumbnailName(block.blob(1, kMaxThumbnailBytes));
            if (!thumbnail) throw damagedRow();
            found.hits.emplace_back(static_cast<int>(part), *thumbnail);
        } else {
            const std::optional<fs::path> drawing = drawingPath(block.blob(1, kMaxPathBytes));
            if (!drawing) throw damagedRow();
            found.hits.emplace_back(folderOfPart.at(part), *drawing,
                                    static_cast<std::uint64_t>(block.integer(2)), block.integer(3));
        }
        block.reset();
    }
    return found;
}

std::optional<DrawingSize> BlockIndex::drawingSize(int category, const fs::path& thumbnail) {
    return sizeOfBlock(category, library::pathToUtf8(thumbnail));
}

std::optional<DrawingSize> BlockIndex::drawingSize(const fs::path& folder, const fs::path& drawing) {
    const std::optional<std::int64_t> part = folderPart(folder, false);
    if (!part) return std::nullopt;
    return sizeOfBlock(*part, drawingText(drawing));
}

std::optional<DrawingSize> BlockIndex::sizeOfBlock(std::int64_t part, const std::string& name) {
    Statement statement(db_,
                        "SELECT width, height, units, zextent FROM block WHERE part = ?1 AND "
                        "thumbnail = ?2 AND width IS NOT NULL");
    statement.bind(1, part).bindBlob(2, name);
    if (!statement.step()) return std::nullopt;
    return sizeOf(statement, 0);
}

std::uint64_t folderFingerprint(const fs::path& categoryFolder) {
    // FNV-1a over the sorted listing of both folders.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    const auto mix = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3ull;
        }
        hash ^= 0xFF;
        hash *= 0x100000001b3ull;
    };
    for (const fs::path& folder :
         {library::imgFolder(categoryFolder), library::dwgFolder(categoryFolder)}) {
        std::vector<std::string> lines;
        std::error_code error;
        for (auto it = fs::directory_iterator(folder, error);
             !error && it != fs::directory_iterator(); it.increment(error)) {
            std::error_code statError;
            const auto size = it->file_size(statError);
            const auto time = it->last_write_time(statError);
            lines.push_back(library::pathToUtf8(it->path().filename()) + '\n' +
                            std::to_string(size) + '\n' +
                            std::to_string(time.time_since_epoch().count()));
        }
        std::sort(lines.begin(), lines.end());
        mix(library::pathToUtf8(folder.filename()));
        for (const std::string& line : lines) mix(line);
    }
    return hash;
}

}  // namespace search
