#include <acis/Model.h>
#include <acis/Write.h>
#include <dwg/Convert.h>
#include <dwg/Reader.h>
#include <dwg/Scale.h>
#include <gtest/gtest.h>

#include <cmath>

#include "Drawings.h"
#include "Samples.h"
#include "ScaleText.h"

using namespace dwg;
using testsupport::drawingWith;
using testsupport::entity;

namespace {

constexpr int kCentimetres = 5;

const Entity& first(const Drawing& d, const char* type) {
    for (const Block& block : d.blocks)
        for (const Entity& e : block.entities)
            if (e.typeName == type) return e;
    throw std::runtime_error(std::string("no ") + type);
}

TEST(Units, FactorsBetweenTheUnitsOffered) {
    const struct {
        int from;
        LengthUnit to;
        double factor;
    } cases[] = {
        {5, LengthUnit::Millimetres, 10},   {4, LengthUnit::Metres, 0.001},
        {1, LengthUnit::Millimetres, 25.4}, {2, LengthUnit::Inches, 12},
        {6, LengthUnit::Centimetres, 100},  {6, LengthUnit::Feet, 1 / 0.3048},
        {14, LengthUnit::Centimetres, 10},  {5, LengthUnit::Centimetres, 1},
    };
    for (const auto& c : cases) {
        Drawing d = drawingWith({}, c.from);
        const UnitsChange change = changeUnits(d, c.to);
        EXPECT_TRUE(change.scaled);
        EXPECT_DOUBLE_EQ(change.factor, c.factor) << c.from << " to " << unitKey(c.to);
        EXPECT_EQ(d.header.insertionUnits, static_cast<int>(c.to));
    }
}

TEST(Units, ADrawingWithoutUnitsStaysAsItIs) {
    for (int units : {0, 99, -3}) {
        const Drawing before = drawingWith({entity("LINE", Line{{0, 0, 0}, {100, 0, 0}})}, units);
        Drawing d = before;
        const UnitsChange change = changeUnits(d, LengthUnit::Millimetres);
        EXPECT_FALSE(change.scaled);
        EXPECT_EQ(d, before);
    }
}

TEST(Units, ALineOfOneHundredCentimetresIsOneThousandMillimetres) {
    Drawing d = drawingWith({entity("LINE", Line{{0, 0, 0}, {100, 0, 0}})}, kCentimetres);
    changeUnits(d, LengthUnit::Millimetres);
    EXPECT_EQ(std::get<Line>(first(d, "LINE").data).end, (Point3{1000, 0, 0}));
    EXPECT_EQ(d.header.insertionUnits, 4);
}

TEST(Units, TextHeightsHatchAndLinetypeScalesFollow) {
    Text text;
    text.height = 2.5;
    text.insertion = {10, 5};
    MText note;
    note.height = 3;
    note.text = "\\H2;maior\\H0.5x;menor";
    Hatch hatch;
    hatch.patternScale = 2;
    hatch.patternLines.push_back({0.5, {1, 1}, {0, 3}, {2, -1}});
    Entity dashed = entity("LINE", Line{{0, 0, 0}, {1, 0, 0}}, 0x103);
    dashed.header.linetypeScale = 0.5;
    Drawing d = drawingWith({entity("TEXT", text, 0x100), entity("MTEXT", note, 0x101),
                             entity("HATCH", hatch, 0x102), dashed},
                            kCentimetres);
    changeUnits(d, LengthUnit::Millimetres);
    const Text& t = std::get<Text>(first(d, "TEXT").data);
    EXPECT_DOUBLE_EQ(t.height, 25);
    EXPECT_EQ(t.insertion, (Point2{100, 50}));
    const MText& m = std::get<MText>(first(d, "MTEXT").data);
    EXPECT_DOUBLE_EQ(m.height, 30);
    EXPECT_EQ(m.text, "\\H20;maior\\H0.5x;menor");
    const Hatch& h = std::get<Hatch>(first(d, "HATCH").data);
    EXPECT_DOUBLE_EQ(h.patternScale, 20);
    EXPECT_EQ(h.patternLines[0].offset, (Point2{0, 30}));
    EXPECT_EQ(h.patternLines[0].dashes, (std::vector<double>{20, -10}));
    EXPECT_DOUBLE_EQ(h.patternLines[0].angle, 0.5);
    EXPECT_DOUBLE_EQ(first(d, "LINE").header.linetypeScale, 5);
}

TEST(Units, DimensionValuesFollowTheirMeasurement) {
    Drawing d = drawingWith({}, kCentimetres);
    Block drawn;
    drawn.handle = 0x70;
    drawn.name = "*D1";
    drawn.anonymous = true;
    MText value;
    value.text = "\\A1;100";
    value.height = 2.5;
    drawn.entities.push_back(entity("MTEXT", value, 0x71));
    d.blocks.push_back(drawn);
    Dimension linear;
    linear.block = 0x70;
    linear.measurement = 100;
    linear.firstPoint = {0, 0, 0};
    linear.secondPoint = {100, 0, 0};
    Dimension angle;
    angle.kind = Dimension::Kind::Angular3Point;
    angle.measurement = 1.2;
    d.blocks[0].entities.push_back(entity("DIMENSION_LINEAR", linear, 0x72));
    d.blocks[0].entities.push_back(entity("DIMENSION_ANG3PT", angle, 0x73));
    changeUnits(d, LengthUnit::Millimetres);
    EXPECT_DOUBLE_EQ(std::get<Dimension>(first(d, "DIMENSION_LINEAR").data).measurement, 1000);
    EXPECT_EQ(std::get<Dimension>(first(d, "DIMENSION_LINEAR").data).secondPoint,
              (Point3{1000, 0, 0}));
    EXPECT_DOUBLE_EQ(std::get<Dimension>(first(d, "DIMENSION_ANG3PT").data).measurement, 1.2);
    const MText& shown = std::get<MText>(first(d, "MTEXT").data);
    EXPECT_EQ(shown.text, "\\A1;1000");
    EXPECT_DOUBLE_EQ(shown.height, 25);
}

TEST(Units, ShownValueReplacementTable) {
    const struct {
        const char* text;
        double before, after;
        const char* expected;  // null: no number reads `before`
    } cases[] = {
        {"\\A1;100", 100, 1000, "\\A1;1000"},
        {"12,5 cm", 12.5, 125, "125,0 cm"},
        {"{\\fArial|b0|i0;0.75}", 0.75, 75, "{\\fArial|b0|i0;75.00}"},
        {"R3.0", 3.04, 30.4, "R30.4"},
        {"\\A1;2 x 100", 100, 1000, "\\A1;2 x 1000"},
        {"\\A1;", 1, 10, nullptr},
        {"99", 100, 1000, nullptr},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(detail::replaceShownValue(text, c.before, c.after), c.expected != nullptr)
            << c.text;
        if (c.expected) {
            EXPECT_EQ(text, c.expected);
        }
    }
}

TEST(Units, BlocksAreScaledWithTheDrawingAndInsertsKeepTheirFactors) {
    Drawing d = drawingWith({}, kCentimetres);
    Block chair;
    chair.handle = 0x80;
    chair.name = "CADEIRA";
    chair.basePoint = {1, 1, 0};
    chair.entities.push_back(entity("CIRCLE", Circle{{1, 1, 0}, 20}, 0x81));
    d.blocks.push_back(chair);
    Block outside;
    outside.handle = 0x82;
    outside.name = "PLANTA";
    outside.isXref = true;
    d.blocks.push_back(outside);
    Insert placed;
    placed.block = 0x80;
    placed.insertion = {50, 0, 0};
    placed.scale = {2, 2, 2};
    Insert referenced;
    referenced.block = 0x82;
    d.blocks[0].entities.push_back(entity("INSERT", placed, 0x83));
    d.blocks[0].entities.push_back(entity("INSERT", referenced, 0x84));
    changeUnits(d, LengthUnit::Millimetres);
    EXPECT_DOUBLE_EQ(std::get<Circle>(first(d, "CIRCLE").data).radius, 200);
    EXPECT_EQ(d.findBlock(0x80)->basePoint, (Point3{10, 10, 0}));
    const Insert& chairInsert = std::get<Insert>(d.blocks[0].entities[0].data);
    EXPECT_EQ(chairInsert.insertion, (Point3{500, 0, 0}));
    EXPECT_EQ(chairInsert.scale, (Point3{2, 2, 2}));
    // An external drawing's definition is not ours to scale: its reference is.
    EXPECT_EQ(std::get<Insert>(d.blocks[0].entities[1].data).scale, (Point3{10, 10, 10}));
}

TEST(Units, MTextHeightCodes) {
    EXPECT_EQ(detail::scaledMTextHeights("\\H2.5;a\\H0.7x;b", 10), "\\H25;a\\H0.7x;b");
    EXPECT_EQ(detail::scaledMTextHeights("\\\\H2;c", 10), "\\\\H2;c");  // an escaped backslash
    EXPECT_EQ(detail::scaledMTextHeights("\\H", 10), "\\H");
    EXPECT_EQ(detail::scaledMTextHeights("\\Pnova linha", 10), "\\Pnova linha");
}

TEST(Units, BodiesGrowThroughTheirTransform) {
    // A body without a transform is given one.
    const std::string sat =
        "400 0 1 0\n"
        "4 test 8 ACIS 4.0 3 now\n"
        "1 1e-06 1e-10\n"
        "body $-1 $1 $-1 $-1 #\n"
        "lump $-1 $-1 $2 $0 #\n"
        "shell $-1 $-1 $-1 $-1 $-1 $1 #\n"
        "End-of-ACIS-data\n";
    const std::vector<std::uint8_t> bytes(sat.begin(), sat.end());
    const std::vector<std::uint8_t> grown = acis::scaled(bytes, 10);
    const std::string text(grown.begin(), grown.end());
    EXPECT_NE(text.find("body $-1 $1 $-1 $3 #"), std::string::npos) << text;
    EXPECT_NE(text.find("transform $-1 1.0 0.0 0.0 0.0 1.0 0.0 0.0 0.0 1.0 0.0 0.0 0.0 10.0 "
                        "no_rotate no_reflect no_shear #"),
              std::string::npos)
        << text;
    EXPECT_THROW(acis::scaled(bytes, 0), acis::Error);
    EXPECT_THROW(acis::scaled(bytes, std::nan("")), acis::Error);
}

TEST(Units, SampleBodiesComeOutScaled) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    for (const char* sample :
         {"R2000/acadsharp_sample_AC1015.dwg", "R2018/acadsharp_sample_AC1032.dwg"}) {
        SCOPED_TRACE(sample);
        const Drawing before = dwg::read(testsupport::samplesFolder() / sample);
        Drawing after = before;
        scaleDrawing(after, 25.4);
        int compared = 0;
        for (std::size_t b = 0; b < before.blocks.size(); ++b)
            for (std::size_t e = 0; e < before.blocks[b].entities.size(); ++e) {
                const auto* was = std::get_if<AcisData>(&before.blocks[b].entities[e].data);
                if (!was || was->bytes.empty()) continue;
                const acis::Model m0 = acis::decode(was->bytes);
                const acis::Model m1 =
                    acis::decode(std::get<AcisData>(after.blocks[b].entities[e].data).bytes);
                ASSERT_EQ(m0.vertices.size(), m1.vertices.size());
                for (std::size_t v = 0; v < m0.vertices.size(); ++v) {
                    EXPECT_NEAR(m1.vertices[v].position.x, 25.4 * m0.vertices[v].position.x, 1e-6);
                    EXPECT_NEAR(m1.vertices[v].position.z, 25.4 * m0.vertices[v].position.z, 1e-6);
                }
                ++compared;
            }
        EXPECT_GT(compared, 0);
    }
}

}  // namespace
