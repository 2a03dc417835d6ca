#include "DxfEntities.h"

#include <cmath>

namespace dwg::detail {
namespace {

bool isDefaultScale(const Point3& s) { return s.x == 1 && s.y == 1 && s.z == 1; }

}  // namespace

void DxfEntityWriter::color(const Color& c, int indexCode, int trueCode) {
    switch (c.kind) {
        case Color::Kind::ByLayer:
            return;
        case Color::Kind::ByBlock:
            out_.integer(indexCode, 0);
            return;
        case Color::Kind::Index:
            if (c.index < 1 || c.index > 255) failDxf("índice de cor inválido");
            out_.integer(indexCode, c.index);
            return;
        case Color::Kind::True:
            if (!plan_.r2018) failDxf("cor RGB, que o DXF 2000 não guarda");
            out_.integer(trueCode, static_cast<std::int64_t>(c.rgb & 0xFFFFFFu));
            return;
    }
}

void DxfEntityWriter::common(std::string_view type, Handle handle, Handle owner,
                             const EntityHeader& header, bool paperSpace) {
    out_.begin(type, handle, owner);
    out_.ascii(100, "AcDbEntity");
    if (paperSpace) out_.integer(67, 1);
    out_.text(8, plan_.layerName(header.layer));
    if (const std::string linetype = plan_.linetypeName(header); !linetype.empty())
        out_.text(6, linetype);
    color(header.color);
    if (header.lineweight != -1) out_.integer(370, header.lineweight);
    if (header.linetypeScale != 1) out_.real(48, header.linetypeScale);
    if (header.invisible) out_.integer(60, 1);
}

void DxfEntityWriter::sequenceEnd(Handle owner, const EntityHeader& header, bool paperSpace) {
    EntityHeader plain;
    plain.layer = header.layer;
    common("SEQEND", plan_.take(), owner, plain, paperSpace);
}

void DxfEntityWriter::writeBlockEntities(const DxfBlock& block) {
    if (!block.source) return;
    viewportId_ = 1;
    for (std::size_t i = 0; i < block.source->entities.size(); ++i)
        writeEntity(block.source->entities[i], block.entities[i], block);
}

void DxfEntityWriter::writeEntity(const Entity& entity, Handle handle, const DxfBlock& block) {
    const bool paper = block.paperSpace;
    const std::string type(dxfEntityType(entity, plan_.version));
    if (const auto* polyline = std::get_if<Polyline>(&entity.data)) {
        this->polyline(entity, *polyline, handle, block.record, paper);
        return;
    }
    if (const auto* ins = std::get_if<Insert>(&entity.data)) {
        insert(entity, *ins, handle, block.record, paper);
        return;
    }
    common(type, handle, block.record, entity.header, paper);
    std::visit(
        [&](const auto& data) {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, Text>) {
                textBody(data, false);
            } else if constexpr (std::is_same_v<T, AcisData>) {
                body(data, type);
            } else if constexpr (std::is_same_v<T, Unsupported> || std::is_same_v<T, ProxyGraphics> ||
                                 std::is_same_v<T, Polyline> || std::is_same_v<T, Insert>) {
                // Refused by dxfEntityType, or written above.
            } else {
                body(data);
            }
        },
        entity.data);
}

void DxfEntityWriter::body(const Line& line) {
    out_.ascii(100, "AcDbLine");
    if (line.thickness != 0) out_.real(39, line.thickness);
    out_.point(10, line.start);
    out_.point(11, line.end);
    out_.extrusion(line.extrusion);
}

void DxfEntityWriter::body(const Point& point) {
    out_.ascii(100, "AcDbPoint");
    out_.point(10, point.position);
    if (point.thickness != 0) out_.real(39, point.thickness);
    out_.extrusion(point.extrusion);
    if (point.xAxisAngle != 0) out_.angle(50, point.xAxisAngle);
}

void DxfEntityWriter::body(const Circle& circle) {
    out_.ascii(100, "AcDbCircle");
    if (circle.thickness != 0) out_.real(39, circle.thickness);
    out_.point(10, circle.center);
    out_.real(40, circle.radius);
    out_.extrusion(circle.extrusion);
}

