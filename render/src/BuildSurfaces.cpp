// Surfaces: 3D faces, polyface and polygon meshes, subdivision meshes, and
// the walls of outlines given a thickness, as triangles with their edges.
// Meshes are lit smooth across edges where their faces meet at a shallow
// angle, as a faceted model of a round thing is meant to look, and those
// edges are kept for the outline a curved surface shows from each side.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

#include "Builder.h"
#include "Curves.h"
#include "Meshes.h"

namespace render::detail {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Faces meeting at less than this angle are lit as one smooth surface.
const double kSmoothCosine = std::cos(40 * std::numbers::pi / 180);
// A subdivision mesh is smoothed at most this many times (the CAD program's
// own limit unless raised), to at most this many faces, whatever it asks.
constexpr int kMaxSubdivisionLevel = 6;
constexpr std::size_t kMaxSubdividedFaces = 1u << 18;
// A curve walled by a thickness is cut into at least and at most this many
// pieces a turn.
constexpr int kMinWallSegments = 16;
constexpr int kMaxWallSegments = 1024;
// Without a tolerance from the view, curved walls stray from the curve by at
// most this share of their radius.
constexpr double kRelativeTolerance = 2e-3;
constexpr std::size_t kMaxSurfaceErrors = 8;

double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 unit(const Vec3& v) {
    const double n = length(v);
    return n > 0 && std::isfinite(n) ? v * (1 / n) : Vec3{};
}

bool finite(const Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

struct NormalKey {
    std::uint32_t position;
    Vec3 normal;
    bool operator==(const NormalKey&) const = default;
};

struct NormalKeyHash {
    std::size_t operator()(const NormalKey& k) const {
        const auto bits = [](double d) { return std::hash<double>()(d); };
        return k.position * 0x9E3779B97F4A7C15ull ^ bits(k.normal.x) ^ (bits(k.normal.y) << 1) ^
               (bits(k.normal.z) << 2);
    }
};

}  // namespace

// --- surface writing ------------------------------------------------------

void Builder::beginSurface(const Colour& colour) {
    surface_ = Surface{};
    surface_.colour = colour;
    surface_.firstTriangle = static_cast<std::uint32_t>(out_.triangles.size());
    surface_.firstSmoothEdge = static_cast<std::uint32_t>(out_.smoothEdges.size());
    surface_.minDepth = std::numeric_limits<double>::infinity();
    surface_.maxDepth = -std::numeric_limits<double>::infinity();
    surfaceFirstVertex_ = static_cast<std::uint32_t>(out_.vertices.size());
}

std::optional<std::uint32_t> Builder::addVertex(Vec3 position, Vec3 normal) {
    if (!finite(position) || !budgetLeft(1, 2 * sizeof(Vec3))) return std::nullopt;
    const Vec3 n = unit(normal);
    out_.vertices.push_back(position);
    out_.normals.push_back(length(n) > 0 ? n : Vec3{0, 0, 1});
    surface_.bounds.add(Vec2{position.x, position.y});
    surface_.minDepth = std::min(surface_.minDepth, position.z);
    surface_.maxDepth = std::max(surface_.maxDepth, position.z);
    return static_cast<std::uint32_t>(out_.vertices.size()) - 1 - surfaceFirstVertex_;
}

void Builder::addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    const std::size_t count = out_.vertices.size() - surfaceFirstVertex_;
    if (a >= count || b >= count || c >= count || a == b || b == c || a == c) return;
    if (!budgetLeft(0, sizeof(Triangle))) return;
    out_.triangles.push_back(
        {surfaceFirstVertex_ + a, surfaceFirstVertex_ + b, surfaceFirstVertex_ + c});
}

