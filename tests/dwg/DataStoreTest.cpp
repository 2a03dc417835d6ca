// The data store section: models found by entity handle through the data
// index, in plain records and in blobs spread over pages in any order; a
// damaged record costs that record, damaged tables fail with dwg::Error.
#include <dwg/Error.h>
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "DataStore.h"
#include "SampleFiles.h"

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
    int blobPages = 0;  // 0: in the data segment; else spread over that many blob pages
    bool pagesBackwards = false;
};

// Lays out a store as AutoCAD does: file header, segments each with its
// header and padded to 0x80 bytes, the segment index and the data index last.
class StoreBuilder {
  public:
    // A data segment holding `records`; returns its segment index.
    std::uint32_t dataSegment(const std::vector<StoredRecord>& records) {
        const auto index = std::uint32_t(segments_.size());
        segments_.emplace_back();
        const std::size_t dataStart = 0x30 + ((0x14 * records.size() + 0xF) & ~std::size_t{0xF});
        Bytes s = segmentHeader("_data_", index);
        put32(s, 0x24, std::uint32_t(dataStart >> 4));
        std::size_t offset = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const StoredRecord& r = records[i];
            put32(s, 0x30 + 0x14 * i, 0x14);
            put32(s, 0x30 + 0x14 * i + 4, 1);
            put64(s, 0x30 + 0x14 * i + 8, r.handle);
            put32(s, 0x30 + 0x14 * i + 16, std::uint32_t(offset));
            const std::size_t at = dataStart + offset;
            if (r.blobPages == 0) {
                put32(s, at, std::uint32_t(r.data.size()));
                putBytes(s, at + 4, r.data);
                offset += 4 + r.data.size();
                continue;
            }
            put32(s, at, 0xBB106BB1);
            put64(s, at + 4, r.data.size());
            put32(s, at + 12, std::uint32_t(r.blobPages));
            blobRecords_.push_back(at);
            const std::size_t pageSize = (r.data.size() + std::size_t(r.blobPages) - 1) / std::size_t(r.blobPages);
            for (int p = 0; p < r.blobPages; ++p) {
                const int page = r.pagesBackwards ? r.blobPages - 1 - p : p;
                const std::size_t start = std::size_t(page) * pageSize;
                const Bytes part(r.data.begin() + std::ptrdiff_t(start),
                                 r.data.begin() + std::ptrdiff_t(std::min(r.data.size(), start + pageSize)));
                put32(s, at + 36 + 8 * std::size_t(p), blobPage(r.data.size(), start, part));
                put32(s, at + 40 + 8 * std::size_t(p), std::uint32_t(part.size()));
            }
            offset += 36 + 8 * std::size_t(r.blobPages);
        }
        segments_[index] = std::move(s);
        return index;
    }

    // A data index entry naming record `record` of segment `segment`.
    void index(std::uint32_t segment, std::uint32_t record) { entries_.push_back({segment, record}); }

    Bytes build() {
        const auto segmentIndex = std::uint32_t(segments_.size());
        const std::uint32_t dataIndex = segmentIndex + 1;
        segments_.push_back(segmentHeader("segidx", segmentIndex));
        Bytes data = segmentHeader("datidx", dataIndex);
        put32(data, 0x30, std::uint32_t(entries_.size()));
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            put32(data, 0x38 + 12 * i, entries_[i].first);
            put32(data, 0x38 + 12 * i + 4, 0x14 * entries_[i].second);
        }
        segments_.push_back(std::move(data));

        Bytes store(0x80, 0);
        offsets_.assign(segments_.size(), 0);
        segments_[segmentIndex].resize(0x30 + 12 * segments_.size(), 0);  // 12 bytes an entry
        for (std::size_t i = 1; i < segments_.size(); ++i) {
            offsets_[i] = store.size();
            Bytes& s = segments_[i];
            s.resize((s.size() + 0x7F) & ~std::size_t{0x7F}, 0x70);
            store.insert(store.end(), s.begin(), s.end());
        }
        for (std::size_t i = 0; i < segments_.size(); ++i) {
            put64(store, offsets_[segmentIndex] + 0x30 + 12 * i, offsets_[i]);
            put32(store, offsets_[segmentIndex] + 0x30 + 12 * i + 8,
                  i == 0 ? 0 : std::uint32_t(segments_[i].size()));
        }
        put32(store, 24, std::uint32_t(offsets_[segmentIndex]));
        put32(store, 32, std::uint32_t(segments_.size()));
        put32(store, 40, dataIndex);
        return store;
    }

    // Where things landed in the store build() made.
    std::size_t segmentOffset(std::uint32_t segment) const { return offsets_[segment]; }
    std::size_t blobReference(std::size_t n, std::uint32_t segment) const {
        return offsets_[segment] + blobRecords_[n];
    }

  private:
    Bytes segmentHeader(const char* name, std::uint32_t index) {
        Bytes s(0x30, 0);
        s[0] = 0xAC;
        s[1] = 0xD5;
        std::copy(name, name + 6, s.begin() + 2);
        put32(s, 8, index);
        std::fill(s.begin() + 0x28, s.end(), 0x55);
        return s;
    }

    std::uint32_t blobPage(std::size_t total, std::size_t start, const Bytes& part) {
        const auto index = std::uint32_t(segments_.size());
        Bytes s = segmentHeader("blob01", index);
        put64(s, 0x30, total);
        put64(s, 0x38, start);
        put64(s, 0x48, part.size());
        putBytes(s, 0x50, part);
        segments_.push_back(std::move(s));
        return index;
    }

    std::vector<Bytes> segments_{Bytes{}};  // index 0 is no segment
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries_;
    std::vector<std::size_t> offsets_;
    std::vector<std::size_t> blobRecords_;  // blob references, from their segment's start
};

