#include "Curves.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace render::detail {
namespace {

constexpr int kMaxArcSegments = 16384;
constexpr int kMaxSpanSegments = 1024;
constexpr double kMaxCurvePoints = 65536;  // per spline, whatever its spans ask
constexpr int kMaxDegree = 15;

int arcSegments(double radius, double sweep, double tolerance) {
    if (!(radius > 0) || !(tolerance > 0)) return 1;
    // Chord sagitta r (1 - cos(dt / 2)) <= tolerance.
    const double ratio = std::min(tolerance / radius, 1.0);
    const double step = 2 * std::acos(1 - ratio);
    const double n = std::ceil(std::abs(sweep) / std::max(step, 1e-9));
    const int minimum = std::abs(sweep) > std::numbers::pi ? 4 : 1;
    return static_cast<int>(
        std::clamp(n, static_cast<double>(minimum), static_cast<double>(kMaxArcSegments)));
}

// Index of the knot span holding t, among the spans of the valid domain.
template <typename Point>
std::size_t findSpan(const BasicSplineData<Point>& s, double t) {
    const std::size_t n = s.control.size();
    const std::size_t p = static_cast<std::size_t>(s.degree);
    if (t >= s.knots[n]) {
        std::size_t k = n - 1;
        while (k > p && s.knots[k] >= s.knots[k + 1]) --k;
        return k;
    }
    const auto it = std::upper_bound(s.knots.begin() + static_cast<std::ptrdiff_t>(p),
                                     s.knots.begin() + static_cast<std::ptrdiff_t>(n + 1), t);
    const std::size_t k = static_cast<std::size_t>(it - s.knots.begin()) - 1;
    return std::clamp(k, p, n - 1);
}

double distanceToLine(Vec2 p, Vec2 a, Vec2 b) {
    const Vec2 d = b - a;
    const double len = length(d);
    if (len < 1e-300) return length(p - a);
    return std::abs(cross(d, p - a)) / len;
}

double distanceToLine(Vec3 p, Vec3 a, Vec3 b) {
    const Vec3 d = b - a;
    const double len = length(d);
    if (len < 1e-300) return length(p - a);
    return length(cross(d, p - a)) / len;
}

template <typename Point>
bool valid(const BasicSplineData<Point>& s) {
    const std::size_t n = s.control.size();
    if (s.degree < 1 || s.degree > kMaxDegree) return false;
    const std::size_t p = static_cast<std::size_t>(s.degree);
    if (n < p + 1 || s.knots.size() != n + p + 1) return false;
    if (!s.weights.empty() && s.weights.size() != n) return false;
    for (std::size_t i = 0; i + 1 < s.knots.size(); ++i)
        if (!std::isfinite(s.knots[i]) || s.knots[i] > s.knots[i + 1]) return false;
    if (!(s.knots[p] < s.knots[n])) return false;
    for (const double w : s.weights)
        if (!(w > 0) || !std::isfinite(w)) return false;
    return true;
}

// De Boor's algorithm on the weighted points.
template <typename Point>
Point evaluate(const BasicSplineData<Point>& s, double t) {
    const std::size_t p = static_cast<std::size_t>(s.degree);
    const std::size_t k = findSpan(s, t);
    std::array<Point, kMaxDegree + 1> d{};
    std::array<double, kMaxDegree + 1> w{};
    for (std::size_t j = 0; j <= p; ++j) {
        const std::size_t i = j + k - p;
        w[j] = s.weights.empty() ? 1 : s.weights[i];
        d[j] = s.control[i] * w[j];
    }
    for (std::size_t r = 1; r <= p; ++r) {
        for (std::size_t j = p; j >= r; --j) {
            const double left = s.knots[j + k - p];
            const double right = s.knots[j + 1 + k - r];
            const double alpha = right > left ? (t - left) / (right - left) : 0;
            d[j] = d[j - 1] * (1 - alpha) + d[j] * alpha;
            w[j] = (1 - alpha) * w[j - 1] + alpha * w[j];
        }
    }
    return d[p] * (1 / w[p]);
}

// Boehm's insertion of knot `t`, strictly inside the domain, into `s`.
template <typename Point>
void insertKnot(BasicOwnedSpline<Point>& s, double t) {
    const std::size_t p = static_cast<std::size_t>(s.degree);
    const std::size_t n = s.control.size();
    std::size_t k = p;  // the span holding t: knots[k] <= t < knots[k + 1]
    while (k + 1 < n && s.knots[k + 1] <= t) ++k;
    const bool rational = !s.weights.empty();
    std::vector<Point> control(n + 1);
    std::vector<double> weights(rational ? n + 1 : 0);
    for (std::size_t i = 0; i <= n; ++i) {
        if (i <= k - p || i > k) {
            const std::size_t from = i <= k - p ? i : i - 1;
            control[i] = s.control[from];
            if (rational) weights[i] = s.weights[from];
            continue;
        }
        // knots[i + p] > t >= knots[i] here, so the division is sound.
        const double alpha = (t - s.knots[i]) / (s.knots[i + p] - s.knots[i]);
        const double w0 = rational ? s.weights[i - 1] : 1, w1 = rational ? s.weights[i] : 1;
        const double w = (1 - alpha) * w0 + alpha * w1;
        control[i] =
            (s.control[i - 1] * ((1 - alpha) * w0) + s.control[i] * (alpha * w1)) * (1 / w);
        if (rational) weights[i] = w;
    }
    s.control = std::move(control);
    s.weights = std::move(weights);
    s.knots.insert(s.knots.begin() + static_cast<std::ptrdiff_t>(k + 1), t);
}

// Makes `t` a knot of multiplicity at least degree + 1 and returns the
// indices of its first and last copies; the domain's ends are left as they are.
template <typename Point>
std::pair<std::size_t, std::size_t> splitAt(BasicOwnedSpline<Point>& s, double t) {
    const std::size_t p = static_cast<std::size_t>(s.degree);
    for (auto m = static_cast<std::size_t>(std::count(s.knots.begin(), s.knots.end(), t));
         m < p + 1; ++m)
        insertKnot(s, t);
    const auto first = std::find(s.knots.begin(), s.knots.end(), t);
    const auto last = std::find_if(first, s.knots.end(), [t](double k) { return k != t; });
    return {static_cast<std::size_t>(first - s.knots.begin()),
            static_cast<std::size_t>(last - s.knots.begin()) - 1};
}

template <typename Point>
BasicOwnedSpline<Point> part(const BasicSplineData<Point>& spline, double from, double to) {
    BasicOwnedSpline<Point> s{spline.degree,
                              {spline.control.begin(), spline.control.end()},
                              {spline.knots.begin(), spline.knots.end()},
                              {spline.weights.begin(), spline.weights.end()}};
    const std::size_t p = static_cast<std::size_t>(s.degree);
    const double low = s.knots[p], high = s.knots[s.control.size()];
    // The part's points: those whose basis functions live between the cuts.
    std::size_t first = 0;
    if (from > low && from < high) first = splitAt(s, from).second - p;
    std::size_t last = s.control.size();
    if (to > low && to < high && to > from) last = splitAt(s, to).first;
    BasicOwnedSpline<Point> cut{s.degree, {}, {}, {}};
    cut.control.assign(s.control.begin() + static_cast<std::ptrdiff_t>(first),
                       s.control.begin() + static_cast<std::ptrdiff_t>(last));
    cut.knots.assign(s.knots.begin() + static_cast<std::ptrdiff_t>(first),
                     s.knots.begin() + static_cast<std::ptrdiff_t>(last + p + 1));
    if (!s.weights.empty())
        cut.weights.assign(s.weights.begin() + static_cast<std::ptrdiff_t>(first),
                           s.weights.begin() + static_cast<std::ptrdiff_t>(last));
    return cut;
}

template <typename Point>
double nearest(const BasicSplineData<Point>& s, const std::function<double(double t)>& distance) {
    constexpr int kSamplesPerSpan = 8;
    constexpr int kRefinements = 40;
    const std::size_t p = static_cast<std::size_t>(s.degree);
    const std::size_t n = s.control.size();
    double best = s.knots[p], bestDistance = distance(best);
    double step = 0;  // between the samples round the best one
    for (std::size_t k = p; k < n; ++k) {
        const double a = s.knots[k], b = s.knots[k + 1];
        if (!(a < b)) continue;
        const double h = (b - a) / kSamplesPerSpan;
        if (step == 0) step = h;
        for (int i = 1; i <= kSamplesPerSpan; ++i) {
            const double t = i == kSamplesPerSpan ? b : a + h * i;
            const double d = distance(t);
            if (d < bestDistance) best = t, bestDistance = d, step = h;
        }
    }
    // Golden-section search between the best sample's neighbours.
    const double golden = (std::sqrt(5.0) - 1) / 2;
    double lo = std::max(s.knots[p], best - step), hi = std::min(s.knots[n], best + step);
    for (int i = 0; i < kRefinements && hi > lo; ++i) {
        const double x1 = hi - golden * (hi - lo), x2 = lo + golden * (hi - lo);
        if (distance(x1) < distance(x2))
            hi = x2;
        else
            lo = x1;
    }
    const double refined = (lo + hi) / 2;
    return distance(refined) <= bestDistance ? refined : best;
}

template <typename Point>
void flatten(const BasicSplineData<Point>& s, double tolerance, std::vector<Point>& out,
             bool skipFirst) {
    if (!valid(s)) {
        // Not a curve we can evaluate: its control polygon is the best we have.
        for (std::size_t i = skipFirst ? 1 : 0; i < s.control.size(); ++i)
            out.push_back(s.control[i]);
        return;
    }
    const std::size_t n = s.control.size();
    const std::size_t p = static_cast<std::size_t>(s.degree);
    // Chords per knot span from how far its control points stray from the
    // span's chord, then thinned as a whole to stay within kMaxCurvePoints.
    std::vector<double> counts(n, 0);
    double total = 0;
    for (std::size_t k = p; k < n; ++k) {
        const double a = s.knots[k], b = s.knots[k + 1];
        if (!(a < b)) continue;
        const Point start = evaluate(s, a);
        const Point end = evaluate(s, b);
        double height = 0;
        for (std::size_t i = k - p; i <= k; ++i)
            height = std::max(height, distanceToLine(s.control[i], start, end));
        if (!s.weights.empty()) {
            const auto [lo, hi] =
                std::minmax_element(s.weights.begin() + static_cast<std::ptrdiff_t>(k - p),
                                    s.weights.begin() + static_cast<std::ptrdiff_t>(k + 1));
            height *= *hi / *lo;
        }
        const double segments = std::ceil(std::sqrt(height / std::max(tolerance, 1e-300)));
        counts[k] = std::clamp(segments, 1.0, double(kMaxSpanSegments));
        total += counts[k];
    }
    const double thinning = total > kMaxCurvePoints ? kMaxCurvePoints / total : 1;
    bool first = true;
    for (std::size_t k = p; k < n; ++k) {
        if (counts[k] == 0) continue;
        const double a = s.knots[k], b = s.knots[k + 1];
        const int count = std::max(1, static_cast<int>(counts[k] * thinning));
        if (first && !skipFirst) out.push_back(evaluate(s, a));
        first = false;
        for (int i = 1; i < count; ++i) out.push_back(evaluate(s, a + (b - a) * i / count));
        out.push_back(evaluate(s, b));
    }
}

template <typename Point>
void flattenArcOf(Point c, Point u, Point v, double t0, double t1, double tolerance,
                  std::vector<Point>& out, bool skipFirst) {
    const double radius = std::max(length(u), length(v));
    const int n = arcSegments(radius, t1 - t0, tolerance);
    for (int i = skipFirst ? 1 : 0; i <= n; ++i) {
        const double t = t0 + (t1 - t0) * i / n;
        out.push_back(c + u * std::cos(t) + v * std::sin(t));
    }
}

}  // namespace

