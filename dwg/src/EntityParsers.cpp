#include "EntityParsers.h"

#include <cmath>
#include <cstdlib>

#include "MoreEntityParsers.h"

namespace dwg::detail {
namespace {

// Smallest encodings, used to reject counts that cannot fit in what is left.
constexpr std::size_t kMinBitDouble = 2;
constexpr std::size_t kMinBitPoint3 = 6;
constexpr std::size_t kRawPoint2 = 128;

class BodyParser {
  public:
    explicit BodyParser(EntityParseContext& context)
        : context_(context),
          s_(context.streams),
          d_(context.streams.data()),
          h_(context.streams.handles()),
          file_(context.file),
          v_(context.file.version),
          record_(context.record),
          own_(context.record.entity.header.handle) {}

    void parse(int type, const ClassDef* klass);

  private:
    std::string text() { return s_.text(file_); }
    Handle handle() { return h_.handle().resolve(own_); }
    Point2 defaultPoint2(const Point2& defaults) {
        Point2 p;
        p.x = d_.bitDoubleDefault(defaults.x);
        p.y = d_.bitDoubleDefault(defaults.y);
        return p;
    }
    Point3 defaultPoint3(const Point3& defaults) {
        Point3 p;
        p.x = d_.bitDoubleDefault(defaults.x);
        p.y = d_.bitDoubleDefault(defaults.y);
        p.z = d_.bitDoubleDefault(defaults.z);
        return p;
    }
    std::size_t count(const char* what, std::size_t minBitsEach) {
        const std::int32_t n = d_.bitLong();
        if (n < 0) throw Error::damaged(std::string("quantidade negativa de ") + what);
        d_.requireItems(static_cast<std::uint32_t>(n), minBitsEach, what);
        return static_cast<std::size_t>(n);
    }
    // Room for `n` items, charged to the read's budget first: a count that
    // fits the bits left can still stand for far more memory than the file.
    template <typename T>
    void reserve(std::vector<T>& items, std::size_t n) {
        file_.charge(n, sizeof(T));
        items.reserve(n);
    }
    // POLYLINE and INSERT children: listed one by one from R2004, first and last before.
    void childHandles(std::size_t ownedCount) {
        if (v_ >= Version::R2004) {
            h_.requireItems(ownedCount, 8, "entidades filhas");
            reserve(record_.children, ownedCount);
            for (std::size_t i = 0; i < ownedCount; ++i) record_.children.push_back(handle());
        } else {
            record_.firstChild = handle();
            record_.lastChild = handle();
        }
        handle();  // SEQEND
    }
    // The count ends the data stream; the children it counts are handles, checked there.
    std::size_t ownedCount() {
        if (v_ < Version::R2004) return 0;
        const std::int32_t n = d_.bitLong();
        if (n < 0) throw Error::damaged("quantidade negativa de entidades filhas");
        return static_cast<std::size_t>(n);
    }

    void set(EntityData data) { record_.entity.data = std::move(data); }

    Text textBody(Text::Kind kind);
    void attribute(Text::Kind kind);
    void insert(bool multiple);
    void vertex(int type);
    void polyline(int type);
    void dimension(int type);
    void face(int type);
    void lwPolyline();
    void spline();
    void mtext();
    MText embeddedMText();
    // Skips the common data of an entity stored inside another (R2018
    // multi-line attributes); its handles follow the attribute's own.
    void skipEmbeddedEntityData();
    void leader();
    void hatch();
    HatchEdge hatchSplineEdge();

