// Reading a DWG file into a Drawing. Both forms read everything before they
// return and keep no reference to the file or the buffer.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Error.h>

#include <cstdint>
#include <filesystem>
#include <span>

namespace dwg {

// Throws dwg::Error on any failure.
Drawing read(const std::filesystem::path& path);
Drawing read(std::span<const std::uint8_t> bytes);

}  // namespace dwg
