// The container of AC1018 files, kept by AC1024, AC1027 and AC1032: an
// encrypted file header, two system pages (the page map and the section map)
// and data pages with encrypted headers, each checked by a checksum.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "ContainerBytes.h"
#include "ContainerError.h"
#include "Lz77R2004.h"
#include "PageChecksum.h"
#include "SectionContainer.h"

namespace dwg::container {

namespace {

constexpr std::uint64_t kEncryptedHeaderOffset = 0x80;
constexpr std::size_t kEncryptedHeaderSize = 0x6C;
constexpr std::uint64_t kFirstPageAddress = 0x100;
constexpr std::uint32_t kPageMapType = 0x41630E3B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kDataPageType = 0x4163043B;
constexpr std::uint32_t kDataPageMask = 0x4164536B;
constexpr std::size_t kSystemPageHeaderSize = 20;
constexpr std::size_t kDataPageHeaderSize = 32;
constexpr std::size_t kSectionDescriptionSize = 0x60;
constexpr std::size_t kSectionPageEntrySize = 16;
// Page maps list a few thousand pages at most; anything far beyond is damage.
constexpr std::uint32_t kMaxSystemPageSize = 16u << 20;
constexpr std::uint32_t kMaxDataPageSize = 16u << 20;

std::array<std::uint8_t, kEncryptedHeaderSize> decryptFileHeader(
    std::span<const std::uint8_t> file) {
    const auto stored = slice(file, kEncryptedHeaderOffset, kEncryptedHeaderSize);
    std::array<std::uint8_t, kEncryptedHeaderSize> header{};
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i < header.size(); ++i) {
        seed = seed * 0x343FD + 0x269EC3;
        header[i] = static_cast<std::uint8_t>(stored[i] ^ (seed >> 16));
    }
    return header;
}

struct PageLocation {
    std::uint64_t address = 0;
    std::uint64_t size = 0;
};

struct DataPage {
    std::uint32_t id = 0;
    std::uint32_t storedSize = 0;
    std::uint64_t startOffset = 0;
};

struct Section {
    std::uint32_t id = 0;
    std::uint32_t maxPageSize = 0;
    bool compressed = true;
    std::vector<DataPage> pages;
};

class R2004Container final : public SectionContainer {
  public:
    explicit R2004Container(std::span<const std::uint8_t> file)
        : SectionContainer(file.size()), file_(file) {
        const auto header = decryptFileHeader(file_);
        if (std::memcmp(header.data(), "AcFssFcAJMB", 12) != 0)
            throwDamaged("cabeçalho cifrado inválido");
        auto zeroedCrc = header;
        writeU32(zeroedCrc, 0x68, 0);
        if (kEnforceChecks && crc32(0, zeroedCrc) != readU32(header, 0x68))
            throwDamaged("CRC do cabeçalho cifrado não confere");

        const std::uint64_t pageMapAddress = readU64(header, 0x54) + kFirstPageAddress;
        const std::uint32_t sectionMapId = readU32(header, 0x5C);
        readPageMap(readSystemPage(pageMapAddress, kPageMapType));
        const auto sectionMapPage = pages_.find(static_cast<std::int32_t>(sectionMapId));
        if (sectionMapPage == pages_.end())
            throwDamaged("mapa de seções ausente do mapa de páginas");
        readSectionMap(readSystemPage(sectionMapPage->second.address, kSectionMapType));
    }

  private:
    void decodePage(std::size_t index, std::size_t page, std::span<std::uint8_t> data,
                    bool checked) const override {
        placePage(sections_[index], sections_[index].pages[page], data, checked);
    }

    std::vector<std::uint8_t> readSystemPage(std::uint64_t address,
                                             std::uint32_t expectedType) const {
        auto header = slice(file_, address, kSystemPageHeaderSize);
        if (readU32(header, 0) != expectedType)
            throwDamaged("página de sistema de tipo inesperado");
        const std::uint32_t expandedSize = readU32(header, 4);
        const std::uint32_t storedSize = readU32(header, 8);
        const std::uint32_t compression = readU32(header, 12);
        if (expandedSize > kMaxSystemPageSize) throwDamaged("página de sistema grande demais");
        const auto stored = slice(file_, address + kSystemPageHeaderSize, storedSize);
        budget_.charge(expandedSize);

        std::array<std::uint8_t, kSystemPageHeaderSize> zeroed{};
        std::copy(header.begin(), header.end(), zeroed.begin());
        writeU32(zeroed, 16, 0);
        if (kEnforceChecks && pageChecksum(pageChecksum(0, zeroed), stored) != readU32(header, 16))
            throwDamaged("soma de verificação de página de sistema não confere");

        if (compression == 2) return decompressLz77R2004(stored, expandedSize);
        if (compression == 1 && storedSize == expandedSize) return {stored.begin(), stored.end()};
        throwDamaged("compressão de página de sistema desconhecida");
    }

    void readPageMap(const std::vector<std::uint8_t>& map) {
        std::uint64_t address = kFirstPageAddress;
        for (std::size_t pos = 0; pos + 8 <= map.size();) {
            const auto id = static_cast<std::int32_t>(readU32(map, pos));
            const std::uint32_t size = readU32(map, pos + 4);
            pos += 8;
            // Pages lie one after the other in the file (the last one's size may
            // reach past its end): a map listing more pages than the file holds
            // is damaged, however small it decompresses from.
            if (size < kSystemPageHeaderSize || address >= file_.size())
                throwDamaged("página fora do arquivo no mapa de páginas");
            if (id < 0) {
                pos += 16;  // a gap: parent, left, right, zero
            } else if (!pages_.emplace(id, PageLocation{address, size}).second) {
                throwDamaged("página repetida no mapa de páginas");
            }
            address += size;
        }
    }

