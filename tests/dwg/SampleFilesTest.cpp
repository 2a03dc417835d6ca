// Real drawings from other programs against what an independent reader found
// in them (facts.json beside the samples).
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>

#include "SampleFacts.h"

namespace {

using Json = nlohmann::json;
using testsupport::sampleFacts;

// The samples this reader handles: R13, R14, R2000.
std::vector<std::string> supportedSamples() {
    std::vector<std::string> names;
    for (const auto& [name, fact] : sampleFacts().items()) {
        const std::string version = fact.at("version").get<std::string>();
        if (version == "AC1012" || version == "AC1014" || version == "AC1015")
            names.push_back(name);
    }
    return names;
}

std::map<std::string, int> histogram(const Json& counts) {
    std::map<std::string, int> result;
    for (const auto& [name, n] : counts.items()) result[name] = n.get<int>();
    return result;
}

void add(std::map<std::string, int>& into, const std::map<std::string, int>& from) {
    for (const auto& [name, n] : from) into[name] += n;
}

void expectNear(const dwg::Point3& actual, const Json& expected, double tolerance = 1e-5) {
    EXPECT_NEAR(actual.x, expected.at(0).get<double>(), tolerance);
    EXPECT_NEAR(actual.y, expected.at(1).get<double>(), tolerance);
    if (expected.size() > 2) {
        EXPECT_NEAR(actual.z, expected.at(2).get<double>(), tolerance);
    }
}

void expectNear(const dwg::Point2& actual, const Json& expected, double tolerance = 1e-5) {
    EXPECT_NEAR(actual.x, expected.at(0).get<double>(), tolerance);
    EXPECT_NEAR(actual.y, expected.at(1).get<double>(), tolerance);
}

// The first entity of a type in stored order, which is handle order.
template <typename T>
const T* firstOf(const dwg::Drawing& drawing, const std::string& typeName) {
    const dwg::Entity* first = nullptr;
    for (const dwg::Block& block : drawing.blocks)
        for (const dwg::Entity& entity : block.entities)
            if (entity.typeName == typeName &&
                (!first || entity.header.handle < first->header.handle))
                first = &entity;
    return first ? std::get_if<T>(&first->data) : nullptr;
}

class SampleFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(testsupport::samplesFolder())) {
            if (testsupport::samplesRequired())
                FAIL() << "sample drawings missing: " << testsupport::samplesFolder();
            GTEST_SKIP() << "sample drawings not found at " << testsupport::samplesFolder()
                         << " (set TESSALY_DWG_SAMPLES)";
        }
    }

    dwg::Drawing readSample(const std::string& name) {
        return dwg::read(testsupport::samplesFolder() / name);
    }
};

TEST_F(SampleFiles, EveryR13ToR2000SampleIsRead) {
    const auto names = supportedSamples();
    EXPECT_GE(names.size(), 20u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_NO_THROW(readSample(name));
    }
}

TEST_F(SampleFiles, VersionAndEntityCountsPerSpaceMatchTheFacts) {
    for (const std::string& name : supportedSamples()) {
        SCOPED_TRACE(name);
        const Json& fact = sampleFacts().at(name);
        const dwg::Drawing drawing = readSample(name);
        EXPECT_EQ(dwg::versionCode(drawing.version), fact.at("version").get<std::string>());

        std::map<std::string, int> model, paper, blocks;
        for (const dwg::Block& block : drawing.blocks) {
            const auto counts = dwg::countEntityTypes(block);
            if (block.modelSpace)
                add(model, counts);
            else if (block.paperSpace)
                add(paper, counts);
            else
                add(blocks, counts);
        }
        EXPECT_EQ(model, histogram(fact.at("modelspace")));
        EXPECT_EQ(paper, histogram(fact.at("paperspace")));
        EXPECT_EQ(blocks, histogram(fact.at("blocks_total")));
    }
}

TEST_F(SampleFiles, HeaderExtentsMatchOrAreAbsent) {
    for (const std::string& name : supportedSamples()) {
        SCOPED_TRACE(name);
        const Json& fact = sampleFacts().at(name);
        const dwg::Drawing drawing = readSample(name);
        if (fact.contains("header_extmin")) {
            ASSERT_TRUE(drawing.header.extentsMin.has_value());
            ASSERT_TRUE(drawing.header.extentsMax.has_value());
            expectNear(*drawing.header.extentsMin, fact.at("header_extmin"));
            expectNear(*drawing.header.extentsMax, fact.at("header_extmax"));
        } else {
            EXPECT_FALSE(drawing.header.extentsMin.has_value());
            EXPECT_FALSE(drawing.header.extentsMax.has_value());
        }
        if (fact.contains("insunits") && !fact.at("insunits").is_null()) {
            EXPECT_EQ(drawing.header.insertionUnits, fact.at("insunits").get<int>());
        }
    }
}

