// Text and file-system paths meet here. Names inside the program are UTF-8
// text; a path keeps whatever bytes (or UTF-16 units, on Windows) the file
// system gave it, so that a name which is not valid UTF-8 still opens.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace paths {

// On POSIX both keep the bytes as they are, valid UTF-8 or not; on Windows
// they convert between UTF-8 and the native UTF-16.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string pathToUtf8(const std::filesystem::path& path);

}  // namespace paths
