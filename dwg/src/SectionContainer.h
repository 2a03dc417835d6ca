// The paged container of R2004 and later files: a directory of named sections
// ("AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects", ...)
// whose pages are decoded when a section is read.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "MemoryBudget.h"

namespace dwg::container {

// Sections larger than this are taken as damage rather than allocated.
inline constexpr std::uint64_t kMaxSectionSize = std::uint64_t{256} << 20;
// Real files list a dozen or two; a map listing more is damaged.
inline constexpr std::size_t kMaxSections = 256;

struct SectionEntry {
    std::string name;
    std::uint64_t size = 0;      // decoded size in bytes, as the file states it
    std::size_t pageCount = 0;   // pages stored in the file
    std::uint64_t capacity = 0;  // how far into the section those pages reach once decoded
};

// What read() does with a page that fails its checks.
enum class DamagedPages {
    Fail,  // the section cannot be read
    // The page is decoded as far as it goes, checksums aside, and left zero
    // where it cannot be: for sections whose records carry their own checks.
    BestEffort,
};

class SectionContainer {
  public:
    virtual ~SectionContainer() = default;

    const std::vector<SectionEntry>& sections() const { return entries_; }
    const SectionEntry* find(std::string_view name) const;

    // The decoded bytes of the named section: its stated size, or less when
    // its pages cannot hold that much. Throws when the section is missing or,
    // unless told otherwise, one of its pages is damaged.
    std::vector<std::uint8_t> read(std::string_view name,
                                   DamagedPages damaged = DamagedPages::Fail) const;

    // Charged for the decoded sections and the container's own tables; the
    // parsers of the sections go on charging the same budget.
    detail::MemoryBudget& budget() const { return budget_; }

  protected:
    explicit SectionContainer(std::size_t fileSize) : budget_(fileSize) {}

    // Decodes page `page` of entry `index` of sections() into `data`, the
    // section's bytes; throws when the page is damaged, a wrong checksum
    // only when `checked`.
    virtual void decodePage(std::size_t index, std::size_t page, std::span<std::uint8_t> data,
                            bool checked) const = 0;

    std::vector<SectionEntry> entries_;
    mutable detail::MemoryBudget budget_;
};

// Opens the container of an AC1018, AC1021, AC1024, AC1027 or AC1032 file.
// The container refers to `file`, which must outlive it. Throws when the
// file's header, page map or section map is damaged.
std::unique_ptr<SectionContainer> openSectionContainer(std::span<const std::uint8_t> file);

std::unique_ptr<SectionContainer> openR2004Container(std::span<const std::uint8_t> file);
std::unique_ptr<SectionContainer> openR2007Container(std::span<const std::uint8_t> file);

}  // namespace dwg::container
