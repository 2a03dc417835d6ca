// Links the tests plant where a user or an attacker could put them: a
// symbolic link, or on Windows a junction for a folder, which any user may
// make.
#pragma once

#include <platform/Files.h>

#include <filesystem>

namespace testsupport {

inline void plantLink(const std::filesystem::path& target, const std::filesystem::path& link) {
    std::error_code error;
    if (std::filesystem::is_directory(target))
        platform::makeFolderLink(target, link, error);
    else
        platform::makeFileLink(target, link, error);
    if (error) throw std::filesystem::filesystem_error("cannot plant a link", target, link, error);
    // Wine reports success for a symbolic link it never makes.
    if (platform::entryKind(link, error) != platform::EntryKind::Link)
        throw std::filesystem::filesystem_error(
            "the system reported a link made but none is there", target, link,
            std::make_error_code(std::errc::function_not_supported));
}

}  // namespace testsupport
