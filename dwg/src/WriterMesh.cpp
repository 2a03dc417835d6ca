// MESH, the subdivision mesh (2010 on): its cage of vertices, faces and edges
// with their creases, as AutoCAD 2010 and later store it.
#include <algorithm>

#include "WriterModel.h"

namespace dwg::detail {
namespace {

// The record layout's own version, the one every release since 2010 writes.
constexpr std::int16_t kMeshRecordVersion = 2;

bool validIndex(int index, std::size_t count) {
    return index >= 0 && static_cast<std::size_t>(index) < count;
}

}  // namespace

void checkMesh(const SubdivisionMesh& mesh, Version version, const std::string& where) {
    if (version < Version::R2010) throw WriteError(where + " não existe antes do AutoCAD 2010");
    const std::size_t count = mesh.vertices.size();
    if (count == 0) throw WriteError(where + " não tem vértices");
    for (const auto& face : mesh.faces) {
        if (face.size() < 3) throw WriteError(where + " tem face com menos de três vértices");
        if (!std::all_of(face.begin(), face.end(), [&](int i) { return validIndex(i, count); }))
            throw WriteError(where + " tem face com vértice inexistente");
    }
    for (const auto& [from, to] : mesh.edges)
        if (!validIndex(from, count) || !validIndex(to, count))
            throw WriteError(where + " tem aresta com vértice inexistente");
    if (!mesh.creases.empty() && mesh.creases.size() != mesh.edges.size())
        throw WriteError(where + " tem vincos que não correspondem às arestas");
}

void writeMeshBody(RecordStreams& o, const SubdivisionMesh& mesh) {
    BitWriter& d = o.data();
    d.bitShort(kMeshRecordVersion);
    d.bit(false);  // creases not blended
    d.bitLong(mesh.subdivisionLevel);
    d.bitLong(static_cast<std::int32_t>(mesh.vertices.size()));
    for (const Point3& p : mesh.vertices) d.bitPoint3(p);
    // The faces as one list: each face's corner count, then its corners.
    std::size_t listSize = 0;
    for (const auto& face : mesh.faces) listSize += face.size() + 1;
    d.bitLong(static_cast<std::int32_t>(listSize));
    for (const auto& face : mesh.faces) {
        d.bitLong(static_cast<std::int32_t>(face.size()));
        for (int index : face) d.bitLong(index);
    }
    d.bitLong(static_cast<std::int32_t>(mesh.edges.size()));
    for (const auto& [from, to] : mesh.edges) {
        d.bitLong(from);
        d.bitLong(to);
    }
    d.bitLong(static_cast<std::int32_t>(mesh.creases.size()));
    for (double crease : mesh.creases) d.bitDouble(crease);
    d.bitLong(0);  // no face, edge or vertex with properties of its own
}

}  // namespace dwg::detail
