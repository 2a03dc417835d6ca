// Entities in the form of the version written. Optional fields are left out
// exactly when their value is the default a reader substitutes, so that every
// value reads back as it was given.
#include <bit>
#include <cmath>
#include <cstdlib>

#include "WriterModel.h"

namespace dwg::detail {
namespace {

constexpr double kSplineTolerance = 1e-10;

bool isMinsert(const Insert& insert) {
    return insert.columns != 1 || insert.rows != 1 || insert.columnSpacing != 0 ||
           insert.rowSpacing != 0;
}

bool same(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool same(const Point2& a, const Point2& b) {
    return same(a.x, b.x) && same(a.y, b.y);
}

bool same(const Point3& a, const Point3& b) {
    return same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z);
}

// Hundredths of a millimetre (or -1 ByLayer, -2 ByBlock, -3 default) to the
// stored index; widths between the standard ones take the nearest.
std::uint8_t lineweightIndex(int lineweight) {
    static constexpr int kWidths[] = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                      53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
    if (lineweight == -1) return kLineweightByLayer;
    if (lineweight == -2) return 30;
    if (lineweight < 0) return 31;
    std::uint8_t best = 0;
    for (std::uint8_t i = 0; i < std::size(kWidths); ++i)
        if (std::abs(kWidths[i] - lineweight) < std::abs(kWidths[best] - lineweight)) best = i;
    return best;
}

class EntityEncoder {
  public:
    EntityEncoder(const WritePlan& plan, const PlannedBlock& block, EncodedObjects& out)
        : plan_(plan), v_(plan.version), block_(block), out_(out) {}

    void run() {
        for (std::size_t i = 0; i < block_.entities.size(); ++i) encode(i);
    }

  private:
    void encode(std::size_t index);
    EntityFrame looksOf(const EntityHeader& header) const;
    EntityFrame frameOf(const EntityHeader& header, std::size_t index) const;
    // The VERTEX or ATTRIB records the entity owns, chained, then its SEQEND.
    void encodeOwned(const Entity& entity, Handle parent, const std::vector<Handle>& owned);

    void body(ObjectEncoder& o, const Line& line);
    void body(ObjectEncoder& o, const Point& point);
    void body(ObjectEncoder& o, const Circle& circle);
    void body(ObjectEncoder& o, const Arc& arc);
    void body(ObjectEncoder& o, const Ellipse& ellipse);
    void body(ObjectEncoder& o, const LwPolyline& polyline);
    void body(ObjectEncoder& o, const Spline& spline);
    void body(ObjectEncoder& o, const Text& text);
    void body(ObjectEncoder& o, const MText& text);
    void body(ObjectEncoder& o, const Insert& insert);
    void body(ObjectEncoder& o, const Polyline& polyline);
    void body(ObjectEncoder& o, const Dimension& dimension) {
        writeDimensionBody(o, dimension, plan_.dimStyle, plan_.blockOf.at(dimension.block));
    }
    void body(ObjectEncoder& o, const Leader& leader) {
        writeLeaderBody(o, leader, plan_.dimStyle);
    }
    void body(ObjectEncoder& o, const Tolerance& tolerance) {
        writeToleranceBody(o, tolerance, plan_.dimStyle);
    }
    void attributeFields(ObjectEncoder& o, const Text& text);
    void body(ObjectEncoder& o, const Face& face);
    void body(ObjectEncoder& o, const ConstructionLine& line);
    void body(ObjectEncoder& o, const Hatch& hatch);
    void hatchEdge(BitWriter& d, const HatchEdge& edge);
    // The kinds the plan refuses never get here.
    template <typename Other>
    void body(ObjectEncoder&, const Other&) {}

    static int typeOf(const EntityData& data);

