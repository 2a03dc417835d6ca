// TEXT, ATTRIB, ATTDEF and MTEXT: special symbols and formatting codes,
// alignment, wrapping and stacking, set in the one text face.
#include <cmath>
#include <numbers>

#include "Builder.h"
#include "Curves.h"
#include "TextFace.h"
#include "TextLayout.h"

namespace render::detail {
namespace {

// The plane of an entity that stores its own x direction and normal, with its
// origin at `at`; degenerate vectors fall back to the world's axes.
Transform planeAt(const dwg::Point3& at, const dwg::Point3& xDirection,
                  const dwg::Point3& extrusion) {
    Vec3 normal = v3(extrusion);
    if (!(length(normal) > 1e-12)) normal = {0, 0, 1};
    normal = normal * (1 / length(normal));
    Vec3 xAxis = v3(xDirection);
    if (!(length(xAxis) > 1e-12)) xAxis = {1, 0, 0};
    xAxis = xAxis * (1 / length(xAxis));
    return Transform::fromBasis(v3(at), xAxis, cross(normal, xAxis), normal);
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
    if (!charge(content.size())) return;
    const SimpleText line = parseSimpleText(content);
    if (line.glyphs.empty() && line.decorations.empty()) return;

    double widthFactor =
        text.widthFactor > 0 && std::isfinite(text.widthFactor) ? text.widthFactor : 1;
    double rotation = oneTurn(text.rotation);
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
        return ocs.apply({p.x, p.y, text.elevation});
    };
    auto toWorldVector = [&](Vec2 local) {
        const Vec2 p = rotate(local * height);
        return ocs.applyLinear({p.x, p.y, 0});
    };
    const Vec3 origin = toWorld({dx, dy});
    const Vec3 axisX = toWorldVector({widthFactor, 0});
    const Vec3 axisY = toWorldVector({tanOblique, 1});
    addGlyphLine(style.colour, origin, axisX, axisY, line.glyphs, line.decorations);
}

void Builder::addGlyphLine(const Colour& colour, Vec3 origin, Vec3 axisX, Vec3 axisY,
                           std::span<const PlacedGlyph> glyphs,
                           std::span<const Decoration> decorations) {
    addTextRun(colour, origin, axisX, axisY, glyphs);
    for (const Decoration& d : decorations) {
        const Vec3 ends[2] = {origin + axisX * d.from + axisY * d.y,
                              origin + axisX * d.to + axisY * d.y};
        beginItem(Item::Kind::Stroke, colour);
        addPolyline(ends);
        endItem();
    }
}

void Builder::drawTolerance(const dwg::Tolerance& tolerance, const Style& style,
                            const Frame& frame) {
    // A feature control frame: rows (^J) of boxed cells (%%v), each as high
    // as two text heights.
    const dwg::HeaderVariables& h = drawing_.header;
    const double height = tolerance.height > 0
                              ? tolerance.height
                              : h.dimTextHeight * (h.dimScale > 0 ? h.dimScale : 1);
    if (!(height > 0) || !std::isfinite(height)) return;
    const Transform local =
        frame.transform * planeAt(tolerance.insertion, tolerance.xDirection, tolerance.extrusion);
    const double cellHeight = 2 * height, padding = height / 2;
    MTextBox box;
    box.height = height;
    box.attachment = 7;  // bottom left: the baseline starts at the cell's inner corner
    if (!charge(tolerance.text.size())) return;
    std::string_view rest = tolerance.text;
    for (int row = 0; !rest.empty() || row == 0; ++row) {
        const std::size_t rowEnd = rest.find("^J");
        std::string_view line = rest.substr(0, rowEnd);
        rest = rowEnd == std::string_view::npos ? std::string_view() : rest.substr(rowEnd + 2);
        const double top = -row * cellHeight, bottom = top - cellHeight;
        double x = 0;
        while (true) {
            const std::size_t cellEnd = line.find("%%v");
            const std::string_view cell = line.substr(0, cellEnd);
            if (!cell.empty()) {
                const MTextLayout layout = layoutMText(cell, box);
                double width = 0;
                for (const TextFragment& f : layout.fragments)
                    for (const PlacedGlyph& g : f.glyphs)
                        width = std::max(width, f.origin.x + (g.x + g.glyph->advance) * f.height *
                                                                 f.widthFactor);
                for (const TextFragment& f : layout.fragments) {
                    const Vec3 origin = local.apply(
                        {x + padding + f.origin.x, bottom + height / 2 + f.origin.y, 0});
                    addGlyphLine(style.colour, origin,
                                 local.applyLinear({f.height * f.widthFactor, 0, 0}),
                                 local.applyLinear({f.height * std::tan(f.oblique), f.height, 0}),
                                 f.glyphs, f.decorations);
                }
                const double right = x + width + 2 * padding;
                const Vec3 frameOutline[5] = {
                    local.apply({x, bottom, 0}), local.apply({right, bottom, 0}),
                    local.apply({right, top, 0}), local.apply({x, top, 0}),
                    local.apply({x, bottom, 0})};
                strokePoints(frameOutline, style);
                x = right;
            }
            if (cellEnd == std::string_view::npos) break;
            line = line.substr(cellEnd + 3);
        }
        if (rowEnd == std::string_view::npos) break;
    }
}

void Builder::drawMText(const dwg::MText& text, const Style& style, const Frame& frame) {
    const double height = text.height;
    if (!(height > 0) || !std::isfinite(height)) return;
    const Transform local = frame.transform * planeAt(text.insertion, text.xAxis, text.extrusion);

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
    if (!charge(text.text.size())) return;
    const MTextLayout layout = layoutMText(text.text, box);
    for (const TextFragment& f : layout.fragments) {
        const Colour colour =
            f.colour ? resolveColour(*f.colour, frame, style.layer) : style.colour;
        const Vec3 origin = local.apply({f.origin.x, f.origin.y, 0});
        const Vec3 axisX = local.applyLinear({f.height * f.widthFactor, 0, 0});
        const Vec3 axisY = local.applyLinear({f.height * std::tan(f.oblique), f.height, 0});
        addGlyphLine(colour, origin, axisX, axisY, f.glyphs, f.decorations);
    }
    for (const auto& bar : layout.bars) {
        const Vec3 ends[2] = {local.apply({bar.from.x, bar.from.y, 0}),
                              local.apply({bar.to.x, bar.to.y, 0})};
        beginItem(Item::Kind::Stroke, style.colour);
        addPolyline(ends);
        endItem();
    }
}

}  // namespace render::detail
