#include "platform/Listing.h"

#include "Native.h"

namespace platform {

using detail::lastError;
using detail::nativePath;

namespace {

// FILETIME counts 100 ns steps from 1601; 1970 is this many of them later.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;

std::int64_t nanosecondsSince1970(const FILETIME& time) {
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                  time.dwLowDateTime);
    return (ticks - kUnixEpochInFileTime) * 100;
}

EntryKind kindOfFound(const WIN32_FIND_DATAW& found) {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::Other;
    return EntryKind::File;
}

void describe(const WIN32_FIND_DATAW& found, ListedEntry& entry) {
    entry.kind = kindOfFound(found);
    if (entry.kind == EntryKind::File)
        entry.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    entry.modified = nanosecondsSince1970(found.ftLastWriteTime);
}

}  // namespace

std::vector<ListedEntry> listFolder(const std::filesystem::path& folder, std::size_t maxEntries,
                                    std::error_code& error, Follow follow) {
    std::vector<ListedEntry> entries;
    const std::wstring native = nativePath(folder);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = lastError();
        return entries;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = std::make_error_code(std::errc::not_a_directory);
        return entries;
    }
    if (follow == Follow::No && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        return entries;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(nativePath(folder / L"*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        error = GetLastError() == ERROR_FILE_NOT_FOUND ? std::error_code() : lastError();
        return entries;
    }
    error.clear();
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entries.size() == maxEntries) {
            error = std::make_error_code(std::errc::value_too_large);
            break;
        }
        ListedEntry entry;
        entry.name = name;
        describe(found, entry);
        entries.push_back(std::move(entry));
    } while (FindNextFileW(search, &found));
    const DWORD code = GetLastError();
    FindClose(search);
    if (!error && code != ERROR_NO_MORE_FILES) error = detail::errorOf(code);
    return entries;
}

ListedEntry entryInfo(const std::filesystem::path& path, std::error_code& error) {
    ListedEntry entry;
    entry.name = path.filename();
    // The search of one exact name gives what the listing of its folder gives.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(nativePath(path).c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        entry.kind = EntryKind::Missing;
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            error.clear();
        else
            error = detail::errorOf(code);
        return entry;
    }
    FindClose(search);
    error.clear();
    describe(found, entry);
    return entry;
}

}  // namespace platform
