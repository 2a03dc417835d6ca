// Turns the decoded objects into a Drawing: entities go to the block that owns
// them, VERTEX and ATTRIB records join their POLYLINE or INSERT.
#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "ObjectRecords.h"

namespace dwg::detail {
namespace {

constexpr std::size_t kNoBlock = ~std::size_t{0};

std::string upper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

bool acceptsChildren(const EntityRecord& record) {
    return std::holds_alternative<Polyline>(record.entity.data) ||
           std::holds_alternative<Insert>(record.entity.data);
}

// Children in the order the parent lists them (R2004+), else in handle order.
void orderChildren(const EntityRecord& parent, std::vector<const EntityRecord*>& children) {
    if (parent.children.empty()) {
        std::stable_sort(children.begin(), children.end(),
                         [](const EntityRecord* a, const EntityRecord* b) {
                             return a->entity.header.handle < b->entity.header.handle;
                         });
        return;
    }
    std::unordered_map<Handle, std::size_t> rank;
    for (std::size_t i = 0; i < parent.children.size(); ++i) rank.emplace(parent.children[i], i);
    auto rankOf = [&](const EntityRecord* r) {
        const auto found = rank.find(r->entity.header.handle);
        return found == rank.end() ? parent.children.size() : found->second;
    };
    std::stable_sort(
        children.begin(), children.end(),
        [&](const EntityRecord* a, const EntityRecord* b) { return rankOf(a) < rankOf(b); });
}

void attachChild(Entity& parent, const EntityRecord& child, std::map<std::string, int>& skipped) {
    if (auto* polyline = std::get_if<Polyline>(&parent.data)) {
        if (child.vertex)
            polyline->vertices.push_back(*child.vertex);
        else if (child.face)
            polyline->faces.push_back(*child.face);
        else
            ++skipped[child.entity.typeName];
    } else if (auto* insert = std::get_if<Insert>(&parent.data)) {
        if (const auto* text = std::get_if<Text>(&child.entity.data))
            insert->attributes.push_back(AttributeEntity{child.entity.header, *text});
        else
            ++skipped[child.entity.typeName];
    }
}

// R13-R14 name the BYLAYER and BYBLOCK linetypes by handle; later files use flags.
void normaliseLinetype(EntityHeader& entity, const HeaderVariables& header) {
    if (entity.linetypeRef != EntityHeader::LinetypeRef::Explicit) return;
    if (entity.linetype == header.linetypeByLayer)
        entity.linetypeRef = EntityHeader::LinetypeRef::ByLayer;
    else if (entity.linetype == header.linetypeByBlock)
        entity.linetypeRef = EntityHeader::LinetypeRef::ByBlock;
    else if (entity.linetype == header.linetypeContinuous)
        entity.linetypeRef = EntityHeader::LinetypeRef::Continuous;
}

}  // namespace

Drawing assembleDrawing(DecodedObjects&& objects, const HeaderVariables& header,
                        const FileContext& context) {
    Drawing drawing;
    drawing.version = context.version;
    drawing.codePage = context.codePage;
    drawing.header = header;
    drawing.layers = std::move(objects.layers);
    drawing.linetypes = std::move(objects.linetypes);
    drawing.textStyles = std::move(objects.textStyles);

    std::unordered_map<Handle, std::size_t> blockIndex;
    Handle modelSpace = 0;
    Handle paperSpace = 0;
    for (BlockRecord& record : objects.blocks) {
        if (blockIndex.count(record.handle)) continue;
        Block block;
        block.handle = record.handle;
        block.name = std::move(record.name);
        block.basePoint = record.basePoint;
        block.anonymous = record.anonymous;
        block.isXref = record.isXref;
        const std::string name = upper(block.name);
        block.modelSpace = block.handle == header.modelSpaceBlock || name == "*MODEL_SPACE";
        block.paperSpace =
            block.handle == header.paperSpaceBlock || name.starts_with("*PAPER_SPACE");
        if (block.modelSpace && (modelSpace == 0 || block.handle == header.modelSpaceBlock))
            modelSpace = block.handle;
        if (block.paperSpace && (paperSpace == 0 || block.handle == header.paperSpaceBlock))
            paperSpace = block.handle;
        blockIndex.emplace(block.handle, drawing.blocks.size());
        drawing.blocks.push_back(std::move(block));
    }

    EntityRecords& records = objects.entities;
    // Children gathered per parent; a child whose parent is missing is dropped.
    std::unordered_map<Handle, EntityRecord*> parents;
    std::unordered_map<Handle, std::vector<const EntityRecord*>> childrenOf;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (acceptsChildren(records[i]))
            parents.emplace(records[i].entity.header.handle, &records[i]);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const EntityRecord& record = records[i];
        if (record.role == EntityRole::Child && parents.contains(record.entity.header.owner))
            childrenOf[record.entity.header.owner].push_back(&record);
    }
    for (auto& [parentHandle, children] : childrenOf) {
        EntityRecord& parent = *parents.at(parentHandle);
        orderChildren(parent, children);
        for (const EntityRecord* child : children)
            attachChild(parent.entity, *child, drawing.skippedEntities);
    }

    // Which block each plain entity goes to, counted first so that every
    // block's list is allocated once, at its final size.
    std::vector<std::size_t> target(records.size(), kNoBlock);
    std::vector<std::size_t> blockSizes(drawing.blocks.size(), 0);
    std::size_t placed = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const EntityRecord& record = records[i];
        if (record.role != EntityRole::Plain) continue;
        Handle owner = 0;
        switch (record.mode) {
            case 1:
                owner = paperSpace;
                break;
            case 2:
                owner = modelSpace;
                break;
            default:
                owner = record.entity.header.owner;
                break;
        }
        const auto block = blockIndex.find(owner);
        if (block == blockIndex.end()) continue;
        target[i] = block->second;
        ++blockSizes[block->second];
        ++placed;
    }
    context.charge(placed, sizeof(Entity));
    for (std::size_t b = 0; b < drawing.blocks.size(); ++b)
        drawing.blocks[b].entities.reserve(blockSizes[b]);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (target[i] == kNoBlock) continue;
        EntityRecord& record = records[i];
        Block& block = drawing.blocks[target[i]];
        if (record.entity.header.owner == 0) record.entity.header.owner = block.handle;
        normaliseLinetype(record.entity.header, header);
        if (std::holds_alternative<Unsupported>(record.entity.data))
            ++drawing.skippedEntities[record.entity.typeName];
        block.entities.push_back(std::move(record.entity));
    }
    drawing.damagedObjects = objects.damaged;
    return drawing;
}

}  // namespace dwg::detail
