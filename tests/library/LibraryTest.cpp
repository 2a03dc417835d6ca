#include <gtest/gtest.h>

#include <fstream>

#include "library/Library.h"

namespace fs = std::filesystem;
using namespace library;

namespace {

class TempFolder {
  public:
    TempFolder() {
        path_ = fs::temp_directory_path() /
                ("tessaly-library-" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

std::vector<std::string> names(const std::vector<fs::path>& paths) {
    std::vector<std::string> result;
    for (const auto& p : paths) result.push_back(pathToUtf8(p.filename()));
    return result;
}

}  // namespace

TEST(CategoryTable, TextsBuiltFromTheRows) {
    ASSERT_EQ(categoryTable().size(), 14u);
    EXPECT_EQ(categoryListEntry(0, true), "» Biblioteca - 3D");
    EXPECT_EQ(categoryListEntry(11, false), "Download - Urbano");
    EXPECT_EQ(categoryListEntry(13, true), "» Biblioteca - Veículos");
    EXPECT_EQ(packageCheckBoxText(0), "3D (300MB)");
    EXPECT_EQ(packageCheckBoxText(8), "Hidrossanitários (6MB)");
    EXPECT_EQ(packageCheckBoxText(7), "Fabricantes (106MB)");
    EXPECT_EQ(packageName(12), "12.zip");
    for (int n = 0; n < kCategoryCount; ++n) EXPECT_EQ(categoryTable()[n].index, n);
    EXPECT_THROW(categoryListEntry(14, true), std::out_of_range);
}

TEST(Layout, PathsBelowTheProgramFolder) {
    const Layout layout("/opt/tessaly");
    EXPECT_EQ(layout.categoryFolder(0), fs::path("/opt/tessaly/Blocos/0"));
    EXPECT_EQ(layout.categoryFolder(10), fs::path("/opt/tessaly/Blocos/10"));
    EXPECT_EQ(layout.categoryFolder(13), fs::path("/opt/tessaly/Blocos/13"));
    EXPECT_EQ(layout.descriptionFile(9), fs::path("/opt/tessaly/Blocos/9.txt"));
    EXPECT_EQ(layout.packageFile(11), fs::path("/opt/tessaly/Blocos/11.zip"));
    EXPECT_EQ(layout.previewArchiveCopy(), fs::path("/opt/tessaly/TMP.ZIP"));
    EXPECT_EQ(layout.emptyDrawing(), fs::path("/opt/tessaly/vazio.dwg"));
    EXPECT_EQ(imgFolder(layout.categoryFolder(3)), fs::path("/opt/tessaly/Blocos/3/IMG"));
    EXPECT_EQ(dwgFolder(layout.categoryFolder(3)), fs::path("/opt/tessaly/Blocos/3/DWG"));
    EXPECT_EQ(kArchivePassword.size(), 45u);
}

TEST(Layout, InstalledFlagsFollowTheCategoryFolders) {
    TempFolder temp;
    const Layout layout(temp.path());
    InstalledFlags none{};
    EXPECT_EQ(layout.installedFlags(), none) << "no Blocos folder at all";

    fs::create_directories(temp.path() / "Blocos" / "12");  // empty, still installed
    touch(temp.path() / "Blocos" / "5");                    // a file, not a folder
    fs::create_directories(temp.path() / "Blocos" / "0" / "IMG");
    const InstalledFlags flags = layout.installedFlags();
    for (int n = 0; n < kCategoryCount; ++n)
        EXPECT_EQ(flags[n], n == 0 || n == 12) << "category " << n;
}

TEST(BlockNames, FromThumbnailNames) {
    EXPECT_EQ(blockName("Sofa01.PNG"), "Sofa01");
    EXPECT_EQ(blockName("a.b.PNG"), "a.b");
    EXPECT_EQ(blockName("x.png"), "x");
    EXPECT_EQ(blockName("semextensao"), "semextensao");
    EXPECT_EQ(blockName("/lib/Blocos/3/IMG/Pia.PNG"), "Pia");
    EXPECT_EQ(blockName(pathFromUtf8("Cadeira de balanço.PNG")),
              pathFromUtf8("Cadeira de balanço"));
    EXPECT_EQ(blockName(".PNG"), "");
    // Latin-1 bytes, as a library unpacked from a Windows archive has them.
    EXPECT_EQ(blockName("Sof\xE1.PNG").native(), "Sof\xE1");

    const fs::path category("/lib/Blocos/3");
    EXPECT_EQ(drawingArchivePath(category, "a.b.PNG"), fs::path("/lib/Blocos/3/DWG/a.b.DWG.zip"));
}

TEST(BlockNames, ArchiveFoundRegardlessOfLetterCaseButExactNamePreferred) {
    TempFolder temp;
    const fs::path category = temp.path() / "Blocos" / "2";
    touch(category / "DWG" / "pia.dwg.ZIP");
    EXPECT_EQ(drawingArchivePath(category, "Pia.PNG"), category / "DWG" / "pia.dwg.ZIP");
    touch(category / "DWG" / "Pia.DWG.zip");
    EXPECT_EQ(drawingArchivePath(category, "Pia.PNG"), category / "DWG" / "Pia.DWG.zip");
    EXPECT_EQ(drawingArchivePath(category, "Nada.PNG"), category / "DWG" / "Nada.DWG.zip");
    touch(category / "DWG" / "Sof\xE1.dwg.zip");
    EXPECT_EQ(drawingArchivePath(category, category / "IMG" / "Sof\xE1.PNG"),
              category / "DWG" / "Sof\xE1.dwg.zip");
}

TEST(Thumbnails, ListedByExtensionInAnyCase) {
    TempFolder temp;
    const fs::path category = temp.path() / "Blocos" / "4";
    EXPECT_TRUE(listThumbnails(category).empty()) << "missing IMG folder";
    fs::create_directories(category / "IMG");
    EXPECT_TRUE(listThumbnails(category).empty());

    for (const char* name :
         {"b.PNG", "x.png", "a.b.PNG", ".oculto.PNG", "c.jpg", "d.PNG.txt", "Pé.Png"})
        touch(category / "IMG" / pathFromUtf8(name));
    fs::create_directories(category / "IMG" / "pasta.PNG");
    EXPECT_EQ(names(listThumbnails(category)),
              (std::vector<std::string>{".oculto.PNG", "Pé.Png", "a.b.PNG", "b.PNG", "x.png"}));
}
