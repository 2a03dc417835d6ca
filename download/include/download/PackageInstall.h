// Installing one category package into the library. The package is unpacked
// into a staging folder beside the category folder and takes the category's
// place by rename only once every member is written, so a failed, cancelled or
// damaged package never costs the category installed before and never leaves
// a half-filled category folder behind.
#pragma once

#include <filesystem>
#include <string>

#include "archive/ZipReader.h"
#include "library/FolderTree.h"
#include "library/Library.h"
#include "signing/PackageIndex.h"

namespace download {

using library::RemoveFolderTree;

enum class InstallOutcome {
    Installed,
    Busy,         // another run holds the zip reader
    Cancelled,    // the progress handler asked to stop
    Unreadable,   // the archive cannot be opened: missing, truncated, not a zip
    Damaged,      // a member could not be extracted (too large, damaged, not writable)
    Refused,      // a member lies outside the category's folder or is a link
    Empty,        // no block: no IMG/*.PNG with its DWG/*.DWG.zip
    BringsRecord, // something where the program records the installed version
    NotReplaced,  // the version record or the new category could not be put in place
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::Installed;
    std::string detail;  // the member concerned, or the reader's or system's message
};

// A package member larger than this, or claiming more than 1000 times its
// compressed size, is damaged.
inline constexpr std::uint64_t kMaxPackageMemberSize = 1024 * archive::kMiB;

// Unpacks packageFile, the package of category index, into the library through
// a lease on reader that reports to progress and asks question. Only members
// below the folder "<index>/" are taken. signedLine, the line of the signed
// list the package was checked against (null without a list), is recorded in
// the category before it takes its place, so that the category is never there
// without the version it came from. A handler's exception travels on, after
// the staging folder has been removed.
InstallResult installPackage(archive::ZipReader& reader, const std::filesystem::path& packageFile,
                             const library::Layout& layout, int index,
                             const signing::IndexLine* signedLine,
                             const archive::ProgressHandler& progress,
                             const archive::QuestionHandler& question);

// Removes category index from the library: it leaves its place in one rename
// into a staging folder that the run journal lists, which is then removed, so
// that at every moment the category is whole or gone, and the next start
// removes what a kill left. A category not installed is left alone. Throws
// std::filesystem::filesystem_error when it cannot be moved.
void uninstallCategory(const library::Layout& layout, int index);

// Puts back a category that an interrupted swap left only in its put-aside
// folder (where the system cannot swap two folders in one step). A category
// folder that exists is never touched. Never throws.
void restorePutAside(const library::Layout& layout, int index);

// Removes what an interrupted run left for category index in the library:
// the staging and put-aside folders the run journal lists, after
// restorePutAside has put back a category that only a put-aside folder holds,
// and the temporary files of downloads that cannot be resumed. Never throws.
void removeLeftovers(const library::Layout& layout, int index);

// At start-up, before any window: every category that only a put-aside
// folder holds is put back, then what the run journal lists (staging folders,
// package archives, TMP.ZIP, the preview's drawing) is removed, and the
// download's partial files. Never throws.
void recoverInterruptedRuns(const library::Layout& layout);

}  // namespace download
