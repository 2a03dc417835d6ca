// The user's own folders of drawings, shown in the category list after the
// publisher's categories, and the texts of the list's entries that follow
// the 14 categories.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "library/Library.h"

namespace library {

// Opens the window that adds and removes folders.
inline constexpr std::string_view kFoldersEntry = "Minhas pastas…";
inline constexpr std::string_view kFolderEntryPrefix = "» Minha pasta - ";
inline constexpr std::string_view kFavouritesEntry = "» Favoritos";
inline constexpr std::string_view kRecentsEntry = "» Recentes";

// The folders in the order they were added, kept in tessaly.pastas beside the
// library: a heading line, then one folder a line, its UTF-8 path written as
// one word (RunJournal's escapes). The file is read as hostile: it is taken
// only as a regular file of bounded size, and a line that is not an absolute
// path, a folder listed twice and folders beyond kMaxFolders are left out.
class UserFolders {
  public:
    static constexpr std::size_t kMaxFolders = 64;
    static constexpr std::uint64_t kMaxFileBytes = 1 << 20;

    explicit UserFolders(const Layout& layout);

    // The list a text of the file gives, replacing the one held; for the tests too.
    void readText(const std::string& text);

    const std::vector<std::filesystem::path>& folders() const { return folders_; }
    // Adds an existing folder and writes the list; why not, in Portuguese, or
    // empty when done. Refused: a folder listed already, one that is or
    // holds or lies inside the program's folder (whose files are not
    // drawings to browse, and where the program writes), and one too many.
    std::string add(const std::filesystem::path& folder);
    // Takes the folder out of the list and writes it; false when the list
    // could not be written (the folder is out of it for this run all the same).
    bool remove(const std::filesystem::path& folder);

    // The name the category list shows: the folder's own name, followed by
    // " (2)", " (3)"… when a folder earlier in the list has the same one.
    std::string shownName(const std::filesystem::path& folder) const;
    // "» Minha pasta - <shownName>".
    std::string entry(const std::filesystem::path& folder) const;

  private:
    bool save() const;

    std::filesystem::path file_;
    std::filesystem::path programFolder_;
    std::vector<std::filesystem::path> folders_;
};

}  // namespace library
