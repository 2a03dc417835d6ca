// DIMENSION in its seven kinds, LEADER and TOLERANCE. A dimension is drawn by its
// anonymous block; its points are kept so that the CAD program can edit it.
// Both refer to the file's Standard dimension style: the model keeps no
// dimension styles of its own, and what the style would draw is already in
// the block.
#include "WriterModel.h"

namespace dwg::detail {
namespace {

constexpr int kTypeDimensionOrdinate = 20;
constexpr int kLeaderWithoutAnnotation = 3;

}  // namespace

int dimensionType(const Dimension& dimension) {
    return kTypeDimensionOrdinate + static_cast<int>(dimension.kind);
}

void writeDimensionBody(RecordStreams& o, const Dimension& dim, Handle dimStyle, Handle block) {
    BitWriter& d = o.data();
    const Version v = o.version();
    if (v >= Version::R2010) d.rawChar(0);  // version
    d.bitPoint3(dim.extrusion);
    d.rawPoint2(dim.textMidpoint);
    d.bitDouble(dim.elevation);
    d.rawChar(0);  // text where the midpoint says
    o.text(dim.userText);
    d.bitDouble(dim.textRotation);
    d.bitDouble(0);  // horizontal direction
    d.bitPoint3(dim.insertionScale);
    d.bitDouble(dim.insertionRotation);
    d.bitShort(5);  // text attached at its middle
    d.bitShort(1);  // line spacing "at least"
    d.bitDouble(1);
    d.bitDouble(dim.measurement);
    if (v >= Version::R2007) {
        d.bit(false);
        d.bit(false);  // arrowheads not flipped
        d.bit(false);
    }
    d.rawPoint2({0, 0});  // insertion point of a copied dimension
    switch (dim.kind) {
        case Dimension::Kind::Ordinate:
            d.bitPoint3(dim.definitionPoint);
            d.bitPoint3(dim.firstPoint);
            d.bitPoint3(dim.secondPoint);
            d.rawChar(0);
            break;
        case Dimension::Kind::Linear:
        case Dimension::Kind::Aligned:
            d.bitPoint3(dim.firstPoint);
            d.bitPoint3(dim.secondPoint);
            d.bitPoint3(dim.definitionPoint);
            d.bitDouble(dim.extensionRotation);
            if (dim.kind == Dimension::Kind::Linear) d.bitDouble(dim.rotation);
            break;
        case Dimension::Kind::Angular3Point:
            d.bitPoint3(dim.definitionPoint);
            d.bitPoint3(dim.firstPoint);
            d.bitPoint3(dim.secondPoint);
            d.bitPoint3(dim.thirdPoint);
            break;
        case Dimension::Kind::Angular2Line:
            d.rawPoint2(dim.arcPoint);
            d.bitPoint3(dim.firstPoint);
            d.bitPoint3(dim.secondPoint);
            d.bitPoint3(dim.thirdPoint);
            d.bitPoint3(dim.definitionPoint);
            break;
        case Dimension::Kind::Radius:
            d.bitPoint3(dim.definitionPoint);
            d.bitPoint3(dim.thirdPoint);
            d.bitDouble(dim.leaderLength);
            break;
        case Dimension::Kind::Diameter:
            d.bitPoint3(dim.thirdPoint);
            d.bitPoint3(dim.definitionPoint);
            d.bitDouble(dim.leaderLength);
            break;
    }
    o.handles().handle(Ref::HardPointer, dimStyle);
    o.handles().handle(Ref::HardPointer, block);
}

// The leader is written on its own: which entity it annotated is not kept.
void writeLeaderBody(RecordStreams& o, const Leader& leader, Handle dimStyle) {
    BitWriter& d = o.data();
    d.bit(false);
    d.bitShort(kLeaderWithoutAnnotation);
    d.bitShort(leader.splinePath ? 1 : 0);
    d.bitLong(static_cast<std::int32_t>(leader.points.size()));
    for (const Point3& p : leader.points) d.bitPoint3(p);
    d.bitPoint3(leader.points.empty() ? Point3{} : leader.points.front());  // origin
    d.bitPoint3(leader.extrusion);
    d.bitPoint3({1, 0, 0});  // x direction
    d.bitPoint3({0, 0, 0});  // offset of an annotating block
    d.bitPoint3({0, 0, 0});  // end-point projection
    if (o.version() <= Version::R2007) {
        d.bitDouble(0);  // annotation box height and width
        d.bitDouble(0);
    }
    d.bit(false);  // hook line
    d.bit(leader.arrowhead);
    d.bitShort(0);  // arrowhead type: the style's
    d.bit(false);
    d.bit(false);
    o.handles().handle(Ref::SoftPointer, 0);  // no annotation
    o.handles().handle(Ref::HardPointer, dimStyle);
}

void writeToleranceBody(RecordStreams& o, const Tolerance& tolerance, Handle dimStyle) {
    BitWriter& d = o.data();
    d.bitPoint3(tolerance.insertion);
    d.bitPoint3(tolerance.xDirection);
    d.bitPoint3(tolerance.extrusion);
    o.text(tolerance.text);
    o.handles().handle(Ref::HardPointer, dimStyle);
}

}  // namespace dwg::detail
