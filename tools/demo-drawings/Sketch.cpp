#include "Sketch.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace demo {
namespace {

constexpr int kCentimetres = 5;                        // INSUNITS
constexpr double kQuarterBulge = 0.41421356237309503;  // tan(90° / 4)

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

}  // namespace

void roundedRectangle(Point2 c, double w, double h, double r, std::vector<Point2>& points,
                      std::vector<double>& bulges) {
    if (r <= 0) {
        points = {c, {c.x + w, c.y}, {c.x + w, c.y + h}, {c.x, c.y + h}};
        bulges.clear();
        return;
    }
    points = {{c.x + r, c.y},         {c.x + w - r, c.y},     {c.x + w, c.y + r},
              {c.x + w, c.y + h - r}, {c.x + w - r, c.y + h}, {c.x + r, c.y + h},
              {c.x, c.y + h - r},     {c.x, c.y + r}};
    bulges = {0, kQuarterBulge, 0, kQuarterBulge, 0, kQuarterBulge, 0, kQuarterBulge};
}

Sketch::Sketch() {
    dwg::Block model;
    model.handle = next();
    model.name = "*Model_Space";
    model.modelSpace = true;
    drawing_.blocks.push_back(model);
    drawing_.header.insertionUnits = kCentimetres;
    drawing_.header.dimTextHeight = 2.5;

    dwg::TextStyle labels;
    labels.handle = labelStyle_ = next();
    labels.name = "Rótulos";
    labels.fontFile = "arial.ttf";
    drawing_.textStyles.push_back(labels);

    dwg::Linetype dashed;
    dashed.handle = dashed_ = next();
    dashed.name = "TRACEJADA";
    dashed.description = "__ __ __ __";
    dashed.patternLength = 15;
    dashed.dashes = {10, -5};
    drawing_.linetypes.push_back(dashed);
}

dwg::Handle Sketch::layer(const Pen& pen) {
    const auto found = layers_.find(pen.layer);
    if (found != layers_.end()) return found->second;
    dwg::Layer layer;
    layer.handle = next();
    layer.name = pen.layer;
    layer.color = dwg::Color::fromIndex(pen.color);
    if (pen.linetype) layer.linetype = dashed_;
    drawing_.layers.push_back(layer);
    layers_.emplace(pen.layer, layer.handle);
    return layer.handle;
}

void Sketch::add(const Pen& pen, const char* type, dwg::EntityData data) {
    dwg::Entity entity;
    entity.typeName = type;
    entity.header.layer = layer(pen);
    entity.data = std::move(data);
    drawing_.blocks[target_].entities.push_back(std::move(entity));
}

void Sketch::defineBlock(const std::string& name, Point2 base,
                         const std::function<void()>& contents) {
    if (blocks_.count(name)) throw std::logic_error("bloco repetido: " + name);
    dwg::Block block;
    block.handle = next();
    block.name = name;
    block.basePoint = {base.x, base.y, 0};
    blocks_.emplace(name, block.handle);
    drawing_.blocks.push_back(block);
    const std::size_t outer = target_;
    target_ = drawing_.blocks.size() - 1;
    contents();
    target_ = outer;
}

void Sketch::line(const Pen& pen, Point2 a, Point2 b) {
    add(pen, "LINE", dwg::Line{{a.x, a.y, 0}, {b.x, b.y, 0}});
}

void Sketch::polyline(const Pen& pen, const std::vector<Point2>& points, bool closed,
                      const std::vector<double>& bulges) {
    dwg::LwPolyline p;
    p.closed = closed;
    p.points = points;
    p.bulges = bulges;
    if (!p.bulges.empty()) p.bulges.resize(points.size(), 0);
    add(pen, "LWPOLYLINE", std::move(p));
}

void Sketch::rectangle(const Pen& pen, Point2 corner, double width, double height, double radius) {
    std::vector<Point2> points;
    std::vector<double> bulges;
    roundedRectangle(corner, width, height, radius, points, bulges);
    polyline(pen, points, true, bulges);
}

void Sketch::circle(const Pen& pen, Point2 center, double radius) {
    add(pen, "CIRCLE", dwg::Circle{{center.x, center.y, 0}, radius});
}

void Sketch::arc(const Pen& pen, Point2 center, double radius, double startDegrees,
                 double endDegrees) {
    dwg::Arc arc;
    arc.center = {center.x, center.y, 0};
    arc.radius = radius;
    arc.startAngle = radians(startDegrees);
    arc.endAngle = radians(endDegrees);
    add(pen, "ARC", arc);
}