bool isValidSpline(const SplineData& spline) {
    return valid(spline);
}
bool isValidSpline(const SpaceSplineData& spline) {
    return valid(spline);
}
Vec2 evaluateSpline(const SplineData& spline, double t) {
    return evaluate(spline, t);
}
Vec3 evaluateSpline(const SpaceSplineData& spline, double t) {
    return evaluate(spline, t);
}
OwnedSpline splinePart(const SplineData& spline, double from, double to) {
    return part(spline, from, to);
}
SpaceOwnedSpline splinePart(const SpaceSplineData& spline, double from, double to) {
    return part(spline, from, to);
}
double nearestParameter(const SplineData& spline, const std::function<double(double t)>& distance) {
    return nearest(spline, distance);
}
double nearestParameter(const SpaceSplineData& spline,
                        const std::function<double(double t)>& distance) {
    return nearest(spline, distance);
}
void flattenSpline(const SplineData& spline, double tolerance, std::vector<Vec2>& out,
                   bool skipFirst) {
    flatten(spline, tolerance, out, skipFirst);
}
void flattenSpline(const SpaceSplineData& spline, double tolerance, std::vector<Vec3>& out,
                   bool skipFirst) {
    flatten(spline, tolerance, out, skipFirst);
}
void flattenArc(Vec2 c, Vec2 u, Vec2 v, double t0, double t1, double tolerance,
                std::vector<Vec2>& out, bool skipFirst) {
    flattenArcOf(c, u, v, t0, t1, tolerance, out, skipFirst);
}
void flattenArc(Vec3 c, Vec3 u, Vec3 v, double t0, double t1, double tolerance,
                std::vector<Vec3>& out, bool skipFirst) {
    flattenArcOf(c, u, v, t0, t1, tolerance, out, skipFirst);
}

