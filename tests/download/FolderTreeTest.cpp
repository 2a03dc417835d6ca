#include <gtest/gtest.h>

#include "Links.h"
#include "ZipFixtures.h"
#include "download/PackageInstall.h"

namespace fs = std::filesystem;
using download::RemoveFolderTree;

namespace {

class FolderTree : public ::testing::Test {
  protected:
    void SetUp() override {
        fixtures::writeFile(outside / "keep.txt", "not the library's");
        fixtures::writeFile(root / "3" / "IMG" / "a.PNG", "a");
        fixtures::writeFile(root / "3" / "DWG" / "deep" / "b.DWG.zip", "b");
        fixtures::writeFile(root / "3.txt", "description");
    }
    fixtures::TempFolder temp;
    fs::path root = temp.path() / "Blocos";
    fs::path outside = temp.path() / "elsewhere";
};

}  // namespace

TEST_F(FolderTree, RemovesReadOnlyContentAndLinksAsLinks) {
    fs::permissions(root / "3" / "IMG" / "a.PNG", fs::perms::owner_read);
    fs::permissions(root / "3" / "DWG" / "deep", fs::perms::owner_read | fs::perms::owner_exec);
    testsupport::plantLink(outside, root / "3" / "IMG" / "to-folder");
    testsupport::plantLink(outside / "keep.txt", root / "3" / "to-file");
    testsupport::plantLink(root / "missing", root / "3" / "dangling");

    RemoveFolderTree(root / "3", root);

    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "3")));
    EXPECT_EQ(fixtures::listTree(root), std::vector<std::string>{"3.txt"});
    EXPECT_EQ(fixtures::listTree(outside), std::vector<std::string>{"keep.txt"});
}

TEST_F(FolderTree, AFolderThatIsALinkLosesOnlyTheLink) {
    testsupport::plantLink(outside, root / "4");
    RemoveFolderTree(root / "4", root);
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "4")));
    EXPECT_EQ(fixtures::listTree(outside), std::vector<std::string>{"keep.txt"});
}

TEST_F(FolderTree, NothingOutsideTheLibraryIsEverRemoved) {
    fs::create_directories(temp.path() / "Blocos2" / "3");
    testsupport::plantLink(outside, root / "link");
    const fs::path cases[] = {
        root,                                // the library itself
        root / ".",                          // the same, spelled otherwise
        root / "3" / "..",                   // likewise
        temp.path(),                         // above it
        outside,                             // beside it
        root / ".." / "elsewhere",           // beside it, through the library
        root / "link" / ".." / "elsewhere",  // through a link inside it
        temp.path() / "Blocos2" / "3",       // a name that merely begins like it
        root / "link" / "keep.txt",          // below a link that leaves it
        root / "3.txt",                      // a file, not a folder
        "/",                                 // a root
    };
    for (const fs::path& folder : cases) {
        SCOPED_TRACE(folder.string());
        EXPECT_THROW(RemoveFolderTree(folder, root), fs::filesystem_error);
    }
    EXPECT_EQ(fixtures::listTree(outside), std::vector<std::string>{"keep.txt"});
    EXPECT_TRUE(fs::exists(root / "3" / "DWG" / "deep" / "b.DWG.zip"));
    EXPECT_TRUE(fs::exists(root / "3.txt"));
    EXPECT_TRUE(fs::exists(temp.path() / "Blocos2" / "3"));
}
