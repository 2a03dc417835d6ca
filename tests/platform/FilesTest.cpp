// Files and folders as the library uses them, on the system the tests run
// on: links never followed, nothing replaced that should not be, read-only
// marks and long paths handled, each step counted.
#include <gtest/gtest.h>
#include <platform/Files.h>
#include <platform/Folder.h>
#include <platform/InstanceLock.h>
#include <platform/Steps.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "paths/Utf8Path.h"

namespace fs = std::filesystem;
using fixtures::readFile;
using fixtures::writeFile;
using platform::EntryKind;

namespace {

// A folder of the test's own, named after it, removed with what it holds.
class TempFolder {
  public:
    TempFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                (std::string("tessaly-platform-") + test->test_suite_name() + "-" + test->name());
        clear();
        fs::create_directories(path_);
    }
    ~TempFolder() { clear(); }
    const fs::path& path() const { return path_; }

  private:
    void clear() {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(path_, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error))
            if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_write,
                                                   fs::perm_options::add, error);
        fs::remove_all(path_, error);
    }
    fs::path path_;
};

// A folder with a file, a folder, a link to each and an accented name.
struct Landscape {
    explicit Landscape(const fs::path& root) : root(root) {
        writeFile(root / "arquivo.txt", "meu");
        writeFile(root / "pasta" / "dentro.txt", "dentro");
        writeFile(root / "fora" / "alheio.txt", "do usuário");
        writeFile(root / paths::pathFromUtf8("Cadeira de balanço.DWG"), "acentos");
        std::error_code error;
        platform::makeFolderLink(root / "fora", root / "elo-pasta", error);
        EXPECT_FALSE(error) << "a folder link: " << error.message();
        platform::makeFileLink(root / "fora" / "alheio.txt", root / "elo-arquivo", error);
        EXPECT_FALSE(error) << "a file link: " << error.message();
    }
    fs::path root;
};

}  // namespace

// What is at a name is told, and removed, without following a link there.
TEST(Files, WhatIsAtANameIsToldAndRemovedWithoutFollowingLinks) {
    const TempFolder temp;
    const Landscape land(temp.path());
    const struct {
        const char* name;
        EntryKind kind;
    } cases[] = {
        {"arquivo.txt", EntryKind::File},       {"pasta", EntryKind::Folder},
        {"elo-pasta", EntryKind::Link},         {"elo-arquivo", EntryKind::Link},
        {"nada", EntryKind::Missing},           {"nada/mais", EntryKind::Missing},
        {"Cadeira de balanço.DWG", EntryKind::File},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code error;
        EXPECT_EQ(platform::entryKind(land.root / paths::pathFromUtf8(c.name), error), c.kind);
        EXPECT_FALSE(error);
    }
    std::error_code error;
    for (const char* link : {"elo-arquivo", "elo-pasta", "nada"}) {
        SCOPED_TRACE(link);
        platform::removeFile(land.root / link, error);
        EXPECT_FALSE(error) << error.message();
        EXPECT_EQ(platform::entryKind(land.root / link, error), EntryKind::Missing);
    }
    EXPECT_EQ(readFile(land.root / "fora" / "alheio.txt"), "do usuário");
}

