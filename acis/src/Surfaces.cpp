// Each surface kind's parameters, chosen for tessellating rather than as the
// save format parametrises it: u around an axis (an angle times a radius), v
// across (a height, or an angle times a radius), so that a step in either is
// about a length on the surface.
#include "Surfaces.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "Spline.h"

namespace acis::detail {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;

// The representative of `value` (modulo `period`) nearest `near`.
double nearest(double value, double near, double period) {
    if (period <= 0 || !std::isfinite(near)) return value;
    return value + period * std::round((near - value) / period);
}

// A right-handed frame whose z is `axis`, x as near `towards` as may be.
struct Frame {
    Vec3 x, y, z;
};

Frame frame(const Vec3& axis, const Vec3& towards) {
    Frame f;
    f.z = unit(axis);
    f.x = unit(towards - f.z * dot(towards, f.z));
    if (length(f.x) == 0) f.x = perpendicular(f.z);
    f.y = cross(f.z, f.x);
    return f;
}

void require(bool ok, const char* message) {
    if (!ok) throw Error(message);
}

class PlaneMap : public SurfaceMap {
  public:
    explicit PlaneMap(const Surface& s) : origin_(s.origin), f_(frame(s.normal, {})) {
        require(length(f_.z) > 0, "plano sem normal");
        orient();
    }
    Vec2 steps(double, double) const override { return {HUGE_VAL, HUGE_VAL}; }

  protected:
    Vec3 pointAt(Vec2 p) const override { return origin_ + f_.x * p.u + f_.y * p.v; }
    Vec3 normalAt(Vec2) const override { return f_.z; }
    Vec2 parametersAt(const Vec3& p, Vec2) const override {
        const Vec3 d = p - origin_;
        return {dot(d, f_.x), dot(d, f_.y)};
    }

  private:
    Vec3 origin_;
    Frame f_;
};

// Cones and cylinders, of elliptical section: at height h along the axis the
// base ellipse scaled by 1 + h tan / a, stopping at the apex.
class ConeMap : public SurfaceMap {
  public:
    explicit ConeMap(const Surface& s) : centre_(s.origin) {
        f_ = frame(s.normal, s.majorAxis);
        a_ = length(s.majorAxis - f_.z * dot(s.majorAxis, f_.z));
        b_ = a_ * std::abs(s.ratio);
        require(length(f_.z) > 0 && a_ > 0 && b_ > 0, "cone degenerado");
        require(s.cosineAngle != 0, "cone plano não suportado");
        slope_ = s.sineAngle / s.cosineAngle;
        outward_ = s.cosineAngle > 0 ? 1 : -1;
        periodU_ = kTwoPi * a_;
        if (slope_ > 0) {
            poleLow_ = true;
            lowV_ = -a_ / slope_;
        } else if (slope_ < 0) {
            poleHigh_ = true;
            highV_ = -a_ / slope_;
        }
        orientation_ = outward_;
        orient();
    }
    Vec2 steps(double tolerance, double angle) const override {
        return {a_ * circleStep(a_, tolerance, angle * b_ / a_), HUGE_VAL};
    }

  protected:
    Vec3 pointAt(Vec2 p) const override {
        const double t = p.u / a_;
        return centre_ + f_.z * p.v + radial(t) * scale(p.v);
    }
    Vec3 normalAt(Vec2 p) const override {
        // Along the section cross along the generator, which does not depend
        // on the height, so that the apex has a normal for every u too.
        const double t = p.u / a_;
        const Vec3 along = f_.x * (-a_ * std::sin(t)) + f_.y * (b_ * std::cos(t));
        const Vec3 generator = f_.z + radial(t) * (slope_ / a_);
        return unit(cross(along, generator)) * outward_;
    }
    Vec2 parametersAt(const Vec3& p, Vec2 near) const override {
        const Vec3 d = p - centre_;
        const double h = dot(d, f_.z);
        const double s = scale(h);
        if (std::abs(s) < 1e-12) return {near.u, h};
        const double t = std::atan2(dot(d, f_.y) / (b_ * s), dot(d, f_.x) / (a_ * s));
        return {nearest(a_ * t, near.u, periodU_), h};
    }
    std::optional<Vec3> polePoint(bool high) const override {
        if (high ? !poleHigh_ : !poleLow_) return std::nullopt;
        return centre_ + f_.z * (high ? highV_ : lowV_);
    }

