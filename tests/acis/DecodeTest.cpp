// Minimal bodies decode to the same model from SAT text and SAB binary, at
// the save versions found in drawings.
#include <acis/Model.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Bodies.h"

namespace {

using acis::Curve;
using acis::Surface;

enum class Form { Text, Binary };

struct Case {
    const char* name;
    Form form;
    int version;
};

std::vector<std::uint8_t> encode(const acistest::ModelWriter& w, Form form) {
    return form == Form::Text ? w.sat() : w.sab();
}

const Case kCases[] = {
    {"text106", Form::Text, 106},     {"text400", Form::Text, 400},     {"text700", Form::Text, 700},
    {"binary400", Form::Binary, 400}, {"binary20800", Form::Binary, 20800},
    {"binary22300", Form::Binary, 22300},
};

class Decode : public testing::TestWithParam<Case> {};

TEST_P(Decode, BoxTopologyAndTransform) {
    const auto w = acistest::box(GetParam().version, {2, 3, 4}, {10, 20, 30});
    const acis::Model m = acis::decode(encode(w, GetParam().form));
    EXPECT_EQ(m.version, GetParam().version);
    ASSERT_EQ(m.bodies.size(), 1u);
    ASSERT_EQ(m.bodies[0].lumps.size(), 1u);
    ASSERT_EQ(m.lumps[0].shells.size(), 1u);
    EXPECT_EQ(m.shells[0].faces.size(), 6u);
    EXPECT_EQ(m.faces.size(), 6u);
    EXPECT_EQ(m.edges.size(), 12u);
    EXPECT_EQ(m.vertices.size(), 8u);
    for (const acis::Face& face : m.faces) {
        ASSERT_EQ(face.loops.size(), 1u);
        EXPECT_EQ(m.loops[std::size_t(face.loops[0])].coedges.size(), 4u);
        ASSERT_GE(face.surface, 0);
        EXPECT_EQ(m.surfaces[std::size_t(face.surface)].kind, Surface::Kind::Plane);
    }
    // Every edge is shared by two faces, through partner coedges.
    std::vector<int> uses(m.edges.size());
    for (const acis::Coedge& c : m.coedges) {
        ASSERT_GE(c.edge, 0);
        ++uses[std::size_t(c.edge)];
        ASSERT_GE(c.partner, 0);
        EXPECT_EQ(m.coedges[std::size_t(c.partner)].edge, c.edge);
        EXPECT_NE(m.coedges[std::size_t(c.partner)].reversed, c.reversed);
    }
    EXPECT_TRUE(std::all_of(uses.begin(), uses.end(), [](int n) { return n == 2; }));
    // The transform moved every vertex and the curves with them.
    for (const acis::Vertex& v : m.vertices) {
        EXPECT_TRUE(v.position.x == 10 || v.position.x == 12) << v.position.x;
        EXPECT_TRUE(v.position.y == 20 || v.position.y == 23) << v.position.y;
        EXPECT_TRUE(v.position.z == 30 || v.position.z == 34) << v.position.z;
    }
    for (const acis::Edge& e : m.edges) {
        ASSERT_GE(e.curve, 0);
        const Curve& c = m.curves[std::size_t(e.curve)];
        EXPECT_EQ(c.kind, Curve::Kind::Straight);
        const acis::Vec3 start = m.vertices[std::size_t(e.start)].position;
        EXPECT_EQ(c.origin, start);
    }
}

TEST_P(Decode, CylinderCirclesAndSurfaces) {
    const auto w = acistest::cylinder(GetParam().version, 5, 8);
    const acis::Model m = acis::decode(encode(w, GetParam().form));
    EXPECT_EQ(m.faces.size(), 3u);
    EXPECT_EQ(m.edges.size(), 2u);
    EXPECT_EQ(m.loops.size(), 4u);
    EXPECT_EQ(m.faces[0].loops.size(), 2u);
    EXPECT_EQ(m.surfaces[std::size_t(m.faces[0].surface)].kind, Surface::Kind::Cone);
    for (int i = 0; i < 2; ++i) {
        const acis::Edge& e = m.edges[std::size_t(i)];
        EXPECT_EQ(e.start, e.end);  // a full circle starts where it ends
        const Curve& c = m.curves[std::size_t(e.curve)];
        ASSERT_EQ(c.kind, Curve::Kind::Ellipse);
        EXPECT_EQ(c.origin, (acis::Vec3{0, 0, 8.0 * i}));
        EXPECT_EQ(c.normal, (acis::Vec3{0, 0, 1}));
        EXPECT_EQ(c.majorAxis, (acis::Vec3{5, 0, 0}));
        EXPECT_EQ(c.ratio, 1);
    }
    EXPECT_TRUE(m.coedges[0].reversed);
    EXPECT_FALSE(m.coedges[1].reversed);
}

TEST_P(Decode, RegionWithSplineSide) {
    const auto w = acistest::region(GetParam().version);
    const acis::Model m = acis::decode(encode(w, GetParam().form));
    ASSERT_EQ(m.faces.size(), 1u);
    EXPECT_TRUE(m.faces[0].doubleSided);
    EXPECT_FALSE(m.faces[0].reversed);
    ASSERT_EQ(m.edges.size(), 3u);
    EXPECT_EQ(m.loops[0].coedges, (std::vector<int>{0, 1, 2}));
    const Curve& spline = m.curves[std::size_t(m.edges[1].curve)];
    ASSERT_EQ(spline.kind, Curve::Kind::Spline);
    EXPECT_EQ(spline.degree, 2);
    // End knots stored twice come out three times: a clamped quadratic.
    EXPECT_EQ(spline.knots, (std::vector<double>{0, 0, 0, 1, 1, 1}));
    ASSERT_EQ(spline.controlPoints.size(), 3u);
    EXPECT_EQ(spline.controlPoints[1], (acis::Vec3{4, 3, 0}));
    EXPECT_TRUE(spline.weights.empty());
    EXPECT_EQ(m.curves[std::size_t(m.edges[0].curve)].kind, Curve::Kind::Straight);
}

INSTANTIATE_TEST_SUITE_P(Forms, Decode, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeForms, TextAndBinaryGiveTheSameVertices) {
    const auto w = acistest::box(20800, {1, 2, 3}, {-5, 0, 7});
    const acis::Model text = acis::decode(w.sat());
    const acis::Model binary = acis::decode(w.sab());
    ASSERT_EQ(text.vertices.size(), binary.vertices.size());
    for (std::size_t i = 0; i < text.vertices.size(); ++i)
        EXPECT_EQ(text.vertices[i].position, binary.vertices[i].position);
}

// Newer writers add attributes holding eight-byte integers and curves in
// surface parameters holding parameter pairs: records the model does not
// need, read past in both forms.
TEST(DecodeForms, RecordsOfNewerWritersAreReadPast) {
    using namespace acistest;
    ModelWriter w = box(22300, {1, 2, 3}, {-5, 0, 7});
    w.add("int64_attrib-name_attrib-gen-attrib",
          {ptr(-1), ptr(-1), ptr(0), integer(2), longInteger(std::int64_t{1} << 40),
           word("AcProfileEdgeIndex")});
    w.add("pcurve", {integer(0), real(0), open(), word("exp_par_cur"), word("nubs"), integer(1),
                     word("open"), integer(2), real(0), integer(1), real(1), integer(1),
                     parameters(0.25, 0.5), parameters(0.75, 0.5), close()});
    const acis::Model plain = acis::decode(box(22300, {1, 2, 3}, {-5, 0, 7}).sab());
    for (const auto& bytes : {w.sat(), w.sab()}) {
        const acis::Model m = acis::decode(bytes);
        ASSERT_EQ(m.vertices.size(), plain.vertices.size());
        for (std::size_t i = 0; i < m.vertices.size(); ++i)
            EXPECT_EQ(m.vertices[i].position, plain.vertices[i].position);
        EXPECT_EQ(m.faces.size(), 6u);
    }
}

// Tolerant edges, coedges and vertices (a kind named after the one it
// extends, its own fields after that one's) are edges, coedges and vertices.
TEST(DecodeForms, TolerantTopologyIsTheTopologyItExtends) {
    using namespace acistest;
    ModelWriter w = box(22300, {1, 2, 3}, {-5, 0, 7});
    const acis::Model plain = acis::decode(w.sab());
    for (auto& r : w.records) {
        if (r.name == "edge") {
            r.name = "tedge-edge";
            r.fields.push_back(real(1e-4));
            r.fields.push_back(integer(22300));
        } else if (r.name == "coedge") {
            r.name = "tcoedge-coedge";
            for (const Field& f : {ptr(-1), real(0), real(1), ptr(-1)}) r.fields.push_back(f);
        } else if (r.name == "vertex") {
            r.name = "tvertex-vertex";
            for (const Field& f : {integer(-1), real(1e-4), real(2e-4)}) r.fields.push_back(f);
        }
    }
    for (const auto& bytes : {w.sat(), w.sab()}) {
        const acis::Model m = acis::decode(bytes);
        ASSERT_EQ(m.edges.size(), plain.edges.size());
        ASSERT_EQ(m.coedges.size(), plain.coedges.size());
        ASSERT_EQ(m.vertices.size(), plain.vertices.size());
        for (std::size_t i = 0; i < m.edges.size(); ++i) {
            EXPECT_EQ(m.edges[i].start, plain.edges[i].start);
            EXPECT_EQ(m.edges[i].end, plain.edges[i].end);
        }
        for (std::size_t i = 0; i < m.coedges.size(); ++i) {
            EXPECT_EQ(m.coedges[i].partner, plain.coedges[i].partner);
            EXPECT_EQ(m.coedges[i].reversed, plain.coedges[i].reversed);
        }
        for (std::size_t i = 0; i < m.vertices.size(); ++i)
            EXPECT_EQ(m.vertices[i].position, plain.vertices[i].position);
    }
}

TEST(DecodeForms, RationalSplineKeepsWeights) {
    acistest::ModelWriter w = acistest::region(400);
    for (auto& r : w.records) {
        if (r.name != "intcurve-curve") continue;
        using namespace acistest;
        r.fields = {forward(), open(), word("exact_cur"), word("nurbs"), integer(2), word("open"),
                    integer(2), real(0), integer(2), real(1), integer(2),
                    position(4, 0, 0), real(1), position(4, 3, 0), real(0.5), position(2, 3, 0), real(1),
                    close()};
    }
    const acis::Model m = acis::decode(w.sab());
    const Curve& c = m.curves[std::size_t(m.edges[1].curve)];
    ASSERT_EQ(c.kind, Curve::Kind::Spline);
    EXPECT_EQ(c.weights, (std::vector<double>{1, 0.5, 1}));
}

}  // namespace