    const WritePlan& plan_;
    const Version v_;
    const PlannedBlock& block_;
    EncodedObjects& out_;
    const std::vector<Handle>* owned_ = nullptr;  // of the entity being encoded
};

int EntityEncoder::typeOf(const EntityData& data) {
    return std::visit(
        [](const auto& d) -> int {
            using T = std::decay_t<decltype(d)>;
            if constexpr (std::is_same_v<T, Line>) return kTypeLine;
            if constexpr (std::is_same_v<T, Point>) return kTypePoint;
            if constexpr (std::is_same_v<T, Circle>) return kTypeCircle;
            if constexpr (std::is_same_v<T, Arc>) return kTypeArc;
            if constexpr (std::is_same_v<T, Ellipse>) return kTypeEllipse;
            if constexpr (std::is_same_v<T, LwPolyline>) return kTypeLwPolyline;
            if constexpr (std::is_same_v<T, Spline>) return kTypeSpline;
            if constexpr (std::is_same_v<T, Text>) {
                switch (d.kind) {
                    case Text::Kind::Text:
                        return kTypeText;
                    case Text::Kind::Attribute:
                        return kTypeAttrib;
                    case Text::Kind::AttributeDefinition:
                        return kTypeAttdef;
                }
            }
            if constexpr (std::is_same_v<T, Polyline>) return polylineType(d);
            if constexpr (std::is_same_v<T, Dimension>) return dimensionType(d);
            if constexpr (std::is_same_v<T, Leader>) return kTypeLeader;
            if constexpr (std::is_same_v<T, Tolerance>) return kTypeTolerance;
            if constexpr (std::is_same_v<T, MText>) return kTypeMText;
            if constexpr (std::is_same_v<T, Insert>)
                return isMinsert(d) ? kTypeMinsert : kTypeInsert;
            if constexpr (std::is_same_v<T, Face>) {
                switch (d.kind) {
                    case Face::Kind::Solid:
                        return kTypeSolid;
                    case Face::Kind::Trace:
                        return kTypeTrace;
                    case Face::Kind::Face3D:
                        return kTypeFace3D;
                }
            }
            if constexpr (std::is_same_v<T, ConstructionLine>)
                return d.bothWays ? kTypeXline : kTypeRay;
            if constexpr (std::is_same_v<T, Hatch>) return kTypeHatch;
            return 0;  // refused by the plan before encoding starts
        },
        data);
}

EntityFrame EntityEncoder::frameOf(const EntityHeader& header, std::size_t index) const {
    EntityFrame frame = looksOf(header);
    frame.previous = index > 0 ? block_.entities[index - 1] : 0;
    frame.next = index + 1 < block_.entities.size() ? block_.entities[index + 1] : 0;
    return frame;
}

EntityFrame EntityEncoder::looksOf(const EntityHeader& header) const {
    EntityFrame frame = blockEntityFrame(block_, plan_.layerOf.at(header.layer));
    frame.color = header.color;
    frame.linetypeScale = header.linetypeScale;
    using Ref = EntityHeader::LinetypeRef;
    Handle linetype = 0;
    switch (header.linetypeRef) {
        case Ref::ByLayer:
            linetype = plan_.linetypeByLayer;
            break;
        case Ref::ByBlock:
            linetype = plan_.linetypeByBlock;
            break;
        case Ref::Continuous:
            linetype = plan_.linetypeContinuous;
            break;
        case Ref::Explicit:
            linetype = plan_.linetypeOf.at(header.linetype);
            break;
    }
    if (linetype == plan_.linetypeByLayer) {
        frame.linetypeFlags = 0;
    } else if (linetype == plan_.linetypeByBlock) {
        frame.linetypeFlags = 1;
    } else {
        frame.linetypeFlags = 3;
        frame.linetype = linetype;
    }
    frame.lineweight = lineweightIndex(header.lineweight);
    frame.invisible = header.invisible;
    return frame;
}

void EntityEncoder::encode(std::size_t index) {
    const Entity& entity = block_.source->entities[index];
    const Handle handle = block_.entities[index];
    ObjectEncoder object(plan_.version, typeOf(entity.data), handle);
    beginEntity(object, frameOf(entity.header, index));
    owned_ = &block_.owned[index];
    std::visit([&](const auto& data) { body(object, data); }, entity.data);
    out_.push_back(EncodedObject{handle, object.finish()});
    if (!owned_->empty()) encodeOwned(entity, handle, *owned_);
}

void EntityEncoder::encodeOwned(const Entity& entity, Handle parent,
                                const std::vector<Handle>& owned) {
    const auto* polyline = std::get_if<Polyline>(&entity.data);
    const auto* insert = std::get_if<Insert>(&entity.data);
    const std::size_t records = owned.size() - 1;
    auto ownedFrame = [&](const EntityHeader& header, std::size_t i) {
        EntityFrame frame = looksOf(header);
        frame.mode = 0;
        frame.owner = parent;
        frame.previous = i > 0 && i < records ? owned[i - 1] : 0;
        frame.next = i + 1 < records ? owned[i + 1] : 0;
        return frame;
    };
    for (std::size_t i = 0; i < records; ++i) {
        if (polyline) {
            ObjectEncoder object(v_, vertexType(*polyline, i), owned[i]);
            beginEntity(object, ownedFrame(entity.header, i));
            writeVertexBody(object, *polyline, i);
            out_.push_back(EncodedObject{owned[i], object.finish()});
        } else {
            const AttributeEntity& attribute = insert->attributes[i];
            ObjectEncoder object(v_, kTypeAttrib, owned[i]);
            beginEntity(object, ownedFrame(attribute.header, i));
            body(object, attribute.text);
            out_.push_back(EncodedObject{owned[i], object.finish()});
        }
    }
    ObjectEncoder end(v_, kTypeSeqend, owned.back());
    beginEntity(end, ownedFrame(entity.header, records));
    out_.push_back(EncodedObject{owned.back(), end.finish()});
}

void EntityEncoder::body(ObjectEncoder& o, const Polyline& polyline) {
    writePolylineBody(o, polyline, *owned_);
}

void EntityEncoder::body(ObjectEncoder& o, const Line& line) {
    BitWriter& d = o.data();
    const bool flat = same(line.start.z, 0.0) && same(line.end.z, 0.0);
    d.bit(flat);
    d.rawDouble(line.start.x);
    d.bitDoubleDefault(line.end.x, line.start.x);
    d.rawDouble(line.start.y);
    d.bitDoubleDefault(line.end.y, line.start.y);
    if (!flat) {
        d.rawDouble(line.start.z);
        d.bitDoubleDefault(line.end.z, line.start.z);
    }
    d.thickness(line.thickness);
    d.extrusion(line.extrusion);
}

void EntityEncoder::body(ObjectEncoder& o, const Point& point) {
    BitWriter& d = o.data();
    d.bitPoint3(point.position);
    d.thickness(point.thickness);
    d.extrusion(point.extrusion);
    d.bitDouble(point.xAxisAngle);
}

void EntityEncoder::body(ObjectEncoder& o, const Circle& circle) {
    BitWriter& d = o.data();
    d.bitPoint3(circle.center);
    d.bitDouble(circle.radius);
    d.thickness(circle.thickness);
    d.extrusion(circle.extrusion);
}

// An ARC is a CIRCLE followed by its two angles.
void EntityEncoder::body(ObjectEncoder& o, const Arc& arc) {
    body(o, Circle{arc.center, arc.radius, arc.thickness, arc.extrusion});
    o.data().bitDouble(arc.startAngle);
    o.data().bitDouble(arc.endAngle);
}

void EntityEncoder::body(ObjectEncoder& o, const Ellipse& ellipse) {
    BitWriter& d = o.data();
    d.bitPoint3(ellipse.center);
    d.bitPoint3(ellipse.majorAxis);
    d.bitPoint3(ellipse.extrusion);
    d.bitDouble(ellipse.axisRatio);
    d.bitDouble(ellipse.startParameter);
    d.bitDouble(ellipse.endParameter);
}

void EntityEncoder::body(ObjectEncoder& o, const LwPolyline& p) {
    BitWriter& d = o.data();
    const bool hasExtrusion = !same(p.extrusion, kDefaultExtrusion);
    const bool hasThickness = !same(p.thickness, 0.0);
    const bool hasWidth = !same(p.constantWidth, 0.0);
    const bool hasElevation = !same(p.elevation, 0.0);
    const int flags = (hasExtrusion ? 1 : 0) | (hasThickness ? 2 : 0) | (hasWidth ? 4 : 0) |
                      (hasElevation ? 8 : 0) | (p.bulges.empty() ? 0 : 16) |
                      (p.widths.empty() ? 0 : 32) | (p.closed ? 512 : 0);
    d.bitShort(static_cast<std::int16_t>(flags));
    if (hasWidth) d.bitDouble(p.constantWidth);
    if (hasElevation) d.bitDouble(p.elevation);
    if (hasThickness) d.bitDouble(p.thickness);
    if (hasExtrusion) d.bitPoint3(p.extrusion);
    d.bitLong(static_cast<std::int32_t>(p.points.size()));
    if (!p.bulges.empty()) d.bitLong(static_cast<std::int32_t>(p.bulges.size()));
    if (!p.widths.empty()) d.bitLong(static_cast<std::int32_t>(p.widths.size()));
    for (std::size_t i = 0; i < p.points.size(); ++i) {
        if (i == 0) {
            d.rawPoint2(p.points[0]);
        } else {
            d.bitDoubleDefault(p.points[i].x, p.points[i - 1].x);
            d.bitDoubleDefault(p.points[i].y, p.points[i - 1].y);
        }
    }
    for (double bulge : p.bulges) d.bitDouble(bulge);
    for (const auto& [start, end] : p.widths) {
        d.bitDouble(start);
        d.bitDouble(end);
    }
}

void EntityEncoder::body(ObjectEncoder& o, const Spline& s) {
    BitWriter& d = o.data();
    const bool byFitPoints = s.controlPoints.empty() && !s.fitPoints.empty();
    d.bitLong(byFitPoints ? 2 : 1);
    if (v_ >= Version::R2013) {
        d.bitLong(byFitPoints ? 1 : 0);    // fit method or control vertices
        d.bitLong(byFitPoints ? 0 : 15);   // chord knots, or custom (the knots stored)
    }
    d.bitLong(s.degree);
    if (byFitPoints) {
        d.bitDouble(kSplineTolerance);
        d.bitPoint3(s.startTangent);
        d.bitPoint3(s.endTangent);
        d.bitLong(static_cast<std::int32_t>(s.fitPoints.size()));
        for (const Point3& p : s.fitPoints) d.bitPoint3(p);
        return;
    }
    const bool weighted = !s.weights.empty();
    d.bit(s.rational);
    d.bit(s.closed);
    d.bit(s.periodic);
    d.bitDouble(kSplineTolerance);  // knots
    d.bitDouble(kSplineTolerance);  // control points
    d.bitLong(static_cast<std::int32_t>(s.knots.size()));
    d.bitLong(static_cast<std::int32_t>(s.controlPoints.size()));
    d.bit(weighted);
    for (double knot : s.knots) d.bitDouble(knot);
    for (std::size_t i = 0; i < s.controlPoints.size(); ++i) {
        d.bitPoint3(s.controlPoints[i]);
        if (weighted) d.bitDouble(i < s.weights.size() ? s.weights[i] : 1.0);
    }
}

void EntityEncoder::body(ObjectEncoder& o, const Text& t) {
    BitWriter& d = o.data();
    const int absent =
        (same(t.elevation, 0.0) ? 0x01 : 0) | (same(t.alignment, t.insertion) ? 0x02 : 0) |
        (same(t.obliqueAngle, 0.0) ? 0x04 : 0) | (same(t.rotation, 0.0) ? 0x08 : 0) |
        (same(t.widthFactor, 1.0) ? 0x10 : 0) | (t.generation == 0 ? 0x20 : 0) |
        (t.horizontalAlignment == 0 ? 0x40 : 0) | (t.verticalAlignment == 0 ? 0x80 : 0);
    d.rawChar(static_cast<std::uint8_t>(absent));
    if (!(absent & 0x01)) d.rawDouble(t.elevation);
    d.rawPoint2(t.insertion);
    if (!(absent & 0x02)) {
        d.bitDoubleDefault(t.alignment.x, t.insertion.x);
        d.bitDoubleDefault(t.alignment.y, t.insertion.y);
    }
    d.extrusion(t.extrusion);
    d.thickness(t.thickness);
    if (!(absent & 0x04)) d.rawDouble(t.obliqueAngle);
    if (!(absent & 0x08)) d.rawDouble(t.rotation);
    d.rawDouble(t.height);
    if (!(absent & 0x10)) d.rawDouble(t.widthFactor);
    o.text(t.text);
    if (!(absent & 0x20)) d.bitShort(static_cast<std::int16_t>(t.generation));
    if (!(absent & 0x40)) d.bitShort(static_cast<std::int16_t>(t.horizontalAlignment));
    if (!(absent & 0x80)) d.bitShort(static_cast<std::int16_t>(t.verticalAlignment));
    if (t.kind != Text::Kind::Text) attributeFields(o, t);
    o.handles().handle(Ref::HardPointer, plan_.styleOf.at(t.style));
}

// ATTRIB and ATTDEF: a TEXT with a tag, flags and (ATTDEF) a prompt; single-line.
void EntityEncoder::attributeFields(ObjectEncoder& o, const Text& t) {
    BitWriter& d = o.data();
    if (v_ >= Version::R2010) d.rawChar(0);  // version
    if (v_ >= Version::R2018) d.rawChar(1);  // single line
    o.text(t.tag);
    d.bitShort(0);  // field length
    d.rawChar(static_cast<std::uint8_t>(t.attributeFlags));
    if (v_ >= Version::R2007) d.bit(false);  // position not locked
    if (t.kind == Text::Kind::AttributeDefinition) {
        if (v_ >= Version::R2010) d.rawChar(0);  // version
        o.text(t.prompt);
    }
}

void EntityEncoder::body(ObjectEncoder& o, const MText& t) {
    BitWriter& d = o.data();
    const Point2 size = mtextSize(t);
    d.bitPoint3(t.insertion);
    d.bitPoint3(t.extrusion);
    d.bitPoint3(t.xAxis);
    d.bitDouble(t.rectangleWidth);
    if (v_ >= Version::R2007) d.bitDouble(size.y);  // rectangle height
    d.bitDouble(t.height);
    d.bitShort(static_cast<std::int16_t>(t.attachment));
    d.bitShort(static_cast<std::int16_t>(t.drawingDirection));
    d.bitDouble(size.y);  // extents, as the reading program may show them before laying out
    d.bitDouble(size.x);
    o.text(t.text);
    d.bitShort(1);  // line spacing "at least"
    d.bitDouble(t.lineSpacingFactor);
    d.bit(false);
    if (v_ >= Version::R2004) d.bitLong(0);  // no background fill
    if (v_ >= Version::R2018) d.bit(false);  // annotative: no copy of the layout follows
    o.handles().handle(Ref::HardPointer, plan_.styleOf.at(t.style));
}

void EntityEncoder::body(ObjectEncoder& o, const Insert& insert) {
    BitWriter& d = o.data();
    d.bitPoint3(insert.insertion);
    const Point3& s = insert.scale;
    if (same(s.x, 1.0) && same(s.y, 1.0) && same(s.z, 1.0)) {
        d.twoBits(3);
    } else if (same(s.x, 1.0)) {
        d.twoBits(1);
        d.bitDoubleDefault(s.y, 1.0);
        d.bitDoubleDefault(s.z, 1.0);
    } else if (same(s.y, s.x) && same(s.z, s.x)) {
        d.twoBits(2);
        d.rawDouble(s.x);
    } else {
        d.twoBits(0);
        d.rawDouble(s.x);
        d.bitDoubleDefault(s.y, s.x);
        d.bitDoubleDefault(s.z, s.x);
    }
    d.bitDouble(insert.rotation);
    d.bitPoint3(insert.extrusion);
    const bool hasAttributes = !owned_->empty();
    d.bit(hasAttributes);
    if (hasAttributes && v_ >= Version::R2004)
        d.bitLong(static_cast<std::int32_t>(owned_->size() - 1));
    if (isMinsert(insert)) {
        d.bitShort(static_cast<std::int16_t>(insert.columns));
        d.bitShort(static_cast<std::int16_t>(insert.rows));
        d.bitDouble(insert.columnSpacing);
        d.bitDouble(insert.rowSpacing);
    }
    o.handles().handle(Ref::HardPointer, plan_.blockOf.at(insert.block));
    if (hasAttributes) writeOwnedHandles(o, *owned_);
}

void EntityEncoder::body(ObjectEncoder& o, const ConstructionLine& line) {
    o.data().bitPoint3(line.point);
    o.data().bitPoint3(line.direction);
}

void EntityEncoder::body(ObjectEncoder& o, const Face& face) {
    BitWriter& d = o.data();
    if (face.kind == Face::Kind::Face3D) {
        // Corners after the first default to the one before; flags only when some edge is hidden.
        const bool noFlags = face.invisibleEdges == 0;
        const bool zZero = same(face.corners[0].z, 0.0);
        d.bit(noFlags);
        d.bit(zZero);
        d.rawDouble(face.corners[0].x);
        d.rawDouble(face.corners[0].y);
        if (!zZero) d.rawDouble(face.corners[0].z);
        for (int i = 1; i < 4; ++i) {
            d.bitDoubleDefault(face.corners[i].x, face.corners[i - 1].x);
            d.bitDoubleDefault(face.corners[i].y, face.corners[i - 1].y);
            d.bitDoubleDefault(face.corners[i].z, face.corners[i - 1].z);
        }
        if (!noFlags) d.bitShort(static_cast<std::int16_t>(face.invisibleEdges));
        return;
    }
    d.thickness(face.thickness);
    d.bitDouble(face.corners[0].z);  // elevation
    for (const Point3& corner : face.corners) d.rawPoint2({corner.x, corner.y});
    d.extrusion(face.extrusion);
}

void EntityEncoder::hatchEdge(BitWriter& d, const HatchEdge& e) {
    switch (e.kind) {
        case HatchEdge::Kind::Line:
            d.rawChar(1);
            d.rawPoint2(e.start);
            d.rawPoint2(e.end);
            break;
        case HatchEdge::Kind::CircularArc:
            d.rawChar(2);
            d.rawPoint2(e.center);
            d.bitDouble(e.radius);
            d.bitDouble(e.startAngle);
            d.bitDouble(e.endAngle);
            d.bit(e.counterClockwise);
            break;
        case HatchEdge::Kind::EllipticArc:
            d.rawChar(3);
            d.rawPoint2(e.center);
            d.rawPoint2(e.majorAxisEnd);
            d.bitDouble(e.axisRatio);
            d.bitDouble(e.startAngle);
            d.bitDouble(e.endAngle);
            d.bit(e.counterClockwise);
            break;
        case HatchEdge::Kind::Spline: {
            const bool rational = !e.weights.empty();
            d.rawChar(4);
            d.bitLong(e.degree);
            d.bit(rational);
            d.bit(false);  // not periodic
            d.bitLong(static_cast<std::int32_t>(e.knots.size()));
            d.bitLong(static_cast<std::int32_t>(e.controlPoints.size()));
            for (double knot : e.knots) d.bitDouble(knot);
            for (std::size_t i = 0; i < e.controlPoints.size(); ++i) {
                d.rawPoint2(e.controlPoints[i]);
                if (rational) d.bitDouble(i < e.weights.size() ? e.weights[i] : 1.0);
            }
            if (v_ >= Version::R2010) d.bitLong(0);  // no fit points
            break;
        }
    }
}

void EntityEncoder::body(ObjectEncoder& o, const Hatch& hatch) {
    BitWriter& d = o.data();
    if (v_ >= Version::R2004) {
        const bool gradient = hatch.gradientColor.has_value();
        d.bitLong(gradient ? 1 : 0);
        d.bitLong(0);    // reserved
        d.bitDouble(0);  // angle
        d.bitDouble(0);  // shift
        d.bitLong(gradient ? 1 : 0);  // one colour, with a tint
        d.bitDouble(gradient ? 1 : 0);
        d.bitLong(gradient ? 1 : 0);
        if (gradient) {
            d.bitDouble(0);
            o.color(*hatch.gradientColor);
        }
        o.text(gradient ? "LINEAR" : "");
    }
    d.bitDouble(hatch.elevation);
    d.bitPoint3(hatch.extrusion);
    o.text(hatch.patternName);
    d.bit(hatch.solid);
    d.bit(hatch.associative);
    d.bitLong(static_cast<std::int32_t>(hatch.loops.size()));
    bool anyDerived = false;
    for (const HatchLoop& loop : hatch.loops) {
        const int flags = loop.isPolyline ? loop.flags | 2 : loop.flags & ~2;
        anyDerived = anyDerived || (flags & 4);
        d.bitLong(flags);
        if (loop.isPolyline) {
            const bool hasBulges = !loop.bulges.empty();
            d.bit(hasBulges);
            d.bit(loop.closed);
            d.bitLong(static_cast<std::int32_t>(loop.points.size()));
            for (std::size_t i = 0; i < loop.points.size(); ++i) {
                d.rawPoint2(loop.points[i]);
                if (hasBulges) d.bitDouble(i < loop.bulges.size() ? loop.bulges[i] : 0.0);
            }
        } else {
            d.bitLong(static_cast<std::int32_t>(loop.edges.size()));
            for (const HatchEdge& edge : loop.edges) hatchEdge(d, edge);
        }
        d.bitLong(0);  // no boundary objects
    }
    d.bitShort(static_cast<std::int16_t>(hatch.style));
    d.bitShort(static_cast<std::int16_t>(hatch.patternType));
    if (!hatch.solid) {
        d.bitDouble(hatch.patternAngle);
        d.bitDouble(hatch.patternScale);
        d.bit(false);  // not doubled
        d.bitShort(static_cast<std::int16_t>(hatch.patternLines.size()));
        for (const HatchPatternLine& line : hatch.patternLines) {
            d.bitDouble(line.angle);
            d.bitPoint2(line.base);
            d.bitPoint2(line.offset);
            d.bitShort(static_cast<std::int16_t>(line.dashes.size()));
            for (double dash : line.dashes) d.bitDouble(dash);
        }
    }
    if (anyDerived) d.bitDouble(0);  // pixel size
    d.bitLong(0);                    // no seed points
}

}  // namespace

void encodeEntities(const WritePlan& plan, EncodedObjects& out) {
    for (const PlannedBlock& block : plan.blocks)
        if (block.source) EntityEncoder(plan, block, out).run();
}

}  // namespace dwg::detail
