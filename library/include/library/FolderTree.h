// Removing a folder tree of the library without ever following a link.
#pragma once

#include <filesystem>

namespace library {

// Removes folder and everything below it. The folder must lie strictly below
// libraryRoot. Links are removed as links, never followed; a mount point is
// never removed nor entered. Throws std::filesystem::filesystem_error at the
// first thing that cannot be removed; what was removed before stays removed.
void RemoveFolderTree(const std::filesystem::path& folder,
                      const std::filesystem::path& libraryRoot);

}  // namespace library
