#include "DataStore.h"

#include <dwg/Error.h>

#include <algorithm>
#include <string_view>

#include "ContainerBytes.h"

namespace dwg::detail {
namespace {

using container::readU32;
using container::readU64;
using container::slice;

// Every segment opens with this header: signature, six-letter name, index,
// sizes, and the two alignment offsets of its data.
constexpr std::size_t kSegmentHeaderSize = 0x30;
constexpr std::uint16_t kSegmentSignature = 0xD5AC;
constexpr std::size_t kObjectDataAlignment = 0x24;  // in 16-byte units from the segment's start
// A data segment's record header: entry size, a word, the entity's handle,
// and where its bytes start after the headers.
constexpr std::size_t kRecordHeaderSize = 0x14;
// Data index entries: segment, offset of the record header, schema.
constexpr std::size_t kDataIndexEntrySize = 12;
// A record whose size word is this marker is a reference to blob pages.
constexpr std::uint32_t kBlobReference = 0xBB106BB1;
// The reference: total size, page count, four sizes and two words, then
// (segment, size) per page.
constexpr std::size_t kBlobReferenceSize = 32;
// A blob page after its segment header: total size, where the page starts in
// the blob, page index and count, its size, then its bytes.
constexpr std::size_t kBlobPageHeaderSize = 32;
// Blob pages hold up to 1 MiB each; a real file has a handful.
constexpr std::uint32_t kMaxBlobPages = 4096;

struct Segment {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

bool isAcisModel(std::span<const std::uint8_t> bytes) {
    for (std::string_view signature : {"ACIS BinaryFile", "ASM BinaryFile"}) {
        if (bytes.size() >= signature.size() &&
            std::equal(signature.begin(), signature.end(), bytes.begin(),
                       [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
            return true;
    }
    return false;
}

class DataStore {
  public:
    DataStore(Bytes section, const FileContext& context) : s_(section), context_(context) {
        const std::uint64_t indexOffset = readU32(s_, 24);
        const std::uint32_t segmentCount = readU32(s_, 32);
        dataIndex_ = readU32(s_, 40);
        const std::uint64_t first = indexOffset + kSegmentHeaderSize;
        slice(s_, first, std::uint64_t{segmentCount} * 12);
        segments_.reserve(segmentCount);
        for (std::uint32_t i = 0; i < segmentCount; ++i)
            segments_.push_back({readU64(s_, first + 12 * i), readU32(s_, first + 12 * i + 8)});
    }

    // Every record the data index names, in the index's order; a handle named
    // twice keeps its first model. A damaged record costs that record only.
    std::map<Handle, std::vector<std::uint8_t>> models() const {
        const Segment index = segment(dataIndex_);
        const std::uint64_t entries = index.offset + kSegmentHeaderSize;
        const std::uint32_t count = readU32(s_, entries);
        slice(s_, entries + 8, std::uint64_t{count} * kDataIndexEntrySize);
        std::map<Handle, std::vector<std::uint8_t>> found;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t at = entries + 8 + kDataIndexEntrySize * std::uint64_t{i};
            const std::uint32_t segmentIndex = readU32(s_, at);
            if (segmentIndex == 0) continue;  // a free entry
            try {
                record(segmentIndex, readU32(s_, at + 4), found);
            } catch (const Error& error) {
                if (error.kind() == Error::Kind::TooLarge) throw;
            }
        }
        return found;
    }

  private:
    Segment segment(std::uint32_t index) const {
        if (index >= segments_.size()) container::throwDamaged("segmento do armazenamento inexistente");
        const Segment s = segments_[index];
        slice(s_, s.offset, s.size);
        if (s.size < kSegmentHeaderSize) container::throwDamaged("segmento do armazenamento truncado");
        if ((s_[s.offset] | s_[s.offset + 1] << 8) != kSegmentSignature)
            container::throwDamaged("segmento do armazenamento sem assinatura");
        return s;
    }

    void record(std::uint32_t segmentIndex, std::uint32_t headerOffset,
                std::map<Handle, std::vector<std::uint8_t>>& found) const {
        const Segment data = segment(segmentIndex);
        const std::uint64_t end = data.offset + data.size;
        const std::uint64_t dataStart =
            data.offset + (std::uint64_t{readU32(s_, data.offset + kObjectDataAlignment)} << 4);
        const std::uint64_t header = data.offset + kSegmentHeaderSize + headerOffset;
        if (dataStart > end || header + kRecordHeaderSize > dataStart)
            container::throwDamaged("cabeçalho de registro do armazenamento fora do segmento");
        const Handle handle = readU64(s_, header + 8);
        if (found.contains(handle)) return;
        const std::uint64_t start = dataStart + readU32(s_, header + 16);
        if (start > end || end - start < 4) container::throwDamaged("registro do armazenamento fora do segmento");
        const std::uint32_t size = readU32(s_, start);
        std::vector<std::uint8_t> bytes;
        if (size == kBlobReference) {
            bytes = blob(start + 4, end);
        } else {
            if (size > end - start - 4) container::throwDamaged("registro do armazenamento fora do segmento");
            const auto stored = slice(s_, start + 4, size);
            if (!isAcisModel(stored)) return;
            context_.charge(size, 1);
            bytes.assign(stored.begin(), stored.end());
        }
        if (isAcisModel(bytes)) found[handle] = std::move(bytes);
    }

    // A record too large for its segment, spread over blob pages. Each page
    // says where it starts in the record, so the pages may come in any order;
    // together they must cover the record exactly.
    std::vector<std::uint8_t> blob(std::uint64_t at, std::uint64_t end) const {
        if (end - at < kBlobReferenceSize) container::throwDamaged("referência de blob truncada");
        const std::uint64_t total = readU64(s_, at);
        const std::uint32_t pages = readU32(s_, at + 8);
        if (pages > kMaxBlobPages || pages * std::uint64_t{8} > end - at - kBlobReferenceSize ||
            total > s_.size())
            container::throwDamaged("referência de blob inválida");
        struct Page {
            std::uint64_t start;
            std::span<const std::uint8_t> bytes;
        };
        std::vector<Page> parts;
        parts.reserve(pages);
        for (std::uint32_t p = 0; p < pages; ++p) {
            const Segment page =
                segment(readU32(s_, at + kBlobReferenceSize + 8 * std::uint64_t{p}));
            const std::uint64_t pageHeader = page.offset + kSegmentHeaderSize;
            if (page.size < kSegmentHeaderSize + kBlobPageHeaderSize)
                container::throwDamaged("página de blob truncada");
            const std::uint64_t pageStart = readU64(s_, pageHeader + 8);
            const std::uint64_t pageSize = readU64(s_, pageHeader + 24);
            if (pageSize > page.size - kSegmentHeaderSize - kBlobPageHeaderSize ||
                pageStart > total || pageSize > total - pageStart)
                container::throwDamaged("página de blob inválida");
            parts.push_back({pageStart, slice(s_, pageHeader + kBlobPageHeaderSize, pageSize)});
        }
        std::sort(parts.begin(), parts.end(),
                  [](const Page& a, const Page& b) { return a.start < b.start; });
        std::uint64_t covered = 0;
        for (const Page& part : parts) {
            if (part.start != covered) container::throwDamaged("páginas de blob com lacuna ou sobreposição");
            covered += part.bytes.size();
        }
        if (covered != total) container::throwDamaged("páginas de blob incompletas");
        context_.charge(total, 1);
        std::vector<std::uint8_t> bytes;
        bytes.reserve(static_cast<std::size_t>(total));
        for (const Page& part : parts) bytes.insert(bytes.end(), part.bytes.begin(), part.bytes.end());
        return bytes;
    }

    Bytes s_;
    const FileContext& context_;
    std::uint32_t dataIndex_ = 0;
    std::vector<Segment> segments_;
};

}  // namespace

std::map<Handle, std::vector<std::uint8_t>> readDataStoreModels(Bytes section,
                                                                const FileContext& context) {
    const DataStore store(section, context);
    return store.models();
}

void attachDataStoreModels(Drawing& drawing, std::map<Handle, std::vector<std::uint8_t>> models) {
    if (models.empty()) return;
    for (Block& block : drawing.blocks) {
        for (Entity& entity : block.entities) {
            auto* acis = std::get_if<AcisData>(&entity.data);
            if (!acis || !acis->bytes.empty()) continue;
            const auto found = models.find(entity.header.handle);
            if (found != models.end()) acis->bytes = std::move(found->second);
        }
    }
}

}  // namespace dwg::detail
