// Loops to parameter-plane polygons. On a periodic surface a loop's points are
// unwrapped to follow one another, and a loop that goes once round (a
// cylinder's end circles) is cut at a seam: two such loops bound a band, one
// loop and a pole a cap. A closed surface with only holes (or none, a whole
// sphere) gets its whole domain as the outer boundary.
#include "Regions.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

namespace acis::detail {
namespace {

struct MappedLoop {
    Ring ring;
    int windingU = 0;  // times round the periods of u and of v
    int windingV = 0;
    double area = 0;  // signed, in the parameter plane
};

double signedArea(const Ring& ring) {
    double twice = 0;
    for (std::size_t i = 0, n = ring.size(); i < n; ++i)
        twice += cross(ring[i].uv, ring[(i + 1) % n].uv);
    return twice / 2;
}

void addPoint(Ring& ring, const RingPoint& p, std::size_t maxPoints) {
    if (!ring.empty() && ring.back().uv == p.uv) return;
    if (ring.size() >= maxPoints) throw Error("laço com pontos demais para a tolerância");
    ring.push_back(p);
}

// The representative of `value` (modulo `period`) in [low, low + period).
double wrapFrom(double value, double low, double period) {
    return low + std::fmod(std::fmod(value - low, period) + period, period);
}

// A loop in parameters: each point's periodic parameters taken nearest the
// previous point's. A pole (where u means nothing; an edge through it has a
// point there) becomes the run along the pole's line from the u the loop
// arrives with to the one it leaves with, in the direction that keeps the face
// on the left. None for a loop that is one point (a cone's apex).
std::optional<MappedLoop> mapLoop(const std::vector<Vec3>& points, const SurfaceMap& map,
                                  const Accuracy& accuracy, Work& work) {
    const double within = accuracy.tolerance * 0.01;
    std::vector<std::optional<double>> poles(points.size());
    std::size_t first = points.size();
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!isFinite(points[i])) throw Error("laço com coordenadas inválidas");
        poles[i] = map.pole(points[i], within);
        if (!poles[i] && first == points.size()) first = i;
    }
    if (first == points.size()) return std::nullopt;
    const double period = map.periodU();
    MappedLoop loop;
    const std::size_t n = points.size();
    Vec2 previous = map.parameters(points[first], {0, 0});
    const Vec2 start = previous;
    addPoint(loop.ring, {start, points[first]}, accuracy.maxPoints);
    // A pole met since the previous point: its v and its point.
    bool passedPole = false;
    double poleV = 0;
    Vec3 polePosition;
    for (std::size_t step = 1; step <= n; ++step) {
        work.spend(map.lookupCost());
        const std::size_t i = (first + step) % n;
        if (poles[i]) {
            passedPole = true, poleV = *poles[i], polePosition = points[i];
            continue;
        }
        Vec2 uv = map.parameters(points[i], previous);
        if (!std::isfinite(uv.u) || !std::isfinite(uv.v))
            throw Error("laço fora do domínio da superfície");
        if (passedPole) {
            // Along the high pole the face (on the left) lies below: the loop
            // runs towards lower u; along the low pole, towards higher u.
            if (period > 0)
                uv.u = poleV == map.highV() ? previous.u - wrapFrom(previous.u - uv.u, 0, period)
                                            : previous.u + wrapFrom(uv.u - previous.u, 0, period);
            addPoint(loop.ring, {{previous.u, poleV}, polePosition}, accuracy.maxPoints);
            addPoint(loop.ring, {{uv.u, poleV}, polePosition}, accuracy.maxPoints);
            passedPole = false;
        }
        if (step == n) {
            // Back at the first point: how far the unwrapping has carried it.
            const double pv = map.periodV();
            loop.windingU =
                period > 0 ? static_cast<int>(std::lround((uv.u - start.u) / period)) : 0;
            loop.windingV = pv > 0 ? static_cast<int>(std::lround((uv.v - start.v) / pv)) : 0;
            if (!loop.ring.empty() && loop.ring.back().uv == uv) loop.ring.pop_back();
            break;
        }
        addPoint(loop.ring, {uv, points[i]}, accuracy.maxPoints);
        previous = uv;
    }
    if (loop.ring.size() < 2) return std::nullopt;
    loop.area = signedArea(loop.ring);
    return loop;
}

