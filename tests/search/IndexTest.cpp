#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "LibraryFixture.h"
#include "archive/MemberBytes.h"
#include "search/BlockIndex.h"
#include "library/UserFolders.h"
#include "search/Indexing.h"

namespace {

namespace fs = std::filesystem;
using searchtest::Library;
using searchtest::labelledBox;

using Names = std::vector<std::string>;

library::InstalledFlags all() {
    library::InstalledFlags flags;
    flags.fill(true);
    return flags;
}

library::InstalledFlags only(int category) {
    library::InstalledFlags flags{};
    flags[category] = true;
    return flags;
}

Names names(const std::vector<search::Hit>& hits) {
    Names shown;
    for (const search::Hit& hit : hits)
        shown.push_back(std::to_string(hit.category) + "/" + library::pathToUtf8(hit.thumbnail));
    return shown;
}

// Cozinhas (3) and Mobília (9), read by the start-up pass.
class IndexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        demo::Sketch sink;
        sink.defineBlock("Válvula", {0, 0}, [&] { sink.circle(searchtest::kOutline, {0, 0}, 2); });
        sink.rectangle(searchtest::kOutline, {0, 0}, 180, 90);
        sink.text(searchtest::kLabel, "Torneira monocomando", {10, 10}, 4);
        sink.insert("Válvula", {90, 45});
        library.addBlock(3, "Cuba01", sink.finish());
        library.addBlock(3, "Geladeira", labelledBox(70, 60, "GELADEIRA duplex"));
        library.addBlock(9, "CadeiraEscritorio", labelledBox(50, 50, "Cadeira giratória"));
        library.addBlock(9, "Mesa", labelledBox(120, 80, "Mobília de jantar"));
    }

    void indexNow() {
        search::BackgroundIndexer indexer(library.layout());
        indexer.setCategoryIndexed([this](int category) { indexed.push_back(category); });
        indexer.start();
        indexer.wait();
    }

    search::BlockIndex openIndex() const {
        return search::BlockIndex(library.layout().searchIndexFile(),
                                  search::BlockIndex::Open::Existing);
    }

    Names find(std::string_view query, const library::InstalledFlags& among = all()) {
        return names(openIndex().find(query, among).hits);
    }

    Library library;
    std::vector<int> indexed;
};

