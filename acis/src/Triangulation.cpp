#include "Triangulation.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>
#include <queue>
#include <unordered_map>
#include <unordered_set>

namespace acis::detail {
namespace {

std::uint64_t key(std::uint32_t a, std::uint32_t b) {
    return std::uint64_t{a} << 32 | b;
}

// The region's rings in order, outer first: the order their points are numbered in.
std::vector<const Ring*> rings(const Region& region) {
    std::vector<const Ring*> out{&region.outer};
    for (const Ring& h : region.holes) out.push_back(&h);
    return out;
}

double dot2(Vec2 a) {
    return a.u * a.u + a.v * a.v;
}

bool insideOrOn(Vec2 a, Vec2 b, Vec2 c, Vec2 p) {
    return orient(a, b, p) >= 0 && orient(b, c, p) >= 0 && orient(c, a, p) >= 0;
}

// Above zero when d lies inside the circle through the counter-clockwise a,
// b, c; a margin relative to their spread keeps rounding from flipping an
// edge back and forth.
bool inCircle(Vec2 a, Vec2 b, Vec2 c, Vec2 d) {
    const double adx = a.u - d.u, ady = a.v - d.v;
    const double bdx = b.u - d.u, bdy = b.v - d.v;
    const double cdx = c.u - d.u, cdy = c.v - d.v;
    const double ad = adx * adx + ady * ady, bd = bdx * bdx + bdy * bdy, cd = cdx * cdx + cdy * cdy;
    const double det =
        adx * (bdy * cd - bd * cdy) - ady * (bdx * cd - bd * cdx) + ad * (bdx * cdy - bdy * cdx);
    const double scale = ad + bd + cd;
    return det > 1e-12 * scale * scale;
}

}  // namespace

Triangulation::Triangulation(const Region& region, Vec2 metric, Work& work)
    : metric_(metric), work_(work) {
    for (const Ring* ring : rings(region))
        for (const RingPoint& p : *ring) vertices_.push_back({p.uv, p.position});
    if (region.outer.size() < 3) throw Error("contorno degenerado");
    clipEars(bridged(region));
    connect(region);
    std::vector<std::array<std::uint32_t, 3>> all;
    for (std::size_t t = 0; t < tris_.size(); ++t)
        for (int e = 0; e < 3; ++e)
            all.push_back({tris_[t].v[static_cast<std::size_t>(e)],
                           tris_[t].v[static_cast<std::size_t>((e + 1) % 3)],
                           static_cast<std::uint32_t>(t)});
    legalize(std::move(all));
}

// The outer boundary with each hole spliced in through a bridge from the
// hole's rightmost point to a boundary point it sees (the hole's points
// visited clockwise, then back along the bridge).
std::vector<std::uint32_t> Triangulation::bridged(const Region& region) const {
    std::vector<std::uint32_t> polygon(region.outer.size());
    for (std::uint32_t i = 0; i < polygon.size(); ++i) polygon[i] = i;
    struct Hole {
        std::uint32_t first, size, rightmost;
    };
    std::vector<Hole> holes;
    std::uint32_t next = static_cast<std::uint32_t>(region.outer.size());
    for (const Ring& h : region.holes) {
        if (h.size() < 3) throw Error("furo degenerado");
        Hole hole{next, static_cast<std::uint32_t>(h.size()), next};
        for (std::uint32_t i = next; i < next + hole.size; ++i)
            if (vertices_[i].uv.u > vertices_[hole.rightmost].uv.u) hole.rightmost = i;
        holes.push_back(hole);
        next += hole.size;
    }
    std::sort(holes.begin(), holes.end(), [&](const Hole& a, const Hole& b) {
        return vertices_[a.rightmost].uv.u > vertices_[b.rightmost].uv.u;
    });
    for (const Hole& hole : holes) {
        work_.spend(polygon.size());
        const Vec2 m = vertices_[hole.rightmost].uv;
        // The nearest boundary crossing of the ray from m towards +u.
        double nearestU = HUGE_VAL;
        std::size_t at = polygon.size();
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const Vec2 a = vertices_[polygon[i]].uv,
                       b = vertices_[polygon[(i + 1) % polygon.size()]].uv;
            if ((a.v > m.v) == (b.v > m.v) && !(a.v == m.v && b.v == m.v)) continue;
            if (a.v == b.v) continue;
            const double u = a.u + (m.v - a.v) * (b.u - a.u) / (b.v - a.v);
            if (u < m.u || u >= nearestU) continue;
            nearestU = u;
            // The edge's end further along +u is the candidate to bridge to.
            at = a.u > b.u ? i : (i + 1) % polygon.size();
        }
        if (at == polygon.size()) throw Error("furo fora do contorno");
        // A boundary point inside the triangle m, crossing, candidate can hide
        // the candidate: then the one of those nearest the ray in angle.
        const Vec2 hit{nearestU, m.v};
        const Vec2 candidate = vertices_[polygon[at]].uv;
        double bestAngle = HUGE_VAL;
        for (std::size_t i = 0; i < polygon.size() && candidate.v != m.v; ++i) {
            const Vec2 p = vertices_[polygon[i]].uv;
            if (p == candidate || p == m) continue;
            const bool inside = candidate.v > m.v ? insideOrOn(m, hit, candidate, p)
                                                  : insideOrOn(m, candidate, hit, p);
            if (!inside || p.u < m.u) continue;
            const double angle = std::abs(std::atan2(p.v - m.v, p.u - m.u));
            if (angle < bestAngle) bestAngle = angle, at = i;
        }
        std::vector<std::uint32_t> spliced;
        spliced.reserve(polygon.size() + hole.size + 2);
        spliced.insert(spliced.end(), polygon.begin(),
                       polygon.begin() + static_cast<std::ptrdiff_t>(at) + 1);
        for (std::uint32_t k = 0; k <= hole.size; ++k)
            spliced.push_back(hole.first + (hole.rightmost - hole.first + k) % hole.size);
        spliced.push_back(polygon[at]);
        spliced.insert(spliced.end(), polygon.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                       polygon.end());
        polygon = std::move(spliced);
    }
    return polygon;
}

