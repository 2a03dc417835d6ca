// Objects as decoded one by one, before they are assembled into a Drawing:
// they still carry the ownership links that the assembly resolves.
#pragma once

#include <dwg/Drawing.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Sections.h"

namespace dwg::detail {

enum class EntityRole {
    Plain,          // drawn where its owner puts it
    BlockBoundary,  // BLOCK, ENDBLK: not part of the contents
    SequenceEnd,    // SEQEND
    Child,          // VERTEX, ATTRIB: belongs to a POLYLINE or INSERT
};

struct EntityRecord {
    Entity entity;
    EntityRole role = EntityRole::Plain;
    int mode = 0;  // 0 owner handle given, 1 paper space, 2 model space
    // POLYLINE/INSERT children as listed by the parent (R2004+); empty before R2004,
    // where the children are found by their owner handle.
    std::vector<Handle> children;
    // Children the parent names before R2004: first and last, children lie between.
    Handle firstChild = 0;
    Handle lastChild = 0;
    // What a VERTEX child adds to its POLYLINE.
    std::optional<Vertex> vertex;
    std::optional<PolyfaceFace> face;
};

struct BlockRecord {
    Handle handle = 0;
    std::string name;
    Point3 basePoint;
    bool anonymous = false;
    bool isXref = false;
};

// Entity records in object-map order, kept in chunks of fixed capacity: adding
// one never moves the others, and growth never holds two copies at once.
class EntityRecords {
  public:
    std::size_t size() const { return size_; }
    EntityRecord& operator[](std::size_t index) { return chunks_[index / kChunk][index % kChunk]; }
    const EntityRecord& operator[](std::size_t index) const {
        return chunks_[index / kChunk][index % kChunk];
    }

    void push_back(EntityRecord&& record, const FileContext& context) {
        if (size_ % kChunk == 0) {
            context.charge(kChunk, sizeof(EntityRecord));
            chunks_.emplace_back().reserve(kChunk);
        }
        chunks_.back().push_back(std::move(record));
        ++size_;
    }

  private:
    static constexpr std::size_t kChunk = 256;
    std::vector<std::vector<EntityRecord>> chunks_;
    std::size_t size_ = 0;
};

struct DecodedObjects {
    EntityRecords entities;
    std::vector<BlockRecord> blocks;
    std::vector<Layer> layers;
    std::vector<Linetype> linetypes;
    std::vector<TextStyle> textStyles;
    int damaged = 0;  // records that failed their CRC or framing and were left out
};

// Decodes one object record; the parsers of the object types live behind this.
class ObjectDecoder {
  public:
    ObjectDecoder(Bytes objects, const ClassTable& classes, const FileContext& context);

    // Decodes the object at `offset` and adds what it holds to `out`.
    void decode(const ObjectLocation& location, DecodedObjects& out);

  private:
    Bytes objects_;
    const ClassTable& classes_;
    const FileContext& context_;
};

Drawing assembleDrawing(DecodedObjects&& objects, const HeaderVariables& header,
                        const FileContext& context);

}  // namespace dwg::detail
