// The index file lies in the program's folder, where a package server's
// files land and others may write: what is found at its name is only written
// when it is ours, and nothing it holds is handed on unchecked.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "Links.h"
#include "LibraryFixture.h"
#include "TestFiles.h"
#include "library/UserFolders.h"
#include "search/BlockIndex.h"
#include "search/Indexing.h"

namespace {

namespace fs = std::filesystem;
using searchtest::labelledBox;
using searchtest::Library;
using Reason = search::IndexError::Reason;

// Runs SQL on a database as another program would.
void runSql(const fs::path& file, const std::string& statements) {
    sqlite3* db = nullptr;
    const int opened = sqlite3_open(library::pathToUtf8(file).c_str(), &db);
    char* message = nullptr;
    const int result = opened == SQLITE_OK
                           ? sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &message)
                           : opened;
    const std::string why = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(result, SQLITE_OK) << why << "\n" << statements;
}

// A database of the user's, in a folder of the user's.
fs::path usersDatabase(const fs::path& folder) {
    const fs::path file = folder / "notas.db";
    runSql(file, "CREATE TABLE nota(texto); INSERT INTO nota VALUES('comprar tinta');");
    return file;
}

library::InstalledFlags all() {
    library::InstalledFlags flags;
    flags.fill(true);
    return flags;
}

Reason openingFailure(const fs::path& file) {
    try {
        search::BlockIndex index(file, search::BlockIndex::Open::Existing);
    } catch (const search::IndexError& error) {
        return error.reason();
    }
    ADD_FAILURE() << "opened";
    return Reason::Unavailable;
}

Reason findingFailure(const fs::path& file, std::string_view query) {
    try {
        search::BlockIndex index(file, search::BlockIndex::Open::Existing);
        index.find(query, all());
    } catch (const search::IndexError& error) {
        return error.reason();
    }
    ADD_FAILURE() << "found " << query;
    return Reason::Unavailable;
}

// Cozinhas and Mobília, one block each, and a folder of the user's elsewhere.
struct Scene {
    Scene() {
        library.addBlock(3, "Cuba01", labelledBox(180, 90, "Torneira monocomando"));
        library.addBlock(9, "Mesa", labelledBox(120, 80, "Mesa de jantar"));
    }

    fs::path indexFile() const { return library.layout().searchIndexFile(); }

    search::IndexReport indexNow() {
        search::BackgroundIndexer indexer(library.layout());
        indexer.setCategoryIndexed([this](int category) {
            indexed.push_back(category);
            if (onIndexed) onIndexed(category);
        });
        indexer.start();
        indexer.wait();
        return indexer.report();
    }

    std::vector<search::Hit> find(std::string_view query) {
        search::BlockIndex index(indexFile(), search::BlockIndex::Open::Existing);
        return index.find(query, all()).hits;
    }

    // The index as the program writes it, closed.
    void indexSoundly() {
        ASSERT_FALSE(indexNow().refused);
        ASSERT_EQ(find("torneira"), (std::vector<search::Hit>{{3, "Cuba01.PNG"}}));
    }

    Library library;
    searchtest::TemporaryFolder elsewhere;
    std::vector<int> indexed;
    std::function<void(int)> onIndexed;
};

fs::path withSuffix(const fs::path& file, const char* suffix) {
    return fs::path(file) += suffix;
}

