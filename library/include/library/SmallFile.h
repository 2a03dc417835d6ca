// Whole small files of the program's own (records, lists) that must survive
// a kill and must not be redirected by a link planted in their place. The
// system calls come from the platform module.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace library {

// The bytes of file when it is a regular file of at most maxBytes, opened
// without following a link; nullopt for anything else, or when it cannot be read.
std::optional<std::string> readRegularFile(const std::filesystem::path& file,
                                           std::uint64_t maxBytes);

// Replaces file by bytes: written to a temporary file beside it, flushed to
// the disk, then renamed over it, and the folder flushed, so that a kill at
// any moment leaves the old file or the new one, whole. False when it could
// not be done; the old file then stays as it was. Never throws.
bool writeFileDurably(const std::filesystem::path& file, std::string_view bytes);

// The same for a file in a folder of the user's, where a file of any name may
// be his: the temporary file gets a name nobody has (".<file>.<random>.tessaly"),
// created afresh, and nothing else there is removed.
bool writeFileReplacing(const std::filesystem::path& file, std::string_view bytes);

}  // namespace library
