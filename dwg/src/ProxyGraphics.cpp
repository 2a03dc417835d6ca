// The proxy graphics command stream: RL total size, RL command count, then
// commands of RL size (counting its own eight bytes), RL type and the type's
// little-endian, 4-byte aligned fields. Geometry commands draw with the
// attributes that the attribute commands set before them; model transforms
// are pushed and popped around groups of commands.
#include "ProxyGraphics.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "EntityParsers.h"
#include "Text.h"

namespace dwg::detail {
namespace {

enum Command : std::uint32_t {
    kCircle = 2,
    kCircleThreePoints = 3,
    kArc = 4,
    kArcThreePoints = 5,
    kPolyline = 6,
    kPolygon = 7,
    kMesh = 8,
    kShell = 9,
    kText = 10,
    kText2 = 11,
    kXline = 12,
    kRay = 13,
    kColor = 14,
    kFill = 20,
    kTrueColor = 22,
    kLineweight = 23,
    kPushTransform = 29,
    kPushTransform2 = 30,
    kPopTransform = 31,
    kPolylineWithNormal = 32,
    kLwPolyline = 33,
    kUnicodeText = 36,
    kUnicodeText2 = 38,
};

// Transforms nested deeper than this are ignored: real graphics nest a few levels.
constexpr std::size_t kMaxTransformDepth = 64;
// Bytes of graphics each decoded primitive must be paid with.
constexpr std::size_t kBytesPerPrimitive = 8;

class Cursor {
  public:
    explicit Cursor(Bytes bytes) : bytes_(bytes) {}