void Builder::addSmoothEdge(std::uint32_t a, std::uint32_t b, std::uint32_t left,
                            std::uint32_t right) {
    const std::size_t vertices = out_.vertices.size() - surfaceFirstVertex_;
    if (a >= vertices || b >= vertices || left >= surfaceTriangles() || right >= surfaceTriangles())
        return;
    if (!budgetLeft(0, sizeof(SmoothEdge))) return;
    out_.smoothEdges.push_back({surfaceFirstVertex_ + a, surfaceFirstVertex_ + b,
                                surface_.firstTriangle + left, surface_.firstTriangle + right});
}

std::uint32_t Builder::surfaceTriangles() const {
    return static_cast<std::uint32_t>(out_.triangles.size()) - surface_.firstTriangle;
}

void Builder::endSurface() {
    surface_.triangleCount = surfaceTriangles();
    surface_.smoothEdgeCount =
        static_cast<std::uint32_t>(out_.smoothEdges.size()) - surface_.firstSmoothEdge;
    if (surface_.triangleCount == 0) {
        out_.vertices.resize(surfaceFirstVertex_);
        out_.normals.resize(surfaceFirstVertex_);
        out_.smoothEdges.resize(surface_.firstSmoothEdge);
        return;
    }
    out_.surfaces.push_back(surface_);
}

void Builder::surfaceFailed(const std::string& reason) {
    ++out_.report.surfacesFailed;
    if (out_.report.surfaceErrors.size() < kMaxSurfaceErrors)
        out_.report.surfaceErrors.push_back(reason);
}

double Builder::facetTolerance(double radius) const {
    const double relative = std::abs(radius) * kRelativeTolerance;
    return surfaceTolerance_ > 0 ? std::max(surfaceTolerance_, relative * 1e-3) : relative;
}

// A mesh in view coordinates as one surface: each face cut into triangles,
// lit flat, or smooth across the shallow edges with those edges kept for
// silhouettes.
void Builder::addMeshSurface(const PolygonMesh& mesh, const Colour& colour, bool smooth) {
    const std::size_t faces = mesh.faceCount();
    if (!charge(mesh.corners.size() + faces)) return;
    std::vector<Vec3> normals(faces);   // unit
    std::vector<Vec3> weighted(faces);  // Newell: twice the area
    std::vector<std::size_t> firstCorner(faces);
    std::size_t at = 0;
    for (std::size_t f = 0; f < faces; ++f) {
        firstCorner[f] = at;
        weighted[f] = faceNormal(mesh, at, mesh.faceSizes[f]);
        normals[f] = unit(weighted[f]);
        at += mesh.faceSizes[f];
    }
    // The faces round each position.
    std::vector<std::uint32_t> aroundStart(mesh.positions.size() + 1, 0);
    for (const std::uint32_t corner : mesh.corners) ++aroundStart[corner + 1];
    for (std::size_t i = 1; i < aroundStart.size(); ++i) aroundStart[i] += aroundStart[i - 1];
    std::vector<std::uint32_t> around(mesh.corners.size());
    {
        std::vector<std::uint32_t> fill(aroundStart.begin(), aroundStart.end() - 1);
        for (std::size_t f = 0; f < faces; ++f)
            for (std::uint32_t i = 0; i < mesh.faceSizes[f]; ++i)
                around[fill[mesh.corners[firstCorner[f] + i]]++] = static_cast<std::uint32_t>(f);
    }

    beginSurface(colour);
    std::unordered_map<NormalKey, std::uint32_t, NormalKeyHash> shared;
    std::vector<std::uint32_t> cornerVertex(mesh.corners.size());
    std::vector<std::uint32_t> firstTriangle(faces);
    std::vector<std::array<std::uint32_t, 3>> local;
    std::vector<Vec3> corners;
    bool complete = true;
    for (std::size_t f = 0; f < faces && complete; ++f) {
        const std::uint32_t n = mesh.faceSizes[f];
        firstTriangle[f] = surfaceTriangles();
        if (length(normals[f]) == 0) continue;  // no area: nothing to see
        if (!charge(n)) break;
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t position = mesh.corners[firstCorner[f] + i];
            Vec3 normal = normals[f];
            if (smooth) {
                Vec3 sum;
                const std::uint32_t from = aroundStart[position], to = aroundStart[position + 1];
                if (!charge(to - from)) break;
                for (std::uint32_t k = from; k < to; ++k)
                    if (dot(normals[around[k]], normals[f]) >= kSmoothCosine)
                        sum = sum + weighted[around[k]];
                normal = unit(sum);
            }
            if (smooth) {
                const auto found = shared.find(NormalKey{position, normal});
                if (found != shared.end()) {
                    cornerVertex[firstCorner[f] + i] = found->second;
                    continue;
                }
            }
            const std::optional<std::uint32_t> vertex = addVertex(mesh.positions[position], normal);
            if (!vertex) {
                complete = false;
                break;
            }
            if (smooth) shared.emplace(NormalKey{position, normal}, *vertex);
            cornerVertex[firstCorner[f] + i] = *vertex;
        }
        if (!complete) break;
        corners.clear();
        for (std::uint32_t i = 0; i < n; ++i)
            corners.push_back(mesh.positions[mesh.corners[firstCorner[f] + i]]);
        local.clear();
        triangulateFace(corners, local);
        for (const auto& [a, b, c] : local)
            addTriangle(cornerVertex[firstCorner[f] + a], cornerVertex[firstCorner[f] + b],
                        cornerVertex[firstCorner[f] + c]);
    }
    if (smooth && complete && !stopped()) addSmoothEdges();
    endSurface();
}

