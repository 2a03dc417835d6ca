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

// What a package member may claim; beyond it the package is damaged.
inline constexpr archive::MemberLimits kPackageMemberLimits{1ull << 30, 1000};

enum class InstallOutcome {
    Installed,
    Cancelled,    // the progress handler asked to stop
    Unreadable,   // the archive cannot be opened: missing, truncated, not a zip
    Damaged,      // a member is too large, or could not be extracted and was skipped or ended it
    Refused,      // a member lies outside the category's folder or is a link
    Empty,        // the package holds nothing of its category folder
    NotReplaced,  // the installed category could not be put aside, or the new one in place
};

struct InstallResult {
    InstallOutcome outcome = InstallOutcome::Installed;
    std::string detail;  // the member concerned, or the reader's or system's message
};

// Unpacks packageFile, the package of category index, into the library with a
// fresh zip reader that reports to progress and asks question. Only members
// below the folder "<index>/" are taken. A handler's exception travels on,
// after the staging folder has been removed.
InstallResult installPackage(const std::filesystem::path& packageFile,
                             const library::Layout& layout, int index,
                             const archive::ProgressHandler& progress,
                             const archive::QuestionHandler& question);

// Removes what an interrupted run left for category index in the library:
// staging folders, put-aside categories and partial downloads. Never throws.
void removeLeftovers(const library::Layout& layout, int index);

}  // namespace download
