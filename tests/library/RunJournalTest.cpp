#include <gtest/gtest.h>

#include "Links.h"
#include "TestFiles.h"
#include "library/RunJournal.h"

namespace fs = std::filesystem;
using fixtures::readFile;
using fixtures::writeFile;
using library::Layout;
using namespace std::string_literals;

namespace {

// A program folder of its own with an empty Blocos, and its journal.
class RunJournal : public ::testing::Test {
  protected:
    ~RunJournal() override { fs::remove_all(root); }
    fs::path blocos() const { return root / "Blocos"; }

    const fs::path root = freshFolder();
    const Layout layout{root};
    const library::RunJournal journal{layout};

  private:
    static fs::path freshFolder() {
        const auto* test = ::testing::UnitTest::GetInstance();
        const fs::path path =
            fs::temp_directory_path() / ("tessaly-journal-" + std::to_string(test->random_seed()) +
                                         "-" + test->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path / "Blocos");
        return path;
    }
};

bool present(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

}  // namespace

// What the next start believes of a journal a killed or hostile run left, and
// of one a run then wrote to.
TEST_F(RunJournal, ReadsOnlyCompleteLinesNamingItsOwnPlaces) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> expected;  // relative to the program folder
        bool thenRecords4 = false;          // Blocos/4.zip recorded after the text was left
    };
    const std::vector<Case> cases = {
        {"created, not settled", "+ Blocos/3.zip .\n", {"Blocos/3.zip"}},
        {"created then settled", "+ Blocos/3.zip .\n- Blocos/3.zip .\n", {}},
        {"settled then created again", "+ TMP.ZIP .\n- TMP.ZIP .\n+ TMP.ZIP .\n", {"TMP.ZIP"}},
        {"torn last line", "+ Blocos/3.zip .\n+ Blocos/.4.nov", {"Blocos/3.zip"}},
        {"torn settling line", "+ Blocos/3.zip .\n- Blocos/3.zip .", {"Blocos/3.zip"}},
        {"listed twice, settled once", "+ TMP.ZIP .\n+ TMP.ZIP .\n- TMP.ZIP .\n", {}},
        {"escaped name", "+ Blocos/Cama%20de%0Acasal.DWG .\n", {"Blocos/Cama de\ncasal.DWG"}},
        {"parent folder", "+ Blocos/.. .\n+ Blocos/%2E%2E .\n", {}},
        {"escaped slash", "+ Blocos/%2Fetc%2Fpasswd .\n+ Blocos/a%2Fb .\n", {}},
        {"escaped zero byte", "+ Blocos/a%00b .\n", {}},
        {"a folder down", "+ Blocos/3/IMG/a.PNG .\n", {}},
        {"absolute path", "+ /etc/passwd .\n+ /tmp/Blocos/x .\n", {}},
        {"beside Blocos", "+ vazio.dwg .\n+ tessaly.journal .\n+ ../Blocos/x .\n", {}},
        {"empty name", "+ Blocos/ .\n+  .\n", {}},
        {"bad escape", "+ Blocos/x%4 .\n+ Blocos/x%G0 .\n+ Blocos/x%4g .\n", {}},
        {"no space after the sign", "+Blocos/3.zip .\n*  Blocos/3.zip .\n", {}},
        {"carriage return after the end", "+ TMP.ZIP .\r\n", {}},
        {"no closing mark", "+ Blocos/3.zip\n+ TMP.ZIP .\n", {"TMP.ZIP"}},
        {"cut before the mark, joined on", "+ Blocos/Cama~1.DWG\n+ TMP.ZIP .\n", {"TMP.ZIP"}},
        {"binary garbage between",
         "+ TMP.ZIP .\n\xff\xfe\0\x01\n+ Blocos/1.zip .\n"s,
         {"TMP.ZIP", "Blocos/1.zip"}},
        // Torn by a kill, then written to: the new line is read, the torn one never.
        {"torn in the name, then 4.zip", "+ Blocos/.3.nov", {"Blocos/4.zip"}, true},
        {"torn before the space, then 4.zip", "+ Blocos/.3.novo-abcdef", {"Blocos/4.zip"}, true},
        {"torn before the mark, then 4.zip", "+ Blocos/.3.novo-abcdef ", {"Blocos/4.zip"}, true},
        // Only the names the program gives what it creates.
        {"each of the program's own names",
         "+ Blocos/.0.novo-Ab12Cd .\n+ Blocos/.13.antigo-zZ09aA .\n+ Blocos/13.zip .\n"
         "+ Blocos/0.zip .\n+ Blocos/Sofa~12.DWG .\n+ Blocos/3.DWG .\n",
         {"Blocos/.0.novo-Ab12Cd", "Blocos/.13.antigo-zZ09aA", "Blocos/13.zip", "Blocos/0.zip",
          "Blocos/Sofa~12.DWG", "Blocos/3.DWG"}},
        {"a category folder", "+ Blocos/3 .\n+ Blocos/13 .\n", {}},
        {"the user's and the library's files",
         "+ Blocos/Sofa.txt .\n+ Blocos/3.txt .\n+ Blocos/indice.db .\n+ Blocos/.3.zip.part .\n",
         {}},
        {"a package beyond the table or spelt otherwise",
         "+ Blocos/14.zip .\n+ Blocos/03.zip .\n+ Blocos/-1.zip .\n+ Blocos/3.ZIP .\n"
         "+ Blocos/.zip .\n",
         {}},
        {"an install folder of another shape",
         "+ Blocos/.3.novo- .\n+ Blocos/.3.novo-abcde .\n+ Blocos/.3.novo-abcdefg .\n"
         "+ Blocos/.3.novo-abc%2Edef .\n+ Blocos/.14.antigo-abcdef .\n+ Blocos/.3.velho-abcdef .\n"
         "+ Blocos/3.novo-abcdef .\n",
         {}},
        {"a drawing of another extension", "+ Blocos/Sofa.dwg .\n+ Blocos/Sofa.DWG.zip .\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(journal.file(), c.text);
        if (c.thenRecords4) {
            ASSERT_TRUE(journal.willCreate(layout.packageFile(4)));
        }
        std::vector<std::string> got;
        for (const fs::path& path : journal.leftovers())
            got.push_back(fixtures::slashed(path.lexically_relative(root)));
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(RunJournal, RecordsOnlyItsOwnPlaces) {
    struct Case {
        fs::path path;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {layout.packageFile(3), true},
        {layout.previewArchiveCopy(), true},
        {blocos() / ".3.novo-abcdef", true},
        {blocos() / "Nome com\nquebra %.DWG", true},
        {blocos() / "3" / "IMG" / "a.PNG", false},
        {root / "vazio.dwg", false},
        {blocos() / "..", false},
        {fs::path("/etc/passwd"), false},
        {blocos(), false},
        {layout.categoryFolder(3), false},
        {layout.descriptionFile(3), false},
        {blocos() / "Sofa.txt", false},
        {blocos() / "14.zip", false},
        {blocos() / ".3.novo-abc", false},
    };
    std::vector<fs::path> expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(journal.willCreate(c.path), c.accepted);
        if (c.accepted) expected.push_back(c.path);
    }
    EXPECT_EQ(journal.leftovers(), expected);
    for (const fs::path& path : expected) journal.settled(path);
    EXPECT_TRUE(journal.leftovers().empty());
    EXPECT_FALSE(present(journal.file())) << "a journal that lists nothing is removed";
}

// What removal at start does to each kind of thing a listed name can be.
TEST_F(RunJournal, RemovesExactlyWhatItListsAndNeverFollowsALink) {
    const fs::path outside = root / "fora";
    fs::create_directories(outside / "pasta");
    writeFile(outside / "alvo.DWG", "user");
    writeFile(outside / "pasta" / "dentro", "user");

    // The program's own files and folders, listed.
    writeFile(layout.packageFile(3), "zip");
    fs::create_directories(blocos() / ".3.novo-abcdef" / "3" / "IMG");
    writeFile(blocos() / ".3.novo-abcdef" / "3" / "IMG" / "a.PNG", "png");
    testsupport::plantLink(outside, blocos() / ".3.novo-abcdef" / "3" / "fora");
    writeFile(blocos() / "Cama~1.DWG", "preview");
    writeFile(layout.previewArchiveCopy(), "zip");
    // Listed, but a link is never what this program made.
    testsupport::plantLink(outside / "alvo.DWG", blocos() / "Link.DWG");
    testsupport::plantLink(outside / "pasta", blocos() / ".5.novo-linked");
    // The user's own files, not listed.
    writeFile(blocos() / "Cama.DWG", "user");
    writeFile(blocos() / "4.zip", "user");

    for (const fs::path& path :
         {layout.packageFile(3), blocos() / ".3.novo-abcdef", blocos() / "Cama~1.DWG",
          layout.previewArchiveCopy(), blocos() / "Link.DWG", blocos() / ".5.novo-linked",
          blocos() / ".6.novo-nUnCa0"})
        ASSERT_TRUE(journal.willCreate(path));
    journal.removeLeftovers();

    struct Expectation {
        fs::path path;
        bool remains;
    };
    const std::vector<Expectation> expectations = {
        {layout.packageFile(3), false},   {blocos() / ".3.novo-abcdef", false},
        {blocos() / "Cama~1.DWG", false}, {layout.previewArchiveCopy(), false},
        {blocos() / "Link.DWG", true},    {blocos() / ".5.novo-linked", true},
        {outside / "alvo.DWG", true},     {outside / "pasta" / "dentro", true},
        {blocos() / "Cama.DWG", true},    {blocos() / "4.zip", true},
    };
    for (const Expectation& e : expectations) {
        SCOPED_TRACE(e.path.string());
        EXPECT_EQ(present(e.path), e.remains);
    }
    EXPECT_TRUE(journal.leftovers().empty());
}

// Whatever a journal says, it never removes what the program did not create:
// an installed category, the user's files, or a thing of the wrong kind at
// one of the program's names.
TEST_F(RunJournal, NeverRemovesWhatTheProgramDidNotMake) {
    writeFile(blocos() / "3" / "IMG" / "Sofa.PNG", "installed");
    writeFile(blocos() / "Sofa.txt", "user");
    writeFile(layout.descriptionFile(3), "description");
    writeFile(blocos() / "Projeto.DWG" / "planta.dwg", "a folder of the user's");
    writeFile(blocos() / ".4.novo-abcdef", "a file where the program makes a folder");
    writeFile(blocos() / "14.zip", "user");
    writeFile(journal.file(),
              "+ Blocos/3 .\n+ Blocos/Sofa.txt .\n+ Blocos/3.txt .\n+ Blocos/Projeto.DWG .\n"
              "+ Blocos/.4.novo-abcdef .\n+ Blocos/14.zip .\n");
    journal.removeLeftovers();
    for (const fs::path& kept : {blocos() / "3" / "IMG" / "Sofa.PNG", blocos() / "Sofa.txt",
                                 layout.descriptionFile(3), blocos() / "Projeto.DWG" / "planta.dwg",
                                 blocos() / ".4.novo-abcdef", blocos() / "14.zip"}) {
        SCOPED_TRACE(kept.string());
        EXPECT_TRUE(present(kept));
    }
    EXPECT_TRUE(journal.leftovers().empty());
}

// A user who moved his library elsewhere left a link named Blocos; what a
// killed run left there goes as it would in a folder, and a link inside it
// is still never followed.
TEST_F(RunJournal, ALinkedLibraryIsClearedWhereItLies) {
    const fs::path moved = root / "outro-disco" / "Blocos";
    const fs::path outside = root / "fora";
    fs::remove_all(blocos());
    fs::create_directories(moved);
    testsupport::plantLink(moved, blocos());
    writeFile(outside / "dentro", "user");
    writeFile(moved / "3.zip", "zip");
    writeFile(moved / ".3.novo-abcdef" / "3" / "IMG" / "a.PNG", "png");
    testsupport::plantLink(outside, moved / ".3.novo-abcdef" / "3" / "fora");
    writeFile(moved / "Cama~1.DWG", "preview");
    testsupport::plantLink(outside, moved / ".4.novo-linked");
    writeFile(moved / "3.txt", "description");
    for (const fs::path& path : {layout.packageFile(3), blocos() / ".3.novo-abcdef",
                                 blocos() / "Cama~1.DWG", blocos() / ".4.novo-linked"})
        ASSERT_TRUE(journal.willCreate(path));

    journal.removeLeftovers();

    struct Expectation {
        fs::path path;
        bool remains;
    };
    const std::vector<Expectation> expectations = {
        {moved / "3.zip", false},      {moved / ".3.novo-abcdef", false},
        {moved / "Cama~1.DWG", false}, {moved / ".4.novo-linked", true},
        {outside / "dentro", true},    {moved / "3.txt", true},
    };
    for (const Expectation& e : expectations) {
        SCOPED_TRACE(e.path.string());
        EXPECT_EQ(present(e.path), e.remains);
    }
    EXPECT_TRUE(journal.leftovers().empty());
    EXPECT_FALSE(present(journal.file())) << "nothing stays listed";
}

// A kill can leave a journal that lists nothing open: the next start removes
// it as it removes one it emptied itself.
TEST_F(RunJournal, OneThatListsNothingOpenIsRemoved) {
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"killed before the first line", ""},
        {"a torn first line", "+ Blocos/3.zi"},
        {"every line settled", "+ Blocos/3.zip .\n- Blocos/3.zip .\n"},
        {"only names of others", "+ Blocos/3 .\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(journal.file(), c.text);
        journal.removeLeftovers();
        EXPECT_FALSE(present(journal.file()));
    }
}