// The edges where two triangles of the open surface meet at shared
// vertices, with the triangle on each side: vertices are shared only where
// the surface runs on smoothly, so these are where the outline a curved
// surface shows from each side may lie.
void Builder::addSmoothEdges() {
    const std::uint32_t triangles = surfaceTriangles();
    if (!charge(triangles)) return;
    std::unordered_map<std::uint64_t, std::uint32_t> firstSide;
    firstSide.reserve(std::size_t{triangles} * 2);
    for (std::uint32_t t = 0; t < triangles; ++t) {
        const Triangle& triangle = out_.triangles[surface_.firstTriangle + t];
        const std::uint32_t v[3] = {triangle.a - surfaceFirstVertex_,
                                    triangle.b - surfaceFirstVertex_,
                                    triangle.c - surfaceFirstVertex_};
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t a = v[i], b = v[(i + 1) % 3];
            const std::uint64_t key = (std::uint64_t{std::min(a, b)} << 32) | std::max(a, b);
            const auto [found, added] = firstSide.emplace(key, t);
            if (!added && found->second != t) addSmoothEdge(a, b, found->second, t);
        }
    }
}

// --- meshes ---------------------------------------------------------------

void Builder::drawFace3D(const dwg::Face& face, const Style& style, const Frame& frame) {
    Vec3 corners[4];
    for (std::size_t i = 0; i < 4; ++i) corners[i] = frame.transform.apply(v3(face.corners[i]));
    beginEdges(style.colour);
    for (std::size_t i = 0; i < 4; ++i) {
        if (face.invisibleEdges & (1 << i)) continue;
        const Vec3 edge[2] = {corners[i], corners[(i + 1) % 4]};
        addPolyline(edge);
    }
    endItem(&style);
    // Two triangles, so that a face whose corners are not in one plane is
    // shaded as its edges show it; a triangle repeats its third corner.
    PolygonMesh mesh;
    mesh.positions.assign(corners, corners + 4);
    const std::uint32_t first[3] = {0, 1, 2}, second[3] = {0, 2, 3};
    mesh.addFace(first);
    if (!(face.corners[2] == face.corners[3])) mesh.addFace(second);
    if (meshProblem(mesh)) return;
    addMeshSurface(mesh, style.colour, false);
}

