// Damaged and hostile models fail with acis::Error, never a crash, and what
// they decode to stays bounded by their size.
#include <acis/Model.h>
#include <gtest/gtest.h>

#include <string>

#include "Bodies.h"

namespace {

std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

struct BadCase {
    const char* name;
    std::string text;
};

const BadCase kBadText[] = {
    {"empty", ""},
    {"noBody", "400 0 1 0\n4 Test 2 x1 1 y\n1 1e-06 1e-10\npoint $-1 0 0 0 #\n"},
    {"badVersion", "abc 0 1 0\n"},
    {"countedStringPastEnd", "400 0 1 0\n99999 Test"},
    {"recordWithoutEnd", "106 1 1 0\nbody $-1 $-1 $-1 $-1"},
    {"badPointer", "106 1 1 0\nbody $-1 $x $-1 $-1 #\n"},
    {"vertexWithoutPoint", "106 2 1 0\nbody $-1 $-1 $-1 $-1 #\nvertex $-1 $-1 $5 #\n"},
    {"pointMissingCoordinates", "106 3 1 0\nbody $-1 $-1 $-1 $-1 #\nvertex $-1 $-1 $2 #\npoint $-1 1 #\n"},
    {"infiniteCoordinate", "106 3 1 0\nbody $-1 $-1 $-1 $-1 #\nvertex $-1 $-1 $2 #\npoint $-1 inf 0 0 #\n"},
};

class BadText : public testing::TestWithParam<BadCase> {};

TEST_P(BadText, FailsWithError) { EXPECT_THROW(acis::decode(bytes(GetParam().text)), acis::Error); }

INSTANTIATE_TEST_SUITE_P(Cases, BadText, testing::ValuesIn(kBadText),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Hostile, BinaryTruncatedAnywhereFailsCleanly) {
    const auto full = acistest::cylinder(20800, 2, 3).sab();
    int decoded = 0;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const std::vector<std::uint8_t> cut(full.begin(), full.begin() + std::ptrdiff_t(n));
        try {
            acis::decode(cut);
            ++decoded;
        } catch (const acis::Error&) {
        }
    }
    // Without its end marker a binary model is never taken as whole.
    EXPECT_EQ(decoded, 0);
}

TEST(Hostile, EveryByteChangedNeverCrashes) {
    for (const auto& original : {acistest::box(20800, {1, 1, 1}, {0, 0, 0}).sab(), acistest::region(400).sat()}) {
        for (std::size_t i = 0; i < original.size(); ++i) {
            for (std::uint8_t value : {std::uint8_t(0x00), std::uint8_t(0x0C), std::uint8_t(0xFF), std::uint8_t('9')}) {
                auto damaged = original;
                damaged[i] = value;
                try {
                    const acis::Model m = acis::decode(damaged);
                    EXPECT_LE(m.edges.size() + m.faces.size() + m.vertices.size(), damaged.size());
                    for (const acis::Edge& e : m.edges) {
                        EXPECT_LT(e.start, int(m.vertices.size()));
                        EXPECT_LT(e.curve, int(m.curves.size()));
                    }
                } catch (const acis::Error&) {
                }
            }
        }
    }
}

// A curve whose spline cannot be read is left unusable, and the model that
// holds it still decodes: its edges become chords, its faces fail alone.
const BadCase kBadSplines[] = {
    {"hugeKnotCount", "nubs 3 open 1000000000 0 3 #"},
    {"degreeZero", "nubs 0 open 2 0 1 1 1 } #"},
    {"decreasingKnots", "nubs 1 open 2 1 1 0 1 0 0 0 1 1 1 } #"},
    {"repeatedKnot", "nubs 1 open 3 0 1 0 1 1 1 0 0 0 1 1 1 2 2 2 } #"},
    // Degree 2 with two control points: evaluating it would read before the first.
    {"tooFewKnotsForTheDegree", "nubs 2 open 2 0 2 2 1 0 0 0 1 1 1 } #"},
    {"controlPointsMissing", "nubs 1 open 2 0 1 1 1 0 0 0 } #"},
};

class BadSpline : public testing::TestWithParam<BadCase> {};

TEST_P(BadSpline, LeavesTheCurveUnusable) {
    const acis::Model m = acis::decode(
        bytes("106 2 1 0\nbody $-1 $-1 $-1 $-1 #\nintcurve-curve $-1 forward { exact_cur " +
              GetParam().text + "\n"));
    ASSERT_EQ(m.curves.size(), 1u);
    EXPECT_EQ(m.curves[0].kind, acis::Curve::Kind::Other);
    EXPECT_TRUE(m.curves[0].controlPoints.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, BadSpline, testing::ValuesIn(kBadSplines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Hostile, PointerCyclesEndTheChains) {
    // Two faces pointing at each other as "next", and a loop whose coedges never come back to the first.
    acistest::ModelWriter w = acistest::box(400, {1, 1, 1}, {0, 0, 0});
    w.records[4].fields[0] = acistest::ptr(5);  // face 0 -> face 1
    w.records[5].fields[0] = acistest::ptr(4);  // face 1 -> face 0
    const acis::Model m = acis::decode(w.sat());
    EXPECT_EQ(m.shells[0].faces, (std::vector<int>{0, 1}));
}

TEST(Hostile, PointersToTheWrongKindAreNone) {
    acistest::ModelWriter w = acistest::box(400, {1, 1, 1}, {0, 0, 0});
    for (auto& r : w.records)
        if (r.name == "edge") r.fields[3] = acistest::ptr(0);  // the curve "is" the body
    const acis::Model m = acis::decode(w.sat());
    for (const acis::Edge& e : m.edges) EXPECT_EQ(e.curve, -1);
}

}  // namespace
