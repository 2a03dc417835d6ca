// What a stored member name means on disk. Names come from the archive and are
// hostile: one that would land outside the destination folder is refused.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace archive {

enum class PathMode {
    Flat,         // stored folders dropped: every member lands in the destination itself
    StoredPaths,  // stored folders recreated below the destination
};

// The stored name as UTF-8. A name marked as UTF-8 by the archive, or written
// on Unix (whose tools store the locale's UTF-8 without the mark), is kept when
// it is valid UTF-8. Every other name comes from DOS or Windows tools, on
// Brazilian machines, and is read as code page 850.
std::string decodeEntryName(std::string_view raw, bool markedUtf8, bool madeOnUnix);

// A NUL or another control character (below 0x20, or 0x7F): no sound archive
// stores one in a name, and a file system would take it, or cut the name there.
bool hasControlCharacter(std::string_view name);

// A folder entry: its name ends with a separator.
bool isFolderEntry(std::string_view name);

// The member's path relative to the destination, or nothing when the name is
// refused. Both "/" and "\" separate folders. Flat: the part after the last
// separator or drive colon; empty, "." and ".." are refused. Stored paths:
// absolute names, a leading drive ("C:") and any ".." are refused; empty and
// "." components are dropped.
std::optional<std::filesystem::path> relativeTarget(std::string_view name, PathMode mode);

// "*.*" and "*" take every member; otherwise the file name part must match the
// mask's * and ? wildcards, ASCII letter case ignored.
bool matchesMask(std::string_view name, std::string_view mask);

}  // namespace archive
