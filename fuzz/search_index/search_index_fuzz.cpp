// The search index as anyone who can write into the program's folder may leave
// it: any bytes at its name. Opening it, searching it and reading a drawing's
// size either refuse with IndexError or hand back blocks of a category that
// exists under a plain file name; opening it to write either refuses or
// leaves an index of ours.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "search/BlockIndex.h"

namespace {

namespace fs = std::filesystem;

const fs::path& indexFile() {
    static const fs::path file = [] {
        std::string pattern = (fs::temp_directory_path() / "tessaly-index-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        return fs::path(pattern) / "indice.db";
    }();
    return file;
}

void requirePlain(const search::Found& found) {
    for (const search::Hit& hit : found.hits)
        if (hit.category < 0 || hit.category >= library::kCategoryCount ||
            hit.thumbnail.filename() != hit.thumbnail || hit.thumbnail.has_root_path() ||
            hit.thumbnail == "..")
            std::abort();
    if (found.hits.size() > found.total) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& file = indexFile();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(fs::path(file) += suffix);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    library::InstalledFlags all;
    all.fill(true);
    try {
        search::BlockIndex index(file, search::BlockIndex::Open::Existing);
        for (const char* query : {"a", "cadeira mesa", "0 contorno t"})
            requirePlain(index.find(query, all));
        if (const auto drawing = index.drawingSize(0, "a.PNG"))
            if (!(drawing->width >= 0 && drawing->height >= 0)) std::abort();
    } catch (const search::IndexError&) {
    }
    try {
        search::BlockIndex index(file, search::BlockIndex::Open::CheckOrRebuild);
        requirePlain(index.find("a", all));
    } catch (const search::IndexError&) {
    }
    return 0;
}