// Clips the best-shaped ear first (the one whose triangle is nearest
// equilateral), which leaves few edges for the Delaunay flips to fix: clipping
// in boundary order makes fans that take a flip per pair of their triangles.
void Triangulation::clipEars(std::vector<std::uint32_t> polygon) {
    const std::size_t n = polygon.size();
    std::vector<std::size_t> prev(n), next(n);
    for (std::size_t i = 0; i < n; ++i) prev[i] = (i + n - 1) % n, next[i] = (i + 1) % n;
    const auto uv = [&](std::size_t i) { return vertices_[polygon[i]].uv; };
    std::vector<bool> removed(n);
    // Only corners that are not convex can lie inside an ear.
    const auto convex = [&](std::size_t i) { return orient(uv(prev[i]), uv(i), uv(next[i])) > 0; };
    std::vector<std::size_t> reflex;
    for (std::size_t i = 0; i < n; ++i)
        if (!convex(i)) reflex.push_back(i);
    // The reflex corners by cell of a grid over the polygon, so that an ear
    // is checked against those near it only.
    Vec2 low = uv(0), high = uv(0);
    for (std::size_t k = 0; k < n; ++k)
        low = {std::min(low.u, uv(k).u), std::min(low.v, uv(k).v)},
        high = {std::max(high.u, uv(k).u), std::max(high.v, uv(k).v)};
    const double width = std::max(high.u - low.u, 1e-300),
                 height = std::max(high.v - low.v, 1e-300);
    const double cells = static_cast<double>(std::max<std::size_t>(reflex.size(), 1));
    const auto columns =
        static_cast<std::size_t>(std::clamp(std::sqrt(cells * width / height), 1.0, 1024.0));
    const auto rows =
        static_cast<std::size_t>(std::clamp(std::sqrt(cells * height / width), 1.0, 1024.0));
    const auto cellOf = [&](Vec2 p) {
        const auto column = static_cast<std::size_t>(
            std::clamp((p.u - low.u) / width * double(columns), 0.0, double(columns - 1)));
        const auto row = static_cast<std::size_t>(
            std::clamp((p.v - low.v) / height * double(rows), 0.0, double(rows - 1)));
        return std::pair{column, row};
    };
    std::vector<std::vector<std::size_t>> grid(columns * rows);
    for (std::size_t r : reflex) {
        const auto [column, row] = cellOf(uv(r));
        grid[row * columns + column].push_back(r);
    }
    // The ear's shape, 1 for equilateral; none when the corner is not an ear.
    const auto ear = [&](std::size_t i) -> std::optional<double> {
        if (!convex(i)) return std::nullopt;
        const Vec2 a = uv(prev[i]), b = uv(i), c = uv(next[i]);
        const auto [c0, r0] = cellOf({std::min({a.u, b.u, c.u}), std::min({a.v, b.v, c.v})});
        const auto [c1, r1] = cellOf({std::max({a.u, b.u, c.u}), std::max({a.v, b.v, c.v})});
        for (std::size_t row = r0; row <= r1; ++row)
            for (std::size_t column = c0; column <= c1; ++column)
                for (std::size_t r : grid[row * columns + column]) {
                    work_.spend();
                    if (removed[r] || r == prev[i] || r == i || r == next[i]) continue;
                    const Vec2 p = uv(r);
                    if (p == a || p == b || p == c) continue;
                    if (insideOrOn(a, b, c, p)) return std::nullopt;
                }
        const Vec2 sa = scaled(polygon[prev[i]]), sb = scaled(polygon[i]),
                   sc = scaled(polygon[next[i]]);
        return orient(sa, sb, sc) / (dot2(sb - sa) + dot2(sc - sb) + dot2(sa - sc));
    };
    struct Candidate {
        double shape;
        std::size_t corner;
        std::uint32_t version;
        bool operator<(const Candidate& o) const {
            return shape < o.shape || (shape == o.shape && corner > o.corner);
        }
    };
    std::vector<std::uint32_t> version(n);
    std::priority_queue<Candidate> ears;
    const auto consider = [&](std::size_t i) {
        ++version[i];
        if (const std::optional<double> shape = ear(i)) ears.push({*shape, i, version[i]});
    };
    for (std::size_t i = 0; i < n; ++i) consider(i);
    tris_.reserve(n);
    std::size_t left = n;
    while (left > 3) {
        if (ears.empty()) {
            // A corner that turned convex no longer hides the ears it covered:
            // look at every corner again.
            for (std::size_t i = 0; i < n; ++i)
                if (!removed[i]) consider(i);
            if (ears.empty()) break;
        }
        const Candidate c = ears.top();
        ears.pop();
        if (removed[c.corner] || c.version != version[c.corner]) continue;
        const std::size_t i = c.corner;
        tris_.push_back({{polygon[prev[i]], polygon[i], polygon[next[i]]}, {-1, -1, -1}, {}});
        removed[i] = true;
        next[prev[i]] = next[i];
        prev[next[i]] = prev[i];
        --left;
        consider(prev[i]);
        consider(next[i]);
    }
    std::size_t at = 0;
    while (at < n && removed[at]) ++at;
    if (left == 3) {
        if (orient(uv(prev[at]), uv(at), uv(next[at])) > 0)
            tris_.push_back(
                {{polygon[prev[at]], polygon[at], polygon[next[at]]}, {-1, -1, -1}, {}});
        return;
    }
    // No ear left: what remains encloses no area (all on a line), or the
    // boundary crosses itself.
    const double size = length(high - low);
    double area = 0;
    std::size_t i = at;
    for (std::size_t k = 0; k < left; ++k, i = next[i]) area += cross(uv(i), uv(next[i]));
    if (std::abs(area) > 1e-9 * size * size) throw Error("laço que se cruza");
}

