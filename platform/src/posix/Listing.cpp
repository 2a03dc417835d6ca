#include "platform/Listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "Posix.h"

namespace platform {

using detail::lastError;

namespace {

EntryKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::File;
    if (S_ISDIR(mode)) return EntryKind::Folder;
    if (S_ISLNK(mode)) return EntryKind::Link;
    return EntryKind::Other;
}

void describe(const struct stat& info, ListedEntry& entry) {
    entry.kind = kindOfMode(info.st_mode);
    if (entry.kind == EntryKind::File) entry.size = static_cast<std::uint64_t>(info.st_size);
    entry.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                     static_cast<std::int64_t>(info.st_mtim.tv_nsec);
}

}  // namespace

std::vector<ListedEntry> listFolder(const std::filesystem::path& folder, std::size_t maxEntries,
                                    std::error_code& error, Follow follow) {
    std::vector<ListedEntry> entries;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow == Follow::No ? O_NOFOLLOW : 0);
    const int descriptor = ::open(folder.c_str(), flags);
    if (descriptor < 0) {
        error = lastError();
        return entries;
    }
    DIR* directory = ::fdopendir(descriptor);
    if (!directory) {
        error = lastError();
        ::close(descriptor);
        return entries;
    }
    error.clear();
    errno = 0;
    while (const dirent* found = ::readdir(directory)) {
        const std::string name = found->d_name;
        if (name == "." || name == "..") continue;
        if (entries.size() == maxEntries) {
            error = std::make_error_code(std::errc::value_too_large);
            break;
        }
        ListedEntry entry;
        entry.name = name;
        struct stat info;
        // Gone since the listing named it: left out.
        if (::fstatat(descriptor, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            errno = 0;
            continue;
        }
        describe(info, entry);
        entries.push_back(std::move(entry));
        errno = 0;
    }
    if (!error && errno != 0) error = lastError();
    ::closedir(directory);
    return entries;
}

ListedEntry entryInfo(const std::filesystem::path& path, std::error_code& error) {
    ListedEntry entry;
    entry.name = path.filename();
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) {
        entry.kind = EntryKind::Missing;
        if (errno == ENOENT || errno == ENOTDIR)
            error.clear();
        else
            error = lastError();
        return entry;
    }
    error.clear();
    describe(info, entry);
    return entry;
}

}  // namespace platform
