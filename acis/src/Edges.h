// The points along a model's edges that the faces on both sides of each edge
// share: from the edge's start vertex to its end, along its curve, close
// enough that the chords stay within the tolerance.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "Vectors.h"
#include "Work.h"

namespace acis::detail {

class EdgeSampler {
  public:
    struct Limits {
        double tolerance = 0;
        double angle = 0;
        std::size_t maxPerEdge = 0;
        std::size_t maxTotal = 0;  // for all the edges sampled until clear()
    };

    EdgeSampler(const Model& model, const Limits& limits, Work& work);

    // The edge's points, its vertices exactly at the ends; a single point for
    // an edge that is one (a cone's apex). Throws acis::Error, the same for
    // every face the edge bounds, when the edge cannot be followed.
    const std::vector<Vec3>& points(int edge);
    // Forgets the edges sampled so far (they belong to another body).
    void clear();

  private:
    std::vector<Vec3> sample(const Edge& edge, bool onSpline);
    std::vector<Vec3> ellipse(const Curve& curve, const Vec3& start, const Vec3& end, bool whole,
                              bool reversed);
    std::vector<Vec3> spline(const Curve& curve, const Vec3& start, const Vec3& end, bool whole,
                             bool reversed);
    void limit(std::size_t points) const;

    const Model& model_;
    Limits limits_;
    Work& work_;
    void addPoles(int edge, std::vector<Vec3>& points) const;

    std::vector<bool> onSplineFace_;  // per edge: one of its faces lies on a spline surface
    // Per edge: the poles of its faces' surfaces, which a point of the edge
    // must land on when the edge runs through them (a meridian of a sphere).
    std::unordered_map<int, std::vector<Vec3>> poles_;
    std::unordered_map<int, std::vector<Vec3>> done_;
    std::unordered_map<int, std::string> failed_;
    std::size_t total_ = 0;
};

}  // namespace acis::detail