TEST(HostileIndex, NothingIsWrittenThroughALink) {
    // A sound index whose journal file of that suffix is a link to a text of the user's.
    const auto journalLinkedToAText = [](const char* suffix) {
        return [suffix](Scene& t) {
            t.indexSoundly();
            const fs::path target = t.elsewhere.path() / "texto.txt";
            Library::writeFile(target, "meu texto");
            testsupport::plantLink(target, withSuffix(t.indexFile(), suffix));
            return target;
        };
    };
    const struct {
        const char* what;
        // Plants the link; gives the file of the user's that must stay as it is.
        std::function<fs::path(Scene&)> plant;
    } cases[] = {
        {"the index a link to a database of the user's",
         [](Scene& t) {
             const fs::path target = usersDatabase(t.elsewhere.path());
             testsupport::plantLink(target, t.indexFile());
             return target;
         }},
        {"the index a link to an empty file",
         [](Scene& t) {
             const fs::path target = t.elsewhere.path() / "vazio";
             Library::writeFile(target, "");
             testsupport::plantLink(target, t.indexFile());
             return target;
         }},
        {"the index a link to nothing yet",
         [](Scene& t) {
             const fs::path target = t.elsewhere.path() / "novo.db";
             testsupport::plantLink(target, t.indexFile());
             return target;
         }},
        {"the index a second name of a database of the user's",
         [](Scene& t) {
             const fs::path target = usersDatabase(t.elsewhere.path());
             fs::create_hard_link(target, t.indexFile());
             return target;
         }},
        {"the write-ahead log a link", journalLinkedToAText("-wal")},
        {"the shared memory file a link", journalLinkedToAText("-shm")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene;
        const fs::path usersFile = c.plant(scene);
        const bool existed = fs::exists(usersFile);
        const std::string before = existed ? fixtures::readFile(usersFile) : std::string();
        // Something for the pass to write.
        scene.library.addBlock(3, "Pia", labelledBox(100, 50, "Pia de granito"));

        const search::IndexReport report = scene.indexNow();
        EXPECT_TRUE(report.refused);
        EXPECT_FALSE(report.rebuilt);
        EXPECT_NE(report.problem.find("nada foi alterado"), std::string::npos) << report.problem;
        EXPECT_EQ(openingFailure(scene.indexFile()), Reason::Refused);
        EXPECT_EQ(fs::exists(usersFile), existed);
        if (existed) {
            EXPECT_EQ(fixtures::readFile(usersFile), before);
        }
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            EXPECT_FALSE(fs::exists(withSuffix(usersFile, suffix))) << suffix;
    }
}

// A user who moved his library elsewhere left a link in its place: the index
// lives with the library, as the categories installed there do.
TEST(HostileIndex, ALibraryMovedBehindALinkIsIndexedWhereItLies) {
    Scene scene;
    const fs::path real = scene.elsewhere.path() / "Blocos";
    fs::rename(scene.library.layout().libraryRoot(), real);
    testsupport::plantLink(real, scene.library.layout().libraryRoot());
    scene.library.addBlock(3, "Pia", labelledBox(100, 50, "Pia de granito"));
    const search::IndexReport report = scene.indexNow();
    EXPECT_FALSE(report.refused) << report.problem;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(real / "indice.db")));
}

TEST(HostileIndex, AnotherProgramsDatabaseIsLeftAsItIs) {
    Scene scene;
    for (const char* identity : {"", "PRAGMA application_id=7;", "PRAGMA user_version=2;"}) {
        SCOPED_TRACE(identity);
        fs::remove(scene.indexFile());
        runSql(scene.indexFile(), std::string(identity) + "CREATE TABLE nota(texto);");
        const std::string before = fixtures::readFile(scene.indexFile());
        const search::IndexReport report = scene.indexNow();
        EXPECT_TRUE(report.refused);
        EXPECT_EQ(openingFailure(scene.indexFile()), Reason::Refused);
        EXPECT_EQ(fixtures::readFile(scene.indexFile()), before);
    }
}