  private:
    Vec3 radial(double t) const { return f_.x * (a_ * std::cos(t)) + f_.y * (b_ * std::sin(t)); }
    double scale(double h) const { return 1 + h * slope_ / a_; }

    Vec3 centre_;
    Frame f_;
    double a_ = 0, b_ = 0, slope_ = 0, outward_ = 1;
};

class SphereMap : public SurfaceMap {
  public:
    explicit SphereMap(const Surface& s) : centre_(s.origin), r_(std::abs(s.radius)) {
        require(r_ > 0, "esfera de raio nulo");
        f_ = frame(length(s.normal) > 0 ? s.normal : Vec3{0, 0, 1}, s.majorAxis);
        outward_ = s.radius > 0 ? 1 : -1;
        periodU_ = kTwoPi * r_;
        lowV_ = -r_ * kPi / 2;
        highV_ = r_ * kPi / 2;
        poleLow_ = poleHigh_ = true;
        orientation_ = outward_;
        orient();
    }
    Vec2 steps(double tolerance, double angle) const override {
        const double step = r_ * circleStep(r_, tolerance, angle);
        return {step, step};
    }

  protected:
    Vec3 pointAt(Vec2 p) const override { return centre_ + direction(p) * r_; }
    Vec3 normalAt(Vec2 p) const override { return direction(p) * outward_; }
    Vec2 parametersAt(const Vec3& p, Vec2 near) const override {
        const Vec3 d = p - centre_;
        const double z = dot(d, f_.z);
        const double x = dot(d, f_.x), y = dot(d, f_.y);
        const double across = std::sqrt(x * x + y * y);
        const double v = r_ * std::atan2(z, across);
        if (across < 1e-12 * r_) return {near.u, v};
        return {nearest(r_ * std::atan2(y, x), near.u, periodU_), v};
    }
    std::optional<Vec3> polePoint(bool high) const override {
        return centre_ + f_.z * (high ? r_ : -r_);
    }

  private:
    Vec3 direction(Vec2 p) const {
        const double t = p.u / r_, phi = p.v / r_;
        return (f_.x * std::cos(t) + f_.y * std::sin(t)) * std::cos(phi) + f_.z * std::sin(phi);
    }

    Vec3 centre_;
    double r_;
    Frame f_;
    double outward_ = 1;
};

// A circle of radius |minor| swept round the axis at distance `major`. With
// |minor| above `major` only the part of the circle on the centre's side of
// the axis is the surface (an apple, or for a negative major, a lemon), which
// then has a pole on the axis at each end of v.
class TorusMap : public SurfaceMap {
  public:
    explicit TorusMap(const Surface& s)
        : centre_(s.origin), major_(s.radius), minor_(std::abs(s.minorRadius)) {
        f_ = frame(s.normal, s.majorAxis);
        require(length(f_.z) > 0 && minor_ > 0 && major_ + minor_ > 0, "toro degenerado");
        outward_ = s.minorRadius > 0 ? 1 : -1;
        scaleU_ = std::max(std::abs(major_), minor_);
        periodU_ = kTwoPi * scaleU_;
        if (major_ > minor_) {
            periodV_ = kTwoPi * minor_;
        } else {
            const double end = std::acos(std::clamp(-major_ / minor_, -1.0, 1.0));
            lowV_ = -minor_ * end;
            highV_ = minor_ * end;
            poleLow_ = poleHigh_ = true;
        }
        orientation_ = outward_;
        orient();
    }
    Vec2 steps(double tolerance, double angle) const override {
        return {scaleU_ * circleStep(std::abs(major_) + minor_, tolerance, angle),
                minor_ * circleStep(minor_, tolerance, angle)};
    }

  protected:
    Vec3 pointAt(Vec2 p) const override {
        const double t = p.u / scaleU_, phi = p.v / minor_;
        return centre_ + around(t) * (major_ + minor_ * std::cos(phi)) +
               f_.z * (minor_ * std::sin(phi));
    }
    Vec3 normalAt(Vec2 p) const override {
        const double t = p.u / scaleU_, phi = p.v / minor_;
        return (around(t) * std::cos(phi) + f_.z * std::sin(phi)) * outward_;
    }
    Vec2 parametersAt(const Vec3& p, Vec2 near) const override {
        const Vec3 d = p - centre_;
        const double z = dot(d, f_.z);
        const double x = dot(d, f_.x), y = dot(d, f_.y);
        const double across = std::sqrt(x * x + y * y);
        const double v = nearest(minor_ * std::atan2(z, across - major_), near.v, periodV_);
        if (across < 1e-12 * (std::abs(major_) + minor_)) return {near.u, v};
        return {nearest(scaleU_ * std::atan2(y, x), near.u, periodU_), v};
    }
    std::optional<Vec3> polePoint(bool high) const override {
        if (periodV_ > 0) return std::nullopt;
        return pointAt({0, high ? highV_ : lowV_});
    }