// Whether the surface closes on itself all round (a sphere, a torus), so
// that a face of only holes has the whole of it outside them.
bool hasWholeDomain(const SurfaceMap& map) {
    return map.periodU() > 0 && (map.periodV() > 0 || (map.poleAtLowV() && map.poleAtHighV()));
}

// The parameter plane turned so that `a` runs along the period a band goes
// round: u itself, or v turned a quarter (which keeps the plane's handedness).
struct Axis {
    bool alongV = false;
    Vec2 toBand(Vec2 p) const { return alongV ? Vec2{p.v, -p.u} : p; }
    Vec2 fromBand(Vec2 p) const { return alongV ? Vec2{-p.v, p.u} : p; }
};

class RegionBuilder {
  public:
    RegionBuilder(const SurfaceMap& map, const Accuracy& accuracy, Work& work)
        : map_(map),
          accuracy_(accuracy),
          work_(work),
          steps_(map.steps(accuracy.tolerance, accuracy.angle)) {}

    std::vector<Region> build(const std::vector<std::vector<Vec3>>& loops);

  private:
    // Points strictly between a and b, as fractions of the way, that keep the
    // surface between them within the tolerance.
    std::vector<double> split(Vec2 a, Vec2 b) const;
    // Adds the points of the synthetic boundary from `a` to `b` (neither
    // end), along the fractions `at` of the way from `from` to `to` (the
    // positions' segment, which `a`-`b` is a copy of, or reversed when
    // `backwards`).
    void addSeam(Ring& ring, Vec2 a, Vec2 b, const std::vector<Vec3>& positions,
                 bool backwards) const;
    std::vector<Vec3> seamPositions(Vec2 a, Vec2 b, const std::vector<double>& at) const;

    Ring band(std::vector<MappedLoop>& winding, const Axis& axis,
              const std::vector<MappedLoop>& holes);
    Ring domain(const std::vector<MappedLoop>& holes);
    // A cut in [0, period) along the band's axis that no hole straddles,
    // nearest `wanted` when several do.
    std::optional<double> clearCut(const std::vector<MappedLoop>& holes, const Axis& axis,
                                   double period, double wanted) const;
    void placeHoles(std::vector<Region>& regions, std::vector<MappedLoop>& holes) const;

    const SurfaceMap& map_;
    Accuracy accuracy_;
    Work& work_;
    Vec2 steps_;
    std::vector<double> fractions_;
};

std::vector<double> RegionBuilder::split(Vec2 a, Vec2 b) const {
    const Vec2 d = b - a;
    double pieces = 1;
    if (steps_.u > 0 && std::isfinite(steps_.u))
        pieces = std::max(pieces, std::ceil(std::abs(d.u) / steps_.u));
    if (steps_.v > 0 && std::isfinite(steps_.v))
        pieces = std::max(pieces, std::ceil(std::abs(d.v) / steps_.v));
    if (!(pieces <= double(accuracy_.maxPoints)))
        throw Error("costura longa demais para a tolerância");
    const double cosine = std::cos(accuracy_.angle);
    std::vector<double> out;
    const auto count = static_cast<int>(pieces);
    for (int k = 0; k < count; ++k) {
        // Halves each piece while the surface leaves its chord or turns too much.
        struct Piece {
            double from, to;
            int depth;
        };
        std::vector<Piece> stack{{double(k) / count, double(k + 1) / count, 0}};
        std::vector<double> found;
        while (!stack.empty()) {
            const Piece p = stack.back();
            stack.pop_back();
            work_.spend(3 * map_.evaluationCost());
            const Vec2 pa = a + d * p.from, pb = a + d * p.to, pm = a + d * ((p.from + p.to) / 2);
            const Vec3 sa = map_.point(pa), sb = map_.point(pb), sm = map_.point(pm);
            const bool far = distanceToSegment(sm, sa, sb) > accuracy_.tolerance;
            const bool turns = dot(map_.normal(pa), map_.normal(pb)) < cosine &&
                               length(sb - sa) > accuracy_.tolerance;
            if ((far || turns) && p.depth < 12) {
                const double mid = (p.from + p.to) / 2;
                found.push_back(mid);
                stack.push_back({p.from, mid, p.depth + 1});
                stack.push_back({mid, p.to, p.depth + 1});
            }
        }
        if (k > 0) out.push_back(double(k) / count);
        std::sort(found.begin(), found.end());
        out.insert(out.end(), found.begin(), found.end());
        if (out.size() > accuracy_.maxPoints) throw Error("costura longa demais para a tolerância");
    }
    return out;
}