void DxfEntityWriter::body(const Arc& arc) {
    body(Circle{arc.center, arc.radius, arc.thickness, arc.extrusion});
    out_.ascii(100, "AcDbArc");
    out_.angle(50, arc.startAngle);
    out_.angle(51, arc.endAngle);
}

void DxfEntityWriter::body(const Ellipse& ellipse) {
    out_.ascii(100, "AcDbEllipse");
    out_.point(10, ellipse.center);
    out_.point(11, ellipse.majorAxis);
    out_.extrusion(ellipse.extrusion);
    out_.real(40, ellipse.axisRatio);
    out_.real(41, ellipse.startParameter);
    out_.real(42, ellipse.endParameter);
}

void DxfEntityWriter::body(const LwPolyline& p) {
    out_.ascii(100, "AcDbPolyline");
    out_.integer(90, static_cast<std::int64_t>(p.points.size()));
    out_.integer(70, p.closed ? 1 : 0);
    if (p.widths.empty()) out_.real(43, p.constantWidth);
    if (p.elevation != 0) out_.real(38, p.elevation);
    if (p.thickness != 0) out_.real(39, p.thickness);
    const bool bulges = p.bulges.size() == p.points.size();
    const bool widths = p.widths.size() == p.points.size();
    for (std::size_t i = 0; i < p.points.size(); ++i) {
        out_.point(10, p.points[i]);
        if (widths) {
            out_.real(40, p.widths[i].first);
            out_.real(41, p.widths[i].second);
        }
        if (bulges && p.bulges[i] != 0) out_.real(42, p.bulges[i]);
    }
    out_.extrusion(p.extrusion);
}

void DxfEntityWriter::polyline(const Entity& entity, const Polyline& p, Handle handle, Handle owner,
                               bool paper) {
    using Kind = Polyline::Kind;
    common("POLYLINE", handle, owner, entity.header, paper);
    const char* subclass = p.kind == Kind::Polyline2D   ? "AcDb2dPolyline"
                           : p.kind == Kind::Polyline3D ? "AcDb3dPolyline"
                           : p.kind == Kind::PolyfaceMesh ? "AcDbPolyFaceMesh"
                                                          : "AcDbPolygonMesh";
    out_.ascii(100, subclass);
    out_.integer(66, 1);
    out_.point(10, Point3{0, 0, p.kind == Kind::Polyline2D ? p.elevation : 0});
    if (p.thickness != 0) out_.real(39, p.thickness);
    // The kind's own bits, then what the drawing says of closing and curve fitting.
    int flags = p.flags & (2 | 4 | 128);
    switch (p.kind) {
        case Kind::Polyline2D:
            flags |= p.closed ? 1 : 0;
            break;
        case Kind::Polyline3D:
            flags = (flags & ~128) | 8 | (p.closed ? 1 : 0);
            break;
        case Kind::PolyfaceMesh:
            flags = 64;
            break;
        case Kind::PolygonMesh:
            flags = (flags & 4) | 16 | (p.closed ? 1 : 0) | (p.closedN ? 32 : 0);
            break;
    }
    out_.integer(70, flags);
    if (p.kind == Kind::Polyline2D) {
        if (p.startWidth != 0) out_.real(40, p.startWidth);
        if (p.endWidth != 0) out_.real(41, p.endWidth);
    }
    if (p.kind == Kind::PolygonMesh) {
        out_.integer(71, p.meshM);
        out_.integer(72, p.meshN);
    } else if (p.kind == Kind::PolyfaceMesh) {
        out_.integer(71, static_cast<std::int64_t>(p.vertices.size()));
        out_.integer(72, static_cast<std::int64_t>(p.faces.size()));
    }
    out_.extrusion(p.extrusion);

    EntityHeader vertexHeader = entity.header;
    auto vertex = [&](const char* vertexClass, const Point3& position) {
        common("VERTEX", plan_.take(), handle, vertexHeader, paper);
        out_.ascii(100, "AcDbVertex");
        out_.ascii(100, vertexClass);
        out_.point(10, position);
    };
    for (const Vertex& v : p.vertices) {
        switch (p.kind) {
            case Kind::Polyline2D:
                vertex("AcDb2dVertex", v.position);
                if (v.startWidth != 0) out_.real(40, v.startWidth);
                if (v.endWidth != 0) out_.real(41, v.endWidth);
                if (v.bulge != 0) out_.real(42, v.bulge);
                out_.integer(70, v.flags & (1 | 2 | 8 | 16));
                break;
            case Kind::Polyline3D:
                vertex("AcDb3dPolylineVertex", v.position);
                out_.integer(70, 32 | (v.flags & 8));
                break;
            case Kind::PolyfaceMesh:
                vertex("AcDbPolyFaceMeshVertex", v.position);
                out_.integer(70, 192);
                break;
            case Kind::PolygonMesh:
                vertex("AcDbPolygonMeshVertex", v.position);
                out_.integer(70, 64);
                break;
        }
    }
    for (const PolyfaceFace& face : p.faces) {
        common("VERTEX", plan_.take(), handle, vertexHeader, paper);
        out_.ascii(100, "AcDbFaceRecord");
        out_.point(10, Point3{});
        out_.integer(70, 128);
        for (int k = 0; k < 4; ++k)
            if (face.indices[k] != 0 || k < 3) out_.integer(71 + k, face.indices[k]);
    }
    sequenceEnd(handle, entity.header, paper);
}