void Builder::drawPolyfaceMesh(const dwg::Polyline& polyline, const Style& style,
                               const Frame& frame) {
    const Transform& m = frame.transform;
    const auto count = static_cast<int>(polyline.vertices.size());
    if (!charge(polyline.vertices.size() + polyline.faces.size())) return;
    PolygonMesh mesh;
    for (const dwg::Vertex& v : polyline.vertices)
        mesh.positions.push_back(m.apply(v3(v.position)));
    bool outside = false;
    beginEdges(style.colour);
    for (const dwg::PolyfaceFace& face : polyline.faces) {
        int corners = 0;
        while (corners < 4 && face.indices[static_cast<std::size_t>(corners)] != 0) ++corners;
        std::uint32_t indices[4];
        for (int i = 0; i < corners; ++i) {
            const int from = face.indices[static_cast<std::size_t>(i)];
            const int to = face.indices[static_cast<std::size_t>((i + 1) % corners)];
            if (std::abs(from) > count) outside = true;
            indices[i] = static_cast<std::uint32_t>(std::abs(from) - 1);
            // A negative index hides the edge that starts at it.
            if (from < 0 || std::abs(to) > count || from > count || to == 0) continue;
            const Vec3 edge[2] = {mesh.positions[static_cast<std::size_t>(from - 1)],
                                  mesh.positions[static_cast<std::size_t>(std::abs(to) - 1)]};
            addPolyline(edge);
        }
        if (corners >= 3) mesh.addFace(std::span(indices, static_cast<std::size_t>(corners)));
    }
    endItem(&style);
    // The visible edges are drawn whatever the faces hold.
    if (const auto problem =
            outside ? std::optional<std::string>("malha com faces fora dos seus vértices")
                    : meshProblem(mesh)) {
        surfaceFailed(*problem);
        return;
    }
    addMeshSurface(mesh, style.colour, true);
}

void Builder::drawPolygonMesh(const dwg::Polyline& polyline, const Style& style,
                              const Frame& frame) {
    const Transform& m = frame.transform;
    const std::size_t rows = static_cast<std::size_t>(std::max(polyline.meshM, 0));
    const std::size_t columns = static_cast<std::size_t>(std::max(polyline.meshN, 0));
    if (rows == 0 || columns == 0 || rows > polyline.vertices.size() ||
        columns > polyline.vertices.size() / rows) {
        std::vector<Vec3> points;
        for (const dwg::Vertex& v : polyline.vertices) points.push_back(m.apply(v3(v.position)));
        strokePoints(points, style);
        if (!polyline.vertices.empty()) surfaceFailed("malha com vértices a menos");
        return;
    }
    PolygonMesh mesh;
    for (std::size_t i = 0; i < rows * columns; ++i)
        mesh.positions.push_back(m.apply(v3(polyline.vertices[i].position)));
    auto at = [&](std::size_t r, std::size_t c) { return mesh.positions[r * columns + c]; };
    beginEdges(style.colour);
    std::vector<Vec3> line;
    for (std::size_t r = 0; r < rows; ++r) {
        line.clear();
        for (std::size_t c = 0; c < columns; ++c) line.push_back(at(r, c));
        if (polyline.closedN) line.push_back(at(r, 0));
        addPolyline(line);
    }
    for (std::size_t c = 0; c < columns; ++c) {
        line.clear();
        for (std::size_t r = 0; r < rows; ++r) line.push_back(at(r, c));
        if (polyline.closed) line.push_back(at(0, c));
        addPolyline(line);
    }
    endItem(&style);
    // Quadrilaterals between neighbouring rows and columns, across the seam
    // where the mesh closes.
    const std::size_t rowSpans = polyline.closed && rows > 2 ? rows : rows - 1;
    const std::size_t columnSpans = polyline.closedN && columns > 2 ? columns : columns - 1;
    if (!charge(rowSpans * columnSpans)) return;
    for (std::size_t r = 0; r < rowSpans; ++r)
        for (std::size_t c = 0; c < columnSpans; ++c) {
            const auto index = [&](std::size_t i, std::size_t j) {
                return static_cast<std::uint32_t>((i % rows) * columns + j % columns);
            };
            const std::uint32_t quad[4] = {index(r, c), index(r + 1, c), index(r + 1, c + 1),
                                           index(r, c + 1)};
            mesh.addFace(quad);
        }
    if (const auto problem = meshProblem(mesh)) {
        surfaceFailed(*problem);
        return;
    }
    addMeshSurface(mesh, style.colour, true);
}