std::vector<Vec3> RegionBuilder::seamPositions(Vec2 a, Vec2 b,
                                               const std::vector<double>& at) const {
    std::vector<Vec3> positions;
    positions.reserve(at.size());
    for (double f : at) positions.push_back(map_.point(a + (b - a) * f));
    return positions;
}

void RegionBuilder::addSeam(Ring& ring, Vec2 a, Vec2 b, const std::vector<Vec3>& positions,
                            bool backwards) const {
    const std::size_t n = fractions_.size();
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t j = backwards ? n - 1 - k : k;
        const double f = backwards ? 1 - fractions_[j] : fractions_[j];
        addPoint(ring, {a + (b - a) * f, positions[j]}, accuracy_.maxPoints);
    }
}

std::optional<double> RegionBuilder::clearCut(const std::vector<MappedLoop>& holes,
                                              const Axis& axis, double period,
                                              double wanted) const {
    // Each hole's extent along the axis, wrapped to start in [0, period).
    std::vector<std::pair<double, double>> covered;
    for (const MappedLoop& hole : holes) {
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (const RingPoint& p : hole.ring) {
            const double a = axis.toBand(p.uv).u;
            low = std::min(low, a), high = std::max(high, a);
        }
        if (high - low >= period) return std::nullopt;
        const double from = wrapFrom(low, 0, period);
        covered.emplace_back(from, from + (high - low));
    }
    const auto free = [&](double a) {
        a = wrapFrom(a, 0, period);
        for (const auto& [from, to] : covered)
            if ((a >= from && a <= to) || (a + period >= from && a + period <= to)) return false;
        return true;
    };
    if (free(wanted)) return wanted;
    // The middle of the widest gap between covered stretches.
    std::vector<double> ends;
    for (const auto& c : covered) ends.push_back(wrapFrom(c.second, 0, period));
    std::optional<double> best;
    double bestGap = -1;
    for (double e : ends) {
        double next = HUGE_VAL;
        for (const auto& [from, to] : covered) {
            double f = wrapFrom(from, 0, period);
            if (f <= e) f += period;
            next = std::min(next, f);
        }
        const double mid = (e + next) / 2;
        if (next - e > bestGap && free(mid)) bestGap = next - e, best = mid;
    }
    return best;
}

// The loop (in the band's frame, going round once) from its point nearest
// the cut, the points before that carried a period on.
Ring openAt(const Ring& ring, int turns, double period, double cut) {
    std::size_t best = 0;
    double bestDistance = HUGE_VAL;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const double a = ring[i].uv.u;
        const double d = std::abs(a - cut - period * std::round((a - cut) / period));
        if (d < bestDistance) bestDistance = d, best = i;
    }
    Ring out;
    out.reserve(ring.size());
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const std::size_t i = (best + k) % ring.size();
        RingPoint p = ring[i];
        if (i < best) p.uv.u += period * turns;
        out.push_back(p);
    }
    return out;
}

