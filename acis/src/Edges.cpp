#include "Edges.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Spline.h"
#include "Surfaces.h"

namespace acis::detail {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

}  // namespace

EdgeSampler::EdgeSampler(const Model& model, const Limits& limits, Work& work)
    : model_(model), limits_(limits), work_(work), onSplineFace_(model.edges.size()) {
    for (const Face& face : model.faces) {
        if (face.surface < 0 || static_cast<std::size_t>(face.surface) >= model.surfaces.size())
            continue;
        const Surface& surface = model.surfaces[static_cast<std::size_t>(face.surface)];
        const std::vector<Vec3> poles = polesOf(surface);
        for (int loop : face.loops) {
            if (loop < 0 || static_cast<std::size_t>(loop) >= model.loops.size()) continue;
            for (int coedge : model.loops[static_cast<std::size_t>(loop)].coedges) {
                work_.spend();
                const int e = model.coedges[static_cast<std::size_t>(coedge)].edge;
                if (e < 0) continue;
                if (surface.kind == Surface::Kind::Spline)
                    onSplineFace_[static_cast<std::size_t>(e)] = true;
                if (!poles.empty()) {
                    std::vector<Vec3>& list = poles_[e];
                    list.insert(list.end(), poles.begin(), poles.end());
                }
            }
        }
    }
}

void EdgeSampler::addPoles(int edge, std::vector<Vec3>& points) const {
    const auto found = poles_.find(edge);
    if (found == poles_.end()) return;
    for (const Vec3& pole : found->second) {
        // A point of the edge there already is taken for the pole; else the
        // pole goes between the ends of the chord it lies within the
        // tolerance of.
        std::size_t best = points.size();
        double bestDistance = limits_.tolerance;
        for (std::size_t k = 0; k + 1 < points.size(); ++k)
            if (const double d = distanceToSegment(pole, points[k], points[k + 1]);
                d <= bestDistance)
                bestDistance = d, best = k;
        if (best == points.size() || length(points[best] - pole) <= limits_.tolerance * 1e-2 ||
            length(points[best + 1] - pole) <= limits_.tolerance * 1e-2)
            continue;
        points.insert(points.begin() + static_cast<std::ptrdiff_t>(best) + 1, pole);
    }
}

const std::vector<Vec3>& EdgeSampler::points(int edge) {
    if (const auto found = done_.find(edge); found != done_.end()) return found->second;
    if (const auto failed = failed_.find(edge); failed != failed_.end())
        throw Error(failed->second);
    if (edge < 0 || static_cast<std::size_t>(edge) >= model_.edges.size())
        throw Error("laço sem aresta");
    try {
        std::vector<Vec3> points = sample(model_.edges[static_cast<std::size_t>(edge)],
                                          onSplineFace_[static_cast<std::size_t>(edge)]);
        addPoles(edge, points);
        total_ += points.size();
        if (total_ > limits_.maxTotal) throw Error("arestas com pontos demais para a tolerância");
        return done_.emplace(edge, std::move(points)).first->second;
    } catch (const Error& e) {
        failed_.emplace(edge, e.what());
        throw;
    }
}

void EdgeSampler::clear() {
    done_.clear();
    failed_.clear();
    total_ = 0;
}

void EdgeSampler::limit(std::size_t points) const {
    if (!(points <= limits_.maxPerEdge)) throw Error("aresta longa demais para a tolerância");
}

std::vector<Vec3> EdgeSampler::sample(const Edge& edge, bool onSpline) {
    const auto vertex = [&](int i) {
        if (i < 0 || static_cast<std::size_t>(i) >= model_.vertices.size())
            throw Error("aresta sem vértice");
        const Vec3 p = model_.vertices[static_cast<std::size_t>(i)].position;
        if (!isFinite(p)) throw Error("aresta com coordenadas inválidas");
        return p;
    };
    const Vec3 start = vertex(edge.start), end = vertex(edge.end);
    const bool whole = edge.start == edge.end || start == end;
    if (edge.curve < 0) {
        // No curve: a point (a cone's apex) or, between two vertices, the chord.
        return whole ? std::vector<Vec3>{start} : std::vector<Vec3>{start, end};
    }
    const Curve& curve = model_.curves[static_cast<std::size_t>(edge.curve)];
    work_.spend();
    switch (curve.kind) {
        case Curve::Kind::Ellipse:
            return ellipse(curve, start, end, whole, edge.reversed);
        case Curve::Kind::Spline:
            return spline(curve, start, end, whole, edge.reversed != curve.reversed);
        case Curve::Kind::Straight: {
            if (whole) throw Error("aresta reta fechada");
            // On a spline surface a straight edge need not be straight in the
            // parameters: more points let the boundary there follow it.
            const int pieces = onSpline ? 8 : 1;
            std::vector<Vec3> points;
            for (int k = 0; k <= pieces; ++k)
                points.push_back(start + (end - start) * (double(k) / pieces));
            points.back() = end;
            return points;
        }
        case Curve::Kind::Other:
            break;
    }
    if (whole) throw Error("aresta de curva não suportada");
    return {start, end};
}

