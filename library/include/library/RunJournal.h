// What a run creates in the program folder, recorded before it is created, so
// that the next start removes exactly what a killed run left and nothing else.
//
// The journal is a text file, tessaly.journal, in the program folder: one line
// per event, "+ <name> ." before a file or folder is created, "- <name> ." once
// it was removed or took its place. A name is "TMP.ZIP" or "Blocos/<one name>";
// spaces, control bytes and '%' are written as %XX. Every line is on disk
// (fsync) before the caller goes on; a line without its closing " ." and
// newline, torn by a kill, is ignored, and so is any line that does not name
// one of those places.
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
    // place the journal may name (TMP.ZIP, or directly inside Blocos) or the
    // record could not be made durable: the caller must not create it then.
    bool willCreate(const std::filesystem::path& path) const;
    // path was removed, never created, or took its place as a file that is
    // meant to stay: it is no leftover any more.
    void settled(const std::filesystem::path& path) const;

    // The paths recorded as created and not settled, in the order recorded.
    std::vector<std::filesystem::path> leftovers() const;

    // Removes every leftover that select accepts (all when select is empty)
    // and settles it: a regular file is unlinked, a folder removed with
    // RemoveFolderTree; a link or anything else at the name is left alone,
    // since the program never creates one. Never follows a link, never
    // throws; what cannot be removed stays recorded for the next start.
    void removeLeftovers(
        const std::function<bool(const std::filesystem::path& name)>& select = {}) const;

  private:
    Layout layout_;
};

}  // namespace library