TEST(HostileIndex, ALookAlikeOfOurTablesIsMadeAgain) {
    Scene scene;
    const struct {
        const char* what;
        const char* sql;
    } cases[] = {
        {"a view for the table of blocks",
         "DROP INDEX block_place; ALTER TABLE block RENAME TO rows;"
         "CREATE VIEW block AS SELECT r.* FROM rows r, rows, rows, rows;"},
        {"a trigger",
         "CREATE TRIGGER forget AFTER INSERT ON block BEGIN DELETE FROM part; END;"},
        {"a table of its own", "CREATE TABLE extra(x);"},
        {"an index missing", "DROP INDEX block_place;"},
        {"a column more", "ALTER TABLE block ADD COLUMN extra INTEGER;"},
        {"a setting of the word index",
         "INSERT INTO block_words(block_words, rank) VALUES('pgsz', 128);"},
        {"an older version", "PRAGMA user_version=1;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(scene.indexFile());
        scene.indexSoundly();
        runSql(scene.indexFile(), c.sql);
        EXPECT_EQ(openingFailure(scene.indexFile()), Reason::Damaged);
        const search::IndexReport report = scene.indexNow();
        EXPECT_TRUE(report.rebuilt);
        EXPECT_TRUE(report.problem.empty()) << report.problem;
        EXPECT_EQ(scene.find("torneira"), (std::vector<search::Hit>{{3, "Cuba01.PNG"}}));
    }
}

TEST(HostileIndex, ABlockOutOfRangeIsNeverHandedOnAndTheIndexIsMadeAgain) {
    Scene scene;
    const char* changes[] = {
        "UPDATE block SET part = 99 WHERE part = 3",
        "UPDATE block SET part = -5 WHERE part = 3",
        "UPDATE block SET thumbnail = CAST('/etc/passwd' AS BLOB) WHERE part = 3",
        "UPDATE block SET thumbnail = CAST('../../x.PNG' AS BLOB) WHERE part = 3",
        "UPDATE block SET thumbnail = CAST('..' AS BLOB) WHERE part = 3",
        "UPDATE block SET thumbnail = CAST('DWG/Cuba01.PNG' AS BLOB) WHERE part = 3",
        "UPDATE block SET thumbnail = CAST('..\\x.PNG' AS BLOB) WHERE part = 3",
        "UPDATE block SET thumbnail = X'4375626100312E504E47' WHERE part = 3",  // a NUL inside
        "UPDATE block SET thumbnail = X'' WHERE part = 3",
        "UPDATE block SET thumbnail = zeroblob(300) WHERE part = 3",
        "UPDATE block SET thumbnail = 'Cuba01.PNG' WHERE part = 3",  // text, not bytes
        "DELETE FROM block WHERE part = 3",  // words of a block that is not there
    };
    for (const char* change : changes) {
        SCOPED_TRACE(change);
        fs::remove(scene.indexFile());
        scene.indexSoundly();
        runSql(scene.indexFile(), change);
        EXPECT_EQ(findingFailure(scene.indexFile(), "torneira"), Reason::Damaged);
        EXPECT_EQ(scene.find("mesa"), (std::vector<search::Hit>{{9, "Mesa.PNG"}}))
            << "the other blocks are still found";
        EXPECT_TRUE(scene.indexNow().rebuilt);
        EXPECT_EQ(scene.find("torneira"), (std::vector<search::Hit>{{3, "Cuba01.PNG"}}));
    }
}

TEST(HostileIndex, ASizeOutOfAnyDrawingsRangeIsNoSize) {
    Scene scene;
    const char* changes[] = {
        "UPDATE block SET width = 1e999",  "UPDATE block SET width = -1",
        "UPDATE block SET height = 1e300", "UPDATE block SET units = 999",
        "UPDATE block SET units = -1",     "UPDATE block SET width = 'largo'",
        "UPDATE block SET units = X'05'",
    };
    for (const char* change : changes) {
        SCOPED_TRACE(change);
        fs::remove(scene.indexFile());
        scene.indexSoundly();
        runSql(scene.indexFile(), change);
        {
            search::BlockIndex index(scene.indexFile(), search::BlockIndex::Open::Existing);
            EXPECT_FALSE(index.drawingSize(3, "Cuba01.PNG"));
        }
        EXPECT_TRUE(scene.indexNow().rebuilt);
        search::BlockIndex index(scene.indexFile(), search::BlockIndex::Open::Existing);
        EXPECT_EQ(index.drawingSize(3, "Cuba01.PNG"), (search::DrawingSize{180, 90, 5}));
    }
}

TEST(HostileIndex, AWriteThatFailsMakesTheIndexAgain) {
    Scene scene;
    scene.indexSoundly();
    scene.library.addBlock(3, "Pia", labelledBox(100, 50, "Pia de granito"));
    scene.library.addBlock(9, "Banco", labelledBox(40, 40, "Banco de praça"));
    scene.indexed.clear();
    // Once Cozinhas is written, a row of Cozinhas takes the place Mobília's
    // second block is written to: the write of Mobília fails.
    scene.onIndexed = [&scene](int category) {
        if (category != 3 || scene.indexed.size() > 1) return;
        runSql(scene.indexFile(),
               "INSERT INTO block(id, part, thumbnail) VALUES((9 << 32) + 2, 3, X'41')");
    };
    const search::IndexReport report = scene.indexNow();
    EXPECT_TRUE(report.rebuilt);
    EXPECT_TRUE(report.problem.empty()) << report.problem;
    EXPECT_EQ(scene.indexed, (std::vector<int>{3, 3, 9})) << "read again into the new index";
    EXPECT_EQ(scene.find("praca"), (std::vector<search::Hit>{{9, "Banco.PNG"}}));
    EXPECT_EQ(scene.find("granito"), (std::vector<search::Hit>{{3, "Pia.PNG"}}));
}

}  // namespace