void DxfEntityWriter::body(const Spline& s) {
    out_.ascii(100, "AcDbSpline");
    int flags = (s.closed ? 1 : 0) | (s.periodic ? 2 : 0) | (s.rational ? 4 : 0);
    out_.integer(70, flags);
    out_.integer(71, s.degree);
    out_.integer(72, static_cast<std::int64_t>(s.knots.size()));
    out_.integer(73, static_cast<std::int64_t>(s.controlPoints.size()));
    out_.integer(74, static_cast<std::int64_t>(s.fitPoints.size()));
    out_.real(42, 1e-10);
    out_.real(43, 1e-10);
    out_.real(44, 1e-10);
    if (!s.fitPoints.empty()) {
        if (s.startTangent != Point3{}) out_.point(12, s.startTangent);
        if (s.endTangent != Point3{}) out_.point(13, s.endTangent);
    }
    for (const double knot : s.knots) out_.real(40, knot);
    const bool weights = s.weights.size() == s.controlPoints.size();
    if (weights)
        for (const double w : s.weights) out_.real(41, w);
    for (const Point3& p : s.controlPoints) out_.point(10, p);
    for (const Point3& p : s.fitPoints) out_.point(11, p);
}

void DxfEntityWriter::textBody(const Text& t, bool attribute) {
    out_.ascii(100, "AcDbText");
    if (t.thickness != 0) out_.real(39, t.thickness);
    out_.point(10, t.insertion, t.elevation);
    out_.real(40, t.height);
    out_.text(1, t.text);
    if (t.rotation != 0) out_.angle(50, t.rotation);
    if (t.widthFactor != 1) out_.real(41, t.widthFactor);
    if (t.obliqueAngle != 0) out_.angle(51, t.obliqueAngle);
    out_.text(7, plan_.style(t.style).second.name);
    if (t.generation != 0) out_.integer(71, t.generation);
    if (t.horizontalAlignment != 0) out_.integer(72, t.horizontalAlignment);
    if (t.horizontalAlignment != 0 || t.verticalAlignment != 0)
        out_.point(11, t.alignment, t.elevation);
    out_.extrusion(t.extrusion);
    if (t.kind == Text::Kind::Text) {
        out_.ascii(100, "AcDbText");
        if (t.verticalAlignment != 0) out_.integer(73, t.verticalAlignment);
        return;
    }
    // Attributes keep their vertical alignment in their own subclass.
    if (attribute) {
        out_.ascii(100, "AcDbAttribute");
    } else {
        out_.ascii(100, "AcDbAttributeDefinition");
        out_.text(3, t.prompt);
    }
    out_.text(2, t.tag);
    out_.integer(70, t.attributeFlags & 15);
    if (t.verticalAlignment != 0) out_.integer(74, t.verticalAlignment);
}

