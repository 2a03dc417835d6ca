// The member names exactly as the archive's central directory stores them.
// libzip turns a NUL inside a stored name into a blank, so that
// "B68.DWG\0../../evil.DWG" reaches the reader as "B68.DWG ../../evil.DWG";
// reading the directory's names ourselves is how such names are recognised and
// refused.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace archive {

struct StoredName {
    std::string name;
    // The Info-ZIP Unicode Path extra field, which libzip prefers to the name
    // when present; empty otherwise.
    std::string unicodePath;
};

// One per directory record, in directory order (libzip's index order), or
// nothing when the directory cannot be found or does not hold together.
// Memory stays within the size of the directory the file really holds.
std::optional<std::vector<StoredName>> readStoredNames(const std::filesystem::path& archiveFile);

}  // namespace archive
