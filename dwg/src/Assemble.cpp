// Turns the decoded objects into a Drawing: entities go to the block that owns
// them, VERTEX and ATTRIB records join their POLYLINE or INSERT.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "ObjectRecords.h"
#include "Text.h"
#include "VisualStyle.h"

namespace dwg::detail {
namespace {

bool acceptsChildren(const Entity& entity) {
    return std::holds_alternative<Polyline>(entity.data) ||
           std::holds_alternative<Insert>(entity.data);
}

// Children in the order the parent lists them (R2004+), else in handle order.
void orderChildren(const std::vector<Handle>& listed, std::vector<const EntityRecord*>& children) {
    if (listed.empty()) {
        std::stable_sort(children.begin(), children.end(),
                         [](const EntityRecord* a, const EntityRecord* b) {
                             return a->entity.header.handle < b->entity.header.handle;
                         });
        return;
    }
    std::unordered_map<Handle, std::size_t> rank;
    for (std::size_t i = 0; i < listed.size(); ++i) rank.emplace(listed[i], i);
    auto rankOf = [&](const EntityRecord* r) {
        const auto found = rank.find(r->entity.header.handle);
        return found == rank.end() ? listed.size() : found->second;
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

template <typename Style>
std::unordered_map<Handle, const Style*> byHandle(const std::vector<Style>& styles) {
    std::unordered_map<Handle, const Style*> index;
    for (const Style& style : styles) index.emplace(style.handle, &style);
    return index;
}

void applyEntityStyles(DecodedObjects& objects) {
    const auto mleaderStyles = byHandle(objects.mleaderStyles);
    const auto mlineStyles = byHandle(objects.mlineStyles);
    for (const StyledEntity& styled : objects.styled) {
        Entity& entity = objects.entitiesByOwner.at(styled.owner)[styled.index];
        if (auto* leader = std::get_if<MultiLeader>(&entity.data); leader && styled.mleader) {
            const auto style = mleaderStyles.find(styled.mleader->style);
            applyMLeaderStyle(*leader, *styled.mleader,
                              style == mleaderStyles.end() ? nullptr : style->second);
        } else if (auto* line = std::get_if<MLine>(&entity.data)) {
            const auto style = mlineStyles.find(line->style);
            if (style != mlineStyles.end()) applyMLineStyle(*line, *style->second);
        }
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

// The "*Active" viewports in the table's order, then those its list does not
// name in the order met; the first is the current one.
std::vector<const ActiveViewport*> viewportsInOrder(const DecodedObjects& objects) {
    std::vector<const ActiveViewport*> ordered;
    std::unordered_map<Handle, const ActiveViewport*> byHandle;
    for (const ActiveViewport& active : objects.activeViews)
        byHandle.emplace(active.handle, &active);
    for (Handle entry : objects.viewportOrder)
        if (const auto found = byHandle.find(entry); found != byHandle.end()) {
            ordered.push_back(found->second);
            byHandle.erase(found);  // a handle listed twice counts once
        }
    for (const ActiveViewport& active : objects.activeViews)
        if (byHandle.erase(active.handle) > 0) ordered.push_back(&active);
    return ordered;
}

// The viewport's view, in its visual style where that style was read.
SavedView viewOf(const ActiveViewport& viewport, const DecodedObjects& objects) {
    SavedView view = viewport.view;
    if (viewport.visualStyle != 0) {
        const auto style = std::find_if(
            objects.visualStyles.begin(), objects.visualStyles.end(),
            [&](const VisualStyleProperties& s) { return s.handle == viewport.visualStyle; });
        if (style != objects.visualStyles.end()) {
            view.visualStyleProperties = *style;
            view.visualStyle = visualStyleLook(*style);
        }
    }
    return view;
}

// The CAD program splits its window into at most this many viewports; a file
// claiming more has the first of them drawn.
constexpr std::size_t kMaxTiledViews = 64;

void assembleViews(const DecodedObjects& objects, Drawing& drawing) {
    const std::vector<const ActiveViewport*> viewports = viewportsInOrder(objects);
    if (viewports.empty()) return;
    drawing.activeView = viewOf(*viewports.front(), objects);
    if (viewports.size() < 2) return;
    for (const ActiveViewport* viewport : viewports) {
        if (drawing.tiledViews.size() == kMaxTiledViews) break;
        drawing.tiledViews.push_back(viewOf(*viewport, objects));
    }
}

// A face naming a vertex its polyface does not have is left out, whatever
// else it holds: indices count from 1, negative ones hide the edge they start.
void dropFacesOutsideVertices(Polyline& polyline, std::map<std::string, int>& skipped) {
    const auto vertexCount = static_cast<long>(polyline.vertices.size());
    const auto outside = [&](const PolyfaceFace& face) {
        return std::any_of(face.indices.begin(), face.indices.end(),
                           [&](int index) { return std::labs(index) > vertexCount; });
    };
    const auto kept = std::remove_if(polyline.faces.begin(), polyline.faces.end(), outside);
    if (const auto dropped = std::distance(kept, polyline.faces.end()); dropped > 0)
        skipped["VERTEX_PFACE_FACE"] += static_cast<int>(dropped);
    polyline.faces.erase(kept, polyline.faces.end());
}

}  // namespace

void DecodedObjects::addEntity(EntityRecord&& record, const FileContext& context) {
    if (record.role == EntityRole::Child) {
        context.charge(1, sizeof(EntityRecord));
        children.push_back(std::move(record));
        return;
    }
    if (record.role != EntityRole::Plain) return;
    const Handle owner = record.mode == 1   ? kPaperSpaceOwner
                         : record.mode == 2 ? kModelSpaceOwner
                                            : record.entity.header.owner;
    // Consecutive entities mostly share their owner.
    if (lastList_ == nullptr || owner != lastOwner_) {
        lastList_ = &entitiesByOwner[owner];
        lastOwner_ = owner;
    }
    std::vector<Entity>& list = *lastList_;
    if (list.size() == list.capacity())
        context.charge(std::max<std::size_t>(list.size(), 1), sizeof(Entity));
    if (acceptsChildren(record.entity))
        parents.emplace(record.entity.header.handle,
                        ParentPlace{owner, list.size(), std::move(record.children)});
    if (std::holds_alternative<MultiLeader>(record.entity.data) ||
        std::holds_alternative<MLine>(record.entity.data))
        styled.push_back(StyledEntity{owner, list.size(), std::move(record.mleader)});
    list.push_back(std::move(record.entity));
}

Drawing assembleDrawing(DecodedObjects&& objects, const HeaderVariables& header,
                        const FileContext& context) {
    Drawing drawing;
    drawing.version = context.version;
    drawing.codePage = context.codePage;
    drawing.header = header;
    drawing.layers = std::move(objects.layers);
    drawing.imageDefinitions = std::move(objects.imageDefinitions);
    assembleViews(objects, drawing);
    drawing.linetypes = std::move(objects.linetypes);
    drawing.textStyles = std::move(objects.textStyles);

    std::unordered_set<Handle> blockHandles;
    Handle modelSpace = 0;
    Handle paperSpace = 0;
    for (BlockRecord& record : objects.blocks) {
        if (!blockHandles.insert(record.handle).second) continue;
        Block block;
        block.handle = record.handle;
        block.name = std::move(record.name);
        block.basePoint = record.basePoint;
        block.anonymous = record.anonymous;
        block.isXref = record.isXref;
        const std::string name = asciiUpper(block.name);
        block.modelSpace = block.handle == header.modelSpaceBlock || name == "*MODEL_SPACE";
        block.paperSpace =
            block.handle == header.paperSpaceBlock || name.starts_with("*PAPER_SPACE");
        if (block.modelSpace && (modelSpace == 0 || block.handle == header.modelSpaceBlock))
            modelSpace = block.handle;
        if (block.paperSpace && (paperSpace == 0 || block.handle == header.paperSpaceBlock))
            paperSpace = block.handle;
        drawing.blocks.push_back(std::move(block));
    }

    applyEntityStyles(objects);

    // Children gathered per parent; a child whose parent is missing is dropped.
    std::unordered_map<Handle, std::vector<const EntityRecord*>> childrenOf;
    for (const EntityRecord& child : objects.children)
        if (objects.parents.contains(child.entity.header.owner))
            childrenOf[child.entity.header.owner].push_back(&child);
    for (auto& [parentHandle, children] : childrenOf) {
        const ParentPlace& place = objects.parents.at(parentHandle);
        orderChildren(place.children, children);
        Entity& parent = objects.entitiesByOwner.at(place.owner)[place.index];
        for (const EntityRecord* child : children)
            attachChild(parent, *child, drawing.skippedEntities);
        if (auto* polyline = std::get_if<Polyline>(&parent.data))
            dropFacesOutsideVertices(*polyline, drawing.skippedEntities);
    }

    auto take = [&](Handle owner) {
        std::vector<Entity> list;
        if (const auto found = objects.entitiesByOwner.find(owner);
            found != objects.entitiesByOwner.end())
            list = std::move(found->second);
        return list;
    };
    for (Block& block : drawing.blocks) {
        block.entities = take(block.handle);
        const Handle space = block.handle == modelSpace   ? kModelSpaceOwner
                             : block.handle == paperSpace ? kPaperSpaceOwner
                                                          : 0;
        if (space != 0) {
            // Entities stored in the space by their mode and those naming it as
            // owner, back in object-map order, which is handle order.
            std::vector<Entity> stored = take(space);
            if (block.entities.empty()) {
                block.entities = std::move(stored);
            } else if (!stored.empty()) {
                context.charge(block.entities.size() + stored.size(), sizeof(Entity));
                std::vector<Entity> merged;
                merged.reserve(block.entities.size() + stored.size());
                std::merge(std::make_move_iterator(block.entities.begin()),
                           std::make_move_iterator(block.entities.end()),
                           std::make_move_iterator(stored.begin()),
                           std::make_move_iterator(stored.end()), std::back_inserter(merged),
                           [](const Entity& a, const Entity& b) {
                               return a.header.handle < b.header.handle;
                           });
                block.entities = std::move(merged);
            }
        }
        for (Entity& entity : block.entities) {
            if (entity.header.owner == 0) entity.header.owner = block.handle;
            normaliseLinetype(entity.header, header);
            if (std::holds_alternative<Unsupported>(entity.data) && !showsNothing(entity.typeName))
                ++drawing.skippedEntities[entity.typeName];
        }
    }
    drawing.damagedObjects = objects.damaged;
    return drawing;
}

}  // namespace dwg::detail
