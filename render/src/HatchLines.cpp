#include "HatchLines.h"

#include <algorithm>
#include <cmath>

namespace render::detail {
namespace {

// Cuts [from, to] of line k (origin at `origin` along the line) by the dash
// pattern; false once the budget is spent.
bool addDashes(const HatchFamily& family, double patternLength, Vec2 origin, Vec2 direction,
               double from, double to, const HatchLineBudget& budget, WorkBudget& work,
               HatchSegments& out) {
    auto at = [&](double u) { return origin + direction * u; };
    auto emit = [&](double a, double b) {
        if (out.segments.size() >= budget.maxSegments) return false;
        out.segments.emplace_back(at(a), at(b));
        return true;
    };
    if (family.dashes.empty() || !(patternLength > 0)) return emit(from, to);
    // Whole pattern repeats counted in integers: far from the origin a
    // position plus a short dash can round back to the same position.
    const double first = std::floor(from / patternLength);
    const double repeats = std::floor(to / patternLength) - first;
    if (!(repeats < static_cast<double>(budget.maxSegments))) return emit(from, to);
    for (std::size_t r = 0; r <= static_cast<std::size_t>(repeats); ++r) {
        if (!work.charge(family.dashes.size())) return false;
        double position = (first + static_cast<double>(r)) * patternLength;
        for (const double dash : family.dashes) {
            const double end = position + std::abs(dash);
            if (dash > 0) {
                const double a = std::max(position, from), b = std::min(end, to);
                if (a < b && !emit(a, b)) return false;
            } else if (dash == 0 && position >= from && position <= to) {
                if (!emit(position, position)) return false;
            }
            position = end;
        }
    }
    return true;
}

}  // namespace

HatchSegments hatchSegments(const std::vector<std::vector<Vec2>>& rings,
                            const std::vector<HatchFamily>& families, const HatchLineBudget& budget,
                            WorkBudget& work) {
    HatchSegments out;
    for (const HatchFamily& family : families) {
        if (!work.charge()) return out;
        const Vec2 direction{std::cos(family.angle), std::sin(family.angle)};
        Vec2 normal = perpendicular(direction);
        double spacing = dot(family.offset, normal);
        if (spacing < 0) {
            normal = normal * -1;
            spacing = -spacing;
        }
        double low = INFINITY, high = -INFINITY;
        for (const auto& ring : rings)
            for (const Vec2& p : ring) {
                low = std::min(low, dot(p, normal));
                high = std::max(high, dot(p, normal));
            }
        const double baseS = dot(family.base, normal);
        if (!(spacing > (high - low) * 1e-9) || !std::isfinite(spacing) || !(low <= high)) {
            ++out.familiesDropped;
            continue;
        }
        const double firstK = std::ceil((low - baseS) / spacing);
        const double lastK = std::floor((high - baseS) / spacing);
        if (!(lastK - firstK < static_cast<double>(budget.maxLinesPerFamily))) {
            ++out.familiesDropped;
            continue;
        }
        if (lastK < firstK) continue;
        const auto lineCount = static_cast<std::size_t>(lastK - firstK) + 1;
        if (!work.charge(lineCount)) return out;
        std::vector<std::vector<double>> crossings(lineCount);
        // Each crossing ends a segment: more than twice the budget cannot be drawn.
        std::size_t crossingCount = 0;
        bool tooMany = false;
        for (const auto& ring : rings) {
            if (tooMany) break;
            if (!work.charge(ring.size())) return out;
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const Vec2 p = ring[i], q = ring[(i + 1) % ring.size()];
                const double sp = dot(p, normal), sq = dot(q, normal);
                if (sp == sq) continue;
                // Lines at s in [min, max) cross this edge: a vertex on a line
                // counts once for the two edges that meet there.
                const double lo = std::min(sp, sq), hi = std::max(sp, sq);
                const double kFrom = std::max(std::ceil((lo - baseS) / spacing), firstK);
                const double kTo = std::min(std::ceil((hi - baseS) / spacing) - 1, lastK);
                if (kTo >= kFrom) crossingCount += static_cast<std::size_t>(kTo - kFrom) + 1;
                if (crossingCount > 2 * budget.maxSegments) {
                    tooMany = true;
                    break;
                }
                if (!(kTo >= kFrom)) continue;
                if (!work.charge(static_cast<std::size_t>(kTo - kFrom) + 1)) return out;
                // Line indices counted in integers, as above.
                const auto firstLine = static_cast<std::size_t>(kFrom - firstK);
                const auto lastLine =
                    std::min(static_cast<std::size_t>(kTo - firstK), lineCount - 1);
                for (std::size_t line = firstLine; line <= lastLine; ++line) {
                    const double s = baseS + (firstK + static_cast<double>(line)) * spacing;
                    const double t = (s - sp) / (sq - sp);
                    crossings[line].push_back(dot(p + (q - p) * t, direction));
                }
            }
        }
        if (tooMany) {
            ++out.familiesDropped;
            continue;
        }
        double patternLength = 0;
        bool inked = family.dashes.empty();
        for (const double d : family.dashes) {
            patternLength += std::abs(d);
            inked = inked || d >= 0;
        }
        if (!inked) continue;                                  // all gaps
        if (!std::isfinite(patternLength)) patternLength = 0;  // drawn solid
        for (std::size_t line = 0; line < lineCount; ++line) {
            auto& along = crossings[line];
            if (!work.charge()) return out;
            if (along.size() < 2) continue;
            std::sort(along.begin(), along.end());
            const Vec2 lineOrigin =
                family.base + family.offset * (firstK + static_cast<double>(line));
            // Parameters measured from the line's own origin keep the dashes
            // of every line in step with the pattern.
            const double originU = dot(lineOrigin, direction);
            for (std::size_t i = 0; i + 1 < along.size(); i += 2) {
                if (!addDashes(family, patternLength, lineOrigin, direction, along[i] - originU,
                               along[i + 1] - originU, budget, work, out)) {
                    if (work.left()) ++out.familiesDropped;
                    return out;
                }
            }
        }
    }
    return out;
}

}  // namespace render::detail
