// File names as the user reads them. Paths keep the bytes the file system
// gave; text is made from them only to be shown.
#pragma once

#include <QString>
#include <filesystem>

namespace ui {

// UTF-8 names as they are. A name that is not UTF-8 (a library unpacked from a
// Windows archive keeps its Latin-1 bytes) is read as Latin-1 rather than
// shown with replacement marks.
QString displayName(const std::filesystem::path& path);

}  // namespace ui