void DxfEntityWriter::body(const MText& t) {
    out_.ascii(100, "AcDbMText");
    out_.point(10, t.insertion);
    out_.real(40, t.height);
    out_.real(41, t.rectangleWidth);
    out_.integer(71, t.attachment >= 1 && t.attachment <= 9 ? t.attachment : 1);
    out_.integer(72, t.drawingDirection);
    out_.longText(1, 3, t.text);
    out_.text(7, plan_.style(t.style).second.name);
    out_.extrusion(t.extrusion);
    out_.point(11, t.xAxis);
    out_.integer(73, 1);
    out_.real(44, t.lineSpacingFactor);
}

void DxfEntityWriter::insert(const Entity& entity, const Insert& ins, Handle handle, Handle owner,
                             bool paper) {
    const DxfBlock& block = plan_.block(ins.block, "INSERT");
    common("INSERT", handle, owner, entity.header, paper);
    const bool array = ins.columns > 1 || ins.rows > 1;
    out_.ascii(100, array && plan_.r2018 ? "AcDbMInsertBlock" : "AcDbBlockReference");
    if (!ins.attributes.empty()) out_.integer(66, 1);
    out_.text(2, block.name);
    out_.point(10, ins.insertion);
    if (!isDefaultScale(ins.scale)) {
        out_.real(41, ins.scale.x);
        out_.real(42, ins.scale.y);
        out_.real(43, ins.scale.z);
    }
    if (ins.rotation != 0) out_.angle(50, ins.rotation);
    if (array) {
        out_.integer(70, ins.columns);
        out_.integer(71, ins.rows);
        out_.real(44, ins.columnSpacing);
        out_.real(45, ins.rowSpacing);
    }
    out_.extrusion(ins.extrusion);
    if (ins.attributes.empty()) return;
    for (const AttributeEntity& attribute : ins.attributes) {
        common("ATTRIB", plan_.take(), handle, attribute.header, paper);
        textBody(attribute.text, true);
    }
    sequenceEnd(handle, entity.header, paper);
}

void DxfEntityWriter::body(const Face& face) {
    const bool face3d = face.kind == Face::Kind::Face3D;
    out_.ascii(100, face3d ? "AcDbFace" : "AcDbTrace");
    for (int i = 0; i < 4; ++i) out_.point(10 + i, face.corners[static_cast<std::size_t>(i)]);
    if (face3d) {
        if (face.invisibleEdges != 0) out_.integer(70, face.invisibleEdges & 15);
        return;
    }
    if (face.thickness != 0) out_.real(39, face.thickness);
    out_.extrusion(face.extrusion);
}

void DxfEntityWriter::hatchLoop(const HatchLoop& loop) {
    out_.integer(92, (loop.flags & ~2) | (loop.isPolyline ? 2 : 0));
    if (loop.isPolyline) {
        const bool bulges = loop.bulges.size() == loop.points.size() &&
                            std::any_of(loop.bulges.begin(), loop.bulges.end(),
                                        [](double b) { return b != 0; });
        out_.integer(72, bulges ? 1 : 0);
        out_.integer(73, loop.closed ? 1 : 0);
        out_.integer(93, static_cast<std::int64_t>(loop.points.size()));
        for (std::size_t i = 0; i < loop.points.size(); ++i) {
            out_.point(10, loop.points[i]);
            if (bulges) out_.real(42, loop.bulges[i]);
        }
    } else {
        out_.integer(93, static_cast<std::int64_t>(loop.edges.size()));
        for (const HatchEdge& e : loop.edges) {
            switch (e.kind) {
                case HatchEdge::Kind::Line:
                    out_.integer(72, 1);
                    out_.point(10, e.start);
                    out_.point(11, e.end);
                    break;
                case HatchEdge::Kind::CircularArc:
                    out_.integer(72, 2);
                    out_.point(10, e.center);
                    out_.real(40, e.radius);
                    out_.angle(50, e.startAngle);
                    out_.angle(51, e.endAngle);
                    out_.integer(73, e.counterClockwise ? 1 : 0);
                    break;
                case HatchEdge::Kind::EllipticArc:
                    out_.integer(72, 3);
                    out_.point(10, e.center);
                    out_.point(11, e.majorAxisEnd);
                    out_.real(40, e.axisRatio);
                    out_.angle(50, e.startAngle);
                    out_.angle(51, e.endAngle);
                    out_.integer(73, e.counterClockwise ? 1 : 0);
                    break;
                case HatchEdge::Kind::Spline: {
                    out_.integer(72, 4);
                    out_.integer(94, e.degree);
                    const bool rational = e.weights.size() == e.controlPoints.size() &&
                                          !e.weights.empty();
                    out_.integer(73, rational ? 1 : 0);
                    out_.integer(74, 0);
                    out_.integer(95, static_cast<std::int64_t>(e.knots.size()));
                    out_.integer(96, static_cast<std::int64_t>(e.controlPoints.size()));
                    for (const double knot : e.knots) out_.real(40, knot);
                    for (std::size_t i = 0; i < e.controlPoints.size(); ++i) {
                        out_.point(10, e.controlPoints[i]);
                        if (rational) out_.real(42, e.weights[i]);
                    }
                    if (plan_.r2018) out_.integer(97, 0);
                    break;
                }
            }
        }
    }
    out_.integer(97, 0);  // no associated boundary objects
}