    EntityParseContext& context_;
    Streams& s_;
    BitReader& d_;
    BitReader& h_;
    const FileContext& file_;
    Version v_;
    EntityRecord& record_;
    Handle own_;
};

Text BodyParser::textBody(Text::Kind kind) {
    Text t;
    t.kind = kind;
    if (v_ <= Version::R14) {
        t.elevation = d_.bitDouble();
        t.insertion = d_.rawPoint2();
        t.alignment = d_.rawPoint2();
        t.extrusion = d_.bitPoint3();
        t.thickness = d_.bitDouble();
        t.obliqueAngle = d_.bitDouble();
        t.rotation = d_.bitDouble();
        t.height = d_.bitDouble();
        t.widthFactor = d_.bitDouble();
        t.text = text();
        t.generation = d_.bitShort();
        t.horizontalAlignment = d_.bitShort();
        t.verticalAlignment = d_.bitShort();
    } else {
        const int absent = d_.rawChar();
        if (!(absent & 0x01)) t.elevation = d_.rawDouble();
        t.insertion = d_.rawPoint2();
        t.alignment = (absent & 0x02) ? t.insertion : defaultPoint2(t.insertion);
        t.extrusion = d_.extrusion(v_);
        t.thickness = d_.thickness(v_);
        if (!(absent & 0x04)) t.obliqueAngle = d_.rawDouble();
        if (!(absent & 0x08)) t.rotation = d_.rawDouble();
        t.height = d_.rawDouble();
        if (!(absent & 0x10)) t.widthFactor = d_.rawDouble();
        t.text = text();
        if (!(absent & 0x20)) t.generation = d_.bitShort();
        if (!(absent & 0x40)) t.horizontalAlignment = d_.bitShort();
        if (!(absent & 0x80)) t.verticalAlignment = d_.bitShort();
    }
    return t;
}

void BodyParser::attribute(Text::Kind kind) {
    Text t = textBody(kind);
    if (v_ >= Version::R2010) d_.rawChar();  // version
    // R2018 multi-line attributes (type 2 ATTRIB, 4 ATTDEF) embed an MTEXT:
    // its common entity data, its MTEXT fields, then annotative data.
    if (v_ >= Version::R2018 && d_.rawChar() > 1) {
        skipEmbeddedEntityData();
        t.text = embeddedMText().text;
        const int annotativeSize = d_.bitShort();
        if (annotativeSize > 0) {
            d_.skipBytes(static_cast<std::size_t>(annotativeSize));
            d_.bitShort();
        }
    }
    t.tag = text();
    d_.bitShort();  // field length
    t.attributeFlags = d_.rawChar();
    if (v_ >= Version::R2007) d_.bit();  // lock position
    if (kind == Text::Kind::AttributeDefinition) {
        if (v_ >= Version::R2010) d_.rawChar();
        t.prompt = text();
    }
    t.style = handle();
    set(std::move(t));
}

void BodyParser::insert(bool multiple) {
    Insert in;
    in.insertion = d_.bitPoint3();
    if (v_ <= Version::R14) {
        in.scale = d_.bitPoint3();
    } else {
        switch (d_.twoBits()) {
            case 3:
                in.scale = {1, 1, 1};
                break;
            case 1:
                in.scale.x = 1;
                in.scale.y = d_.bitDoubleDefault(1.0);
                in.scale.z = d_.bitDoubleDefault(1.0);
                break;
            case 2:
                in.scale.x = in.scale.y = in.scale.z = d_.rawDouble();
                break;
            default:
                in.scale.x = d_.rawDouble();
                in.scale.y = d_.bitDoubleDefault(in.scale.x);
                in.scale.z = d_.bitDoubleDefault(in.scale.x);
                break;
        }
    }
    in.rotation = d_.bitDouble();
    in.extrusion = d_.bitPoint3();
    const bool hasAttributes = d_.bit();
    const std::size_t owned = hasAttributes ? ownedCount() : 0;
    if (multiple) {
        in.columns = static_cast<std::uint16_t>(d_.bitShort());
        in.rows = static_cast<std::uint16_t>(d_.bitShort());
        in.columnSpacing = d_.bitDouble();
        in.rowSpacing = d_.bitDouble();
    }
    in.block = handle();
    if (hasAttributes) childHandles(owned);
    set(std::move(in));
}

void BodyParser::vertex(int type) {
    if (type == 14) {  // polyface face: vertex indices only
        PolyfaceFace face;
        for (int& index : face.indices) index = d_.bitShort();
        record_.face = face;
        return;
    }
    Vertex v;
    v.flags = d_.rawChar();
    v.position = d_.bitPoint3();
    if (type == 10) {
        v.startWidth = d_.bitDouble();
        if (v.startWidth < 0) {
            v.startWidth = v.endWidth = std::fabs(v.startWidth);
        } else {
            v.endWidth = d_.bitDouble();
        }
        v.bulge = d_.bitDouble();
        if (v_ >= Version::R2010) d_.bitLong();  // vertex id
        d_.bitDouble();                          // tangent direction
    }
    record_.vertex = v;
}

void BodyParser::polyline(int type) {
    Polyline p;
    switch (type) {
        case 15:
            p.kind = Polyline::Kind::Polyline2D;
            p.flags = static_cast<std::uint16_t>(d_.bitShort());
            d_.bitShort();  // curve type
            p.startWidth = d_.bitDouble();
            p.endWidth = d_.bitDouble();
            p.thickness = d_.thickness(v_);
            p.elevation = d_.bitDouble();
            p.extrusion = d_.extrusion(v_);
            p.closed = p.flags & 1;
            break;
        case 16:
            p.kind = Polyline::Kind::Polyline3D;
            d_.rawChar();  // spline fit flags
            p.flags = d_.rawChar();
            p.closed = p.flags & 1;
            break;
        case 29:
            p.kind = Polyline::Kind::PolyfaceMesh;
            d_.bitShort();  // vertex count
            d_.bitShort();  // face count
            break;
        default:
            p.kind = Polyline::Kind::PolygonMesh;
            p.flags = static_cast<std::uint16_t>(d_.bitShort());
            d_.bitShort();  // curve type
            p.meshM = static_cast<std::uint16_t>(d_.bitShort());
            p.meshN = static_cast<std::uint16_t>(d_.bitShort());
            d_.bitShort();  // M density
            d_.bitShort();  // N density
            p.closed = p.flags & 1;
            p.closedN = p.flags & 32;
            break;
    }
    childHandles(ownedCount());
    set(std::move(p));
}

void BodyParser::dimension(int type) {
    Dimension dim;
    if (v_ >= Version::R2010) d_.rawChar();  // version
    dim.extrusion = d_.bitPoint3();
    dim.textMidpoint = d_.rawPoint2();
    dim.elevation = d_.bitDouble();
    d_.rawChar();  // flags
    dim.userText = text();
    dim.textRotation = d_.bitDouble();
    d_.bitDouble();  // horizontal direction
    dim.insertionScale = d_.bitPoint3();
    dim.insertionRotation = d_.bitDouble();
    if (v_ >= Version::R2000) {
        d_.bitShort();  // attachment
        d_.bitShort();  // line spacing style
        d_.bitDouble();
        dim.measurement = d_.bitDouble();
    }
    if (v_ >= Version::R2007) {
        d_.bit();
        d_.bit();
        d_.bit();
    }
    d_.rawPoint2();  // clone insertion point
    switch (type) {
        case 20:
            dim.kind = Dimension::Kind::Ordinate;
            dim.definitionPoint = d_.bitPoint3();
            dim.firstPoint = d_.bitPoint3();
            dim.secondPoint = d_.bitPoint3();
            d_.rawChar();
            break;
        case 21:
            dim.kind = Dimension::Kind::Linear;
            dim.firstPoint = d_.bitPoint3();
            dim.secondPoint = d_.bitPoint3();
            dim.definitionPoint = d_.bitPoint3();
            dim.extensionRotation = d_.bitDouble();
            dim.rotation = d_.bitDouble();
            break;
        case 22:
            dim.kind = Dimension::Kind::Aligned;
            dim.firstPoint = d_.bitPoint3();
            dim.secondPoint = d_.bitPoint3();
            dim.definitionPoint = d_.bitPoint3();
            dim.extensionRotation = d_.bitDouble();
            break;
        case 23:
            dim.kind = Dimension::Kind::Angular3Point;
            dim.definitionPoint = d_.bitPoint3();
            dim.firstPoint = d_.bitPoint3();
            dim.secondPoint = d_.bitPoint3();
            dim.thirdPoint = d_.bitPoint3();
            break;
        case 24:
            dim.kind = Dimension::Kind::Angular2Line;
            dim.arcPoint = d_.rawPoint2();
            dim.firstPoint = d_.bitPoint3();
            dim.secondPoint = d_.bitPoint3();
            dim.thirdPoint = d_.bitPoint3();
            dim.definitionPoint = d_.bitPoint3();
            break;
        case 25:
            dim.kind = Dimension::Kind::Radius;
            dim.definitionPoint = d_.bitPoint3();
            dim.thirdPoint = d_.bitPoint3();
            dim.leaderLength = d_.bitDouble();
            break;
        default:
            dim.kind = Dimension::Kind::Diameter;
            dim.thirdPoint = d_.bitPoint3();
            dim.definitionPoint = d_.bitPoint3();
            dim.leaderLength = d_.bitDouble();
            break;
    }
    dim.dimStyle = handle();
    dim.block = handle();
    set(std::move(dim));
}

void BodyParser::face(int type) {
    Face f;
    if (type == 28) {
        f.kind = Face::Kind::Face3D;
        if (v_ <= Version::R14) {
            for (Point3& corner : f.corners) corner = d_.bitPoint3();
            f.invisibleEdges = d_.bitShort();
        } else {
            const bool noFlags = d_.bit();
            const bool zZero = d_.bit();
            f.corners[0].x = d_.rawDouble();
            f.corners[0].y = d_.rawDouble();
            if (!zZero) f.corners[0].z = d_.rawDouble();
            for (int i = 1; i < 4; ++i) f.corners[i] = defaultPoint3(f.corners[i - 1]);
            if (!noFlags) f.invisibleEdges = d_.bitShort();
        }
    } else {
        f.kind = type == 31 ? Face::Kind::Solid : Face::Kind::Trace;
        f.thickness = d_.thickness(v_);
        const double elevation = d_.bitDouble();
        for (Point3& corner : f.corners) {
            const Point2 p = d_.rawPoint2();
            corner = {p.x, p.y, elevation};
        }
        f.extrusion = d_.extrusion(v_);
    }
    set(f);
}

void BodyParser::lwPolyline() {
    LwPolyline p;
    const int flags = static_cast<std::uint16_t>(d_.bitShort());
    if (flags & 4) p.constantWidth = d_.bitDouble();
    if (flags & 8) p.elevation = d_.bitDouble();
    if (flags & 2) p.thickness = d_.bitDouble();
    if (flags & 1) p.extrusion = d_.bitPoint3();
    p.closed = flags & 512;
    const std::size_t pointCount = count("vértices", 4);
    const std::size_t bulgeCount = (flags & 16) ? count("curvaturas", kMinBitDouble) : 0;
    const std::size_t idCount =
        (v_ >= Version::R2010 && (flags & 1024)) ? count("identificadores", 2) : 0;
    const std::size_t widthCount = (flags & 32) ? count("larguras", 2 * kMinBitDouble) : 0;
    reserve(p.points, pointCount);
    reserve(p.bulges, bulgeCount);
    reserve(p.widths, widthCount);
    for (std::size_t i = 0; i < pointCount; ++i) {
        if (v_ <= Version::R14 || i == 0)
            p.points.push_back(d_.rawPoint2());
        else
            p.points.push_back(defaultPoint2(p.points.back()));
    }
    for (std::size_t i = 0; i < bulgeCount; ++i) p.bulges.push_back(d_.bitDouble());
    for (std::size_t i = 0; i < idCount; ++i) d_.bitLong();
    for (std::size_t i = 0; i < widthCount; ++i) {
        const double start = d_.bitDouble();
        p.widths.emplace_back(start, d_.bitDouble());
    }
    set(std::move(p));
}

void BodyParser::spline() {
    Spline sp;
    int scenario = d_.bitLong();
    if (v_ >= Version::R2013) {
        const int flags = d_.bitLong();
        const int knotParameter = d_.bitLong();
        if (flags & 1)
            scenario = 2;
        else if (knotParameter == 15)
            scenario = 1;
    }
    sp.degree = d_.bitLong();
    if (scenario == 2) {
        d_.bitDouble();  // fit tolerance
        sp.startTangent = d_.bitPoint3();
        sp.endTangent = d_.bitPoint3();
        const std::size_t fitCount = count("pontos de ajuste", kMinBitPoint3);
        reserve(sp.fitPoints, fitCount);
        for (std::size_t i = 0; i < fitCount; ++i) sp.fitPoints.push_back(d_.bitPoint3());
    } else if (scenario == 1) {
        sp.rational = d_.bit();
        sp.closed = d_.bit();
        sp.periodic = d_.bit();
        d_.bitDouble();  // knot tolerance
        d_.bitDouble();  // control tolerance
        const std::size_t knotCount = count("nós", kMinBitDouble);
        const std::size_t controlCount = count("pontos de controle", kMinBitPoint3);
        const bool weighted = d_.bit();
        reserve(sp.knots, knotCount);
        reserve(sp.controlPoints, controlCount);
        if (weighted) reserve(sp.weights, controlCount);
        for (std::size_t i = 0; i < knotCount; ++i) sp.knots.push_back(d_.bitDouble());
        for (std::size_t i = 0; i < controlCount; ++i) {
            sp.controlPoints.push_back(d_.bitPoint3());
            if (weighted) sp.weights.push_back(d_.bitDouble());
        }
    } else {
        throw Error::damaged("spline de tipo desconhecido");
    }
    set(std::move(sp));
}

void BodyParser::skipEmbeddedEntityData() {
    d_.twoBits();                        // entity mode
    d_.bitLong();                        // reactor count
    d_.bit();                            // xdictionary missing
    if (v_ >= Version::R2013) d_.bit();  // has data-store data
    const int color = static_cast<std::uint16_t>(d_.bitShort());
    if ((color & 0x8000) && !(color & 0x4000)) d_.bitLong();  // RGB
    if (color & 0x2000) d_.bitLong();                         // transparency
    d_.bitDouble();                                           // linetype scale
    d_.twoBits();                                             // linetype flags
    d_.twoBits();                                             // plot style flags
    d_.twoBits();                                             // material flags
    d_.rawChar();                                             // shadow flags
    for (int i = 0; i < 3; ++i) d_.bit();                     // visual styles
    d_.bitShort();                                            // invisibility
    d_.rawChar();                                             // lineweight
}

// The MTEXT fields from the insertion point on, as MTEXT entities and R2018
// multi-line attributes store them.
MText BodyParser::embeddedMText() {
    MText m;
    m.insertion = d_.bitPoint3();
    m.extrusion = d_.bitPoint3();
    m.xAxis = d_.bitPoint3();
    m.rectangleWidth = d_.bitDouble();
    if (v_ >= Version::R2007) d_.bitDouble();  // rectangle height
    m.height = d_.bitDouble();
    m.attachment = d_.bitShort();
    m.drawingDirection = d_.bitShort();
    d_.bitDouble();  // extents height
    d_.bitDouble();  // extents width
    m.text = text();
    if (v_ >= Version::R2000) {
        d_.bitShort();  // line spacing style
        m.lineSpacingFactor = d_.bitDouble();
        d_.bit();
    }
    if (v_ >= Version::R2004) {
        const std::int32_t background = d_.bitLong();
        // R2018 samples set bit 0 as before; 0x10 is the R2018 spelling of the same flag.
        if (background & (v_ >= Version::R2018 ? 0x11 : 0x01)) {
            d_.bitDouble();  // fill scale
            d_.color(v_, s_.strings());
            d_.bitLong();  // transparency
        }
    }
    if (v_ >= Version::R2018 && d_.bit()) {  // not annotative: a redundant copy of the layout
        d_.bitShort();                       // version
        d_.bit();                            // default flag
        d_.bitLong();                        // attachment
        d_.bitPoint3();
        d_.bitPoint3();
        for (int i = 0; i < 4; ++i) d_.bitDouble();
        const int columnType = d_.bitShort();
        if (columnType != 0) {
            const std::size_t columns = count("colunas", kMinBitDouble);
            d_.bitDouble();  // width
            d_.bitDouble();  // gutter
            const bool autoHeight = d_.bit();
            d_.bit();  // flow reversed
            if (columnType == 2 && !autoHeight)
                for (std::size_t i = 0; i < columns; ++i) d_.bitDouble();
        }
    }
    return m;
}

void BodyParser::mtext() {
    MText m = embeddedMText();
    m.style = handle();
    set(std::move(m));
}

void BodyParser::leader() {
    Leader l;
    d_.bit();
    d_.bitShort();  // annotation type
    l.splinePath = d_.bitShort() == 1;
    const std::size_t pointCount = count("vértices", kMinBitPoint3);
    reserve(l.points, pointCount);
    for (std::size_t i = 0; i < pointCount; ++i) l.points.push_back(d_.bitPoint3());
    d_.bitPoint3();  // origin
    l.extrusion = d_.bitPoint3();
    d_.bitPoint3();                          // x direction
    d_.bitPoint3();                          // block offset
    if (v_ >= Version::R14) d_.bitPoint3();  // end-point projection
    if (v_ <= Version::R14) d_.bitDouble();  // DIMGAP
    if (v_ <= Version::R2007) {
        d_.bitDouble();  // box height
        d_.bitDouble();  // box width
    }
    d_.bit();  // hook line on x direction
    l.arrowhead = d_.bit();
    d_.bitShort();  // arrowhead type
    if (v_ <= Version::R14) {
        d_.bitDouble();
        d_.bit();
        d_.bit();
        d_.bitShort();
        d_.bitShort();
        d_.bit();
        d_.bit();
    } else {
        d_.bit();
        d_.bit();
    }
    l.annotation = handle();
    l.dimStyle = handle();
    set(std::move(l));
}

HatchEdge BodyParser::hatchSplineEdge() {
    HatchEdge e;
    e.kind = HatchEdge::Kind::Spline;
    e.degree = d_.bitLong();
    const bool rational = d_.bit();
    d_.bit();  // periodic
    const std::size_t knotCount = count("nós", kMinBitDouble);
    const std::size_t controlCount = count("pontos de controle", kRawPoint2);
    reserve(e.knots, knotCount);
    reserve(e.controlPoints, controlCount);
    if (rational) reserve(e.weights, controlCount);
    for (std::size_t i = 0; i < knotCount; ++i) e.knots.push_back(d_.bitDouble());
    for (std::size_t i = 0; i < controlCount; ++i) {
        e.controlPoints.push_back(d_.rawPoint2());
        if (rational) e.weights.push_back(d_.bitDouble());
    }
    if (v_ >= Version::R2010) {
        const std::size_t fitCount = count("pontos de ajuste", kRawPoint2);
        if (fitCount > 0) {
            for (std::size_t i = 0; i < fitCount; ++i) d_.rawPoint2();
            d_.rawPoint2();  // start tangent
            d_.rawPoint2();  // end tangent
        }
    }
    return e;
}

void BodyParser::hatch() {
    Hatch hatch;
    if (v_ >= Version::R2004) {
        const bool gradient = d_.bitLong() != 0;
        d_.bitLong();
        d_.bitDouble();
        d_.bitDouble();
        d_.bitLong();
        d_.bitDouble();
        const std::size_t colorCount = count("cores de gradiente", 4);
        for (std::size_t i = 0; i < colorCount; ++i) {
            d_.bitDouble();
            const Color color = d_.color(v_, s_.strings());
            if (gradient && i == 0) hatch.gradientColor = color;
        }
        text();  // gradient name
    }
    hatch.elevation = d_.bitDouble();
    hatch.extrusion = d_.bitPoint3();
    hatch.patternName = text();
    hatch.solid = d_.bit();
    hatch.associative = d_.bit();
    const std::size_t pathCount = count("contornos", 4);
    reserve(hatch.loops, pathCount);
    bool anyDerived = false;
    for (std::size_t p = 0; p < pathCount; ++p) {
        HatchLoop loop;
        loop.flags = d_.bitLong();
        anyDerived = anyDerived || (loop.flags & 4);
        if (loop.flags & 2) {
            loop.isPolyline = true;
            const bool hasBulges = d_.bit();
            loop.closed = d_.bit();
            const std::size_t pointCount = count("vértices", kRawPoint2);
            reserve(loop.points, pointCount);
            if (hasBulges) reserve(loop.bulges, pointCount);
            for (std::size_t i = 0; i < pointCount; ++i) {
                loop.points.push_back(d_.rawPoint2());
                if (hasBulges) loop.bulges.push_back(d_.bitDouble());
            }
        } else {
            const std::size_t edgeCount = count("arestas", 8);
            reserve(loop.edges, edgeCount);
            for (std::size_t i = 0; i < edgeCount; ++i) {
                const int edgeType = d_.rawChar();
                HatchEdge e;
                switch (edgeType) {
                    case 1:
                        e.kind = HatchEdge::Kind::Line;
                        e.start = d_.rawPoint2();
                        e.end = d_.rawPoint2();
                        break;
                    case 2:
                        e.kind = HatchEdge::Kind::CircularArc;
                        e.center = d_.rawPoint2();
                        e.radius = d_.bitDouble();
                        e.startAngle = d_.bitDouble();
                        e.endAngle = d_.bitDouble();
                        e.counterClockwise = d_.bit();
                        break;
                    case 3:
                        e.kind = HatchEdge::Kind::EllipticArc;
                        e.center = d_.rawPoint2();
                        e.majorAxisEnd = d_.rawPoint2();
                        e.axisRatio = d_.bitDouble();
                        e.startAngle = d_.bitDouble();
                        e.endAngle = d_.bitDouble();
                        e.counterClockwise = d_.bit();
                        break;
                    case 4:
                        e = hatchSplineEdge();
                        break;
                    default:
                        throw Error::damaged("aresta de hachura desconhecida");
                }
                loop.edges.push_back(std::move(e));
            }
        }
        count("objetos de contorno", 1);  // their handles are not needed for drawing
        hatch.loops.push_back(std::move(loop));
    }
    hatch.style = d_.bitShort();
    hatch.patternType = d_.bitShort();
    if (!hatch.solid) {
        hatch.patternAngle = d_.bitDouble();
        hatch.patternScale = d_.bitDouble();
        d_.bit();  // double
        const int lineCount = static_cast<std::uint16_t>(d_.bitShort());
        d_.requireItems(static_cast<std::uint32_t>(lineCount), 10, "linhas de padrão");
        reserve(hatch.patternLines, static_cast<std::size_t>(lineCount));
        for (int i = 0; i < lineCount; ++i) {
            HatchPatternLine line;
            line.angle = d_.bitDouble();
            line.base = d_.bitPoint2();
            line.offset = d_.bitPoint2();
            const int dashCount = static_cast<std::uint16_t>(d_.bitShort());
            d_.requireItems(static_cast<std::uint32_t>(dashCount), kMinBitDouble, "traços");
            reserve(line.dashes, static_cast<std::size_t>(dashCount));
            for (int k = 0; k < dashCount; ++k) line.dashes.push_back(d_.bitDouble());
            hatch.patternLines.push_back(std::move(line));
        }
    }
    if (anyDerived) d_.bitDouble();  // pixel size
    const std::size_t seedCount = count("pontos semente", kRawPoint2);
    for (std::size_t i = 0; i < seedCount; ++i) d_.rawPoint2();
    set(std::move(hatch));
}

// Set before the data is parsed, so that a record whose data cannot be decoded
// still stays out of the block contents or with its parent.
EntityRole roleOf(int type) {
    switch (type) {
        case 2:
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
            return EntityRole::Child;
        case 4:
        case 5:
            return EntityRole::BlockBoundary;
        case 6:
            return EntityRole::SequenceEnd;
        default:
            return EntityRole::Plain;
    }
}

void BodyParser::parse(int type, const ClassDef* klass) {
    record_.role = entityRole(type, klass);
    if (klass) {
        const std::string& name = record_.entity.typeName;
        if (name == "LWPOLYLINE")
            lwPolyline();
        else if (name == "HATCH")
            hatch();
        else if (name == "HELIX") {
            spline();
            parseHelixAfterSpline(context_);
        } else if (!parseMoreEntity(name, context_))
            set(Unsupported{});
        return;
    }
    switch (type) {
        case 1:
            set(textBody(Text::Kind::Text));
            std::get<Text>(record_.entity.data).style = handle();
            break;
        case 2:
            attribute(Text::Kind::Attribute);
            break;
        case 3:
            attribute(Text::Kind::AttributeDefinition);
            break;
        case 4:
            text();
            break;  // block name, also held by the block header
        case 5:
        case 6:
            break;
        case 7:
            insert(false);
            break;
        case 8:
            insert(true);
            break;
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
            vertex(type);
            break;
        case 15:
        case 16:
        case 29:
        case 30:
            polyline(type);
            break;
        case 17: {
            Arc a;
            a.center = d_.bitPoint3();
            a.radius = d_.bitDouble();
            a.thickness = d_.thickness(v_);
            a.extrusion = d_.extrusion(v_);
            a.startAngle = d_.bitDouble();
            a.endAngle = d_.bitDouble();
            set(a);
            break;
        }
        case 18: {
            Circle c;
            c.center = d_.bitPoint3();
            c.radius = d_.bitDouble();
            c.thickness = d_.thickness(v_);
            c.extrusion = d_.extrusion(v_);
            set(c);
            break;
        }
        case 19: {
            Line l;
            if (v_ <= Version::R14) {
                l.start = d_.bitPoint3();
                l.end = d_.bitPoint3();
            } else {
                const bool zZero = d_.bit();
                l.start.x = d_.rawDouble();
                l.end.x = d_.bitDoubleDefault(l.start.x);
                l.start.y = d_.rawDouble();
                l.end.y = d_.bitDoubleDefault(l.start.y);
                if (!zZero) {
                    l.start.z = d_.rawDouble();
                    l.end.z = d_.bitDoubleDefault(l.start.z);
                }
            }
            l.thickness = d_.thickness(v_);
            l.extrusion = d_.extrusion(v_);
            set(l);
            break;
        }
        case 20:
        case 21:
        case 22:
        case 23:
        case 24:
        case 25:
        case 26:
            dimension(type);
            break;
        case 27: {
            Point p;
            p.position = d_.bitPoint3();
            p.thickness = d_.thickness(v_);
            p.extrusion = d_.extrusion(v_);
            p.xAxisAngle = d_.bitDouble();
            set(p);
            break;
        }
        case 28:
        case 31:
        case 32:
            face(type);
            break;
        case 34: {
            Viewport vp;
            vp.center = d_.bitPoint3();
            vp.width = d_.bitDouble();
            vp.height = d_.bitDouble();
            set(vp);
            break;
        }
        case 35: {
            Ellipse e;
            e.center = d_.bitPoint3();
            e.majorAxis = d_.bitPoint3();
            e.extrusion = d_.bitPoint3();
            e.axisRatio = d_.bitDouble();
            e.startParameter = d_.bitDouble();
            e.endParameter = d_.bitDouble();
            set(e);
            break;
        }
        case 36:
            spline();
            break;
        case 37:
        case 38:
        case 39:
            parseAcisEntity(context_);
            break;
        case 40:
        case 41: {
            ConstructionLine c;
            c.bothWays = type == 41;
            c.point = d_.bitPoint3();
            c.direction = d_.bitPoint3();
            set(c);
            break;
        }
        case 44:
            mtext();
            break;
        case 45:
            leader();
            break;
        case 77:
            lwPolyline();
            break;
        case 78:
            hatch();
            break;
        default:
            if (!parseMoreEntity(record_.entity.typeName, context_)) set(Unsupported{});
            break;
    }
}

}  // namespace

EntityRole entityRole(int type, const ClassDef* klass) {
    return klass ? EntityRole::Plain : roleOf(type);
}

void parseEntityBody(int type, const ClassDef* klass, EntityParseContext& context) {
    BodyParser parser(context);
    parser.parse(type, klass);
}

}  // namespace dwg::detail
