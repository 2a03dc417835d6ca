// Proxy graphics command streams built byte by byte: what each command draws,
// with which attributes and transform, and that damaged streams stay bounded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "BitWriter.h"
#include "ProxyGraphics.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = dwg::ProxyPrimitive::Kind;

struct Fields {
    Bytes bytes;
    Fields& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Fields& f64(double v) {
        std::uint64_t raw;
        std::memcpy(&raw, &v, 8);
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(raw >> (8 * i)));
        return *this;
    }
    Fields& point(double x, double y, double z = 0) { return f64(x).f64(y).f64(z); }
    // PUS: UTF-16LE, a zero unit, padded to four bytes.
    Fields& unicode(const std::u16string& text) {
        for (char16_t c : text + u'\0') {
            bytes.push_back(static_cast<std::uint8_t>(c));
            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        while (bytes.size() % 4) bytes.push_back(0);
        return *this;
    }
};

struct Command {
    std::uint32_t type;
    Fields fields;
};

Bytes stream(const std::vector<Command>& commands) {
    Fields all;
    all.u32(0).u32(static_cast<std::uint32_t>(commands.size()));
    for (const Command& c : commands) {
        all.u32(static_cast<std::uint32_t>(c.fields.bytes.size() + 8)).u32(c.type);
        all.bytes.insert(all.bytes.end(), c.fields.bytes.begin(), c.fields.bytes.end());
    }
    return all.bytes;
}

dwg::ProxyGraphics decode(const Bytes& bytes) {
    const dwg::detail::FileContext file{dwg::Version::R2000, 30, nullptr};
    return dwg::detail::decodeProxyGraphics(bytes, file);
}

dwg::Point3 pointOnArc(const dwg::ProxyPrimitive& arc, double angle) {
    const dwg::Point3 &n = arc.normal, &s = arc.startVector;
    const dwg::Point3 t{n.y * s.z - n.z * s.y, n.z * s.x - n.x * s.z, n.x * s.y - n.y * s.x};
    const double c = std::cos(angle) * arc.radius, d = std::sin(angle) * arc.radius;
    return {arc.center.x + s.x * c + t.x * d, arc.center.y + s.y * c + t.y * d,
            arc.center.z + s.z * c + t.z * d};
}

void expectNear(const dwg::Point3& a, const dwg::Point3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-9);
    EXPECT_NEAR(a.y, b.y, 1e-9);
    EXPECT_NEAR(a.z, b.z, 1e-9);
}

// An LWPOLYLINE body as R2000 codes it: a quarter circle about the origin
// from (1,0) to (0,1).
Fields lwPolylineQuarterCircle() {
    testsupport::BitWriter w;
    w.bitShort(16).bitLong(2).bitLong(2);  // flag: bulges; 2 points, 2 bulges
    w.rawDouble(1).rawDouble(0);
    w.bits(3, 2).rawDouble(0).bits(3, 2).rawDouble(1);  // DD, full value
    w.bitDouble(std::tan(std::numbers::pi / 8)).bitDouble(0);
    Fields f;
    f.u32(static_cast<std::uint32_t>(w.bytes().size()));
    f.bytes.insert(f.bytes.end(), w.bytes().begin(), w.bytes().end());
    f.bytes.resize(f.bytes.size() + 3);
    return f;
}

