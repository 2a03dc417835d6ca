#include <dwg/Drawing.h>

#include <algorithm>
#include <unordered_map>

namespace dwg {

Color Color::fromIndex(int aci) {
    if (aci == 0) return Color{Kind::ByBlock, 0, 0};
    if (aci == 256 || aci > 256 || aci < -255) return Color{};
    return Color{Kind::Index, aci, 0};
}

Color Color::fromTrueColor(std::uint32_t rgb) {
    return Color{Kind::True, 256, rgb & 0xFFFFFF};
}

bool showsNothing(std::string_view typeName) {
    return typeName == "LIGHT" || typeName == "CAMERA";
}

const Block* Drawing::modelSpace() const {
    const Block* found = nullptr;
    for (const Block& block : blocks) {
        if (!block.modelSpace) continue;
        if (block.handle == header.modelSpaceBlock) return &block;
        if (!found) found = &block;
    }
    return found;
}

const Block* Drawing::findBlock(Handle handle) const {
    const auto found = std::find_if(blocks.begin(), blocks.end(),
                                    [&](const Block& b) { return b.handle == handle; });
    return found == blocks.end() ? nullptr : &*found;
}

const Layer* Drawing::findLayer(Handle handle) const {
    const auto found = std::find_if(layers.begin(), layers.end(),
                                    [&](const Layer& l) { return l.handle == handle; });
    return found == layers.end() ? nullptr : &*found;
}

std::map<std::string, int> countEntityTypes(const Block& block) {
    std::map<std::string, int> counts;
    for (const Entity& entity : block.entities) {
        ++counts[entity.typeName];
        if (const auto* polyline = std::get_if<Polyline>(&entity.data)) {
            const char* vertexName = "VERTEX_2D";
            switch (polyline->kind) {
                case Polyline::Kind::Polyline2D:
                    vertexName = "VERTEX_2D";
                    break;
                case Polyline::Kind::Polyline3D:
                    vertexName = "VERTEX_3D";
                    break;
                case Polyline::Kind::PolyfaceMesh:
                    vertexName = "VERTEX_PFACE";
                    break;
                case Polyline::Kind::PolygonMesh:
                    vertexName = "VERTEX_MESH";
                    break;
            }
            if (!polyline->vertices.empty())
                counts[vertexName] += static_cast<int>(polyline->vertices.size());
            if (!polyline->faces.empty())
                counts["VERTEX_PFACE_FACE"] += static_cast<int>(polyline->faces.size());
        } else if (const auto* insert = std::get_if<Insert>(&entity.data)) {
            if (!insert->attributes.empty())
                counts["ATTRIB"] += static_cast<int>(insert->attributes.size());
        }
    }
    return counts;
}

namespace {

class BlockWalker {
  public:
    BlockWalker(const Drawing& drawing, const BlockVisitor& visit, BlockWalkLimits limits)
        : visit_(visit), limits_(limits) {
        for (const Block& block : drawing.blocks) blocks_.emplace(block.handle, &block);
    }

    void walk(const Block& block) {
        active_.push_back(block.handle);
        for (const Entity& entity : block.entities) {
            if (visits_ >= limits_.maxVisits) {
                report_.stoppedAtVisitLimit = true;
                break;
            }
            ++visits_;
            visit_(entity, path_);
            Handle referenced = 0;
            if (const auto* insert = std::get_if<Insert>(&entity.data))
                referenced = insert->block;
            else if (const auto* dimension = std::get_if<Dimension>(&entity.data))
                referenced = dimension->block;
            if (referenced == 0) continue;
            const auto found = blocks_.find(referenced);
            const Block* target = found == blocks_.end() ? nullptr : found->second;
            if (!target) {
                ++report_.missingBlocks;
            } else if (std::find(active_.begin(), active_.end(), referenced) != active_.end()) {
                ++report_.cyclesSkipped;
            } else if (static_cast<int>(path_.size()) >= limits_.maxDepth) {
                ++report_.tooDeepSkipped;
            } else {
                path_.push_back(&entity);
                walk(*target);
                path_.pop_back();
            }
        }
        active_.pop_back();
    }

    BlockWalkReport report() const { return report_; }

  private:
    const BlockVisitor& visit_;
    BlockWalkLimits limits_;
    std::unordered_map<Handle, const Block*> blocks_;
    std::size_t visits_ = 0;
    std::vector<Handle> active_;
    std::vector<const Entity*> path_;
    BlockWalkReport report_;
};

}  // namespace

BlockWalkReport walkBlock(const Drawing& drawing, const Block& block, const BlockVisitor& visit,
                          BlockWalkLimits limits) {
    BlockWalker walker(drawing, visit, limits);
    walker.walk(block);
    return walker.report();
}

}  // namespace dwg
