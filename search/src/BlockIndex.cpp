#include "search/BlockIndex.h"

#include <sqlite3.h>

#include <algorithm>
#include <system_error>

#include "search/Words.h"

namespace search {

namespace fs = std::filesystem;

namespace {

// Marks the file as this program's index ("TsIx"); the version changes with the tables.
constexpr int kApplicationId = 0x54734978;
constexpr int kSchemaVersion = 2;

// A block's id is its category in the high half and its place in the
// category's name order in the low half, so that the word index, which runs
// in id order, yields blocks in the order the grid shows them.
std::int64_t blockId(int category, std::size_t place) {
    return (static_cast<std::int64_t>(category) << 32) + static_cast<std::int64_t>(place) + 1;
}

// Writers hold the lock for one category's part at most; the user-interface
// thread never waits long for them.
constexpr int kWriterBusyMs = 5000;
constexpr int kReaderBusyMs = 50;

constexpr const char* kSchema = R"sql(
CREATE TABLE category(id INTEGER PRIMARY KEY, fingerprint INTEGER NOT NULL);
CREATE TABLE block(id INTEGER PRIMARY KEY, category INTEGER NOT NULL, thumbnail BLOB NOT NULL,
                   width REAL, height REAL, units INTEGER);
CREATE INDEX block_place ON block(category, thumbnail);
CREATE VIRTUAL TABLE block_words USING fts5(name, drawing, tokenize='unicode61', prefix='1 2 3');
)sql";

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
    std::string blob(int column) const {
        const void* data = sqlite3_column_blob(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
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
    [[noreturn]] void fail() const { throw IndexError(sqlite3_errmsg(db_)); }

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

void execute(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string why = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw IndexError(why);
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

// Every word must be there, the last one as a prefix. Folded words hold only
// letters and digits, so quoting them is enough to keep FTS5's syntax out.
std::string matchExpression(const std::vector<std::string>& queryWords) {
    std::string expression;
    for (std::size_t i = 0; i < queryWords.size(); ++i) {
        if (!expression.empty()) expression += ' ';
        expression += '"' + queryWords[i] + '"';
        if (i + 1 == queryWords.size()) expression += '*';
    }
    return expression;
}

}  // namespace

BlockIndex::BlockIndex(const fs::path& file, Open mode) : file_(file) {
    if (mode == Open::Existing) {
        std::error_code error;
        if (!fs::is_regular_file(file, error)) throw IndexError("o índice de busca não existe");
        openFile(false);
        try {
            if (pragmaValue(db_, "PRAGMA application_id") != kApplicationId ||
                pragmaValue(db_, "PRAGMA user_version") != kSchemaVersion)
                throw IndexError("o arquivo não é um índice de busca desta versão");
        } catch (...) {
            close();
            throw;
        }
        return;
    }
    openFile(true);
    if (sound()) return;
    close();
    // Ours to delete: the program made it, and it only repeats the library.
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(fs::path(file) += suffix, ignored);
    rebuilt_ = true;
    openFile(true);
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

void BlockIndex::openFile(bool create) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    const std::string name = library::pathToUtf8(file_);
    if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "sem memória";
        close();
        throw IndexError("não foi possível abrir o índice de busca: " + why);
    }
    sqlite3_busy_timeout(db_, create ? kWriterBusyMs : kReaderBusyMs);
}

void BlockIndex::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool BlockIndex::sound() {
    try {
        execute(db_, "PRAGMA journal_mode=WAL");
        if (pragmaValue(db_, "SELECT count(*) FROM sqlite_master") == 0) {
            createSchema();
            return true;
        }
        if (pragmaValue(db_, "PRAGMA application_id") != kApplicationId ||
            pragmaValue(db_, "PRAGMA user_version") != kSchemaVersion)
            return false;
        {
            Statement check(db_, "PRAGMA quick_check");
            if (!check.step() || check.text(0) != "ok") return false;
        }
        execute(db_, "INSERT INTO block_words(block_words) VALUES('integrity-check')");
        return true;
    } catch (const IndexError&) {
        return false;
    }
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
    Statement statement(db_, "SELECT fingerprint FROM category WHERE id = ?1");
    statement.bind(1, static_cast<std::int64_t>(category));
    if (!statement.step()) return std::nullopt;
    return static_cast<std::uint64_t>(statement.integer(0));
}

void BlockIndex::writeCategory(int category, const CategoryEntries& entries) {
    sqlite3_busy_timeout(db_, kWriterBusyMs);
    execute(db_, "BEGIN IMMEDIATE");
    try {
        removeRows(category);
        Statement block(db_,
                        "INSERT INTO block(id, category, thumbnail, width, height, units) "
                        "VALUES(?6, ?1, ?2, ?3, ?4, ?5)");
        Statement words(db_, "INSERT INTO block_words(rowid, name, drawing) VALUES(?1, ?2, ?3)");
        std::vector<const BlockEntry*> byName;
        for (const BlockEntry& entry : entries.blocks) byName.push_back(&entry);
        std::sort(byName.begin(), byName.end(), [](const BlockEntry* a, const BlockEntry* b) {
            return a->thumbnail.native() < b->thumbnail.native();
        });
        for (std::size_t place = 0; place < byName.size(); ++place) {
            const BlockEntry& entry = *byName[place];
            const std::int64_t id = blockId(category, place);
            block.bind(6, id);
            block.bind(1, static_cast<std::int64_t>(category)).bindBlob(2, entry.thumbnail.native());
            if (entry.size)
                block.bind(3, entry.size->width)
                    .bind(4, entry.size->height)
                    .bind(5, static_cast<std::int64_t>(entry.size->insertionUnits));
            else
                block.bindNull(3).bindNull(4).bindNull(5);
            block.run();
            words.bind(1, id)
                .bind(2, joined(entry.nameWords))
                .bind(3, joined(entry.drawingWords));
            words.run();
        }
        Statement stamp(db_, "INSERT OR REPLACE INTO category(id, fingerprint) VALUES(?1, ?2)");
        stamp.bind(1, static_cast<std::int64_t>(category))
            .bind(2, static_cast<std::int64_t>(entries.fingerprint));
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

void BlockIndex::removeRows(int category) {
    const auto id = static_cast<std::int64_t>(category);
    Statement words(db_,
                    "DELETE FROM block_words WHERE rowid IN (SELECT id FROM block WHERE category = ?1)");
    words.bind(1, id).run();
    Statement blocks(db_, "DELETE FROM block WHERE category = ?1");
    blocks.bind(1, id).run();
    Statement stamp(db_, "DELETE FROM category WHERE id = ?1");
    stamp.bind(1, id).run();
}

Found BlockIndex::find(std::string_view query, const library::InstalledFlags& among,
                       std::size_t limit) {
    const std::vector<std::string> queryWords = words(query);
    Found found;
    if (queryWords.empty()) return found;
    const std::string expression = matchExpression(queryWords);
    const auto wanted = [&among](std::int64_t category) {
        return category >= 0 && category < library::kCategoryCount &&
               among[static_cast<std::size_t>(category)];
    };
    // One pass over the word index counts them all and keeps the first ids;
    // only the blocks listed are looked up.
    Statement ids(db_, "SELECT rowid FROM block_words WHERE block_words MATCH ?1 ORDER BY rowid");
    ids.bind(1, expression);
    std::vector<std::int64_t> listed;
    while (ids.step()) {
        const std::int64_t id = ids.integer(0);
        if (!wanted(id >> 32)) continue;
        ++found.total;
        if (listed.size() < limit) listed.push_back(id);
    }
    Statement block(db_, "SELECT category, thumbnail FROM block WHERE id = ?1");
    for (const std::int64_t id : listed) {
        block.bind(1, id);
        if (block.step())
            found.hits.push_back({static_cast<int>(block.integer(0)), fs::path(block.blob(1))});
        block.reset();
    }
    return found;
}

std::optional<DrawingSize> BlockIndex::drawingSize(int category, const fs::path& thumbnail) {
    Statement statement(db_,
                        "SELECT width, height, units FROM block WHERE category = ?1 AND "
                        "thumbnail = ?2 AND width IS NOT NULL");
    statement.bind(1, static_cast<std::int64_t>(category)).bindBlob(2, thumbnail.native());
    if (!statement.step()) return std::nullopt;
    return DrawingSize{statement.real(0), statement.real(1), static_cast<int>(statement.integer(2))};
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
    for (const fs::path& folder : {library::imgFolder(categoryFolder), library::dwgFolder(categoryFolder)}) {
        std::vector<std::string> lines;
        std::error_code error;
        for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
             it.increment(error)) {
            std::error_code statError;
            const auto size = it->file_size(statError);
            const auto time = it->last_write_time(statError);
            lines.push_back(it->path().filename().native() + '\n' + std::to_string(size) + '\n' +
                            std::to_string(time.time_since_epoch().count()));
        }
        std::sort(lines.begin(), lines.end());
        mix(folder.filename().native());
        for (const std::string& line : lines) mix(line);
    }
    return hash;
}

}  // namespace search
