// Cox-de Boor recursion over the one knot span a parameter falls in: the
// degree + 1 basis functions that are not zero there, and their derivatives.
#include "Spline.h"

#include <algorithm>
#include <array>

#include "Vectors.h"

namespace acis::detail {
namespace {

constexpr int kMaxDegree = 25;  // the decoder rejects more
using Basis = std::array<double, kMaxDegree + 1>;

struct Span {
    std::size_t index = 0;  // knots[index] <= t < knots[index + 1], of non-zero length
    double t = 0;           // the parameter, clamped to the defined range
};

Span findSpan(const std::vector<double>& knots, int degree, double t) {
    const auto d = static_cast<std::size_t>(degree);
    const std::size_t count = knots.size() - d - 1;  // control points
    const double low = knots[d], high = knots[count];
    t = std::clamp(std::isnan(t) ? low : t, low, high);
    auto at = std::upper_bound(knots.begin() + static_cast<std::ptrdiff_t>(d),
                               knots.begin() + static_cast<std::ptrdiff_t>(count) + 1, t);
    std::size_t index = static_cast<std::size_t>(at - knots.begin()) - 1;
    // At the range's end, the last span of non-zero length.
    if (index >= count) index = count - 1;
    while (index > d && knots[index] == knots[index + 1]) --index;
    return {index, t};
}

// The basis functions N[span - degree + r] at t, and their derivatives
// unless `derivative` is none.
void basis(const std::vector<double>& knots, int degree, const Span& span, Basis& value,
           Basis* derivative) {
    const std::size_t s = span.index;
    const double t = span.t;
    Basis left{}, right{}, lower{};
    value[0] = 1;
    for (int j = 1; j <= degree; ++j) {
        left[static_cast<std::size_t>(j)] = t - knots[s + 1 - static_cast<std::size_t>(j)];
        right[static_cast<std::size_t>(j)] = knots[s + static_cast<std::size_t>(j)] - t;
        double saved = 0;
        for (int r = 0; r < j; ++r) {
            const double denominator =
                right[static_cast<std::size_t>(r + 1)] + left[static_cast<std::size_t>(j - r)];
            const double temp =
                denominator != 0 ? value[static_cast<std::size_t>(r)] / denominator : 0;
            value[static_cast<std::size_t>(r)] =
                saved + right[static_cast<std::size_t>(r + 1)] * temp;
            saved = left[static_cast<std::size_t>(j - r)] * temp;
        }
        value[static_cast<std::size_t>(j)] = saved;
        if (j == degree - 1) lower = value;
    }
    if (!derivative) return;
    if (degree == 1) lower[0] = 1;
    // N'(i, p) = p (N(i, p-1) / (k[i+p] - k[i]) - N(i+1, p-1) / (k[i+p+1] - k[i+1])),
    // where the functions of degree p - 1 not zero here are lower[0 .. p-1].
    const std::size_t first = s - static_cast<std::size_t>(degree);
    for (int r = 0; r <= degree; ++r) {
        const std::size_t i = first + static_cast<std::size_t>(r);
        const auto p = static_cast<std::size_t>(degree);
        double d = 0;
        if (r > 0) {
            const double width = knots[i + p] - knots[i];
            if (width > 0) d += lower[static_cast<std::size_t>(r - 1)] / width;
        }
        if (r < degree) {
            const double width = knots[i + p + 1] - knots[i + 1];
            if (width > 0) d -= lower[static_cast<std::size_t>(r)] / width;
        }
        (*derivative)[static_cast<std::size_t>(r)] = degree * d;
    }
}

// Sums of weighted points and of weights, and their derivatives, from which a
// rational point and derivative follow.
struct Homogeneous {
    Vec3 point, du, dv;
    double weight = 0, weightDu = 0, weightDv = 0;

    void add(const Vec3& p, double w, double n, double nu, double nv) {
        point = point + p * (w * n);
        du = du + p * (w * nu);
        dv = dv + p * (w * nv);
        weight += w * n;
        weightDu += w * nu;
        weightDv += w * nv;
    }
    SurfacePoint project() const {
        if (weight == 0) return {};
        const Vec3 p = point * (1 / weight);
        return {p, (du - p * weightDu) * (1 / weight), (dv - p * weightDv) * (1 / weight)};
    }
};

double weightOf(const std::vector<double>& weights, std::size_t i) {
    return weights.empty() ? 1.0 : weights[i];
}

}  // namespace

CurvePoint evaluate(const Curve& curve, double t) {
    const Span span = findSpan(curve.knots, curve.degree, t);
    Basis n{}, dn{};
    basis(curve.knots, curve.degree, span, n, &dn);
    Homogeneous h;
    const std::size_t first = span.index - static_cast<std::size_t>(curve.degree);
    for (int r = 0; r <= curve.degree; ++r) {
        const std::size_t i = first + static_cast<std::size_t>(r);
        h.add(curve.controlPoints[i], weightOf(curve.weights, i), n[static_cast<std::size_t>(r)],
              dn[static_cast<std::size_t>(r)], 0);
    }
    const SurfacePoint p = h.project();
    return {p.point, p.du};
}

SurfacePoint evaluate(const SplineSurface& s, double u, double v, bool derivatives) {
    const Span su = findSpan(s.knotsU, s.degreeU, u);
    const Span sv = findSpan(s.knotsV, s.degreeV, v);
    Basis nu{}, dnu{}, nv{}, dnv{};
    basis(s.knotsU, s.degreeU, su, nu, derivatives ? &dnu : nullptr);
    basis(s.knotsV, s.degreeV, sv, nv, derivatives ? &dnv : nullptr);
    Homogeneous h;
    const std::size_t firstU = su.index - static_cast<std::size_t>(s.degreeU);
    const std::size_t firstV = sv.index - static_cast<std::size_t>(s.degreeV);
    const auto countU = static_cast<std::size_t>(s.countU);
    for (int b = 0; b <= s.degreeV; ++b) {
        const auto bi = static_cast<std::size_t>(b);
        for (int a = 0; a <= s.degreeU; ++a) {
            const auto ai = static_cast<std::size_t>(a);
            const std::size_t i = (firstV + bi) * countU + firstU + ai;
            h.add(s.controlPoints[i], weightOf(s.weights, i), nu[ai] * nv[bi], dnu[ai] * nv[bi],
                  nu[ai] * dnv[bi]);
        }
    }
    return h.project();
}

}  // namespace acis::detail
