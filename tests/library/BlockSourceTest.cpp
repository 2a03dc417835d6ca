#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "Links.h"
#include "TemporaryFolders.h"
#include "TestFiles.h"
#include "archive/ZipWriter.h"
#include "library/BlockLists.h"
#include "library/BlockSource.h"
#include "library/ThumbnailStore.h"
#include "library/UserFolders.h"

namespace fs = std::filesystem;
using namespace library;
using fixtures::slashed;
using fixtures::writeFile;

namespace {

class Scratch {
  public:
    Scratch() : path_(testsupport::makeTemporaryFolder("tessaly-sources")) {}
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Every file below folder with its bytes, to tell that nothing was written there.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator();
         ++it)
        if (!it->is_symlink() && it->is_regular_file())
            files[slashed(it->path().lexically_relative(folder))] = fixtures::readFile(it->path());
    return files;
}

std::vector<std::string> items(const Listing& listing) {
    std::vector<std::string> names;
    for (const Block& block : listing.blocks) names.push_back(slashed(block.ref.item));
    return names;
}

BlockRef folderRef(const fs::path& folder, const std::string& item) {
    return {BlockRef::Origin::Folder, -1, folder, pathFromUtf8(item)};
}

BlockRef categoryRef(int category, const std::string& thumbnail) {
    return {BlockRef::Origin::Category, category, {}, pathFromUtf8(thumbnail)};
}

}  // namespace

TEST(UserFolder, ListsDrawingsOfEveryLetterCaseInEverySubFolderSorted) {
    Scratch scratch;
    const fs::path folder = scratch.path() / pathFromUtf8("Blocos da empresa");
    for (const char* name : {"b.dwg", "A.DWG", "cozinha/Pia.Dwg", "cozinha/fundo/z.dWG",
                             "Cadeira.dwg", "nota.txt", "x.dwg.bak", ".dwg", "desenho.dxf"})
        writeFile(folder / pathFromUtf8(name), name);
    fs::create_directories(folder / "vazia");
    fs::create_directories(folder / "pasta.dwg");  // a folder, not a drawing
    const auto before = snapshot(folder);

    const Listing listing = FolderSource(folder).list();
    EXPECT_TRUE(listing.problem.empty()) << listing.problem;
    EXPECT_EQ(items(listing), (std::vector<std::string>{"A.DWG", "b.dwg", "Cadeira.dwg",
                                                        "cozinha/fundo/z.dWG", "cozinha/Pia.Dwg"}));
    for (const Block& block : listing.blocks) {
        EXPECT_EQ(block.storage, DrawingStorage::File);
        EXPECT_TRUE(block.thumbnail.empty());
        EXPECT_EQ(block.size, fs::file_size(block.drawing));
        EXPECT_NE(block.modified, 0);
        EXPECT_EQ(readBlockDrawing(block).size(), block.size);
    }
    EXPECT_EQ(listing.blocks[4].name(), "Pia");
    EXPECT_EQ(snapshot(folder), before) << "nothing is written into the user's folder";
}

TEST(UserFolder, LinksInsideAreNeverFollowedNorLeadInCircles) {
    Scratch scratch;
    const fs::path folder = scratch.path() / "meus";
    const fs::path outside = scratch.path() / "fora";
    writeFile(folder / "dentro.dwg", "d");
    writeFile(outside / "segredo.dwg", "s");
    testsupport::plantLink(outside, folder / "atalho");
    testsupport::plantLink(outside / "segredo.dwg", folder / "copia.dwg");
    testsupport::plantLink(folder, folder / "circulo");
    // The folder chosen may itself be a link: its drawings are listed.
    testsupport::plantLink(folder, scratch.path() / "ligada");

    EXPECT_EQ(items(FolderSource(folder).list()), std::vector<std::string>{"dentro.dwg"});
    EXPECT_EQ(items(FolderSource(scratch.path() / "ligada").list()),
              std::vector<std::string>{"dentro.dwg"});

    // A drawing swapped for a link after the listing is not read through it.
    Block block = FolderSource(folder).list().blocks.front();
    fs::remove(block.drawing);
    testsupport::plantLink(outside / "segredo.dwg", block.drawing);
    try {
        readBlockDrawing(block);
        ADD_FAILURE() << "read through a link";
    } catch (const DrawingUnavailable& error) {
        EXPECT_EQ(error.reason(), DrawingUnavailable::Reason::Unusable);
    }
}