// A folder's part is read by the same rules: a row whose drawing would lie
// out of its folder, or whose folder is no folder, is never handed on.
TEST(HostileIndex, AFolderRowLeadingOutOfItsFolderIsNeverHandedOn) {
    Scene scene;
    const fs::path folder = scene.elsewhere.path() / "meus";
    Library::writeFile(folder / "sub" / "pia.dwg", [] {
        const std::vector<std::uint8_t> bytes = dwg::writeR2000(labelledBox(60, 40, "Granito"));
        return std::string(bytes.begin(), bytes.end());
    }());
    ASSERT_EQ(library::UserFolders(scene.library.layout()).add(folder), "");
    const search::Scope withFolder(all(), {folder});
    const char* changes[] = {
        "UPDATE block SET thumbnail = CAST('../fora.dwg' AS BLOB) WHERE part >= 16",
        "UPDATE block SET thumbnail = CAST('sub/../../fora.dwg' AS BLOB) WHERE part >= 16",
        "UPDATE block SET thumbnail = CAST('/etc/passwd' AS BLOB) WHERE part >= 16",
        "UPDATE block SET thumbnail = CAST('sub//pia.dwg' AS BLOB) WHERE part >= 16",
        "UPDATE block SET thumbnail = CAST('sub\\pia.dwg' AS BLOB) WHERE part >= 16",
        "UPDATE block SET part = 3 WHERE part >= 16",
        "UPDATE part SET folder = CAST('relativa' AS BLOB) WHERE id >= 16",
        "UPDATE part SET folder = NULL WHERE id >= 16",
        "UPDATE part SET folder = CAST('/x' AS BLOB) WHERE id = 3",
    };
    for (const char* change : changes) {
        SCOPED_TRACE(change);
        fs::remove(scene.indexFile());
        scene.indexSoundly();
        ASSERT_EQ(search::BlockIndex(scene.indexFile(), search::BlockIndex::Open::Existing)
                      .find("granito", withFolder)
                      .hits.size(),
                  1u);
        runSql(scene.indexFile(), change);
        try {
            for (const search::Hit& hit :
                 search::BlockIndex(scene.indexFile(), search::BlockIndex::Open::Existing)
                     .find("granito", withFolder)
                     .hits)
                EXPECT_EQ(hit.folder / hit.thumbnail, folder / "sub" / "pia.dwg");
        } catch (const search::IndexError& error) {
            EXPECT_EQ(error.reason(), Reason::Damaged);
        }
        EXPECT_TRUE(scene.indexNow().rebuilt) << "taken for damaged";
        const std::vector<search::Hit> hits =
            search::BlockIndex(scene.indexFile(), search::BlockIndex::Open::Existing)
                .find("granito", withFolder)
                .hits;
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(hits[0].thumbnail, library::pathFromUtf8("sub/pia.dwg"));
    }
}