void Sketch::ellipse(const Pen& pen, Point2 center, Point2 majorAxis, double ratio) {
    dwg::Ellipse e;
    e.center = {center.x, center.y, 0};
    e.majorAxis = {majorAxis.x, majorAxis.y, 0};
    e.axisRatio = ratio;
    e.endParameter = 2 * std::numbers::pi;
    add(pen, "ELLIPSE", e);
}

void Sketch::spline(const Pen& pen, const std::vector<Point2>& fitPoints) {
    dwg::Spline s;
    for (const Point2& p : fitPoints) s.fitPoints.push_back({p.x, p.y, 0});
    add(pen, "SPLINE", std::move(s));
}

void Sketch::fillRings(const Pen& pen, const std::vector<std::vector<Point2>>& loops,
                       const std::vector<std::vector<double>>& bulges) {
    dwg::Hatch hatch;
    hatch.patternName = "SOLID";
    hatch.solid = true;
    hatch.patternType = 1;  // predefined
    for (std::size_t i = 0; i < loops.size(); ++i) {
        dwg::HatchLoop loop;
        loop.flags = (i == 0 ? 1 : 0) | 2;  // the first is the outer boundary; all are polylines
        loop.isPolyline = true;
        loop.points = loops[i];
        if (i < bulges.size() && !bulges[i].empty()) {
            loop.bulges = bulges[i];
            loop.bulges.resize(loop.points.size(), 0);
        }
        hatch.loops.push_back(std::move(loop));
    }
    add(pen, "HATCH", std::move(hatch));
}

void Sketch::fill(const Pen& pen, const std::vector<Point2>& outline,
                  const std::vector<double>& bulges) {
    fillRings(pen, {outline}, {bulges});
}

void Sketch::fillRectangle(const Pen& pen, Point2 corner, double width, double height,
                           double radius) {
    std::vector<Point2> points;
    std::vector<double> bulges;
    roundedRectangle(corner, width, height, radius, points, bulges);
    fill(pen, points, bulges);
}

void Sketch::fillCircle(const Pen& pen, Point2 center, double radius) {
    fill(pen, {{center.x - radius, center.y}, {center.x + radius, center.y}}, {1, 1});
}

void Sketch::fillEllipse(const Pen& pen, Point2 center, Point2 majorAxis, double ratio) {
    dwg::HatchEdge edge;
    edge.kind = dwg::HatchEdge::Kind::EllipticArc;
    edge.center = center;
    edge.majorAxisEnd = majorAxis;
    edge.axisRatio = ratio;
    edge.endAngle = 2 * std::numbers::pi;
    dwg::HatchLoop loop;
    loop.flags = 1;  // outer boundary made of edges
    loop.edges = {edge};
    dwg::Hatch hatch;
    hatch.patternName = "SOLID";
    hatch.solid = true;
    hatch.patternType = 1;
    hatch.loops = {loop};
    add(pen, "HATCH", std::move(hatch));
}

void Sketch::text(const Pen& pen, const std::string& text, Point2 at, double height,
                  int horizontalAlignment, double rotationDegrees) {
    dwg::Text t;
    t.text = text;
    t.insertion = t.alignment = at;
    t.height = height;
    t.horizontalAlignment = horizontalAlignment;
    t.rotation = radians(rotationDegrees);
    t.style = labelStyle_;
    add(pen, "TEXT", std::move(t));
}

void Sketch::paragraph(const Pen& pen, const std::string& text, Point2 topLeft, double height,
                       double width) {
    dwg::MText m;
    m.text = text;
    m.insertion = {topLeft.x, topLeft.y, 0};
    m.height = height;
    m.rectangleWidth = width;
    m.style = labelStyle_;
    add(pen, "MTEXT", std::move(m));
}

void Sketch::insert(const std::string& block, Point2 at, double rotationDegrees, double scale) {
    const auto found = blocks_.find(block);
    if (found == blocks_.end()) throw std::logic_error("bloco não definido: " + block);
    dwg::Insert insert;
    insert.block = found->second;
    insert.insertion = {at.x, at.y, 0};
    insert.rotation = radians(rotationDegrees);
    insert.scale = {scale, scale, scale};
    dwg::Entity entity;
    entity.typeName = "INSERT";
    entity.header.layer = 0;  // layer "0": the block's own layers show through
    entity.data = insert;
    drawing_.blocks[target_].entities.push_back(std::move(entity));
}

dwg::Drawing Sketch::finish() {
    return std::move(drawing_);
}

}  // namespace demo
