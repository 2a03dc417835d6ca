// Scaling a drawing about the origin, every entity as AutoCAD's SCALE does:
// positions and lengths grow, directions and angles stay. Block definitions
// are scaled with the drawing, so that references to them keep their scale
// factors; a dimension's shown value follows its measurement.
#include <acis/Write.h>
#include <dwg/Convert.h>
#include <dwg/Scale.h>

#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "ScaleText.h"
#include "Vector3.h"

namespace dwg {
namespace {

using detail::operator*;

struct UnitInfo {
    int code;
    double metres;
    std::string_view symbol;
    std::string_view name;
};

// INSUNITS 1..24.
constexpr UnitInfo kUnits[] = {
    {1, 0.0254, "in", "polegadas"},
    {2, 0.3048, "ft", "pés"},
    {3, 1609.344, "mi", "milhas"},
    {4, 0.001, "mm", "milímetros"},
    {5, 0.01, "cm", "centímetros"},
    {6, 1, "m", "metros"},
    {7, 1000, "km", "quilômetros"},
    {8, 2.54e-8, "µin", "micropolegadas"},
    {9, 2.54e-5, "mil", "milésimos de polegada"},
    {10, 0.9144, "yd", "jardas"},
    {11, 1e-10, "Å", "angstroms"},
    {12, 1e-9, "nm", "nanômetros"},
    {13, 1e-6, "µm", "micrômetros"},
    {14, 0.1, "dm", "decímetros"},
    {15, 10, "dam", "decâmetros"},
    {16, 100, "hm", "hectômetros"},
    {17, 1e9, "Gm", "gigâmetros"},
    {18, 1.495978707e11, "UA", "unidades astronômicas"},
    {19, 9.4607304725808e15, "al", "anos-luz"},
    {20, 3.0856775814913673e16, "pc", "parsecs"},
    {21, 1200.0 / 3937, "ft", "pés (levantamento dos EUA)"},
    {22, 100.0 / 3937, "in", "polegadas (levantamento dos EUA)"},
    {23, 3600.0 / 3937, "yd", "jardas (levantamento dos EUA)"},
    {24, 6336000.0 / 3937, "mi", "milhas (levantamento dos EUA)"},
};

const UnitInfo* unitInfo(int code) {
    for (const UnitInfo& unit : kUnits)
        if (unit.code == code) return &unit;
    return nullptr;
}

constexpr std::pair<LengthUnit, std::string_view> kUnitKeys[] = {
    {LengthUnit::Millimetres, "mm"}, {LengthUnit::Centimetres, "cm"}, {LengthUnit::Metres, "m"},
    {LengthUnit::Inches, "in"},      {LengthUnit::Feet, "ft"},
};

class Scaler {
  public:
    Scaler(Drawing& drawing, double s) : drawing_(drawing), s_(s) {}

    void run() {
        HeaderVariables& h = drawing_.header;
        h.insertionBase = h.insertionBase * s_;
        if (h.extentsMin) *h.extentsMin = *h.extentsMin * s_;
        if (h.extentsMax) *h.extentsMax = *h.extentsMax * s_;
        if (h.pointDisplaySize > 0) h.pointDisplaySize *= s_;
        // Dimensions drawn anew keep their proportions to the drawing.
        h.dimScale *= s_;
        for (TextStyle& style : drawing_.textStyles) style.fixedHeight *= s_;
        if (drawing_.activeView) scaleView(*drawing_.activeView);
        for (SavedView& view : drawing_.tiledViews) scaleView(view);
        for (const Block& block : drawing_.blocks)
            if (block.isXref) xrefs_.insert(block.handle);
        for (Block& block : drawing_.blocks) {
            block.basePoint = block.basePoint * s_;
            for (Entity& entity : block.entities) scaleEntity(entity);
        }
        for (auto& [block, dimension] : dimensionValues_) showMeasurement(block, dimension);
    }

  private:
    void scaleView(SavedView& view) const {
        view.centre = p(view.centre);
        view.height *= s_;
        view.target = view.target * s_;
        view.direction = view.direction * s_;
        view.frontClip *= s_;
        view.backClip *= s_;
    }

    Point3 p(const Point3& q) const { return q * s_; }
    Point2 p(const Point2& q) const { return {q.x * s_, q.y * s_}; }
    void all(std::vector<Point3>& points) const {
        for (Point3& q : points) q = q * s_;
    }
    void all(std::vector<Point2>& points) const {
        for (Point2& q : points) q = p(q);
    }

    void scaleHeader(EntityHeader& header) const {
        header.linetypeScale *= s_;
        // The program that wrote them draws them anew from the scaled data.
        header.proxyGraphics.clear();
    }