Ring RegionBuilder::band(std::vector<MappedLoop>& winding, const Axis& axis,
                         const std::vector<MappedLoop>& holes) {
    const double period = axis.alongV ? map_.periodV() : map_.periodU();
    // Everything in the band's frame, where the loops go round along a; one
    // going up a has the face above it (higher b), one going down below.
    struct Turning {
        Ring ring;
        int turns;
    };
    std::vector<Turning> loops;
    for (const MappedLoop& l : winding) {
        Turning t{l.ring, axis.alongV ? l.windingV : l.windingU};
        for (RingPoint& p : t.ring) p.uv = axis.toBand(p.uv);
        loops.push_back(std::move(t));
    }
    if (loops.size() > 2 || (loops.size() == 2 && loops[0].turns == loops[1].turns))
        throw Error("laços que dão voltas na superfície de forma não suportada");
    if (loops.size() == 2 && loops[0].turns < 0) std::swap(loops[0], loops[1]);
    const Turning& first = loops[0];
    const std::optional<double> cut = clearCut(holes, axis, period, first.ring[0].uv.u);
    if (!cut) throw Error("furos cobrem a costura da superfície");
    // Seams are split on the surface, in the plane's own frame.
    const auto splitSeam = [&](Vec2 from, Vec2 to) {
        fractions_ = split(axis.fromBand(from), axis.fromBand(to));
        return seamPositions(axis.fromBand(from), axis.fromBand(to), fractions_);
    };
    const Ring a = openAt(first.ring, first.turns, period, *cut);
    const Vec2 shift{period * first.turns, 0};
    const RingPoint start = a.front();
    Ring ring = a;
    ring.push_back({start.uv + shift, start.position});
    if (loops.size() == 2) {
        const Ring b = openAt(loops[1].ring, loops[1].turns, period, start.uv.u);
        // The upper loop starts a period on from the lower one's start and
        // comes back down to it. Across the band, where the surface closes
        // that way too (a torus), it lies above the lower one within a turn.
        const double across = axis.alongV ? map_.periodU() : map_.periodV();
        const double up =
            across > 0 ? across * std::ceil((start.uv.v - b.front().uv.v) / across) : 0;
        const Vec2 move{period * std::round((start.uv.u + period - b.front().uv.u) / period),
                        b.front().uv.v + up == start.uv.v ? up + across : up};
        const Vec2 end = b.front().uv + move - shift;
        const std::vector<Vec3> seam = splitSeam(start.uv, end);
        addSeam(ring, start.uv + shift, end + shift, seam, false);
        for (const RingPoint& p : b) addPoint(ring, {p.uv + move, p.position}, accuracy_.maxPoints);
        addPoint(ring, {end, b.front().position}, accuracy_.maxPoints);
        addSeam(ring, end, start.uv, seam, true);
    } else {
        // Closed by the pole on the face's side: above a loop going up.
        const bool high = first.turns > 0;
        if (axis.alongV || !(high ? map_.poleAtHighV() : map_.poleAtLowV()))
            throw Error("laço que dá uma volta sem fechar uma área");
        const Vec2 pole{start.uv.u, high ? map_.highV() : map_.lowV()};
        const Vec3 polePoint = map_.point(pole);
        const std::vector<Vec3> seam = splitSeam(start.uv, pole);
        const std::vector<double> seamFractions = fractions_;
        addSeam(ring, start.uv + shift, pole + shift, seam, false);
        addPoint(ring, {pole + shift, polePoint}, accuracy_.maxPoints);
        splitSeam(pole + shift, pole);
        addSeam(ring, pole + shift, pole, std::vector<Vec3>(fractions_.size(), polePoint), false);
        addPoint(ring, {pole, polePoint}, accuracy_.maxPoints);
        fractions_ = seamFractions;
        addSeam(ring, pole, start.uv, seam, true);
    }
    for (RingPoint& p : ring) p.uv = axis.fromBand(p.uv);
    if (signedArea(ring) <= 0) throw Error("laços que dão voltas em sentidos incoerentes");
    return ring;
}

