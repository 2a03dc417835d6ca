#include "Meshes.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace render::detail {
namespace {

// Faces with more corners than this are cut as a fan: ear cutting takes
// time that grows with the cube of the corners.
constexpr std::size_t kMaxEarCorners = 256;

double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

bool finite(const Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// The faces of three corners or more: those are all that have an area.
PolygonMesh withoutSlivers(const PolygonMesh& mesh) {
    PolygonMesh kept;
    kept.positions = mesh.positions;
    kept.creases = mesh.creases;
    std::size_t at = 0;
    for (const std::uint32_t size : mesh.faceSizes) {
        if (size >= 3) kept.addFace(std::span(mesh.corners).subspan(at, size));
        at += size;
    }
    return kept;
}

PolygonMesh subdivideOnce(const PolygonMesh& mesh) {
    const std::size_t vertexCount = mesh.positions.size();
    struct EdgeInfo {
        std::uint32_t a = 0, b = 0;
        std::uint32_t faces = 0;
        Vec3 faceSum;  // of the face points on either side
        double crease = 0;
        bool sharp() const { return faces != 2 || crease != 0; }
    };
    std::vector<EdgeInfo> edges;
    std::unordered_map<std::uint64_t, std::uint32_t> edgeIndex;
    edgeIndex.reserve(mesh.corners.size());
    std::vector<Vec3> facePoints(mesh.faceCount());
    // Per vertex: sums of the face points and edge middles round it, and of
    // the far ends of the border edges that meet there.
    std::vector<Vec3> faceSum(vertexCount), edgeSum(vertexCount), borderSum(vertexCount);
    std::vector<std::uint32_t> faceCount(vertexCount, 0), edgeCount(vertexCount, 0),
        borderCount(vertexCount, 0);
    // The edge following each corner of each face.
    std::vector<std::uint32_t> cornerEdge(mesh.corners.size());

    std::size_t at = 0;
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
        const std::uint32_t n = mesh.faceSizes[f];
        Vec3 centre;
        for (std::uint32_t i = 0; i < n; ++i)
            centre = centre + mesh.positions[mesh.corners[at + i]];
        centre = centre * (1.0 / n);
        facePoints[f] = centre;
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t a = mesh.corners[at + i], b = mesh.corners[at + (i + 1) % n];
            const std::uint64_t key = edgeKey(a, b);
            const auto [found, added] =
                edgeIndex.emplace(key, static_cast<std::uint32_t>(edges.size()));
            if (added) {
                const auto crease = mesh.creases.find(key);
                edges.push_back({a, b, 0, {}, crease == mesh.creases.end() ? 0.0 : crease->second});
            }
            EdgeInfo& e = edges[found->second];
            ++e.faces;
            e.faceSum = e.faceSum + centre;
            cornerEdge[at + i] = found->second;
            faceSum[a] = faceSum[a] + centre;
            ++faceCount[a];
        }
        at += n;
    }
    for (const EdgeInfo& e : edges) {
        const Vec3 middle = (mesh.positions[e.a] + mesh.positions[e.b]) * 0.5;
        for (const std::uint32_t v : {e.a, e.b}) {
            edgeSum[v] = edgeSum[v] + middle;
            ++edgeCount[v];
        }
        if (e.sharp()) {
            borderSum[e.a] = borderSum[e.a] + mesh.positions[e.b];
            borderSum[e.b] = borderSum[e.b] + mesh.positions[e.a];
            ++borderCount[e.a];
            ++borderCount[e.b];
        }
    }

    PolygonMesh out;
    out.positions.reserve(vertexCount + edges.size() + facePoints.size());
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const Vec3 p = mesh.positions[v];
        const bool sheet = faceCount[v] >= 3 && faceCount[v] == edgeCount[v];
        if (borderCount[v] == 2) {
            out.positions.push_back((p * 6 + borderSum[v]) * (1.0 / 8));
        } else if (sheet && borderCount[v] <= 1) {
            // A lone crease ending inside the surface leaves it smooth there.
            const double n = faceCount[v];
            const Vec3 faces = faceSum[v] * (1 / n), middles = edgeSum[v] * (1 / n);
            out.positions.push_back((faces + middles * 2 + p * (n - 3)) * (1 / n));
        } else {
            // Corners of the border, and points where the surface is not a
            // simple sheet, stay put.
            out.positions.push_back(p);
        }
    }
    const auto edgeBase = static_cast<std::uint32_t>(out.positions.size());
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const EdgeInfo& e = edges[i];
        const Vec3 sum = mesh.positions[e.a] + mesh.positions[e.b];
        out.positions.push_back(e.sharp() ? sum * 0.5 : (sum + e.faceSum) * 0.25);
        // Both halves of a creased edge stay creased one step less.
        if (e.crease != 0) {
            const double left = e.crease < 0 ? e.crease : std::max(e.crease - 1, 0.0);
            if (left == 0) continue;
            const auto middle = edgeBase + static_cast<std::uint32_t>(i);
            out.creases.emplace(edgeKey(e.a, middle), left);
            out.creases.emplace(edgeKey(middle, e.b), left);
        }
    }
    const auto faceBase = static_cast<std::uint32_t>(out.positions.size());
    out.positions.insert(out.positions.end(), facePoints.begin(), facePoints.end());

    at = 0;
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
        const std::uint32_t n = mesh.faceSizes[f];
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t previous = cornerEdge[at + (i + n - 1) % n];
            const std::uint32_t quad[4] = {mesh.corners[at + i], edgeBase + cornerEdge[at + i],
                                           faceBase + static_cast<std::uint32_t>(f),
                                           edgeBase + previous};
            out.addFace(quad);
        }
        at += n;
    }
    return out;
}

