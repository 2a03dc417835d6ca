#include "download/PackageInstall.h"

#include <platform/Files.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <optional>
#include <random>
#include <vector>

#include "download/PackageIndex.h"
#include "library/RunJournal.h"
#include "net/Resume.h"
#include "search/Indexing.h"

namespace download {

namespace fs = std::filesystem;

namespace {

// A new install folder of its kind for category index, with a random tag,
// recorded in the journal before it exists so that the next start removes it
// if this run is killed.
fs::path makeUniqueFolder(const library::RunJournal& journal, const fs::path& root,
                          library::InstallFolder kind, int index) {
    const std::string_view letters = library::kInstallFolderTagLetters;
    const std::string prefix = library::installFolderPrefix(kind, index);
    std::random_device seed;
    // 64 bits: std::mt19937 built here would replace Qt's own (see RunFolder.cpp).
    std::mt19937_64 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (std::size_t n = 0; n < library::kInstallFolderTagLength; ++n)
            name += letters[pick(random)];
        const fs::path folder = root / name;
        if (!journal.willCreate(folder))
            throw fs::filesystem_error("cannot record", journal.file(),
                                       std::make_error_code(std::errc::io_error));
        std::error_code error;
        platform::makeFolder(folder, error);
        if (!error) return folder;
        journal.settled(folder);
        if (error != std::errc::file_exists) throw fs::filesystem_error("cannot create", folder, error);
    }
    throw fs::filesystem_error("cannot create", root / prefix,
                               std::make_error_code(std::errc::file_exists));
}

// Removes a folder the journal lists and settles its entry; what cannot be
// removed stays listed for the next start.
void removeRecordedFolder(const library::RunJournal& journal, const fs::path& folder,
                          const fs::path& root) {
    try {
        RemoveFolderTree(folder, root);
        journal.settled(folder);
    } catch (const fs::filesystem_error&) {
        // Removed at the next start.
    }
}

// Whether some block of the category has its drawing archive, with or
// without a thumbnail: a package that brings no block must not replace the
// category installed.
bool holdsABlock(const fs::path& category) {
    std::error_code error;
    const library::DrawingArchives archives(category);
    for (const fs::path& thumbnail : library::listBlocks(category))
        if (fs::is_regular_file(fs::symlink_status(archives.of(thumbnail), error))) return true;
    return false;
}

// The record of the installed version is the program's own: a package that
// brings anything of that name (in any letter case, as Windows reads it) is
// refused, so that the record is never in doubt.
std::optional<std::string> bringsInstalledRecord(const fs::path& fresh) {
    const std::string record = kInstalledRecordName;
    std::error_code error;
    for (auto it = fs::directory_iterator(fresh, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        std::string name = library::pathToUtf8(it->path().filename());
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (name == record) return library::pathToUtf8(fresh.filename() / it->path().filename());
    }
    return std::nullopt;
}

// The category folder of the staging, or why the extraction did not produce one.
InstallResult judge(const archive::ExtractResult& result, const fs::path& fresh) {
    if (result.cancelled) return {InstallOutcome::Cancelled, {}};
    if (!result.refused.empty()) return {InstallOutcome::Refused, result.refused.front()};
    if (!result.failed.empty()) return {InstallOutcome::Damaged, result.failed.front().name};
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(fresh, error)) || !holdsABlock(fresh))
        return {InstallOutcome::Empty, library::pathToUtf8(fresh.filename())};
    if (const std::optional<std::string> record = bringsInstalledRecord(fresh))
        return {InstallOutcome::BringsRecord, *record};
    return {};
}

// Puts fresh in the place of the category folder. Where the system can swap
// two folders in one step the old category trades places with fresh and
// leaves with the staging folder: at every moment the category folder is the
// old one or the new one, complete. Elsewhere the old folder is moved aside
// first and back again when the new one cannot take its place; a put-aside
// folder whose category is missing is put back by restorePutAside.
InstallResult replaceCategory(const library::RunJournal& journal, const fs::path& fresh,
                              const fs::path& category, const fs::path& root, int index) {
    std::error_code error;
    const fs::file_status existing = fs::symlink_status(category, error);
    if (!fs::exists(existing)) {
        platform::renameNoReplace(fresh, category, error);
        return error ? InstallResult{InstallOutcome::NotReplaced, error.message()}
                     : InstallResult{};
    }
    if (!fs::is_directory(existing) && !fs::is_symlink(existing))
        return {InstallOutcome::NotReplaced,
                library::pathToUtf8(category) + " é um arquivo, não uma pasta"};
    platform::exchangeFolders(fresh, category, error);
    if (!error) return {};  // the old category is in the staging folder now, removed with it
    if (error != std::errc::function_not_supported)
        return {InstallOutcome::NotReplaced, error.message()};

    const fs::path putAside =
        makeUniqueFolder(journal, root, library::InstallFolder::PutAside, index);
    platform::renameNoReplace(category, putAside / category.filename(), error);
    if (error) return {InstallOutcome::NotReplaced, error.message()};
    platform::renameNoReplace(fresh, category, error);
    if (error) {
        std::error_code ignored;
        platform::renameNoReplace(putAside / category.filename(), category, ignored);
        return {InstallOutcome::NotReplaced, error.message()};
    }
    removeRecordedFolder(journal, putAside, root);  // the new category is in place
    return {};
}

}  // namespace

