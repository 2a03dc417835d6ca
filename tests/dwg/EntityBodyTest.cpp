// Entity and style records built bit by bit: what the parsers take from them,
// and that cut or hostile records end in dwg::Error without sizing anything
// from their counts. Run under the sanitizer build.
#include <gtest/gtest.h>

#include <functional>

#include "BitWriter.h"
#include "EntityParsers.h"
#include "EntityStyles.h"

namespace {

using testsupport::BitWriter;
namespace detail = dwg::detail;

struct RecordStreams {
    BitWriter data;
    BitWriter handles;
};

// Parses `record` as the body of an entity of `typeName` (a class entity when
// `type` is 500 or more), reading only the first `dataBits` bits of its data.
detail::EntityRecord parseBody(const std::string& typeName, int type, const RecordStreams& record,
                               std::size_t dataBits, dwg::Version version = dwg::Version::R2000,
                               bool dataStore = false) {
    const detail::FileContext file{version, 30, nullptr};
    detail::Streams streams(detail::BitReader(record.data.bytes(), dataBits));
    streams.setHandles(detail::BitReader(record.handles.bytes()));
    detail::EntityRecord result;
    result.dataStoreData = dataStore;
    result.entity.typeName = typeName;
    result.entity.header.handle = 0x100;
    detail::ClassDef klass;
    klass.dxfName = typeName;
    klass.isEntity = true;
    detail::EntityParseContext context{streams, file, result};
    detail::parseEntityBody(type, type >= 500 ? &klass : nullptr, context);
    return result;
}

// Every cut of the data stream short of its end is an error, never a crash.
void expectEveryCutFails(const std::string& typeName, int type, const RecordStreams& record) {
    for (std::size_t bits = 0; bits < record.data.bitCount(); ++bits)
        EXPECT_THROW(parseBody(typeName, type, record, bits), dwg::Error) << "cut at bit " << bits;
}

// A MULTILEADER as R2000 stores it: one root of `lineCount` lines of two
// points (at most two of them written), then MTEXT content; the counts are
// written as given.
RecordStreams multiLeader(std::int32_t rootCount = 1, std::int32_t lineCount = 1,
                          std::uint32_t overrides = 0) {
    RecordStreams r;
    BitWriter& d = r.data;
    BitWriter& h = r.handles;
    d.bitLong(rootCount);
    d.bit(true).bit(true).point3(10, 5, 0).point3(1, 0, 0);
    d.bitLong(0).bitLong(0).bitDouble(2.0);  // breaks, index, landing distance
    d.bitLong(lineCount);
    for (int i = 0; i < std::min(lineCount, 2); ++i) {
        d.bitLong(2).point3(0, 0, 0).point3(4, 3, 0);
        d.bitLong(0).bitLong(i);
    }
    d.bitDouble(1).point3(0, 0, 0).bitDouble(0.5).bitDouble(0.25).bitDouble(0.1);
    d.bitShort(1).bitShort(1).bitShort(0).bitShort(0);
    d.bit(true).text("Hi").point3(0, 0, 1);
    h.handle(5, 0x11);  // text style
    d.point3(12.1, 5.25, 0).point3(1, 0, 0).bitDouble(0).bitDouble(7).bitDouble(0).bitDouble(1);
    d.bitShort(1).bitShort(5).bitShort(1).bitShort(1);  // spacing style, colour, align, flow
    d.bitShort(0).bitDouble(1).bitLong(0).bit(false).bit(false).bitShort(0).bit(false);
    d.bitDouble(0).bitDouble(0).bit(false).bitLong(0).bit(false).bit(false);
    d.point3(0, 0, 0).point3(1, 0, 0).point3(0, 1, 0).bit(false);
    h.handle(5, 0x20);                                                        // style
    d.bitLong(static_cast<std::int32_t>(overrides)).bitShort(2).bitShort(3);  // type, colour 3
    h.handle(5, 0x14);                                                        // linetype
    d.bitLong(-2).bit(true).bit(false).bitDouble(2.0);                        // no dog-leg
    h.handle(5, 0x30);                                                        // arrow block
    d.bitDouble(0.25).bitShort(2);
    h.handle(5, 0x11);
    d.bitShort(1).bitShort(1).bitShort(1).bitShort(0).bitShort(5).bit(true);  // framed
    h.handle(0, 0);
    d.bitShort(0).point3(1, 1, 1).bitDouble(0).bitShort(0).bit(false);
    d.bitLong(0).bitLong(0);  // arrowheads, block labels
    d.bit(false).bitShort(0).bitShort(1).bitDouble(1);
    return r;
}

// The other parsers' records, each with one count that the hostile cases inflate.
RecordStreams mline(std::int16_t vertexCount = 2, std::int16_t parameterCount = 1) {
    RecordStreams r;
    r.data.bitDouble(1).rawChar(1).point3(0, 0, 0).point3(0, 0, 1).bitShort(1);
    r.data.rawChar(2).bitShort(vertexCount);
    for (int v = 0; v < 2; ++v) {
        r.data.point3(v, 0, 0).point3(1, 0, 0).point3(0, 1, 0);
        for (int e = 0; e < 2; ++e) {
            r.data.bitShort(parameterCount);
            for (int i = 0; i < std::min<int>(parameterCount, 2); ++i) r.data.bitDouble(e - 0.5);
            r.data.bitShort(0);
        }
    }
    r.handles.handle(5, 0x18);
    return r;
}

RecordStreams image(std::int32_t clipCount = 3) {
    RecordStreams r;
    r.data.bitLong(0).point3(5, 5, 0).point3(0.5, 0, 0).point3(0, 0.5, 0);
    r.data.rawDouble(4).rawDouble(2).bitShort(7).bit(true).rawChar(50).rawChar(50).rawChar(0);
    r.data.bitShort(2).bitLong(clipCount);
    for (int i = 0; i < std::min(clipCount, 3); ++i) r.data.rawDouble(i).rawDouble(-0.5);
    r.handles.handle(5, 0x30);
    return r;
}

// A square of four vertices and one edge; `corners` is the face's stored
// vertex count, `creaseCount` that of the creases (each -1).
RecordStreams mesh(std::int32_t vertexCount = 4, std::int32_t corners = 4, int lastIndex = 3,
                   std::int32_t creaseCount = 1) {
    RecordStreams r;
    r.data.bitShort(2).bit(false).bitLong(2).bitLong(vertexCount);
    for (int i = 0; i < 4; ++i) r.data.point3(i & 1, i >> 1, 0);
    r.data.bitLong(5).bitLong(corners).bitLong(0).bitLong(1).bitLong(2).bitLong(lastIndex);
    r.data.bitLong(1).bitLong(0).bitLong(1).bitLong(creaseCount);
    for (int i = 0; i < std::min(creaseCount, 2); ++i) r.data.bitDouble(-1);
    return r;
}

RecordStreams tolerance() {
    RecordStreams r;
    r.data.point3(1, 2, 0).point3(1, 0, 0).point3(0, 0, 1).text("{\\Fgdt;j}%%v0.1");
    r.handles.handle(5, 0x40);
    return r;
}

TEST(EntityBodies, HostileCountsAndEveryCutAreErrors) {
    struct Case {
        const char* typeName;
        int type;
        RecordStreams valid;
        std::vector<RecordStreams> hostile;
    };
    const std::vector<Case> cases = {
        {"MULTILEADER",
         500,
         multiLeader(),
         {multiLeader(0x7FFFFFFF), multiLeader(1, 0x7FFFFFFF), multiLeader(-1),
          multiLeader(1, -5)}},
        {"MLINE", 47, mline(), {mline(-1), mline(2, -1)}},
        {"IMAGE", 500, image(), {image(0x7FFFFFFF), image(-3)}},
        {"MESH",
         500,
         mesh(),
         {mesh(0x7FFFFFFF), mesh(4, 0x7FFFFFFF), mesh(4, 6), mesh(4, 4, 4), mesh(4, 4, -1),
          mesh(4, 4, 3, 0x7FFFFFFF), mesh(4, 4, 3, -1)}},
        {"TOLERANCE", 46, tolerance(), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typeName);
        const auto parsed = parseBody(c.typeName, c.type, c.valid, c.valid.data.bitCount());
        EXPECT_FALSE(std::holds_alternative<dwg::Unsupported>(parsed.entity.data));
        expectEveryCutFails(c.typeName, c.type, c.valid);
        for (std::size_t i = 0; i < c.hostile.size(); ++i)
            EXPECT_THROW(parseBody(c.typeName, c.type, c.hostile[i], c.hostile[i].data.bitCount()),
                         dwg::Error)
                << "hostile case " << i;
    }
}

TEST(EntityBodies, SmallRecordsDecode) {
    const RecordStreams lines = mline();
    const auto m =
        std::get<dwg::MLine>(parseBody("MLINE", 47, lines, lines.data.bitCount()).entity.data);
    ASSERT_EQ(m.vertices.size(), 2u);
    EXPECT_EQ(m.vertices[1].position.x, 1);
    EXPECT_EQ(m.vertices[1].elementParameters[1], std::vector<double>{0.5});
    EXPECT_EQ(m.style, 0x18u);

    const RecordStreams picture = image();
    const auto i = std::get<dwg::RasterImage>(
        parseBody("IMAGE", 500, picture, picture.data.bitCount()).entity.data);
    EXPECT_EQ(i.size.x, 4);
    ASSERT_EQ(i.clipBoundary.size(), 3u);
    EXPECT_EQ(i.clipBoundary[2].x, 2);
    // Pixel (x, y) from the top-left pixel's centre: the bottom-left corner is at the insertion.
    const auto outline = dwg::rasterOutline(i);
    EXPECT_EQ(outline[0].y, 5 + 0.5 * 2);  // y = -0.5 is the top edge

    const RecordStreams square = mesh();
    const auto s = std::get<dwg::SubdivisionMesh>(
        parseBody("MESH", 500, square, square.data.bitCount()).entity.data);
    ASSERT_EQ(s.faces.size(), 1u);
    EXPECT_EQ(s.faces[0], (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(s.edges, (std::vector<std::pair<int, int>>{{0, 1}}));
    EXPECT_EQ(s.subdivisionLevel, 2);
    EXPECT_EQ(s.creases, std::vector<double>{-1});
    // Creases that do not pair with the edges say nothing sure of any of them.
    for (const std::int32_t creaseCount : {0, 2}) {
        const RecordStreams other = mesh(4, 4, 3, creaseCount);
        EXPECT_TRUE(std::get<dwg::SubdivisionMesh>(
                        parseBody("MESH", 500, other, other.data.bitCount()).entity.data)
                        .creases.empty())
            << creaseCount;
    }
}

// BT and BE as `version` stores them: in full before R2000, after a
// "default" bit (clear here) from R2000.
void thicknessAndExtrusion(BitWriter& d, dwg::Version version, double thickness) {
    if (version >= dwg::Version::R2000) d.bit(false);
    d.bitDouble(thickness);
    if (version >= dwg::Version::R2000) d.bit(false);
    d.point3(0, -1, 0);
}

// An entity of `typeName` extruded 2.5 along (0, -1, 0), as `version` stores it.
RecordStreams extruded(const std::string& typeName, dwg::Version version) {
    RecordStreams r;
    BitWriter& d = r.data;
    const bool r2000 = version >= dwg::Version::R2000;
    if (typeName == "LINE") {
        if (r2000)  // not z-zero, each end point the same as the start
            d.bit(false).rawDouble(1).bits(0, 2).rawDouble(2).bits(0, 2).rawDouble(3).bits(0, 2);
        else
            d.point3(1, 2, 3).point3(1, 2, 3);
        thicknessAndExtrusion(d, version, 2.5);
    } else if (typeName == "CIRCLE" || typeName == "ARC") {
        d.point3(1, 2, 3).bitDouble(4);
        thicknessAndExtrusion(d, version, 2.5);
        if (typeName == "ARC") d.bitDouble(0).bitDouble(1);
    } else if (typeName == "POINT") {
        d.point3(1, 2, 3);
        thicknessAndExtrusion(d, version, 2.5);
        d.bitDouble(0);
    } else if (typeName == "SOLID" || typeName == "TRACE") {
        if (r2000) d.bit(false);
        d.bitDouble(2.5).bitDouble(7);  // thickness, elevation
        for (int i = 0; i < 4; ++i) d.rawDouble(i).rawDouble(i * i);
        if (r2000) d.bit(false);
        d.point3(0, -1, 0);
    } else if (typeName == "POLYLINE_2D") {
        d.bitShort(0).bitShort(0).bitDouble(0).bitDouble(0);
        if (r2000) d.bit(false);
        d.bitDouble(2.5).bitDouble(7);  // thickness, elevation
        if (r2000) d.bit(false);
        d.point3(0, -1, 0);
        if (version >= dwg::Version::R2004) d.bitLong(0);  // no vertices
        if (version < dwg::Version::R2004) r.handles.handle(4, 0).handle(4, 0);
        r.handles.handle(3, 0);  // SEQEND
    } else {                     // LWPOLYLINE: the thickness and normal follow their flags
        d.bitShort(2 | 1).bitDouble(2.5).point3(0, -1, 0).bitLong(1).rawDouble(1).rawDouble(2);
    }
    return r;
}

TEST(EntityBodies, EveryExtrudableEntityKeepsItsThicknessInEveryVersion) {
    const std::pair<const char*, int> types[] = {
        {"LINE", 19},  {"CIRCLE", 18}, {"ARC", 17},         {"POINT", 27},
        {"SOLID", 31}, {"TRACE", 32},  {"POLYLINE_2D", 15}, {"LWPOLYLINE", 77},
    };
    for (const auto& [typeName, type] : types) {
        for (const dwg::Version version :
             {dwg::Version::R14, dwg::Version::R2000, dwg::Version::R2004, dwg::Version::R2018}) {
            SCOPED_TRACE(testing::Message() << typeName << " " << dwg::versionCode(version));
            const RecordStreams record = extruded(typeName, version);
            const auto parsed = parseBody(typeName, type, record, record.data.bitCount(), version);
            const auto [thickness, extrusion] = std::visit(
                [](const auto& e) -> std::pair<double, dwg::Point3> {
                    if constexpr (requires { e.thickness + e.extrusion.x; })
                        return {e.thickness, e.extrusion};
                    else
                        return {0, {}};
                },
                parsed.entity.data);
            EXPECT_EQ(thickness, 2.5);
            EXPECT_EQ(extrusion, (dwg::Point3{0, -1, 0}));
        }
    }
}

TEST(MultiLeaderBody, FieldsLandWhereTheyBelong) {
    const RecordStreams record = multiLeader(1, 2);
    const detail::EntityRecord parsed =
        parseBody("MULTILEADER", 500, record, record.data.bitCount());
    const auto* leader = std::get_if<dwg::MultiLeader>(&parsed.entity.data);
    ASSERT_NE(leader, nullptr);
    ASSERT_EQ(leader->roots.size(), 1u);
    EXPECT_EQ(leader->roots[0].connection.x, 10);
    EXPECT_EQ(leader->roots[0].landingDistance, 2.0);
    ASSERT_EQ(leader->roots[0].lines.size(), 2u);
    EXPECT_EQ(leader->roots[0].lines[1].points[1].y, 3);
    ASSERT_TRUE(leader->text);
    EXPECT_EQ(leader->text->text, "Hi");
    EXPECT_EQ(leader->text->height, 0.5);
    EXPECT_EQ(leader->text->rectangleWidth, 7);
    EXPECT_EQ(leader->text->style, 0x11u);
    EXPECT_EQ(leader->textColor.index, 5);
    EXPECT_EQ(leader->landingGap, 0.1);
    EXPECT_EQ(leader->style, 0x20u);
    ASSERT_TRUE(parsed.mleader);
    EXPECT_EQ(parsed.mleader->own.arrowBlock, 0x30u);
    EXPECT_EQ(parsed.mleader->lineOverrides.size(), 2u);
    EXPECT_FALSE(leader->block);
}

// Where the entity's override bit is clear the style decides; a line's own
// bit (R2010+) keeps the line's value over both.
TEST(MultiLeaderBody, OverrideFlagsChooseBetweenEntityStyleAndLine) {
    detail::MLeaderStyle style;
    style.look.leaderColor = dwg::Color::fromIndex(1);
    style.look.arrowBlock = 0x40;
    style.look.dogleg = true;
    style.look.textFrame = false;
    struct Case {
        std::uint32_t entityOverrides;
        std::uint32_t lineOverrides;
        bool withStyle;
        int color;
        dwg::Handle arrow;
        bool landing;
        bool frame;
    };
    const Case cases[] = {
        {0, 0, true, 1, 0x40, true, false},
        {detail::kOverrideLeaderColor | detail::kOverrideArrowBlock, 0, true, 3, 0x30, true, false},
        {detail::kOverrideDogleg | detail::kOverrideTextFrame, 0, true, 1, 0x40, false, true},
        {0, detail::kLineOverrideColor | detail::kLineOverrideArrowBlock, true, 6, 0x50, true,
         false},
        {0, 0, false, 3, 0x30, false, true},  // no style: the entity's own values
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.entityOverrides << "/" << c.lineOverrides);
        const RecordStreams record = multiLeader(1, 1, c.entityOverrides);
        detail::EntityRecord parsed = parseBody("MULTILEADER", 500, record, record.data.bitCount());
        auto& leader = std::get<dwg::MultiLeader>(parsed.entity.data);
        dwg::MLeaderLine& line = leader.roots[0].lines[0];
        line.color = dwg::Color::fromIndex(6);  // as an R2010+ line would carry them
        line.arrowBlock = 0x50;
        parsed.mleader->lineOverrides[0] = c.lineOverrides;
        detail::applyMLeaderStyle(leader, *parsed.mleader, c.withStyle ? &style : nullptr);
        EXPECT_EQ(line.color.index, c.color);
        EXPECT_EQ(line.arrowBlock, c.arrow);
        EXPECT_EQ(line.arrowSize, 0.25);
        EXPECT_EQ(leader.landing, c.landing);
        EXPECT_EQ(leader.textFrame, c.frame);
    }
}

}  // namespace

namespace {

// A 3DSOLID body carrying `model`: format 1 as enciphered SAT blocks of
// `blockSize` bytes, format 2 as the bytes themselves (which may run on past
// the model's end marker), after an odd bit so that nothing is byte aligned.
RecordStreams acisSolid(const std::string& model, int format, std::size_t blockSize = 7,
                        std::size_t* modelEndBit = nullptr) {
    RecordStreams r;
    BitWriter& d = r.data;
    d.bit(false).bit(false).bitShort(static_cast<std::int16_t>(format));
    if (format == 1) {
        for (std::size_t at = 0; at < model.size(); at += blockSize) {
            const std::string block = model.substr(at, blockSize);
            d.bitLong(static_cast<std::int32_t>(block.size()));
            for (const char c : block) {
                const auto u = static_cast<std::uint8_t>(c);
                d.rawChar(u > 32 ? static_cast<std::uint8_t>(159 - u) : u);
            }
        }
        d.bitLong(0);
    } else {
        for (const char c : model) d.rawChar(static_cast<std::uint8_t>(c));
    }
    if (modelEndBit) *modelEndBit = d.bitCount();
    d.bit(false);  // no wireframe
    return r;
}

std::string modelText(const detail::EntityRecord& record) {
    const auto& bytes = std::get<dwg::AcisData>(record.entity.data).bytes;
    return {bytes.begin(), bytes.end()};
}

TEST(AcisBodies, ModelBytesComeOutWhole) {
    const std::string sat = "400 1 1 0\nbody $-1 $-1 $-1 $-1 #\n";
    const std::string sab = std::string("ACIS BinaryFile\x01\x02", 17) + std::string(
                                                                             "\x0E\x03"
                                                                             "End\x0E\x02of\x0E\x04"
                                                                             "ACIS\x0D\x04"
                                                                             "data");
    const std::string satInside = "400 1 1 0\nbody $-1 #\nEnd-of-ACIS-data";
    struct Case {
        const char* name;
        std::string stored;
        int format;
        std::size_t blockSize;
        std::string expected;
    };
    const Case cases[] = {
        {"satBlocks", sat, 1, 7, sat},
        {"satOneBlock", sat, 1, 1000, sat},
        {"sabToItsEndMarker", sab + "wireframe follows", 2, 0, sab},
        {"satToItsEndMarker", satInside + " more", 2, 0, satInside},
    };
    for (const Case& c : cases) {
        std::size_t modelEnd = 0;
        const RecordStreams record = acisSolid(c.stored, c.format, c.blockSize, &modelEnd);
        EXPECT_EQ(modelText(parseBody("3DSOLID", 38, record, record.data.bitCount())), c.expected)
            << c.name;
        // Cut short of where the model (or its end marker) ends: an error, never a crash.
        const std::size_t needed =
            c.format == 1 ? modelEnd : modelEnd - 8 * (c.stored.size() - c.expected.size());
        for (std::size_t bits = 0; bits < needed; ++bits)
            EXPECT_THROW(parseBody("3DSOLID", 38, record, bits), dwg::Error)
                << c.name << " cut at " << bits;
    }
    // The empty bit set: no model here (it may be in the data store).
    RecordStreams empty;
    empty.data.bit(true);
    EXPECT_TRUE(modelText(parseBody("REGION", 37, empty, empty.data.bitCount())).empty());
}

// Surfaces store their model as 3DSOLID does; what follows it (isoline
// counts, how the surface was made) is left unread.
TEST(AcisBodies, SurfacesCarryTheirModelAsSolidsDo) {
    const std::string sab = std::string("ACIS BinaryFile\x01\x02", 17) + std::string(
                                                                             "\x0E\x03"
                                                                             "End\x0E\x02of\x0E\x04"
                                                                             "ACIS\x0D\x04"
                                                                             "data");
    for (const char* name : {"SURFACE", "PLANESURFACE", "EXTRUDEDSURFACE", "LOFTEDSURFACE",
                             "REVOLVEDSURFACE", "SWEPTSURFACE", "NURBSURFACE"}) {
        RecordStreams record = acisSolid(sab, 2);
        record.data.bitShort(6).bitShort(6);  // isolines
        EXPECT_EQ(modelText(parseBody(name, 500, record, record.data.bitCount())), sab) << name;
        // From R2013 the model may be in the data store instead: no model
        // here, the wireframe's flag first.
        RecordStreams stored;
        stored.data.bit(false).bitShort(6).bitShort(6);
        EXPECT_TRUE(modelText(parseBody(name, 500, stored, stored.data.bitCount(),
                                        dwg::Version::R2018, true))
                        .empty())
            << name;
    }
}

TEST(AcisBodies, HostileSizesAndFormatsAreErrors) {
    RecordStreams unknownFormat;
    unknownFormat.data.bit(false).bit(false).bitShort(3);
    RecordStreams hugeBlock;
    hugeBlock.data.bit(false).bit(false).bitShort(1).bitLong(0x7FFFFFFF).rawChar('x');
    RecordStreams negativeBlock;
    negativeBlock.data.bit(false).bit(false).bitShort(1).bitLong(-5);
    RecordStreams noEndMarker = acisSolid("ACIS BinaryFile and nothing else", 2);
    for (const RecordStreams* r : {&unknownFormat, &hugeBlock, &negativeBlock, &noEndMarker})
        EXPECT_THROW(parseBody("BODY", 39, *r, r->data.bitCount()), dwg::Error);
}

// The wireframe a body stores after its model: isolines, then silhouettes
// with the view each was made for. What does not read leaves the body its
// model and no wires.
struct StoredWire {
    std::vector<dwg::Point3> points;
    bool placed = false;  // carries a placing of its own
};

void writeWires(BitWriter& d, const std::vector<StoredWire>& wires) {
    d.bitLong(static_cast<std::int32_t>(wires.size()));
    for (const StoredWire& w : wires) {
        d.rawChar(1).bitLong(7).bitShort(256).bitLong(3);
        d.bitLong(static_cast<std::int32_t>(w.points.size()));
        for (const dwg::Point3& p : w.points) d.point3(p.x, p.y, p.z);
        d.bit(w.placed);
        if (w.placed) {
            d.point3(1, 0, 0).point3(0, 1, 0).point3(0, 0, 1).point3(5, 5, 5).bitDouble(1);
            d.bit(false).bit(false).bit(false);
        }
    }
}

// Everything after the entity's first bits: present flag, point, isolines,
// wires, then one silhouette seen from (eye) towards (target).
void writeWireframe(BitWriter& d, const std::vector<StoredWire>& isolines,
                    const std::vector<StoredWire>& silhouette, bool presentFlag = true) {
    if (presentFlag) d.bit(true);
    d.bit(true).point3(1, 2, 3);  // a point
    d.bitLong(4);                 // isolines a face was given
    d.bit(true);
    writeWires(d, isolines);
    d.bitLong(1);
    d.bits(0, 3);  // viewport 0, as a long long of no bytes
    d.point3(10, 20, 31).point3(10, 20, 30).point3(0, 1, 0).bit(false);
    d.bit(true);
    writeWires(d, silhouette);
}

TEST(AcisBodies, TheStoredWireframeFollowsTheModel) {
    const std::string sat = "400 1 1 0\nbody $-1 $-1 $-1 $-1 #\n";
    const std::vector<StoredWire> isolines = {{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}},
                                              {{{5, 5, 5}}},  // one point draws nothing
                                              {{{0, 0, 0}, {2, 2, 2}}, true}};
    const std::vector<StoredWire> outline = {{{{0, 0, 0}, {0, 9, 0}}}};
    struct Case {
        const char* name;
        RecordStreams record;
        dwg::Version version;
        bool dataStore;
        std::size_t wires;
    };
    // A SAT model in one block, then the wireframe.
    RecordStreams inline2000;
    BitWriter& d = inline2000.data;
    d.bit(false).bit(false).bitShort(1).bitLong(static_cast<std::int32_t>(sat.size()));
    for (const char c : sat) {
        const auto u = static_cast<std::uint8_t>(c);
        d.rawChar(u > 32 ? static_cast<std::uint8_t>(159 - u) : u);
    }
    d.bitLong(0);
    const std::size_t modelEnd = d.bitCount();
    writeWireframe(d, isolines, outline);
    // From R2013 a body whose model is in the data store has no model here,
    // nor a flag for it: its wireframe starts at once.
    RecordStreams stored2018;
    writeWireframe(stored2018.data, isolines, outline);
    RecordStreams storedNoWires;
    storedNoWires.data.bit(false).bitLong(0);
    RecordStreams hugeCount;
    hugeCount.data.bit(true).bit(false).bitLong(4).bit(true).bitLong(0x7FFFFFF);
    const Case cases[] = {
        {"after an inline model", inline2000, dwg::Version::R2000, false, 2},
        {"model in the data store", stored2018, dwg::Version::R2018, true, 2},
        // Read as an inline model it would be one of an unknown format.
        {"in the data store, no wireframe", storedNoWires, dwg::Version::R2018, true, 0},
        {"a count larger than the record", hugeCount, dwg::Version::R2018, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const detail::EntityRecord record =
            parseBody("3DSOLID", 38, c.record, c.record.data.bitCount(), c.version, c.dataStore);
        const auto& data = std::get<dwg::AcisData>(record.entity.data);
        ASSERT_EQ(data.wires.size(), c.wires);
        if (c.wires == 0) continue;
        EXPECT_FALSE(data.wires[0].silhouette);
        EXPECT_EQ(data.wires[0].points.size(), 3u);
        EXPECT_EQ(data.wires[0].points[2], (dwg::Point3{1, 1, 0}));
        EXPECT_TRUE(data.wires[1].silhouette);
        EXPECT_EQ(data.wires[1].viewDirection, (dwg::Point3{0, 0, 1}));
        EXPECT_EQ(data.wires[1].points[1], (dwg::Point3{0, 9, 0}));
    }
    // Cut anywhere inside the wireframe: the model stays, without wires.
    for (std::size_t bits = modelEnd; bits < inline2000.data.bitCount(); ++bits) {
        const detail::EntityRecord record = parseBody("3DSOLID", 38, inline2000, bits);
        const auto& data = std::get<dwg::AcisData>(record.entity.data);
        EXPECT_EQ(std::string(data.bytes.begin(), data.bytes.end()), sat) << bits;
        EXPECT_TRUE(data.wires.empty()) << bits;
    }
}

}  // namespace