namespace {

// `points` are the piece's own.
template <typename Point>
void flattenPieceOf(const DisplayList& list, const Piece& piece, std::span<const Point> points,
                    double tolerance, std::vector<Point>& out) {
    const bool skipFirst = !piece.startsContour && !out.empty();
    const double* scalars = list.scalars.data() + piece.firstScalar;
    switch (piece.kind) {
        case Piece::Kind::Polyline:
            out.insert(out.end(), points.begin() + (skipFirst ? 1 : 0), points.end());
            break;
        case Piece::Kind::Arc:
            flattenArcOf(points[0], points[1], points[2], scalars[0], scalars[1], tolerance, out,
                         skipFirst);
            break;
        case Piece::Kind::Spline: {
            BasicSplineData<Point> s;
            s.degree = piece.degree;
            s.control = points;
            const std::size_t knotCount = piece.pointCount + piece.degree + 1u;
            s.knots = {scalars, std::min<std::size_t>(knotCount, piece.scalarCount)};
            if (piece.rational && piece.scalarCount >= knotCount + piece.pointCount)
                s.weights = {scalars + knotCount, piece.pointCount};
            flatten(s, tolerance, out, skipFirst);
            break;
        }
    }
}

}  // namespace

void flattenPiece(const DisplayList& list, const Piece& piece, double tolerance,
                  std::vector<Vec2>& out) {
    flattenPieceOf(list, piece, std::span(list.points).subspan(piece.firstPoint, piece.pointCount),
                   tolerance, out);
}

