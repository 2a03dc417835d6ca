#include "download/PackageInstall.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace download {

namespace fs = std::filesystem;

namespace {

// Packages hold a few folder levels; anything much deeper is not ours to walk.
constexpr int kMaxFolderDepth = 64;

[[noreturn]] void fail(const std::string& what, const fs::path& path, std::errc error) {
    throw fs::filesystem_error(what, path, std::make_error_code(error));
}

[[noreturn]] void failWithErrno(const std::string& what, const fs::path& path) {
    throw fs::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

// A folder opened by descriptor: everything below it is reached through
// openat/unlinkat on this descriptor, never again through a path that could
// have been swapped for a link meanwhile.
class FolderHandle {
  public:
    FolderHandle(int at, const fs::path& name, const fs::path& shownAs)
        : descriptor_(::openat(at, name.c_str(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {
        if (descriptor_ < 0) failWithErrno("cannot open", shownAs);
    }
    FolderHandle(FolderHandle&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    ~FolderHandle() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

struct stat statAt(int at, const fs::path& name, const fs::path& shownAs) {
    struct stat info;
    if (::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        failWithErrno("cannot read", shownAs);
    return info;
}

bool isMountPoint(int folder, dev_t parentDevice) {
    struct stat info;
    if (::fstat(folder, &info) != 0 || info.st_dev != parentDevice) return true;
#ifdef STATX_ATTR_MOUNT_ROOT
    // A bind mount of the same file system keeps the device number.
    struct statx extended;
    if (::statx(folder, "", AT_EMPTY_PATH, 0, &extended) == 0 &&
        (extended.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    return false;
}

std::vector<std::string> namesIn(int folder, const fs::path& shownAs) {
    const int listing = ::dup(folder);
    if (listing < 0) failWithErrno("cannot list", shownAs);
    DIR* directory = ::fdopendir(listing);
    if (!directory) {
        ::close(listing);
        failWithErrno("cannot list", shownAs);
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const int error = errno;
    ::closedir(directory);
    if (error != 0) {
        errno = error;
        failWithErrno("cannot list", shownAs);
    }
    return names;
}

// Removes the entry name of the open folder at: a link or file is unlinked,
// a folder emptied through its own descriptor first.
void removeEntry(int at, const std::string& name, dev_t device, const fs::path& shownAs,
                 int depth) {
    const struct stat info = statAt(at, name, shownAs);
    if (S_ISDIR(info.st_mode)) {
        if (depth > kMaxFolderDepth)
            fail("folders nested too deep", shownAs, std::errc::too_many_links);
        {
            const FolderHandle folder(at, name, shownAs);
            if (isMountPoint(folder.get(), device))
                fail("a mount point is never removed", shownAs,
                     std::errc::device_or_resource_busy);
            // Entries of a read-only folder cannot be deleted.
            ::fchmod(folder.get(), (info.st_mode & 07777) | S_IRWXU);
            for (const std::string& entry : namesIn(folder.get(), shownAs))
                removeEntry(folder.get(), entry, device, shownAs / entry, depth + 1);
        }
        if (::unlinkat(at, name.c_str(), AT_REMOVEDIR) != 0) failWithErrno("cannot remove", shownAs);
        return;
    }
    if (::unlinkat(at, name.c_str(), 0) != 0) failWithErrno("cannot remove", shownAs);
}

bool isStrictlyBelow(const fs::path& path, const fs::path& folder) {
    const auto [end, at] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end() && at != path.end();
}

fs::path makeUniqueFolder(const fs::path& root, const std::string& prefix) {
    std::string pattern = (root / (prefix + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw fs::filesystem_error("cannot create", root / prefix,
                                   std::error_code(errno, std::generic_category()));
    return pattern;
}

std::string stagingPrefix(int index) {
    return "." + std::to_string(index) + ".novo-";
}
std::string putAsidePrefix(int index) {
    return "." + std::to_string(index) + ".antigo-";
}

// Whether some thumbnail of the category has its drawing archive: a package
// that brings no block must not replace the category installed.
bool holdsABlock(const fs::path& category) {
    std::error_code error;
    for (const fs::path& thumbnail : library::listThumbnails(category))
        if (fs::is_regular_file(fs::symlink_status(library::drawingArchivePath(category, thumbnail),
                                                   error)))
            return true;
    return false;
}

// The category folder of the staging, or why the extraction did not produce one.
InstallResult judge(const archive::ExtractResult& result, const fs::path& fresh) {
    if (result.cancelled) return {InstallOutcome::Cancelled, {}};
    if (!result.refused.empty()) return {InstallOutcome::Refused, result.refused.front()};
    if (!result.failed.empty()) return {InstallOutcome::Damaged, result.failed.front().name};
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(fresh, error)) || !holdsABlock(fresh))
        return {InstallOutcome::Empty, library::pathToUtf8(fresh.filename())};
    return {};
}

// Puts fresh in the place of the category folder. Where the system can swap
// two folders in one step the old category trades places with fresh and
// leaves with the staging folder: at every moment the category folder is the
// old one or the new one, complete. Elsewhere the old folder is moved aside
// first and back again when the new one cannot take its place; a put-aside
// folder whose category is missing is put back by restorePutAside.
InstallResult replaceCategory(const fs::path& fresh, const fs::path& category, const fs::path& root,
                              int index) {
    std::error_code error;
    const fs::file_status existing = fs::symlink_status(category, error);
    if (!fs::exists(existing)) {
        if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, category.c_str(), RENAME_NOREPLACE) == 0)
            return {};
        if (errno != EINVAL && errno != ENOSYS)
            return {InstallOutcome::NotReplaced, std::strerror(errno)};
        fs::rename(fresh, category, error);
        return error ? InstallResult{InstallOutcome::NotReplaced, error.message()}
                     : InstallResult{};
    }
    if (!fs::is_directory(existing) && !fs::is_symlink(existing))
        return {InstallOutcome::NotReplaced,
                library::pathToUtf8(category) + " é um arquivo, não uma pasta"};
    if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, category.c_str(), RENAME_EXCHANGE) == 0)
        return {};  // the old category is in the staging folder now, removed with it
    if (errno != EINVAL && errno != ENOSYS)
        return {InstallOutcome::NotReplaced, std::strerror(errno)};

    const fs::path putAside = makeUniqueFolder(root, putAsidePrefix(index));
    fs::rename(category, putAside / category.filename(), error);
    if (error) return {InstallOutcome::NotReplaced, error.message()};
    fs::rename(fresh, category, error);
    if (error) {
        std::error_code ignored;
        fs::rename(putAside / category.filename(), category, ignored);
        return {InstallOutcome::NotReplaced, error.message()};
    }
    try {
        RemoveFolderTree(putAside, root);
    } catch (const fs::filesystem_error&) {
        // The new category is in place; the next run removes what is left.
    }
    return {};
}

}  // namespace

void RemoveFolderTree(const fs::path& folder, const fs::path& libraryRoot) {
    const fs::path name = folder.filename();
    if (name.empty() || name == "." || name == "..")
        fail("not a folder name", folder, std::errc::invalid_argument);
    // The folder's own name is kept as it is: a link there is removed, not followed.
    const fs::path root = fs::weakly_canonical(libraryRoot);
    const fs::path parent = fs::weakly_canonical(folder.parent_path());
    const fs::path target = parent / name;
    if (!isStrictlyBelow(target, root))
        fail("outside the library", folder, std::errc::operation_not_permitted);
    // From the library down, every folder is opened without following links,
    // so a folder on the way swapped for a link stops the removal.
    std::optional<FolderHandle> at;
    at.emplace(AT_FDCWD, root, root);
    fs::path walked = root;
    for (const fs::path& step : parent.lexically_relative(root)) {
        if (step == ".") continue;
        walked /= step;
        FolderHandle next(at->get(), step, walked);
        at.emplace(std::move(next));
    }
    struct stat parentInfo;
    if (::fstat(at->get(), &parentInfo) != 0) failWithErrno("cannot read", parent);
    const struct stat info = statAt(at->get(), name, target);
    if (!S_ISDIR(info.st_mode) && !S_ISLNK(info.st_mode))
        fail("not a folder", target, std::errc::not_a_directory);
    removeEntry(at->get(), name, parentInfo.st_dev, target, 0);
}

InstallResult installPackage(archive::ZipReader& reader, const fs::path& packageFile,
                             const library::Layout& layout, int index,
                             const archive::ProgressHandler& progress,
                             const archive::QuestionHandler& question) {
    std::optional<archive::ZipLease> lease = reader.tryLease();
    if (!lease) return {InstallOutcome::Busy, {}};
    const fs::path root = layout.libraryRoot();
    const fs::path staging = makeUniqueFolder(root, stagingPrefix(index));
    struct StagingRemover {
        const fs::path& staging;
        const fs::path& root;
        ~StagingRemover() {
            try {
                RemoveFolderTree(staging, root);
            } catch (const fs::filesystem_error&) {
                // Left for removeLeftovers; it never counts as installed.
            }
        }
    } remover{staging, root};

    const std::string top = std::to_string(index);
    archive::ExtractOptions options;
    options.destination = staging;
    options.pathMode = archive::PathMode::StoredPaths;
    options.password = std::string(library::kArchivePassword);
    options.maxMemberSize = kMaxPackageMemberSize;
    options.maxCompressionRatio = 1000;
    options.accept = [&top](const fs::path& relative, bool folder) {
        return *relative.begin() == top &&
               (folder || std::next(relative.begin()) != relative.end());
    };
    options.progress = progress;
    options.question = question;
    archive::ExtractResult extracted;
    try {
        lease->open(packageFile);
        extracted = lease->extract(options);
    } catch (const archive::ZipError& error) {
        return {InstallOutcome::Unreadable, error.what()};
    }
    lease->close();

    const fs::path fresh = staging / top;
    if (InstallResult verdict = judge(extracted, fresh);
        verdict.outcome != InstallOutcome::Installed)
        return verdict;
    return replaceCategory(fresh, layout.categoryFolder(index), root, index);
}

void restorePutAside(const library::Layout& layout, int index) {
    const fs::path root = layout.libraryRoot();
    const fs::path category = layout.categoryFolder(index);
    const std::string prefix = putAsidePrefix(index);
    std::error_code error;
    for (auto it = fs::directory_iterator(root, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        if (fs::exists(fs::symlink_status(category, error))) return;
        if (it->path().filename().string().compare(0, prefix.size(), prefix) != 0) continue;
        const fs::path kept = it->path() / category.filename();
        if (!fs::is_directory(fs::symlink_status(kept, error))) continue;
        // NOREPLACE: a category that appeared meanwhile is never overwritten.
        ::renameat2(AT_FDCWD, kept.c_str(), AT_FDCWD, category.c_str(), RENAME_NOREPLACE);
    }
}

void removeLeftovers(const library::Layout& layout, int index) {
    restorePutAside(layout, index);
    const fs::path root = layout.libraryRoot();
    const std::string partialDownload = "." + library::packageName(index) + ".";
    std::error_code error;
    std::vector<fs::path> leftovers;
    for (auto it = fs::directory_iterator(root, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        auto startsWith = [&name](const std::string& prefix) {
            return name.compare(0, prefix.size(), prefix) == 0;
        };
        const bool partial = startsWith(partialDownload) && name.ends_with(".part");
        if (startsWith(stagingPrefix(index)) || startsWith(putAsidePrefix(index)) || partial)
            leftovers.push_back(it->path());
    }
    for (const fs::path& leftover : leftovers) {
        try {
            if (fs::is_directory(fs::symlink_status(leftover)))
                RemoveFolderTree(leftover, root);
            else
                fs::remove(leftover);
        } catch (const fs::filesystem_error&) {
            // Tried again by the next run.
        }
    }
}

void recoverInterruptedRuns(const library::Layout& layout) {
    for (int n = 0; n < library::kCategoryCount; ++n) restorePutAside(layout, n);
    std::error_code error;
    for (int n = 0; n < library::kCategoryCount; ++n) {
        removeLeftovers(layout, n);
        const fs::path archive = layout.packageFile(n);
        if (fs::is_regular_file(fs::symlink_status(archive, error))) fs::remove(archive, error);
    }
    const fs::path archiveCopy = layout.previewArchiveCopy();
    if (fs::is_regular_file(fs::symlink_status(archiveCopy, error))) fs::remove(archiveCopy, error);
}

}  // namespace download
