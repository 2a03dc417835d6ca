#include <dwg/Drawing.h>

#include <algorithm>

namespace dwg {

Color Color::fromIndex(int aci) {
    if (aci == 0) return Color{Kind::ByBlock, 0, 0};
    if (aci == 256 || aci > 256 || aci < -255) return Color{};
    return Color{Kind::Index, aci, 0};
}

Color Color::fromTrueColor(std::uint32_t rgb) { return Color{Kind::True, 256, rgb & 0xFFFFFF}; }

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
    const auto found = std::find_if(blocks.begin(), blocks.end(), [&](const Block& b) { return b.handle == handle; });
    return found == blocks.end() ? nullptr : &*found;
}

const Layer* Drawing::findLayer(Handle handle) const {
    const auto found = std::find_if(layers.begin(), layers.end(), [&](const Layer& l) { return l.handle == handle; });
    return found == layers.end() ? nullptr : &*found;
}

std::map<std::string, int> countEntityTypes(const Block& block) {
    std::map<std::string, int> counts;
    for (const Entity& entity : block.entities) {
        ++counts[entity.typeName];
        if (const auto* polyline = std::get_if<Polyline>(&entity.data)) {
            const char* vertexName = "VERTEX_2D";
            switch (polyline->kind) {
            case Polyline::Kind::Polyline2D: vertexName = "VERTEX_2D"; break;
            case Polyline::Kind::Polyline3D: vertexName = "VERTEX_3D"; break;
            case Polyline::Kind::PolyfaceMesh: vertexName = "VERTEX_PFACE"; break;
            case Polyline::Kind::PolygonMesh: vertexName = "VERTEX_MESH"; break;
            }
            if (!polyline->vertices.empty()) counts[vertexName] += static_cast<int>(polyline->vertices.size());
            if (!polyline->faces.empty()) counts["VERTEX_PFACE_FACE"] += static_cast<int>(polyline->faces.size());
        } else if (const auto* insert = std::get_if<Insert>(&entity.data)) {
            if (!insert->attributes.empty()) counts["ATTRIB"] += static_cast<int>(insert->attributes.size());
        }
    }
    return counts;
}

}  // namespace dwg
