// What a folder holds, each entry with its kind, size and modification time,
// read in one pass where the system gives them with the listing (Windows'
// directory search) and one status call an entry where it does not. Entries
// are looked at where they are: a link is reported as a link, never followed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/Files.h"

namespace platform {

struct ListedEntry {
    std::filesystem::path name;
    EntryKind kind = EntryKind::Other;
    std::uint64_t size = 0;     // of a file; 0 for anything else
    std::int64_t modified = 0;  // nanoseconds since 1970-01-01 UTC
};

// The entries of folder, without "." and "..", at most maxEntries of them
// (std::errc::value_too_large when there are more; those read are returned).
// A link at the folder's own name is refused unless follow.
std::vector<ListedEntry> listFolder(const std::filesystem::path& folder, std::size_t maxEntries,
                                    std::error_code& error, Follow follow = Follow::No);

// The same for what is at path itself, a link not followed: kind Missing,
// and no error, when nothing is there.
ListedEntry entryInfo(const std::filesystem::path& path, std::error_code& error);

}  // namespace platform