Ring RegionBuilder::domain(const std::vector<MappedLoop>& holes) {
    const double pu = map_.periodU(), pv = map_.periodV();
    if (!hasWholeDomain(map_)) throw Error("face sem contorno numa superfície aberta");
    const std::optional<double> cutU = clearCut(holes, Axis{}, pu, 0);
    const std::optional<double> cutV = pv > 0 ? clearCut(holes, Axis{true}, pv, 0) : 0.0;
    if (!cutU || !cutV) throw Error("furos cobrem a costura da superfície");
    const double u0 = *cutU, u1 = u0 + pu;
    const double v0 = pv > 0 ? *cutV : map_.lowV(), v1 = pv > 0 ? v0 + pv : map_.highV();
    const Vec2 corners[4] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
    // Left and right are one seam; bottom and top one line when v is
    // periodic, else each a pole, one point all along.
    fractions_ = split(corners[0], corners[3]);
    const std::vector<double> alongV = fractions_;
    const std::vector<Vec3> side = seamPositions(corners[0], corners[3], alongV);
    fractions_ = split(corners[0], corners[1]);
    const std::vector<double> alongU = fractions_;
    const Vec3 low = map_.point(corners[0]), high = pv > 0 ? low : map_.point(corners[3]);
    const std::vector<Vec3> bottom = pv > 0 ? seamPositions(corners[0], corners[1], alongU)
                                            : std::vector<Vec3>(alongU.size(), low);
    const std::vector<Vec3> top = pv > 0 ? bottom : std::vector<Vec3>(alongU.size(), high);
    Ring ring;
    const auto edge = [&](int from, const std::vector<double>& at,
                          const std::vector<Vec3>& positions, bool backwards, const Vec3& corner) {
        addPoint(ring, {corners[from], corner}, accuracy_.maxPoints);
        fractions_ = at;
        addSeam(ring, corners[from], corners[(from + 1) % 4], positions, backwards);
    };
    edge(0, alongU, bottom, false, low);
    edge(1, alongV, side, false, low);
    edge(2, alongU, top, true, high);
    edge(3, alongV, side, true, high);
    return ring;
}

bool contains(const Ring& ring, Vec2 p) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Vec2 a = ring[i].uv, b = ring[j].uv;
        if ((a.v > p.v) != (b.v > p.v) && p.u < (b.u - a.u) * (p.v - a.v) / (b.v - a.v) + a.u)
            inside = !inside;
    }
    return inside;
}

void RegionBuilder::placeHoles(std::vector<Region>& regions, std::vector<MappedLoop>& holes) const {
    const double pu = map_.periodU(), pv = map_.periodV();
    for (MappedLoop& hole : holes) {
        // A hole's middle, taken to each copy of the plane's period it could lie in.
        Vec2 low{HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL};
        for (const RingPoint& p : hole.ring) {
            low = {std::min(low.u, p.uv.u), std::min(low.v, p.uv.v)};
            high = {std::max(high.u, p.uv.u), std::max(high.v, p.uv.v)};
        }
        const Vec2 probe = hole.ring[0].uv;
        bool placed = false;
        for (Region& region : regions) {
            Vec2 outLow{HUGE_VAL, HUGE_VAL}, outHigh{-HUGE_VAL, -HUGE_VAL};
            for (const RingPoint& p : region.outer) {
                outLow = {std::min(outLow.u, p.uv.u), std::min(outLow.v, p.uv.v)};
                outHigh = {std::max(outHigh.u, p.uv.u), std::max(outHigh.v, p.uv.v)};
            }
            // The shifts that bring the hole's box into the outer's.
            const auto shifts = [](double period, double lo, double hi, double outLo,
                                   double outHi) {
                std::vector<double> out{0};
                if (period > 0) {
                    const double k = std::round(((outLo + outHi) - (lo + hi)) / 2 / period);
                    out = {k * period, (k - 1) * period, (k + 1) * period};
                }
                return out;
            };
            for (double su : shifts(pu, low.u, high.u, outLow.u, outHigh.u))
                for (double sv : shifts(pv, low.v, high.v, outLow.v, outHigh.v)) {
                    if (placed || !contains(region.outer, probe + Vec2{su, sv})) continue;
                    for (RingPoint& p : hole.ring) p.uv = p.uv + Vec2{su, sv};
                    region.holes.push_back(std::move(hole.ring));
                    placed = true;
                }
            if (placed) break;
        }
        if (!placed) throw Error("furo fora do contorno da face");
    }
}

