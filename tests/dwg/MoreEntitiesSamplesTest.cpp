// Header settings and the less common entities of the real sample drawings,
// checked by geometry the drawings themselves give away (dimension points,
// shared cut lines, the writer's own proxy graphics) and by agreement between
// copies of one drawing saved in different versions.
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "Samples.h"

namespace {

dwg::Drawing readSample(const std::string& name) {
    return dwg::read(testsupport::samplesFolder() / name);
}

void forEachEntity(const dwg::Drawing& drawing, const std::function<void(const dwg::Entity&)>& f) {
    for (const dwg::Block& block : drawing.blocks)
        for (const dwg::Entity& entity : block.entities) f(entity);
}

template <typename T>
std::vector<const T*> all(const dwg::Drawing& drawing) {
    std::vector<const T*> found;
    forEachEntity(drawing, [&](const dwg::Entity& entity) {
        if (const auto* data = std::get_if<T>(&entity.data)) found.push_back(data);
    });
    return found;
}

std::vector<const dwg::MultiLeader*> multiLeaders(const dwg::Drawing& drawing) {
    return all<dwg::MultiLeader>(drawing);
}

double distance(const dwg::Point3& a, const dwg::Point3& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

double dot(const dwg::Point3& a, const dwg::Point3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

dwg::Point3 minus(const dwg::Point3& a, const dwg::Point3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

const std::vector<std::string> kAcadSharpCopies = {
    "R14/acadsharp_sample_AC1014.dwg",   "R2000/acadsharp_sample_AC1015.dwg",
    "R2004/acadsharp_sample_AC1018.dwg", "R2007/acadsharp_sample_AC1021.dwg",
    "R2010/acadsharp_sample_AC1024.dwg", "R2013/acadsharp_sample_AC1027.dwg",
    "R2018/acadsharp_sample_AC1032.dwg"};

class AnnotationSamples : public ::testing::Test {
  protected:
    void SetUp() override { TESSALY_REQUIRE_SAMPLES_OR_SKIP(); }
};

// One drawing saved in seven versions stores its settings in seven layouts;
// a field read out of step would not agree across them.
TEST_F(AnnotationSamples, PointAndLinetypeSettingsAgreeAcrossVersions) {
    struct Case {
        std::vector<std::string> copies;
        int pointMode;
        double pointSize;
        double linetypeScale;
    };
    const std::vector<Case> cases = {
        {kAcadSharpCopies, 34, 0.1, 1.0},
        {{"R13/SYNTHETIC-libredwg-rewrite_v_r13.dwg", "R14/libredwg_v.dwg"}, 0, 0, 0.25},
    };
    for (const Case& c : cases) {
        for (const std::string& name : c.copies) {
            SCOPED_TRACE(name);
            const dwg::HeaderVariables header = readSample(name).header;
            EXPECT_EQ(header.pointDisplayMode, c.pointMode);
            EXPECT_DOUBLE_EQ(header.pointDisplaySize, c.pointSize);
            EXPECT_DOUBLE_EQ(header.linetypeScale, c.linetypeScale);
            EXPECT_TRUE(header.fillMode);
            EXPECT_GT(header.dimTextHeight, 0);
            EXPECT_GT(header.dimScale, 0);
        }
    }
}

// Only types without anything this reader could draw stay undecoded: ACIS
// solids, shapes from shape files, underlays and OLE objects, and unknown
// entities without proxy graphics.
TEST_F(AnnotationSamples, EveryMultiLeaderIsDecodedAndOnlyUndrawableTypesAreSkipped) {
    const std::set<std::string> undrawable = {"3DSOLID",     "REGION",    "SHAPE",
                                              "PDFUNDERLAY", "OLE2FRAME", "UNKNOWN_ENT"};
    int count = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(testsupport::samplesFolder())) {
        if (entry.path().extension() != ".dwg") continue;
        SCOPED_TRACE(entry.path().string());
        const dwg::Drawing drawing = dwg::read(entry.path());
        for (const auto& [type, n] : drawing.skippedEntities)
            EXPECT_TRUE(undrawable.count(type)) << type;
        forEachEntity(drawing, [](const dwg::Entity& entity) {
            if (std::holds_alternative<dwg::Unsupported>(entity.data)) {
                EXPECT_EQ(
                    dwg::decodeProxyGraphics(entity.header.proxyGraphics, {}).primitives.size(), 0u)
                    << entity.typeName;
            }
        });
        for (const dwg::MultiLeader* leader : multiLeaders(drawing)) {
            ++count;
            ASSERT_FALSE(leader->roots.empty());
            ASSERT_TRUE(leader->text.has_value());
            EXPECT_FALSE(leader->text->text.empty());
            EXPECT_GT(leader->text->height, 0);
            EXPECT_GE(leader->text->attachment, 1);
            EXPECT_LE(leader->text->attachment, 3);
            EXPECT_NE(leader->style, 0u);
            for (const dwg::MLeaderRoot& root : leader->roots) {
                EXPECT_NEAR(std::hypot(root.direction.x, root.direction.y, root.direction.z), 1,
                            1e-9);
                ASSERT_FALSE(root.lines.empty());
                for (const dwg::MLeaderLine& line : root.lines) {
                    EXPECT_FALSE(line.points.empty());
                    EXPECT_GT(line.arrowSize, 0);
                    EXPECT_EQ(line.leaderType, 1);
                }
            }
        }
    }
    EXPECT_EQ(count, 143);
}

// Left-attached text starts where the landing and the gap after it end.
TEST_F(AnnotationSamples, TextStartsPastTheLandingAndGap) {
    int checked = 0;
    for (const char* name : {"R2013/ezdxf_dim_linear_tutorial.dwg",
                             "R2013/ezdxf_dim_radial_tutorial.dwg", "R2018/libredwg_Leader.dwg"}) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        for (const dwg::MultiLeader* leader : multiLeaders(drawing)) {
            const dwg::MLeaderRoot& root = leader->roots.front();
            const double along =
                dot(minus(leader->text->insertion, root.connection), root.direction);
            if (leader->text->attachment == 1) {
                EXPECT_NEAR(along, root.landingDistance + leader->landingGap, 1e-6);
                ++checked;
            } else {
                EXPECT_GT(along,
                          root.landingDistance);  // centred or right-aligned text lies beyond
            }
        }
    }
    EXPECT_GE(checked, 15);
}

// The tutorials label the points a dimension is built on; each label's arrow
// must touch the point the dimension stores.
TEST_F(AnnotationSamples, LabelledArrowsTouchTheDimensionPoints) {
    for (const char* name :
         {"R2013/ezdxf_dim_linear_tutorial.dwg", "R2013/ezdxf_dim_radial_tutorial.dwg"}) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        std::vector<dwg::Point3> dimensionPoints;
        forEachEntity(drawing, [&](const dwg::Entity& entity) {
            if (const auto* d = std::get_if<dwg::Dimension>(&entity.data)) {
                if (d->kind == dwg::Dimension::Kind::Radius) {
                    dimensionPoints.push_back(d->definitionPoint);
                } else {
                    dimensionPoints.push_back(d->firstPoint);
                    dimensionPoints.push_back(d->secondPoint);
                }
            }
        });
        int labels = 0;
        for (const dwg::MultiLeader* leader : multiLeaders(drawing)) {
            const std::string& label = leader->text->text;
            if (label != "p1" && label != "p2" && label != "center") continue;
            ++labels;
            const dwg::Point3 tip = leader->roots.front().lines.front().points.front();
            double nearest = 1e300;
            for (const dwg::Point3& p : dimensionPoints)
                nearest = std::min(nearest, distance(p, tip));
            EXPECT_LT(nearest, 1e-6) << label;
        }
        EXPECT_GE(labels, 3);
    }
}

TEST_F(AnnotationSamples, MultiLeadersAgreeAcrossVersions) {
    const auto reference = readSample(kAcadSharpCopies.back());
    const auto expected = multiLeaders(reference);
    ASSERT_EQ(expected.size(), 15u);
    for (const std::string& name : kAcadSharpCopies) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        const auto actual = multiLeaders(drawing);
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            EXPECT_EQ(actual[i]->text->text, expected[i]->text->text);
            EXPECT_LT(distance(actual[i]->text->insertion, expected[i]->text->insertion), 1e-9);
            EXPECT_EQ(actual[i]->textFrame, expected[i]->textFrame);
            const auto& line = actual[i]->roots.front().lines.front();
            const auto& expectedLine = expected[i]->roots.front().lines.front();
            EXPECT_LT(distance(line.points.front(), expectedLine.points.front()), 1e-9);
            EXPECT_EQ(line.arrowSize, expectedLine.arrowSize);
            EXPECT_EQ(line.color.kind, expectedLine.color.kind);
        }
    }
}

}  // namespace