// Neighbours from shared edges, and which edges are the region's boundary.
void Triangulation::connect(const Region& region) {
    std::unordered_set<std::uint64_t> boundary;
    std::uint32_t first = 0;
    for (const Ring* ring : rings(region)) {
        const auto n = static_cast<std::uint32_t>(ring->size());
        for (std::uint32_t i = 0; i < n; ++i) boundary.insert(key(first + i, first + (i + 1) % n));
        first += n;
    }
    std::unordered_map<std::uint64_t, std::int32_t> edges;
    for (std::size_t t = 0; t < tris_.size(); ++t)
        for (std::size_t e = 0; e < 3; ++e)
            if (!edges
                     .emplace(key(tris_[t].v[e], tris_[t].v[(e + 1) % 3]),
                              static_cast<std::int32_t>(t))
                     .second)
                throw Error("laço que se cruza");
    for (Tri& t : tris_)
        for (std::size_t e = 0; e < 3; ++e) {
            const std::uint32_t a = t.v[e], b = t.v[(e + 1) % 3];
            const auto across = edges.find(key(b, a));
            t.n[e] = across == edges.end() ? -1 : across->second;
            t.fixed[e] = t.n[e] < 0 || boundary.count(key(a, b)) > 0;
        }
}

int Triangulation::edgeIn(std::int32_t t, std::uint32_t a, std::uint32_t b) const {
    const Tri& tri = tris_[static_cast<std::size_t>(t)];
    for (int e = 0; e < 3; ++e)
        if (tri.v[static_cast<std::size_t>(e)] == a &&
            tri.v[static_cast<std::size_t>((e + 1) % 3)] == b)
            return e;
    return -1;
}

