// This run's folder of files for other programs: the drawings a drag out of
// the grid or the clipboard hands out, one sub-folder per category and per
// folder of a user's drawings, so that blocks of one name from two places
// never share a file. Made in the
// library on first use under a name of its own pattern (library::
// kRunFolderPrefix), recorded in the run journal before it exists so that the
// next start removes it after a kill, and removed when the run ends.
#pragma once

#include <filesystem>

#include "library/BlockSource.h"
#include "library/Library.h"

namespace browser {

class RunFolder {
  public:
    explicit RunFolder(library::Layout layout);
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // The folder for the files of the block's category, or of the user's
    // folder its drawing lies in, made when missing; empty when it cannot be made.
    std::filesystem::path folderFor(const library::BlockRef& block);
    // Empty until first made.
    const std::filesystem::path& path() const { return path_; }

  private:
    bool make();
    std::filesystem::path subFolder(const std::string& name);

    library::Layout layout_;
    std::filesystem::path path_;
};

}  // namespace browser
