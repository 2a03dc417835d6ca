// Header settings and multileaders of the real sample drawings, checked by
// geometry the drawings themselves give away and by agreement between copies of
// one drawing saved in different versions.
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "Samples.h"

namespace {

dwg::Drawing readSample(const std::string& name) {
    return dwg::read(testsupport::samplesFolder() / name);
}

void forEachEntity(const dwg::Drawing& drawing, const std::function<void(const dwg::Entity&)>& f) {
    for (const dwg::Block& block : drawing.blocks)
        for (const dwg::Entity& entity : block.entities) f(entity);
}

std::vector<const dwg::MultiLeader*> multiLeaders(const dwg::Drawing& drawing) {
    std::vector<const dwg::MultiLeader*> found;
    forEachEntity(drawing, [&](const dwg::Entity& entity) {
        if (const auto* leader = std::get_if<dwg::MultiLeader>(&entity.data))
            found.push_back(leader);
    });
    return found;
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

TEST_F(AnnotationSamples, EveryMultiLeaderIsDecoded) {
    int count = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(testsupport::samplesFolder())) {
        if (entry.path().extension() != ".dwg") continue;
        SCOPED_TRACE(entry.path().string());
        const dwg::Drawing drawing = dwg::read(entry.path());
        EXPECT_EQ(drawing.skippedEntities.count("MULTILEADER"), 0u);
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