    void readSectionMap(const std::vector<std::uint8_t>& map) {
        const std::uint32_t descriptionCount = readU32(map, 0);
        if (descriptionCount > kMaxSections) throwDamaged("seções demais no mapa de seções");
        std::size_t pos = kSystemPageHeaderSize;
        std::set<std::uint32_t> usedPages;
        for (std::uint32_t d = 0; d < descriptionCount; ++d) {
            auto description = slice(map, pos, kSectionDescriptionSize);
            SectionEntry entry;
            Section section;
            entry.size = readU64(description, 0);
            const std::uint32_t pageCount = readU32(description, 8);
            section.maxPageSize = readU32(description, 12);
            const std::uint32_t compressed = readU32(description, 20);
            section.id = readU32(description, 24);
            const std::uint32_t encrypted = readU32(description, 28);
            const auto nameBytes = description.subspan(32, 64);
            entry.name.assign(nameBytes.begin(), std::find(nameBytes.begin(), nameBytes.end(), 0));
            pos += kSectionDescriptionSize;

            if (entry.size > kMaxSectionSize) throwDamaged("seção grande demais");
            if (section.maxPageSize == 0 || section.maxPageSize > kMaxDataPageSize)
                throwDamaged("tamanho de página de seção inválido");
            if (compressed != 1 && compressed != 2)
                throwDamaged("compressão de seção desconhecida");
            section.compressed = compressed == 2;
            if (pageCount > (map.size() - pos) / kSectionPageEntrySize)
                throwDamaged("mapa de seções truncado");
            if (encrypted == 1 && pageCount > 0)
                throwUnsupported("seção cifrada (desenho protegido por senha)");

            for (std::uint32_t p = 0; p < pageCount; ++p) {
                DataPage page;
                page.id = readU32(map, pos);
                page.storedSize = readU32(map, pos + 4);
                page.startOffset = readU64(map, pos + 8);
                pos += kSectionPageEntrySize;
                if (!pages_.contains(static_cast<std::int32_t>(page.id)))
                    throwDamaged("página de seção ausente do mapa de páginas");
                if (!usedPages.insert(page.id).second) throwDamaged("página usada por duas seções");
                section.pages.push_back(page);
                // Pages of zeros are not stored: the pages there are placed by their offsets.
                if (page.startOffset <= kMaxSectionSize)
                    entry.capacity =
                        std::max(entry.capacity, page.startOffset + section.maxPageSize);
            }
            entry.pageCount = pageCount;
            if (entry.name.empty()) continue;  // the map opens with an unnamed, empty section
            if (find(entry.name) != nullptr) throwDamaged("seção " + entry.name + " repetida");
            entries_.push_back(std::move(entry));
            sections_.push_back(std::move(section));
        }
    }

    void placePage(const Section& section, const DataPage& page, std::span<std::uint8_t> data,
                   bool checked) const {
        const PageLocation& location = pages_.at(static_cast<std::int32_t>(page.id));
        std::array<std::uint8_t, kDataPageHeaderSize> header{};
        const auto stored = slice(file_, location.address, kDataPageHeaderSize);
        std::copy(stored.begin(), stored.end(), header.begin());
        const std::uint32_t mask = kDataPageMask ^ static_cast<std::uint32_t>(location.address);
        for (std::size_t i = 0; i < header.size(); i += 4)
            writeU32(header, i, readU32(header, i) ^ mask);

        if (readU32(header, 0) != kDataPageType)
            throwDamaged("cabeçalho de página de dados inválido");
        if (readU32(header, 4) != section.id) throwDamaged("página de dados de outra seção");
        const std::uint32_t storedSize = readU32(header, 8);
        const auto body = slice(file_, location.address + kDataPageHeaderSize, storedSize);
        const std::uint32_t dataChecksum = pageChecksum(0, body);
        if (checked && kEnforceChecks && dataChecksum != readU32(header, 0x1C))
            throwDamaged("soma de verificação de página não confere");
        auto zeroed = header;
        writeU32(zeroed, 0x18, 0);
        if (checked && kEnforceChecks &&
            pageChecksum(dataChecksum, zeroed) != readU32(header, 0x18))
            throwDamaged("soma de verificação de cabeçalho de página não confere");

        if (page.startOffset >= data.size()) return;  // only padding beyond the section's end
        const auto target = data.subspan(static_cast<std::size_t>(page.startOffset));
        if (!section.compressed) {
            std::copy_n(body.begin(), std::min(target.size(), body.size()), target.begin());
        } else if (target.size() >= section.maxPageSize) {
            decompressLz77R2004(body, target.first(section.maxPageSize));
        } else {
            // The last page runs past the section's end with padding: decode it aside.
            const detail::ScopedCharge aside(budget_, section.maxPageSize);
            const auto expanded =
                std::make_unique_for_overwrite<std::uint8_t[]>(section.maxPageSize);
            const std::size_t produced =
                decompressLz77R2004(body, {expanded.get(), section.maxPageSize});
            std::copy_n(expanded.get(), std::min(produced, target.size()), target.begin());
        }
    }

    std::span<const std::uint8_t> file_;
    std::map<std::int32_t, PageLocation> pages_;
    std::vector<Section> sections_;
};

}  // namespace

std::unique_ptr<SectionContainer> openR2004Container(std::span<const std::uint8_t> file) {
    return std::make_unique<R2004Container>(file);
}

}  // namespace dwg::container
