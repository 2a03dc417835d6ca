// The container of AC1021 files: a Reed-Solomon protected file header, system
// pages (page map, section map) and data pages, all Reed-Solomon coded and
// compressed with the R2007 compression.
#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "ContainerBytes.h"
#include "ContainerError.h"
#include "PageChecksum.h"
#include "R2007Compression.h"
#include "ReedSolomon.h"
#include "SectionContainer.h"

namespace dwg::container {

namespace {

constexpr std::uint64_t kFileHeaderOffset = 0x80;
constexpr std::size_t kFileHeaderBlocks = 3;
constexpr std::size_t kFileHeaderFieldsSize = 0x110;
constexpr std::uint64_t kPagesBase = 0x480;
constexpr std::uint64_t kMaxSystemPageSize = 16u << 20;
constexpr std::uint64_t kMaxCorrectionFactor = 64;
constexpr std::uint64_t kMaxDataPageSize = 16u << 20;
constexpr std::uint64_t kEncodingInterleaved = 4;
constexpr std::uint64_t kEncodingPlain = 1;

std::uint64_t alignTo8(std::uint64_t size) {
    return (size + 7) & ~std::uint64_t{7};
}

std::uint64_t ceilDivide(std::uint64_t a, std::uint64_t b) {
    return (a + b - 1) / b;
}

// The data of a page into `expanded`: the first `storedSize` bytes, expanded
// when the page is compressed (stored size below the expanded size).
void expandPage(std::span<const std::uint8_t> decoded, std::uint64_t storedSize,
                std::span<std::uint8_t> expanded) {
    const auto stored = slice(decoded, 0, storedSize);
    if (storedSize < expanded.size())
        decompressR2007(stored, expanded);
    else
        std::copy_n(stored.begin(), expanded.size(), expanded.begin());
}

std::string asciiName(std::span<const std::uint8_t> utf16) {
    std::string name;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const unsigned unit = utf16[i] | unsigned{utf16[i + 1]} << 8;
        if (unit == 0) break;
        name.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return name;
}

struct DataPage {
    std::uint64_t startOffset = 0;
    std::uint64_t id = 0;
    std::uint64_t expandedSize = 0;
    std::uint64_t storedSize = 0;
    std::uint64_t checksum = 0;
};

struct Section {
    std::uint64_t encoding = 0;
    std::vector<DataPage> pages;
};

class R2007Container final : public SectionContainer {
  public:
    explicit R2007Container(std::span<const std::uint8_t> file)
        : SectionContainer(file.size()), file_(file) {
        const auto fields = readFileHeader();
        const std::uint64_t pageMapSizeStored = readU64(fields, 0x50);
        const std::uint64_t pageMapSizeExpanded = readU64(fields, 0x58);
        const std::uint64_t pageMapFactor = readU64(fields, 0x18);
        const std::uint64_t pageMapOffset = readU64(fields, 0x38);
        readPageMap(
            readSystemPage(pageMapOffset, pageMapSizeStored, pageMapSizeExpanded, pageMapFactor));

        const std::uint64_t sectionMapId = readU64(fields, 0xC0);
        const auto sectionMapPage = pageOffsets_.find(sectionMapId);
        if (sectionMapPage == pageOffsets_.end())
            throwDamaged("mapa de seções ausente do mapa de páginas");
        readSectionMap(readSystemPage(sectionMapPage->second, readU64(fields, 0xB0),
                                      readU64(fields, 0xC8), readU64(fields, 0xD8)));
    }

  private:
    void decodePage(std::size_t index, std::size_t page, std::span<std::uint8_t> data,
                    bool checked) const override {
        placePage(sections_[index], sections_[index].pages[page], data, checked);
    }

    std::vector<std::uint8_t> readFileHeader() const {
        constexpr std::size_t n = ReedSolomonCode::kCodewordSize;
        const auto decoded =
            decodeInterleaved(slice(file_, kFileHeaderOffset, kFileHeaderBlocks * n),
                              kFileHeaderBlocks, ReedSolomonCode::systemPages());
        const auto storedLength = static_cast<std::int32_t>(readU32(decoded, 0x18));
        const std::span<const std::uint8_t> body = std::span(decoded).subspan(0x20);
        if (storedLength > 0) {
            if (static_cast<std::size_t>(storedLength) > body.size())
                throwDamaged("cabeçalho do arquivo truncado");
            return decompressR2007(body.first(static_cast<std::size_t>(storedLength)),
                                   kFileHeaderFieldsSize);
        }
        // A negative length marks the fields as stored without compression.
        if (body.size() < kFileHeaderFieldsSize) throwDamaged("cabeçalho do arquivo truncado");
        return {body.begin(), body.begin() + kFileHeaderFieldsSize};
    }

    std::vector<std::uint8_t> readSystemPage(std::uint64_t offset, std::uint64_t storedSize,
                                             std::uint64_t expandedSize,
                                             std::uint64_t factor) const {
        if (storedSize > kMaxSystemPageSize || expandedSize > kMaxSystemPageSize || factor == 0 ||
            factor > kMaxCorrectionFactor)
            throwDamaged("página de sistema inválida");
        if (offset > file_.size()) throwDamaged("página de sistema fora do arquivo");
        // The data is repeated `factor` times before coding; the first copy is enough.
        const std::uint64_t blocks = ceilDivide(alignTo8(storedSize) * factor, 239);
        const auto stored =
            slice(file_, kPagesBase + offset, blocks * ReedSolomonCode::kCodewordSize);
        const auto decoded = decodeInterleaved(stored, static_cast<std::size_t>(blocks),
                                               ReedSolomonCode::systemPages());
        budget_.charge(expandedSize);
        std::vector<std::uint8_t> expanded(static_cast<std::size_t>(expandedSize), 0);
        expandPage(decoded, storedSize, expanded);
        return expanded;
    }