TEST_F(SampleFiles, LayersAndBlockNamesMatch) {
    for (const std::string& name : supportedSamples()) {
        SCOPED_TRACE(name);
        const Json& fact = sampleFacts().at(name);
        const dwg::Drawing drawing = readSample(name);
        std::set<std::string> layers, expectedLayers;
        for (const dwg::Layer& layer : drawing.layers) layers.insert(layer.name);
        for (const Json& layer : fact.at("layer_names"))
            expectedLayers.insert(layer.get<std::string>());
        EXPECT_EQ(layers, expectedLayers);

        // Block names compare without regard to case, as AutoCAD does.
        auto upper = [](std::string name) {
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return name;
        };
        std::set<std::string> blocks, expectedBlocks;
        for (const dwg::Block& block : drawing.blocks) blocks.insert(upper(block.name));
        for (const Json& block : fact.at("block_names"))
            expectedBlocks.insert(upper(block.get<std::string>()));
        EXPECT_EQ(blocks, expectedBlocks);
        ASSERT_NE(drawing.modelSpace(), nullptr);
    }
}

TEST_F(SampleFiles, FirstEntitiesHaveTheirGeometry) {
    int checked = 0;
    for (const std::string& name : supportedSamples()) {
        SCOPED_TRACE(name);
        if (!sampleFacts().at(name).contains("first_entities")) continue;
        const Json& first = sampleFacts().at(name).at("first_entities");
        const dwg::Drawing drawing = readSample(name);
        if (first.contains("LINE")) {
            const auto* line = firstOf<dwg::Line>(drawing, "LINE");
            ASSERT_NE(line, nullptr);
            expectNear(line->start, first.at("LINE").at("start"));
            expectNear(line->end, first.at("LINE").at("end"));
            ++checked;
        }
        if (first.contains("CIRCLE")) {
            const auto* circle = firstOf<dwg::Circle>(drawing, "CIRCLE");
            ASSERT_NE(circle, nullptr);
            expectNear(circle->center, first.at("CIRCLE").at("center"));
            EXPECT_NEAR(circle->radius, first.at("CIRCLE").at("radius").get<double>(), 1e-5);
            ++checked;
        }
        if (first.contains("ARC")) {
            const auto* arc = firstOf<dwg::Arc>(drawing, "ARC");
            ASSERT_NE(arc, nullptr);
            expectNear(arc->center, first.at("ARC").at("center"));
            EXPECT_NEAR(arc->radius, first.at("ARC").at("radius").get<double>(), 1e-5);
            EXPECT_NEAR(arc->startAngle, first.at("ARC").at("start_angle").get<double>(), 1e-5);
            EXPECT_NEAR(arc->endAngle, first.at("ARC").at("end_angle").get<double>(), 1e-5);
            ++checked;
        }
        if (first.contains("TEXT")) {
            const auto* text = firstOf<dwg::Text>(drawing, "TEXT");
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->text, first.at("TEXT").at("text").get<std::string>());
            EXPECT_NEAR(text->height, first.at("TEXT").at("height").get<double>(), 1e-5);
            expectNear(text->insertion, first.at("TEXT").at("insertion"));
            ++checked;
        }
        if (first.contains("LWPOLYLINE")) {
            const auto* polyline = firstOf<dwg::LwPolyline>(drawing, "LWPOLYLINE");
            ASSERT_NE(polyline, nullptr);
            const Json& points = first.at("LWPOLYLINE").at("points");
            ASSERT_EQ(polyline->points.size(),
                      first.at("LWPOLYLINE").at("num_points").get<std::size_t>());
            for (std::size_t i = 0; i < points.size() && i < polyline->points.size(); ++i)
                expectNear(polyline->points[i], points.at(i));
            ++checked;
        }
    }
    EXPECT_GE(checked, 30);
}

