// A block's drawing as the user saves it: read, converted for the release
// chosen, scaled into the units chosen, given a preview image drawn by our
// renderer, and written whole. Nothing here writes a file that is not
// complete: the bytes are made first, then written through a temporary file.
#pragma once

#include <dwg/Convert.h>
#include <dwg/Scale.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace convert {

// The drawing cannot be saved as asked; the message says why, in Portuguese.
class ExportError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ExportChoice {
    dwg::SaveFormat format = dwg::SaveFormat::Dwg2018;
    // None: the units the drawing was saved in.
    std::optional<dwg::LengthUnit> units;

    bool operator==(const ExportChoice&) const = default;
};

struct ExportResult {
    std::vector<std::uint8_t> bytes;
    dwg::ConversionReport report;
    dwg::UnitsChange units;
    bool unitsAsked = false;
};

// What the user is told of a save, in Portuguese, one line each: the kinds
// converted or left out, and what became of the units.
std::vector<std::string> exportMessages(const ExportResult& result, const ExportChoice& choice);

// The drawing in `original` (a DWG file's bytes) as `choice` asks. Throws
// ExportError when it cannot be read, converted or written; stops with an
// ExportError when `cancel` becomes true.
ExportResult exportDrawing(std::span<const std::uint8_t> original, const ExportChoice& choice,
                           const std::atomic<bool>* cancel = nullptr);

// Writes `bytes` as `target` through a temporary file beside it: the target
// is the complete new file or stays as it was. Throws ExportError.
void writeWhole(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

}  // namespace convert