namespace {

dwg::Point3 along(const dwg::Point3& from, const dwg::Point3& direction, double length) {
    return {from.x + direction.x * length, from.y + direction.y * length,
            from.z + direction.z * length};
}

// Each multileader also carries the graphics its writer drew for it: the
// leader line ends at the root's connection point, the arrowhead touches the
// line's first vertex, and a landing, where drawn, runs along the root's
// direction for its landing distance.
TEST_F(AnnotationSamples, MultiLeadersAgreeWithTheirWritersGraphics) {
    using Kind = dwg::ProxyPrimitive::Kind;
    int leaders = 0;
    int landings = 0;
    for (const char* name :
         {"R2018/acadsharp_sample_AC1032.dwg", "R2007/acadsharp_sample_AC1021.dwg",
          "R2013/ezdxf_dim_radial_tutorial.dwg", "R14/libredwg_Leader.dwg"}) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        forEachEntity(drawing, [&](const dwg::Entity& entity) {
            const auto* leader = std::get_if<dwg::MultiLeader>(&entity.data);
            if (!leader) return;
            ++leaders;
            const dwg::MLeaderRoot& root = leader->roots.front();
            const dwg::Point3 tip = root.lines.front().points.front();
            bool lineToConnection = false;
            bool arrowAtTip = false;
            const auto graphics = dwg::decodeProxyGraphics(entity.header.proxyGraphics, drawing);
            for (const dwg::ProxyPrimitive& p : graphics.primitives) {
                if (p.kind == Kind::Polygon)
                    for (const dwg::Point3& corner : p.points)
                        arrowAtTip = arrowAtTip || distance(corner, tip) < 1e-6;
                if (p.kind != Kind::Polyline) continue;
                lineToConnection =
                    lineToConnection || distance(p.points.back(), root.connection) < 1e-6;
                if (p.points.size() == 2 && distance(p.points.front(), root.connection) < 1e-6) {
                    ++landings;
                    EXPECT_LT(distance(p.points.back(), along(root.connection, root.direction,
                                                              root.landingDistance)),
                              1e-6);
                }
            }
            EXPECT_TRUE(lineToConnection);
            EXPECT_TRUE(arrowAtTip);
        });
    }
    EXPECT_EQ(leaders, 48);
    EXPECT_GE(landings, 40);
}