TEST(UserFolder, AFolderThatIsGoneIsUnreachableAndAGrowingFileIsNotTakenWhole) {
    Scratch scratch;
    const Listing gone = FolderSource(scratch.path() / "pendrive").list();
    EXPECT_TRUE(gone.unreachable);
    EXPECT_TRUE(gone.blocks.empty());
    EXPECT_FALSE(gone.problem.empty());

    writeFile(scratch.path() / "p" / "d.dwg", "123");
    Block block = FolderSource(scratch.path() / "p").list().blocks.front();
    writeFile(block.drawing, "1234567");  // written again while the program reads
    const std::vector<std::uint8_t> bytes = readBlockDrawing(block);
    EXPECT_EQ(bytes.size(), 7u) << "what is read is what is there, whole";
    EXPECT_THROW(readBlockDrawing(block, 4), DrawingUnavailable) << "larger than allowed";
    fs::remove(block.drawing);
    try {
        readBlockDrawing(block);
        ADD_FAILURE() << "read a missing file";
    } catch (const DrawingUnavailable& error) {
        EXPECT_EQ(error.reason(), DrawingUnavailable::Reason::Unreachable);
    }
}

TEST(UserFolder, AStopEndsTheWalk) {
    Scratch scratch;
    for (int i = 0; i < 20; ++i)
        writeFile(scratch.path() / ("p" + std::to_string(i)) / "d.dwg", "x");
    int asked = 0;
    const Listing listing = FolderSource(scratch.path()).list([&] { return ++asked > 3; });
    EXPECT_LT(listing.blocks.size(), 20u);
}

TEST(CategorySource, BlocksCarryTheirArchiveAndCategory) {
    Scratch scratch;
    const Layout layout(scratch.path());
    writeFile(imgFolder(layout.categoryFolder(9)) / "Mesa.PNG", "png");
    writeFile(dwgFolder(layout.categoryFolder(9)) / "mesa.dwg.zip", "zip");
    const Listing listing = CategorySource(layout.categoryFolder(9)).list();
    ASSERT_EQ(listing.blocks.size(), 1u);
    const Block& block = listing.blocks.front();
    EXPECT_EQ(block.ref, categoryRef(9, "Mesa.PNG"));
    EXPECT_EQ(block.storage, DrawingStorage::Archive);
    EXPECT_EQ(block.name(), "Mesa");
    EXPECT_TRUE(fs::equivalent(block.drawing, dwgFolder(layout.categoryFolder(9)) / "mesa.dwg.zip"));
    EXPECT_EQ(categoryBlockOf(block.thumbnail).ref, block.ref);
}

