// A whole drawing file in memory, with the reader's limit on its size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace dwg::detail {

// Throws dwg::Error (CannotOpen, TooLarge) when the file cannot be read whole.
std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path);

}  // namespace dwg::detail