void Builder::drawSubdivisionMesh(const dwg::SubdivisionMesh& mesh, const Style& style,
                                  const Frame& frame) {
    if (!charge(mesh.vertices.size() + mesh.faces.size())) return;
    PolygonMesh cage;
    for (const dwg::Point3& p : mesh.vertices)
        cage.positions.push_back(frame.transform.apply(v3(p)));
    std::vector<std::uint32_t> face;
    bool outside = false;
    for (const std::vector<int>& corners : mesh.faces) {
        face.clear();
        for (const int i : corners) {
            if (i < 0 || static_cast<std::size_t>(i) >= mesh.vertices.size()) outside = true;
            face.push_back(static_cast<std::uint32_t>(std::max(i, 0)));
        }
        cage.addFace(face);
    }
    if (mesh.creases.size() == mesh.edges.size())
        for (std::size_t i = 0; i < mesh.edges.size(); ++i) {
            const auto [a, b] = mesh.edges[i];
            if (a >= 0 && b >= 0 && mesh.creases[i] != 0 && std::isfinite(mesh.creases[i]))
                cage.creases.emplace(
                    edgeKey(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)),
                    mesh.creases[i]);
        }
    std::optional<std::string> problem =
        outside ? std::optional<std::string>("malha com faces fora dos seus vértices")
                : meshProblem(cage);
    std::optional<PolygonMesh> smoothed;
    if (!problem) {
        smoothed =
            subdivide(cage, std::clamp(mesh.subdivisionLevel, 0, kMaxSubdivisionLevel),
                      kMaxSubdividedFaces, [this](std::size_t units) { return charge(units); });
        if (!smoothed && !stopped()) problem = "malha grande demais para suavizar";
    }
    beginEdges(style.colour);
    if (smoothed && mesh.subdivisionLevel > 0) {
        // A smoothed mesh shows the edges of its smoothed faces.
        std::size_t at = 0;
        std::vector<Vec3> outline;
        for (const std::uint32_t size : smoothed->faceSizes) {
            outline.clear();
            for (std::uint32_t i = 0; i <= size; ++i)
                outline.push_back(smoothed->positions[smoothed->corners[at + i % size]]);
            addPolyline(outline);
            at += size;
        }
    } else if (!mesh.edges.empty()) {
        const auto count = static_cast<int>(mesh.vertices.size());
        for (const auto& [a, b] : mesh.edges) {
            if (a < 0 || b < 0 || a >= count || b >= count) continue;
            const Vec3 edge[2] = {cage.positions[static_cast<std::size_t>(a)],
                                  cage.positions[static_cast<std::size_t>(b)]};
            addPolyline(edge);
        }
    } else {
        for (const std::vector<int>& corners : mesh.faces) {
            std::vector<Vec3> outline;
            for (const int i : corners)
                if (i >= 0 && static_cast<std::size_t>(i) < mesh.vertices.size())
                    outline.push_back(cage.positions[static_cast<std::size_t>(i)]);
            if (outline.size() < 2) continue;
            outline.push_back(outline.front());
            addPolyline(outline);
        }
    }
    endItem(&style);
    if (problem) {
        surfaceFailed(*problem);
        return;
    }
    if (smoothed) addMeshSurface(*smoothed, style.colour, mesh.subdivisionLevel > 0);
}

// --- thickness ------------------------------------------------------------