TEST(ArchivedDrawing, IsReadFromItsArchive) {
    Scratch scratch;
    archive::ZipWriter zip(1704067200, std::string(kArchivePassword));
    zip.addFile("Mesa.DWG", std::vector<std::uint8_t>{'A', 'C', '1', '0'});
    const std::vector<std::uint8_t> bytes = zip.finish();
    Block block;
    block.drawing = scratch.path() / "Mesa.DWG.zip";
    writeFile(block.drawing, std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(readBlockDrawing(block), (std::vector<std::uint8_t>{'A', 'C', '1', '0'}));
    writeFile(block.drawing, "não é zip");
    try {
        readBlockDrawing(block);
        ADD_FAILURE();
    } catch (const DrawingUnavailable& error) {
        EXPECT_EQ(error.reason(), DrawingUnavailable::Reason::Unusable);
    }
}

TEST(ChosenBlocks, GoneBlocksAreToldAndUnreachableFoldersKept) {
    Scratch scratch;
    const Layout layout(scratch.path() / "programa");
    writeFile(imgFolder(layout.categoryFolder(3)) / "Pia.PNG", "png");
    const fs::path folder = scratch.path() / "meus";
    const fs::path stick = scratch.path() / "pendrive";  // not plugged in
    writeFile(folder / "a" / "b.dwg", "b");
    const std::vector<BlockRef> refs = {
        categoryRef(3, "Pia.PNG"),     categoryRef(3, "Sumiu.PNG"),
        categoryRef(5, "Fio.PNG"),     folderRef(folder, "a/b.dwg"),
        folderRef(folder, "c.dwg"),    folderRef(stick, "x.dwg"),
        folderRef(scratch.path() / "removida", "y.dwg")};
    const Listing listing = ChosenBlocks(layout, {folder, stick}, refs).list();
    EXPECT_EQ(items(listing), (std::vector<std::string>{"Pia.PNG", "a/b.dwg"}));
    EXPECT_EQ(listing.blocks[1].size, 1u);
    EXPECT_EQ(listing.gone, (std::vector<BlockRef>{refs[1], refs[2], refs[4], refs[6]}));
    EXPECT_FALSE(listing.problem.empty()) << "the stick's block is neither shown nor gone";
}

TEST(BlockRefs, OnlySoundOnesAreTaken) {
    const fs::path root = fs::current_path().root_path() / "u";
    struct Case {
        BlockRef ref;
        bool sound;
    } cases[] = {
        {categoryRef(0, "Sofa.PNG"), true},
        {categoryRef(13, "x y.PNG"), true},
        {categoryRef(14, "Sofa.PNG"), false},
        {categoryRef(-1, "Sofa.PNG"), false},
        {categoryRef(2, "IMG/Sofa.PNG"), false},
        {categoryRef(2, ".."), false},
        {folderRef(root, "a/b.dwg"), true},
        {folderRef(root, "../b.dwg"), false},
        {folderRef(root, "a/../../b.dwg"), false},
        {folderRef("relativa", "b.dwg"), false},
        {folderRef(root, (root / "b.dwg").string()), false},
        {folderRef(root, ""), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isSoundRef(c.ref), c.sound) << slashed(c.ref.folder) << " " << slashed(c.ref.item);
}

TEST(BlockLists, SurviveARestartAndKeepTheirOrder) {
    Scratch scratch;
    const Layout layout(scratch.path());
    const fs::path folder = scratch.path() / pathFromUtf8("Conceição Araújo") / "Blocos da empresa";
    {
        BlockList favourites = BlockList::favourites(layout);
        EXPECT_TRUE(favourites.add(categoryRef(3, "Pia 100%.PNG")));
        EXPECT_TRUE(favourites.add(folderRef(folder, "sub pasta/Cadeira.dwg")));
        EXPECT_TRUE(favourites.add(categoryRef(3, "Pia 100%.PNG")));  // once only
        BlockList recents = BlockList::recents(layout);
        for (int i = 0; i < 60; ++i) recents.putFirst(categoryRef(1, std::to_string(i) + ".PNG"));
        recents.putFirst(categoryRef(1, "20.PNG"));  // used again: to the front
    }
    const BlockList favourites = BlockList::favourites(layout);
    EXPECT_EQ(favourites.refs(), (std::vector<BlockRef>{categoryRef(3, "Pia 100%.PNG"),
                                                        folderRef(folder, "sub pasta/Cadeira.dwg")}));
    BlockList recents = BlockList::recents(layout);
    ASSERT_EQ(recents.refs().size(), BlockList::kMaxRecents);
    EXPECT_EQ(recents.refs()[0], categoryRef(1, "20.PNG"));
    EXPECT_EQ(recents.refs()[1], categoryRef(1, "59.PNG"));
    EXPECT_FALSE(recents.contains(categoryRef(1, "9.PNG"))) << "the oldest went";
    EXPECT_TRUE(recents.forget({categoryRef(1, "20.PNG")}));
    EXPECT_EQ(BlockList::recents(layout).refs()[0], categoryRef(1, "59.PNG"));
}

TEST(BlockLists, HostileLinesAreLeftOut) {
    Scratch scratch;
    BlockList list = BlockList::favourites(Layout(scratch.path()));
    const std::string absolute = slashed(fs::current_path().root_path() / "p");
    list.readText("tessaly-favoritos 1\n"
                  "categoria 3 Pia.PNG\n"
                  "categoria 99 Pia.PNG\n"
                  "categoria 3 ../../etc/passwd\n"
                  "categoria 3 a/b.PNG\n"
                  "categoria 3 %ZZ\n"
                  "categoria 3 Pia.PNG\n"
                  "categoria 3\n"
                  "categoria 3 a b c\n"
                  "pasta relativa x.dwg\n"
                  "pasta " + absolute + " ../x.dwg\n"
                  "pasta " + absolute + " a%00b.dwg\n"
                  "pasta " + absolute + " sub/ok.dwg\n"
                  "outra 1 2\n");
    EXPECT_EQ(list.refs(), (std::vector<BlockRef>{categoryRef(3, "Pia.PNG"),
                                                  folderRef(pathFromUtf8(absolute), "sub/ok.dwg")}));
    list.readText("outro-arquivo 1\ncategoria 3 Pia.PNG\n");
    EXPECT_TRUE(list.refs().empty()) << "a file of another kind";
}

TEST(UserFolders, AddedFoldersAreKeptAndTheProgramsOwnRefused) {
    Scratch scratch;
    const Layout layout(scratch.path() / "programa");
    fs::create_directories(layout.libraryRoot());
    const fs::path office = scratch.path() / "escritorio" / "Blocos";
    const fs::path supplier = scratch.path() / "fornecedor" / "Blocos";
    fs::create_directories(office);
    fs::create_directories(supplier);
    {
        UserFolders folders(layout);
        EXPECT_EQ(folders.add(office), "");
        EXPECT_EQ(folders.add(supplier / ""), "") << "a trailing separator names the same folder";
        struct Refused {
            fs::path folder;
            const char* why;
        } refused[] = {
            {office, "already listed"},
            {scratch.path() / "escritorio" / "." / "Blocos", "already listed, spelt otherwise"},
            {scratch.path() / "nenhuma", "missing"},
            {layout.programFolder(), "the program's folder"},
            {layout.libraryRoot(), "inside the program's folder"},
            {scratch.path(), "holding the program's folder"},
        };
        for (const Refused& r : refused) EXPECT_NE(folders.add(r.folder), "") << r.why;
        EXPECT_EQ(folders.shownName(office), "Blocos");
        EXPECT_EQ(folders.entry(supplier), "» Minha pasta - Blocos (2)");
    }
    UserFolders again(layout);
    EXPECT_EQ(again.folders(), (std::vector<fs::path>{office, supplier}));
    EXPECT_TRUE(again.remove(office));
    EXPECT_EQ(UserFolders(layout).folders(), std::vector<fs::path>{supplier});
    EXPECT_EQ(UserFolders(layout).entry(supplier), "» Minha pasta - Blocos");

    writeFile(layout.userFoldersFile(), "tessaly-pastas 1\nrelativa\n" + slashed(office) +
                                            "\n" + slashed(office) + "\n%0\n");
    EXPECT_EQ(UserFolders(layout).folders().size(), 1u);
}

TEST(ThumbnailStore, APictureIsFoundForItsDrawingAsItIsOnly) {
    Scratch scratch;
    const Layout layout(scratch.path() / "programa");
    fs::create_directories(layout.programFolder());
    const fs::path folder = scratch.path() / "meus";
    for (const char* name : {"a.dwg", "sub/b.dwg"}) writeFile(folder / name, name);
    const std::vector<Block> blocks = FolderSource(folder).list().blocks;
    const ThumbnailStore store(layout, folder);
    EXPECT_FALSE(store.find(blocks[0]));
    ASSERT_TRUE(store.keep(blocks[0], {false, "PNG-a"}));
    ASSERT_TRUE(store.keep(blocks[1], {true, "ilegível"}));
    EXPECT_EQ(store.find(blocks[0])->bytes, "PNG-a");
    EXPECT_TRUE(store.find(blocks[1])->failed);
    EXPECT_EQ(store.find(blocks[1])->bytes, "ilegível");

    Block changed = blocks[0];
    changed.modified += 1;
    EXPECT_FALSE(store.find(changed)) << "a drawing saved again has no picture yet";
    changed = blocks[0];
    changed.size += 1;
    EXPECT_FALSE(store.find(changed));

    // Another folder's store stays whatever becomes of this one.
    const fs::path other = scratch.path() / "outros";
    writeFile(other / "c.dwg", "c");
    const Block otherBlock = FolderSource(other).list().blocks.front();
    const ThumbnailStore otherStore(layout, other);
    ASSERT_TRUE(otherStore.keep(otherBlock, {false, "PNG-c"}));

    store.tidy({blocks[1]});
    EXPECT_FALSE(store.find(blocks[0])) << "its drawing went";
    EXPECT_TRUE(store.find(blocks[1]));
    EXPECT_TRUE(otherStore.find(otherBlock));
    store.removeAll();
    EXPECT_FALSE(fs::exists(store.place()));
    EXPECT_TRUE(otherStore.find(otherBlock));
    EXPECT_TRUE(fs::exists(folder / "a.dwg")) << "the user's files are untouched";
}

TEST(ThumbnailStore, FilesNotAsWrittenCountAsNone) {
    Scratch scratch;
    const Layout layout(scratch.path() / "programa");
    fs::create_directories(layout.programFolder());
    const fs::path folder = scratch.path() / "meus";
    writeFile(folder / "a.dwg", "a");
    const Block block = FolderSource(folder).list().blocks.front();
    const ThumbnailStore store(layout, folder);
    ASSERT_TRUE(store.keep(block, {false, "PNG"}));
    const fs::path file = fs::directory_iterator(store.place())->path();
    const std::string good = fixtures::readFile(file);
    const std::string firstLine = good.substr(0, good.find('\n'));
    const std::vector<std::string> hostiles = {
        "", "TSMN1", firstLine, firstLine.substr(0, firstLine.size() - 2) + "ko\nPNG",
        "TSMN1 outro.dwg 1 1 ok\nPNG", std::string(ThumbnailStore::kMaxPictureBytes + 9000, 'x')};
    for (const std::string& hostile : hostiles) {
        writeFile(file, hostile);
        EXPECT_FALSE(store.find(block)) << hostile.substr(0, 40);
    }
}

TEST(ThumbnailStore, TheLastListingComesBackAndOnlyDrawingsBelowTheFolder) {
    Scratch scratch;
    const Layout layout(scratch.path() / "programa");
    fs::create_directories(layout.programFolder());
    const fs::path folder = scratch.path() / "meus";
    for (const char* name : {"a b.dwg", "sub/100%.dwg"}) writeFile(folder / name, name);
    const std::vector<Block> blocks = FolderSource(folder).list().blocks;
    const ThumbnailStore store(layout, folder);
    EXPECT_TRUE(store.lastListing().empty()) << "never listed";
    ASSERT_TRUE(store.keepListing(blocks));
    const std::vector<Block> last = store.lastListing();
    ASSERT_EQ(last.size(), 2u);
    for (std::size_t i = 0; i < last.size(); ++i) {
        EXPECT_EQ(last[i].ref, blocks[i].ref);
        EXPECT_EQ(last[i].drawing, blocks[i].drawing);
        EXPECT_EQ(last[i].size, blocks[i].size);
        EXPECT_EQ(last[i].modified, blocks[i].modified);
    }
    writeFile(store.place() / "lista", "TSLS1\n"
                                       "../fora.dwg 1 2\n"
                                       "/etc/passwd 1 2\n"
                                       "a%00b.dwg 1 2\n"
                                       "tamanho.dwg x y\n"
                                       "bom.dwg 3 4\n"
                                       "cortada.dwg 5");
    const std::vector<Block> hostile = store.lastListing();
    ASSERT_EQ(hostile.size(), 1u);
    EXPECT_EQ(hostile[0].ref.item, "bom.dwg");
    EXPECT_EQ(hostile[0].size, 3u);
}