// Triangle `t`'s edge from a to b now borders `to`. Found by the edge, not by
// the old neighbour: slivers may border one triangle along two edges.
void Triangulation::relink(std::int32_t t, std::uint32_t a, std::uint32_t b, std::int32_t to) {
    if (t < 0) return;
    const int e = edgeIn(t, a, b);
    if (e >= 0) tris_[static_cast<std::size_t>(t)].n[static_cast<std::size_t>(e)] = to;
}

// Makes edge e the triangle's edge 0.
void Triangulation::rotate(std::int32_t t, int e) {
    Tri& tri = tris_[static_cast<std::size_t>(t)];
    std::rotate(tri.v.begin(), tri.v.begin() + e, tri.v.end());
    std::rotate(tri.n.begin(), tri.n.begin() + e, tri.n.end());
    std::rotate(tri.fixed.begin(), tri.fixed.begin() + e, tri.fixed.end());
}

// Flips edge e of t (a, b, c, with u = b, a, d across it) to c-d when d lies
// in the circle through a, b, c and the flip leaves both triangles turning
// the right way.
bool Triangulation::flipIfBetter(std::int32_t t, int e) {
    Tri& tri = tris_[static_cast<std::size_t>(t)];
    const auto ei = static_cast<std::size_t>(e);
    if (tri.fixed[ei] || tri.n[ei] < 0) return false;
    const std::int32_t u = tri.n[ei];
    const int eu = edgeIn(u, tri.v[(ei + 1) % 3], tri.v[ei]);
    if (eu < 0) return false;
    rotate(t, e);
    rotate(u, eu);
    Tri& T = tris_[static_cast<std::size_t>(t)];
    Tri& U = tris_[static_cast<std::size_t>(u)];
    const std::uint32_t a = T.v[0], b = T.v[1], c = T.v[2], d = U.v[2];
    const Vec2 pa = vertices_[a].uv, pb = vertices_[b].uv, pc = vertices_[c].uv,
               pd = vertices_[d].uv;
    if (orient(pc, pa, pd) <= 0 || orient(pd, pb, pc) <= 0 ||
        !inCircle(scaled(a), scaled(b), scaled(c), scaled(d)))
        return false;
    work_.spend();
    const Tri oldT = T, oldU = U;
    T = {{c, a, d}, {oldT.n[2], oldU.n[1], u}, {oldT.fixed[2], oldU.fixed[1], false}};
    U = {{d, b, c}, {oldU.n[2], oldT.n[1], t}, {oldU.fixed[2], oldT.fixed[1], false}};
    relink(oldU.n[1], d, a, t);
    relink(oldT.n[1], c, b, u);
    return true;
}

