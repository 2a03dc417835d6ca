// The same drawing saved in several versions reads into the same model: the
// samples hold copies of one drawing under one name in several version folders.
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "SampleFiles.h"

namespace {

std::string num(double value) {
    char buffer[40];
    // Six decimals, with -0 written as 0.
    std::snprintf(buffer, sizeof buffer, "%.6f", std::fabs(value) < 5e-7 ? 0.0 : value);
    return buffer;
}

std::string pt(const dwg::Point3& p) {
    return "(" + num(p.x) + "," + num(p.y) + "," + num(p.z) + ")";
}
std::string pt(const dwg::Point2& p) {
    return "(" + num(p.x) + "," + num(p.y) + ")";
}

// Writers end MTEXT paragraphs with "\\P" or with a raw line break; both mean the same.
std::string paragraphs(std::string text) {
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, "\\P");
    return text;
}

// Before R2018 a file cannot hold a multi-line attribute: the saving program
// writes it as a single-line one whose tag gains "_001".
std::string tagOf(const dwg::Text& attribute) {
    const std::string& tag = attribute.tag;
    return tag.ends_with("_001") ? tag.substr(0, tag.size() - 4) : tag;
}

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// Type and geometry, independent of handles and of how the version stores them.
std::string signature(const dwg::Entity& entity) {
    const std::string data = std::visit(
        Overloaded{
            [](const dwg::Line& l) { return pt(l.start) + pt(l.end); },
            [](const dwg::Point& p) { return pt(p.position); },
            [](const dwg::Circle& c) { return pt(c.center) + num(c.radius); },
            [](const dwg::Arc& a) {
                return pt(a.center) + num(a.radius) + num(a.startAngle) + num(a.endAngle);
            },
            [](const dwg::Ellipse& e) {
                return pt(e.center) + pt(e.majorAxis) + num(e.axisRatio) + num(e.startParameter) +
                       num(e.endParameter);
            },
            [](const dwg::LwPolyline& p) {
                std::string out = p.closed ? "closed" : "open";
                for (const auto& point : p.points) out += pt(point);
                for (double bulge : p.bulges) out += num(bulge);
                return out;
            },
            [](const dwg::Polyline& p) {
                std::string out;
                for (const auto& vertex : p.vertices) out += pt(vertex.position);
                return out + std::to_string(p.faces.size());
            },
            [](const dwg::Spline& s) {
                // A copy may keep the fit points where another keeps the control
                // points; both run from the same start to the same end.
                const auto& points = s.fitPoints.empty() ? s.controlPoints : s.fitPoints;
                return std::to_string(s.degree) +
                       (points.empty() ? "" : pt(points.front()) + pt(points.back()));
            },
            [](const dwg::Text& t) {
                return t.text + pt(t.insertion) + num(t.height) + num(t.rotation);
            },
            [](const dwg::MText& t) {
                return paragraphs(t.text) + pt(t.insertion) + num(t.height);
            },
            [](const dwg::Insert& i) {
                std::string out = pt(i.insertion) + pt(i.scale) + num(i.rotation);
                for (const auto& attribute : i.attributes)
                    out += tagOf(attribute.text) + "=" + attribute.text.text;
                return out;
            },
            [](const dwg::Face& f) {
                return pt(f.corners[0]) + pt(f.corners[1]) + pt(f.corners[2]) + pt(f.corners[3]);
            },
            [](const dwg::Hatch& h) { return h.patternName + std::to_string(h.loops.size()); },
            [](const dwg::Dimension& d) {
                return pt(d.definitionPoint) + pt(d.firstPoint) + pt(d.secondPoint);
            },
            [](const dwg::Leader& l) {
                std::string out;
                for (const auto& point : l.points) out += pt(point);
                return out;
            },
            [](const dwg::ConstructionLine& c) { return pt(c.point) + pt(c.direction); },
            [](const auto&) { return std::string(); },
        },
        entity.data);
    return entity.typeName + " " + data;
}

using Model = std::map<std::string, std::multiset<std::string>>;  // space -> entity signatures

Model modelOf(const dwg::Drawing& drawing) {
    Model model;
    for (const dwg::Block& block : drawing.blocks) {
        // Anonymous blocks (dimensions, dynamic-block copies) are regenerated on every save.
        if (block.anonymous && !block.modelSpace && !block.paperSpace) continue;
        // From R2010 the dynamic block's definition holds geometry that older
        // copies keep in its anonymous copy.
        if (block.name == "my-dynamic-block") continue;
        const std::string space = block.modelSpace   ? "model"
                                  : block.paperSpace ? "paper"
                                                     : block.name;
        for (const dwg::Entity& entity : block.entities) model[space].insert(signature(entity));
    }
    return model;
}

std::vector<std::string> differences(const Model& a, const Model& b) {
    std::vector<std::string> out;
    std::set<std::string> spaces;
    for (const auto& [space, _] : a) spaces.insert(space);
    for (const auto& [space, _] : b) spaces.insert(space);
    for (const std::string& space : spaces) {
        const auto& left = a.count(space) ? a.at(space) : std::multiset<std::string>{};
        const auto& right = b.count(space) ? b.at(space) : std::multiset<std::string>{};
        std::vector<std::string> onlyLeft, onlyRight;
        std::set_difference(left.begin(), left.end(), right.begin(), right.end(),
                            std::back_inserter(onlyLeft));
        std::set_difference(right.begin(), right.end(), left.begin(), left.end(),
                            std::back_inserter(onlyRight));
        for (const auto& s : onlyLeft) out.push_back(space + " only first: " + s.substr(0, 160));
        for (const auto& s : onlyRight) out.push_back(space + " only second: " + s.substr(0, 160));
    }
    return out;
}

class SameDrawing : public ::testing::Test {
  protected:
    void SetUp() override { TESSALY_REQUIRE_SAMPLES_OR_SKIP(); }
};

TEST_F(SameDrawing, CopiesInSeveralVersionsReadAlike) {
    // Copies of one drawing share their file name (the AcadSharp sample also
    // carries its version in the name).
    std::map<std::string, std::vector<std::filesystem::path>> copies;
    for (const auto& path :
         testsupport::samplesOf({"R2000", "R2004", "R2007", "R2010", "R2013", "R2018"})) {
        std::string name = path.filename().string();
        if (name.rfind("acadsharp_sample_AC", 0) == 0) name = "acadsharp_sample";
        copies[name].push_back(path);
    }
    int compared = 0;
    for (const auto& [name, paths] : copies) {
        if (paths.size() < 2) continue;
        SCOPED_TRACE(name);
        const dwg::Drawing reference = dwg::read(paths.front());
        const Model expected = modelOf(reference);
        for (std::size_t i = 1; i < paths.size(); ++i) {
            SCOPED_TRACE(paths[i].parent_path().filename().string() + " against " +
                         paths.front().parent_path().filename().string());
            const dwg::Drawing copy = dwg::read(paths[i]);
            const auto diff = differences(expected, modelOf(copy));
            EXPECT_EQ(copy.header.extentsMin.has_value(), reference.header.extentsMin.has_value());
            ++compared;
            for (const auto& d : diff) ADD_FAILURE() << d;
        }
    }
    EXPECT_GT(compared, 50);
}

}  // namespace
