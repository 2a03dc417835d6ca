// Builds small R2004 containers for the tests: the sections given, each cut
// into pages, every page "compressed" as one literal run, with the checksums,
// encrypted headers and maps that a real file carries. Hooks let a test
// damage the maps in one precise way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Lz77R2004.h"
#include "PageChecksum.h"
#include "SectionContainer.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

struct WrittenSection {
    std::string name;
    Bytes data;
    std::size_t pageSize = 0x7400;
};

struct R2004Writer {
    std::vector<WrittenSection> sections;
    int codePage = 30;  // Windows-1252
    // Called with the decompressed page map / section map before they are stored.
    std::function<void(Bytes&)> editPageMap;
    std::function<void(Bytes&)> editSectionMap;

    Bytes write() const;
};

// A writer holding the four sections a drawing is read from (header,
// classes, object map, objects), taken from a real R2004+ file.
inline R2004Writer writerWithSectionsOf(const Bytes& file, std::size_t pageSize) {
    const auto container = dwg::container::openSectionContainer(file);
    R2004Writer writer;
    for (const char* name : {"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects"})
        writer.sections.push_back({name, container->read(name), pageSize});
    return writer;
}

// An LZ77 stream that holds `data` as one literal run (at least 4 bytes).
inline Bytes literalStream(const Bytes& data) {
    Bytes out;
    const std::size_t n = data.size();
    if (n <= 18) {
        out.push_back(static_cast<std::uint8_t>(n - 3));
    } else {
        out.push_back(0);
        std::size_t rest = n - 3 - 0x0F;
        for (; rest > 0xFF; rest -= 0xFF) out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(rest));
    }
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(0x11);
    return out;
}