// Whether the polygon, seen along `normal`, turns the same way at every corner.
bool isConvex(std::span<const Vec3> corners, const Vec3& normal) {
    const std::size_t n = corners.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3 a = corners[i], b = corners[(i + 1) % n], c = corners[(i + 2) % n];
        if (dot(cross(b - a, c - b), normal) < 0) return false;
    }
    return true;
}

}  // namespace

std::uint64_t edgeKey(std::uint32_t a, std::uint32_t b) {
    if (a > b) std::swap(a, b);
    return (std::uint64_t{a} << 32) | b;
}

void PolygonMesh::addFace(std::span<const std::uint32_t> face) {
    corners.insert(corners.end(), face.begin(), face.end());
    faceSizes.push_back(static_cast<std::uint32_t>(face.size()));
}

std::optional<std::string> meshProblem(const PolygonMesh& mesh) {
    for (const Vec3& p : mesh.positions)
        if (!finite(p)) return "malha com coordenadas inválidas";
    for (const std::uint32_t corner : mesh.corners)
        if (corner >= mesh.positions.size()) return "malha com faces fora dos seus vértices";
    return std::nullopt;
}

std::optional<PolygonMesh> subdivide(const PolygonMesh& mesh, int levels, std::size_t maxFaces,
                                     const ChargeWork& charge) {
    PolygonMesh current = withoutSlivers(mesh);
    for (int level = 0; level < levels; ++level) {
        // Each face of n corners becomes n quadrilaterals.
        if (current.corners.size() > maxFaces) break;
        if (!charge(current.corners.size() + current.positions.size())) return std::nullopt;
        current = subdivideOnce(current);
    }
    return current;
}

Vec3 faceNormal(const PolygonMesh& mesh, std::size_t firstCorner, std::uint32_t size) {
    Vec3 normal;
    for (std::uint32_t i = 0; i < size; ++i) {
        const Vec3 a = mesh.positions[mesh.corners[firstCorner + i]];
        const Vec3 b = mesh.positions[mesh.corners[firstCorner + (i + 1) % size]];
        normal = normal + Vec3{(a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x),
                               (a.x - b.x) * (a.y + b.y)};
    }
    return normal;
}

void triangulateFace(std::span<const Vec3> corners,
                     std::vector<std::array<std::uint32_t, 3>>& out) {
    const std::size_t n = corners.size();
    if (n < 3) return;
    Vec3 normal;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3 a = corners[i], b = corners[(i + 1) % n];
        normal = normal + Vec3{(a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x),
                               (a.x - b.x) * (a.y + b.y)};
    }
    const auto fan = [&] {
        for (std::size_t i = 1; i + 1 < n; ++i)
            out.push_back({0, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i + 1)});
    };
    if (n == 3 || n > kMaxEarCorners || length(normal) == 0 || isConvex(corners, normal)) {
        fan();
        return;
    }
    // Ear cutting in the plane across the normal's largest part.
    const double ax = std::abs(normal.x), ay = std::abs(normal.y), az = std::abs(normal.z);
    const int drop = ax >= ay && ax >= az ? 0 : (ay >= az ? 1 : 2);
    const double sense = (drop == 0 ? normal.x : drop == 1 ? normal.y : normal.z) > 0 ? 1 : -1;
    std::vector<Vec2> flat(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3& p = corners[i];
        flat[i] = drop == 0 ? Vec2{p.y, p.z} : drop == 1 ? Vec2{p.z, p.x} : Vec2{p.x, p.y};
    }
    std::vector<std::uint32_t> left(n);
    for (std::size_t i = 0; i < n; ++i) left[i] = static_cast<std::uint32_t>(i);
    const auto turn = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return sense * cross(flat[b] - flat[a], flat[c] - flat[b]);
    };
    const auto inside = [&](std::uint32_t p, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return turn(a, b, p) >= 0 && turn(b, c, p) >= 0 && turn(c, a, p) >= 0;
    };
    std::size_t misses = 0;
    std::size_t i = 0;
    while (left.size() > 3 && misses < left.size()) {
        const std::size_t m = left.size();
        const std::uint32_t a = left[(i + m - 1) % m], b = left[i % m], c = left[(i + 1) % m];
        bool ear = turn(a, b, c) > 0;
        for (std::size_t k = 0; ear && k < m; ++k) {
            const std::uint32_t p = left[k];
            if (p != a && p != b && p != c && inside(p, a, b, c)) ear = false;
        }
        if (ear) {
            out.push_back({a, b, c});
            left.erase(left.begin() + static_cast<std::ptrdiff_t>(i % m));
            misses = 0;
        } else {
            ++misses;
            ++i;
        }
        i %= left.size();
    }
    // What is left when no ear is found (a face that crosses itself) as a fan.
    for (std::size_t k = 1; k + 1 < left.size(); ++k)
        out.push_back({left[0], left[k], left[k + 1]});
}

}  // namespace render::detail