InstallResult installPackage(archive::ZipReader& reader, const fs::path& packageFile,
                             const library::Layout& layout, int index,
                             const signing::IndexLine* signedLine,
                             const archive::ProgressHandler& progress,
                             const archive::QuestionHandler& question) {
    std::optional<archive::ZipLease> lease = reader.tryLease();
    if (!lease) return {InstallOutcome::Busy, {}};
    const fs::path root = layout.libraryRoot();
    const library::RunJournal journal(layout);
    const fs::path staging =
        makeUniqueFolder(journal, root, library::InstallFolder::Staging, index);
    // Whatever is left in it never counts as installed.
    struct StagingRemover {
        const library::RunJournal& journal;
        const fs::path& staging;
        const fs::path& root;
        ~StagingRemover() { removeRecordedFolder(journal, staging, root); }
    } remover{journal, staging, root};

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
    // The category takes its place already indexed for the search; reading its
    // drawings is reported as installing them.
    const bool indexed = search::indexStagedCategory(
        layout, index, fresh, [&](const fs::path& drawingArchive, double percent) {
            bool cancel = false;
            const std::string shown = top + "/DWG/" + library::pathToUtf8(drawingArchive.filename());
            if (progress) progress({shown, percent}, cancel);
            return !cancel;
        });
    if (!indexed) return {InstallOutcome::Cancelled, {}};
    if (signedLine && !recordInstalledPackage(fresh, *signedLine))
        return {InstallOutcome::NotReplaced,
                "não foi possível gravar o registro da versão " + std::string(kInstalledRecordName)};
    return replaceCategory(journal, fresh, layout.categoryFolder(index), root, index);
}

void uninstallCategory(const library::Layout& layout, int index) {
    const fs::path category = layout.categoryFolder(index);
    std::error_code error;
    if (!fs::exists(fs::symlink_status(category, error))) return;
    const fs::path root = layout.libraryRoot();
    const library::RunJournal journal(layout);
    const fs::path leaving = makeUniqueFolder(journal, root, library::InstallFolder::Staging, index);
    platform::renameNoReplace(category, leaving / category.filename(), error);
    removeRecordedFolder(journal, leaving, root);
    if (error) throw fs::filesystem_error("cannot remove", category, error);
}

void restorePutAside(const library::Layout& layout, int index) {
    const fs::path root = layout.libraryRoot();
    const fs::path category = layout.categoryFolder(index);
    const std::string prefix =
        library::installFolderPrefix(library::InstallFolder::PutAside, index);
    std::error_code error;
    for (auto it = fs::directory_iterator(root, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        if (fs::exists(fs::symlink_status(category, error))) return;
        if (library::pathToUtf8(it->path().filename()).compare(0, prefix.size(), prefix) != 0) continue;
        const fs::path kept = it->path() / category.filename();
        if (!fs::is_directory(fs::symlink_status(kept, error))) continue;
        // NOREPLACE: a category that appeared meanwhile is never overwritten.
        std::error_code ignored;
        platform::renameNoReplace(kept, category, ignored);
    }
}

namespace {

// The download's own temporary files ".<n>.zip.XXXXXX.part", left only by a
// kill. The fixed-name partial file is kept: the next download continues it.
void removePartialDownloads(const library::Layout& layout, int index) {
    const std::string prefix = "." + library::packageName(index) + ".";
    const fs::path resumable = net::partialFileOf(layout.packageFile(index));
    std::error_code error;
    std::vector<fs::path> partial;
    for (auto it = fs::directory_iterator(layout.libraryRoot(), error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = library::pathToUtf8(it->path().filename());
        if (name.compare(0, prefix.size(), prefix) == 0 && name.ends_with(".part") &&
            it->path() != resumable && fs::is_regular_file(it->symlink_status(error)))
            partial.push_back(it->path());
    }
    for (const fs::path& file : partial) platform::removeFile(file, error);
}

}  // namespace

void removeLeftovers(const library::Layout& layout, int index) {
    restorePutAside(layout, index);
    library::RunJournal(layout).removeLeftovers([index](const fs::path& path) {
        const std::string name = library::pathToUtf8(path.filename());
        for (const auto kind : {library::InstallFolder::Staging, library::InstallFolder::PutAside})
            if (name.starts_with(library::installFolderPrefix(kind, index))) return true;
        return false;
    });
    removePartialDownloads(layout, index);
}

void recoverInterruptedRuns(const library::Layout& layout) {
    // Put back first: a put-aside folder is listed in the journal too.
    for (int n = 0; n < library::kCategoryCount; ++n) restorePutAside(layout, n);
    library::RunJournal(layout).removeLeftovers();
    for (int n = 0; n < library::kCategoryCount; ++n) removePartialDownloads(layout, n);
}

}  // namespace download
