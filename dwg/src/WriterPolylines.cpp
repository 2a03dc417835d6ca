// POLYLINE in its four forms (2D, 3D, polyface mesh, polygon mesh): the
// entity, then one VERTEX record per vertex (and, for a polyface mesh, one per
// face), closed by a SEQEND the polyline names.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "WriterModel.h"

namespace dwg::detail {
namespace {

// Vertex flags a reader expects of each form's vertices.
constexpr int kVertex3DFlag = 32;
constexpr int kVertexMeshFlag = 64;
constexpr int kVertexPfaceFlags = 128 | 64;
// Polyline flags: closed (in M for a mesh), closed in N.
constexpr int kClosedFlag = 1;
constexpr int kClosedNFlag = 32;

constexpr int kMaxShort = std::numeric_limits<std::int16_t>::max();

[[noreturn]] void refuse(const std::string& message) {
    throw WriteError("não é possível gravar o desenho: " + message);
}

}  // namespace

int polylineType(const Polyline& p) {
    switch (p.kind) {
        case Polyline::Kind::Polyline2D:
            return kTypePolyline2D;
        case Polyline::Kind::Polyline3D:
            return kTypePolyline3D;
        case Polyline::Kind::PolyfaceMesh:
            return kTypePolylinePface;
        case Polyline::Kind::PolygonMesh:
            break;
    }
    return kTypePolylineMesh;
}

void checkPolyline(const Polyline& p, const std::string& where) {
    if (p.kind == Polyline::Kind::PolygonMesh) {
        if (p.meshM < 2 || p.meshN < 2 || p.meshM > kMaxShort || p.meshN > kMaxShort ||
            static_cast<std::size_t>(p.meshM) * static_cast<std::size_t>(p.meshN) !=
                p.vertices.size())
            refuse(where + " tem malha de vértices que não fecha com M × N");
    }
    if (p.kind == Polyline::Kind::PolyfaceMesh) {
        if (p.vertices.size() > kMaxShort || p.faces.size() > kMaxShort)
            refuse(where + " tem vértices ou faces demais");
        const int count = static_cast<int>(p.vertices.size());
        for (const PolyfaceFace& face : p.faces)
            for (int index : face.indices)
                if (std::abs(index) > count) refuse(where + " tem face com vértice inexistente");
    } else if (!p.faces.empty()) {
        refuse(where + " tem faces sem ser malha de faces");
    }
    if (p.vertices.empty()) refuse(where + " não tem vértices");
}

void writePolylineBody(RecordStreams& o, const Polyline& p, const std::vector<Handle>& owned) {
    BitWriter& d = o.data();
    switch (p.kind) {
        case Polyline::Kind::Polyline2D:
            d.bitShort(static_cast<std::int16_t>(p.flags | (p.closed ? kClosedFlag : 0)));
            d.bitShort(0);  // curve type: none
            d.bitDouble(p.startWidth);
            d.bitDouble(p.endWidth);
            d.thickness(p.thickness);
            d.bitDouble(p.elevation);
            d.extrusion(p.extrusion);
            break;
        case Polyline::Kind::Polyline3D:
            d.rawChar(0);  // not fitted
            d.rawChar(static_cast<std::uint8_t>(p.flags | (p.closed ? kClosedFlag : 0)));
            break;
        case Polyline::Kind::PolyfaceMesh:
            d.bitShort(static_cast<std::int16_t>(p.vertices.size()));
            d.bitShort(static_cast<std::int16_t>(p.faces.size()));
            break;
        case Polyline::Kind::PolygonMesh:
            d.bitShort(static_cast<std::int16_t>(p.flags | (p.closed ? kClosedFlag : 0) |
                                                 (p.closedN ? kClosedNFlag : 0)));
            d.bitShort(0);  // not smoothed
            d.bitShort(static_cast<std::int16_t>(p.meshM));
            d.bitShort(static_cast<std::int16_t>(p.meshN));
            d.bitShort(0);  // densities, for smoothing only
            d.bitShort(0);
            break;
    }
    if (o.version() >= Version::R2004) d.bitLong(static_cast<std::int32_t>(owned.size() - 1));
    writeOwnedHandles(o, owned);
}

void writeOwnedHandles(RecordStreams& o, const std::vector<Handle>& owned) {
    BitWriter& h = o.handles();
    const std::size_t records = owned.size() - 1;
    if (o.version() >= Version::R2004) {
        for (std::size_t i = 0; i < records; ++i) h.handle(Ref::HardOwner, owned[i]);
    } else {
        h.handle(Ref::SoftPointer, records > 0 ? owned.front() : 0);
        h.handle(Ref::SoftPointer, records > 0 ? owned[records - 1] : 0);
    }
    h.handle(Ref::HardOwner, owned.back());
}

int vertexType(const Polyline& p, std::size_t record) {
    switch (p.kind) {
        case Polyline::Kind::Polyline2D:
            return kTypeVertex2D;
        case Polyline::Kind::Polyline3D:
            return kTypeVertex3D;
        case Polyline::Kind::PolyfaceMesh:
            return record < p.vertices.size() ? kTypeVertexPface : kTypeVertexPfaceFace;
        case Polyline::Kind::PolygonMesh:
            break;
    }
    return kTypeVertexMesh;
}

void writeVertexBody(RecordStreams& o, const Polyline& p, std::size_t record) {
    BitWriter& d = o.data();
    if (record >= p.vertices.size()) {
        for (int index : p.faces[record - p.vertices.size()].indices)
            d.bitShort(static_cast<std::int16_t>(index));
        return;
    }
    const Vertex& v = p.vertices[record];
    int flags = v.flags;
    if (p.kind == Polyline::Kind::Polyline3D) flags |= kVertex3DFlag;
    if (p.kind == Polyline::Kind::PolygonMesh) flags |= kVertexMeshFlag;
    if (p.kind == Polyline::Kind::PolyfaceMesh) flags |= kVertexPfaceFlags;
    d.rawChar(static_cast<std::uint8_t>(flags));
    d.bitPoint3(v.position);
    if (p.kind != Polyline::Kind::Polyline2D) return;
    const double start = std::fabs(v.startWidth);
    const double end = std::fabs(v.endWidth);
    // Equal widths are stored once, negated.
    if (start == end && start > 0) {
        d.bitDouble(-start);
    } else {
        d.bitDouble(start);
        d.bitDouble(end);
    }
    d.bitDouble(v.bulge);
    if (o.version() >= Version::R2010) d.bitLong(0);  // vertex id
    d.bitDouble(0);                                   // tangent direction
}

}  // namespace dwg::detail
