// The data store section of 2013 and later files: ACIS models keyed by the
// handle of their entity. The store is a file of its own: a header, then
// segments (each with a 48-byte header) found through a segment index. A data
// index lists every record by segment and the place of its header there; a
// data segment holds the record headers, then, aligned, each record's size
// and bytes. One data segment per model keeps every record whole.
#include "BitWriter.h"
#include "WriterModel.h"

namespace dwg::detail {
namespace {

constexpr std::size_t kStoreHeaderSize = 0x80;
constexpr std::size_t kSegmentHeaderSize = 0x30;
constexpr std::size_t kSegmentAlignment = 0x80;
constexpr std::size_t kRecordHeaderSize = 0x14;
constexpr std::uint32_t kStoreRevision = 111;
// Record headers are followed by this filler up to the records' data.
constexpr std::uint8_t kRecordFiller = 0x62;
constexpr std::uint8_t kSegmentFiller = 0x70;

void appendLongLong(std::vector<std::uint8_t>& out, std::uint64_t value) {
    appendRawLong(out, static_cast<std::uint32_t>(value));
    appendRawLong(out, static_cast<std::uint32_t>(value >> 32));
}

class StoreWriter {
  public:
    // Segment 0 is never used: index entries naming it are free.
    StoreWriter() : segments_(1) { out_.resize(kStoreHeaderSize, 0); }

    // A segment of `name` (six letters) holding `body`; `dataAlignment` in
    // 16-byte units from the segment's start (0 when it has none). Returns its index.
    std::uint32_t segment(const char (&name)[7], const std::vector<std::uint8_t>& body,
                          std::uint32_t dataAlignment = 0) {
        const auto index = static_cast<std::uint32_t>(segments_.size());
        const std::size_t start = out_.size();
        const std::size_t size = paddedSize(body.size());
        appendRawShort(out_, 0xD5AC);
        out_.insert(out_.end(), name, name + 6);
        appendRawLong(out_, index);
        appendRawLong(out_, 0);
        appendRawLong(out_, static_cast<std::uint32_t>(size));
        appendRawLong(out_, 0);
        appendRawLong(out_, kStoreRevision);
        appendRawLong(out_, 0);
        appendRawLong(out_, 0);
        appendRawLong(out_, dataAlignment);
        out_.insert(out_.end(), 8, 0x55);
        out_.insert(out_.end(), body.begin(), body.end());
        out_.resize(start + size, kSegmentFiller);
        segments_.push_back({start, size});
        return index;
    }

    std::vector<std::uint8_t> finish(std::uint32_t dataIndex) {
        // The segment index lists itself too, last.
        const std::size_t indexOffset = out_.size();
        const auto count = static_cast<std::uint32_t>(segments_.size() + 1);
        segments_.emplace_back(indexOffset, paddedSize(12 * std::size_t{count}));
        std::vector<std::uint8_t> index;
        for (const auto& [offset, size] : segments_) {
            appendLongLong(index, offset);
            appendRawLong(index, static_cast<std::uint32_t>(size));
        }
        segments_.pop_back();
        segment("segidx", index);
        std::vector<std::uint8_t> header;
        for (std::uint32_t word : {0x6472616Au /* "jard" */, 0x00010080u, 8u, 2u, 0u,
                                   kStoreRevision, static_cast<std::uint32_t>(indexOffset), 0u,
                                   count, 0u, dataIndex, 0u, 0u,
                                   static_cast<std::uint32_t>(out_.size())})
            appendRawLong(header, word);
        std::copy(header.begin(), header.end(), out_.begin());
        return std::move(out_);
    }

  private:
    static std::size_t paddedSize(std::size_t body) {
        return (kSegmentHeaderSize + body + kSegmentAlignment - 1) / kSegmentAlignment *
               kSegmentAlignment;
    }

    std::vector<std::uint8_t> out_;
    std::vector<std::pair<std::size_t, std::size_t>> segments_;
};

}  // namespace

std::vector<std::uint8_t> dataStoreSection(
    const std::vector<std::pair<Handle, const AcisData*>>& models) {
    StoreWriter store;
    std::vector<std::uint8_t> dataIndex;
    appendRawLong(dataIndex, static_cast<std::uint32_t>(models.size()));
    appendRawLong(dataIndex, 0);
    for (const auto& [handle, acis] : models) {
        // The record header, filler up to the 16-byte boundary the data starts at.
        std::vector<std::uint8_t> body;
        appendRawLong(body, kRecordHeaderSize);
        appendRawLong(body, 1);
        appendLongLong(body, handle);
        appendRawLong(body, 0);  // the record's bytes start the data
        const std::size_t dataStart = (kSegmentHeaderSize + body.size() + 15) / 16 * 16;
        body.resize(dataStart - kSegmentHeaderSize, kRecordFiller);
        appendRawLong(body, static_cast<std::uint32_t>(acis->bytes.size()));
        body.insert(body.end(), acis->bytes.begin(), acis->bytes.end());
        const std::uint32_t segment =
            store.segment("_data_", body, static_cast<std::uint32_t>(dataStart / 16));
        appendRawLong(dataIndex, segment);
        appendRawLong(dataIndex, 0);  // its header opens the segment
        appendRawLong(dataIndex, 0);  // schema
    }
    const std::uint32_t dataIndexSegment = store.segment("datidx", dataIndex);
    return store.finish(dataIndexSegment);
}

}  // namespace dwg::detail
