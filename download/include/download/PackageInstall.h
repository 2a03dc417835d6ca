// Installing one category package into the library. The package is unpacked
// into a staging folder beside the category folder and takes the category's
// place by rename only once every member is written, so a failed, cancelled or
// damaged package never costs the category installed before and never leaves
// a half-filled category folder behind.
#pragma once

#include <filesystem>
#include <string>

#include "archive/ZipReader.h"
#include "library/Library.h"

namespace download {

// Removes folder and everything below it. The folder must lie strictly below
// libraryRoot. Links are removed as links, never followed; a mount point is
// never removed nor entered. Throws std::filesystem::filesystem_error at the
// first thing that cannot be removed; what was removed before stays removed.
void RemoveFolderTree(const std::filesystem::path& folder,
                      const std::filesystem::path& libraryRoot);

enum class InstallOutcome {
    Installed,
    Busy,         // another run holds the zip reader
    Cancelled,    // the progress handler asked to stop
    Unreadable,   // the archive cannot be opened: missing, truncated, not a zip
    Damaged,      // a member could not be extracted (too large, damaged, not writable)
    Refused,      // a member lies outside the category's folder or is a link
    Empty,        // no block: no IMG/*.PNG with its DWG/*.DWG.zip
    NotReplaced,  // the installed category could not be put aside, or the new one in place
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
// below the folder "<index>/" are taken. A handler's exception travels on,
// after the staging folder has been removed.
InstallResult installPackage(archive::ZipReader& reader, const std::filesystem::path& packageFile,
                             const library::Layout& layout, int index,
                             const archive::ProgressHandler& progress,
                             const archive::QuestionHandler& question);

// Puts back a category that an interrupted swap left only in its put-aside
// folder (where the system cannot swap two folders in one step). A category
// folder that exists is never touched. Never throws.
void restorePutAside(const library::Layout& layout, int index);

// Removes what an interrupted run left for category index in the library:
// staging folders, put-aside categories and partial downloads, after
// restorePutAside has put back a category that only a put-aside folder holds.
// Never throws.
void removeLeftovers(const library::Layout& layout, int index);

// At start-up, before any window: every category that only a put-aside
// folder holds is put back, then what killed runs left (staging folders,
// partial downloads, package archives, TMP.ZIP) is removed. Never throws.
void recoverInterruptedRuns(const library::Layout& layout);

}  // namespace download