void DxfEntityWriter::body(const Hatch& h) {
    out_.ascii(100, "AcDbHatch");
    out_.point(10, Point3{0, 0, h.elevation});
    out_.point(210, h.extrusion);
    out_.text(2, h.patternName.empty() ? std::string(h.solid ? "SOLID" : "USER")
                                       : h.patternName);
    out_.integer(70, h.solid ? 1 : 0);
    out_.integer(71, 0);  // the boundary objects are not linked
    out_.integer(91, static_cast<std::int64_t>(h.loops.size()));
    for (const HatchLoop& loop : h.loops) hatchLoop(loop);
    out_.integer(75, h.style);
    out_.integer(76, h.patternType);
    if (!h.solid) {
        out_.angle(52, h.patternAngle);
        out_.real(41, h.patternScale);
        out_.integer(77, 0);
        out_.integer(78, static_cast<std::int64_t>(h.patternLines.size()));
        for (const HatchPatternLine& line : h.patternLines) {
            out_.angle(53, line.angle);
            out_.point(43, line.base);
            out_.point(45, line.offset);
            out_.integer(79, static_cast<std::int64_t>(line.dashes.size()));
            for (const double dash : line.dashes) out_.real(49, dash);
        }
    }
    out_.integer(98, 0);  // no seed points
    if (h.gradientColor) {
        // A one-colour linear gradient: the colour shaded towards white.
        out_.integer(450, 1);
        out_.integer(451, 0);
        out_.integer(452, 1);
        out_.integer(453, 2);
        out_.real(460, 0);
        out_.real(461, 0);
        out_.real(462, 1);
        for (int i = 0; i < 2; ++i) {
            out_.real(463, i);
            const Color& c = *h.gradientColor;
            if (c.kind == Color::Kind::True) {
                out_.integer(63, 7);
                out_.integer(421, static_cast<std::int64_t>(c.rgb & 0xFFFFFFu));
            } else {
                out_.integer(63, c.kind == Color::Kind::Index ? c.index : 7);
            }
        }
        out_.ascii(470, "LINEAR");
    }
}