    std::size_t remaining() const { return bytes_.size() - at_; }
    std::uint32_t u32() {
        need(4);
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= std::uint32_t{bytes_[at_ + i]} << (8 * i);
        at_ += 4;
        return value;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double f64() {
        need(8);
        std::uint64_t raw = 0;
        for (int i = 0; i < 8; ++i) raw |= std::uint64_t{bytes_[at_ + i]} << (8 * i);
        at_ += 8;
        double value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
    }
    Point3 point() {
        Point3 p;
        p.x = f64();
        p.y = f64();
        p.z = f64();
        return p;
    }
    // A count of items of `bytesEach` bytes that must all be present.
    std::size_t count(std::size_t bytesEach) {
        const std::uint32_t n = u32();
        if (n > remaining() / bytesEach) throw Error::damaged("gráficos de proxy truncados");
        return n;
    }
    std::vector<Point3> points(std::size_t n) {
        std::vector<Point3> result;
        result.reserve(n);
        for (std::size_t i = 0; i < n; ++i) result.push_back(point());
        return result;
    }
    Bytes take(std::size_t n) {
        need(n);
        const Bytes part = bytes_.subspan(at_, n);
        at_ += n;
        return part;
    }
    // PS: bytes up to a NUL, padded to a multiple of four.
    std::string paddedText(const FileContext& file) {
        std::size_t end = at_;
        while (end < bytes_.size() && bytes_[end] != 0) ++end;
        need(end - at_ + 1);
        std::string raw(reinterpret_cast<const char*>(bytes_.data() + at_), end - at_);
        skipPadded(end - at_ + 1);
        return file.text ? file.text->decode(raw) : raw;
    }
    // PUS: UTF-16LE units up to a zero unit, padded to a multiple of four.
    std::string paddedUnicodeText() {
        std::u16string units;
        std::size_t at = at_;
        for (;; at += 2) {
            if (bytes_.size() - at < 2) throw Error::damaged("gráficos de proxy truncados");
            const auto unit = static_cast<char16_t>(bytes_[at] | bytes_[at + 1] << 8);
            if (unit == 0) break;
            units.push_back(unit);
        }
        skipPadded(at + 2 - at_);
        return expandUnicodeEscapes(utf16ToUtf8(units));
    }

  private:
    void need(std::size_t n) const {
        if (n > remaining()) throw Error::damaged("gráficos de proxy truncados");
    }
    void skipPadded(std::size_t n) { at_ += std::min((n + 3) & ~std::size_t{3}, remaining()); }

    Bytes bytes_;
    std::size_t at_ = 0;
};

Point3 operator-(const Point3& a, const Point3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Point3 operator+(const Point3& a, const Point3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Point3 operator*(const Point3& a, double k) {
    return {a.x * k, a.y * k, a.z * k};
}
double dot(const Point3& a, const Point3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Point3 cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const Point3& a) {
    return std::sqrt(dot(a, a));
}

using Matrix = std::array<double, 16>;

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix c{};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            for (int k = 0; k < 4; ++k) c[row * 4 + column] += a[row * 4 + k] * b[k * 4 + column];
    return c;
}

// Object coordinates of a planar entity to WCS (the arbitrary axis algorithm).
Point3 ocsToWcs(const Point3& p, const Point3& normal) {
    if (normal.x == 0 && normal.y == 0 && normal.z == 1) return p;
    const Point3 n = normal * (1 / length(normal));
    const double limit = 1.0 / 64;
    const Point3 axisX = (std::fabs(n.x) < limit && std::fabs(n.y) < limit)
                             ? cross(Point3{0, 1, 0}, n)
                             : cross(Point3{0, 0, 1}, n);
    const Point3 x = axisX * (1 / length(axisX));
    const Point3 y = cross(n, x);
    return x * p.x + y * p.y + n * p.z;
}

class Decoder {
  public:
    explicit Decoder(const FileContext& file) : file_(file) {}

    ProxyGraphics run(Bytes graphics);

  private:
    void command(std::uint32_t type, Cursor& c);
    ProxyPrimitive& add(ProxyPrimitive::Kind kind) {
        if (result_.primitives.size() >= budget_)
            throw Error::damaged("gráficos de proxy com primitivas demais");
        ProxyPrimitive p;
        p.kind = kind;
        p.color = color_;
        p.lineweight = lineweight_;
        p.filled = filled_;
        p.transform = stack_.back();
        result_.primitives.push_back(std::move(p));
        return result_.primitives.back();
    }
    void polyline(std::vector<Point3> points, bool closed) {
        if (points.size() < 2) return;
        ProxyPrimitive& p = add(ProxyPrimitive::Kind::Polyline);
        p.points = std::move(points);
        p.closed = closed;
    }
    void circleThrough(const Point3& a, const Point3& b, const Point3& c, bool whole);
    void shell(Cursor& c);
    void mesh(Cursor& c);
    void text(Cursor& c, bool unicode, bool second);
    void lwPolyline(Cursor& c);
    void bulgeArc(const Point3& from, const Point3& to, double bulge, const Point3& normal);

    const FileContext& file_;
    ProxyGraphics result_;
    std::vector<std::size_t> stack_{0};
    std::size_t ignoredPushes_ = 0;
    std::size_t budget_ = 0;
    Color color_;
    int lineweight_ = -1;
    bool filled_ = false;
};

ProxyGraphics Decoder::run(Bytes graphics) {
    // Real commands take far more than this per primitive; the cap keeps the
    // decoded form within a small multiple of the input whatever the counts.
    budget_ = graphics.size() / kBytesPerPrimitive + 1;
    try {
        Cursor all(graphics);
        all.u32();  // total size
        const std::uint32_t commands = all.u32();
        for (std::uint32_t i = 0;
             i < commands && all.remaining() >= 8 && result_.primitives.size() < budget_; ++i) {
            const std::uint32_t size = all.u32();
            const std::uint32_t type = all.u32();
            if (size < 8 || size - 8 > all.remaining()) break;
            Cursor fields(all.take(size - 8));
            try {
                command(type, fields);
            } catch (const Error&) {
                // A command whose fields do not fit its size draws nothing; the
                // sizes still frame the ones after it.
            }
        }
    } catch (const Error&) {
        // Cut short: keep what was drawn before.
    }
    return std::move(result_);
}

void Decoder::command(std::uint32_t type, Cursor& c) {
    using Kind = ProxyPrimitive::Kind;
    switch (type) {
        case kCircle: {
            const Point3 center = c.point();
            const double radius = c.f64();
            const Point3 normal = c.point();
            ProxyPrimitive& p = add(Kind::Circle);
            p.center = center;
            p.radius = radius;
            p.normal = normal;
            break;
        }
        case kCircleThreePoints:
        case kArcThreePoints: {
            const Point3 a = c.point();
            const Point3 b = c.point();
            circleThrough(a, b, c.point(), type == kCircleThreePoints);
            break;
        }
        case kArc: {
            const Point3 center = c.point();
            const double radius = c.f64();
            const Point3 normal = c.point();
            const Point3 start = c.point();
            const double sweep = c.f64();
            ProxyPrimitive& p = add(Kind::Arc);
            p.center = center;
            p.radius = radius;
            p.normal = normal;
            p.startVector = length(start) > 0 ? start * (1 / length(start)) : Point3{1, 0, 0};
            p.sweepAngle = sweep;
            break;
        }
        case kPolyline:
        case kPolylineWithNormal:
            polyline(c.points(c.count(24)), false);
            break;
        case kPolygon: {
            std::vector<Point3> points = c.points(c.count(24));
            if (points.size() < 2) break;
            add(Kind::Polygon).points = std::move(points);
            break;
        }
        case kMesh:
            mesh(c);
            break;
        case kShell:
            shell(c);
            break;
        case kText:
        case kText2:
            text(c, false, type == kText2);
            break;
        case kUnicodeText:
        case kUnicodeText2:
            text(c, true, type == kUnicodeText2);
            break;
        case kXline:
        case kRay: {
            const Point3 a = c.point();
            const Point3 b = c.point();
            add(type == kRay ? Kind::Ray : Kind::Xline).points = {a, b};
            break;
        }
        case kColor:
            color_ = Color::fromIndex(c.i32());
            break;
        case kTrueColor: {
            const std::uint32_t value = c.u32();
            switch (value >> 24) {
                case 0xC1:
                    color_ = Color::fromIndex(0);
                    break;
                case 0xC2:
                    color_ = Color::fromTrueColor(value);
                    break;
                case 0xC3:
                    color_ = Color::fromIndex(static_cast<int>(value & 0xFF));
                    break;
                default:
                    color_ = Color{};
                    break;
            }
            break;
        }
        case kFill:
            filled_ = c.u32() == 1;  // 1 always, 2 never
            break;
        case kLineweight:
            lineweight_ = c.i32();
            break;
        case kPushTransform:
        case kPushTransform2: {
            if (stack_.size() >= kMaxTransformDepth) {
                ++ignoredPushes_;  // and so is the pop that ends it
                break;
            }
            Matrix m;
            for (double& value : m) value = c.f64();
            result_.transforms.push_back(multiply(result_.transforms[stack_.back()], m));
            stack_.push_back(result_.transforms.size() - 1);
            break;
        }
        case kPopTransform:
            if (ignoredPushes_ > 0)
                --ignoredPushes_;
            else if (stack_.size() > 1)
                stack_.pop_back();
            break;
        case kLwPolyline:
            lwPolyline(c);
            break;
        default:
            break;  // attributes that do not change the drawing here (layer, marker...)
    }
}

// The circle (or the arc from a through b to c) through three points.
void Decoder::circleThrough(const Point3& a, const Point3& b, const Point3& c, bool whole) {
    const Point3 u = a - c;
    const Point3 v = b - c;
    const Point3 n = cross(u, v);
    const double nn = dot(n, n);
    if (nn < 1e-24 * dot(u, u) * dot(v, v) || nn == 0) {
        polyline({a, c}, false);
        return;
    }
    const Point3 center = c + cross(v * dot(u, u) - u * dot(v, v), n) * (1 / (2 * nn));
    ProxyPrimitive& p = add(whole ? ProxyPrimitive::Kind::Circle : ProxyPrimitive::Kind::Arc);
    p.center = center;
    p.radius = length(a - center);
    p.normal = n * (1 / std::sqrt(nn));
    if (whole) return;
    p.startVector = (a - center) * (1 / p.radius);
    // Angles about the normal from the start; the arc passes b on its way to c.
    auto angleTo = [&](const Point3& q) {
        const Point3 w = (q - center) * (1 / p.radius);
        double angle = std::atan2(dot(p.normal, cross(p.startVector, w)), dot(p.startVector, w));
        return angle < 0 ? angle + 2 * std::numbers::pi : angle;
    };
    const double toEnd = angleTo(c);
    p.sweepAngle = angleTo(b) <= toEnd ? toEnd : toEnd - 2 * std::numbers::pi;
}

// Vertices, then a face list (a vertex count, negative for a hole, then the
// indices), then optional per-edge data of which only the visibility matters.
void Decoder::shell(Cursor& c) {
    const std::vector<Point3> vertices = c.points(c.count(24));
    const std::size_t entries = c.count(4);
    std::vector<std::vector<std::size_t>> faces;
    std::size_t edgeCount = 0;
    for (std::size_t used = 0; used < entries;) {
        const std::int32_t stored = c.i32();
        const std::size_t corners = static_cast<std::size_t>(std::abs(static_cast<long>(stored)));
        if (corners == 0 || corners >= entries - used)
            throw Error::damaged("face de proxy inválida");
        std::vector<std::size_t> face;
        for (std::size_t i = 0; i < corners; ++i) {
            const std::uint32_t index = c.u32();
            if (index >= vertices.size()) throw Error::damaged("face de proxy inválida");
            face.push_back(index);
        }
        edgeCount += corners;
        faces.push_back(std::move(face));
        used += corners + 1;
    }
    // Per-edge arrays in this order, present by flag: colours, layers,
    // linetypes, markers, visibilities.
    std::vector<bool> visible(edgeCount, true);
    try {
        const std::uint32_t flags = c.u32();
        if (edgeCount > c.remaining() / 4) throw Error::damaged("gráficos de proxy truncados");
        for (std::uint32_t bit : {0x1u, 0x2u, 0x4u, 0x20u})
            if (flags & bit) c.take(4 * edgeCount);
        if (flags & 0x40)
            for (std::size_t i = 0; i < edgeCount; ++i) visible[i] = c.u32() != 0;
    } catch (const Error&) {
        // No edge data: every edge shows.
    }
    // Each face as one closed outline, or as the runs of its visible edges.
    std::size_t first = 0;
    for (const auto& face : faces) {
        const std::size_t n = face.size();
        const auto shown = [&](std::size_t side) { return visible[first + side % n]; };
        std::size_t hidden = 0;
        while (hidden < n && shown(hidden)) ++hidden;
        if (hidden == n) {
            std::vector<Point3> outline;
            for (std::size_t corner : face) outline.push_back(vertices[corner]);
            polyline(std::move(outline), true);
        } else {
            // Runs start after a hidden side; walk once round from the first hidden one.
            std::vector<Point3> run;
            for (std::size_t k = hidden + 1; k <= hidden + n; ++k) {
                if (!shown(k)) {
                    polyline(std::move(run), false);
                    run.clear();
                    continue;
                }
                if (run.empty()) run.push_back(vertices[face[k % n]]);
                run.push_back(vertices[face[(k + 1) % n]]);
            }
        }
        first += n;
    }
}

// A rows × columns grid of vertices, drawn as its row and column lines.
void Decoder::mesh(Cursor& c) {
    const std::uint32_t rows = c.u32();
    const std::uint32_t columns = c.u32();
    if (rows == 0 || columns == 0 || columns > c.remaining() / 24 / rows)
        throw Error::damaged("malha de proxy inválida");
    const std::vector<Point3> grid = c.points(std::size_t{rows} * columns);
    for (std::uint32_t r = 0; r < rows; ++r)
        polyline(std::vector<Point3>(grid.begin() + r * columns, grid.begin() + (r + 1) * columns),
                 false);
    for (std::uint32_t col = 0; col < columns; ++col) {
        std::vector<Point3> line;
        for (std::uint32_t r = 0; r < rows; ++r) line.push_back(grid[r * columns + col]);
        polyline(std::move(line), false);
    }
}

// TEXT: position, normal, direction, height, width factor, oblique, string.
// TEXT2 puts the string (with its length and a raw flag) before the sizes and
// adds style fields after them, not needed here.
void Decoder::text(Cursor& c, bool unicode, bool second) {
    auto string = [&] { return unicode ? c.paddedUnicodeText() : c.paddedText(file_); };
    const Point3 position = c.point();
    const Point3 normal = c.point();
    const Point3 direction = c.point();
    std::string value;
    if (second) {
        value = string();
        c.u32();  // length
        c.u32();  // raw
    }
    const double height = c.f64();
    const double widthFactor = c.f64();
    const double oblique = c.f64();
    if (!second) value = string();
    ProxyPrimitive& p = add(ProxyPrimitive::Kind::Text);
    p.points = {position};
    p.normal = normal;
    p.direction = direction;
    p.height = height;
    p.widthFactor = widthFactor;
    p.obliqueAngle = oblique;
    p.text = std::move(value);
}

// The arc a polyline bulge draws from `from` to `to` (bulge = tan(sweep / 4)).
void Decoder::bulgeArc(const Point3& from, const Point3& to, double bulge, const Point3& normal) {
    const double chord = length(to - from);
    if (chord == 0) return;
    const double sweep = 4 * std::atan(bulge);
    const double radius = chord / (2 * std::sin(std::fabs(sweep) / 2));
    // The centre lies off the chord's middle, to the left for a counter-clockwise arc.
    const Point3 middle = (from + to) * 0.5;
    const Point3 left = cross(normal, to - from) * (1 / chord);
    const Point3 center = middle + left * (chord / 2 / std::tan(sweep / 2));
    ProxyPrimitive& p = add(ProxyPrimitive::Kind::Arc);
    p.center = center;
    p.radius = radius;
    p.normal = normal;
    p.startVector = (from - center) * (1 / radius);
    p.sweepAngle = sweep;
}

// An LWPOLYLINE's own entity data, in the file's bit coding.
void Decoder::lwPolyline(Cursor& c) {
    const Bytes data = c.take(c.count(1));
    Streams streams{BitReader(data)};
    streams.setHandles(BitReader(data.first(0)));
    EntityRecord record;
    record.entity.typeName = "LWPOLYLINE";
    EntityParseContext context{streams, file_, record};
    parseEntityBody(77, nullptr, context);
    const auto* lw = std::get_if<LwPolyline>(&record.entity.data);
    if (!lw || lw->points.size() < 2) return;
    const Point3 normal = lw->extrusion;
    const std::size_t n = lw->points.size();
    const std::size_t segments = lw->closed ? n : n - 1;
    std::vector<Point3> run;
    for (std::size_t i = 0; i < segments; ++i) {
        const Point3 from = ocsToWcs({lw->points[i].x, lw->points[i].y, lw->elevation}, normal);
        const Point2& next = lw->points[(i + 1) % n];
        const Point3 to = ocsToWcs({next.x, next.y, lw->elevation}, normal);
        const double bulge = i < lw->bulges.size() ? lw->bulges[i] : 0;
        if (bulge == 0) {
            if (run.empty()) run.push_back(from);
            run.push_back(to);
            continue;
        }
        polyline(std::move(run), false);
        run.clear();
        bulgeArc(from, to, bulge, normal * (1 / length(normal)));
    }
    polyline(std::move(run), false);
}

}  // namespace

ProxyGraphics decodeProxyGraphics(Bytes graphics, const FileContext& file) {
    return Decoder(file).run(graphics);
}

void drawFromProxyGraphics(Entity& entity, const FileContext& file) {
    if (!std::holds_alternative<Unsupported>(entity.data) || entity.header.proxyGraphics.empty() ||
        showsNothing(entity.typeName))
        return;
    ProxyGraphics graphics = decodeProxyGraphics(entity.header.proxyGraphics, file);
    if (!graphics.primitives.empty()) entity.data = std::move(graphics);
}

}  // namespace dwg::detail

namespace dwg {

ProxyGraphics decodeProxyGraphics(const std::vector<std::uint8_t>& graphics,
                                  const Drawing& drawing) {
    const detail::TextDecoder text(drawing.codePage);
    detail::FileContext file;
    file.version = drawing.version;
    file.codePage = drawing.codePage;
    file.text = &text;
    return detail::decodeProxyGraphics(graphics, file);
}

}  // namespace dwg