int Builder::wallSegments(double radius, double sweep) const {
    if (!std::isfinite(radius) || !std::isfinite(sweep)) return kMinWallSegments;
    const double r = std::abs(radius);
    const double tolerance = std::min(facetTolerance(r), r);
    double n = kMinWallSegments;
    if (r > 0 && tolerance > 0)
        n = std::abs(sweep) / std::max(2 * std::acos(1 - tolerance / r), 1e-9);
    const double turns = std::abs(sweep) / kTwoPi;
    return static_cast<int>(std::clamp(std::ceil(n), std::ceil(kMinWallSegments * turns),
                                       static_cast<double>(kMaxWallSegments)));
}

void Builder::extrudeOutline(std::span<const Vec3> outline, Vec3 offset, bool closed, bool caps,
                             bool smooth, std::span<const std::size_t> uprights,
                             const Style& style) {
    const std::size_t n = outline.size();
    if (n < 2 || !finite(offset)) return;
    beginItem(Item::Kind::Stroke, style.colour);
    for (const std::size_t i : uprights) {
        if (i >= n) continue;
        const Vec3 upright[2] = {outline[i], outline[i] + offset};
        addPolyline(upright);
    }
    endItem(&style);
    PolygonMesh mesh;
    mesh.positions.assign(outline.begin(), outline.end());
    for (const Vec3& p : outline) mesh.positions.push_back(p + offset);
    const auto top = static_cast<std::uint32_t>(n);
    const std::size_t walls = closed ? n : n - 1;
    for (std::size_t i = 0; i < walls; ++i) {
        const auto a = static_cast<std::uint32_t>(i);
        const auto b = static_cast<std::uint32_t>((i + 1) % n);
        const std::uint32_t quad[4] = {a, b, top + b, top + a};
        mesh.addFace(quad);
    }
    if (caps && closed && n >= 3) {
        std::vector<std::uint32_t> bottom(n), upper(n);
        for (std::size_t i = 0; i < n; ++i) {
            bottom[i] = static_cast<std::uint32_t>(n - 1 - i);  // facing the other way
            upper[i] = top + static_cast<std::uint32_t>(i);
        }
        mesh.addFace(bottom);
        mesh.addFace(upper);
    }
    addMeshSurface(mesh, style.colour, smooth);
}

// Walls along a curve of the OCS, `segments` pieces from t0 to t1.
void Builder::extrudeArc(const Transform& ocs, Vec3 centre, double radius, double t0, double t1,
                         double thickness, bool closed, const Style& style) {
    const int segments = wallSegments(length(ocs.applyLinear({radius, 0, 0})), t1 - t0);
    if (!charge(static_cast<std::size_t>(segments))) return;
    std::vector<Vec3> outline;
    const int last = closed ? segments - 1 : segments;
    for (int i = 0; i <= last; ++i) {
        const double t = t0 + (t1 - t0) * i / segments;
        outline.push_back(ocs.apply(centre + Vec3{radius * std::cos(t), radius * std::sin(t), 0}));
    }
    const std::size_t ends[2] = {0, outline.size() - 1};
    extrudeOutline(outline, ocs.applyLinear({0, 0, thickness}), closed, closed, true,
                   closed ? std::span<const std::size_t>() : std::span<const std::size_t>(ends),
                   style);
}

namespace {

// How far and which way a thickness raises an entity: along its extrusion.
Vec3 raise(const dwg::Point3& extrusion, double thickness) {
    const Vec3 along = v3(extrusion);
    const double n = length(along);
    return n > 0 && std::isfinite(n) ? along * (thickness / n) : Vec3{0, 0, thickness};
}

// The frame an entity's top outline is drawn in.
Frame raised(const Frame& frame, const Vec3& by) {
    Frame top = frame;
    top.transform = frame.transform * Transform::translation(by);
    return top;
}

}  // namespace

void Builder::extrudeLine(const dwg::Line& line, const Style& style, const Frame& frame) {
    const Vec3 up = raise(line.extrusion, line.thickness);
    const Vec3 bottom[2] = {frame.transform.apply(v3(line.start)),
                            frame.transform.apply(v3(line.end))};
    const std::size_t ends[2] = {0, 1};
    extrudeOutline(bottom, frame.transform.applyLinear(up), false, false, false, ends, style);
    drawLine(line, style, raised(frame, up));
}

