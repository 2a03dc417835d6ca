// From records to the model: each kind's fields, the topology's pointers
// checked, and every body's transform applied to what lies under it.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

#include "Records.h"

namespace acis {
namespace {

using detail::Record;
using detail::RecordFile;
using detail::Value;

// The fields of a record after its common prefix: the attribute pointer and,
// from version 7.0, the history number and (in all but transforms) one more
// pointer.
std::span<const Value> ownFields(const Record& record, int version) {
    std::span<const Value> v = record.values;
    if (!v.empty() && v[0].kind == Value::Kind::Pointer) v = v.subspan(1);
    if (version >= 700 && !v.empty() && v[0].kind == Value::Kind::Number) {
        v = v.subspan(1);
        if (!v.empty() && v[0].kind == Value::Kind::Pointer) v = v.subspan(1);
    }
    return v;
}

// The record's pointers in order, outside sub-records.
std::vector<std::int64_t> pointers(std::span<const Value> fields) {
    std::vector<std::int64_t> out;
    int depth = 0;
    for (const Value& v : fields) {
        if (v.kind == Value::Kind::Open) ++depth;
        if (v.kind == Value::Kind::Close) --depth;
        if (depth == 0 && v.kind == Value::Kind::Pointer) out.push_back(v.pointer);
    }
    return out;
}

std::vector<double> numbers(std::span<const Value> fields) {
    std::vector<double> out;
    for (const Value& v : fields)
        if (v.kind == Value::Kind::Number) out.push_back(v.number);
    return out;
}

bool meansReversed(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Flag:
            return v.second;
        case Value::Kind::Word:
            return v.word == "reversed" || v.word == "double";
        case Value::Kind::Number:
            return v.number == 1;  // early versions write senses as 0 and 1
        default:
            return false;
    }
}

// The first sense-like value (flag, word or 0/1) after the n-th pointer.
std::optional<bool> senseAfterPointer(std::span<const Value> fields, std::size_t n,
                                      std::size_t which = 0) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].kind == Value::Kind::Pointer && seen++ == n) {
            std::size_t found = 0;
            for (std::size_t j = i + 1; j < fields.size(); ++j) {
                const Value& v = fields[j];
                if (v.kind == Value::Kind::Pointer) break;
                if (v.kind == Value::Kind::Flag || v.kind == Value::Kind::Word ||
                    (v.kind == Value::Kind::Number && (v.number == 0 || v.number == 1))) {
                    if (found++ == which) return meansReversed(v);
                }
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

Vec3 vec(const std::vector<double>& n, std::size_t at) {
    if (n.size() < at + 3) throw Error("dados ACIS: coordenadas faltando");
    return {n[at], n[at + 1], n[at + 2]};
}

struct Transform {
    std::array<double, 9> rows{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vec3 translation;
    double scale = 1;

    Vec3 linear(const Vec3& p) const {
        return {scale * (p.x * rows[0] + p.y * rows[3] + p.z * rows[6]),
                scale * (p.x * rows[1] + p.y * rows[4] + p.z * rows[7]),
                scale * (p.x * rows[2] + p.y * rows[5] + p.z * rows[8])};
    }
    Vec3 point(const Vec3& p) const {
        const Vec3 l = linear(p);
        return {l.x + translation.x, l.y + translation.y, l.z + translation.z};
    }
    bool mirrors() const {
        const auto& r = rows;
        const double determinant = r[0] * (r[4] * r[8] - r[5] * r[7]) -
                                   r[1] * (r[3] * r[8] - r[5] * r[6]) +
                                   r[2] * (r[3] * r[7] - r[4] * r[6]);
        return (determinant < 0) != (scale < 0);
    }
};

// Reads a record's values in order; throws acis::Error when the next value is
// not what is asked for.
class Cursor {
  public:
    Cursor(std::span<const Value> fields, std::size_t at) : fields_(fields), at_(at) {}

    std::size_t left() const { return fields_.size() - at_; }
    const Value* peek(std::size_t ahead = 0) const {
        return ahead < left() ? &fields_[at_ + ahead] : nullptr;
    }
    bool nextIs(Value::Kind kind, std::size_t ahead = 0) const {
        const Value* v = peek(ahead);
        return v && v->kind == kind;
    }
    const Value& next() {
        if (at_ >= fields_.size()) throw Error("dados ACIS: B-spline incompleta");
        return fields_[at_++];
    }
    double number() {
        const Value& v = next();
        if (v.kind != Value::Kind::Number) throw Error("dados ACIS: B-spline mal formada");
        return v.number;
    }
    int degree() {
        const double d = number();
        if (d < 1 || d > 25 || d != std::floor(d))
            throw Error("dados ACIS: grau de B-spline inválido");
        return static_cast<int>(d);
    }
    Vec3 point() {
        Vec3 p;
        p.x = number();
        p.y = number();
        p.z = number();
        return p;
    }
    void skip() { ++at_; }

  private:
    std::span<const Value> fields_;
    std::size_t at_;
};

// `count` distinct knots in increasing order, each with its multiplicity, as
// the save format keeps them: the end knots stored degree times. Returns the full knot vector, the
// ends repeated once more, and the number of control points it calls for.
std::pair<std::vector<double>, std::size_t> readKnots(Cursor& c, double count, int degree) {
    // Each knot takes two values: a count beyond what is left is damage.
    if (count < 2 || count != std::floor(count) || count * 2 > double(c.left()))
        throw Error("dados ACIS: nós de B-spline inválidos");
    std::vector<double> knots;
    for (int k = 0; k < static_cast<int>(count); ++k) {
        const double value = c.number();
        const double multiplicity = c.number();
        if (multiplicity < 1 || multiplicity > degree + 1 ||
            multiplicity != std::floor(multiplicity) || (!knots.empty() && !(value > knots.back())))
            throw Error("dados ACIS: nós de B-spline inválidos");
        knots.insert(knots.end(), static_cast<std::size_t>(multiplicity), value);
    }
    // A B-spline needs at least degree + 1 control points: fewer knots would
    // make its evaluation reach before its first point.
    const auto d = static_cast<std::size_t>(degree);
    if (knots.size() < 2 * d || knots.front() == knots.back())
        throw Error("dados ACIS: nós de B-spline insuficientes");
    const std::size_t points = knots.size() - d + 1;
    knots.insert(knots.begin(), knots.front());
    knots.push_back(knots.back());
    return {std::move(knots), points};
}

void readControlPoints(Cursor& c, std::size_t count, bool rational, std::vector<Vec3>& points,
                       std::vector<double>& weights) {
    if (count * (rational ? 4 : 3) > c.left())
        throw Error("dados ACIS: pontos de controle faltando");
    points.reserve(count);
    for (std::size_t p = 0; p < count; ++p) {
        points.push_back(c.point());
        if (rational) {
            const double w = c.number();
            if (!(w > 0)) throw Error("dados ACIS: peso de B-spline inválido");
            weights.push_back(w);
        }
    }
}

std::size_t findWord(std::span<const Value> fields, std::size_t from,
                     std::initializer_list<std::string_view> words) {
    for (std::size_t i = from; i < fields.size(); ++i)
        if (fields[i].kind == Value::Kind::Word &&
            std::find(words.begin(), words.end(), fields[i].word) != words.end())
            return i;
    return fields.size();
}

// The sub-records ("{ ... }") of a file, numbered in the order they open,
// nested ones included: a later one may stand for an earlier by "{ ref n }"
// (a surface shared by a curve and a face, an offset's progenitor).
class Subtypes {
  public:
    explicit Subtypes(const RecordFile& file) {
        std::vector<std::size_t> open;
        for (const Record& record : file.records) {
            const std::span<const Value> v = record.values;
            for (std::size_t i = 0; i < v.size(); ++i) {
                if (v[i].kind == Value::Kind::Open) {
                    const bool reference = isReference(v, i);
                    open.push_back(reference ? SIZE_MAX : spans_.size());
                    if (!reference) spans_.push_back(v.subspan(i));
                } else if (v[i].kind == Value::Kind::Close && !open.empty()) {
                    if (open.back() != SIZE_MAX) {
                        std::span<const Value>& s = spans_[open.back()];
                        s = s.first(static_cast<std::size_t>(&v[i] - s.data()) + 1);
                    }
                    open.pop_back();
                }
            }
            open.clear();  // a sub-record left open ends with its record
        }
    }

    // The sub-record `fields` holds first (from its "{" on), or the one its
    // reference stands for; empty when it has none or refers to none.
    std::span<const Value> first(std::span<const Value> fields) const {
        const auto open = std::find_if(fields.begin(), fields.end(),
                                       [](const Value& v) { return v.kind == Value::Kind::Open; });
        if (open == fields.end()) return {};
        const auto at = static_cast<std::size_t>(open - fields.begin());
        if (!isReference(fields, at)) return fields.subspan(at);
        const Value* number = at + 2 < fields.size() ? &fields[at + 2] : nullptr;
        if (!number || number->kind != Value::Kind::Number || !(number->number >= 0) ||
            number->number >= static_cast<double>(spans_.size()))
            return {};
        return spans_[static_cast<std::size_t>(number->number)];
    }

  private:
    static bool isReference(std::span<const Value> v, std::size_t open) {
        return open + 1 < v.size() && v[open + 1].kind == Value::Kind::Word &&
               v[open + 1].word == "ref";
    }

    std::vector<std::span<const Value>> spans_;
};

// An intcurve's B-spline: degree, closure, the distinct knots with their
// multiplicities, then the control points (with weights for "nurbs").
void readSpline(std::span<const Value> fields, Curve& curve) {
    const std::size_t i = findWord(fields, 0, {"nubs", "nurbs"});
    if (i == fields.size()) return;  // no approximation stored
    const bool rational = fields[i].word == "nurbs";
    Cursor c(fields, i + 1);
    const int degree = c.degree();
    if (c.peek() && !c.nextIs(Value::Kind::Number))
        c.skip();  // open, closed, periodic
    else if (c.nextIs(Value::Kind::Number, 1))
        c.skip();  // closure as a number
    auto [knots, count] = readKnots(c, c.number(), degree);
    readControlPoints(c, count, rational, curve.controlPoints, curve.weights);
    curve.knots = std::move(knots);
    curve.degree = degree;
    curve.kind = Curve::Kind::Spline;
}

bool meansClosed(const Value& v) {
    if (v.kind == Value::Kind::Word) return v.word == "closed" || v.word == "periodic";
    return v.kind == Value::Kind::Number && (v.number == 1 || v.number == 2);
}

// A surface B-spline from the "nubs" or "nurbs" at `at`: two degrees, then
// words (or, in binary files, numbers) for the rational directions of a
// "nurbs", the closures and the singularities, the two knot counts, the knots
// and the control net. False when the values there do not make one.
bool readSplineSurfaceAt(std::span<const Value> fields, std::size_t at, SplineSurface& out) {
    const bool rational = fields[at].word == "nurbs";
    // Only a rational surface says which of its directions are rational;
    // which layout a binary file uses shows only in whether the rest fits.
    for (const int descriptors : {rational ? 5 : 4, rational ? 4 : 5}) {
        try {
            Cursor c(fields, at + 1);
            SplineSurface s;
            s.degreeU = c.degree();
            s.degreeV = c.degree();
            std::vector<const Value*> described;
            for (int d = 0; d < descriptors; ++d) {
                const Value& v = c.next();
                if (v.kind != Value::Kind::Word && v.kind != Value::Kind::Number &&
                    v.kind != Value::Kind::Flag)
                    throw Error("dados ACIS: superfície mal formada");
                described.push_back(&v);
            }
            s.closedU = meansClosed(*described[described.size() - 4]);
            s.closedV = meansClosed(*described[described.size() - 3]);
            const double countU = c.number();
            const double countV = c.number();
            auto [knotsU, pointsU] = readKnots(c, countU, s.degreeU);
            auto [knotsV, pointsV] = readKnots(c, countV, s.degreeV);
            // Each count is bounded by the values left, so their product cannot overflow.
            readControlPoints(c, pointsU * pointsV, rational, s.controlPoints, s.weights);
            s.knotsU = std::move(knotsU);
            s.knotsV = std::move(knotsV);
            s.countU = static_cast<int>(pointsU);
            s.countV = static_cast<int>(pointsV);
            out = std::move(s);
            return true;
        } catch (const Error&) {
        }
    }
    return false;
}

// Where the words `words` stand in `fields` outside any sub-record nested in
// them: the sub-record's own values, not those of a surface it is made from.
std::vector<std::size_t> ownWords(std::span<const Value> fields,
                                  std::initializer_list<std::string_view> words) {
    std::vector<std::size_t> out;
    int depth = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Value& v = fields[i];
        if (v.kind == Value::Kind::Open) ++depth;
        if (v.kind == Value::Kind::Close) --depth;
        if (depth == 1 && v.kind == Value::Kind::Word &&
            std::find(words.begin(), words.end(), v.word) != words.end())
            out.push_back(i);
    }
    return out;
}

// A spline surface's sense and B-spline: an exact surface's own, or the
// approximation a procedural one (swept, lofted, blended, offset...) stores
// after its definition; a surface shared by reference is read where it was
// first written. A surface with neither keeps the reason in splineError.
void readSplineSurface(std::span<const Value> fields, const Subtypes& subtypes, Surface& s) {
    const auto open = std::find_if(fields.begin(), fields.end(),
                                   [](const Value& v) { return v.kind == Value::Kind::Open; });
    const auto sense = std::find_if(fields.begin(), open, [](const Value& v) {
        return v.kind == Value::Kind::Flag || v.kind == Value::Kind::Word;
    });
    s.reversed = sense != open && meansReversed(*sense);
    const std::span<const Value> definition = subtypes.first(fields);
    if (definition.empty()) {
        s.splineError = "superfície definida por referência inexistente";
        return;
    }
    // Its own approximation first: one found deeper may be its progenitor's.
    for (std::size_t at : ownWords(definition, {"nubs", "nurbs"}))
        if (readSplineSurfaceAt(definition, at, s.spline)) return;
    for (std::size_t at = findWord(definition, 0, {"nubs", "nurbs"}); at < definition.size();
         at = findWord(definition, at + 1, {"nubs", "nurbs"}))
        if (readSplineSurfaceAt(definition, at, s.spline)) return;
    s.splineError = "superfície procedural sem aproximação B-spline";
}

class ModelBuilder {
  public:
    explicit ModelBuilder(const RecordFile& file) : file_(file), index_(file.records.size(), -1) {}

    Model build() {
        model_.version = file_.version;
        const auto& records = file_.records;
        // Each kind's own list first, so that pointers can be turned into indices.
        // A record's kind is the last part of its name: a tolerant edge
        // ("tedge-edge") is an edge, its own fields after the edge's.
        for (std::size_t r = 0; r < records.size(); ++r) {
            const std::string_view name = records[r].name;
            const std::string_view kind = name.substr(name.rfind('-') + 1);
            const auto place = [&](auto& list, Kind k) {
                kind_[r] = k;
                index_[r] = static_cast<int>(list.size());
                list.emplace_back();
            };
            if (kind == "body")
                place(model_.bodies, Kind::Body);
            else if (kind == "lump")
                place(model_.lumps, Kind::Lump);
            else if (kind == "shell")
                place(model_.shells, Kind::Shell);
            else if (kind == "face")
                place(model_.faces, Kind::Face);
            else if (kind == "loop")
                place(model_.loops, Kind::Loop);
            else if (kind == "coedge")
                place(model_.coedges, Kind::Coedge);
            else if (kind == "edge")
                place(model_.edges, Kind::Edge);
            else if (kind == "vertex")
                place(model_.vertices, Kind::Vertex);
            else if (kind == "curve" && kind != name)
                place(model_.curves, Kind::Curve);
            else if (kind == "surface" && kind != name)
                place(model_.surfaces, Kind::Surface);
            else if (kind == "point")
                kind_[r] = Kind::Point;
            else if (kind == "transform")
                kind_[r] = Kind::Transform;
        }
        if (model_.bodies.empty()) throw Error("dados ACIS sem corpo");
        for (std::size_t r = 0; r < records.size(); ++r) fill(r);
        applyTransforms();
        return std::move(model_);
    }

  private:
    enum class Kind : std::uint8_t {
        None,
        Body,
        Lump,
        Shell,
        Face,
        Loop,
        Coedge,
        Edge,
        Vertex,
        Point,
        Transform,
        Curve,
        Surface
    };

    std::span<const Value> fields(std::size_t r) const {
        return ownFields(file_.records[r], file_.version);
    }

    // The index in its own list of the record `p` points to, -1 when it is
    // none or of another kind.
    int target(std::int64_t p, Kind kind) const {
        if (p < 0 || static_cast<std::uint64_t>(p) >= index_.size()) return -1;
        const auto r = static_cast<std::size_t>(p);
        return kind_[r] == kind ? index_[r] : -1;
    }
    int record(std::int64_t p, Kind kind) const {
        if (p < 0 || static_cast<std::uint64_t>(p) >= index_.size()) return -1;
        return kind_[static_cast<std::size_t>(p)] == kind ? static_cast<int>(p) : -1;
    }
    static std::int64_t at(const std::vector<std::int64_t>& p, std::size_t i) {
        return i < p.size() ? p[i] : -1;
    }

    // Follows `next` pointers (the first of each record's pointers) from `first`;
    // a chain longer than the records of its kind is a cycle.
    std::vector<int> chain(std::int64_t first, Kind kind, std::size_t nextAt,
                           std::size_t limit) const {
        std::vector<int> out;
        for (int r = record(first, kind); r >= 0 && out.size() < limit;
             r = record(at(pointers(fields(static_cast<std::size_t>(r))), nextAt), kind)) {
            out.push_back(index_[static_cast<std::size_t>(r)]);
            if (out.size() > 1 && out.back() == out.front()) {
                out.pop_back();
                break;
            }
        }
        return out;
    }

    void fill(std::size_t r) {
        const auto f = fields(r);
        const auto p = pointers(f);
        const int i = index_[r];
        switch (kind_[r]) {
            case Kind::Body:
                model_.bodies[i].lumps = chain(at(p, 0), Kind::Lump, 0, model_.lumps.size());
                if (const int t = record(at(p, 2), Kind::Transform); t >= 0)
                    bodyTransforms_.emplace_back(i, t);
                break;
            case Kind::Lump:
                model_.lumps[i].shells = chain(at(p, 1), Kind::Shell, 0, model_.shells.size());
                break;
            case Kind::Shell:
                model_.shells[i].faces = chain(at(p, 2), Kind::Face, 0, model_.faces.size());
                break;
            case Kind::Face: {
                Face& face = model_.faces[i];
                face.loops = chain(at(p, 1), Kind::Loop, 0, model_.loops.size());
                face.surface = target(at(p, 4), Kind::Surface);
                face.reversed = senseAfterPointer(f, 4, 0).value_or(false);
                face.doubleSided = senseAfterPointer(f, 4, 1).value_or(false);
                break;
            }
            case Kind::Loop:
                model_.loops[i].coedges = chain(at(p, 1), Kind::Coedge, 0, model_.coedges.size());
                break;
            case Kind::Coedge: {
                Coedge& c = model_.coedges[i];
                c.partner = target(at(p, 2), Kind::Coedge);
                c.edge = target(at(p, 3), Kind::Edge);
                c.reversed = senseAfterPointer(f, 3).value_or(false);
                break;
            }
            case Kind::Edge: {
                Edge& e = model_.edges[i];
                e.start = target(at(p, 0), Kind::Vertex);
                e.end = target(at(p, 1), Kind::Vertex);
                e.curve = target(at(p, 3), Kind::Curve);
                e.reversed = senseAfterPointer(f, 3).value_or(false);
                break;
            }
            case Kind::Vertex: {
                // The point is the vertex's last pointer (the edge comes first).
                const int point = p.empty() ? -1 : record(p.back(), Kind::Point);
                if (point < 0) throw Error("dados ACIS: vértice sem ponto");
                model_.vertices[i].position =
                    vec(numbers(fields(static_cast<std::size_t>(point))), 0);
                break;
            }
            case Kind::Curve:
                // A curve whose numbers do not make one leaves its edges as
                // chords (and the faces it closes untessellated), not the
                // whole model undecoded.
                try {
                    fillCurve(file_.records[r].name, f, model_.curves[i]);
                } catch (const Error&) {
                    model_.curves[i] = Curve{};
                }
                break;
            case Kind::Surface:
                fillSurface(file_.records[r].name, f, model_.surfaces[i]);
                break;
            default:
                break;
        }
    }

    void fillCurve(std::string_view name, std::span<const Value> f, Curve& c) const {
        if (name == "straight-curve") {
            const auto n = numbers(f);
            c.kind = Curve::Kind::Straight;
            c.origin = vec(n, 0);
            c.direction = vec(n, 3);
        } else if (name == "ellipse-curve") {
            const auto n = numbers(f);
            c.kind = Curve::Kind::Ellipse;
            c.origin = vec(n, 0);
            c.normal = vec(n, 3);
            c.majorAxis = vec(n, 6);
            if (n.size() < 10) throw Error("dados ACIS: elipse incompleta");
            c.ratio = n[9];
        } else if (name == "intcurve-curve") {
            readSpline(subtypes_.first(f), c);
            // Its sense is the first word or flag of the record.
            const auto sense = std::find_if(f.begin(), f.end(), [](const Value& v) {
                return v.kind == Value::Kind::Flag || v.kind == Value::Kind::Word;
            });
            c.reversed = sense != f.end() && meansReversed(*sense);
        }
    }

    void fillSurface(std::string_view name, std::span<const Value> f, Surface& s) const {
        static constexpr std::pair<std::string_view, Surface::Kind> kinds[] = {
            {"plane-surface", Surface::Kind::Plane},
            {"cone-surface", Surface::Kind::Cone},
            {"sphere-surface", Surface::Kind::Sphere},
            {"torus-surface", Surface::Kind::Torus},
            {"spline-surface", Surface::Kind::Spline}};
        for (const auto& [n, k] : kinds)
            if (name == n) s.kind = k;
        if (s.kind == Surface::Kind::Spline) return readSplineSurface(f, subtypes_, s);
        if (s.kind == Surface::Kind::Other) return;
        // A surface whose numbers are missing leaves its faces untessellated,
        // not the whole model undecoded: the edges can still be drawn.
        try {
            readAnalyticSurface(f, s);
        } catch (const Error&) {
            s.kind = Surface::Kind::Other;
        }
    }

    // The numbers of planes, cones, spheres and tori, in their stored order;
    // what follows them (parameter ranges and directions) is not needed.
    static void readAnalyticSurface(std::span<const Value> f, Surface& s) {
        const std::size_t first = static_cast<std::size_t>(
            std::find_if(f.begin(), f.end(),
                         [](const Value& v) { return v.kind == Value::Kind::Number; }) -
            f.begin());
        Cursor c(f, first);
        s.origin = c.point();
        switch (s.kind) {
            case Surface::Kind::Plane:
                s.normal = c.point();
                break;
            case Surface::Kind::Cone:
                // The base ellipse as an ellipse curve stores it, with its
                // parameter range: two bounds, "I" for none or "F" and a value.
                s.normal = c.point();
                s.majorAxis = c.point();
                s.ratio = c.number();
                for (int bound = 0; bound < 2; ++bound) {
                    const Value* v = c.peek();
                    if (!v || v->kind == Value::Kind::Number) break;
                    c.skip();
                    if ((v->kind == Value::Kind::Flag && v->second) ||
                        (v->kind == Value::Kind::Word && v->word == "F"))
                        c.number();
                }
                s.sineAngle = c.number();
                s.cosineAngle = c.number();
                break;
            case Surface::Kind::Sphere:
                s.radius = c.number();
                s.normal = {0, 0, 1};
                if (c.left() >= 6 && c.nextIs(Value::Kind::Number, 5)) {
                    s.majorAxis = c.point();
                    s.normal = c.point();
                }
                break;
            case Surface::Kind::Torus:
                s.normal = c.point();
                s.radius = c.number();
                s.minorRadius = c.number();
                if (c.left() >= 3 && c.nextIs(Value::Kind::Number, 2)) s.majorAxis = c.point();
                break;
            default:
                break;
        }
    }

    Transform transform(int record) const {
        const auto n = numbers(fields(static_cast<std::size_t>(record)));
        if (n.size() < 13) throw Error("dados ACIS: transformação incompleta");
        Transform t;
        std::copy_n(n.begin(), 9, t.rows.begin());
        t.translation = {n[9], n[10], n[11]};
        t.scale = n[12];
        return t;
    }

    // Each body's transform moves the vertices, curves and surfaces under it, once.
    void applyTransforms() {
        std::vector<bool> movedVertex(model_.vertices.size()), movedCurve(model_.curves.size()),
            movedSurface(model_.surfaces.size());
        const auto once = [](std::vector<bool>& moved, int i) {
            if (i < 0 || moved[static_cast<std::size_t>(i)]) return false;
            moved[static_cast<std::size_t>(i)] = true;
            return true;
        };
        for (const auto& [body, record] : bodyTransforms_) {
            const Transform t = transform(record);
            for (int lump : model_.bodies[static_cast<std::size_t>(body)].lumps)
                for (int shell : model_.lumps[static_cast<std::size_t>(lump)].shells)
                    for (int f : model_.shells[static_cast<std::size_t>(shell)].faces) {
                        const Face& face = model_.faces[static_cast<std::size_t>(f)];
                        if (once(movedSurface, face.surface))
                            move(model_.surfaces[static_cast<std::size_t>(face.surface)], t);
                        for (int loop : face.loops)
                            for (int coedge : model_.loops[static_cast<std::size_t>(loop)].coedges)
                                moveEdge(model_.coedges[static_cast<std::size_t>(coedge)].edge, t,
                                         movedVertex, movedCurve, once);
                    }
        }
    }

    template <typename Once>
    void moveEdge(int e, const Transform& t, std::vector<bool>& movedVertex,
                  std::vector<bool>& movedCurve, const Once& once) {
        if (e < 0) return;
        const Edge& edge = model_.edges[static_cast<std::size_t>(e)];
        for (int v : {edge.start, edge.end}) {
            if (!once(movedVertex, v)) continue;
            Vec3& p = model_.vertices[static_cast<std::size_t>(v)].position;
            p = t.point(p);
        }
        if (once(movedCurve, edge.curve))
            move(model_.curves[static_cast<std::size_t>(edge.curve)], t);
    }

    static void move(Curve& c, const Transform& t) {
        c.origin = t.point(c.origin);
        c.direction = t.linear(c.direction);
        c.normal = t.linear(c.normal);
        c.majorAxis = t.linear(c.majorAxis);
        for (Vec3& p : c.controlPoints) p = t.point(p);
    }

    static void move(Surface& s, const Transform& t) {
        s.origin = t.point(s.origin);
        s.normal = t.linear(s.normal);
        s.majorAxis = t.linear(s.majorAxis);
        s.radius *= t.scale;
        s.minorRadius *= t.scale;
        for (Vec3& p : s.spline.controlPoints) p = t.point(p);
        // A mirror turns a spline's own normal (u cross v) inside out; the
        // analytic surfaces' normals are defined by their shape and follow it.
        if (t.mirrors()) s.reversed = !s.reversed;
    }

    const RecordFile& file_;
    const Subtypes subtypes_{file_};
    Model model_;
    std::vector<int> index_;
    std::vector<Kind> kind_ = std::vector<Kind>(file_.records.size(), Kind::None);
    std::vector<std::pair<int, int>> bodyTransforms_;
};

}  // namespace

Model decode(std::span<const std::uint8_t> bytes) {
    const RecordFile file =
        detail::isBinary(bytes) ? detail::readBinary(bytes) : detail::readText(bytes);
    return ModelBuilder(file).build();
}

}  // namespace acis