  private:
    Vec3 around(double t) const { return f_.x * std::cos(t) + f_.y * std::sin(t); }

    Vec3 centre_;
    double major_, minor_;
    Frame f_;
    double scaleU_ = 1, outward_ = 1;
};

// One direction of a B-spline surface walked by length: each knot span
// given a share of the walked range as long as the surface is along it, so
// that a step means about the same length everywhere, however unevenly the
// knots are spaced (a lofted vase whose lip takes a seventh of v for a
// fiftieth of its height).
class WalkedKnots {
  public:
    // `lengths[i]`: the surface's length across span i of the distinct knots `knots`.
    WalkedKnots(std::vector<double> knots, const std::vector<double>& lengths)
        : knots_(std::move(knots)), walked_(knots_.size()) {
        double total = 0;
        for (double l : lengths) total += l;
        // No span shorter than a hundredth of the mean, so the map stays one to one.
        const double least = 0.01 * total / static_cast<double>(lengths.size());
        for (std::size_t i = 0; i < lengths.size(); ++i)
            walked_[i + 1] = walked_[i] + std::max(lengths[i], least);
    }

    double length() const { return walked_.back(); }
    // The knot parameter at walked `w` (clamped to the range), and its rate.
    std::pair<double, double> knot(double w) const {
        w = std::clamp(w, 0.0, walked_.back());
        const auto next = std::upper_bound(walked_.begin() + 1, walked_.end() - 1, w);
        const auto i = static_cast<std::size_t>(next - walked_.begin()) - 1;
        const double rate = (knots_[i + 1] - knots_[i]) / (walked_[i + 1] - walked_[i]);
        return {knots_[i] + (w - walked_[i]) * rate, rate};
    }

