// The journal a killed or hostile run left is read at every start: whatever
// its bytes, reading it ends, and only places the program itself creates come
// out of it, never the library folder, a category folder or a description.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "library/RunJournal.h"

namespace fs = std::filesystem;

namespace {

// The program folder of this fuzz run, with an empty library.
fs::path programFolder;

void removeProgramFolder() {
    std::error_code ignored;
    fs::remove_all(programFolder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "tessaly-journal-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    programFolder = pattern;
    fs::create_directories(programFolder / "Blocos");
    std::atexit(removeProgramFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const library::Layout layout(programFolder);
    const library::RunJournal journal(layout);
    std::ofstream(journal.file(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    for (const fs::path& path : journal.leftovers()) {
        if (path == layout.previewArchiveCopy()) continue;
        if (path.parent_path() != layout.libraryRoot()) std::abort();
        const fs::path name = path.filename();
        if (name.empty() || name == "." || name == "..") std::abort();
        for (int index = 0; index < library::kCategoryCount; ++index)
            if (path == layout.categoryFolder(index) || path == layout.descriptionFile(index))
                std::abort();
    }
    return 0;
}