TEST(Files, OpeningForReadingRefusesLinksUnlessTold) {
    const TempFolder temp;
    const Landscape land(temp.path());
    const struct {
        const char* name;
        platform::Follow follow;
        bool opens;
    } cases[] = {
        {"arquivo.txt", platform::Follow::No, true},
        {"Cadeira de balanço.DWG", platform::Follow::No, true},
        {"elo-arquivo", platform::Follow::No, false},
        {"elo-arquivo", platform::Follow::Yes, true},
        {"pasta", platform::Follow::No, false},
        {"nada", platform::Follow::No, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code error;
        platform::File file =
            platform::File::openForReading(land.root / paths::pathFromUtf8(c.name), error, c.follow);
        EXPECT_EQ(file.isOpen(), c.opens);
        EXPECT_EQ(static_cast<bool>(error), !c.opens);
        if (!file.isOpen()) continue;
        char bytes[64];
        const std::size_t got = file.read(bytes, sizeof bytes, error);
        EXPECT_GT(got, 0u);
        EXPECT_EQ(file.size(error), got);
    }
}

TEST(Files, WritingAndLockingNeverGoThroughALinkNorReplaceWhatIsThere) {
    const TempFolder temp;
    const Landscape land(temp.path());
    std::error_code error;
    // New files only where nothing is: not over a file, not through a link.
    for (const char* taken : {"arquivo.txt", "elo-arquivo", "pasta"}) {
        SCOPED_TRACE(taken);
        EXPECT_FALSE(platform::File::createNew(land.root / taken, error).isOpen());
        EXPECT_EQ(error, std::errc::file_exists);
    }
    EXPECT_FALSE(platform::File::openForWriting(land.root / "elo-arquivo",
                                                platform::File::Start::Emptied, error)
                     .isOpen());
    EXPECT_FALSE(platform::InstanceLock::take(land.root / "elo-arquivo", error).held());
    EXPECT_TRUE(error) << "a lock through a link";
    EXPECT_EQ(readFile(land.root / "fora" / "alheio.txt"), "do usuário");

    // A file of our own: written, emptied, cut, sought, flushed.
    platform::File file = platform::File::openForWriting(
        land.root / "novo.part", platform::File::Start::Kept, error);
    ASSERT_TRUE(file.isOpen()) << error.message();
    const std::string text = "0123456789";
    ASSERT_TRUE(file.writeAll(text.data(), text.size(), error));
    ASSERT_TRUE(file.truncate(4, error));
    ASSERT_TRUE(file.seek(4, error));
    ASSERT_TRUE(file.writeAll("xy", 2, error));
    ASSERT_TRUE(file.flushToDisk(error));
    ASSERT_TRUE(file.close(error));
    EXPECT_EQ(readFile(land.root / "novo.part"), "0123xy");
    file = platform::File::openForWriting(land.root / "novo.part", platform::File::Start::Emptied,
                                          error);
    EXPECT_EQ(file.size(error), 0u);
}

TEST(Files, RenamesKeepOrReplaceAsAsked) {
    const TempFolder temp;
    const fs::path root = temp.path();
    writeFile(root / "a", "a");
    writeFile(root / "b", "b");
    std::error_code error;
    platform::renameNoReplace(root / "a", root / "b", error);
    EXPECT_EQ(error, std::errc::file_exists);
    EXPECT_EQ(readFile(root / "b"), "b");

    // A read-only file in the way is replaced all the same.
    {
        platform::File old = platform::File::openForWriting(root / "b", platform::File::Start::Kept, error);
        old.markReadOnly();
    }
    EXPECT_FALSE(platform::isWritable(root / "b"));
    platform::renameReplacing(root / "a", root / "b", error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(readFile(root / "b"), "a");
    EXPECT_FALSE(fs::exists(root / "a"));

    fs::create_directories(root / "velha" / "x");
    fs::create_directories(root / "nova" / "y");
    platform::exchangeFolders(root / "nova", root / "velha", error);
    if (error) {
        // Where the system cannot swap, nothing moved.
        EXPECT_EQ(error, std::errc::function_not_supported);
        EXPECT_TRUE(fs::exists(root / "velha" / "x"));
    } else {
        EXPECT_TRUE(fs::exists(root / "velha" / "y"));
        EXPECT_TRUE(fs::exists(root / "nova" / "x"));
    }
}

TEST(InstanceLock, HeldOnceAtATimeAndLetGoWithItsHolder) {
    const TempFolder temp;
    const fs::path file = temp.path() / "tessaly.lock";
    std::error_code error;
    {
        const platform::InstanceLock first = platform::InstanceLock::take(file, error);
        EXPECT_TRUE(first.held()) << error.message();
        const platform::InstanceLock second = platform::InstanceLock::take(file, error);
        EXPECT_FALSE(second.held());
        EXPECT_FALSE(error) << "held elsewhere is no error: " << error.message();
    }
    const platform::InstanceLock again = platform::InstanceLock::take(file, error);
    EXPECT_TRUE(again.held()) << "let go with its holder: " << error.message();
}

TEST(Folders, AHeldFolderListsAndRemovesItsEntriesButNeverEntersALink) {
    const TempFolder temp;
    const Landscape land(temp.path());
    std::error_code error;
    const platform::Folder root = platform::Folder::open(land.root, error);
    ASSERT_TRUE(root.isOpen()) << error.message();
    std::vector<std::string> names;
    for (const fs::path& name : root.list(error)) names.push_back(paths::pathToUtf8(name));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Cadeira de balanço.DWG", "arquivo.txt",
                                               "elo-arquivo", "elo-pasta", "fora", "pasta"}));
    EXPECT_FALSE(root.openChild("elo-pasta", error).isOpen());
    EXPECT_FALSE(platform::Folder::open(land.root / "elo-pasta", error).isOpen());
    EXPECT_TRUE(
        platform::Folder::open(land.root / "elo-pasta", error, platform::Follow::Yes).isOpen());

    {
        const platform::Folder folder = root.openChild("pasta", error);
        ASSERT_TRUE(folder.isOpen()) << error.message();
        EXPECT_FALSE(folder.isMountPointBelow(root));
        EXPECT_EQ(folder.kindOf("dentro.txt", error), EntryKind::File);
        root.removeEmptyFolder("pasta", error);
        EXPECT_TRUE(error) << "a folder with a file in it stays";
        folder.removeFile("dentro.txt", error);
        EXPECT_FALSE(error) << error.message();
    }
    root.removeEmptyFolder("pasta", error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(root.kindOf("pasta", error), EntryKind::Missing);
}

