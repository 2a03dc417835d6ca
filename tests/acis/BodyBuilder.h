// Bodies of any shape for the tessellation tests, written from their topology:
// vertices, edges along lines, ellipses or splines, and faces on a surface
// with loops of (edge, reversed) coedges. Partner coedges are found by edge.
#pragma once

#include <array>
#include <map>
#include <utility>

#include "ModelWriter.h"

namespace acistest {

using Point = std::array<double, 3>;

inline Field at(const Point& p) {
    return position(p[0], p[1], p[2]);
}
inline std::vector<Field> unbounded(int n) {
    return std::vector<Field>(std::size_t(n), flag("I", false));
}

// Surface records' fields.
inline std::vector<Field> planeSurface(Point origin, Point normal) {
    std::vector<Field> f{at(origin), at(normal), position(1, 0, 0), flag("forward_v", false)};
    for (const Field& i : unbounded(4)) f.push_back(i);
    return f;
}
// `major` is the base ellipse's major axis (its length the radius); `sine`
// and `cosine` of the half-angle.
inline std::vector<Field> coneSurface(Point centre, Point axis, Point major, double ratio,
                                      double sine, double cosine) {
    std::vector<Field> f{at(centre),       at(axis),   at(major),    real(ratio), flag("I", false),
                         flag("I", false), real(sine), real(cosine), real(1),     forward()};
    for (const Field& i : unbounded(4)) f.push_back(i);
    return f;
}
inline std::vector<Field> sphereSurface(Point centre, double radius, Point pole = {0, 0, 1}) {
    std::vector<Field> f{at(centre), real(radius), position(1, 0, 0), at(pole),
                         flag("forward_v", false)};
    for (const Field& i : unbounded(4)) f.push_back(i);
    return f;
}
inline std::vector<Field> torusSurface(Point centre, Point axis, double major, double minor) {
    std::vector<Field> f{at(centre),  at(axis),          real(major),
                         real(minor), position(1, 0, 0), flag("forward_v", false)};
    for (const Field& i : unbounded(4)) f.push_back(i);
    return f;
}

// Distinct knots with their multiplicities as the save format stores them.
struct Knots {
    std::vector<double> values;
    std::vector<int> multiplicities;
};

inline void addKnots(std::vector<Field>& f, const Knots& k) {
    for (std::size_t i = 0; i < k.values.size(); ++i) {
        f.push_back(real(k.values[i]));
        f.push_back(integer(k.multiplicities[i]));
    }
}

// A B-spline surface; `points` with u varying fastest, `weights` empty for a
// non-rational one. Closures and singularities as words, or as numbers the
// way binary files may store them.
inline std::vector<Field> splineSurface(int degreeU, int degreeV, const Knots& u, const Knots& v,
                                        const std::vector<Point>& points,
                                        const std::vector<double>& weights = {},
                                        bool closuresAsNumbers = false,
                                        bool reversedSense = false) {
    const bool rational = !weights.empty();
    std::vector<Field> f{
        reversedSense ? reversed() : forward(), open(),           word("exactsur"),
        word(rational ? "nurbs" : "nubs"),      integer(degreeU), integer(degreeV)};
    if (rational) f.push_back(closuresAsNumbers ? integer(0) : word("both"));
    for (const char* w : {"open", "open", "none", "none"})
        f.push_back(closuresAsNumbers ? integer(0) : word(w));
    f.push_back(integer(int(u.values.size())));
    f.push_back(integer(int(v.values.size())));
    addKnots(f, u);
    addKnots(f, v);
    for (std::size_t i = 0; i < points.size(); ++i) {
        f.push_back(at(points[i]));
        if (rational) f.push_back(real(weights[i]));
    }
    f.push_back(real(0));
    f.push_back(close());
    for (const Field& i : unbounded(4)) f.push_back(i);
    return f;
}

class BodyBuilder {
  public:
    using Coedges = std::vector<std::pair<int, bool>>;  // (edge, runs against it)

    int vertex(Point p) {
        vertices_.push_back(p);
        return int(vertices_.size()) - 1;
    }
    int line(int from, int to) {
        const Point a = vertices_[std::size_t(from)], b = vertices_[std::size_t(to)];
        return edge(from, to, "straight-curve",
                    {at(a), position(b[0] - a[0], b[1] - a[1], b[2] - a[2]), flag("I", false),
                     flag("I", false)});
    }
    // An arc of the ellipse (centre, normal, major axis, ratio), counter-clockwise
    // about the normal from `from` to `to` unless the edge runs against it.
    int arc(int from, int to, Point centre, Point normal, Point major, double ratio = 1,
            bool against = false) {
        return edge(
            from, to, "ellipse-curve",
            {at(centre), at(normal), at(major), real(ratio), flag("I", false), flag("I", false)},
            against);
    }
    // A B-spline edge (exact intcurve) from `from` to `to`.
    int spline(int from, int to, int degree, const Knots& knots, const std::vector<Point>& points) {
        std::vector<Field> f{forward(),
                             open(),
                             word("exactcur"),
                             word("nubs"),
                             integer(degree),
                             word("open"),
                             integer(int(knots.values.size()))};
        addKnots(f, knots);
        for (const Point& p : points) f.push_back(at(p));
        f.push_back(real(0));
        f.push_back(close());
        f.push_back(flag("I", false));
        f.push_back(flag("I", false));
        return edge(from, to, "intcurve-curve", f);
    }
    // An edge that is one point, as at a cone's apex.
    int point(int at) { return edge(at, at, "", {}); }

