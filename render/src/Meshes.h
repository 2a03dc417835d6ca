// Polygon meshes as entities give them (3D faces, polyface and polygon
// meshes, subdivision meshes, outlines given a thickness): their checking,
// smoothing by subdivision and cutting into triangles.
#pragma once

#include <render/Geometry.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace render::detail {

// Faces over shared corners: face i has faceSizes[i] corners, listed one
// face after another in `corners`, each an index into `positions`.
struct PolygonMesh {
    std::vector<Vec3> positions;
    std::vector<std::uint32_t> corners;
    std::vector<std::uint32_t> faceSizes;
    // Edges kept sharp while smoothing, by edgeKey(): for that many steps,
    // or every step when below zero.
    std::unordered_map<std::uint64_t, double> creases;

    std::size_t faceCount() const { return faceSizes.size(); }
    void addFace(std::span<const std::uint32_t> face);
};

// An edge between two positions, whichever way round.
std::uint64_t edgeKey(std::uint32_t a, std::uint32_t b);

// Why a mesh cannot be used, in Portuguese; none when every face has three
// corners or more, all inside its positions, and every position is finite.
std::optional<std::string> meshProblem(const PolygonMesh& mesh);

// Spends work, as the build's budget does: false once it is spent.
using ChargeWork = std::function<bool(std::size_t units)>;

// Catmull-Clark subdivision, `levels` times, of a valid mesh: every face of n
// corners becomes n quadrilaterals and the surface rounds off towards the
// limit the cage stands for; edges with a face on one side only, and creased
// ones while their crease lasts, stay sharp (cubic B-spline rule along them,
// corners where three meet). Levels are clamped so that the result keeps to
// `maxFaces`; none when `charge` runs out.
std::optional<PolygonMesh> subdivide(const PolygonMesh& mesh, int levels, std::size_t maxFaces,
                                     const ChargeWork& charge);

// A face's normal by Newell's method (not unit length; zero when the face
// has no area).
Vec3 faceNormal(const PolygonMesh& mesh, std::size_t firstCorner, std::uint32_t size);

// Cuts one face (its corners' positions) into triangles of the same corners:
// a fan when it is convex, else ear by ear in the face's plane. Appends
// triples of indices into `corners`. Charges about n * n for n corners.
void triangulateFace(std::span<const Vec3> corners, std::vector<std::array<std::uint32_t, 3>>& out);

}  // namespace render::detail