std::vector<Vec3> EdgeSampler::ellipse(const Curve& c, const Vec3& start, const Vec3& end,
                                       bool whole, bool reversed) {
    const Vec3 n = unit(c.normal);
    const Vec3 u = c.majorAxis;
    const Vec3 v = cross(n, u) * c.ratio;
    const double radius = length(u);
    if (!(radius > 0) || length(n) == 0 || !isFinite(c.origin) || !std::isfinite(c.ratio))
        throw Error("elipse degenerada");
    const auto parameter = [&](const Vec3& p) {
        const Vec3 d = p - c.origin;
        return std::atan2(dot(d, v) / dot(v, v), dot(d, u) / dot(u, u));
    };
    // The curve runs counter-clockwise about its normal; an edge against it
    // runs clockwise from its start to its end.
    const double from = parameter(start);
    double sweep = kTwoPi;
    if (!whole) {
        const double to = parameter(end);
        sweep = std::fmod(reversed ? from - to : to - from, kTwoPi);
        if (sweep <= 0) sweep += kTwoPi;
    }
    const double ratio = std::abs(c.ratio) < 1 ? std::abs(c.ratio) : 1 / std::abs(c.ratio);
    const double step = circleStep(radius * std::max(1.0, std::abs(c.ratio)), limits_.tolerance,
                                   limits_.angle * ratio);
    const double pieces = std::max(1.0, std::ceil(sweep / step));
    limit(static_cast<std::size_t>(std::min(pieces, 1e18)) + 1);
    const auto count = static_cast<int>(pieces);
    std::vector<Vec3> points;
    points.reserve(static_cast<std::size_t>(count) + 1);
    for (int k = 0; k <= count; ++k) {
        work_.spend();
        const double t = from + (reversed ? -sweep : sweep) * k / count;
        points.push_back(c.origin + u * std::cos(t) + v * std::sin(t));
    }
    points.front() = start;
    points.back() = end;
    return points;
}

std::vector<Vec3> EdgeSampler::spline(const Curve& c, const Vec3& start, const Vec3& end,
                                      bool whole, bool forward) {
    const double low = firstParameter(c.knots, c.degree), high = lastParameter(c.knots, c.degree);
    const auto at = [&](double t) {
        work_.spend();
        return evaluate(c, t).point;
    };
    // The nearest parameter: the best of a few samples per knot span, then Newton.
    const std::size_t spans = c.controlPoints.size() - static_cast<std::size_t>(c.degree);
    limit(spans * 8);
    const auto nearest = [&](const Vec3& p) {
        double best = low, bestDistance = HUGE_VAL;
        const std::size_t samples = spans * 8;
        for (std::size_t k = 0; k <= samples; ++k) {
            const double t = low + (high - low) * double(k) / double(samples);
            const double d = length(at(t) - p);
            if (d < bestDistance) bestDistance = d, best = t;
        }
        for (int iteration = 0; iteration < 16; ++iteration) {
            work_.spend();
            const CurvePoint e = evaluate(c, best);
            const double dd = dot(e.derivative, e.derivative);
            if (!(dd > 0)) break;
            const double next = std::clamp(best + dot(p - e.point, e.derivative) / dd, low, high);
            if (length(evaluate(c, next).point - p) > bestDistance) break;
            bestDistance = length(evaluate(c, next).point - p);
            best = next;
        }
        return best;
    };
    const bool closed = length(at(low) - at(high)) <= limits_.tolerance * 1e-3;
    const double from = nearest(start);
    const double to = whole ? from : nearest(end);
    // The pieces of parameter the edge runs along, in its direction.
    std::vector<std::pair<double, double>> pieces;
    if (whole && !closed) {
        pieces = {{low, high}};
    } else if (forward) {
        if (from < to)
            pieces = {{from, to}};
        else
            pieces = closed ? std::vector<std::pair<double, double>>{{from, high}, {low, to}}
                            : std::vector<std::pair<double, double>>{{from, to}};
    } else {
        if (from > to)
            pieces = {{from, to}};
        else
            pieces = closed ? std::vector<std::pair<double, double>>{{from, low}, {high, to}}
                            : std::vector<std::pair<double, double>>{{from, to}};
    }
    // Each piece cut at the knots, then halved where the curve leaves its chord
    // or turns too much.
    const double cosine = std::cos(limits_.angle);
    std::vector<Vec3> points{at(pieces.front().first)};
    for (const auto& [a, b] : pieces) {
        std::vector<double> cuts{a};
        for (double k : c.knots)
            if ((k - a) * (k - b) < 0 && k != cuts.back()) cuts.push_back(k);
        if (a > b)
            std::sort(cuts.begin() + 1, cuts.end(), std::greater<>());
        else
            std::sort(cuts.begin() + 1, cuts.end());
        cuts.push_back(b);
        for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
            struct Piece {
                double t0, t1;
                int depth;
            };
            std::vector<Piece> stack{{cuts[k], cuts[k + 1], 0}};
            while (!stack.empty()) {
                const Piece p = stack.back();
                stack.pop_back();
                const CurvePoint e0 = evaluate(c, p.t0), e1 = evaluate(c, p.t1);
                bool split = dot(unit(e0.derivative), unit(e1.derivative)) < cosine &&
                             length(e1.point - e0.point) > limits_.tolerance;
                for (double f : {0.25, 0.5, 0.75})
                    if (!split)
                        split = distanceToSegment(at(p.t0 + (p.t1 - p.t0) * f), e0.point,
                                                  e1.point) > limits_.tolerance;
                if (split && p.depth < 16) {
                    // The later half first onto the stack, so the earlier comes off first.
                    const double mid = (p.t0 + p.t1) / 2;
                    stack.push_back({mid, p.t1, p.depth + 1});
                    stack.push_back({p.t0, mid, p.depth + 1});
                    continue;
                }
                points.push_back(e1.point);
                limit(points.size());
            }
        }
    }
    points.front() = start;
    points.back() = end;
    return points;
}

}  // namespace acis::detail
