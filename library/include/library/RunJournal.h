// What a run creates in the program folder, recorded before it is created, so
// that the next start removes exactly what a killed run left and nothing else.
//
// The journal is a text file, tessaly.journal, in the program folder: one line
// per event, "+ <name> ." before a file or folder is created, "- <name> ." once
// it was removed or took its place. A name is "TMP.ZIP" or "Blocos/<one name>"
// of a thing the program makes there: a package archive "<n>.zip", an install
// folder (library::InstallFolder) or a preview drawing "<name>.DWG"; spaces,
// control bytes and '%' are written as %XX. Every line is on disk (fsync)
// before the caller goes on; a line without its closing " ." and newline, torn
// by a kill, is ignored, and so is any line that names anything else: a
// category folder or a file of the user's is never removed, whatever the
// journal says.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "library/Library.h"

namespace library {

class RunJournal {
  public:
    explicit RunJournal(const Layout& layout);

    std::filesystem::path file() const;  // tessaly.journal

    // Records that path is about to be created. False when path is not a
    // place the journal may name (above) or the record could not be made
    // durable: the caller must not create it then.
    bool willCreate(const std::filesystem::path& path) const;
    // path was removed, never created, or took its place as a file that is
    // meant to stay: it is no leftover any more.
    void settled(const std::filesystem::path& path) const;

    // The paths recorded as created and not settled, in the order recorded.
    std::vector<std::filesystem::path> leftovers() const;

    // Removes every leftover that select accepts (all when select is empty)
    // and settles it: a file at a file's name is unlinked, a folder at an
    // install folder's name removed with RemoveFolderTree; a link, or a thing
    // of the other kind, is left alone, since the program never makes one
    // there. A Blocos that is itself a link is followed, as installation
    // follows it; no link inside it ever is. Never throws; what cannot be
    // removed stays recorded for the next start.
    void removeLeftovers(
        const std::function<bool(const std::filesystem::path& name)>& select = {}) const;

  private:
    Layout layout_;
};

}  // namespace library
