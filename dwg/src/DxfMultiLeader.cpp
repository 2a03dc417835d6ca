// MULTILEADER as DXF: the annotation context (content and leader roots)
// between CONTEXT_DATA{ and }, then the entity's own copy of its style values.
#include "DxfEntities.h"

namespace dwg::detail {
namespace {

// Multileader colours are stored whole, the method in the high byte.
std::int64_t rawColor(const Color& color) {
    std::uint32_t raw = 0xC3000000u | static_cast<std::uint32_t>(color.index & 0xFF);
    if (color.kind == Color::Kind::ByLayer) raw = 0xC0000000u;
    if (color.kind == Color::Kind::ByBlock) raw = 0xC1000000u;
    if (color.kind == Color::Kind::True) raw = 0xC2000000u | (color.rgb & 0xFFFFFFu);
    return static_cast<std::int32_t>(raw);
}

Point3 plus(const Point3& a, const Point3& b, double k) {
    return {a.x + b.x * k, a.y + b.y * k, a.z + b.z * k};
}

}  // namespace

void DxfEntityWriter::mleaderContext(const MultiLeader& m) {
    const MLeaderLine* firstLine = nullptr;
    for (const MLeaderRoot& root : m.roots)
        if (!root.lines.empty() && !firstLine) firstLine = &root.lines.front();
    const double arrowSize = firstLine ? firstLine->arrowSize : 0;
    const double textHeight = m.text ? m.text->height : 0;

    out_.ascii(300, "CONTEXT_DATA{");
    out_.real(40, m.scale);
    Point3 base;
    if (!m.roots.empty())
        base = plus(m.roots.front().connection, m.roots.front().direction,
                    m.landing ? m.roots.front().landingDistance : 0);
    out_.point(10, base);
    out_.real(41, textHeight);
    out_.real(140, arrowSize);
    out_.real(145, m.landingGap);
    out_.integer(174, 1);
    out_.integer(175, 1);
    out_.integer(176, 0);
    out_.integer(177, 0);
    out_.integer(290, m.text ? 1 : 0);
    if (m.text) {
        const MText& t = *m.text;
        out_.longText(304, 3, t.text);
        out_.point(11, t.extrusion);
        out_.handle(340, plan_.style(t.style).first);
        out_.point(12, t.insertion);
        out_.point(13, t.xAxis);
        out_.real(42, 0);
        out_.real(43, t.rectangleWidth);
        out_.real(44, 0);
        out_.real(45, t.lineSpacingFactor);
        out_.integer(170, 1);
        out_.integer(90, rawColor(m.textColor));
        out_.integer(171, t.attachment >= 1 && t.attachment <= 3 ? t.attachment : 1);
        out_.integer(172, t.drawingDirection);
        out_.integer(91, static_cast<std::int32_t>(0xC1000000u));
        out_.real(141, 1.5);
        out_.integer(92, 0);
        out_.integer(291, 0);
        out_.integer(292, 0);
        out_.integer(293, 0);
        out_.integer(173, 0);
        out_.integer(294, 0);
        out_.real(142, 0);
        out_.real(143, 0);
        out_.integer(295, 0);
    }
    out_.integer(296, m.block ? 1 : 0);
    if (m.block) {
        const MLeaderBlockContent& b = *m.block;
        out_.handle(341, plan_.block(b.block, "MULTILEADER").record);
        out_.point(14, b.normal);
        out_.point(15, b.location);
        out_.point(16, b.scale);
        out_.angle(46, b.rotation);
        out_.integer(93, rawColor(b.color));
        for (const double value : b.transform) out_.real(47, value);
    }
    out_.point(110, base);
    out_.point(111, Point3{1, 0, 0});
    out_.point(112, Point3{0, 1, 0});
    out_.integer(297, 0);
    int lineIndex = 0;
    for (std::size_t r = 0; r < m.roots.size(); ++r) {
        const MLeaderRoot& root = m.roots[r];
        out_.ascii(302, "LEADER{");
        out_.integer(290, 1);
        out_.integer(291, 1);
        out_.point(10, root.connection);
        out_.point(11, root.direction);
        out_.integer(90, static_cast<std::int64_t>(r));
        out_.real(40, root.landingDistance);
        for (const MLeaderLine& line : root.lines) {
            out_.ascii(304, "LEADER_LINE{");
            for (const Point3& p : line.points) out_.point(10, p);
            out_.integer(91, lineIndex++);
            out_.ascii(305, "}");
        }
        out_.integer(271, 0);
        out_.ascii(303, "}");
    }
    out_.integer(272, 9);
    out_.integer(273, 9);
    out_.ascii(301, "}");
}

void DxfEntityWriter::body(const MultiLeader& m) {
    out_.ascii(100, "AcDbMLeader");
    out_.integer(270, 2);
    mleaderContext(m);
    const MLeaderLine* line = nullptr;
    for (const MLeaderRoot& root : m.roots)
        if (!root.lines.empty() && !line) line = &root.lines.front();
    const MLeaderLine defaults;
    if (!line) line = &defaults;
    out_.handle(340, plan_.mleaderStyleStandard);
    // Every value below is the entity's own, not the style's.
    out_.integer(90, 0x3FFFFF);
    out_.integer(170, line->leaderType);
    out_.integer(91, rawColor(line->color));
    const std::string linetype = plan_.linetypeNameOf(line->linetype);
    Handle linetypeHandle = plan_.linetypeByLayer();
    for (const auto& [handle, entry] : plan_.linetypes)
        if (!linetype.empty() && entry.name == linetype) linetypeHandle = handle;
    out_.handle(341, linetypeHandle);
    out_.integer(171, line->lineweight);
    out_.integer(290, m.landing ? 1 : 0);
    out_.integer(291, m.landing ? 1 : 0);
    out_.real(41, m.roots.empty() ? 0 : m.roots.front().landingDistance);
    if (line->arrowBlock != 0) out_.handle(342, plan_.block(line->arrowBlock, "MULTILEADER").record);
    out_.real(42, line->arrowSize);
    out_.integer(172, m.block ? 1 : (m.text ? 2 : 0));
    out_.handle(343, plan_.style(m.text ? m.text->style : 0).first);
    out_.integer(173, 1);
    out_.integer(95, 1);
    out_.integer(174, 1);
    out_.integer(175, 0);
    out_.integer(92, rawColor(m.textColor));
    out_.integer(292, m.textFrame ? 1 : 0);
    if (m.block) out_.handle(344, plan_.block(m.block->block, "MULTILEADER").record);
    out_.integer(93, rawColor(m.block ? m.block->color : Color{Color::Kind::ByBlock, 0, 0}));
    out_.point(10, m.block ? m.block->scale : Point3{1, 1, 1});
    out_.angle(43, m.block ? m.block->rotation : 0);
    out_.integer(176, 0);
    out_.integer(293, 0);
    if (m.block) {
        int index = 0;
        for (const auto& [attdef, value] : m.block->attributes) {
            const auto found = plan_.entityOf.find(attdef);
            if (found == plan_.entityOf.end()) continue;
            out_.handle(330, found->second);
            out_.integer(177, index++);
            out_.real(44, 0);
            out_.text(302, value);
        }
    }
    out_.integer(294, 0);
    out_.integer(178, 0);
    out_.integer(179, m.text ? m.text->attachment : 1);
    out_.real(45, m.scale);
    out_.integer(271, 0);
    out_.integer(272, 9);
    out_.integer(273, 9);
}

}  // namespace dwg::detail
