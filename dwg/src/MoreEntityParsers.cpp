// The dispatch to the parsers of the less common entities, and those that
// take only a few fields.
#include "MoreEntityParsers.h"

#include "FieldReader.h"

namespace dwg::detail {

void parseTolerance(EntityParseContext& context) {
    FieldReader f(context.streams, context.file, context.record.entity.header.handle);
    BitReader& d = f.data();
    Tolerance t;
    if (f.version() <= Version::R14) {
        d.bitShort();
        t.height = d.bitDouble();
        d.bitDouble();  // DIMGAP
    }
    t.insertion = d.bitPoint3();
    t.xDirection = d.bitPoint3();
    t.extrusion = d.bitPoint3();
    t.text = f.text();
    t.dimStyle = f.handle();
    context.record.entity.data = std::move(t);
}

void parseHelixAfterSpline(EntityParseContext& context) {
    BitReader& d = context.streams.data();
    Helix helix;
    helix.spline = std::get<Spline>(context.record.entity.data);
    d.bitLong();  // major version
    d.bitLong();  // maintenance version
    helix.axisBasePoint = d.bitPoint3();
    helix.startPoint = d.bitPoint3();
    helix.axisVector = d.bitPoint3();
    helix.radius = d.bitDouble();
    helix.turns = d.bitDouble();
    helix.turnHeight = d.bitDouble();
    helix.rightHanded = d.bit();
    d.rawChar();  // which value the others follow
    context.record.entity.data = std::move(helix);
}

bool parseMoreEntity(const std::string& typeName, EntityParseContext& context) {
    if (typeName == "MULTILEADER")
        parseMultiLeader(context);
    else if (typeName == "MLINE")
        parseMLine(context);
    else if (typeName == "IMAGE" || typeName == "WIPEOUT")
        parseRasterImage(context, typeName == "WIPEOUT");
    else if (typeName == "MESH")
        parseSubdivisionMesh(context);
    else if (typeName == "TOLERANCE")
        parseTolerance(context);
    else if (isSurfaceClass(typeName))
        parseAcisEntity(context);
    else
        return false;
    return true;
}

}  // namespace dwg::detail