TEST_F(IndexTest, FindsBlocksByTheirNamesAndTheWordsOfTheirDrawings) {
    indexNow();
    EXPECT_EQ(indexed, (std::vector<int>{3, 9}));
    const struct {
        const char* query;
        Names found;
        library::InstalledFlags among = all();
    } cases[] = {
        {"torneira", {"3/Cuba01.PNG"}},              // a text of the drawing
        {"TORNEIRA mono", {"3/Cuba01.PNG"}},         // the last word is a prefix
        {"mono torneira", {}},                       // the others are whole words
        {"valvula", {"3/Cuba01.PNG"}},               // a block the drawing defines
        {"cuba", {"3/Cuba01.PNG"}},                  // part of the file name
        {"cadeira", {"9/CadeiraEscritorio.PNG"}},
        {"escritório", {"9/CadeiraEscritorio.PNG"}},
        {"mobilia", {"9/Mesa.PNG"}},
        {"giratoria cadeira", {"9/CadeiraEscritorio.PNG"}},
        {"cadeira jantar", {}},                      // every word is needed
        {"contorno", {"3/Cuba01.PNG", "3/Geladeira.PNG", "9/CadeiraEscritorio.PNG", "9/Mesa.PNG"}},
        {"contorno", {"3/Cuba01.PNG", "3/Geladeira.PNG"}, only(3)},  // only the categories asked
        {"g", {"3/Geladeira.PNG", "9/CadeiraEscritorio.PNG"}},
        {"", {}},
        {" ,.; ", {}},
        {"\"torneira\" OR NOT *", {}},              // no query syntax gets through
        {"inexistente", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(find(c.query, c.among), c.found) << c.query;
}

TEST_F(IndexTest, KeepsTheDrawingSizeInItsUnits) {
    indexNow();
    search::BlockIndex index = openIndex();
    const std::optional<search::DrawingSize> sink = index.drawingSize(3, "Cuba01.PNG");
    ASSERT_TRUE(sink);
    EXPECT_NEAR(sink->width, 180, 0.01);
    EXPECT_NEAR(sink->height, 90, 0.01);
    EXPECT_EQ(sink->insertionUnits, 5);
    EXPECT_FALSE(index.drawingSize(9, "Cuba01.PNG"));
}

TEST_F(IndexTest, ABlockWhoseDrawingCannotBeReadIsFoundByItsName) {
    Library::writeFile(library::dwgFolder(library.categoryFolder(3)) / "Geladeira.DWG.zip",
                       "não é um zip");
    library.addBlock(3, "Fogão", labelledBox(60, 60, "Fogão 4 bocas"));
    fs::remove(library::dwgFolder(library.categoryFolder(3)) / library::pathFromUtf8("Fogão.DWG.zip"));
    indexNow();
    EXPECT_EQ(find("geladeira"), Names{"3/Geladeira.PNG"});
    EXPECT_EQ(find("duplex"), Names{});
    EXPECT_EQ(find("fogao"), Names{"3/Fogão.PNG"});
    EXPECT_FALSE(openIndex().drawingSize(3, "Geladeira.PNG"));
}

TEST_F(IndexTest, ReadsAgainOnlyWhatChanged) {
    indexNow();
    indexed.clear();
    indexNow();
    EXPECT_TRUE(indexed.empty()) << "unchanged categories are not read again";

    library.addBlock(9, "Poltrona", labelledBox(80, 80, "Poltrona reclinável"));
    fs::remove_all(library.categoryFolder(3));
    indexNow();
    EXPECT_EQ(indexed, std::vector<int>{9});
    EXPECT_EQ(find("reclinavel"), Names{"9/Poltrona.PNG"});
    // The part of a category no longer installed goes, not only its results.
    search::BlockIndex index = openIndex();
    EXPECT_FALSE(index.fingerprint(3));
    EXPECT_TRUE(index.fingerprint(9));
}

TEST_F(IndexTest, ABlockWithoutAThumbnailIsIndexedUnderTheThumbnailItWouldHave) {
    indexNow();
    indexed.clear();
    library.addBlock(9, "Poltrona", labelledBox(80, 60, "Poltrona reclinável"));
    fs::remove(library::imgFolder(library.categoryFolder(9)) / "Poltrona.PNG");
    indexNow();
    EXPECT_EQ(indexed, std::vector<int>{9}) << "an archive added is a change of the category";
    EXPECT_EQ(find("reclinavel"), Names{"9/Poltrona.PNG"});
    EXPECT_EQ(find("poltrona"), Names{"9/Poltrona.PNG"});
    const std::optional<search::DrawingSize> size = openIndex().drawingSize(9, "Poltrona.PNG");
    ASSERT_TRUE(size);
    EXPECT_NEAR(size->width, 80, 0.01);
}

TEST_F(IndexTest, AStagedCategoryArrivesIndexed) {
    indexNow();
    const fs::path staged = library.layout().libraryRoot() / ".3.novo-abc" / "3";
    Library::addBlockIn(staged, "Pia", labelledBox(100, 50, "Pia de granito"));
    std::vector<double> steps;
    ASSERT_TRUE(search::indexStagedCategory(library.layout(), 3, staged,
                                            [&](const fs::path&, double percent) {
                                                steps.push_back(percent);
                                                return true;
                                            }));
    EXPECT_EQ(steps, (std::vector<double>{0, 100}));
    fs::remove_all(library.categoryFolder(3));
    fs::rename(staged, library.categoryFolder(3));

    EXPECT_EQ(find("granito"), Names{"3/Pia.PNG"});
    EXPECT_EQ(find("torneira"), Names{});
    indexed.clear();
    indexNow();
    EXPECT_TRUE(indexed.empty()) << "the swapped-in category is not read a second time";
}

TEST_F(IndexTest, AStoppedReadingWritesNothing) {
    indexNow();
    const fs::path staged = library.layout().libraryRoot() / ".9.novo-abc" / "9";
    Library::addBlockIn(staged, "Banco", labelledBox(40, 40, "Banco"));
    EXPECT_FALSE(search::indexStagedCategory(library.layout(), 9, staged,
                                             [](const fs::path&, double) { return false; }));
    EXPECT_EQ(find("banco"), Names{});
    EXPECT_EQ(find("mesa"), Names{"9/Mesa.PNG"});
}

struct Damage {
    const char* what;
    std::function<void(const fs::path&)> apply;
    bool replaceable = true;
};

TEST_F(IndexTest, ADamagedIndexIsRebuiltFromTheLibrary) {
    const Damage damages[] = {
        {"garbage", [](const fs::path& file) { Library::writeFile(file, std::string(5000, 'x')); }},
        {"empty file", [](const fs::path& file) { Library::writeFile(file, ""); }},
        {"cut in half",
         [](const fs::path& file) { fs::resize_file(file, fs::file_size(file) / 2); }},
        {"pages overwritten",
         [](const fs::path& file) {
             std::fstream bytes(file, std::ios::in | std::ios::out | std::ios::binary);
             for (std::streamoff at = 4096; at + 64 < static_cast<std::streamoff>(fs::file_size(file));
                  at += 4096) {
                 bytes.seekp(at);  // the page's kind
                 bytes.write("\x42\xFF\xFF\xFF", 4);
             }
         }},
        {"a directory", [](const fs::path& file) { fs::create_directory(file); }, false},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        indexNow();
        const fs::path file = library.layout().searchIndexFile();
        openIndex();  // the index is in one piece before it is damaged
        for (const char* suffix : {"-wal", "-shm"}) fs::remove(fs::path(file) += suffix);
        fs::remove_all(file);
        if (damage.replaceable) indexNow();
        damage.apply(file);
        indexed.clear();
        indexNow();
        if (damage.replaceable) {
            EXPECT_EQ(indexed, (std::vector<int>{3, 9}));
            EXPECT_EQ(find("torneira"), Names{"3/Cuba01.PNG"});
        } else {
            // A folder cannot be replaced: never fatal, nothing found.
            EXPECT_THROW(openIndex(), search::IndexError);
            fs::remove(file);
        }
    }
}

TEST_F(IndexTest, OpeningReportsWhetherTheFileWasReplaced) {
    const fs::path file = library.layout().searchIndexFile();
    EXPECT_THROW(openIndex(), search::IndexError);
    for (const char* opening : {"new file", "same file again"}) {
        search::BlockIndex index(file, search::BlockIndex::Open::CheckOrRebuild);
        EXPECT_FALSE(index.rebuilt()) << opening;
    }
    Library::writeFile(file, "SQLite format 3");
    EXPECT_THROW(openIndex(), search::IndexError);
    search::BlockIndex replaced(file, search::BlockIndex::Open::CheckOrRebuild);
    EXPECT_TRUE(replaced.rebuilt());
    EXPECT_FALSE(replaced.fingerprint(3));
}

TEST(Fingerprint, FollowsTheFilesNotTheFolderName) {
    Library library;
    library.addBlock(3, "A", labelledBox(10, 10, ""));
    const std::uint64_t before = search::folderFingerprint(library.categoryFolder(3));
    fs::rename(library.categoryFolder(3), library.categoryFolder(4));
    EXPECT_EQ(search::folderFingerprint(library.categoryFolder(4)), before);
    const struct {
        const char* change;
        std::function<void(const fs::path&)> apply;
    } changes[] = {
        {"a block added",
         [](const fs::path& f) { Library::addBlockIn(f, "B", labelledBox(1, 1, "")); }},
        {"a drawing archive added alone",
         [](const fs::path& f) { Library::writeFile(f / "DWG" / "B.DWG.zip", "x"); }},
        {"a thumbnail renamed",
         [](const fs::path& f) { fs::rename(f / "IMG" / "A.PNG", f / "IMG" / "C.PNG"); }},
        {"an archive rewritten",
         [](const fs::path& f) { Library::writeFile(f / "DWG" / "A.DWG.zip", "outro"); }},
    };
    for (const auto& c : changes) {
        Library fresh;
        fresh.addBlock(3, "A", labelledBox(10, 10, ""));
        const std::uint64_t original = search::folderFingerprint(fresh.categoryFolder(3));
        c.apply(fresh.categoryFolder(3));
        EXPECT_NE(search::folderFingerprint(fresh.categoryFolder(3)), original) << c.change;
    }
}

TEST(MemberBytes, ReadsTheDrawingOfABlockArchiveInMemory) {
    Library library;
    library.addBlock(3, "A", labelledBox(10, 10, "texto"));
    const fs::path archiveFile = library::dwgFolder(library.categoryFolder(3)) / "A.DWG.zip";
    const auto bytes =
        archive::readMemberBytes(archiveFile, "*.DWG", library::kArchivePassword, 1 << 20);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "AC1015");
    EXPECT_THROW(archive::readMemberBytes(archiveFile, "*.DWG", "outra senha", 1 << 20),
                 archive::ZipError);
    EXPECT_THROW(archive::readMemberBytes(archiveFile, "*.TXT", library::kArchivePassword, 1 << 20),
                 archive::ZipError);
    EXPECT_THROW(archive::readMemberBytes(archiveFile, "*.DWG", library::kArchivePassword, 100),
                 archive::ZipError);
    EXPECT_THROW(archive::readMemberBytes(archiveFile.parent_path() / "X.DWG.zip", "*.DWG",
                                          library::kArchivePassword, 1 << 20),
                 archive::ZipError);
}

}  // namespace