std::vector<Region> RegionBuilder::build(const std::vector<std::vector<Vec3>>& loops) {
    std::vector<MappedLoop> outers, holes, windingU, windingV;
    for (const std::vector<Vec3>& points : loops) {
        std::optional<MappedLoop> loop = mapLoop(points, map_, accuracy_, work_);
        if (!loop) continue;
        if (loop->windingU != 0 && loop->windingV != 0)
            throw Error("laço que dá voltas em duas direções");
        if (std::abs(loop->windingU) > 1 || std::abs(loop->windingV) > 1)
            throw Error("laço que dá mais de uma volta");
        if (loop->windingU != 0) {
            windingU.push_back(std::move(*loop));
            continue;
        }
        if (loop->windingV != 0) {
            windingV.push_back(std::move(*loop));
            continue;
        }
        Vec2 low{HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL};
        for (const RingPoint& p : loop->ring) {
            low = {std::min(low.u, p.uv.u), std::min(low.v, p.uv.v)};
            high = {std::max(high.u, p.uv.u), std::max(high.v, p.uv.v)};
        }
        const double size = length(high - low);
        if (loop->ring.size() < 3 || !(std::abs(loop->area) > 1e-12 * size * size))
            throw Error("laço degenerado");
        (loop->area > 0 ? outers : holes).push_back(std::move(*loop));
    }
    if (!windingU.empty() && !windingV.empty())
        throw Error("laços que dão voltas em duas direções");
    // On a surface with no whole domain (an open one) the largest loop can
    // only be a face's outer boundary. Turning clockwise, it says that all
    // the loops were saved the other way round (sheets): all are turned.
    const auto largest = [](const std::vector<MappedLoop>& loops) {
        double most = 0;
        for (const MappedLoop& l : loops) most = std::max(most, std::abs(l.area));
        return most;
    };
    if (windingU.empty() && windingV.empty() && !hasWholeDomain(map_) &&
        largest(holes) > largest(outers)) {
        for (std::vector<MappedLoop>* loops : {&outers, &holes})
            for (MappedLoop& l : *loops) {
                std::reverse(l.ring.begin(), l.ring.end());
                l.area = -l.area;
            }
        std::swap(outers, holes);
    }
    std::vector<Region> regions;
    if (!windingU.empty() || !windingV.empty()) {
        if (!outers.empty()) throw Error("laços que dão voltas junto de um contorno fechado");
        const Axis axis{windingU.empty()};
        regions.push_back({band(axis.alongV ? windingV : windingU, axis, holes), {}});
    } else if (outers.empty()) {
        regions.push_back({domain(holes), {}});
    } else {
        for (MappedLoop& outer : outers) regions.push_back({std::move(outer.ring), {}});
    }
    placeHoles(regions, holes);
    return regions;
}

}  // namespace

std::vector<Region> faceRegions(const std::vector<std::vector<Vec3>>& loops, const SurfaceMap& map,
                                const Accuracy& accuracy, Work& work) {
    return RegionBuilder(map, accuracy, work).build(loops);
}