TEST_F(SampleFiles, PolylineVerticesAndInsertAttributesJoinTheirOwners) {
    const dwg::Drawing drawing = readSample("R2000/libredwg_PolyLine3D.dwg");
    const auto* polyline = firstOf<dwg::Polyline>(drawing, "POLYLINE_3D");
    ASSERT_NE(polyline, nullptr);
    EXPECT_EQ(polyline->kind, dwg::Polyline::Kind::Polyline3D);
    EXPECT_EQ(polyline->vertices.size(), 6u);

    const dwg::Drawing withAttributes = readSample("R2000/libredwg_entities-2d.dwg");
    int attributes = 0;
    for (const dwg::Entity& entity : withAttributes.modelSpace()->entities) {
        if (const auto* insert = std::get_if<dwg::Insert>(&entity.data)) {
            EXPECT_NE(withAttributes.findBlock(insert->block), nullptr);
            for (const dwg::AttributeEntity& attribute : insert->attributes) {
                EXPECT_FALSE(attribute.text.tag.empty());
                EXPECT_EQ(attribute.header.owner, entity.header.handle);
                ++attributes;
            }
        }
    }
    EXPECT_EQ(attributes, 1);
}

TEST_F(SampleFiles, DimensionsPointAtTheirAnonymousBlocks) {
    const dwg::Drawing drawing = readSample("R2000/acadsharp_sample_AC1015.dwg");
    int dimensions = 0;
    for (const dwg::Entity& entity : drawing.modelSpace()->entities) {
        if (const auto* dimension = std::get_if<dwg::Dimension>(&entity.data)) {
            const dwg::Block* block = drawing.findBlock(dimension->block);
            ASSERT_NE(block, nullptr) << entity.typeName;
            EXPECT_FALSE(block->entities.empty());
            ++dimensions;
        }
    }
    EXPECT_EQ(dimensions, 11);
}

TEST_F(SampleFiles, LayerStatesAndColoursAreRead) {
    const dwg::Drawing drawing = readSample("R2000/acadsharp_sample_AC1015.dwg");
    auto layer = [&](const std::string& name) -> const dwg::Layer* {
        for (const dwg::Layer& l : drawing.layers)
            if (l.name == name) return &l;
        return nullptr;
    };
    ASSERT_NE(layer("Layer_Off"), nullptr);
    EXPECT_FALSE(layer("Layer_Off")->on);
    EXPECT_TRUE(layer("Layer_Freeze")->frozen);
    EXPECT_TRUE(layer("Layer_Lock")->locked);
    EXPECT_TRUE(layer("0")->on);
    EXPECT_FALSE(layer("0")->frozen);
    EXPECT_EQ(layer("Layer_color_80")->color.kind, dwg::Color::Kind::Index);
    EXPECT_EQ(layer("Layer_color_80")->color.index, 80);
}

// The same drawing saved as R14 and as R2000: the R14 layout (linetype by
// handle, separate layer bits, 3BD points) must give what the R2000 one gives.
TEST_F(SampleFiles, R14AndR2000CopiesOfOneDrawingAgree) {
    const dwg::Drawing r14 = readSample("R14/acadsharp_sample_AC1014.dwg");
    const dwg::Drawing r2000 = readSample("R2000/acadsharp_sample_AC1015.dwg");
    const auto& a = r14.modelSpace()->entities;
    const auto& b = r2000.modelSpace()->entities;
    ASSERT_EQ(a.size(), b.size());
    // R14 keeps names in upper case only, so layers are compared by table position.
    auto layerIndex = [](const dwg::Drawing& d, dwg::Handle h) {
        const dwg::Layer* layer = d.findLayer(h);
        return layer ? layer - d.layers.data() : -1;
    };
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(a[i].typeName + " " + std::to_string(i));
        EXPECT_EQ(a[i].typeName, b[i].typeName);
        EXPECT_GE(layerIndex(r14, a[i].header.layer), 0);
        EXPECT_EQ(layerIndex(r14, a[i].header.layer), layerIndex(r2000, b[i].header.layer));
        EXPECT_EQ(a[i].header.linetypeRef, b[i].header.linetypeRef);
        EXPECT_EQ(a[i].header.color.kind, b[i].header.color.kind);
        EXPECT_EQ(a[i].data.index(), b[i].data.index());
    }
    ASSERT_EQ(r14.layers.size(), r2000.layers.size());
    for (std::size_t i = 0; i < r14.layers.size(); ++i) {
        EXPECT_EQ(r14.layers[i].on, r2000.layers[i].on) << r14.layers[i].name;
        EXPECT_EQ(r14.layers[i].frozen, r2000.layers[i].frozen) << r14.layers[i].name;
    }
}

