// The files the program keeps of the user's own blocks are read at every
// start, whatever another program or a torn write left in them: the folder
// list, the favourites, the recents and a kept picture. Whatever their bytes,
// reading ends, and only sound entries come out, within each list's bounds.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "library/BlockLists.h"
#include "library/BlockSource.h"
#include "library/ThumbnailStore.h"
#include "library/UserFolders.h"

namespace fs = std::filesystem;

namespace {

fs::path programFolder;
// Where the store keeps the picture of the one drawing tried.
fs::path pictureFile;

void removeProgramFolder() {
    std::error_code ignored;
    fs::remove_all(programFolder, ignored);
}

void write(const fs::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void checkList(const library::BlockList& list, std::size_t capacity) {
    if (list.refs().size() > capacity) std::abort();
    std::set<std::string> seen;
    for (const library::BlockRef& ref : list.refs()) {
        if (!library::isSoundRef(ref)) std::abort();
        if (!seen.insert(library::pathToUtf8(ref.folder / ref.item) + std::to_string(ref.category))
                 .second)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "tessaly-lists-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    programFolder = pattern;
    fs::create_directories(programFolder / "Blocos");
    std::atexit(removeProgramFolder);
    const library::ThumbnailStore store(library::Layout(programFolder), programFolder / "meus");
    if (!store.keep(library::folderBlock(programFolder / "meus", "a/b.dwg", 10, 20), {false, "x"}))
        std::abort();
    pictureFile = fs::directory_iterator(store.place())->path();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const library::Layout layout(programFolder);
    const std::string text(reinterpret_cast<const char*>(data), size);
    library::BlockList favourites = library::BlockList::favourites(layout);
    favourites.readText(text);
    checkList(favourites, library::BlockList::kMaxFavourites);
    library::BlockList recents = library::BlockList::recents(layout);
    recents.readText(text);
    checkList(recents, library::BlockList::kMaxRecents);

    library::UserFolders folders(layout);
    folders.readText(text);
    if (folders.folders().size() > library::UserFolders::kMaxFolders) std::abort();
    const std::set<fs::path> unique(folders.folders().begin(), folders.folders().end());
    if (unique.size() != folders.folders().size()) std::abort();
    for (const fs::path& folder : folders.folders())
        if (!folder.is_absolute()) std::abort();

    // A kept picture: the fuzzer's bytes where the picture of one drawing lies.
    const fs::path folder = programFolder / "meus";
    const library::Block block = library::folderBlock(folder, "a/b.dwg", 10, 20);
    write(pictureFile, data, size);
    const library::ThumbnailStore store(layout, folder);
    if (const auto picture = store.find(block))
        if (picture->bytes.size() > library::ThumbnailStore::kMaxPictureBytes) std::abort();
    // The folder's last listing: only drawings below the folder come back.
    write(store.place() / "lista", data, size);
    for (const library::Block& listed : store.lastListing())
        if (!library::isSoundRef(listed.ref) || listed.ref.folder != folder) std::abort();
    return 0;
}