void Triangulation::legalize(std::vector<std::array<std::uint32_t, 3>> edges) {
    // Each entry: an edge's two points and a triangle that had it.
    std::size_t flips = 0;
    const std::size_t maxFlips = 64 * (tris_.size() + 16);
    while (!edges.empty()) {
        const auto [a, b, tri] = edges.back();
        edges.pop_back();
        const auto t = static_cast<std::int32_t>(tri);
        const int e = edgeIn(t, a, b);
        if (e < 0 || !flipIfBetter(t, e)) continue;
        touched_.push_back(t);
        const std::int32_t u = tris_[static_cast<std::size_t>(t)].n[2];
        touched_.push_back(u);
        // The quad's four sides may now fail the test.
        for (const std::int32_t side : {t, u})
            for (std::size_t k = 0; k < 2; ++k) {
                const Tri& s = tris_[static_cast<std::size_t>(side)];
                edges.push_back({s.v[k], s.v[k + 1], static_cast<std::uint32_t>(side)});
            }
        if (++flips > maxFlips) break;  // rounding at its worst: stop, the mesh is valid
    }
}

std::uint32_t Triangulation::addVertex(Vec2 uv, const Vec3& position) {
    vertices_.push_back({uv, position});
    return static_cast<std::uint32_t>(vertices_.size() - 1);
}

// Adds a point of the surface inside t; false, changing nothing, when one of
// the three parts would not turn counter-clockwise.
bool Triangulation::insertInside(std::int32_t t, Vec2 uv, const Vec3& position) {
    const Tri old = tris_[static_cast<std::size_t>(t)];
    const auto [a, b, c] = old.v;
    const Vec2 pa = vertices_[a].uv, pb = vertices_[b].uv, pc = vertices_[c].uv;
    if (orient(pa, pb, uv) <= 0 || orient(pb, pc, uv) <= 0 || orient(pc, pa, uv) <= 0)
        return false;
    const std::uint32_t p = addVertex(uv, position);
    const auto t1 = static_cast<std::int32_t>(tris_.size()), t2 = t1 + 1;
    tris_[static_cast<std::size_t>(t)] = {
        {a, b, p}, {old.n[0], t1, t2}, {old.fixed[0], false, false}};
    tris_.push_back({{b, c, p}, {old.n[1], t2, t}, {old.fixed[1], false, false}});
    tris_.push_back({{c, a, p}, {old.n[2], t, t1}, {old.fixed[2], false, false}});
    relink(old.n[1], c, b, t1);
    relink(old.n[2], a, c, t2);
    touched_ = {t, t1, t2};
    legalize({{a, b, static_cast<std::uint32_t>(t)},
              {b, c, static_cast<std::uint32_t>(t1)},
              {c, a, static_cast<std::uint32_t>(t2)}});
    return true;
}

