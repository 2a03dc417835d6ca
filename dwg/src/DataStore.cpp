#include "DataStore.h"

#include <algorithm>
#include <string_view>

#include "ContainerBytes.h"

namespace dwg::detail {
namespace {

using container::readU32;
using container::readU64;
using container::slice;

constexpr std::size_t kSegmentHeaderSize = 0x30;
constexpr std::size_t kRecordHeaderSize = 0x14;
constexpr std::uint32_t kBlobReference = 0xBB106BB1;
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
        // Each index entry takes 12 bytes after the index segment's header.
        const std::uint64_t first = indexOffset + kSegmentHeaderSize;
        slice(s_, first, std::uint64_t{segmentCount} * 12);
        segments_.reserve(segmentCount);
        for (std::uint32_t i = 0; i < segmentCount; ++i)
            segments_.push_back({readU64(s_, first + 12 * i), readU32(s_, first + 12 * i + 8)});
    }

    std::map<Handle, std::vector<std::uint8_t>> models() {
        const Segment index = segment(dataIndex_);
        const std::uint64_t entries = index.offset + kSegmentHeaderSize;
        const std::uint32_t count = readU32(s_, entries);
        slice(s_, entries + 8, std::uint64_t{count} * 12);
        std::map<Handle, std::vector<std::uint8_t>> found;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t at = entries + 8 + 12 * std::uint64_t{i};
            const std::uint32_t segmentIndex = readU32(s_, at);
            if (segmentIndex == 0) continue;  // stub
            record(segmentIndex, readU32(s_, at + 4), found);
        }
        return found;
    }

  private:
    Segment segment(std::uint32_t index) const {
        if (index >= segments_.size()) container::throwDamaged("segmento do armazenamento inexistente");
        const Segment s = segments_[index];
        slice(s_, s.offset, s.size);
        if (s.size < kSegmentHeaderSize) container::throwDamaged("segmento do armazenamento truncado");
        return s;
    }

    void record(std::uint32_t segmentIndex, std::uint32_t localOffset,
                std::map<Handle, std::vector<std::uint8_t>>& found) const {
        const Segment data = segment(segmentIndex);
        const std::uint64_t header = data.offset + kSegmentHeaderSize + localOffset;
        slice(s_, header, kRecordHeaderSize);
        const Handle handle = readU64(s_, header + 8);
        const std::uint64_t dataStart = data.offset + (std::uint64_t{readU32(s_, data.offset + 0x24)} << 4);
        const std::uint64_t start = dataStart + readU32(s_, header + 16);
        const std::uint64_t end = data.offset + data.size;
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

    // A record too large for its segment, spread over blob pages.
    std::vector<std::uint8_t> blob(std::uint64_t at, std::uint64_t end) const {
        if (end - at < 28) container::throwDamaged("referência de blob truncada");
        const std::uint64_t total = readU64(s_, at);
        const std::uint32_t pages = readU32(s_, at + 8);
        if (pages > kMaxBlobPages || pages * std::uint64_t{8} > end - at - 28 || total > s_.size())
            container::throwDamaged("referência de blob inválida");
        context_.charge(total, 1);
        std::vector<std::uint8_t> bytes;
        bytes.reserve(static_cast<std::size_t>(total));
        for (std::uint32_t p = 0; p < pages; ++p) {
            const Segment page = segment(readU32(s_, at + 28 + 8 * std::uint64_t{p}));
            const std::uint64_t pageHeader = page.offset + kSegmentHeaderSize;
            const std::uint64_t pageSize = readU64(s_, pageHeader + 24);
            if (pageSize > page.size - kSegmentHeaderSize - 32 || pageSize > total - bytes.size())
                container::throwDamaged("página de blob inválida");
            const auto stored = slice(s_, pageHeader + 32, pageSize);
            bytes.insert(bytes.end(), stored.begin(), stored.end());
        }
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
    DataStore store(section, context);
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
