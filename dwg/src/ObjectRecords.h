// Objects as decoded one by one, before they are assembled into a Drawing:
// they still carry the ownership links that the assembly resolves.
#pragma once

#include <dwg/Drawing.h>

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
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
    // R2013+: the entity's data lies in the data store (a body's ACIS model).
    bool dataStoreData = false;
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

// Where a plain entity waits for its block: under the handle of its owner,
// or under one of these when it is stored in model or paper space.
inline constexpr Handle kModelSpaceOwner = ~Handle{0};
inline constexpr Handle kPaperSpaceOwner = ~Handle{0} - 1;

// A POLYLINE or INSERT that children may join.
struct ParentPlace {
    Handle owner = 0;              // its list in DecodedObjects::entitiesByOwner
    std::size_t index = 0;         // its place in that list
    std::vector<Handle> children;  // as the parent lists them (R2004+)
};

// A MULTILEADER or MLINE whose look waits for its style object.
struct StyledEntity {
    Handle owner = 0;       // its list in DecodedObjects::entitiesByOwner
    std::size_t index = 0;  // its place in that list
    std::optional<MLeaderPending> mleader;
};

struct ActiveViewport {
    Handle handle = 0;
    SavedView view;
    Handle visualStyle = 0;  // R2007+, 0 where none is named
};

struct DecodedObjects {
    // Plain entities in object-map order, by owner: each list becomes the
    // contents of a block as it is, without being copied again.
    std::unordered_map<Handle, std::vector<Entity>> entitiesByOwner;
    std::unordered_map<Handle, ParentPlace> parents;  // by the parent's handle
    std::vector<EntityRecord> children;               // VERTEX and ATTRIB records
    std::vector<StyledEntity> styled;
    std::vector<BlockRecord> blocks;
    std::vector<Layer> layers;
    std::vector<Linetype> linetypes;
    std::vector<TextStyle> textStyles;
    std::vector<MLeaderStyle> mleaderStyles;
    std::vector<MLineStyle> mlineStyles;
    std::vector<VisualStyleProperties> visualStyles;
    std::vector<ImageDefinition> imageDefinitions;
    std::vector<ActiveViewport> activeViews;  // in object-map order
    std::vector<Handle> viewportOrder;        // the VPORT table's entries, in its order
    int damaged = 0;  // records that failed their CRC or framing and were left out

    // Files `record` where the assembly will look for it; BLOCK, ENDBLK and
    // SEQEND records hold nothing the drawing needs and are dropped.
    void addEntity(EntityRecord&& record, const FileContext& context);

  private:
    Handle lastOwner_ = 0;
    std::vector<Entity>* lastList_ = nullptr;
};

Drawing assembleDrawing(DecodedObjects&& objects, const HeaderVariables& header,
                        const FileContext& context);

}  // namespace dwg::detail