// Splits edge e of t (a, b, c; u = b, a, d across it) at `mid`, a point of
// the surface at `uv`. False, changing nothing, when one of the four halves
// would not turn counter-clockwise: the triangle across is a sliver whose
// far corner lies on the edge, as far as doubles can tell.
bool Triangulation::splitEdge(std::int32_t t, int e, Vec2 uv, const Vec3& mid) {
    const auto ei = static_cast<std::size_t>(e);
    const std::int32_t u = tris_[static_cast<std::size_t>(t)].n[ei];
    if (u < 0) return false;
    const int eu = edgeIn(u, tris_[static_cast<std::size_t>(t)].v[(ei + 1) % 3],
                          tris_[static_cast<std::size_t>(t)].v[ei]);
    if (eu < 0) return false;
    {
        const Tri& T = tris_[static_cast<std::size_t>(t)];
        const Vec2 pa = vertices_[T.v[ei]].uv, pb = vertices_[T.v[(ei + 1) % 3]].uv,
                   pc = vertices_[T.v[(ei + 2) % 3]].uv;
        const Vec2 pd = vertices_[tris_[static_cast<std::size_t>(u)]
                                      .v[(static_cast<std::size_t>(eu) + 2) % 3]]
                            .uv;
        if (orient(pa, uv, pc) <= 0 || orient(uv, pb, pc) <= 0 || orient(pb, uv, pd) <= 0 ||
            orient(uv, pa, pd) <= 0)
            return false;
    }
    const std::uint32_t m = addVertex(uv, mid);
    rotate(t, e);
    rotate(u, eu);
    const Tri T = tris_[static_cast<std::size_t>(t)], U = tris_[static_cast<std::size_t>(u)];
    const std::uint32_t a = T.v[0], b = T.v[1], c = T.v[2], d = U.v[2];
    const auto t2 = static_cast<std::int32_t>(tris_.size()), u2 = t2 + 1;
    tris_[static_cast<std::size_t>(t)] = {{a, m, c}, {u2, t2, T.n[2]}, {false, false, T.fixed[2]}};
    tris_[static_cast<std::size_t>(u)] = {{b, m, d}, {t2, u2, U.n[2]}, {false, false, U.fixed[2]}};
    tris_.push_back({{m, b, c}, {u, T.n[1], t}, {false, T.fixed[1], false}});
    tris_.push_back({{m, a, d}, {t, U.n[1], u}, {false, U.fixed[1], false}});
    relink(T.n[1], c, b, t2);
    relink(U.n[1], d, a, u2);
    touched_ = {t, u, t2, u2};
    legalize({{c, a, static_cast<std::uint32_t>(t)},
              {b, c, static_cast<std::uint32_t>(t2)},
              {d, b, static_cast<std::uint32_t>(u)},
              {a, d, static_cast<std::uint32_t>(u2)}});
    return true;
}