inline void putU32(Bytes& out, std::size_t at, std::uint32_t value) {
    if (out.size() < at + 4) out.resize(at + 4);
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void appendU32(Bytes& out, std::uint32_t value) {
    putU32(out, out.size(), value);
}

inline void appendU64(Bytes& out, std::uint64_t value) {
    appendU32(out, static_cast<std::uint32_t>(value));
    appendU32(out, static_cast<std::uint32_t>(value >> 32));
}

// In the section map: 20 header bytes, then per section 0x60 bytes of
// description and 16 bytes per page.
constexpr std::size_t kFirstDescription = 20;
constexpr std::size_t kDescriptionSize = 0x60;
constexpr std::size_t kPageEntrySize = 16;

// Where the description of the `index`th section starts in a section map.
inline std::size_t descriptionAt(const Bytes& map, std::size_t index) {
    std::size_t at = kFirstDescription;
    for (std::size_t i = 0; i < index; ++i) {
        const std::uint32_t pages = map[at + 8] | map[at + 9] << 8;
        at += kDescriptionSize + pages * kPageEntrySize;
    }
    return at;
}

inline void padTo32(Bytes& out) {
    out.resize((out.size() + 0x1F) & ~std::size_t{0x1F}, 0);
}

inline Bytes systemPage(std::uint32_t type, const Bytes& content) {
    Bytes padded = content;
    if (padded.size() < 4) padded.resize(4, 0);
    const Bytes stored = literalStream(padded);
    Bytes page;
    appendU32(page, type);
    appendU32(page, static_cast<std::uint32_t>(padded.size()));
    appendU32(page, static_cast<std::uint32_t>(stored.size()));
    appendU32(page, 2);
    appendU32(page, 0);
    const std::uint32_t headerSum = dwg::container::pageChecksum(0, page);
    putU32(page, 16, dwg::container::pageChecksum(headerSum, stored));
    page.insert(page.end(), stored.begin(), stored.end());
    padTo32(page);
    return page;
}

inline Bytes R2004Writer::write() const {
    Bytes file(0x100, 0);
    const char version[] = "AC1018";
    std::copy(version, version + 6, file.begin());
    file[0x13] = static_cast<std::uint8_t>(codePage);
    file[0x14] = static_cast<std::uint8_t>(codePage >> 8);

    struct PageEntry {
        std::int32_t id;
        std::uint32_t size;
    };
    std::vector<PageEntry> pageMap;
    Bytes sectionMap;
    appendU32(sectionMap, static_cast<std::uint32_t>(sections.size()));
    appendU32(sectionMap, 2);
    appendU32(sectionMap, 0x7400);
    appendU32(sectionMap, 0);
    appendU32(sectionMap, static_cast<std::uint32_t>(sections.size()));

    std::int32_t nextId = 1;
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const WrittenSection& section = sections[s];
        const auto sectionId = static_cast<std::uint32_t>(s + 1);
        const std::size_t pageCount =
            (section.data.size() + section.pageSize - 1) / section.pageSize;
        appendU64(sectionMap, section.data.size());
        appendU32(sectionMap, static_cast<std::uint32_t>(pageCount));
        appendU32(sectionMap, static_cast<std::uint32_t>(section.pageSize));
        appendU32(sectionMap, 1);
        appendU32(sectionMap, 2);  // compressed
        appendU32(sectionMap, sectionId);
        appendU32(sectionMap, 0);  // not encrypted
        Bytes name(64, 0);
        std::copy(section.name.begin(), section.name.end(), name.begin());
        sectionMap.insert(sectionMap.end(), name.begin(), name.end());
        for (std::size_t p = 0; p < pageCount; ++p) {
            const std::size_t start = p * section.pageSize;
            Bytes chunk(section.data.begin() + static_cast<std::ptrdiff_t>(start),
                        section.data.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                   section.data.size(), start + section.pageSize)));
            if (chunk.size() < 4) chunk.resize(4, 0);
            const Bytes stored = literalStream(chunk);
            const std::uint64_t address = file.size();
            Bytes header;
            appendU32(header, 0x4163043B);
            appendU32(header, sectionId);
            appendU32(header, static_cast<std::uint32_t>(stored.size()));
            appendU32(header, static_cast<std::uint32_t>(section.pageSize));
            appendU32(header, static_cast<std::uint32_t>(start));
            appendU32(header, 0);
            appendU32(header, 0);
            const std::uint32_t dataSum = dwg::container::pageChecksum(0, stored);
            appendU32(header, dataSum);
            putU32(header, 0x18, dwg::container::pageChecksum(dataSum, header));
            const std::uint32_t mask = 0x4164536B ^ static_cast<std::uint32_t>(address);
            for (std::size_t i = 0; i < header.size(); i += 4)
                putU32(header, i,
                       (header[i] | header[i + 1] << 8 | header[i + 2] << 16 |
                        std::uint32_t{header[i + 3]} << 24) ^
                           mask);
            file.insert(file.end(), header.begin(), header.end());
            file.insert(file.end(), stored.begin(), stored.end());
            padTo32(file);
            const std::int32_t id = nextId++;
            pageMap.push_back({id, static_cast<std::uint32_t>(file.size() - address)});
            appendU32(sectionMap, static_cast<std::uint32_t>(id));
            appendU32(sectionMap, static_cast<std::uint32_t>(stored.size()));
            appendU64(sectionMap, start);
        }
    }
    if (editSectionMap) editSectionMap(sectionMap);
    const std::int32_t sectionMapId = nextId++;
    const Bytes sectionMapPage = systemPage(0x4163003B, sectionMap);
    pageMap.push_back({sectionMapId, static_cast<std::uint32_t>(sectionMapPage.size())});
    file.insert(file.end(), sectionMapPage.begin(), sectionMapPage.end());

    // The page map lists itself; its own size must be known first, and the
    // literal encoding makes that size depend only on the entry count.
    const std::int32_t pageMapId = nextId++;
    const std::uint64_t pageMapAddress = file.size();
    Bytes pageMapBytes;
    for (const PageEntry& entry : pageMap) {
        appendU32(pageMapBytes, static_cast<std::uint32_t>(entry.id));
        appendU32(pageMapBytes, entry.size);
    }
    appendU32(pageMapBytes, static_cast<std::uint32_t>(pageMapId));
    appendU32(pageMapBytes, 0);
    putU32(pageMapBytes, pageMapBytes.size() - 4,
           static_cast<std::uint32_t>(systemPage(0x41630E3B, pageMapBytes).size()));
    if (editPageMap) editPageMap(pageMapBytes);
    const Bytes pageMapPage = systemPage(0x41630E3B, pageMapBytes);
    file.insert(file.end(), pageMapPage.begin(), pageMapPage.end());

    Bytes fields(0x6C, 0);
    const char id[] = "AcFssFcAJMB";
    std::copy(id, id + 12, fields.begin());
    putU32(fields, 0x50, static_cast<std::uint32_t>(pageMapId));
    putU32(fields, 0x54, static_cast<std::uint32_t>(pageMapAddress - 0x100));
    putU32(fields, 0x5C, static_cast<std::uint32_t>(sectionMapId));
    putU32(fields, 0x68, dwg::container::crc32(0, fields));
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        seed = seed * 0x343FD + 0x269EC3;
        file[0x80 + i] = static_cast<std::uint8_t>(fields[i] ^ (seed >> 16));
    }
    return file;
}

}  // namespace testsupport