void DxfEntityWriter::body(const Dimension& d) {
    using Kind = Dimension::Kind;
    const DxfBlock& block = plan_.block(d.block, "DIMENSION");
    out_.ascii(100, "AcDbDimension");
    out_.text(2, block.name);
    out_.point(10, d.definitionPoint);
    out_.point(11, d.textMidpoint, d.elevation);
    int type = 0;
    switch (d.kind) {
        case Kind::Linear: type = 0; break;
        case Kind::Aligned: type = 1; break;
        case Kind::Angular2Line: type = 2; break;
        case Kind::Diameter: type = 3; break;
        case Kind::Radius: type = 4; break;
        case Kind::Angular3Point: type = 5; break;
        case Kind::Ordinate: type = 6; break;
    }
    out_.integer(70, type | 32);  // the block is this dimension's alone
    if (!d.userText.empty()) out_.text(1, d.userText);
    if (d.textRotation != 0) out_.angle(53, d.textRotation);
    out_.extrusion(d.extrusion);
    out_.ascii(3, "Standard");
    if (d.measurement != 0) out_.real(42, d.measurement);
    switch (d.kind) {
        case Kind::Linear:
        case Kind::Aligned:
            out_.ascii(100, "AcDbAlignedDimension");
            out_.point(13, d.firstPoint);
            out_.point(14, d.secondPoint);
            if (d.kind == Kind::Linear) {
                if (d.rotation != 0) out_.angle(50, d.rotation);
                if (d.extensionRotation != 0) out_.angle(52, d.extensionRotation);
                out_.ascii(100, "AcDbRotatedDimension");
            }
            break;
        case Kind::Angular2Line:
            out_.ascii(100, "AcDb2LineAngularDimension");
            out_.point(13, d.firstPoint);
            out_.point(14, d.secondPoint);
            out_.point(15, d.thirdPoint);
            out_.point(16, d.arcPoint, d.elevation);
            break;
        case Kind::Angular3Point:
            out_.ascii(100, "AcDb3PointAngularDimension");
            out_.point(13, d.firstPoint);
            out_.point(14, d.secondPoint);
            out_.point(15, d.thirdPoint);
            break;
        case Kind::Radius:
        case Kind::Diameter:
            out_.ascii(100, d.kind == Kind::Radius ? "AcDbRadialDimension"
                                                    : "AcDbDiametricDimension");
            out_.point(15, d.thirdPoint);
            out_.real(40, d.leaderLength);
            break;
        case Kind::Ordinate:
            out_.ascii(100, "AcDbOrdinateDimension");
            out_.point(13, d.firstPoint);
            out_.point(14, d.secondPoint);
            break;
    }
}

void DxfEntityWriter::body(const Leader& l) {
    out_.ascii(100, "AcDbLeader");
    out_.ascii(3, "Standard");
    out_.integer(71, l.arrowhead ? 1 : 0);
    out_.integer(72, l.splinePath ? 1 : 0);
    const auto annotation = plan_.entityOf.find(l.annotation);
    const bool annotated = l.annotation != 0 && annotation != plan_.entityOf.end();
    out_.integer(73, annotated ? 0 : 3);
    out_.integer(74, 0);
    out_.integer(75, 0);
    out_.real(40, 0);
    out_.real(41, 0);
    out_.integer(76, static_cast<std::int64_t>(l.points.size()));
    for (const Point3& p : l.points) out_.point(10, p);
    if (annotated) out_.handle(340, annotation->second);
    out_.point(210, l.extrusion);
    out_.point(211, Point3{1, 0, 0});
    out_.point(212, Point3{});
    out_.point(213, Point3{});
}

void DxfEntityWriter::body(const ConstructionLine& c) {
    out_.ascii(100, c.bothWays ? "AcDbXline" : "AcDbRay");
    out_.point(10, c.point);
    out_.point(11, c.direction);
}

void DxfEntityWriter::body(const Viewport& v) {
    out_.ascii(100, "AcDbViewport");
    out_.point(10, v.center);
    out_.real(40, v.width);
    out_.real(41, v.height);
    const int id = viewportId_++;
    out_.integer(68, id == 1 ? 1 : 2);
    out_.integer(69, id);
    out_.point(12, Point2{v.center.x, v.center.y});
    out_.point(13, Point2{});
    out_.point(14, Point2{10, 10});
    out_.point(15, Point2{10, 10});
    out_.point(16, Point3{0, 0, 1});
    out_.point(17, Point3{});
    out_.real(42, 50);
    out_.real(43, 0);
    out_.real(44, 0);
    out_.real(45, v.height > 0 ? v.height : 1);
    out_.real(50, 0);
    out_.real(51, 0);
    out_.integer(72, 1000);
    out_.integer(90, 32864);
    out_.ascii(1, "");
    out_.integer(281, 0);
    out_.integer(71, 1);
    out_.integer(74, 0);
    out_.point(110, Point3{});
    out_.point(111, Point3{1, 0, 0});
    out_.point(112, Point3{0, 1, 0});
    out_.integer(79, 0);
}

