// A region of the parameter plane in triangles: its boundary kept as it is
// (edges shared with neighbouring faces are never split), the inside refined
// until each triangle is within the tolerance of the surface.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Regions.h"

namespace acis::detail {

struct Refinement {
    double tolerance = 0;
    double angle = 0;              // largest turn of the normal across a triangle
    std::size_t maxTriangles = 0;  // refining stops there; the mesh stays valid
};

class Triangulation {
  public:
    struct Vertex {
        Vec2 uv;
        Vec3 position;
    };
    using Triangle = std::array<std::uint32_t, 3>;  // counter-clockwise in the plane

    // Ear-clips the region (holes joined to the outer boundary by bridges) and
    // flips edges until the triangulation is Delaunay within its boundary,
    // measured with u and v scaled by `metric`: where the surface allows
    // longer steps along one parameter than the other (along a cylinder's
    // axis), triangles stretched that way. Throws acis::Error when the
    // boundary cannot be triangulated.
    Triangulation(const Region& region, Vec2 metric, Work& work);

    // Adds points of the surface inside until the triangles follow it.
    void refine(const SurfaceMap& map, const Refinement& refinement);

    const std::vector<Vertex>& vertices() const { return vertices_; }
    std::size_t triangleCount() const { return tris_.size(); }
    std::vector<Triangle> triangles() const;

  private:
    struct Tri {
        std::array<std::uint32_t, 3> v;  // edge i runs from v[i] to v[i + 1]
        std::array<std::int32_t, 3> n;   // the triangle across edge i, -1 for none
        std::array<bool, 3> fixed;       // edge i is boundary: never flipped or split
    };

    std::vector<std::uint32_t> bridged(const Region& region) const;
    void clipEars(std::vector<std::uint32_t> polygon);
    void connect(const Region& region);
    int edgeIn(std::int32_t t, std::uint32_t a, std::uint32_t b) const;
    void relink(std::int32_t t, std::uint32_t a, std::uint32_t b, std::int32_t to);
    bool flipIfBetter(std::int32_t t, int e);
    void legalize(std::vector<std::array<std::uint32_t, 3>> edges);
    std::uint32_t addVertex(Vec2 uv, const Vec3& position);
    bool insertInside(std::int32_t t, Vec2 uv, const Vec3& position);
    bool splitEdge(std::int32_t t, int e, Vec2 uv, const Vec3& mid);
    void rotate(std::int32_t t, int e);

    Vec2 scaled(std::uint32_t v) const {
        return {vertices_[v].uv.u * metric_.u, vertices_[v].uv.v * metric_.v};
    }

    std::vector<Vertex> vertices_;
    Vec2 metric_;
    std::vector<Tri> tris_;
    std::vector<std::int32_t> touched_;  // triangles changed by the last insertion
    Work& work_;
};

}  // namespace acis::detail
