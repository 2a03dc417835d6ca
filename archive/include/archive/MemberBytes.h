// One member of a small archive read into memory, for code that looks into a
// block's drawing without writing it anywhere. It does not go through the
// program's ZipReader and its leases: every call opens its own handle, so a
// background thread may read archives while the windows use the reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "archive/ZipReader.h"

namespace archive {

// The data of the first file member whose name matches mask (as matchesMask
// takes it), decrypted with password (traditional PKWARE; empty for none).
// Throws ZipError when the archive cannot be opened, holds no such member, or
// the member is damaged, encrypted otherwise, or larger than maxSize.
std::vector<std::uint8_t> readMemberBytes(const std::filesystem::path& archiveFile,
                                          std::string_view mask, std::string_view password,
                                          std::uint64_t maxSize);

}  // namespace archive