void flattenPiece(const DisplayList& list, const Piece& piece, double tolerance,
                  std::vector<Vec3>& out) {
    std::vector<Vec3> points(piece.pointCount);
    for (std::uint32_t i = 0; i < piece.pointCount; ++i) {
        const std::uint32_t at = piece.firstPoint + i;
        points[i] = {list.points[at].x, list.points[at].y, list.depths[at]};
    }
    flattenPieceOf<Vec3>(list, piece, points, tolerance, out);
}

Box arcBounds(Vec2 c, Vec2 u, Vec2 v, double t0, double t1) {
    Box box;
    box.add(c + u * std::cos(t0) + v * std::sin(t0));
    box.add(c + u * std::cos(t1) + v * std::sin(t1));
    const double lo = std::min(t0, t1), hi = std::max(t0, t1);
    // Extremes of x where -ux sin t + vx cos t = 0, of y likewise.
    for (const double base : {std::atan2(v.x, u.x), std::atan2(v.y, u.y)}) {
        for (int half = 0; half < 2; ++half) {
            double t = base + half * std::numbers::pi;
            // First candidate at or after lo.
            t = lo + std::fmod(std::fmod(t - lo, 2 * std::numbers::pi) + 2 * std::numbers::pi,
                               2 * std::numbers::pi);
            // Later turns reach the same point again.
            if (t <= hi) box.add(c + u * std::cos(t) + v * std::sin(t));
        }
    }
    return box;
}

double oneTurn(double angle) {
    return std::isfinite(angle) ? std::fmod(angle, 2 * std::numbers::pi) : 0;
}

double oneTurnSweep(double sweep) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    return std::isfinite(sweep) ? std::clamp(sweep, -kTwoPi, kTwoPi) : 0;
}