TEST(ProxyGraphics, CommandsDrawWithTheAttributesInEffect) {
    std::array<double, 16> shift{1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Fields push;
    for (double v : shift) push.f64(v);
    const Bytes bytes = stream({
        {14, Fields().u32(5)},                                      // colour 5
        {2, Fields().point(1, 2).f64(3).point(0, 0, 1)},            // circle
        {20, Fields().u32(1)},                                      // fill on
        {22, Fields().u32(0xC2112233)},                             // true colour
        {7, Fields().u32(3).point(0, 0).point(1, 0).point(0, 1)},   // polygon
        {20, Fields().u32(2)},                                      // fill never
        {29, push},                                                 // push a shift
        {5, Fields().point(1, 0).point(0, 1).point(-1, 0).u32(0)},  // arc through 3 points
        {31, Fields()},                                             // pop
        {9999, Fields().u32(7)},                                    // unknown: skipped
        {38, Fields()
                 .point(4, 5)
                 .point(0, 0, 1)
                 .point(1, 0)
                 .unicode(u"Ab")
                 .u32(2)
                 .u32(0)
                 .f64(2.5)
                 .f64(0.8)
                 .f64(0)
                 .f64(1)},  // unicode text
        {33, lwPolylineQuarterCircle()},
    });
    const dwg::ProxyGraphics g = decode(bytes);
    ASSERT_EQ(g.primitives.size(), 5u);
    const auto& circle = g.primitives[0];
    EXPECT_EQ(circle.kind, Kind::Circle);
    EXPECT_EQ(circle.radius, 3);
    EXPECT_EQ(circle.color.index, 5);
    const auto& polygon = g.primitives[1];
    EXPECT_EQ(polygon.kind, Kind::Polygon);
    EXPECT_TRUE(polygon.filled);
    EXPECT_EQ(polygon.color.rgb, 0x112233u);
    const auto& arc = g.primitives[2];
    ASSERT_EQ(arc.kind, Kind::Arc);
    EXPECT_FALSE(arc.filled);
    expectNear(arc.center, {0, 0, 0});
    expectNear(pointOnArc(arc, arc.sweepAngle / 2), {0, 1, 0});  // passes the middle point
    expectNear(pointOnArc(arc, arc.sweepAngle), {-1, 0, 0});
    ASSERT_EQ(arc.transform, 1u);
    EXPECT_EQ(g.transforms[1], shift);
    const auto& text = g.primitives[3];
    EXPECT_EQ(text.kind, Kind::Text);
    EXPECT_EQ(text.text, "Ab");
    EXPECT_EQ(text.height, 2.5);
    EXPECT_EQ(text.widthFactor, 0.8);
    EXPECT_EQ(text.transform, 0u);
    const auto& quarter = g.primitives[4];
    ASSERT_EQ(quarter.kind, Kind::Arc);
    expectNear(quarter.center, {0, 0, 0});
    expectNear(pointOnArc(quarter, quarter.sweepAngle / 2), {std::sqrt(0.5), std::sqrt(0.5), 0});
    expectNear(pointOnArc(quarter, quarter.sweepAngle), {0, 1, 0});
}

// A shell face's edges follow the face's corners; edges marked invisible are
// left out, the visible ones joined where they meet.
TEST(ProxyGraphics, ShellsDrawTheirVisibleEdges) {
    Fields square;
    square.u32(4).point(0, 0).point(1, 0).point(1, 1).point(0, 1);
    square.u32(5).u32(4).u32(0).u32(1).u32(2).u32(3);
    square.u32(0x40).u32(1).u32(0).u32(1).u32(1);  // second edge hidden
    square.u32(0).u32(0);
    const dwg::ProxyGraphics g = decode(stream({{9, square}}));
    ASSERT_EQ(g.primitives.size(), 1u);
    const std::vector<dwg::Point3>& run = g.primitives[0].points;
    ASSERT_EQ(run.size(), 4u);
    expectNear(run.front(), {1, 1, 0});
    expectNear(run.back(), {1, 0, 0});
    EXPECT_FALSE(g.primitives[0].closed);
}

TEST(ProxyGraphics, DamagedStreamsStayBounded) {
    Fields polyline;
    polyline.u32(3).point(0, 0).point(1, 0).point(1, 1);
    const Bytes valid = stream({{6, polyline}, {14, Fields().u32(3)}, {6, polyline}});
    ASSERT_EQ(decode(valid).primitives.size(), 2u);
    for (std::size_t size = 0; size < valid.size(); ++size) {
        const Bytes cut(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_LE(decode(cut).primitives.size(), 2u) << size;
    }

    Fields deep;
    for (int i = 0; i < 16; ++i) deep.f64(i % 5 == 0);
    std::vector<Command> nested(10000, Command{29, deep});
    nested.push_back({6, polyline});
    EXPECT_LE(decode(stream(nested)).transforms.size(), 65u);

    const std::vector<Fields> hostile = {
        Fields().u32(0xFFFFFFFF).point(0, 0),                // polyline count
        Fields().u32(0x10000).u32(0x10000).point(0, 0),      // mesh rows × columns
        Fields().u32(1).point(0, 0).u32(0x7FFFFFFF).u32(3),  // shell face list
        Fields().u32(1).point(0, 0).u32(2).u32(1).u32(7),    // shell index out of range
        Fields().u32(0x7FFFFFF0),                            // lwpolyline byte count
    };
    for (std::uint32_t type : {6u, 8u, 9u, 33u})
        for (const Fields& fields : hostile)
            EXPECT_TRUE(decode(stream({{type, fields}})).primitives.empty()) << type;
}

}  // namespace

namespace {

// An entity the reader does not decode is drawn from its proxy graphics,
// unless it is of a kind that shows nothing in a view: a light's or a
// camera's glyph is no part of the picture, nor of the extents.
TEST(ProxyGraphics, LightsAndCamerasAreNeverDrawnFromThem) {
    const Bytes circle = stream({{2, Fields().point(1, 2).f64(3).point(0, 0, 1)}});
    const dwg::detail::FileContext file{dwg::Version::R2000, 30, nullptr};
    for (const char* type : {"LIGHT", "CAMERA", "UNKNOWN_ENT"}) {
        SCOPED_TRACE(type);
        dwg::Entity entity;
        entity.typeName = type;
        entity.header.proxyGraphics = circle;
        dwg::detail::drawFromProxyGraphics(entity, file);
        EXPECT_EQ(std::holds_alternative<dwg::ProxyGraphics>(entity.data),
                  !dwg::showsNothing(type));
    }
    EXPECT_FALSE(dwg::showsNothing("UNKNOWN_ENT"));
}

}  // namespace
