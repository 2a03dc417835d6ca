// Building a category's package from a folder of drawings: every drawing
// becomes a thumbnail IMG/<name>.PNG and a block archive DWG/<name>.DWG.zip
// holding <name>.DWG, both encrypted with the library password; the package
// <n>.zip carries them under <n>/. The same drawings give the same bytes.
#pragma once

#include <dwg/Convert.h>
#include <dwg/Drawing.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pack {

// Entry times when SOURCE_DATE_EPOCH does not give one: 1 January 2024, UTC.
inline constexpr std::time_t kDefaultEntryTime = 1704067200;

// PNG bytes of a drawing's thumbnail.
using Thumbnailer = std::function<std::vector<std::uint8_t>(const dwg::Drawing&)>;
// Called before each drawing is read: index from 0, count, file name.
using Progress = std::function<void(std::size_t index, std::size_t count, const std::string& name)>;

struct PackedBlock {
    std::string name;  // file name without the extension, UTF-8
    std::vector<std::uint8_t> thumbnail;
    std::vector<std::uint8_t> archive;  // <name>.DWG.zip
    // What the drawing's conversion for the release asked changed, in Portuguese.
    std::vector<std::string> converted;
};

struct SkippedDrawing {
    std::filesystem::path file;
    std::string reason;  // Portuguese
};

struct PackedCategory {
    std::vector<PackedBlock> blocks;  // in name order
    std::vector<SkippedDrawing> skipped;
};

// Every file of `folder` ending in .dwg (any letter case), in name order,
// converted for `release` when one is given (a DWG format). A drawing that
// cannot be read or converted, or whose name a Windows folder cannot hold, is
// skipped and reported, never fatal.
PackedCategory packDrawings(const std::filesystem::path& folder, std::time_t entryTime,
                            const Thumbnailer& thumbnail, const Progress& progress = {},
                            std::optional<dwg::SaveFormat> release = std::nullopt);

// The package <n>.zip: folder entries <n>/, <n>/IMG/, <n>/DWG/ and the files
// under them, in that order, names sorted.
std::vector<std::uint8_t> packageArchive(int category, const std::vector<PackedBlock>& blocks,
                                         std::time_t entryTime);

// Writes the blocks into <program folder>/Blocos/<n>/IMG and DWG, each file
// under a temporary name first, then renamed over any file of its name.
void installBlocks(const std::filesystem::path& programFolder, int category,
                   const std::vector<PackedBlock>& blocks);

// Writes `bytes` to `file` through a temporary file in the same folder.
void writeFileAtomically(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

}  // namespace pack