bool finite(const dwg::Point3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}
bool finite(const dwg::Point2& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// Fields read out of step give nonsense; these checks hold for any drawing.
void expectConsistent(const dwg::Entity& entity) {
    SCOPED_TRACE(entity.typeName);
    std::visit(
        [&](const auto& data) {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, dwg::Circle> || std::is_same_v<T, dwg::Arc>) {
                EXPECT_TRUE(finite(data.center));
                EXPECT_GT(data.radius, 0);
            } else if constexpr (std::is_same_v<T, dwg::Ellipse>) {
                EXPECT_GT(data.axisRatio, 0);
                EXPECT_LE(data.axisRatio, 1 + 1e-9);
                EXPECT_GT(std::hypot(data.majorAxis.x, data.majorAxis.y, data.majorAxis.z), 0);
            } else if constexpr (std::is_same_v<T, dwg::Spline>) {
                if (!data.controlPoints.empty()) {
                    EXPECT_EQ(data.knots.size(), data.controlPoints.size() +
                                                     static_cast<std::size_t>(data.degree) + 1);
                } else {
                    EXPECT_FALSE(data.fitPoints.empty());
                }
                EXPECT_TRUE(data.weights.empty() ||
                            data.weights.size() == data.controlPoints.size());
            } else if constexpr (std::is_same_v<T, dwg::LwPolyline>) {
                EXPECT_GE(data.points.size(), 2u);
                EXPECT_TRUE(data.bulges.empty() || data.bulges.size() == data.points.size());
                EXPECT_TRUE(data.widths.empty() || data.widths.size() == data.points.size());
                for (const auto& p : data.points) EXPECT_TRUE(finite(p));
            } else if constexpr (std::is_same_v<T, dwg::Polyline>) {
                EXPECT_FALSE(data.vertices.empty());
                for (const auto& v : data.vertices) EXPECT_TRUE(finite(v.position));
            } else if constexpr (std::is_same_v<T, dwg::Hatch>) {
                EXPECT_FALSE(data.loops.empty());
                for (const auto& loop : data.loops)
                    EXPECT_TRUE(!loop.points.empty() || !loop.edges.empty());
                // Gradient fills saved for older versions become "SOLID,..." fills.
                EXPECT_EQ(data.solid, data.patternName.rfind("SOLID", 0) == 0);
                EXPECT_EQ(data.solid, data.patternLines.empty());
            } else if constexpr (std::is_same_v<T, dwg::Text>) {
                EXPECT_GT(data.height, 0);
                EXPECT_TRUE(finite(data.insertion));
            } else if constexpr (std::is_same_v<T, dwg::MText>) {
                EXPECT_GT(data.height, 0);
                EXPECT_FALSE(data.text.empty());
            } else if constexpr (std::is_same_v<T, dwg::Insert>) {
                EXPECT_NE(data.block, 0u);
                EXPECT_TRUE(finite(data.insertion));
                EXPECT_NE(data.scale.x, 0);
            } else if constexpr (std::is_same_v<T, dwg::Dimension>) {
                EXPECT_NE(data.block, 0u);
                EXPECT_TRUE(finite(data.definitionPoint));
            } else if constexpr (std::is_same_v<T, dwg::Leader>) {
                EXPECT_GE(data.points.size(), 2u);
            } else if constexpr (std::is_same_v<T, dwg::Face>) {
                for (const auto& corner : data.corners) EXPECT_TRUE(finite(corner));
            } else if constexpr (std::is_same_v<T, dwg::ConstructionLine>) {
                EXPECT_NEAR(std::hypot(data.direction.x, data.direction.y, data.direction.z), 1.0,
                            1e-6);
            } else if constexpr (std::is_same_v<T, dwg::Viewport>) {
                EXPECT_GE(data.width, 0);
                EXPECT_GE(data.height, 0);
            }
        },
        entity.data);
}

TEST_F(SampleFiles, DecodedGeometryIsConsistent) {
    std::set<std::size_t> kindsSeen;
    for (const std::string& name : supportedSamples()) {
        SCOPED_TRACE(name);
        const dwg::Drawing drawing = readSample(name);
        for (const dwg::Block& block : drawing.blocks) {
            for (const dwg::Entity& entity : block.entities) {
                expectConsistent(entity);
                kindsSeen.insert(entity.data.index());
            }
        }
    }
    // Every kind of decoded geometry occurs in the samples.
    EXPECT_EQ(kindsSeen.size(), std::variant_size_v<dwg::EntityData>);
}

}  // namespace