    void readPageMap(const std::vector<std::uint8_t>& map) {
        std::uint64_t offset = 0;
        for (std::size_t pos = 0; pos + 16 <= map.size(); pos += 16) {
            const std::uint64_t size = readU64(map, pos);
            const auto id = static_cast<std::int64_t>(readU64(map, pos + 8));
            const std::uint64_t key =
                id < 0 ? 0 - static_cast<std::uint64_t>(id) : static_cast<std::uint64_t>(id);
            // Pages lie one after the other in the file (the last one's size may
            // reach past its end): a map listing more pages than the file holds
            // is damaged, however small it decompresses from.
            if (size == 0 || size > file_.size() || kPagesBase + offset >= file_.size())
                throwDamaged("página fora do arquivo no mapa de páginas");
            if (!pageOffsets_.emplace(key, offset).second)
                throwDamaged("página repetida no mapa de páginas");
            offset += size;
        }
    }

    void readSectionMap(const std::vector<std::uint8_t>& map) {
        std::set<std::uint64_t> usedPages;
        std::size_t pos = 0;
        while (pos + 64 <= map.size()) {
            if (entries_.size() >= kMaxSections) throwDamaged("seções demais no mapa de seções");
            SectionEntry entry;
            Section section;
            entry.size = readU64(map, pos);
            const std::uint64_t encryption = readU64(map, pos + 0x10);
            const std::uint64_t nameLength = readU64(map, pos + 0x20);
            section.encoding = readU64(map, pos + 0x30);
            const std::uint64_t pageCount = readU64(map, pos + 0x38);
            pos += 64;
            entry.name = asciiName(slice(map, pos, nameLength));
            pos += static_cast<std::size_t>(nameLength);
            if (pageCount > (map.size() - pos) / 56) throwDamaged("mapa de seções truncado");
            if (entry.size > kMaxSectionSize) throwDamaged("seção grande demais");
            if (encryption == 1 && pageCount > 0)
                throwUnsupported("seção cifrada (desenho protegido por senha)");
            if (pageCount > 0 && section.encoding != kEncodingInterleaved &&
                section.encoding != kEncodingPlain)
                throwDamaged("codificação de seção desconhecida");
            for (std::uint64_t p = 0; p < pageCount; ++p, pos += 56) {
                DataPage page;
                page.startOffset = readU64(map, pos);
                page.id = readU64(map, pos + 16);
                page.expandedSize = readU64(map, pos + 24);
                page.storedSize = readU64(map, pos + 32);
                page.checksum = readU64(map, pos + 40);
                if (page.expandedSize > kMaxDataPageSize || page.storedSize > kMaxDataPageSize)
                    throwDamaged("página de seção grande demais");
                if (!pageOffsets_.contains(page.id))
                    throwDamaged("página de seção ausente do mapa de páginas");
                if (!usedPages.insert(page.id).second) throwDamaged("página usada por duas seções");
                section.pages.push_back(page);
                entry.capacity += page.expandedSize;
            }
            entry.pageCount = static_cast<std::size_t>(pageCount);
            if (entry.name.empty()) continue;
            if (find(entry.name) != nullptr) throwDamaged("seção " + entry.name + " repetida");
            entries_.push_back(std::move(entry));
            sections_.push_back(std::move(section));
        }
    }

    void placePage(const Section& section, const DataPage& page, std::span<std::uint8_t> data,
                   bool checked) const {
        if (page.startOffset >= data.size()) return;  // only padding beyond the section's end
        const std::uint64_t position = kPagesBase + pageOffsets_.at(page.id);
        std::vector<std::uint8_t> decoded;
        std::span<const std::uint8_t> stored;
        if (section.encoding == kEncodingInterleaved) {
            const std::uint64_t blocks = ceilDivide(alignTo8(page.storedSize), 251);
            decoded =
                decodeInterleaved(slice(file_, position, blocks * ReedSolomonCode::kCodewordSize),
                                  static_cast<std::size_t>(blocks), ReedSolomonCode::dataPages());
            stored = decoded;
        } else {
            stored = slice(file_, position, page.storedSize);
        }
        const auto target = data.subspan(static_cast<std::size_t>(page.startOffset));
        const auto expandedSize = static_cast<std::size_t>(page.expandedSize);
        std::span<std::uint8_t> expanded = target.first(std::min(target.size(), expandedSize));
        std::vector<std::uint8_t> aside;
        std::optional<detail::ScopedCharge> asideCharge;
        if (expanded.size() < expandedSize) {
            // The last page runs past the section's end with padding: decode it aside.
            asideCharge.emplace(budget_, expandedSize);
            aside.resize(expandedSize);
            expanded = aside;
        }
        expandPage(stored, page.storedSize, expanded);
        if (checked && kEnforceChecks && r2007PageChecksum(0, expanded) != page.checksum)
            throwDamaged("soma de verificação de página não confere");
        if (!aside.empty()) std::copy_n(aside.begin(), target.size(), target.begin());
    }

    std::span<const std::uint8_t> file_;
    std::map<std::uint64_t, std::uint64_t> pageOffsets_;
    std::vector<Section> sections_;
};

}  // namespace

std::unique_ptr<SectionContainer> openR2007Container(std::span<const std::uint8_t> file) {
    return std::make_unique<R2007Container>(file);
}

}  // namespace dwg::container