TEST_F(RunJournal, WhatCannotBeRemovedStaysListed) {
    // Deeper than any package: the folder tree removal refuses it.
    const fs::path deep = blocos() / ".3.novo-deep00";
    fs::path inner = deep;
    for (int level = 0; level < 70; ++level) inner /= "d";
    fs::create_directories(inner);
    ASSERT_TRUE(journal.willCreate(deep));
    journal.removeLeftovers();
    EXPECT_EQ(journal.leftovers(), std::vector<fs::path>{deep});
}

TEST_F(RunJournal, RemovesOnlyWhatTheSelectionAccepts) {
    for (int n : {3, 4}) {
        writeFile(layout.packageFile(n), "zip");
        ASSERT_TRUE(journal.willCreate(layout.packageFile(n)));
    }
    journal.removeLeftovers([&](const fs::path& path) { return path == layout.packageFile(4); });
    EXPECT_TRUE(present(layout.packageFile(3)));
    EXPECT_FALSE(present(layout.packageFile(4)));
    EXPECT_EQ(journal.leftovers(), std::vector<fs::path>{layout.packageFile(3)});
}

TEST_F(RunJournal, StaysSmallOverManyRuns) {
    // One entry stays open all along, so the journal is never simply emptied.
    ASSERT_TRUE(journal.willCreate(layout.previewArchiveCopy()));
    // Long names, so that the journal passes its compaction size a few times.
    for (int run = 0; run < 400; ++run) {
        const fs::path staging = blocos() / (std::string(200, 'n') + std::to_string(run) + ".DWG");
        ASSERT_TRUE(journal.willCreate(staging));
        journal.settled(staging);
    }
    EXPECT_LT(fs::file_size(journal.file()), 70u * 1024u);
    EXPECT_EQ(journal.leftovers(), std::vector<fs::path>{layout.previewArchiveCopy()});
}

TEST_F(RunJournal, AJournalThatIsALinkIsNeitherReadNorWritten) {
    const fs::path other = root / "outro.txt";
    writeFile(other, "+ Blocos/3.zip .\n");
    writeFile(layout.packageFile(3), "zip");
    testsupport::plantLink(other, journal.file());
    EXPECT_TRUE(journal.leftovers().empty());
    EXPECT_FALSE(journal.willCreate(layout.packageFile(4)));
    journal.removeLeftovers();
    EXPECT_TRUE(present(layout.packageFile(3)));
    EXPECT_EQ(readFile(other), "+ Blocos/3.zip .\n");
    EXPECT_TRUE(fs::is_symlink(journal.file()));
}
