// Every R2004-R2018 sample read into a drawing and compared with facts.json:
// version, entity counts per space, layer and block names, header extents
// and the first LINE/CIRCLE/ARC/TEXT/LWPOLYLINE of model space.
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "SampleFacts.h"
#include "SampleFiles.h"

namespace {

using Json = nlohmann::json;
using Counts = std::map<std::string, int>;

bool isPagedVersion(const std::string& key) {
    for (const char* folder : {"R2004/", "R2007/", "R2010/", "R2013/", "R2018/"})
        if (key.rfind(folder, 0) == 0) return true;
    return false;
}

Counts countsOf(const Json& facts) {
    Counts counts;
    for (const auto& [type, n] : facts.items()) counts[type] = n.get<int>();
    return counts;
}

void add(Counts& into, const Counts& from) {
    for (const auto& [type, n] : from) into[type] += n;
}

struct SpaceCounts {
    Counts model;
    Counts paper;
    Counts blocks;
};

SpaceCounts countBySpace(const dwg::Drawing& drawing) {
    SpaceCounts counts;
    for (const dwg::Block& block : drawing.blocks) {
        const Counts inBlock = dwg::countEntityTypes(block);
        add(block.modelSpace   ? counts.model
            : block.paperSpace ? counts.paper
                               : counts.blocks,
            inBlock);
    }
    return counts;
}

// Facts are printed with six decimals; allow that, relative for large values.
void expectNear(double actual, double expected, const std::string& what) {
    EXPECT_NEAR(actual, expected, 2e-6 * std::max(1.0, std::fabs(expected))) << what;
}

void expectPoint(const dwg::Point3& actual, const Json& expected, const std::string& what) {
    expectNear(actual.x, expected.at(0).get<double>(), what + ".x");
    expectNear(actual.y, expected.at(1).get<double>(), what + ".y");
    if (expected.size() > 2) expectNear(actual.z, expected.at(2).get<double>(), what + ".z");
}

void expectPoint(const dwg::Point2& actual, const Json& expected, const std::string& what) {
    expectPoint(dwg::Point3{actual.x, actual.y, 0}, expected, what);
}

// The entity of that type with the lowest handle, in any block.
template <typename T>
const T* lowestHandleOf(const dwg::Drawing& drawing, const std::string& typeName) {
    const T* found = nullptr;
    dwg::Handle lowest = ~dwg::Handle{0};
    for (const dwg::Block& block : drawing.blocks)
        for (const dwg::Entity& entity : block.entities)
            if (entity.typeName == typeName && entity.header.handle < lowest)
                if (const auto* data = std::get_if<T>(&entity.data)) {
                    found = data;
                    lowest = entity.header.handle;
                }
    return found;
}

void expectFirstEntities(const dwg::Drawing& drawing, const Json& first) {
    if (first.contains("LINE")) {
        const auto* line = lowestHandleOf<dwg::Line>(drawing, "LINE");
        ASSERT_NE(line, nullptr);
        expectPoint(line->start, first.at("LINE").at("start"), "LINE start");
        expectPoint(line->end, first.at("LINE").at("end"), "LINE end");
    }
    if (first.contains("CIRCLE")) {
        const auto* circle = lowestHandleOf<dwg::Circle>(drawing, "CIRCLE");
        ASSERT_NE(circle, nullptr);
        expectPoint(circle->center, first.at("CIRCLE").at("center"), "CIRCLE center");
        expectNear(circle->radius, first.at("CIRCLE").at("radius").get<double>(), "CIRCLE radius");
    }
    if (first.contains("ARC")) {
        const auto* arc = lowestHandleOf<dwg::Arc>(drawing, "ARC");
        ASSERT_NE(arc, nullptr);
        expectPoint(arc->center, first.at("ARC").at("center"), "ARC center");
        expectNear(arc->radius, first.at("ARC").at("radius").get<double>(), "ARC radius");
        expectNear(arc->startAngle, first.at("ARC").at("start_angle").get<double>(), "ARC start");
        expectNear(arc->endAngle, first.at("ARC").at("end_angle").get<double>(), "ARC end");
    }
    if (first.contains("TEXT")) {
        const auto* text = lowestHandleOf<dwg::Text>(drawing, "TEXT");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->text, first.at("TEXT").at("text").get<std::string>());
        expectNear(text->height, first.at("TEXT").at("height").get<double>(), "TEXT height");
        expectPoint(text->insertion, first.at("TEXT").at("insertion"), "TEXT insertion");
    }
    if (first.contains("LWPOLYLINE")) {
        const auto* polyline = lowestHandleOf<dwg::LwPolyline>(drawing, "LWPOLYLINE");
        ASSERT_NE(polyline, nullptr);
        const Json& expected = first.at("LWPOLYLINE");
        ASSERT_EQ(polyline->points.size(), expected.at("num_points").get<std::size_t>());
        for (std::size_t i = 0; i < expected.at("points").size(); ++i)
            expectPoint(polyline->points[i], expected.at("points").at(i),
                        "LWPOLYLINE point " + std::to_string(i));
    }
}