void DxfEntityWriter::body(const MLine& m) {
    out_.ascii(100, "AcDbMline");
    const Handle style = plan_.mlineStyleOf.at(&m);
    for (const DxfMlineStyle& s : plan_.mlineStylesWritten)
        if (s.handle == style) out_.text(2, s.name);
    out_.handle(340, style);
    out_.real(40, m.scale);
    out_.integer(70, m.justification);
    out_.integer(71, (m.vertices.empty() ? 0 : 1) | (m.closed ? 2 : 0) |
                         (m.suppressStartCaps ? 4 : 0) | (m.suppressEndCaps ? 8 : 0));
    out_.integer(72, static_cast<std::int64_t>(m.vertices.size()));
    out_.integer(73, static_cast<std::int64_t>(m.elements.size()));
    out_.point(10, m.basePoint);
    out_.point(210, m.extrusion);
    for (const MLineVertex& v : m.vertices) {
        out_.point(11, v.position);
        out_.point(12, v.direction);
        out_.point(13, v.miter);
        for (std::size_t e = 0; e < m.elements.size(); ++e) {
            static const std::vector<double> kNone;
            const auto& parameters = e < v.elementParameters.size() ? v.elementParameters[e] : kNone;
            const auto& fill = e < v.fillParameters.size() ? v.fillParameters[e] : kNone;
            out_.integer(74, static_cast<std::int64_t>(parameters.size()));
            for (const double p : parameters) out_.real(41, p);
            out_.integer(75, static_cast<std::int64_t>(fill.size()));
            for (const double p : fill) out_.real(42, p);
        }
    }
}

void DxfEntityWriter::body(const RasterImage& image) {
    out_.ascii(100, "AcDbRasterImage");
    out_.integer(90, 0);
    out_.point(10, image.insertion);
    out_.point(11, image.u);
    out_.point(12, image.v);
    out_.point(13, image.size);
    const auto link = plan_.imageLinks.find(&image);
    out_.handle(340, link == plan_.imageLinks.end() ? 0 : link->second.first);
    out_.integer(70, image.displayFlags);
    out_.integer(280, image.clipping ? 1 : 0);
    out_.integer(281, image.brightness);
    out_.integer(282, image.contrast);
    out_.integer(283, image.fade);
    out_.handle(360, link == plan_.imageLinks.end() ? 0 : link->second.second);
    std::vector<Point2> boundary = image.clipBoundary;
    if (boundary.size() < 2)
        boundary = {{-0.5, -0.5}, {image.size.x - 0.5, image.size.y - 0.5}};
    const bool rectangle = boundary.size() == 2;
    out_.integer(71, rectangle ? 1 : 2);
    out_.integer(91, static_cast<std::int64_t>(boundary.size()));
    for (const Point2& p : boundary) out_.point(14, p);
    if (plan_.r2018) out_.integer(290, image.clipInverted ? 1 : 0);
    if (image.wipeout) out_.ascii(100, "AcDbWipeout");
}

void DxfEntityWriter::body(const Helix& h) {
    body(h.spline);
    out_.ascii(100, "AcDbHelix");
    out_.integer(90, 29);
    out_.integer(91, 63);
    out_.point(10, h.axisBasePoint);
    out_.point(11, h.startPoint);
    out_.point(12, h.axisVector);
    out_.real(40, h.radius);
    out_.real(41, h.turns);
    out_.real(42, h.turnHeight);
    out_.integer(290, h.rightHanded ? 1 : 0);
    out_.integer(280, 1);
}

void DxfEntityWriter::body(const SubdivisionMesh& m) {
    out_.ascii(100, "AcDbSubDMesh");
    out_.integer(71, 2);
    out_.integer(72, 0);
    out_.integer(91, m.subdivisionLevel);
    out_.integer(92, static_cast<std::int64_t>(m.vertices.size()));
    for (const Point3& p : m.vertices) out_.point(10, p);
    std::size_t faceList = 0;
    for (const auto& face : m.faces) faceList += face.size() + 1;
    out_.integer(93, static_cast<std::int64_t>(faceList));
    for (const auto& face : m.faces) {
        out_.integer(90, static_cast<std::int64_t>(face.size()));
        for (const int index : face) out_.integer(90, index);
    }
    out_.integer(94, static_cast<std::int64_t>(m.edges.size()));
    for (const auto& [a, b] : m.edges) {
        out_.integer(90, a);
        out_.integer(90, b);
    }
    out_.integer(95, static_cast<std::int64_t>(m.creases.size()));
    for (const double crease : m.creases) out_.real(140, crease);
    out_.integer(90, 0);  // no overridden sub-entity properties
}

