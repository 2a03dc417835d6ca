// The data store section: models found by entity handle, in plain records
// and in blobs spread over pages; damaged tables fail with dwg::Error.
#include <dwg/Error.h>
#include <gtest/gtest.h>

#include <string>

#include "DataStore.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
void put64(Bytes& b, std::size_t at, std::uint64_t v) {
    put32(b, at, std::uint32_t(v));
    put32(b, at + 4, std::uint32_t(v >> 32));
}
void putBytes(Bytes& b, std::size_t at, const Bytes& data) {
    if (b.size() < at + data.size()) b.resize(at + data.size());
    std::copy(data.begin(), data.end(), b.begin() + std::ptrdiff_t(at));
}
Bytes text(const std::string& s) {
    return {s.begin(), s.end()};
}

struct StoredRecord {
    std::uint64_t handle;
    Bytes data;
    bool asBlob = false;  // spread over two blob pages
};

// Lays out a store: file header, segment index, data index, one data
// segment, and blob pages after it.
Bytes makeStore(const std::vector<StoredRecord>& records) {
    Bytes s(0x80, 0);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> segments{{0, 0}};
    const std::size_t indexAt = 0x80, dataIndexAt = 0x180, dataAt = 0x280;
    // Data segment: record headers, then the records from the aligned start.
    const std::size_t headers = dataAt + 0x30;
    const std::size_t dataStart = dataAt + 0x100;
    std::size_t offset = 0;
    std::size_t blobAt = 0x4000;
    std::vector<std::uint32_t> blobSegments;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const StoredRecord& r = records[i];
        put32(s, headers + 0x14 * i, 0x14);
        put32(s, headers + 0x14 * i + 4, 1);
        put64(s, headers + 0x14 * i + 8, r.handle);
        put32(s, headers + 0x14 * i + 16, std::uint32_t(offset));
        if (!r.asBlob) {
            put32(s, dataStart + offset, std::uint32_t(r.data.size()));
            putBytes(s, dataStart + offset + 4, r.data);
            offset += 4 + r.data.size();
            continue;
        }
        const std::size_t half = r.data.size() / 2;
        const std::size_t at = dataStart + offset;
        put32(s, at, 0xBB106BB1);
        put64(s, at + 4, r.data.size());
        put32(s, at + 12, 2);
        for (int page = 0; page < 2; ++page) {
            const Bytes part(r.data.begin() + std::ptrdiff_t(page ? half : 0),
                             page ? r.data.end() : r.data.begin() + std::ptrdiff_t(half));
            put64(s, blobAt + 0x30 + 24, part.size());
            putBytes(s, blobAt + 0x30 + 32, part);
            put32(s, at + 32 + 8 * std::size_t(page), std::uint32_t(3 + blobSegments.size()));
            blobSegments.push_back(std::uint32_t(blobAt));
            blobAt += 0x1000;
        }
        offset += 32 + 16;
    }
    put32(s, dataAt + 0x24, 0x10);  // the records start 0x100 into the segment
    segments.push_back({dataIndexAt, 0x100});
    segments.push_back({dataAt, std::uint32_t(0x4000 - dataAt)});
    for (std::uint32_t at : blobSegments) segments.push_back({at, 0x1000});
    s.resize(std::max<std::size_t>(s.size(), blobAt), 0x70);
    put32(s, 24, std::uint32_t(indexAt));
    put32(s, 32, std::uint32_t(segments.size()));
    put32(s, 40, 1);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        put64(s, indexAt + 0x30 + 12 * i, segments[i].first);
        put32(s, indexAt + 0x30 + 12 * i + 8, segments[i].second);
    }
    put32(s, dataIndexAt + 0x30, std::uint32_t(records.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        put32(s, dataIndexAt + 0x38 + 12 * i, 2);
        put32(s, dataIndexAt + 0x38 + 12 * i + 4, std::uint32_t(0x14 * i));
    }
    return s;
}

std::map<dwg::Handle, Bytes> read(const Bytes& section) {
    dwg::detail::FileContext context;
    return dwg::detail::readDataStoreModels(section, context);
}

TEST(DataStore, ModelsFoundByHandleOthersLeftOut) {
    const Bytes sab = text("ACIS BinaryFile model one");
    const Bytes asm_ = text("ASM BinaryFile4 model two, longer");
    const Bytes blob = text("ASM BinaryFile4 a model spread over two pages");
    const auto models = read(makeStore(
        {{0x16, text("\x89PNG preview")}, {0x6C, sab}, {0x70, asm_}, {0x2A5, blob, true}}));
    EXPECT_EQ(models.size(), 3u);
    EXPECT_EQ(models.at(0x6C), sab);
    EXPECT_EQ(models.at(0x70), asm_);
    EXPECT_EQ(models.at(0x2A5), blob);
    EXPECT_FALSE(models.count(0x16));
}

TEST(DataStore, DamagedTablesFailWithError) {
    struct Case {
        const char* name;
        std::size_t at;  // into the store makeStore lays out
        std::uint32_t value;
    };
    const Case cases[] = {
        {"segment count past the end", 32, 0x10000000},
        {"data index not a segment", 40, 99},
        {"entry count past the end", 0x1B0, 0x7FFFFFFF},
        {"entry segment missing", 0x1B8, 77},
        {"record header past the end", 0x1BC, 0xFFFFFF00},
        {"record size past its segment", 0x380, 0x00FFFFFF},
        {"data alignment past the end", 0x2A4, 0x0FFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes s = makeStore({{0x6C, text("ACIS BinaryFile model")}});
        put32(s, c.at, c.value);
        EXPECT_THROW(read(s), dwg::Error);
    }
}

TEST(DataStore, TruncatedAnywhereNeverCrashes) {
    const Bytes full = makeStore(
        {{0x6C, text("ACIS BinaryFile model")}, {0x70, text("ASM BinaryFile4 blob model"), true}});
    for (std::size_t n = 0; n < full.size(); n += 7) {
        const Bytes cut(full.begin(), full.begin() + std::ptrdiff_t(n));
        try {
            read(cut);
        } catch (const dwg::Error&) {
        }
    }
}

TEST(DataStore, AttachesOnlyToSolidsWithoutTheirOwnModel) {
    dwg::Drawing drawing;
    dwg::Block& block = drawing.blocks.emplace_back();
    auto entity = [&](dwg::Handle handle, dwg::EntityData data) {
        dwg::Entity e;
        e.header.handle = handle;
        e.data = std::move(data);
        block.entities.push_back(std::move(e));
    };
    entity(1, dwg::AcisData{});
    entity(2, dwg::AcisData{text("own")});
    entity(3, dwg::Line{});
    dwg::detail::attachDataStoreModels(
        drawing, {{1, text("stored 1")}, {2, text("stored 2")}, {3, text("stored 3")}});
    EXPECT_EQ(std::get<dwg::AcisData>(block.entities[0].data).bytes, text("stored 1"));
    EXPECT_EQ(std::get<dwg::AcisData>(block.entities[1].data).bytes, text("own"));
    EXPECT_TRUE(std::holds_alternative<dwg::Line>(block.entities[2].data));
}

}  // namespace