    void scaleEntity(Entity& entity) {
        scaleHeader(entity.header);
        std::visit([&](auto& data) { scale(data); }, entity.data);
    }

    void scale(Unsupported&) {}
    void scale(Line& d) {
        d.start = p(d.start);
        d.end = p(d.end);
        d.thickness *= s_;
    }
    void scale(Point& d) {
        d.position = p(d.position);
        d.thickness *= s_;
    }
    void scale(Circle& d) {
        d.center = p(d.center);
        d.radius *= s_;
        d.thickness *= s_;
    }
    void scale(Arc& d) {
        d.center = p(d.center);
        d.radius *= s_;
        d.thickness *= s_;
    }
    void scale(Ellipse& d) {
        d.center = p(d.center);
        d.majorAxis = p(d.majorAxis);
    }
    void scale(LwPolyline& d) {
        d.constantWidth *= s_;
        d.elevation *= s_;
        d.thickness *= s_;
        all(d.points);
        for (auto& [start, end] : d.widths) {
            start *= s_;
            end *= s_;
        }
    }
    void scale(Polyline& d) {
        d.startWidth *= s_;
        d.endWidth *= s_;
        d.elevation *= s_;
        d.thickness *= s_;
        for (Vertex& v : d.vertices) {
            v.position = p(v.position);
            v.startWidth *= s_;
            v.endWidth *= s_;
        }
    }
    void scale(Spline& d) {
        all(d.controlPoints);
        all(d.fitPoints);
    }
    void scale(Text& d) {
        d.insertion = p(d.insertion);
        d.alignment = p(d.alignment);
        d.elevation *= s_;
        d.height *= s_;
        d.thickness *= s_;
    }
    void scale(MText& d) {
        d.insertion = p(d.insertion);
        d.rectangleWidth *= s_;
        d.height *= s_;
        d.text = detail::scaledMTextHeights(d.text, s_);
    }
    void scale(Insert& d) {
        d.insertion = p(d.insertion);
        d.columnSpacing *= s_;
        d.rowSpacing *= s_;
        // An external reference's definition lives in its own file.
        if (xrefs_.count(d.block)) d.scale = d.scale * s_;
        for (AttributeEntity& attribute : d.attributes) {
            scaleHeader(attribute.header);
            scale(attribute.text);
        }
    }
    void scale(Face& d) {
        for (Point3& corner : d.corners) corner = p(corner);
        d.thickness *= s_;
    }
    void scale(HatchEdge& e) {
        e.start = p(e.start);
        e.end = p(e.end);
        e.center = p(e.center);
        e.radius *= s_;
        e.majorAxisEnd = p(e.majorAxisEnd);
        all(e.controlPoints);
    }
    void scale(Hatch& d) {
        d.elevation *= s_;
        for (HatchLoop& loop : d.loops) {
            all(loop.points);
            for (HatchEdge& edge : loop.edges) scale(edge);
        }
        d.patternScale *= s_;
        for (HatchPatternLine& line : d.patternLines) {
            line.base = p(line.base);
            line.offset = p(line.offset);
            for (double& dash : line.dashes) dash *= s_;
        }
    }
    void scale(Dimension& d) {
        d.textMidpoint = p(d.textMidpoint);
        d.elevation *= s_;
        d.definitionPoint = p(d.definitionPoint);
        d.firstPoint = p(d.firstPoint);
        d.secondPoint = p(d.secondPoint);
        d.thirdPoint = p(d.thirdPoint);
        d.arcPoint = p(d.arcPoint);
        d.leaderLength *= s_;
        const bool angular =
            d.kind == Dimension::Kind::Angular2Line || d.kind == Dimension::Kind::Angular3Point;
        if (angular) return;
        const double before = d.measurement;
        d.measurement *= s_;
        // The value shown is the measurement unless the dimension overrides it.
        if (d.userText.empty() || d.userText.find("<>") != std::string::npos)
            dimensionValues_.emplace(d.block, std::pair{before, d.measurement});
    }
    void scale(Leader& d) { all(d.points); }
    void scale(ConstructionLine& d) { d.point = p(d.point); }
    void scale(Viewport& d) {
        d.center = p(d.center);
        d.width *= s_;
        d.height *= s_;
    }
    void scale(MultiLeader& d) {
        for (MLeaderRoot& root : d.roots) {
            root.connection = p(root.connection);
            root.landingDistance *= s_;
            for (MLeaderLine& line : root.lines) {
                all(line.points);
                line.arrowSize *= s_;
            }
        }
        d.landingGap *= s_;
        d.scale *= s_;
        if (d.text) scale(*d.text);
        if (d.block) {
            MLeaderBlockContent& content = *d.block;
            content.location = p(content.location);
            // The block's definition is scaled: only the placement moves.
            for (int row = 0; row < 3; ++row) content.transform[row * 4 + 3] *= s_;
        }
    }
    void scale(MLine& d) {
        d.scale *= s_;
        d.basePoint = p(d.basePoint);
        for (MLineVertex& v : d.vertices) {
            v.position = p(v.position);
            for (auto* lists : {&v.elementParameters, &v.fillParameters})
                for (std::vector<double>& list : *lists)
                    for (double& value : list) value *= s_;
        }
    }
    void scale(RasterImage& d) {
        d.insertion = p(d.insertion);
        d.u = p(d.u);
        d.v = p(d.v);
    }
    void scale(Helix& d) {
        scale(d.spline);
        d.axisBasePoint = p(d.axisBasePoint);
        d.startPoint = p(d.startPoint);
        d.axisVector = p(d.axisVector);
        d.radius *= s_;
        d.turnHeight *= s_;
    }
    void scale(SubdivisionMesh& d) { all(d.vertices); }
    void scale(Tolerance& d) {
        d.insertion = p(d.insertion);
        d.height *= s_;
    }
    void scale(ProxyGraphics& d) {
        for (auto& t : d.transforms)
            for (int i = 0; i < 12; ++i) t[static_cast<std::size_t>(i)] *= s_;
    }
    void scale(AcisData& d) {
        if (d.bytes.empty()) return;
        try {
            d.bytes = acis::scaled(d.bytes, s_);
        } catch (const acis::Error& error) {
            throw ConvertError(std::string("um sólido não pôde ser redimensionado: ") +
                               error.what());
        }
    }