void Triangulation::refine(const SurfaceMap& map, const Refinement& r) {
    const double cosine = std::cos(r.angle);
    std::vector<Vec3> normals;
    const auto normalOf = [&](std::uint32_t v) {
        while (normals.size() <= v) normals.push_back(map.normal(vertices_[normals.size()].uv));
        return normals[v];
    };
    // A pole's corners are one point whatever their u: an edge from one runs
    // along the meridian of its other end (a cone's generator, straight), so
    // the surface there is measured at the other corners' u and such edges are
    // never split (their middle in the plane is not on the edge in space).
    const auto onPole = [&](std::uint32_t v) {
        const double pv = vertices_[v].uv.v;
        return (map.poleAtHighV() && pv == map.highV()) || (map.poleAtLowV() && pv == map.lowV());
    };
    // The surface at the middle of each edge, looked at from both its
    // triangles and again after flips: evaluated once.
    std::unordered_map<std::uint64_t, Vec3> middles;
    const auto middleOf = [&](std::uint32_t a, std::uint32_t b) {
        const auto [at, made] = middles.try_emplace(key(std::min(a, b), std::max(a, b)));
        if (made) {
            work_.spend(map.evaluationCost());
            at->second = map.point((vertices_[a].uv + vertices_[b].uv) * 0.5);
        }
        return at->second;
    };
    std::deque<std::int32_t> queue;
    for (std::size_t t = 0; t < tris_.size(); ++t) queue.push_back(static_cast<std::int32_t>(t));
    while (!queue.empty() && tris_.size() + 2 <= r.maxTriangles) {
        const std::int32_t t = queue.front();
        queue.pop_front();
        const Tri tri = tris_[static_cast<std::size_t>(t)];
        const Vertex* corner[3] = {&vertices_[tri.v[0]], &vertices_[tri.v[1]],
                                   &vertices_[tri.v[2]]};
        const double uvArea = orient(corner[0]->uv, corner[1]->uv, corner[2]->uv);
        double uvSize = 0, longest = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            uvSize = std::max(uvSize, length(corner[(k + 1) % 3]->uv - corner[k]->uv));
            longest =
                std::max(longest, length(corner[(k + 1) % 3]->position - corner[k]->position));
        }
        // Degenerate, or too small to gain by refining.
        if (!(uvArea > 1e-12 * uvSize * uvSize) || !(longest > r.tolerance)) continue;
        bool pole[3];
        double meanU = 0;
        int regular = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            pole[k] = onPole(tri.v[k]);
            if (!pole[k]) meanU += corner[k]->uv.u, ++regular;
        }
        if (regular == 0) continue;
        meanU /= regular;
        const auto probe = [&](std::size_t k) {
            return pole[k] ? Vec2{meanU, corner[k]->uv.v} : corner[k]->uv;
        };
        work_.spend(map.evaluationCost());
        // How far the surface leaves the triangle in the middle and at the
        // middle of each edge.
        const Vec3 across = cross(corner[1]->position - corner[0]->position,
                                  corner[2]->position - corner[0]->position);
        const Vec3 centre =
            (corner[0]->position + corner[1]->position + corner[2]->position) * (1.0 / 3);
        const Vec3 onSurface = map.point((probe(0) + probe(1) + probe(2)) * (1.0 / 3));
        const double spread = length(across);
        double worst = spread > 1e-12 * longest * longest
                           ? std::abs(dot(onSurface - centre, across)) / spread
                           : length(onSurface - centre);
        // Split the inner edge the surface leaves most, or when the normals
        // turn too much, the longest inner edge; else add the middle.
        int split = -1, longestEdge = -1;
        double splitError = 0, longestInner = 0;
        bool turns = false;
        for (std::size_t k = 0; k < 3; ++k) {
            const std::size_t next = (k + 1) % 3;
            if (pole[k] || pole[next]) {
                if (pole[k] != pole[next] && !tri.fixed[k]) {
                    const std::size_t end = pole[k] ? next : k;
                    const Vec2 mid{corner[end]->uv.u, (corner[k]->uv.v + corner[next]->uv.v) / 2};
                    worst = std::max(worst, distanceToSegment(map.point(mid), corner[k]->position,
                                                              corner[next]->position));
                }
                continue;
            }
            // A boundary edge cannot be split: its normals' turn is its own.
            if (tri.fixed[k]) continue;
            if (dot(normalOf(tri.v[k]), normalOf(tri.v[next])) < cosine &&
                longest > 2 * r.tolerance)
                turns = true;
            // How far the surface strays from the edge: across it, not along
            // it, where a parameter running unevenly would count too.
            const double error = distanceToSegment(middleOf(tri.v[k], tri.v[next]),
                                                   corner[k]->position, corner[next]->position);
            worst = std::max(worst, error);
            if (error > splitError) splitError = error, split = static_cast<int>(k);
            if (const double l = length(corner[next]->position - corner[k]->position);
                l > longestInner)
                longestInner = l, longestEdge = static_cast<int>(k);
        }
        if (worst <= r.tolerance && !turns) continue;
        if (splitError <= r.tolerance) split = turns ? longestEdge : -1;
        if (split >= 0) {
            const auto si = static_cast<std::size_t>(split);
            const Vec2 uv = (corner[si]->uv + corner[(si + 1) % 3]->uv) * 0.5;
            // Finer than doubles can tell apart: the triangle stays as it is.
            if (!splitEdge(t, split, uv, middleOf(tri.v[si], tri.v[(si + 1) % 3]))) continue;
        } else {
            const Vec2 uv = (corner[0]->uv + corner[1]->uv + corner[2]->uv) * (1.0 / 3);
            if (!insertInside(t, uv, map.point(uv))) continue;
        }
        for (std::int32_t changed : touched_) queue.push_back(changed);
        touched_.clear();
    }
}

std::vector<Triangulation::Triangle> Triangulation::triangles() const {
    std::vector<Triangle> out;
    out.reserve(tris_.size());
    for (const Tri& t : tris_) out.push_back(t.v);
    return out;
}

}  // namespace acis::detail