// A folder of the user's drawings, beside the library: in the list, found by
// its drawings' names and words, each drawing read once until it changes.
class FolderIndexTest : public IndexTest {
  protected:
    void SetUp() override {
        IndexTest::SetUp();
        folder = scratch.path() / library::pathFromUtf8("Blocos da empresa");
        write("sub/Pia.dwg", "Pia de granito");
        write("armario.DWG", "Armário alto");
        write("ruim.dwg", "");  // no drawing at all
        fs::create_directories(library.layout().programFolder());
        ASSERT_EQ(library::UserFolders(library.layout()).add(folder), "");
    }

    void write(const std::string& name, const std::string& text) {
        std::string bytes = "AC1015 e nada mais";
        if (!text.empty()) {
            const std::vector<std::uint8_t> drawing = dwg::writeR2000(labelledBox(60, 40, text));
            bytes.assign(drawing.begin(), drawing.end());
        }
        Library::writeFile(folder / library::pathFromUtf8(name), bytes);
    }

    std::vector<search::Hit> findInFolder(std::string_view query) {
        return openIndex().find(query, search::Scope(library::InstalledFlags{}, {folder})).hits;
    }

    searchtest::TemporaryFolder scratch;
    fs::path folder;
};

TEST_F(FolderIndexTest, ItsDrawingsAreFoundByNameAndWordsAndNamedByTheirFolder) {
    indexNow();
    EXPECT_EQ(indexed.back(), -1);
    const std::vector<search::Hit> hits = findInFolder("granito");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].category, -1);
    EXPECT_EQ(hits[0].folder, folder);
    EXPECT_EQ(hits[0].thumbnail, library::pathFromUtf8("sub/Pia.dwg"));
    EXPECT_EQ(hits[0].fileSize, fs::file_size(folder / "sub" / "Pia.dwg"));
    EXPECT_EQ(findInFolder("ruim").size(), 1u) << "a damaged drawing by its name";
    EXPECT_EQ(findInFolder("armario").size(), 1u) << "the name, letter case and accents folded";
    EXPECT_TRUE(find("granito").empty()) << "not among the categories alone";
    EXPECT_TRUE(openIndex().drawingSize(folder, library::pathFromUtf8("sub/Pia.dwg")).has_value());
}