  private:
    std::vector<double> knots_;   // distinct, increasing
    std::vector<double> walked_;  // where each starts when walked
};

// The distinct knots of the defined range.
std::vector<double> distinctKnots(const std::vector<double>& knots, int degree) {
    const double first = firstParameter(knots, degree), last = lastParameter(knots, degree);
    std::vector<double> out{first};
    for (double k : knots)
        if (k > out.back() && k < last) out.push_back(k);
    out.push_back(last);
    return out;
}

// A B-spline surface, its knot parameters walked by length (WalkedKnots).
// A side whose control points all coincide is a pole; the surface is walked
// with u and v exchanged when its poles lie at the ends of u, so that poles
// are always at the ends of v.
class SplineMap : public SurfaceMap {
  public:
    explicit SplineMap(const Surface& s) : s_(s.spline) {
        require(s.splineError.empty(), s.splineError.c_str());
        const int nu = s_.countU, nv = s_.countV;
        require(nu > s_.degreeU && nv > s_.degreeV &&
                    s_.controlPoints.size() ==
                        static_cast<std::size_t>(nu) * static_cast<std::size_t>(nv),
                "superfície B-spline inconsistente");
        double size = 0;
        for (const Vec3& p : s_.controlPoints)
            size = std::max(size, length(p - s_.controlPoints[0]));
        require(size > 0 && std::isfinite(size), "superfície B-spline degenerada");
        const double eps = 1e-9 * size;
        const auto at = [&](int i, int j) -> const Vec3& {
            return s_.controlPoints[static_cast<std::size_t>(j) * static_cast<std::size_t>(nu) +
                                    static_cast<std::size_t>(i)];
        };
        // A row of v (all u at one v) that is one point, and one of u.
        const auto rowIsPoint = [&](int j) {
            for (int i = 1; i < nu; ++i)
                if (length(at(i, j) - at(0, j)) > eps) return false;
            return true;
        };
        const auto columnIsPoint = [&](int i) {
            for (int j = 1; j < nv; ++j)
                if (length(at(i, j) - at(i, 0)) > eps) return false;
            return true;
        };
        const bool poleV[2] = {rowIsPoint(0), rowIsPoint(nv - 1)};
        const bool poleU[2] = {columnIsPoint(0), columnIsPoint(nu - 1)};
        swapped_ = !(poleV[0] || poleV[1]) && (poleU[0] || poleU[1]);
        // Lengths of the net along u and along v, to scale the parameters by.
        double alongU = 0, alongV = 0;
        for (int j = 0; j < nv; ++j)
            for (int i = 1; i < nu; ++i) alongU += length(at(i, j) - at(i - 1, j));
        for (int i = 0; i < nu; ++i)
            for (int j = 1; j < nv; ++j) alongV += length(at(i, j) - at(i, j - 1));
        alongU /= nv;
        alongV /= nu;
        require(firstParameter(s_.knotsU, s_.degreeU) < lastParameter(s_.knotsU, s_.degreeU) &&
                    firstParameter(s_.knotsV, s_.degreeV) < lastParameter(s_.knotsV, s_.degreeV),
                "superfície B-spline sem extensão");
        walked_[0] = walk(true, std::max(alongU, size * 1e-3));
        walked_[1] = walk(false, std::max(alongV, size * 1e-3));
        // In the walked order: index 0 is what the tessellator calls u.
        const int a = swapped_ ? 1 : 0, b = 1 - a;
        const double spans[2] = {walked_[0]->length(), walked_[1]->length()};
        const bool closed[2] = {s_.closedU, s_.closedV};
        lowU_ = 0, highU_ = spans[a];
        lowV_ = 0, highV_ = spans[b];
        if (closed[a]) periodU_ = spans[a];
        if (closed[b]) periodV_ = spans[b];
        poleLow_ = swapped_ ? poleU[0] : poleV[0];
        poleHigh_ = swapped_ ? poleU[1] : poleV[1];
        if (poleLow_ || poleHigh_) periodV_ = 0;
        orientation_ = (s.reversed ? -1 : 1) * (swapped_ ? -1 : 1);
        size_ = size;
        orient();
    }
    std::size_t evaluationCost() const override {
        return 1 + static_cast<std::size_t>((s_.degreeU + 1) * (s_.degreeV + 1)) / 16;
    }
    std::size_t lookupCost() const override {
        return evaluationCost() * 64 +
               static_cast<std::size_t>(std::min(3 * s_.countU, 97) * std::min(3 * s_.countV, 97)) /
                   16;
    }
    Vec2 steps(double, double) const override {
        // Spans of the knot vectors: the subdivision that follows checks the
        // surface itself, so these only keep the first pieces from being long.
        const double spansU = static_cast<double>(s_.countU - s_.degreeU);
        const double spansV = static_cast<double>(s_.countV - s_.degreeV);
        const Vec2 step{(highU_ - lowU_) / (2 * (swapped_ ? spansV : spansU)),
                        (highV_ - lowV_) / (2 * (swapped_ ? spansU : spansV))};
        return step;
    }

  protected:
    Vec3 pointAt(Vec2 p) const override { return at(p, false).point; }
    Vec3 normalAt(Vec2 p) const override {
        SurfacePoint e = at(p);
        Vec3 n = cross(e.du, e.dv);
        if (length(n) <= 1e-12 * size_ * size_) {
            // A pole, or a side along which the surface stands still (a
            // profile's end point repeated): the normal just inside it, a step
            // in from the side whose parameter moves the point least.
            const auto inward = [](double x, double low, double high) {
                const double step = (high - low) * 1e-6;
                return x - low < high - x ? x + step : x - step;
            };
            const bool acrossU = length(e.du) < length(e.dv);
            const Vec2 in = acrossU ? Vec2{inward(p.u, lowU_, highU_), p.v}
                                    : Vec2{p.u, inward(p.v, lowV_, highV_)};
            e = at(in);
            n = cross(e.du, e.dv);
            if (length(n) <= 1e-12 * size_ * size_) {
                e = at({inward(p.u, lowU_, highU_), inward(p.v, lowV_, highV_)});
                n = cross(e.du, e.dv);
            }
        }
        return unit(n) * orientation_;
    }
    Vec2 parametersAt(const Vec3& p, Vec2 near) const override;
    std::optional<Vec3> polePoint(bool high) const override {
        if (high ? !poleHigh_ : !poleLow_) return std::nullopt;
        return pointAt({lowU_, high ? highV_ : lowV_});
    }

