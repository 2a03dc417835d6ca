// LEADER and MULTILEADER: leader lines, arrowheads, landings and content.
#include <cmath>

#include "Builder.h"
#include "Curves.h"

namespace render::detail {

void Builder::drawArrowhead(Vec3 tip, Vec3 from, double size, dwg::Handle arrowBlock,
                            const Style& style, const Frame& frame) {
    const Vec3 leg = from - tip;
    const double legLength = length(leg);
    if (!(legLength > 0) || !(size > 0) || !std::isfinite(size)) return;
    if (arrowBlock != 0 && block(arrowBlock)) {
        // Arrow blocks are drawn a unit long, pointing along +x at the origin.
        const double angle = std::atan2(-leg.y, -leg.x);
        const Transform placement = Transform::translation(tip) * Transform::rotationZ(angle) *
                                    Transform::scaling({size, size, size});
        // `tip` and `from` are view points already.
        Frame view = frame;
        view.transform = Transform();
        drawBlockReference(arrowBlock, placement, style, view);
        return;
    }
    // The standard closed filled arrow, three times as long as it is wide,
    // turned to face the eye.
    const Vec3 along = leg * (1 / legLength);
    const Vec3 across{-along.y, along.x, 0};
    const double acrossLength = length(across);
    if (!(acrossLength > 1e-12)) return;  // seen end-on
    const Vec3 side = across * (size / 6 / acrossLength);
    const Vec3 back = tip + along * size;
    const Vec3 arrow[4] = {tip, back + side, back - side, tip};
    beginItem(Item::Kind::Fill, style.colour);
    addPolyline(arrow);
    endItem();
}

void Builder::drawLeader(const dwg::Leader& leader, const Style& style, const Frame& frame) {
    std::vector<Vec3> points;
    for (const dwg::Point3& p : leader.points) points.push_back(frame.transform.apply(v3(p)));
    if (points.size() < 2) return;
    beginItem(Item::Kind::Stroke, style.colour);
    if (leader.splinePath && points.size() > 2)
        addCurveThrough(points);
    else
        addPolyline(points);
    endItem(&style);
    if (!leader.arrowhead) return;
    // The arrow's size lives in the dimension style: the annotation's text
    // height usually matches it, else the drawing's default text height.
    const double scale = frame.transform.planScale();
    const dwg::HeaderVariables& h = drawing_.header;
    double size = h.dimTextHeight * (h.dimScale > 0 ? h.dimScale : 1) * scale;
    if (const dwg::Entity* annotation = entity(leader.annotation))
        if (const auto* text = std::get_if<dwg::MText>(&annotation->data))
            if (text->height > 0) size = text->height * scale;
    drawArrowhead(points[0], points[1], std::min(size, length(points[1] - points[0])), 0, style,
                  frame);
}

void Builder::drawMultiLeader(const dwg::MultiLeader& leader, const Style& style,
                              const Frame& frame) {
    const Transform& m = frame.transform;
    // By block, here, is the leader entity's own colour or linetype.
    auto colourOf = [&](const dwg::Color& colour) {
        return colour.kind == dwg::Color::Kind::ByBlock ? style.colour
                                                        : resolveColour(colour, frame, style.layer);
    };
    for (const dwg::MLeaderRoot& root : leader.roots) {
        const Vec3 connection = m.apply(v3(root.connection));
        for (const dwg::MLeaderLine& line : root.lines) {
            if (line.leaderType == 0 || line.points.empty()) continue;
            dwg::EntityHeader header;
            header.layer = style.layer;
            header.color = line.color;
            header.linetypeRef = line.linetype == 0 ? dwg::EntityHeader::LinetypeRef::ByLayer
                                                    : dwg::EntityHeader::LinetypeRef::Explicit;
            header.linetype = line.linetype;
            Style lineStyle;
            resolveStyle(header, frame, lineStyle);
            lineStyle.colour = colourOf(line.color);
            if (line.linetype != 0 && line.linetype == drawing_.header.linetypeByBlock)
                lineStyle.linetype = style.linetype;
            std::vector<Vec3> points;
            for (const dwg::Point3& p : line.points) points.push_back(m.apply(v3(p)));
            points.push_back(connection);
            beginItem(Item::Kind::Stroke, lineStyle.colour);
            if (line.leaderType == 2 && points.size() > 2)
                addCurveThrough(points);
            else
                addPolyline(points);
            endItem(&lineStyle);
            if (points.size() >= 2)
                drawArrowhead(points[0], points[1], line.arrowSize * m.planScale(), line.arrowBlock,
                              lineStyle, frame);
        }
        if (leader.landing && root.landingDistance > 0 && std::isfinite(root.landingDistance)) {
            const Vec3 landing[2] = {
                connection,
                m.apply(v3(root.connection) + v3(root.direction) * root.landingDistance)};
            beginItem(Item::Kind::Stroke, style.colour);
            addPolyline(landing);
            endItem(&style);
        }
    }
    if (leader.text) {
        Style textStyle = style;
        textStyle.colour = colourOf(leader.textColor);
        const std::size_t firstItem = out_.items.size();
        drawMText(*leader.text, textStyle, frame);
        if (leader.textFrame) {
            Box ink;
            for (std::size_t i = firstItem; i < out_.items.size(); ++i)
                ink.add(out_.items[i].bounds);
            if (!ink.empty()) {
                const double gap = std::max(leader.landingGap, 0.0) * m.planScale();
                // Around the text's ink as seen, at the depth of the text's middle.
                double depth = 0;
                for (std::size_t i = firstItem; i < out_.items.size(); ++i)
                    depth += (out_.items[i].minDepth + out_.items[i].maxDepth) / 2;
                depth /= static_cast<double>(out_.items.size() - firstItem);
                const Vec3 frameOutline[5] = {{ink.minX - gap, ink.minY - gap, depth},
                                              {ink.maxX + gap, ink.minY - gap, depth},
                                              {ink.maxX + gap, ink.maxY + gap, depth},
                                              {ink.minX - gap, ink.maxY + gap, depth},
                                              {ink.minX - gap, ink.minY - gap, depth}};
                strokePoints(frameOutline, textStyle);
            }
        }
    }
    if (leader.block) {
        const dwg::MLeaderBlockContent& content = *leader.block;
        const dwg::Block* target = block(content.block);
        if (!target) return;
        const auto& t = content.transform;
        const Transform placement = Transform::fromBasis({t[3], t[7], t[11]}, {t[0], t[4], t[8]},
                                                         {t[1], t[5], t[9]}, {t[2], t[6], t[10]}) *
                                    Transform::translation(v3(target->basePoint) * -1);
        Style blockStyle = style;
        blockStyle.colour = colourOf(content.color);
        drawBlockReference(content.block, placement, blockStyle, frame);
        // The block's attribute definitions show the values the leader gives.
        const Frame inner = innerFrame(placement, blockStyle, frame);
        for (const auto& [definition, value] : content.attributes) {
            const dwg::Entity* e = entity(definition);
            const auto* text = e ? std::get_if<dwg::Text>(&e->data) : nullptr;
            if (!text || (text->attributeFlags & 1)) continue;
            Style attributeStyle;
            if (!resolveStyle(e->header, inner, attributeStyle)) continue;
            dwg::Text shown = *text;
            shown.kind = dwg::Text::Kind::Attribute;
            shown.text = value;
            drawText(shown, attributeStyle, inner);
        }
    }
}

}  // namespace render::detail