    void face(std::string surface, std::vector<Field> fields, std::vector<Coedges> loops,
              bool reversedFace = false, bool doubleSided = false) {
        faces_.push_back(
            {std::move(surface), std::move(fields), std::move(loops), reversedFace, doubleSided});
    }
    // The body's transform: rows of the rotation, the translation and a scale.
    void transform(std::array<double, 9> rows, Point translation, double scale) {
        transform_ = {rows, translation, scale};
        hasTransform_ = true;
    }

    ModelWriter write(int version = 700) const;

  private:
    struct EdgeRecord {
        int from, to;
        std::string curve;  // empty: none
        std::vector<Field> fields;
        bool against;
    };
    struct FaceRecord {
        std::string surface;
        std::vector<Field> fields;
        std::vector<Coedges> loops;
        bool reversed, doubleSided;
    };
    struct Transform {
        std::array<double, 9> rows{};
        Point translation{};
        double scale = 1;
    };

    int edge(int from, int to, std::string curve, std::vector<Field> fields, bool against = false) {
        edges_.push_back({from, to, std::move(curve), std::move(fields), against});
        return int(edges_.size()) - 1;
    }

    std::vector<Point> vertices_;
    std::vector<EdgeRecord> edges_;
    std::vector<FaceRecord> faces_;
    Transform transform_;
    bool hasTransform_ = false;
};

inline ModelWriter BodyBuilder::write(int version) const {
    ModelWriter w;
    w.version = version;
    const int body = w.reserve(), lump = w.reserve(), shell = w.reserve();
    const int transform = hasTransform_ ? w.reserve() : -1;
    auto block = [&](std::size_t n) {
        const int first = int(w.records.size());
        for (std::size_t i = 0; i < n; ++i) w.reserve();
        return first;
    };
    std::size_t loopCount = 0, coedgeCount = 0;
    for (const FaceRecord& f : faces_) {
        loopCount += f.loops.size();
        for (const Coedges& l : f.loops) coedgeCount += l.size();
    }
    const int faces = block(faces_.size()), loops = block(loopCount), coedges = block(coedgeCount),
              edges = block(edges_.size()), vertices = block(vertices_.size()),
              points = block(vertices_.size()), curves = block(edges_.size()),
              surfaces = block(faces_.size());
    w.set(body, "body", {ptr(lump), ptr(-1), ptr(transform)});
    w.set(lump, "lump", {ptr(-1), ptr(shell), ptr(body)});
    w.set(shell, "shell", {ptr(-1), ptr(-1), ptr(faces), ptr(-1), ptr(lump)});
    if (hasTransform_) {
        std::vector<Field> t;
        for (double r : transform_.rows) t.push_back(real(r));
        for (double d : transform_.translation) t.push_back(real(d));
        t.push_back(real(transform_.scale));
        for (const char* word : {"rotate", "no_reflect", "no_shear"})
            t.push_back(acistest::word(word));
        w.set(transform, "transform", t);
        w.records[std::size_t(transform)].plainPrefix = true;
    }
    // Which coedges run along each edge, to pair them as partners.
    std::map<int, std::vector<int>> onEdge;
    int c = 0;
    for (const FaceRecord& f : faces_)
        for (const Coedges& l : f.loops)
            for (const auto& coedge : l) onEdge[coedge.first].push_back(coedges + c++);
    const auto partner = [&](int e, int self) {
        const std::vector<int>& list = onEdge[e];
        for (int other : list)
            if (other != self) return other;
        return -1;
    };
    int loop = loops;
    c = coedges;
    for (std::size_t fi = 0; fi < faces_.size(); ++fi) {
        const FaceRecord& f = faces_[fi];
        const int face = faces + int(fi);
        const int firstLoop = f.loops.empty() ? -1 : loop;
        w.set(face, "face",
              {ptr(fi + 1 < faces_.size() ? face + 1 : -1), ptr(firstLoop), ptr(shell), ptr(-1),
               ptr(surfaces + int(fi)), f.reversed ? reversed() : forward(),
               f.doubleSided ? flag("double", true) : flag("single", false)});
        w.set(surfaces + int(fi), f.surface, f.fields);
        for (std::size_t li = 0; li < f.loops.size(); ++li, ++loop) {
            const Coedges& l = f.loops[li];
            const int first = c, n = int(l.size());
            w.set(loop, "loop",
                  {ptr(li + 1 < f.loops.size() ? loop + 1 : -1), ptr(first), ptr(face)});
            for (int k = 0; k < n; ++k, ++c) {
                const auto [e, against] = l[std::size_t(k)];
                w.set(c, "coedge",
                      {ptr(first + (k + 1) % n), ptr(first + (k + n - 1) % n), ptr(partner(e, c)),
                       ptr(edges + e), against ? reversed() : forward(), ptr(loop), ptr(-1)});
            }
        }
    }
    std::vector<int> edgeOfVertex(vertices_.size(), -1);
    for (std::size_t e = 0; e < edges_.size(); ++e) {
        const EdgeRecord& r = edges_[e];
        const std::vector<int>& uses = onEdge[int(e)];
        w.set(edges + int(e), "edge",
              {ptr(vertices + r.from), ptr(vertices + r.to), ptr(uses.empty() ? -1 : uses[0]),
               ptr(r.curve.empty() ? -1 : curves + int(e)), r.against ? reversed() : forward()});
        if (!r.curve.empty())
            w.set(curves + int(e), r.curve, r.fields);
        else
            w.set(curves + int(e), "point", {position(0, 0, 0)});
        edgeOfVertex[std::size_t(r.from)] = edges + int(e);
        edgeOfVertex[std::size_t(r.to)] = edges + int(e);
    }
    for (std::size_t v = 0; v < vertices_.size(); ++v) {
        w.set(vertices + int(v), "vertex", {ptr(edgeOfVertex[v]), ptr(points + int(v))});
        w.set(points + int(v), "point", {at(vertices_[v])});
    }
    return w;
}

}  // namespace acistest
