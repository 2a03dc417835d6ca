// Reading a DWG file into a Drawing. Both forms read everything before they
// return and keep no reference to the file or the buffer.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Error.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace dwg {

// Throws dwg::Error on any failure.
Drawing read(const std::filesystem::path& path);
Drawing read(std::span<const std::uint8_t> bytes);
// The whole file, size-checked as read(path) does, for parsing elsewhere.
std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path);

}  // namespace dwg
