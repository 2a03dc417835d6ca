// TEXT, ATTRIB, ATTDEF and MTEXT: special symbols and formatting codes,
// alignment, wrapping and stacking, set in the one text face.
#include <cmath>
#include <numbers>

#include "Builder.h"
#include "TextFace.h"
#include "TextLayout.h"

namespace render::detail {
namespace {

Vec3 v3(const dwg::Point3& p) {
    return {p.x, p.y, p.z};
}

}  // namespace

void Builder::drawText(const dwg::Text& text, const Style& style, const Frame& frame) {
    double height = text.height;
    if (!(height > 0) || !std::isfinite(height)) {
        const dwg::TextStyle* textStyle = this->textStyle(text.style);
        height = textStyle && textStyle->fixedHeight > 0 ? textStyle->fixedHeight : 0;
    }
    if (!(height > 0) || !std::isfinite(height)) return;
    const std::string& content =
        text.kind == dwg::Text::Kind::AttributeDefinition ? text.tag : text.text;
    const SimpleText line = parseSimpleText(content);
    if (line.glyphs.empty() && line.decorations.empty()) return;

    double widthFactor =
        text.widthFactor > 0 && std::isfinite(text.widthFactor) ? text.widthFactor : 1;
    double rotation = std::isfinite(text.rotation) ? text.rotation : 0;
    const double oblique = std::isfinite(text.obliqueAngle) ? text.obliqueAngle : 0;
    Vec2 anchor{text.insertion.x, text.insertion.y};
    const Vec2 alignment{text.alignment.x, text.alignment.y};
    const int h = text.horizontalAlignment;
    const int v = text.verticalAlignment;
    const double natural = line.advance * widthFactor;  // in heights

    double dx = 0;  // offset of the baseline start from the anchor, in heights
    double dy = 0;
    if (h == 3 || h == 5) {
        // Aligned and fit: the baseline runs from the insertion point to the
        // alignment point; aligned scales the height, fit the width.
        const Vec2 span = alignment - anchor;
        const double distance = length(span);
        if (distance > 0 && natural > 0) {
            rotation = std::atan2(span.y, span.x);
            if (h == 3)
                height = distance / natural;
            else
                widthFactor *= distance / (natural * height);
        }
    } else if (h != 0 || v != 0) {
        anchor = alignment;
        if (h == 1 || h == 4) dx = -natural / 2;
        if (h == 2) dx = -natural;
        if (h == 4 && v == 0) dy = -0.5;
        if (v == 1) dy = TextFace::instance().descent();
        if (v == 2) dy = -0.5;
        if (v == 3) dy = -1;
    }
    const double tanOblique = std::tan(std::clamp(oblique, -1.4, 1.4));
    const double mirrorX = (text.generation & 2) ? -1 : 1;
    const double mirrorY = (text.generation & 4) ? -1 : 1;
    const double c = std::cos(rotation), s = std::sin(rotation);
    // Local text plane (baseline along x) into the entity's OCS plane.
    auto rotate = [&](Vec2 p) {
        const Vec2 m{p.x * mirrorX, p.y * mirrorY};
        return Vec2{m.x * c - m.y * s, m.x * s + m.y * c};
    };
    const Transform ocs = frame.transform * Transform::objectToWorld(v3(text.extrusion));
    auto toWorld = [&](Vec2 local) {  // local in heights, from the anchor
        const Vec2 p = anchor + rotate(local * height);
        return ocs.plan({p.x, p.y, text.elevation});
    };
    auto toWorldVector = [&](Vec2 local) {
        const Vec2 p = rotate(local * height);
        return ocs.planLinear({p.x, p.y, 0});
    };
    const Vec2 origin = toWorld({dx, dy});
    const Vec2 axisX = toWorldVector({widthFactor, 0});
    const Vec2 axisY = toWorldVector({tanOblique, 1});
    addTextRun(style.colour, origin, axisX, axisY, line.glyphs);
    for (const Decoration& d : line.decorations) {
        const Vec2 ends[2] = {origin + axisX * d.from + axisY * d.y,
                              origin + axisX * d.to + axisY * d.y};
        beginItem(Item::Kind::Stroke, style.colour);
        addPolyline(ends);
        endItem();
    }
}

void Builder::drawMText(const dwg::MText& text, const Style& style, const Frame& frame) {
    const double height = text.height;
    if (!(height > 0) || !std::isfinite(height)) return;
    Vec3 normal = v3(text.extrusion);
    if (!(length(normal) > 1e-12)) normal = {0, 0, 1};
    normal = normal * (1 / length(normal));
    Vec3 xAxis = v3(text.xAxis);
    if (!(length(xAxis) > 1e-12)) xAxis = {1, 0, 0};
    xAxis = xAxis * (1 / length(xAxis));
    const Vec3 yAxis = cross(normal, xAxis);
    const Transform local =
        frame.transform * Transform::fromBasis(v3(text.insertion), xAxis, yAxis, normal);

    MTextBox box;
    box.height = height;
    box.wrapWidth =
        text.rectangleWidth > 0 && std::isfinite(text.rectangleWidth) ? text.rectangleWidth : 0;
    box.attachment = text.attachment;
    box.lineSpacing = text.lineSpacingFactor > 0 && std::isfinite(text.lineSpacingFactor)
                          ? std::min(text.lineSpacingFactor, 10.0)
                          : 1;
    if (const dwg::TextStyle* textStyle = this->textStyle(text.style)) {
        if (textStyle->widthFactor > 0 && std::isfinite(textStyle->widthFactor))
            box.widthFactor = textStyle->widthFactor;
        if (std::isfinite(textStyle->obliqueAngle)) box.oblique = textStyle->obliqueAngle;
    }
    const MTextLayout layout = layoutMText(text.text, box);
    for (const TextFragment& f : layout.fragments) {
        const Colour colour =
            f.colour ? resolveColour(*f.colour, frame, style.layer) : style.colour;
        const Vec2 origin = local.plan({f.origin.x, f.origin.y, 0});
        const Vec2 axisX = local.planLinear({f.height * f.widthFactor, 0, 0});
        const Vec2 axisY = local.planLinear({f.height * std::tan(f.oblique), f.height, 0});
        addTextRun(colour, origin, axisX, axisY, f.glyphs);
        for (const Decoration& d : f.decorations) {
            const Vec2 ends[2] = {origin + axisX * d.from + axisY * d.y,
                                  origin + axisX * d.to + axisY * d.y};
            beginItem(Item::Kind::Stroke, colour);
            addPolyline(ends);
            endItem();
        }
    }
    for (const auto& bar : layout.bars) {
        const Vec2 ends[2] = {local.plan({bar.from.x, bar.from.y, 0}),
                              local.plan({bar.to.x, bar.to.y, 0})};
        beginItem(Item::Kind::Stroke, style.colour);
        addPolyline(ends);
        endItem();
    }
}

}  // namespace render::detail
