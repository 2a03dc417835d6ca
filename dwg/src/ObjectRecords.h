// Objects as decoded one by one, before they are assembled into a Drawing:
// they still carry the ownership links that the assembly resolves.
#pragma once

#include <dwg/Drawing.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "EntityStyles.h"
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
    // A MULTILEADER's values that wait for its style.
    std::optional<MLeaderPending> mleader;
};

struct BlockRecord {
    Handle handle = 0;
    std::string name;
    Point3 basePoint;
    bool anonymous = false;
    bool isXref = false;
};

struct DecodedObjects {
    std::vector<EntityRecord> entities;  // in object-map order
    std::vector<BlockRecord> blocks;
    std::vector<Layer> layers;
    std::vector<Linetype> linetypes;
    std::vector<TextStyle> textStyles;
    std::vector<MLeaderStyle> mleaderStyles;
    std::vector<MLineStyle> mlineStyles;
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
