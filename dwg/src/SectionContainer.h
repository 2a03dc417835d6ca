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

namespace dwg::container {

// Sections larger than this are taken as damage rather than allocated.
inline constexpr std::uint64_t kMaxSectionSize = std::uint64_t{256} << 20;

struct SectionEntry {
    std::string name;
    std::uint64_t size = 0;     // decoded size in bytes
    std::size_t pageCount = 0;  // pages stored in the file
};

class SectionContainer {
  public:
    virtual ~SectionContainer() = default;

    const std::vector<SectionEntry>& sections() const { return entries_; }
    const SectionEntry* find(std::string_view name) const;

    // The decoded bytes of the named section; throws when the section is
    // missing or one of its pages is damaged.
    std::vector<std::uint8_t> read(std::string_view name) const;

  protected:
    // Decodes the pages of entry `index` of sections() into data, which has
    // the section's size.
    virtual void decodeSection(std::size_t index, std::vector<std::uint8_t>& data) const = 0;

    std::vector<SectionEntry> entries_;
};

// Opens the container of an AC1018, AC1021, AC1024, AC1027 or AC1032 file.
// The container refers to `file`, which must outlive it. Throws when the
// file's header, page map or section map is damaged.
std::unique_ptr<SectionContainer> openSectionContainer(std::span<const std::uint8_t> file);

std::unique_ptr<SectionContainer> openR2004Container(std::span<const std::uint8_t> file);
std::unique_ptr<SectionContainer> openR2007Container(std::span<const std::uint8_t> file);

}  // namespace dwg::container
