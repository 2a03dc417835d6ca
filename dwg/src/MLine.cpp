// MLINE and its MLINESTYLE: the entity stores the path and, per vertex and
// element, where the element passes; offsets, colours and caps are the style's.
#include "EntityStyles.h"
#include "FieldReader.h"
#include "MoreEntityParsers.h"

namespace dwg::detail {
namespace {

// A BS count of BD values, checked against what is left.
std::vector<double> doubles(BitReader& d, const char* what) {
    const auto n = static_cast<std::uint16_t>(d.bitShort());
    d.requireItems(n, kMinBitsBitDouble, what);
    std::vector<double> values;
    values.reserve(n);
    for (int i = 0; i < n; ++i) values.push_back(d.bitDouble());
    return values;
}

// Style flag bits as stored (they differ from the DXF ones).
enum MLineStyleFlag : int {
    kShowMiters = 1,
    kFilled = 2,
    kStartSquare = 16,
    kStartRound = 32,
    kStartInnerArcs = 64,
    kEndSquare = 256,
    kEndRound = 512,
    kEndInnerArcs = 1024,
};

}  // namespace

void parseMLine(EntityParseContext& context) {
    FieldReader f(context.streams, context.file, context.record.entity.header.handle);
    BitReader& d = f.data();
    MLine m;
    m.scale = d.bitDouble();
    m.justification = d.rawChar();
    m.basePoint = d.bitPoint3();
    m.extrusion = d.bitPoint3();
    const int flags = d.bitShort();
    m.closed = flags & 2;
    m.suppressStartCaps = flags & 4;
    m.suppressEndCaps = flags & 8;
    const int elementCount = d.rawChar();
    const auto vertexCount = static_cast<std::uint16_t>(d.bitShort());
    d.requireItems(vertexCount, 3 * kMinBitsPoint3 + elementCount * 4, "vértices de multilinha");
    m.vertices.reserve(vertexCount);
    for (int i = 0; i < vertexCount; ++i) {
        MLineVertex v;
        v.position = d.bitPoint3();
        v.direction = d.bitPoint3();
        v.miter = d.bitPoint3();
        for (int e = 0; e < elementCount; ++e) {
            v.elementParameters.push_back(doubles(d, "parâmetros de multilinha"));
            v.fillParameters.push_back(doubles(d, "parâmetros de multilinha"));
        }
        m.vertices.push_back(std::move(v));
    }
    m.style = f.handle();
    context.record.entity.data = std::move(m);
}

MLineStyle parseMLineStyle(Streams& streams, const FileContext& file, Handle own) {
    FieldReader f(streams, file, own);
    BitReader& d = f.data();
    MLineStyle style;
    style.handle = own;
    f.text();  // name
    f.text();  // description
    style.flags = d.bitShort();
    style.fillColor = f.color();
    style.startAngle = d.bitDouble();
    style.endAngle = d.bitDouble();
    const int count = d.rawChar();
    for (int i = 0; i < count; ++i) {
        MLineElement element;
        element.offset = d.bitDouble();
        element.color = f.color();
        if (file.version >= Version::R2018)
            element.linetype = f.handle();
        else
            d.bitShort();  // linetype index
        style.elements.push_back(element);
    }
    return style;
}

void applyMLineStyle(MLine& line, const MLineStyle& style) {
    line.elements = style.elements;
    line.fillColor = style.fillColor;
    line.startAngle = style.startAngle;
    line.endAngle = style.endAngle;
    const int flags = style.flags;
    line.filled = flags & kFilled;
    line.showMiters = flags & kShowMiters;
    line.startSquareCap = flags & kStartSquare;
    line.startRoundCap = flags & kStartRound;
    line.startInnerArcs = flags & kStartInnerArcs;
    line.endSquareCap = flags & kEndSquare;
    line.endRoundCap = flags & kEndRound;
    line.endInnerArcs = flags & kEndInnerArcs;
}

}  // namespace dwg::detail
