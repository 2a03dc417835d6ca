#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <type_traits>

#include "Links.h"
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

// Whether names that differ only in letter case are different files in
// folder: not on the file systems of Windows.
bool namesKeepLetterCase(const fs::path& folder) {
    touch(folder / "caixa");
    const bool kept = !fs::exists(folder / "CAIXA");
    fs::remove(folder / "caixa");
    return kept;
}

// The same file, however its name is spelt; for a name not on disk, the same text.
::testing::AssertionResult sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(a, error) ? fs::equivalent(a, b, error) : a == b)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << pathToUtf8(a) << " is not " << pathToUtf8(b);
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

// A system package: what the program writes lies in the user's folder, what
// it only reads stays where the package put it.
TEST(Layout, ShippedFilesApartFromWhatTheProgramWrites) {
    const Layout layout("/home/ana/.local/share/Tessaly", "/usr/share/tessaly");
    const struct {
        fs::path actual, expected;
    } cases[] = {
        {layout.categoryFolder(4), "/home/ana/.local/share/Tessaly/Blocos/4"},
        {layout.packageFile(4), "/home/ana/.local/share/Tessaly/Blocos/4.zip"},
        {layout.previewArchiveCopy(), "/home/ana/.local/share/Tessaly/TMP.ZIP"},
        {layout.newestPackageListFile(), "/home/ana/.local/share/Tessaly/tessaly.lista"},
        {layout.searchIndexFile(), "/home/ana/.local/share/Tessaly/Blocos/indice.db"},
        {layout.descriptionFile(4), "/usr/share/tessaly/Blocos/4.txt"},
        {layout.emptyDrawing(), "/usr/share/tessaly/vazio.dwg"},
        {layout.helpFile(), "/usr/share/tessaly/Ajuda.chm"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
    // One folder alone is both.
    EXPECT_EQ(Layout("/opt/tessaly").shippedFolder(), fs::path("/opt/tessaly"));
}

// Which installation an executable belongs to is told by where the empty
// drawing lies: beside it, or in the share/tessaly of a system prefix.
TEST(Layout, InstallationIsToldByWhereTheProgramsFilesLie) {
    TempFolder temp;
    const fs::path user = temp.path() / "home" / ".local" / "share" / "Tessaly";
    const auto plant = [&](const fs::path& file) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "x";
    };
    plant(temp.path() / "pasta" / "vazio.dwg");
    plant(temp.path() / "usr" / "share" / "tessaly" / "vazio.dwg");
    fs::create_directories(temp.path() / "usr" / "bin");
    plant(temp.path() / "opt" / "share" / "tessaly" / "vazio.dwg");
    fs::create_directories(temp.path() / "opt" / "programa");
    fs::create_directories(temp.path() / "vazia" / "bin");
    const struct {
        const char* executableFolder;
        bool system;
    } cases[] = {
        {"pasta", false},        // a program folder
        {"usr/bin", true},       // a system package
        {"opt/programa", false},  // share/tessaly beside a folder that is no bin
        {"vazia/bin", false},    // a bin with nothing of ours beside it
    };
    for (const auto& c : cases) {
        const fs::path executable = temp.path() / c.executableFolder;
        const Layout layout = installationLayout(executable, user);
        EXPECT_EQ(layout.programFolder(), c.system ? user : executable) << c.executableFolder;
        EXPECT_EQ(layout.shippedFolder(),
                  c.system ? executable.parent_path() / "share" / "tessaly" : executable)
            << c.executableFolder;
    }
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
    // Latin-1 bytes, as a library unpacked from a Windows archive has them
    // on a system whose names are bytes.
    if constexpr (std::is_same_v<fs::path::value_type, char>) {
        EXPECT_EQ(blockName("Sof\xE1.PNG").native(), "Sof\xE1");
    }

    const fs::path category("/lib/Blocos/3");
    EXPECT_EQ(drawingArchivePath(category, "a.b.PNG"), fs::path("/lib/Blocos/3/DWG/a.b.DWG.zip"));
}

// What the run journal may take for a run's folder of files for other
// programs: nothing of the library's own and nothing a user might name so.
TEST(RunFolderNames, OnlyThePrefixAndSixLettersOrDigits) {
    const struct {
        std::string_view name;
        bool isRunFolder;
    } cases[] = {
        {".copias-k3J9aQ", true},   {".copias-000000", true},     {".copias-ZZZZZZ", true},
        {".copias-k3J9a", false},   {".copias-k3J9aQx", false},   {".copias-k3J9a!", false},
        {".copias-k3J9a/", false},  {".copias-../../", false},    {"copias-k3J9aQ", false},
        {".Copias-k3J9aQ", false},  {".copias-", false},          {"3", false},
        {"indice.db", false},       {".3.novo-abc123", false},    {"TMP.ZIP", false},
        {".copias-k3J9\\Q", false}, {".copias-k3J9\xE1Q", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isRunFolderName(c.name), c.isRunFolder) << c.name;
}

TEST(BlockNames, ArchiveFoundRegardlessOfLetterCaseButExactNamePreferred) {
    TempFolder temp;
    const fs::path category = temp.path() / "Blocos" / "2";
    touch(category / "DWG" / "pia.dwg.ZIP");
    EXPECT_TRUE(sameFile(drawingArchivePath(category, "Pia.PNG"), category / "DWG" / "pia.dwg.ZIP"));
    touch(category / "DWG" / "Pia.DWG.zip");
    EXPECT_TRUE(sameFile(drawingArchivePath(category, "Pia.PNG"), category / "DWG" / "Pia.DWG.zip"));
    EXPECT_EQ(drawingArchivePath(category, "Nada.PNG"), category / "DWG" / "Nada.DWG.zip");
    touch(category / "DWG" / pathFromUtf8("Sof\xC3\xA1.dwg.zip"));
    EXPECT_TRUE(sameFile(drawingArchivePath(category, category / "IMG" / pathFromUtf8("Sof\xC3\xA1.PNG")),
                         category / "DWG" / pathFromUtf8("Sof\xC3\xA1.dwg.zip")));
}

TEST(Blocks, ThumbnailsListedByExtensionInAnyCase) {
    TempFolder temp;
    const fs::path category = temp.path() / "Blocos" / "4";
    EXPECT_TRUE(listBlocks(category).empty()) << "missing IMG folder";
    fs::create_directories(category / "IMG");
    EXPECT_TRUE(listBlocks(category).empty());

    for (const char* name :
         {"b.PNG", "x.png", "a.b.PNG", ".oculto.PNG", "c.jpg", "d.PNG.txt", "Pé.Png"})
        touch(category / "IMG" / pathFromUtf8(name));
    fs::create_directories(category / "IMG" / "pasta.PNG");
    EXPECT_EQ(names(listBlocks(category)),
              (std::vector<std::string>{".oculto.PNG", "Pé.Png", "a.b.PNG", "b.PNG", "x.png"}));
}

// A category laid out from entries below its folder, beside a folder "fora"
// that links lead to.
enum class Kind { File, Folder, LinkToFile, LinkToFolder, DanglingLink };
struct Entry {
    const char* path;  // below the category folder
    Kind kind = Kind::File;
};
struct Listed {
    const char* thumbnail;  // in IMG/
    const char* archive;    // what drawingArchivePath finds in DWG/; empty: none
};
struct BlocksCase {
    const char* name;
    std::vector<Entry> entries;
    std::vector<Listed> listed;
    // Where names differing only in letter case are one file, if that changes the list.
    std::optional<std::vector<Listed>> listedIgnoringCase = std::nullopt;
};

void expectListed(const BlocksCase& c) {
    SCOPED_TRACE(c.name);
    TempFolder temp;
    const fs::path category = temp.path() / "Blocos" / "6";
    const fs::path outside = temp.path() / "fora";
    touch(outside / "alvo");
    for (const Entry& entry : c.entries) {
        const fs::path path = category / pathFromUtf8(entry.path);
        fs::create_directories(path.parent_path());
        switch (entry.kind) {
            case Kind::File:
                touch(path);
                break;
            case Kind::Folder:
                fs::create_directories(path);
                break;
            case Kind::LinkToFile:
                testsupport::plantLink(outside / "alvo", path);
                break;
            case Kind::LinkToFolder:
                testsupport::plantLink(outside, path);
                break;
            case Kind::DanglingLink:
                testsupport::plantLink(outside / "nada", path);
                break;
        }
    }
    const std::vector<Listed>& listed = c.listedIgnoringCase && !namesKeepLetterCase(temp.path())
                                            ? *c.listedIgnoringCase
                                            : c.listed;
    const std::vector<fs::path> blocks = listBlocks(category);
    const DrawingArchives archives(category);
    ASSERT_EQ(blocks.size(), listed.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(listed[i].thumbnail);
        EXPECT_EQ(blocks[i], category / "IMG" / pathFromUtf8(listed[i].thumbnail));
        const fs::path archive = drawingArchivePath(category, blocks[i]);
        EXPECT_TRUE(sameFile(archives.of(blocks[i]), archive)) << "read once, found alike";
        if (*listed[i].archive)
            EXPECT_TRUE(sameFile(archive, category / "DWG" / pathFromUtf8(listed[i].archive)));
        else
            EXPECT_FALSE(fs::exists(archive));
    }
}

// Each block once, whether it came with its thumbnail, its drawing archive or
// both; a block without a thumbnail is listed at the path its thumbnail would
// have, which still leads to its archive.
TEST(Blocks, OneEntryPerBlockWithOrWithoutItsThumbnail) {
    const BlocksCase cases[] = {
        {"thumbnail and archive",
         {{"IMG/Pia.PNG"}, {"DWG/Pia.DWG.zip"}},
         {{"Pia.PNG", "Pia.DWG.zip"}}},
        {"archive only", {{"DWG/Sofa.DWG.zip"}}, {{"Sofa.PNG", "Sofa.DWG.zip"}}},
        {"archive only, its letter case kept",
         {{"DWG/mesa Redonda.dwg.ZIP"}},
         {{"mesa Redonda.PNG", "mesa Redonda.dwg.ZIP"}}},
        {"both, names differing in letter case",
         {{"IMG/pia.png"}, {"DWG/PIA.DWG.zip"}},
         {{"pia.png", "PIA.DWG.zip"}}},
        {"both, dotted names",
         {{"IMG/a.b.PNG"}, {"DWG/A.B.dwg.zip"}},
         {{"a.b.PNG", "A.B.dwg.zip"}}},
        {"both, accented names",
         {{"IMG/Cadeira de balan\xC3\xA7o.PNG"}, {"DWG/Cadeira de balan\xC3\xA7o.DWG.zip"}},
         {{"Cadeira de balan\xC3\xA7o.PNG", "Cadeira de balan\xC3\xA7o.DWG.zip"}}},
        {"thumbnail without archive still shows", {{"IMG/Solo.PNG"}}, {{"Solo.PNG", ""}}},
        {"a thumbnail in another format does not count",
         {{"IMG/Arvore.jpg"}, {"DWG/Arvore.DWG.zip"}},
         {{"Arvore.PNG", "Arvore.DWG.zip"}}},
        {"two archives differing in letter case, each its own block",
         {{"DWG/Vaso.DWG.zip"}, {"DWG/VASO.DWG.zip"}},
         {{"VASO.PNG", "VASO.DWG.zip"}, {"Vaso.PNG", "Vaso.DWG.zip"}},
         std::vector<Listed>{{"Vaso.PNG", "Vaso.DWG.zip"}}},
        {"empty names are no block", {{"DWG/.DWG.zip"}, {"DWG/.dwg.zip"}}, {}},
        {"other files of DWG/ are no block",
         {{"DWG/Notas.txt"}, {"DWG/Cama.DWG"}, {"DWG/Cama.DWG.zip.part"}, {"DWG/Cama.zip"}},
         {}},
        {"folders are skipped", {{"DWG/Pasta.DWG.zip", Kind::Folder}, {"IMG/Pasta.PNG", Kind::Folder}}, {}},
        {"sorted by file name across both folders",
         {{"IMG/b.PNG"},
          {"DWG/c.DWG.zip"},
          {"DWG/a.DWG.zip"},
          {"IMG/.oculto.PNG"},
          {"DWG/B.DWG.zip"}},
         {{".oculto.PNG", ""},
          {"a.PNG", "a.DWG.zip"},
          {"b.PNG", "B.DWG.zip"},
          {"c.PNG", "c.DWG.zip"}}},
        {"no IMG folder, no DWG folder", {}, {}},
    };
    for (const BlocksCase& c : cases) expectListed(c);
}

// Latin-1 bytes, as a library unpacked from a Windows archive has them on a
// system whose names are bytes. Only ASCII letters compare without case:
// "\xC1" and "\xE1" differ.
TEST(Blocks, NamesThatAreNotUtf8AreListedAsTheyAre) {
    if constexpr (std::is_same_v<fs::path::value_type, char>) {
        expectListed({"names that are not UTF-8",
                      {{"IMG/SOF\xE1.png"},
                       {"DWG/Sof\xE1.DWG.zip"},
                       {"DWG/\xE1gua.DWG.zip"},
                       {"IMG/\xC1gua.PNG"}},
                      {{"SOF\xE1.png", "Sof\xE1.DWG.zip"},
                       {"\xC1gua.PNG", ""},
                       {"\xE1gua.PNG", "\xE1gua.DWG.zip"}}});
    } else {
        GTEST_SKIP() << "names here are UTF-16, never bytes";
    }
}

// A link to a file is followed, for archives as for thumbnails; links to
// folders and broken links are no block.
TEST(Blocks, LinksToFilesAreFollowedAndOthersSkipped) {
    const BlocksCase cases[] = {
        {"links to files are followed",
         {{"DWG/Ligado.DWG.zip", Kind::LinkToFile}, {"IMG/Foto.PNG", Kind::LinkToFile}},
         {{"Foto.PNG", ""}, {"Ligado.PNG", "Ligado.DWG.zip"}}},
        {"broken links and links to folders are skipped",
         {{"DWG/Quebrado.DWG.zip", Kind::DanglingLink},
          {"DWG/ParaPasta.DWG.zip", Kind::LinkToFolder}},
         {}},
    };
    for (const BlocksCase& c : cases) expectListed(c);
}