TEST_F(FolderIndexTest, OnlyChangedDrawingsAreReadAgainAndARemovedFolderLeaves) {
    // A time of whole seconds, which MinGW's C library can set back exactly.
    const fs::path closet = folder / "armario.DWG";
    const fs::file_time_type closetTime =
        std::chrono::floor<std::chrono::seconds>(fs::last_write_time(closet));
    fs::last_write_time(closet, closetTime);
    indexNow();
    // Spoilt behind the index's back, keeping its size and time: a drawing
    // read again would lose its words.
    Library::writeFile(closet, std::string(fs::file_size(closet), 'x'));
    fs::last_write_time(closet, closetTime);
    write("sub/Pia.dwg", "Pia de mármore");
    fs::last_write_time(folder / "sub" / "Pia.dwg",
                        fs::last_write_time(folder / "sub" / "Pia.dwg") + std::chrono::hours(1));
    indexNow();
    EXPECT_TRUE(findInFolder("granito").empty());
    EXPECT_EQ(findInFolder("marmore").size(), 1u);
    EXPECT_EQ(findInFolder("alto").size(), 1u) << "its words kept from the first reading";

    library::UserFolders(library.layout()).remove(folder);
    indexNow();
    EXPECT_TRUE(openIndex().folders().empty());
    EXPECT_TRUE(findInFolder("marmore").empty());
}