namespace {

struct Segment {
    Vec2 a, b;
};

// The cells of a grid (of square cells `cell` wide from `low`) a segment
// passes through, by walking from the cell of one end to the other's.
template <typename Visit>
void forEachCell(const Segment& g, Vec2 low, double cell, Visit visit) {
    const auto index = [&](double x, double from) {
        return static_cast<std::int64_t>(std::floor((x - from) / cell));
    };
    std::int64_t u = index(g.a.u, low.u), v = index(g.a.v, low.v);
    const std::int64_t endU = index(g.b.u, low.u), endV = index(g.b.v, low.v);
    const Vec2 d = g.b - g.a;
    const std::int64_t stepU = d.u > 0 ? 1 : -1, stepV = d.v > 0 ? 1 : -1;
    // How far along the segment (0 to 1) the next cell boundary in each direction is.
    const auto next = [&](double from, double to, double origin, std::int64_t at,
                          std::int64_t step) {
        if (to == from) return HUGE_VAL;
        const double boundary = origin + cell * double(at + (step > 0 ? 1 : 0));
        return (boundary - from) / (to - from);
    };
    double nextU = next(g.a.u, g.b.u, low.u, u, stepU), nextV = next(g.a.v, g.b.v, low.v, v, stepV);
    const double acrossU = d.u != 0 ? cell / std::abs(d.u) : HUGE_VAL;
    const double acrossV = d.v != 0 ? cell / std::abs(d.v) : HUGE_VAL;
    for (std::int64_t left = std::abs(endU - u) + std::abs(endV - v);; --left) {
        visit(u, v);
        if (left <= 0) break;
        if (nextU < nextV)
            u += stepU, nextU += acrossU;
        else
            v += stepV, nextV += acrossV;
    }
}

}  // namespace

void checkCrossings(const std::vector<Region>& regions, Work& work) {
    // Segments hashed into a grid of cells about as wide as a typical segment
    // is long, so that only neighbours are compared.
    std::vector<Segment> segments;
    Vec2 low{HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL};
    std::vector<double> lengths;
    const auto addRing = [&](const Ring& ring) {
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const Vec2 a = ring[i].uv, b = ring[(i + 1) % ring.size()].uv;
            segments.push_back({a, b});
            lengths.push_back(length(b - a));
            low = {std::min({low.u, a.u, b.u}), std::min({low.v, a.v, b.v})};
            high = {std::max({high.u, a.u, b.u}), std::max({high.v, a.v, b.v})};
        }
    };
    for (const Region& r : regions) {
        addRing(r.outer);
        for (const Ring& h : r.holes) addRing(h);
    }
    if (segments.empty()) return;
    std::nth_element(lengths.begin(),
                     lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2),
                     lengths.end());
    const double extent = length(high - low);
    double cell = std::max(lengths[lengths.size() / 2], extent * 1e-9);
    if (!(cell > 0) || !std::isfinite(cell) || !std::isfinite(extent))
        throw Error("laço degenerado");
    // Long segments among short ones pass through many cells: when they
    // would fill too many, the cells grow.
    const std::size_t most = 64 * segments.size() + 65536;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> grid;
    for (;;) {
        const std::int64_t columns = static_cast<std::int64_t>(std::floor(extent / cell)) + 2;
        std::size_t entries = 0;
        for (std::size_t s = 0; s < segments.size() && entries <= most; ++s)
            forEachCell(segments[s], low, cell, [&](std::int64_t u, std::int64_t v) {
                work.spend();
                if (++entries <= most) grid[v * columns + u].push_back(s);
            });
        if (entries <= most) break;
        if (cell > extent) throw Error("laço degenerado");
        grid.clear();
        cell *= 4;
    }
    // Proper crossings only: segments meeting at an end (neighbours, a
    // seam's two sides, a bridge's) are allowed, and so are ends that miss
    // each other by a rounding of the plane's size (an edge's point mapped
    // onto a seam from either side).
    const double near = 1e-9 * extent;
    const auto side = [near](Vec2 a, Vec2 b, Vec2 p) {
        const double d = orient(a, b, p);
        return std::abs(d) <= near * length(b - a) ? 0 : d > 0 ? 1 : -1;
    };
    const auto crosses = [&side](const Segment& p, const Segment& q) {
        return side(q.a, q.b, p.a) * side(q.a, q.b, p.b) < 0 &&
               side(p.a, p.b, q.a) * side(p.a, p.b, q.b) < 0;
    };
    for (const auto& [key, list] : grid)
        for (std::size_t i = 0; i < list.size(); ++i)
            for (std::size_t j = i + 1; j < list.size(); ++j) {
                work.spend();
                if (crosses(segments[list[i]], segments[list[j]])) throw Error("laço que se cruza");
            }
}

}  // namespace acis::detail