std::map<dwg::Handle, Bytes> read(const Bytes& section) {
    dwg::detail::FileContext context;
    return dwg::detail::readDataStoreModels(section, context);
}

const Bytes kSab = text("ACIS BinaryFile model one");
const Bytes kAsm = text("ASM BinaryFile4 model two, longer");
const Bytes kLarge = text("ASM BinaryFile4 a model too large for its segment, spread over pages");

TEST(DataStore, ModelsFoundByHandleThroughTheIndexOthersLeftOut) {
    StoreBuilder b;
    // Index entries out of the records' order, over two segments; a preview
    // image and a record no entry names are left out.
    const std::uint32_t first = b.dataSegment(
        {{0x16, text("\x89PNG preview")}, {0x6C, kSab}, {0x99, text("ACIS BinaryFile stale")}});
    const std::uint32_t second =
        b.dataSegment({{0x2A5, kLarge, 3, true}, {0x70, kAsm}, {0x71, kLarge, 1}});
    b.index(second, 1);
    b.index(0, 0);  // a free entry
    b.index(first, 1);
    b.index(second, 0);
    b.index(first, 0);
    b.index(second, 2);
    const auto models = read(b.build());
    EXPECT_EQ(models.size(), 4u);
    EXPECT_EQ(models.at(0x6C), kSab);
    EXPECT_EQ(models.at(0x70), kAsm);
    EXPECT_EQ(models.at(0x2A5), kLarge);
    EXPECT_EQ(models.at(0x71), kLarge);
}

TEST(DataStore, AHandleNamedTwiceKeepsItsFirstModel) {
    StoreBuilder b;
    const std::uint32_t s = b.dataSegment({{0x6C, kSab}, {0x6C, kAsm}});
    b.index(s, 0);
    b.index(s, 1);
    EXPECT_EQ(read(b.build()).at(0x6C), kSab);
}

// The n-th entry of the data index, the store's last segment.
std::size_t indexEntry(const Bytes& store, std::size_t n) {
    return store.size() - 0x80 + 0x38 + 12 * n;
}