void Builder::extrudeCircle(const dwg::Circle& circle, const Style& style, const Frame& frame) {
    const Transform ocs = frame.transform * Transform::objectToWorld(v3(circle.extrusion));
    extrudeArc(ocs, v3(circle.center), circle.radius, 0, kTwoPi, circle.thickness, true, style);
    drawCircle(circle, style, raised(frame, raise(circle.extrusion, circle.thickness)));
}

void Builder::extrudeArcEntity(const dwg::Arc& arc, const Style& style, const Frame& frame) {
    const Transform ocs = frame.transform * Transform::objectToWorld(v3(arc.extrusion));
    const double start = oneTurn(arc.startAngle);
    const double sweep = counterClockwiseSweep(start, oneTurn(arc.endAngle));
    extrudeArc(ocs, v3(arc.center), arc.radius, start, start + sweep, arc.thickness, false, style);
    drawArc(arc, style, raised(frame, raise(arc.extrusion, arc.thickness)));
}

void Builder::extrudeSolid(const dwg::Face& face, const Style& style, const Frame& frame) {
    const Transform ocs = frame.transform * Transform::objectToWorld(v3(face.extrusion));
    const Vec3 outline[4] = {ocs.apply(v3(face.corners[0])), ocs.apply(v3(face.corners[1])),
                             ocs.apply(v3(face.corners[3])), ocs.apply(v3(face.corners[2]))};
    const std::size_t corners[4] = {0, 1, 2, 3};
    extrudeOutline(outline, ocs.applyLinear({0, 0, face.thickness}), true, true, false, corners,
                   style);
    drawFace(face, style, raised(frame, raise(face.extrusion, face.thickness)));
}

void Builder::extrudePoint(const dwg::Point& point, const Style& style, const Frame& frame) {
    const Vec3 p = v3(point.position);
    const Vec3 upright[2] = {frame.transform.apply(p),
                             frame.transform.apply(p + raise(point.extrusion, point.thickness))};
    strokePoints(upright, style);
}

void Builder::extrudePlanarPolyline(std::span<const PlanarVertex> vertices, bool closed,
                                    const Transform& ocs, double thickness, const Style& style) {
    const std::size_t n = vertices.size();
    if (n < 2) return;
    // The outline through the bulges' arcs, and where the vertices fall on it.
    std::vector<Vec3> outline;
    std::vector<std::size_t> uprights;
    const std::size_t segments = closed ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        const PlanarVertex& a = vertices[i];
        const PlanarVertex& b = vertices[(i + 1) % n];
        uprights.push_back(outline.size());
        outline.push_back(ocs.apply(v3(a.point)));
        if (a.bulge != 0 && std::isfinite(a.bulge) && std::abs(a.bulge) < 1e6) {
            const BulgeArc arc = bulgeArc(a.point, b.point, a.bulge);
            const int pieces = wallSegments(length(ocs.applyLinear({arc.radius, 0, 0})), arc.sweep);
            if (!charge(static_cast<std::size_t>(pieces))) return;
            for (int k = 1; k < pieces; ++k) {
                const double t = arc.start + arc.sweep * k / pieces;
                outline.push_back(ocs.apply(
                    v3(arc.centre + Vec2{arc.radius * std::cos(t), arc.radius * std::sin(t)})));
            }
        }
    }
    if (!closed) {
        uprights.push_back(outline.size());
        outline.push_back(ocs.apply(v3(vertices[n - 1].point)));
    }
    extrudeOutline(outline, ocs.applyLinear({0, 0, thickness}), closed, false, false, uprights,
                   style);
    drawPlanarPolyline(vertices, closed, ocs * Transform::translation({0, 0, thickness}), style);
}

}  // namespace render::detail
