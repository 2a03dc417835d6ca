// Face by face: the loops' edges sampled (once per edge, shared by the faces on
// both sides), mapped into the surface's parameters, triangulated there and
// refined until flat within the tolerance; positions and normals from the
// surface, the edges' points kept exactly.
#include <acis/Tessellate.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Edges.h"
#include "Regions.h"
#include "Triangulation.h"

namespace acis {
namespace {

using detail::EdgeSampler;
using detail::Triangulation;
using detail::Work;

template <typename T>
const T* item(const std::vector<T>& list, int i) {
    return i >= 0 && static_cast<std::size_t>(i) < list.size() ? &list[static_cast<std::size_t>(i)]
                                                               : nullptr;
}

// The points round one loop, each coedge's edge points in the coedge's
// direction, the loop's last point (its first again) left out.
std::vector<Vec3> loopPoints(const Model& model, const Loop& loop, EdgeSampler& edges,
                             std::size_t maxPoints) {
    std::vector<Vec3> points;
    for (int c : loop.coedges) {
        const Coedge* coedge = item(model.coedges, c);
        if (!coedge) throw Error("laço sem aresta");
        const std::vector<Vec3>& along = edges.points(coedge->edge);
        const auto add = [&](const Vec3& p, bool first) {
            if (first && !points.empty()) {
                if (!(points.back() == p)) throw Error("laço aberto");
                return;
            }
            if (points.size() >= maxPoints) throw Error("laço com pontos demais para a tolerância");
            points.push_back(p);
        };
        if (coedge->reversed)
            for (std::size_t k = along.size(); k-- > 0;) add(along[k], k + 1 == along.size());
        else
            for (std::size_t k = 0; k < along.size(); ++k) add(along[k], k == 0);
    }
    if (points.size() > 1) {
        if (!(points.back() == points.front())) throw Error("laço aberto");
        points.pop_back();
    }
    return points;
}

// Where the surface has no normal (a spline's degenerate corner), the
// triangles' own around the point.
void settleNormals(Mesh& mesh) {
    const auto unusable = [](const Vec3& n) { return !(std::abs(length(n) - 1) < 1e-6); };
    if (std::none_of(mesh.normals.begin(), mesh.normals.end(), unusable)) return;
    std::vector<Vec3> around(mesh.positions.size());
    for (const auto& t : mesh.triangles) {
        const Vec3 n = cross(mesh.positions[t[1]] - mesh.positions[t[0]],
                             mesh.positions[t[2]] - mesh.positions[t[0]]);
        for (std::uint32_t i : t) around[i] = around[i] + n;
    }
    for (std::size_t i = 0; i < mesh.normals.size(); ++i)
        if (unusable(mesh.normals[i])) mesh.normals[i] = unit(around[i]);
}

Mesh tessellateFace(const Model& model, const Face& face, EdgeSampler& edges,
                    const TessellationLimits& limits, std::size_t maxTriangles, Work& work) {
    const Surface* surface = item(model.surfaces, face.surface);
    if (!surface) throw Error("face sem superfície");
    const std::unique_ptr<detail::SurfaceMap> map = detail::makeSurfaceMap(*surface);
    if (face.reversed) map->reverse();
    std::vector<std::vector<Vec3>> loops;
    for (int l : face.loops) {
        const Loop* loop = item(model.loops, l);
        if (!loop) throw Error("face com laço inválido");
        loops.push_back(loopPoints(model, *loop, edges, limits.maxTrianglesPerFace));
    }
    const detail::Accuracy accuracy{limits.tolerance, limits.maxNormalAngle,
                                    limits.maxTrianglesPerFace};
    const std::vector<detail::Region> regions = detail::faceRegions(loops, *map, accuracy, work);
    detail::checkCrossings(regions, work);
    // Triangles as long along each parameter as the surface allows: far
    // longer along a cylinder's axis than round it. A spline's steps follow
    // its knots, not its bending, and its parameters are walked by length:
    // its triangles are made round.
    const detail::Vec2 steps = map->steps(limits.tolerance, limits.maxNormalAngle);
    const double shortest = std::min(steps.u, steps.v);
    detail::Vec2 metric{1, 1};
    if (surface->kind != Surface::Kind::Spline && std::isfinite(shortest) && shortest > 0) {
        constexpr double kMostStretch = 100;
        metric = {shortest / std::min(steps.u, kMostStretch * shortest),
                  shortest / std::min(steps.v, kMostStretch * shortest)};
    }
    Mesh mesh;
    for (const detail::Region& region : regions) {
        Triangulation triangulation(region, metric, work);
        const std::size_t made = mesh.triangles.size();
        if (made + triangulation.triangleCount() > maxTriangles)
            throw Error("face com triângulos demais para a tolerância");
        triangulation.refine(*map, {limits.tolerance, limits.maxNormalAngle, maxTriangles - made});
        const auto& vertices = triangulation.vertices();
        // Triangles that are one point or one line in space (a pole's fan) go.
        std::vector<std::uint32_t> index(vertices.size(), UINT32_MAX);
        for (const Triangulation::Triangle& t : triangulation.triangles()) {
            const Vec3& a = vertices[t[0]].position;
            const Vec3& b = vertices[t[1]].position;
            const Vec3& c = vertices[t[2]].position;
            if (length(cross(b - a, c - a)) == 0) continue;
            std::array<std::uint32_t, 3> out{};
            for (std::size_t k = 0; k < 3; ++k) {
                std::uint32_t& i = index[t[k]];
                if (i == UINT32_MAX) {
                    work.spend();
                    i = static_cast<std::uint32_t>(mesh.positions.size());
                    mesh.positions.push_back(vertices[t[k]].position);
                    mesh.normals.push_back(map->normal(vertices[t[k]].uv));
                }
                out[k] = i;
            }
            mesh.triangles.push_back(out);
        }
    }
    for (const Vec3& p : mesh.positions)
        if (!isFinite(p)) throw Error("face fora do alcance dos números");
    settleNormals(mesh);
    return mesh;
}

bool usable(const TessellationLimits& limits) {
    return limits.tolerance > 0 && std::isfinite(limits.tolerance) && limits.maxNormalAngle > 0 &&
           limits.maxNormalAngle <= std::numbers::pi && limits.maxTrianglesPerFace > 0 &&
           limits.maxTrianglesPerBody > 0;
}

}  // namespace

ModelMesh tessellate(const Model& model, const TessellationLimits& limits,
                     const WorkCharge& charge) {
    ModelMesh out;
    Work work(charge);
    // Each lump, shell and face once, however the model's pointers repeat them.
    std::vector<bool> seenLump(model.lumps.size()), seenShell(model.shells.size()),
        seenFace(model.faces.size());
    const auto first = [](std::vector<bool>& seen, int i) {
        if (i < 0 || static_cast<std::size_t>(i) >= seen.size() ||
            seen[static_cast<std::size_t>(i)])
            return false;
        seen[static_cast<std::size_t>(i)] = true;
        return true;
    };
    try {
        // The edges' points stay within a few times what the triangles may use.
        const std::size_t maxEdgePoints =
            limits.maxTrianglesPerBody > SIZE_MAX / 4 ? SIZE_MAX : 4 * limits.maxTrianglesPerBody;
        EdgeSampler edges(
            model,
            {limits.tolerance, limits.maxNormalAngle, limits.maxTrianglesPerFace, maxEdgePoints},
            work);
        for (std::size_t b = 0; b < model.bodies.size(); ++b) {
            edges.clear();
            std::size_t triangles = 0;
            for (int l : model.bodies[b].lumps) {
                if (!first(seenLump, l)) continue;
                for (int s : model.lumps[static_cast<std::size_t>(l)].shells) {
                    if (!first(seenShell, s)) continue;
                    for (int f : model.shells[static_cast<std::size_t>(s)].faces) {
                        if (!first(seenFace, f)) continue;
                        const Face& face = model.faces[static_cast<std::size_t>(f)];
                        FaceMesh result{static_cast<int>(b), f, face.doubleSided, {}, {}};
                        if (!usable(limits)) {
                            result.error = "limites de tesselação inválidos";
                        } else if (triangles >= limits.maxTrianglesPerBody) {
                            result.error = "corpo com triângulos demais para a tolerância";
                        } else {
                            try {
                                const std::size_t left = limits.maxTrianglesPerBody - triangles;
                                result.mesh = tessellateFace(
                                    model, face, edges, limits,
                                    std::min(left, limits.maxTrianglesPerFace), work);
                                triangles += result.mesh.triangles.size();
                            } catch (const Error& e) {
                                result.error = e.what();
                            }
                        }
                        out.faces.push_back(std::move(result));
                    }
                }
            }
        }
        work.flush();
    } catch (const Work::Stopped&) {
        out.stopped = true;
    }
    return out;
}

}  // namespace acis