TEST(Files, PathsPastTwoHundredAndSixtyCharactersWork) {
    const TempFolder temp;
    std::error_code error;
    fs::path deep = temp.path();
    for (int level = 0; level < 6; ++level) {
        deep /= paths::pathFromUtf8("pasta-com-um-nome-bem-comprido-número-" + std::to_string(level));
        platform::makeFolder(deep, error);
        ASSERT_FALSE(error) << error.message();
    }
    const fs::path file =
        deep / paths::pathFromUtf8("Mesa de jantar com seis cadeiras de balanço.DWG");
    ASSERT_GT(paths::pathToUtf8(file).size(), 300u);
    platform::File created = platform::File::createNew(file, error);
    ASSERT_TRUE(created.isOpen()) << error.message();
    ASSERT_TRUE(created.writeAll("longe", 5, error));
    created.close(error);
    platform::renameReplacing(file, deep / "curto.DWG", error);
    EXPECT_FALSE(error) << error.message();
    platform::File read = platform::File::openForReading(deep / "curto.DWG", error);
    EXPECT_TRUE(read.isOpen()) << error.message();
    read.close(error);
    {
        const platform::Folder folder = platform::Folder::open(deep, error);
        EXPECT_TRUE(folder.isOpen()) << error.message();
        folder.removeFile("curto.DWG", error);
        EXPECT_FALSE(error) << error.message();
    }
    // The folders go again, deepest first, each once nothing holds it (the
    // standard library's removal cannot reach them on Windows).
    for (fs::path level = deep; level != temp.path(); level = level.parent_path()) {
        const platform::Folder parent = platform::Folder::open(level.parent_path(), error);
        parent.removeEmptyFolder(level.filename(), error);
        ASSERT_FALSE(error) << error.message();
    }
}

namespace {

std::vector<platform::Step> seen;
void record(platform::Step step) {
    seen.push_back(step);
}

}  // namespace

TEST(Steps, EveryChangeToTheFileSystemIsOneStepOfItsKind) {
    const TempFolder temp;
    seen.clear();
    platform::setStepHook(record);
    std::error_code error;
    {
        platform::File file = platform::File::createNew(temp.path() / "a", error);
        file.flushToDisk(error);
    }
    platform::renameReplacing(temp.path() / "a", temp.path() / "b", error);
    platform::makeFolder(temp.path() / "c", error);
    platform::removeFile(temp.path() / "b", error);
    platform::setStepHook(nullptr);
    using platform::Step;
    EXPECT_EQ(seen, (std::vector<Step>{Step::Create, Step::Flush, Step::Rename, Step::Create,
                                       Step::Remove}));
}
