// MESH, the subdivision mesh: its base cage of vertices, faces and edges,
// and the creases of its edges.
#include "FieldReader.h"
#include "MoreEntityParsers.h"

namespace dwg::detail {

void parseSubdivisionMesh(EntityParseContext& context) {
    FieldReader f(context.streams, context.file, context.record.entity.header.handle);
    BitReader& d = f.data();
    SubdivisionMesh mesh;
    d.bitShort();  // version
    d.bit();       // blend crease
    mesh.subdivisionLevel = d.bitLong();
    const std::size_t vertexCount = f.count("vértices de malha", kMinBitsPoint3);
    mesh.vertices.reserve(vertexCount);
    for (std::size_t i = 0; i < vertexCount; ++i) mesh.vertices.push_back(d.bitPoint3());
    auto vertexIndex = [&] {
        const std::int32_t index = d.bitLong();
        if (index < 0 || static_cast<std::size_t>(index) >= vertexCount)
            throw Error::damaged("índice de vértice de malha inválido");
        return static_cast<int>(index);
    };
    // Faces come as one list: a vertex count, then that many indices, and so on.
    const std::size_t listSize = f.count("faces de malha", kMinBitsBitLong);
    for (std::size_t used = 0; used < listSize;) {
        const std::int32_t corners = d.bitLong();
        if (corners < 0 || static_cast<std::size_t>(corners) >= listSize - used)
            throw Error::damaged("face de malha inválida");
        std::vector<int> face;
        face.reserve(static_cast<std::size_t>(corners));
        for (std::int32_t i = 0; i < corners; ++i) face.push_back(vertexIndex());
        mesh.faces.push_back(std::move(face));
        used += static_cast<std::size_t>(corners) + 1;
    }
    const std::size_t edgeCount = f.count("arestas de malha", 2 * kMinBitsBitLong);
    mesh.edges.reserve(edgeCount);
    for (std::size_t i = 0; i < edgeCount; ++i) {
        const int from = vertexIndex();
        mesh.edges.emplace_back(from, vertexIndex());
    }
    const std::size_t creaseCount = f.count("vincos de malha", kMinBitsBitDouble);
    context.file.charge(creaseCount, sizeof(double));
    mesh.creases.reserve(creaseCount);
    for (std::size_t i = 0; i < creaseCount; ++i) mesh.creases.push_back(d.bitDouble());
    // A crease belongs to the edge at its place in the list; any other count says nothing sure.
    if (mesh.creases.size() != mesh.edges.size()) mesh.creases.clear();
    context.record.entity.data = std::move(mesh);
}

}  // namespace dwg::detail