// Sorted, each name once (anonymous blocks share names).
std::vector<std::string> sortedNames(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<std::string> stringsOf(const Json& array) {
    std::vector<std::string> out;
    for (const Json& item : array) out.push_back(item.get<std::string>());
    return out;
}

// Where facts.json and this reader are known to differ, and why.
// In the R2004 copy of the AcadSharp sample the other reader did not resolve
// the class-based entities that it finds in every other copy of that drawing.
const std::set<std::string> kClassEntitiesMissingFromR2004Facts = {
    "IMAGE", "MESH", "MULTILEADER", "PDFUNDERLAY", "UNKNOWN_ENT", "WIPEOUT"};

class SampleFacts : public ::testing::Test {
  protected:
    void SetUp() override { TESSALY_REQUIRE_SAMPLES_OR_SKIP(); }
};

TEST_F(SampleFacts, EveryPagedSampleMatchesTheIndependentReader) {
    int files = 0;
    for (const auto& [key, facts] : testsupport::sampleFacts().items()) {
        if (!isPagedVersion(key)) continue;
        SCOPED_TRACE(key);
        ++files;
        dwg::Drawing drawing;
        ASSERT_NO_THROW(drawing = dwg::read(testsupport::samplesFolder() / key));
        EXPECT_EQ(dwg::versionCode(drawing.version), facts.at("version").get<std::string>());

        SpaceCounts counts = countBySpace(drawing);
        const Counts expectedModel = countsOf(facts.at("modelspace"));
        if (key == "R2004/acadsharp_sample_AC1018.dwg") {
            for (const std::string& type : kClassEntitiesMissingFromR2004Facts) {
                EXPECT_GT(counts.model[type], 0) << type;
                counts.model.erase(type);
            }
        }
        if (key.find("acadsharp_sample_") != std::string::npos && key.rfind("R2004/", 0) != 0) {
            // From R2007 on the other reader leaves out the two ACAD_TABLE entities
            // that it counts in the R2000 copy; here they stay, as unknown entities.
            EXPECT_EQ(counts.model["UNKNOWN_ENT"], 2);
            counts.model.erase("UNKNOWN_ENT");
        }
        EXPECT_EQ(counts.model, expectedModel);
        EXPECT_EQ(counts.paper, countsOf(facts.at("paperspace")));
        EXPECT_EQ(counts.blocks, countsOf(facts.at("blocks_total")));

        std::vector<std::string> layers;
        for (const dwg::Layer& layer : drawing.layers) layers.push_back(layer.name);
        EXPECT_EQ(sortedNames(layers), stringsOf(facts.at("layer_names")));
        std::vector<std::string> blocks;
        for (const dwg::Block& block : drawing.blocks) blocks.push_back(block.name);
        EXPECT_EQ(sortedNames(blocks), stringsOf(facts.at("block_names")));

        if (facts.contains("header_extmin")) {
            ASSERT_TRUE(drawing.header.extentsMin && drawing.header.extentsMax);
            expectPoint(*drawing.header.extentsMin, facts.at("header_extmin"), "EXTMIN");
            expectPoint(*drawing.header.extentsMax, facts.at("header_extmax"), "EXTMAX");
        } else {
            EXPECT_FALSE(drawing.header.extentsMin)
                << facts.at("header_extents").get<std::string>();
        }
        if (facts.contains("first_entities"))
            expectFirstEntities(drawing, facts.at("first_entities"));
    }
    EXPECT_GT(files, 90);
}

}  // namespace

namespace {

// R2018 multi-line attributes embed an MTEXT; its value, tag and text style
// come out like those of the single-line attributes beside them.
TEST_F(SampleFacts, R2018MultiLineAttributesAreDecoded) {
    const dwg::Drawing drawing =
        dwg::read(testsupport::samplesFolder() / "R2018/acadsharp_sample_AC1032.dwg");
    EXPECT_EQ(drawing.skippedEntities.count("ATTDEF"), 0u);
    const dwg::Insert* withAttributes = nullptr;
    for (const dwg::Entity& entity : drawing.modelSpace()->entities)
        if (const auto* insert = std::get_if<dwg::Insert>(&entity.data);
            insert && insert->attributes.size() == 3)
            withAttributes = insert;
    ASSERT_NE(withAttributes, nullptr);
    const dwg::Text& multiLine = withAttributes->attributes[0].text;
    EXPECT_EQ(multiLine.tag, "MULTI_LINE_ATT");
    EXPECT_EQ(multiLine.text, "my multi line text for the attrrib");
    EXPECT_EQ(multiLine.style, withAttributes->attributes[1].text.style);
    EXPECT_NE(multiLine.style, 0u);

    const dwg::Drawing aec =
        dwg::read(testsupport::samplesFolder() / "R2018/acadsharp_AecObjects.dwg");
    EXPECT_EQ(aec.skippedEntities.count("ATTDEF"), 0u);
    bool found = false;
    for (const dwg::Block& block : aec.blocks)
        for (const dwg::Entity& entity : block.entities)
            if (const auto* text = std::get_if<dwg::Text>(&entity.data);
                text && text->tag == "SPACEOBJECTS:NAME") {
                EXPECT_EQ(text->text, "ROOM");
                EXPECT_EQ(text->kind, dwg::Text::Kind::AttributeDefinition);
                found = true;
            }
    EXPECT_TRUE(found);
}

}  // namespace