  private:
    // The surface at walked parameters: derivatives per walked unit.
    SurfacePoint at(Vec2 p, bool derivatives = true) const {
        double w[2] = {p.u, p.v};
        if (periodU_ > 0)
            w[0] = lowU_ + std::fmod(std::fmod(w[0] - lowU_, periodU_) + periodU_, periodU_);
        if (periodV_ > 0)
            w[1] = lowV_ + std::fmod(std::fmod(w[1] - lowV_, periodV_) + periodV_, periodV_);
        const double walked[2] = {swapped_ ? w[1] : w[0], swapped_ ? w[0] : w[1]};
        const auto [u, rateU] = walked_[0]->knot(walked[0]);
        const auto [v, rateV] = walked_[1]->knot(walked[1]);
        SurfacePoint e = evaluate(s_, u, v, derivatives);
        e.du = e.du * rateU;
        e.dv = e.dv * rateV;
        if (swapped_) std::swap(e.du, e.dv);
        return e;
    }
    void sampleGrid() const;

    // Each span's length along u (or v): across it on a few lines of the
    // other direction, at least its share of `overall`, the net's mean.
    WalkedKnots walk(bool alongU, double overall) const {
        const std::vector<double>& knots = alongU ? s_.knotsU : s_.knotsV;
        const std::vector<double> spans = distinctKnots(knots, alongU ? s_.degreeU : s_.degreeV);
        const std::vector<double>& other = alongU ? s_.knotsV : s_.knotsU;
        const int otherDegree = alongU ? s_.degreeV : s_.degreeU;
        const double o0 = firstParameter(other, otherDegree), o1 = lastParameter(other, otherDegree);
        const auto point = [&](double t, double o) {
            return (alongU ? evaluate(s_, t, o, false) : evaluate(s_, o, t, false)).point;
        };
        std::vector<double> lengths(spans.size() - 1);
        for (std::size_t i = 0; i + 1 < spans.size(); ++i) {
            for (const double f : {0.0, 0.5, 1.0}) {
                const double o = o0 + (o1 - o0) * f;
                Vec3 previous = point(spans[i], o);
                for (int k = 1; k <= 4; ++k) {
                    const Vec3 p = point(spans[i] + (spans[i + 1] - spans[i]) * k / 4, o);
                    lengths[i] += length(p - previous) / 3;
                    previous = p;
                }
            }
            if (!std::isfinite(lengths[i])) lengths[i] = 0;
        }
        // A direction along which the surface has no length (all of it one
        // line) is walked evenly, as long as the net is wide.
        double total = 0;
        for (double l : lengths) total += l;
        if (!(total > 1e-9 * overall))
            for (std::size_t i = 0; i < lengths.size(); ++i)
                lengths[i] = overall * (spans[i + 1] - spans[i]) / (spans.back() - spans.front());
        return WalkedKnots(spans, lengths);
    }

