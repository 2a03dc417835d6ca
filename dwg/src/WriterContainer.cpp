// The R2004 container that AutoCAD 2004, 2010, 2013 and 2018 files share: a
// file header whose locators are encrypted, then pages of at most 0x7400
// bytes, each section cut into pages compressed with LZ77, and last the two
// system pages that map sections and pages, and a copy of the header.
#include <algorithm>
#include <string_view>

#include "PageChecksum.h"
#include "WriterFile.h"
#include "WriterLz77.h"

namespace dwg::detail {
namespace {

constexpr std::size_t kFileHeaderSize = 0x100;
constexpr std::size_t kPageAlignment = 0x20;
constexpr std::size_t kMaxPageSize = 0x7400;
constexpr std::uint32_t kDataPage = 0x4163043B;
constexpr std::uint32_t kPageMapPage = 0x41630E3B;
constexpr std::uint32_t kSectionMapPage = 0x4163003B;
constexpr std::uint32_t kObjectsMarker = 0x0DCA;

struct SectionData {
    std::string_view name;
    Bytes data;
    std::size_t pageSize = kMaxPageSize;
    bool compressed = true;
};

struct StoredPage {
    std::uint32_t id = 0;
    std::uint32_t storedSize = 0;  // compressed size of the data
    std::uint64_t start = 0;       // within the section
};

// The pseudo-random bytes that the format uses to encrypt and to pad.
Bytes magicSequence(std::size_t size) {
    Bytes out(size);
    std::uint32_t seed = 1;
    for (std::uint8_t& byte : out) {
        seed = seed * 0x343FD + 0x269EC3;
        byte = static_cast<std::uint8_t>(seed >> 16);
    }
    return out;
}

std::uint32_t readLong(const Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
           std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

void appendLongLong(Bytes& out, std::uint64_t value) {
    appendRawLong(out, static_cast<std::uint32_t>(value));
    appendRawLong(out, static_cast<std::uint32_t>(value >> 32));
}

class ContainerWriter {
  public:
    explicit ContainerWriter(const WritePlan& plan) : plan_(plan), file_(kFileHeaderSize, 0) {}
    Bytes run(EncodedObjects&& objects, const Raster* preview);

  private:
    void padPage() {
        static const Bytes padding = magicSequence(kPageAlignment);
        const std::size_t rest = file_.size() % kPageAlignment;
        if (rest) file_.insert(file_.end(), padding.begin(), padding.begin() + (kPageAlignment - rest));
    }
    // The pages of one section, numbered on from the pages before.
    void writeSection(const SectionData& section, std::uint32_t sectionId);
    Bytes systemPage(std::uint32_t type, const Bytes& content);
    Bytes sectionMap() const;
    Bytes pageMap(std::uint32_t ownId, std::uint32_t ownSize) const;
    void fileHeader(const Bytes& encrypted);
    Bytes headerData(std::uint32_t pageMapId, std::uint64_t pageMapAddress,
                     std::uint32_t sectionMapId, std::uint64_t secondHeaderAddress) const;

    const WritePlan& plan_;
    Bytes file_;
    struct PageEntry {
        std::uint32_t id;
        std::uint32_t size;  // in the file, with header and padding
    };
    std::vector<PageEntry> pages_;
    struct Described {
        const SectionData* section;
        std::uint32_t id;
        std::vector<StoredPage> pages;
    };
    std::vector<Described> described_;
    std::uint32_t nextPageId_ = 1;
    std::uint64_t previewAddress_ = 0;
};

void ContainerWriter::writeSection(const SectionData& section, std::uint32_t sectionId) {
    Described described{&section, sectionId, {}};
    const std::size_t size = section.data.size();
    // Pages of the full size; a last piece of fewer than four bytes joins the
    // one before, since a compressed stream holds at least four.
    std::vector<std::size_t> starts;
    for (std::size_t start = 0; start < size; start += section.pageSize) starts.push_back(start);
    if (starts.size() > 1 && size - starts.back() < 4) starts.back() -= 4;
    for (std::size_t p = 0; p < starts.size(); ++p) {
        const std::size_t start = starts[p];
        const std::size_t end = p + 1 < starts.size() ? starts[p + 1] : size;
        Bytes chunk(section.data.begin() + static_cast<std::ptrdiff_t>(start),
                    section.data.begin() + static_cast<std::ptrdiff_t>(end));
        // Uncompressed pages are stored at their full size.
        if (!section.compressed) chunk.resize(section.pageSize, 0);
        if (chunk.size() < 4) chunk.resize(4, 0);
        const Bytes stored = section.compressed ? compressLz77R2004(chunk) : chunk;
        const std::uint64_t address = file_.size();
        if (section.name == "AcDb:Preview") previewAddress_ = address + 0x20;

        Bytes header;
        appendRawLong(header, kDataPage);
        appendRawLong(header, sectionId);
        appendRawLong(header, static_cast<std::uint32_t>(stored.size()));
        appendRawLong(header, static_cast<std::uint32_t>(section.pageSize));
        appendRawLong(header, static_cast<std::uint32_t>(start));
        appendRawLong(header, 0);
        appendRawLong(header, 0);
        const std::uint32_t dataSum = container::pageChecksum(0, stored);
        appendRawLong(header, dataSum);
        putRawLong(header, 0x18, container::pageChecksum(dataSum, header));
        const std::uint32_t mask = 0x4164536B ^ static_cast<std::uint32_t>(address);
        for (std::size_t i = 0; i < header.size(); i += 4)
            putRawLong(header, i, readLong(header, i) ^ mask);
        file_.insert(file_.end(), header.begin(), header.end());
        file_.insert(file_.end(), stored.begin(), stored.end());
        padPage();
        const std::uint32_t id = nextPageId_++;
        pages_.push_back({id, static_cast<std::uint32_t>(file_.size() - address)});
        described.pages.push_back({id, static_cast<std::uint32_t>(stored.size()), start});
    }
    described_.push_back(std::move(described));
}

Bytes ContainerWriter::systemPage(std::uint32_t type, const Bytes& content) {
    const Bytes stored = compressLz77R2004(content);
    Bytes page;
    appendRawLong(page, type);
    appendRawLong(page, static_cast<std::uint32_t>(content.size()));
    appendRawLong(page, static_cast<std::uint32_t>(stored.size()));
    appendRawLong(page, 2);  // compressed
    appendRawLong(page, 0);
    const std::uint32_t headerSum = container::pageChecksum(0, page);
    putRawLong(page, 16, container::pageChecksum(headerSum, stored));
    page.insert(page.end(), stored.begin(), stored.end());
    return page;
}

Bytes ContainerWriter::sectionMap() const {
    Bytes map;
    const auto count = static_cast<std::uint32_t>(described_.size());
    appendRawLong(map, count);
    appendRawLong(map, 2);
    appendRawLong(map, static_cast<std::uint32_t>(kMaxPageSize));
    appendRawLong(map, 0);
    appendRawLong(map, count);
    for (const Described& d : described_) {
        appendLongLong(map, d.section->data.size());
        appendRawLong(map, static_cast<std::uint32_t>(d.pages.size()));
        appendRawLong(map, static_cast<std::uint32_t>(d.section->pageSize));
        appendRawLong(map, 1);
        appendRawLong(map, d.section->compressed ? 2 : 1);
        appendRawLong(map, d.id);
        appendRawLong(map, 0);  // not encrypted
        constexpr std::size_t kNameField = 64;
        const std::string_view name = d.section->name;
        map.insert(map.end(), name.begin(), name.end());
        map.insert(map.end(), kNameField - name.size(), 0);
        for (const StoredPage& page : d.pages) {
            appendRawLong(map, page.id);
            appendRawLong(map, page.storedSize);
            appendLongLong(map, page.start);
        }
    }
    return map;
}

Bytes ContainerWriter::pageMap(std::uint32_t ownId, std::uint32_t ownSize) const {
    Bytes map;
    for (const PageEntry& entry : pages_) {
        appendRawLong(map, entry.id);
        appendRawLong(map, entry.size);
    }
    appendRawLong(map, ownId);
    appendRawLong(map, ownSize);
    return map;
}

Bytes ContainerWriter::headerData(std::uint32_t pageMapId, std::uint64_t pageMapAddress,
                                  std::uint32_t sectionMapId,
                                  std::uint64_t secondHeaderAddress) const {
    // "AcFssFcAJMB" and its terminating zero.
    Bytes fields = {'A', 'c', 'F', 's', 's', 'F', 'c', 'A', 'J', 'M', 'B', 0};
    fields.reserve(0x6C);
    appendRawLong(fields, 0);
    appendRawLong(fields, 0x6C);
    appendRawLong(fields, 0x04);
    appendRawLong(fields, 0);  // gaps of the page tree: none
    appendRawLong(fields, 0);
    appendRawLong(fields, 0);
    appendRawLong(fields, 1);
    appendRawLong(fields, pageMapId);  // the last page
    appendLongLong(fields, secondHeaderAddress - 0x100);
    appendLongLong(fields, secondHeaderAddress);
    appendRawLong(fields, 0);  // gap amount
    appendRawLong(fields, pageMapId);  // pages
    appendRawLong(fields, 0x20);
    appendRawLong(fields, 0x80);
    appendRawLong(fields, 0x40);
    appendRawLong(fields, pageMapId);
    appendLongLong(fields, pageMapAddress - 0x100);
    appendRawLong(fields, sectionMapId);
    appendRawLong(fields, pageMapId);  // size of the page array
    appendRawLong(fields, 0);          // size of the gap array
    appendRawLong(fields, 0);          // CRC, over the fields with itself zero
    putRawLong(fields, 0x68, container::crc32(0, fields));
    return fields;
}

void ContainerWriter::fileHeader(const Bytes& encrypted) {
    const Version v = plan_.version;
    Bytes& f = file_;
    const std::string_view code = versionCode(v);
    std::copy(code.begin(), code.end(), f.begin());
    f[0x0B] = maintenanceRelease(v);
    f[0x0C] = 3;
    putRawLong(f, 0x0D, static_cast<std::uint32_t>(previewAddress_));
    f[0x11] = static_cast<std::uint8_t>(formatNumber(v));
    f[0x12] = maintenanceRelease(v);
    f[0x13] = static_cast<std::uint8_t>(kWriterCodePage);
    f[0x14] = static_cast<std::uint8_t>(kWriterCodePage >> 8);
    putRawLong(f, 0x18, 0);  // no security
    putRawLong(f, 0x20, 0);  // no summary info
    putRawLong(f, 0x24, 0);  // no VBA project
    putRawLong(f, 0x28, 0x80);
    const Bytes magic = magicSequence(kFileHeaderSize);
    for (std::size_t i = 0; i < encrypted.size(); ++i) f[0x80 + i] = encrypted[i];
    for (std::size_t i = 0x80 + encrypted.size(); i < kFileHeaderSize; ++i) f[i] = magic[i];
}

Bytes ContainerWriter::run(EncodedObjects&& objects, const Raster* preview) {
    std::sort(objects.begin(), objects.end(),
              [](const EncodedObject& a, const EncodedObject& b) { return a.handle < b.handle; });
    const Identity identity = drawingIdentity(objects);

    SectionData objectSection{"AcDb:AcDbObjects", {}, kMaxPageSize, true};
    appendRawLong(objectSection.data, kObjectsMarker);
    std::vector<std::pair<Handle, std::uint32_t>> locations;
    locations.reserve(objects.size());
    for (const EncodedObject& object : objects) {
        locations.emplace_back(object.handle, static_cast<std::uint32_t>(objectSection.data.size()));
        objectSection.data.insert(objectSection.data.end(), object.bytes.begin(),
                                  object.bytes.end());
    }
    objects.clear();

    Bytes templateData;
    appendRawShort(templateData, 0);  // no description
    appendRawShort(templateData, 1);  // MEASUREMENT metric
    const SectionData empty{"", {}, kMaxPageSize, true};
    const SectionData header{"AcDb:Header", headerSection(plan_, identity), kMaxPageSize, true};
    const SectionData aux{"AcDb:AuxHeader", auxiliaryHeader(plan_), kMaxPageSize, true};
    const SectionData classes{"AcDb:Classes", classesSection(plan_), kMaxPageSize, true};
    const SectionData handles{"AcDb:Handles", objectMapSection(locations), kMaxPageSize, true};
    const SectionData templ{"AcDb:Template", templateData, kMaxPageSize, true};

    // The preview's offsets count from the file's start: its page comes first,
    // after the file header, where its address is known beforehand.
    const StoredPreview picture = storedPreview(plan_.version, preview);
    const std::size_t previewStart = kFileHeaderSize + 0x20;
    Bytes previewBytes = previewSection(picture, static_cast<std::uint32_t>(previewStart));
    const std::size_t previewPage =
        std::max<std::size_t>(0x400, (previewBytes.size() + 0x1F) & ~std::size_t{0x1F});
    const SectionData previewData{"AcDb:Preview", std::move(previewBytes), previewPage, false};

    // The file holds the pages in this order; the map numbers the sections
    // down to 1 for the header, as AutoCAD does, after the empty section 0.
    writeSection(previewData, 7);
    writeSection(objectSection, 6);
    writeSection(templ, 5);
    writeSection(handles, 4);
    writeSection(classes, 3);
    writeSection(aux, 2);
    writeSection(header, 1);
    described_.insert(described_.begin(), Described{&empty, 0, {}});

    const std::uint32_t sectionMapId = nextPageId_++;
    const Bytes sectionMapBytes = systemPage(kSectionMapPage, sectionMap());
    const std::uint64_t sectionMapAddress = file_.size();
    file_.insert(file_.end(), sectionMapBytes.begin(), sectionMapBytes.end());
    padPage();
    pages_.push_back({sectionMapId, static_cast<std::uint32_t>(file_.size() - sectionMapAddress)});

    // The page map lists itself: its size is found by writing it until it no
    // longer changes (its compressed size depends on the size it records).
    const std::uint32_t pageMapId = nextPageId_++;
    const std::uint64_t pageMapAddress = file_.size();
    std::uint32_t ownSize = 0;
    Bytes pageMapBytes;
    for (int round = 0; round < 8; ++round) {
        pageMapBytes = systemPage(kPageMapPage, pageMap(pageMapId, ownSize));
        const auto padded = static_cast<std::uint32_t>((pageMapBytes.size() + kPageAlignment - 1) /
                                                       kPageAlignment * kPageAlignment);
        if (padded == ownSize) break;
        ownSize = padded;
    }
    file_.insert(file_.end(), pageMapBytes.begin(), pageMapBytes.end());
    padPage();

    const std::uint64_t secondHeaderAddress = file_.size();
    const Bytes fields = headerData(pageMapId, pageMapAddress, sectionMapId, secondHeaderAddress);
    Bytes encrypted = fields;
    const Bytes magic = magicSequence(fields.size());
    for (std::size_t i = 0; i < encrypted.size(); ++i) encrypted[i] ^= magic[i];
    fileHeader(encrypted);
    // The copy at the end is the encrypted fields and the rest of the
    // generator's bytes up to 0x100.
    file_.insert(file_.end(), encrypted.begin(), encrypted.end());
    return std::move(file_);
}

}  // namespace

Bytes assembleContainer(const WritePlan& plan, EncodedObjects&& objects, const Raster* preview) {
    return ContainerWriter(plan).run(std::move(objects), preview);
}

}  // namespace dwg::detail