// A multiline keeps each element's offset in its style and, per vertex, the
// distance along the miter to where the element passes: the two must agree,
// measured across the path from the justification's reference element.
TEST_F(AnnotationSamples, MultilineElementsSitAtTheirStyleOffsets) {
    int vertices = 0;
    for (const char* name : {"R14/acadsharp_sample_AC1014.dwg", "R2018/acadsharp_sample_AC1032.dwg",
                             "R2000/libredwg_Multiline.dwg", "R2018/libredwg_Multiline.dwg"}) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        for (const dwg::MLine* line : all<dwg::MLine>(drawing)) {
            ASSERT_FALSE(line->elements.empty());
            double top = -1e300, bottom = 1e300;
            for (const dwg::MLineElement& e : line->elements) {
                top = std::max(top, e.offset);
                bottom = std::min(bottom, e.offset);
            }
            const double reference = line->justification == 0   ? top
                                     : line->justification == 2 ? bottom
                                                                : 0;
            for (const dwg::MLineVertex& v : line->vertices) {
                ASSERT_EQ(v.elementParameters.size(), line->elements.size());
                const dwg::Point3 left{-v.direction.y, v.direction.x, 0};
                for (std::size_t i = 0; i < line->elements.size(); ++i)
                    EXPECT_NEAR(v.elementParameters[i].front() * dot(v.miter, left),
                                (line->elements[i].offset - reference) * line->scale, 1e-9);
                ++vertices;
            }
        }
    }
    EXPECT_GE(vertices, 30);
}

