// A face's surface as the tessellator walks it: a map from a parameter plane,
// whose coordinates are lengths (so that distances there are about those on
// the surface), to points and normals, and back.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "Vectors.h"

namespace acis::detail {

class SurfaceMap {
  public:
    virtual ~SurfaceMap() = default;

    // The surface's point and unit normal; the normal points the face's way
    // (out of the body), and u cross v points the same way.
    Vec3 point(Vec2 p) const { return pointAt(flip(p)); }
    Vec3 normal(Vec2 p) const { return normalAt(flip(p)) * side_; }
    // The parameters of the surface point nearest `p`, the periodic ones taken
    // nearest to those of `near`. Where `p` is a pole, u is near's.
    Vec2 parameters(const Vec3& p, Vec2 near) const { return flip(parametersAt(p, flip(near))); }
    // The v of the pole `p` lies on (within `within`), if it is one.
    std::optional<double> pole(const Vec3& p, double within) const;
    // The pole's point, at the low or high end of v, if that end is one.
    virtual std::optional<Vec3> polePoint(bool high) const;

    // The period of u (or v), zero when it has none.
    double periodU() const { return periodU_; }
    double periodV() const { return periodV_; }
    // Where v is defined; a bound is a pole when its line is one point. The
    // surfaces without poles have no bounds (lowest, highest double).
    double lowV() const { return lowV_; }
    double highV() const { return highV_; }
    bool poleAtLowV() const { return poleLow_; }
    bool poleAtHighV() const { return poleHigh_; }
    // Where u is defined, for surfaces closed in u but not periodic.
    double lowU() const { return flipped_ ? -highU_ : lowU_; }
    double highU() const { return flipped_ ? -lowU_ : highU_; }
    // Parameter steps short enough that chords stay within `tolerance` of the
    // surface and normals turn by less than `angle` (infinite where flat).
    virtual Vec2 steps(double tolerance, double angle) const = 0;

    // The work of one point and normal, and of one point's parameters, in
    // units of an analytic surface's point.
    virtual std::size_t evaluationCost() const { return 1; }
    virtual std::size_t lookupCost() const { return 1; }

    // Makes the surface face the other way (a face reversed on its surface).
    void reverse();

  protected:
    virtual Vec3 pointAt(Vec2 p) const = 0;
    virtual Vec3 normalAt(Vec2 p) const = 0;
    virtual Vec2 parametersAt(const Vec3& p, Vec2 near) const = 0;

    // Set by each surface: +1 when its u cross v points along its own normal.
    double orientation_ = 1;
    double periodU_ = 0, periodV_ = 0;
    double lowU_ = 0, highU_ = 0;
    double lowV_ = -1e300, highV_ = 1e300;
    bool poleLow_ = false, poleHigh_ = false;

    // Settles the parameter plane's handedness once the subclass is built.
    void orient();

  private:
    Vec2 flip(Vec2 p) const { return flipped_ ? Vec2{-p.u, p.v} : p; }

    double side_ = 1;       // the face's normal against the surface's
    bool flipped_ = false;  // u runs backwards, so that u cross v follows the face's normal
};

// The surface's map; throws acis::Error (Portuguese) for a surface that is
// degenerate or that this tessellator cannot evaluate.
std::unique_ptr<SurfaceMap> makeSurfaceMap(const Surface& surface);

// The points where the surface's parameters meet in a pole (a sphere's,
// a cone's apex); none for a surface that cannot be mapped.
std::vector<Vec3> polesOf(const Surface& surface);

}  // namespace acis::detail
