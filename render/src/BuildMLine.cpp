// MLINE: the style's parallel elements along the vertices, with their gaps,
// the fill between the outermost ones, caps and mitre lines.
#include <cmath>
#include <numbers>

#include "Builder.h"

namespace render::detail {

void Builder::drawMLine(const dwg::MLine& line, const Style& style, const Frame& frame) {
    const std::size_t n = line.vertices.size();
    if (n < 2) return;
    const Transform& m = frame.transform;
    std::size_t elements = 0;
    for (const dwg::MLineVertex& v : line.vertices)
        elements = std::max(elements, v.elementParameters.size());
    if (elements == 0) return;
    // Where element k passes vertex i.
    auto at = [&](std::size_t i, std::size_t k) -> std::optional<Vec3> {
        const dwg::MLineVertex& v = line.vertices[i];
        if (k >= v.elementParameters.size() || v.elementParameters[k].empty()) return std::nullopt;
        return v3(v.position) + v3(v.miter) * v.elementParameters[k][0];
    };
    // By block, here, is the MLINE's own colour or linetype.
    auto colourOf = [&](const dwg::Color& colour) {
        return colour.kind == dwg::Color::Kind::ByBlock ? style.colour
                                                        : resolveColour(colour, frame, style.layer);
    };
    const std::size_t outer = elements - 1;
    const std::size_t segments = line.closed ? n : n - 1;

    if (line.filled) {
        std::vector<Vec3> outline;
        for (std::size_t i = 0; i < n; ++i)
            if (const auto p = at(i, 0)) outline.push_back(m.apply(*p));
        for (std::size_t i = n; i-- > 0;)
            if (const auto p = at(i, outer)) outline.push_back(m.apply(*p));
        if (outline.size() >= 3) {
            outline.push_back(outline.front());
            beginItem(fillKind(), colourOf(line.fillColor));
            addPolyline(outline);
            endItem();
        }
    }

    for (std::size_t k = 0; k < elements; ++k) {
        Style elementStyle = style;
        if (k < line.elements.size()) {
            const dwg::MLineElement& element = line.elements[k];
            elementStyle.colour = colourOf(element.color);
            const auto found = linetypes_.find(element.linetype);
            if (element.linetype != 0 && element.linetype != drawing_.header.linetypeByBlock &&
                element.linetype != drawing_.header.linetypeByLayer && found != linetypes_.end())
                elementStyle.linetype = found->second;
        }
        // Stretches that meet are one polyline, so that linetypes run on.
        std::vector<Vec3> run;
        beginItem(Item::Kind::Stroke, elementStyle.colour);
        auto stretch = [&](Vec3 from, Vec3 to) {
            if (run.empty() || !(run.back() == from)) {
                if (run.size() > 1) addPolyline(run);
                run.assign({from});
            }
            run.push_back(to);
        };
        for (std::size_t i = 0; i < segments; ++i) {
            const auto start = at(i, k), end = at((i + 1) % n, k);
            if (!start || !end) continue;
            const std::vector<double>& stretches = line.vertices[i].elementParameters[k];
            const Vec3 direction = v3(line.vertices[i].direction);
            if (stretches.size() <= 1) {
                stretch(m.apply(*start), m.apply(*end));
                continue;
            }
            // Drawn from each start to its stop; a last start runs on to the next vertex.
            for (std::size_t j = 1; j < stretches.size(); j += 2)
                stretch(m.apply(*start + direction * stretches[j]),
                        m.apply(j + 1 < stretches.size() ? *start + direction * stretches[j + 1]
                                                         : *end));
        }
        if (run.size() > 1) addPolyline(run);
        endItem(&elementStyle);
    }

    // Lines across the elements: caps at the open ends, mitres at the bends.
    auto across = [&](std::size_t i, bool round, Vec3 outward) {
        const auto a = at(i, 0), b = at(i, outer);
        if (!a || !b) return;
        beginItem(Item::Kind::Stroke, style.colour);
        if (round) {
            const Vec3 middle = (*a + *b) * 0.5;
            const double radius = length(*a - middle);
            const double reach = length(outward);
            if (radius > 0 && reach > 0)
                addArc(m.apply(middle), m.applyLinear(*a - middle),
                       m.applyLinear(outward * (radius / reach)), 0, std::numbers::pi);
        } else {
            const Vec3 cut[2] = {m.apply(*a), m.apply(*b)};
            addPolyline(cut);
        }
        endItem(&style);
    };
    if (!line.closed) {
        const Vec3 startOut = v3(line.vertices.front().direction) * -1;
        const Vec3 endOut = v3(line.vertices[n - 2].direction);
        if (!line.suppressStartCaps && (line.startSquareCap || line.startRoundCap))
            across(0, line.startRoundCap, startOut);
        if (!line.suppressEndCaps && (line.endSquareCap || line.endRoundCap))
            across(n - 1, line.endRoundCap, endOut);
    }
    if (line.showMiters)
        for (std::size_t i = line.closed ? 0 : 1; i < (line.closed ? n : n - 1); ++i)
            across(i, false, {});
}

}  // namespace render::detail