// The five images of the Leader sample are pieces of one picture cut along
// shared lines, each placed by its own corner: every piece's outline meets its
// neighbours' at common corners, which only the right pixel convention gives.
TEST_F(AnnotationSamples, ImagePiecesMeetAlongTheirCuts) {
    for (const char* name :
         {"R14/libredwg_Leader.dwg", "R2007/libredwg_Leader.dwg", "R2018/libredwg_Leader.dwg"}) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        const auto images = all<dwg::RasterImage>(drawing);
        ASSERT_EQ(images.size(), 5u);
        for (const dwg::RasterImage* image : images) {
            EXPECT_TRUE(image->clipping);
            EXPECT_NE(image->imageDefinition, 0u);
            int shared = 0;
            for (const dwg::RasterImage* other : images)
                if (other != image)
                    for (const dwg::Point3& p : dwg::rasterOutline(*image))
                        for (const dwg::Point3& q : dwg::rasterOutline(*other))
                            shared += distance(p, q) < 1e-6;
            EXPECT_GE(shared, 2);
        }
    }
}

TEST_F(AnnotationSamples, MeshEdgesAreTheSidesOfItsFaces) {
    for (const char* name : {"R2018/acadsharp_sample_AC1032.dwg", "R2018/symbol_hoyrystin-1.dwg"}) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        const auto meshes = all<dwg::SubdivisionMesh>(drawing);
        ASSERT_EQ(meshes.size(), 2u);
        for (const dwg::SubdivisionMesh* mesh : meshes) {
            std::set<std::pair<int, int>> sides, edges;
            for (const auto& face : mesh->faces)
                for (std::size_t i = 0; i < face.size(); ++i)
                    sides.insert(std::minmax(face[i], face[(i + 1) % face.size()]));
            for (const auto& [a, b] : mesh->edges) edges.insert(std::minmax(a, b));
            EXPECT_EQ(sides, edges);
        }
    }
}

// The helix's spline starts at its start point and ends `turns` turns up the
// axis, `radius` away from it; R2018 stores a different spline for the same helix.
TEST_F(AnnotationSamples, HelixSplineRunsFromStartToTheTopTurn) {
    for (const char* name :
         {"R2000/libredwg_Helix.dwg", "R2010/libredwg_Helix.dwg", "R2018/libredwg_Helix.dwg"}) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        const auto helices = all<dwg::Helix>(drawing);
        ASSERT_EQ(helices.size(), 1u);
        const dwg::Helix& helix = *helices.front();
        ASSERT_GE(helix.spline.controlPoints.size(), 4u);
        EXPECT_LT(distance(helix.spline.controlPoints.front(), helix.startPoint), 1e-9);
        const dwg::Point3 end = minus(helix.spline.controlPoints.back(), helix.axisBasePoint);
        const double height = dot(end, helix.axisVector);
        EXPECT_NEAR(height, helix.turns * helix.turnHeight, 1e-9);
        EXPECT_NEAR(std::hypot(end.x, end.y, end.z - height), helix.radius, 1e-6);
    }
}

}  // namespace