void DxfEntityWriter::body(const Tolerance& t) {
    out_.ascii(100, "AcDbFcf");
    out_.ascii(3, "Standard");
    out_.point(10, t.insertion);
    out_.text(1, t.text);
    out_.extrusion(t.extrusion);
    out_.point(11, t.xDirection);
}

void DxfEntityWriter::body(const AcisData& data, const std::string& type) {
    out_.ascii(100, "AcDbModelerGeometry");
    out_.integer(70, 1);
    if (plan_.r2018) {
        // The SAB itself lies in the ACDSDATA section, found by this entity's handle.
        out_.integer(290, 0);
        out_.ascii(2, "{00000000-0000-0000-0000-000000000000}");
    } else {
        // SAT text with each printable character c stored as 159 - c, one
        // group per line, longer lines continued under code 3.
        std::string line;
        auto flush = [&] {
            const std::string escaped = caretEscaped(line);
            std::size_t start = 0;
            do {
                std::size_t end = std::min(escaped.size(), start + 255);
                if (end < escaped.size() && escaped[end - 1] == '^') --end;  // ^x stays whole
                out_.ascii(start == 0 ? 1 : 3, std::string_view(escaped).substr(start, end - start));
                start = end;
            } while (start < escaped.size());
            line.clear();
        };
        for (const std::uint8_t byte : data.bytes) {
            if (byte == '\n') {
                flush();
                continue;
            }
            if (byte == '\r') continue;
            line += static_cast<char>(byte > 32 ? 159 - byte : byte);
        }
        if (!line.empty()) flush();
    }
    if (type == "3DSOLID") {
        out_.ascii(100, "AcDb3dSolid");
        if (plan_.r2018) out_.handle(350, 0);
    } else if (type != "REGION" && type != "BODY") {
        out_.ascii(100, "AcDbSurface");
        out_.integer(71, 6);
        out_.integer(72, 6);
        proceduralSurface(type);
    }
}

// What a procedural surface was made from (profile, path, draft...) is not
// in the drawing: the ACIS data alone shapes it. Its subclass gets neutral
// values, the identity for every transform.
void DxfEntityWriter::proceduralSurface(const std::string& type) {
    auto identity = [&](int code) {
        for (int i = 0; i < 16; ++i) out_.real(code, i % 5 == 0 ? 1 : 0);
    };
    // Draft, twist, scale and alignment of a sweep, as extrusions share them.
    auto sweepOptions = [&] {
        for (int code = 42; code <= 45; ++code) out_.real(code, 0);
        out_.real(48, 1);
        out_.real(49, 0);
        identity(46);
        identity(47);
        out_.integer(290, 0);
        out_.integer(70, 0);
        for (int code = 292; code <= 296; ++code) out_.integer(code, 0);
        out_.point(11, Point3{});
    };
    if (type == "PLANESURFACE") {
        out_.ascii(100, "AcDbPlaneSurface");
    } else if (type == "EXTRUDEDSURFACE") {
        out_.ascii(100, "AcDbExtrudedSurface");
        out_.integer(90, 0);
        out_.point(10, Point3{0, 0, 1});
        identity(40);
        sweepOptions();
    } else if (type == "LOFTEDSURFACE") {
        out_.ascii(100, "AcDbLoftedSurface");
        identity(40);
        out_.integer(70, 0);
        out_.integer(71, 0);
        for (int code = 41; code <= 44; ++code) out_.real(code, 0);
        for (int code = 290; code <= 297; ++code) out_.integer(code, 0);
    } else if (type == "REVOLVEDSURFACE") {
        out_.ascii(100, "AcDbRevolvedSurface");
        out_.integer(90, 0);
        out_.point(10, Point3{});
        out_.point(11, Point3{0, 0, 1});
        out_.real(40, 0);
        out_.real(41, 0);
        identity(42);
        for (int code = 43; code <= 46; ++code) out_.real(code, 0);
        out_.integer(290, 0);
        out_.integer(291, 0);
    } else if (type == "SWEPTSURFACE") {
        out_.ascii(100, "AcDbSweptSurface");
        out_.integer(90, 0);
        out_.integer(91, 0);
        identity(40);
        identity(41);
        sweepOptions();
    }
}

}  // namespace dwg::detail