double counterClockwiseSweep(double start, double end) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    double sweep = std::fmod(end - start, kTwoPi);
    if (sweep <= 1e-12) sweep += kTwoPi;
    return sweep;
}

namespace {

template <typename Point>
std::vector<Point> interpolate(std::span<const Point> fitPoints, std::optional<Point> startTangent,
                               std::optional<Point> endTangent) {
    std::vector<Point> p;
    for (const Point& q : fitPoints)
        if (p.empty() || length(q - p.back()) > 1e-12 * (1 + length(q))) p.push_back(q);
    if (p.size() < 2) return p;
    const std::size_t n = p.size() - 1;
    std::vector<double> h(n);
    for (std::size_t i = 0; i < n; ++i) h[i] = length(p[i + 1] - p[i]);
    auto unit = [](Point t) -> std::optional<Point> {
        const double len = length(t);
        if (!(len > 1e-12) || !std::isfinite(len)) return std::nullopt;
        return t * (1 / len);
    };
    if (startTangent) startTangent = unit(*startTangent);
    if (endTangent) endTangent = unit(*endTangent);

    // Tridiagonal system for the first derivatives D (unit speed parameters).
    std::vector<double> a(n + 1), b(n + 1), c(n + 1);
    std::vector<Point> r(n + 1);
    if (startTangent) {
        b[0] = 1;
        r[0] = *startTangent;
    } else {
        b[0] = 2;
        c[0] = 1;
        r[0] = (p[1] - p[0]) * (3 / h[0]);
    }
    for (std::size_t i = 1; i < n; ++i) {
        a[i] = h[i];
        b[i] = 2 * (h[i - 1] + h[i]);
        c[i] = h[i - 1];
        r[i] =
            (p[i] - p[i - 1]) * (3 * h[i] / h[i - 1]) + (p[i + 1] - p[i]) * (3 * h[i - 1] / h[i]);
    }
    if (endTangent) {
        b[n] = 1;
        r[n] = *endTangent;
    } else {
        a[n] = 1;
        b[n] = 2;
        r[n] = (p[n] - p[n - 1]) * (3 / h[n - 1]);
    }
    for (std::size_t i = 1; i <= n; ++i) {
        const double m = a[i] / b[i - 1];
        b[i] -= m * c[i - 1];
        r[i] = r[i] - r[i - 1] * m;
    }
    std::vector<Point> d(n + 1);
    d[n] = r[n] * (1 / b[n]);
    for (std::size_t i = n; i-- > 0;) d[i] = (r[i] - d[i + 1] * c[i]) * (1 / b[i]);

    std::vector<Point> bezier;
    bezier.reserve(3 * n + 1);
    bezier.push_back(p[0]);
    for (std::size_t i = 0; i < n; ++i) {
        bezier.push_back(p[i] + d[i] * (h[i] / 3));
        bezier.push_back(p[i + 1] - d[i + 1] * (h[i] / 3));
        bezier.push_back(p[i + 1]);
    }
    return bezier;
}

}  // namespace

std::vector<Vec2> interpolateCubic(std::span<const Vec2> fit, std::optional<Vec2> startTangent,
                                   std::optional<Vec2> endTangent) {
    return interpolate(fit, startTangent, endTangent);
}

std::vector<Vec3> interpolateCubic(std::span<const Vec3> fit, std::optional<Vec3> startTangent,
                                   std::optional<Vec3> endTangent) {
    return interpolate(fit, startTangent, endTangent);
}

BulgeArc bulgeArc(Vec2 a, Vec2 b, double bulge) {
    BulgeArc arc;
    const Vec2 chord = b - a;
    const double c = length(chord);
    arc.sweep = 4 * std::atan(bulge);
    // Distance from the chord's middle to the centre, to the left of the chord
    // for a counter-clockwise (positive) bulge: (c / 2) cot(sweep / 2).
    const double offset = c / 2 * (1 - bulge * bulge) / (2 * bulge);
    const Vec2 left = c > 0 ? perpendicular(chord) * (1 / c) : Vec2{};
    arc.centre = (a + b) * 0.5 + left * offset;
    arc.radius = length(a - arc.centre);
    arc.start = std::atan2(a.y - arc.centre.y, a.x - arc.centre.x);
    return arc;
}

}  // namespace render::detail