TEST(DataStore, ADamagedRecordCostsThatRecordOnly) {
    // One segment holds 0x6C, a blob of two pages, then 0x70; 0x80 lies in another.
    using Damage = std::function<void(Bytes&, const StoreBuilder&, std::uint32_t segment)>;
    struct Case {
        const char* name;
        dwg::Handle lost;
        Damage damage;
    };
    const auto firstPage = [](const Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
        return b.segmentOffset(s[b.blobReference(0, segment) + 36]);
    };
    const auto secondPage = [](const Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
        return b.segmentOffset(s[b.blobReference(0, segment) + 44]);
    };
    const Case cases[] = {
        {"record header past the headers", 0x70,
         [](Bytes& s, const StoreBuilder&, std::uint32_t) { put32(s, indexEntry(s, 1) + 4, 0x1000); }},
        {"record size past its segment", 0x70,
         [](Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
             put32(s, b.blobReference(0, segment) + 36 + 16, 0x00FFFFFF);
         }},
        {"blob page not a segment", 0x6C,
         [](Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
             put32(s, b.blobReference(0, segment) + 44, 999);
         }},
        {"blob page without its signature", 0x6C,
         [&](Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
             s[firstPage(s, b, segment)] = 0;
         }},
        {"blob pages overlapping", 0x6C,
         [&](Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
             put64(s, secondPage(s, b, segment) + 0x38, 30);
         }},
        {"blob page running past the blob", 0x6C,
         [&](Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
             put64(s, secondPage(s, b, segment) + 0x38, kLarge.size());
         }},
        {"blob larger than its pages", 0x6C,
         [](Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
             put64(s, b.blobReference(0, segment) + 4, kLarge.size() + 1);
         }},
        {"blob claiming more pages than its record holds", 0x6C,
         [](Bytes& s, const StoreBuilder& b, std::uint32_t segment) {
             put32(s, b.blobReference(0, segment) + 12, 100'000);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StoreBuilder b;
        const std::uint32_t damaged = b.dataSegment({{0x6C, kLarge, 2}, {0x70, kAsm}});
        const std::uint32_t sound = b.dataSegment({{0x80, kSab}});
        b.index(damaged, 0);
        b.index(damaged, 1);
        b.index(sound, 0);
        Bytes store = b.build();
        c.damage(store, b, damaged);
        const auto models = read(store);
        EXPECT_FALSE(models.contains(c.lost));
        EXPECT_EQ(models.size(), 2u);
        EXPECT_EQ(models.at(0x80), kSab);
    }
    // A segment whose data would start past its end holds no record at all.
    StoreBuilder b;
    const std::uint32_t damaged = b.dataSegment({{0x6C, kLarge, 2}, {0x70, kAsm}});
    b.index(damaged, 0);
    b.index(damaged, 1);
    b.index(b.dataSegment({{0x80, kSab}}), 0);
    Bytes store = b.build();
    put32(store, b.segmentOffset(damaged) + 0x24, 0x0FFFFFFF);
    const auto models = read(store);
    EXPECT_EQ(models.size(), 1u);
    EXPECT_TRUE(models.contains(0x80));
}

TEST(DataStore, DamagedTablesFailWithError) {
    struct Case {
        const char* name;
        std::size_t at;  // in the store's header
        std::uint32_t value;
    };
    const Case cases[] = {
        {"segment count past the end", 32, 0x10000000},
        {"segment index past the end", 24, 0x7FFFFFF0},
        {"data index not a segment", 40, 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StoreBuilder b;
        b.index(b.dataSegment({{0x6C, kSab}}), 0);
        Bytes s = b.build();
        put32(s, c.at, c.value);
        EXPECT_THROW(read(s), dwg::Error);
    }
    StoreBuilder b;
    b.index(b.dataSegment({{0x6C, kSab}}), 0);
    Bytes s = b.build();
    put32(s, indexEntry(s, 0) - 8, 0x7FFFFFFF);  // data index entries past the end
    EXPECT_THROW(read(s), dwg::Error);
}

TEST(DataStore, TruncatedAnywhereNeverCrashes) {
    StoreBuilder b;
    const std::uint32_t s = b.dataSegment({{0x6C, kSab}, {0x70, kLarge, 2}});
    b.index(s, 0);
    b.index(s, 1);
    const Bytes full = b.build();
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

// The real 3D drawings of R2013 and later keep their bodies in the store,
// some in blobs, some past pages of zeros the file does not hold: every
// body, surface and region finds its model.
TEST(DataStore, EveryBodyOfTheThreeDimensionalSamplesFindsItsModel) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const auto files = testsupport::samplesOf({"3d/R2013", "3d/R2018"});
    ASSERT_FALSE(files.empty());
    int bodies = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const dwg::Drawing drawing = dwg::read(file);
        for (const dwg::Block& block : drawing.blocks)
            for (const dwg::Entity& entity : block.entities)
                if (const auto* acis = std::get_if<dwg::AcisData>(&entity.data)) {
                    ++bodies;
                    EXPECT_FALSE(acis->bytes.empty()) << entity.typeName << " " << std::hex
                                                      << entity.header.handle;
                }
    }
    EXPECT_GT(bodies, 150);  // every file was read, not only a few
}

}  // namespace