    // The text of a dimension's block shows the new measurement, with as
    // many decimals as before.
    void showMeasurement(Handle block, std::pair<double, double> values) {
        for (Block& b : drawing_.blocks) {
            if (b.handle != block) continue;
            for (Entity& entity : b.entities) {
                std::string* text = nullptr;
                if (auto* mtext = std::get_if<MText>(&entity.data))
                    text = &mtext->text;
                else if (auto* plain = std::get_if<Text>(&entity.data))
                    text = &plain->text;
                if (text && detail::replaceShownValue(*text, values.first, values.second)) return;
            }
        }
    }

    Drawing& drawing_;
    double s_;
    std::unordered_set<Handle> xrefs_;
    // A dimension's block and the measurement before and after.
    std::unordered_map<Handle, std::pair<double, double>> dimensionValues_;
};

}  // namespace

std::optional<double> metresPerUnit(int insertionUnits) {
    const UnitInfo* unit = unitInfo(insertionUnits);
    return unit ? std::optional<double>(unit->metres) : std::nullopt;
}

std::string_view unitSymbol(int insertionUnits) {
    const UnitInfo* unit = unitInfo(insertionUnits);
    return unit ? unit->symbol : std::string_view();
}

std::string_view unitName(int insertionUnits) {
    const UnitInfo* unit = unitInfo(insertionUnits);
    return unit ? unit->name : std::string_view("sem unidade");
}

std::string_view unitKey(LengthUnit unit) {
    for (const auto& [u, key] : kUnitKeys)
        if (u == unit) return key;
    return {};
}

std::optional<LengthUnit> unitFromKey(std::string_view key) {
    for (const auto& [unit, k] : kUnitKeys)
        if (k == key) return unit;
    return std::nullopt;
}

UnitsChange changeUnits(Drawing& drawing, LengthUnit target) {
    UnitsChange change;
    change.from = drawing.header.insertionUnits;
    change.to = static_cast<int>(target);
    const std::optional<double> from = metresPerUnit(change.from);
    if (!from) {
        change.to = change.from;
        return change;
    }
    // Through micrometres, so that the common units give exact factors (10, 2.54...).
    auto micrometres = [](double metres) {
        const double value = metres * 1e6;
        return std::fabs(value - std::round(value)) < 1e-6 ? std::round(value) : value;
    };
    change.factor = micrometres(*from) / micrometres(*metresPerUnit(change.to));
    change.scaled = true;
    if (change.factor != 1) scaleDrawing(drawing, change.factor);
    drawing.header.insertionUnits = change.to;
    return change;
}

void scaleDrawing(Drawing& drawing, double factor) {
    if (!(factor > 0) || !std::isfinite(factor)) throw ConvertError("fator de escala inválido");
    Scaler(drawing, factor).run();
}

}  // namespace dwg
