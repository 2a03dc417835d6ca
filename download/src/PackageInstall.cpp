#include "download/PackageInstall.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <vector>

#include "net/Resume.h"

namespace download {

namespace fs = std::filesystem;

namespace {

// Packages hold a few folder levels; anything much deeper is not ours to walk.
constexpr int kMaxFolderDepth = 64;

[[noreturn]] void fail(const std::string& what, const fs::path& path, std::errc error) {
    throw fs::filesystem_error(what, path, std::make_error_code(error));
}

struct stat statOf(const fs::path& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        throw fs::filesystem_error("cannot read", path,
                                   std::error_code(errno, std::generic_category()));
    return info;
}

bool isMountPoint(const fs::path& folder, const struct stat& info, dev_t parentDevice) {
    if (info.st_dev != parentDevice) return true;
#ifdef STATX_ATTR_MOUNT_ROOT
    struct statx extended;
    if (::statx(AT_FDCWD, folder.c_str(), AT_SYMLINK_NOFOLLOW, 0, &extended) == 0 &&
        (extended.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#else
    (void)folder;
#endif
    return false;
}

void removeContents(const fs::path& folder, dev_t device, int depth) {
    if (depth > kMaxFolderDepth) fail("folders nested too deep", folder, std::errc::too_many_links);
    // Entries of a read-only folder cannot be deleted.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    std::vector<fs::path> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        entries.push_back(entry.path());
    for (const fs::path& entry : entries) {
        const struct stat info = statOf(entry);
        if (S_ISDIR(info.st_mode)) {
            if (isMountPoint(entry, info, device))
                fail("a mount point is never removed", entry, std::errc::device_or_resource_busy);
            removeContents(entry, device, depth + 1);
        }
        fs::remove(entry);
    }
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

// The category folder of the staging, or why the extraction did not produce one.
InstallResult judge(const archive::ExtractResult& result, const fs::path& fresh) {
    if (result.cancelled) return {InstallOutcome::Cancelled, {}};
    if (!result.refused.empty()) return {InstallOutcome::Refused, result.refused.front()};
    if (!result.failed.empty()) return {InstallOutcome::Damaged, result.failed.front().name};
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(fresh, error)))
        return {InstallOutcome::Empty, library::pathToUtf8(fresh.filename())};
    return {};
}

// Puts fresh in the place of the category folder. The old folder is moved
// aside first and back again when the new one cannot take its place.
InstallResult replaceCategory(const fs::path& fresh, const fs::path& category, const fs::path& root,
                              int index) {
    std::error_code error;
    const fs::file_status existing = fs::symlink_status(category, error);
    fs::path putAside;
    if (fs::exists(existing)) {
        if (!fs::is_directory(existing) && !fs::is_symlink(existing))
            return {InstallOutcome::NotReplaced,
                    library::pathToUtf8(category) + " é um arquivo, não uma pasta"};
        putAside = makeUniqueFolder(root, putAsidePrefix(index));
        fs::rename(category, putAside / category.filename(), error);
        if (error) return {InstallOutcome::NotReplaced, error.message()};
    }
    fs::rename(fresh, category, error);
    if (error) {
        std::error_code ignored;
        if (!putAside.empty()) fs::rename(putAside / category.filename(), category, ignored);
        return {InstallOutcome::NotReplaced, error.message()};
    }
    if (!putAside.empty()) {
        try {
            RemoveFolderTree(putAside, root);
        } catch (const fs::filesystem_error&) {
            // The new category is in place; the next run removes what is left.
        }
    }
    return {};
}

}  // namespace

void RemoveFolderTree(const fs::path& folder, const fs::path& libraryRoot) {
    const fs::path name = folder.filename();
    if (name.empty() || name == "." || name == "..")
        fail("not a folder name", folder, std::errc::invalid_argument);
    // The folder's own name is kept as it is: a link there is removed, not followed.
    const fs::path parent = fs::weakly_canonical(folder.parent_path());
    const fs::path target = parent / name;
    if (!isStrictlyBelow(target, fs::weakly_canonical(libraryRoot)))
        fail("outside the library", folder, std::errc::operation_not_permitted);
    const struct stat info = statOf(target);
    if (S_ISLNK(info.st_mode)) {
        fs::remove(target);
        return;
    }
    if (!S_ISDIR(info.st_mode)) fail("not a folder", target, std::errc::not_a_directory);
    if (isMountPoint(target, info, statOf(parent).st_dev))
        fail("a mount point is never removed", target, std::errc::device_or_resource_busy);
    removeContents(target, info.st_dev, 0);
    fs::remove(target);
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

void removeLeftovers(const library::Layout& layout, int index) {
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
        // The fixed-name partial file is kept: the next download continues it.
        const bool partial = startsWith(partialDownload) && name.ends_with(".part") &&
                             it->path() != net::partialFileOf(layout.packageFile(index));
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

}  // namespace download
