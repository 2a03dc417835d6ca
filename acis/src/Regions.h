// A face's area in its surface's parameter plane: its loops mapped there and,
// on surfaces that close on themselves, cut open along a seam and closed
// along their poles, as polygons to triangulate.
#pragma once

#include <vector>

#include "Surfaces.h"
#include "Work.h"

namespace acis::detail {

// A corner of a region's boundary; its position is fixed (an edge's point,
// shared with the neighbouring face, or a seam's, shared with the seam's
// other side).
struct RingPoint {
    Vec2 uv;
    Vec3 position;
};
using Ring = std::vector<RingPoint>;

// Outer boundary counter-clockwise, holes clockwise, none of them crossing.
struct Region {
    Ring outer;
    std::vector<Ring> holes;
};

// How finely synthetic boundaries (seams, poles, a closed surface's domain)
// are cut: within `tolerance` of the surface, normals within `angle`.
struct Accuracy {
    double tolerance = 0;
    double angle = 0;
    std::size_t maxPoints = 0;  // boundary points one face may have
};

// The regions of a face bounded by `loops` (each a closed run of points, the
// face on its left seen from the face's normal side). Throws acis::Error for
// loops that do not bound an area this can triangulate.
std::vector<Region> faceRegions(const std::vector<std::vector<Vec3>>& loops, const SurfaceMap& map,
                                const Accuracy& accuracy, Work& work);

// Throws acis::Error when two segments of the regions' rings cross.
void checkCrossings(const std::vector<Region>& regions, Work& work);

}  // namespace acis::detail
