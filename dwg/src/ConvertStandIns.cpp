// Entities made to stand for one a release cannot hold, and MESH as polyface
// meshes, as releases before 2010 keep it.
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "ConvertParts.h"
#include "Vector3.h"

namespace dwg::detail {
namespace {

// A polyface mesh indexes its vertices with 16-bit numbers.
constexpr std::size_t kMaxPolyfaceVertices = 32767;
constexpr std::size_t kMaxPolyfaceFaces = 32767;
constexpr int kVertex3DFlag = 32;
constexpr int kPolyfaceVertexFlags = 64 | 128;
constexpr int kPolyfaceFlag = 64;

bool atOneHeight(const std::vector<Point3>& points) {
    double extent = 0;
    for (const Point3& p : points)
        extent = std::max({extent, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    const double tolerance = 1e-9 * std::max(extent, 1.0);
    return std::all_of(points.begin(), points.end(), [&](const Point3& p) {
        return std::fabs(p.z - points.front().z) <= tolerance;
    });
}

}  // namespace

StandIns::StandIns(const Entity& original, Handle& nextHandle)
    : original_(original), next_(nextHandle) {}

Color StandIns::resolved(const Color& color) const {
    return color.kind == Color::Kind::ByBlock ? original_.header.color : color;
}

Entity& StandIns::add(std::string typeName, EntityData data, const Color& color) {
    Entity entity;
    entity.typeName = std::move(typeName);
    entity.header = original_.header;
    entity.header.handle = next_++;
    entity.header.proxyGraphics.clear();
    entity.header.color = resolved(color);
    entity.data = std::move(data);
    made_.push_back(std::move(entity));
    return made_.back();
}

void StandIns::polyline(const std::vector<Point3>& points, bool closed, const Color& color) {
    if (points.size() < 2) return;
    if (points.size() == 2 && !closed) {
        add("LINE", Line{points[0], points[1]}, color);
        return;
    }
    if (atOneHeight(points)) {
        LwPolyline lw;
        lw.closed = closed;
        lw.elevation = points.front().z;
        for (const Point3& p : points) lw.points.push_back({p.x, p.y});
        add("LWPOLYLINE", std::move(lw), color);
        return;
    }
    Polyline polyline;
    polyline.kind = Polyline::Kind::Polyline3D;
    polyline.closed = closed;
    polyline.flags = closed ? 1 | 8 : 8;
    for (const Point3& p : points) {
        Vertex vertex;
        vertex.position = p;
        vertex.flags = kVertex3DFlag;
        polyline.vertices.push_back(vertex);
    }
    add("POLYLINE_3D", std::move(polyline), color);
}

void StandIns::fill(const std::vector<Point3>& outline, const Color& color) {
    std::vector<Point3> corners = outline;
    if (corners.size() > 1 && corners.front() == corners.back()) corners.pop_back();
    if (corners.size() < 3) {
        polyline(corners, false, color);
        return;
    }
    if (!atOneHeight(corners)) {
        for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
            Face face;
            face.kind = Face::Kind::Face3D;
            face.corners = {corners[0], corners[i], corners[i + 1], corners[i + 1]};
            add("3DFACE", face, color);
        }
        return;
    }
    if (corners.size() <= 4) {
        // A SOLID's third and fourth corners are drawn crosswise.
        Face solid;
        solid.kind = Face::Kind::Solid;
        solid.corners = {corners[0], corners[1], corners.size() == 4 ? corners[3] : corners[2],
                         corners[2]};
        add("SOLID", solid, color);
        return;
    }
    Hatch hatch;
    hatch.patternName = "SOLID";
    hatch.solid = true;
    hatch.elevation = corners.front().z;
    HatchLoop loop;
    loop.flags = 1 | 2;
    loop.isPolyline = true;
    for (const Point3& p : corners) loop.points.push_back({p.x, p.y});
    hatch.loops.push_back(std::move(loop));
    add("HATCH", std::move(hatch), color);
}

// Each face goes whole into one polyface; a face of more than four corners
// is cut into a fan of quadrilaterals and triangles whose inner edges are
// invisible (a negative index hides the edge that starts at that corner).
std::vector<Entity> polyfaceMeshes(const Entity& mesh, const SubdivisionMesh& data,
                                   Handle& nextHandle) {
    StandIns made(mesh, nextHandle);
    Polyline current;
    std::unordered_map<int, int> indexOf;  // mesh vertex -> 1-based polyface vertex
    auto flush = [&] {
        if (current.faces.empty()) return;
        current.kind = Polyline::Kind::PolyfaceMesh;
        current.flags = kPolyfaceFlag;
        current.meshM = static_cast<int>(current.vertices.size());
        current.meshN = static_cast<int>(current.faces.size());
        made.add("POLYLINE_PFACE", std::move(current));
        current = Polyline{};
        indexOf.clear();
    };
    for (const std::vector<int>& face : data.faces) {
        if (face.size() < 3 || std::any_of(face.begin(), face.end(), [&](int v) {
                return v < 0 || static_cast<std::size_t>(v) >= data.vertices.size();
            }))
            continue;
        const std::size_t pieces = face.size() <= 4 ? 1 : (face.size() - 1) / 2;
        std::size_t fresh = 0;
        for (int v : face) fresh += indexOf.count(v) ? 0 : 1;
        if (current.vertices.size() + fresh > kMaxPolyfaceVertices ||
            current.faces.size() + pieces > kMaxPolyfaceFaces)
            flush();
        auto index = [&](int v) {
            auto [it, added] = indexOf.emplace(v, static_cast<int>(current.vertices.size()) + 1);
            if (added) {
                Vertex vertex;
                vertex.position = data.vertices[static_cast<std::size_t>(v)];
                vertex.flags = kPolyfaceVertexFlags;
                current.vertices.push_back(vertex);
            }
            return it->second;
        };
        if (face.size() <= 4) {
            PolyfaceFace out;
            for (std::size_t i = 0; i < face.size(); ++i) out.indices[i] = index(face[i]);
            current.faces.push_back(out);
            continue;
        }
        const std::size_t n = face.size();
        for (std::size_t first = 1; first + 1 < n; first += 2) {
            const std::size_t last = std::min(first + 2, n - 1);
            PolyfaceFace out;
            std::size_t corner = 0;
            // Edges from the fan's centre and back to it are inner, but for
            // the polygon's own first and last edges.
            out.indices[corner++] = first == 1 ? index(face[0]) : -index(face[0]);
            for (std::size_t k = first; k <= last; ++k) {
                const bool innerEdge = k == last && last != n - 1;
                out.indices[corner++] = innerEdge ? -index(face[k]) : index(face[k]);
            }
            current.faces.push_back(out);
        }
    }
    flush();
    return made.take();
}

}  // namespace dwg::detail