    const SplineSurface& s_;
    bool swapped_ = false;
    std::optional<WalkedKnots> walked_[2];  // along the surface's own u and v
    double size_ = 1;
    // Points on a grid over the parameters, to start the search for the
    // nearest point from; made when first needed.
    mutable int gridU_ = 0, gridV_ = 0;
    mutable std::vector<Vec3> grid_;
};

void SplineMap::sampleGrid() const {
    const int spansU = (swapped_ ? s_.countV - s_.degreeV : s_.countU - s_.degreeU);
    const int spansV = (swapped_ ? s_.countU - s_.degreeU : s_.countV - s_.degreeV);
    // A few samples per knot span; the decoder bounds the spans by the input size.
    gridU_ = std::min(3 * spansU, 96) + 1;
    gridV_ = std::min(3 * spansV, 96) + 1;
    grid_.reserve(static_cast<std::size_t>(gridU_) * static_cast<std::size_t>(gridV_));
    for (int j = 0; j < gridV_; ++j)
        for (int i = 0; i < gridU_; ++i)
            grid_.push_back(at({lowU_ + (highU_ - lowU_) * i / (gridU_ - 1),
                                lowV_ + (highV_ - lowV_) * j / (gridV_ - 1)},
                               false)
                                .point);
}

// Gauss-Newton from `near` (the previous point of a loop, usually close), and
// when that does not end on the point, from the closest grid sample.
Vec2 SplineMap::parametersAt(const Vec3& p, Vec2 near) const {
    const auto clampToDomain = [&](Vec2 q) {
        if (periodU_ == 0) q.u = std::clamp(q.u, lowU_, highU_);
        if (periodV_ == 0) q.v = std::clamp(q.v, lowV_, highV_);
        return q;
    };
    const auto descend = [&](Vec2 q) {
        double d = length(at(q, false).point - p);
        for (int iteration = 0; iteration < 32; ++iteration) {
            const SurfacePoint e = at(q);
            const Vec3 r = p - e.point;
            // Normal equations of the linearised distance.
            const double a = dot(e.du, e.du), b = dot(e.du, e.dv), c = dot(e.dv, e.dv);
            const double ru = dot(r, e.du), rv = dot(r, e.dv);
            const double det = a * c - b * b;
            if (!(std::abs(det) > 1e-30)) break;
            Vec2 step{(c * ru - b * rv) / det, (a * rv - b * ru) / det};
            // No step longer than a tenth of the domain, so that it stays local.
            const double limit = 0.1 * std::max(highU_ - lowU_, highV_ - lowV_);
            const double n = length(step);
            if (n > limit) step = step * (limit / n);
            const Vec2 next = clampToDomain(q + step);
            const double nextDistance = length(at(next, false).point - p);
            if (nextDistance > d) break;
            const bool converged = length(next - q) < 1e-12 * (highU_ - lowU_ + highV_ - lowV_);
            q = next, d = nextDistance;
            if (converged) break;
        }
        return std::pair{q, d};
    };
    auto [q, d] = std::isfinite(near.u) && std::isfinite(near.v) ? descend(clampToDomain(near))
                                                                 : std::pair{near, HUGE_VAL};
    if (!(d <= 1e-7 * size_)) {
        if (grid_.empty()) sampleGrid();
        Vec2 start{lowU_, lowV_};
        double best = HUGE_VAL;
        for (int j = 0; j < gridV_; ++j)
            for (int i = 0; i < gridU_; ++i)
                if (const double g = length(grid_[static_cast<std::size_t>(j * gridU_ + i)] - p);
                    g < best)
                    best = g, start = {lowU_ + (highU_ - lowU_) * i / (gridU_ - 1),
                                       lowV_ + (highV_ - lowV_) * j / (gridV_ - 1)};
        if (const auto [fromGrid, gridDistance] = descend(start); gridDistance < d) q = fromGrid;
    }
    if (periodU_ > 0) q.u = nearest(q.u, near.u, periodU_);
    if (periodV_ > 0) q.v = nearest(q.v, near.v, periodV_);
    return q;
}

}  // namespace

std::optional<double> SurfaceMap::pole(const Vec3& p, double within) const {
    for (const bool high : {false, true})
        if (const auto at = polePoint(high); at && length(p - *at) <= within)
            return high ? highV_ : lowV_;
    return std::nullopt;
}

std::optional<Vec3> SurfaceMap::polePoint(bool) const {
    return std::nullopt;
}

void SurfaceMap::orient() {
    flipped_ = orientation_ * side_ < 0;
}

void SurfaceMap::reverse() {
    side_ = -side_;
    orient();
}

std::vector<Vec3> polesOf(const Surface& surface) {
    std::vector<Vec3> out;
    try {
        const std::unique_ptr<SurfaceMap> map = makeSurfaceMap(surface);
        for (bool high : {false, true})
            if (const std::optional<Vec3> p = map->polePoint(high)) out.push_back(*p);
    } catch (const Error&) {
    }
    return out;
}

std::unique_ptr<SurfaceMap> makeSurfaceMap(const Surface& surface) {
    switch (surface.kind) {
        case Surface::Kind::Plane:
            return std::make_unique<PlaneMap>(surface);
        case Surface::Kind::Cone:
            return std::make_unique<ConeMap>(surface);
        case Surface::Kind::Sphere:
            return std::make_unique<SphereMap>(surface);
        case Surface::Kind::Torus:
            return std::make_unique<TorusMap>(surface);
        case Surface::Kind::Spline:
            return std::make_unique<SplineMap>(surface);
        case Surface::Kind::Other:
            break;
    }
    throw Error("superfície de tipo não suportado");
}

}  // namespace acis::detail
