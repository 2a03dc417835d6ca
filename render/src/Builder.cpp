#include "Builder.h"

#include <render/SavedLayout.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "Curves.h"
#include "Palette.h"
#include "TextFace.h"

namespace render {
namespace detail {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

Colour colourOfIndex(int index) {
    if (index == 7 || index < 1 || index > 255) return Colour::foreground();
    return Colour::fromRgb(paletteColour(index));
}

}  // namespace

Builder::Builder(const dwg::Drawing& drawing, const BuildOptions& options, DisplayList& out)
    : drawing_(drawing),
      limits_(options.limits),
      worldToView_(options.projection.worldToView()),
      out_(out),
      work_(options.limits.maxWork, options.cancel) {
    const dwg::HeaderVariables& h = drawing.header;
    if (h.linetypeScale > 0 && std::isfinite(h.linetypeScale)) linetypeScale_ = h.linetypeScale;
    fillMode_ = h.fillMode;
    out.pointStyle.mode = h.pointDisplayMode;
    out.pointStyle.size = std::isfinite(h.pointDisplaySize) ? h.pointDisplaySize : 0;
    if (options.surfaceTolerance > 0 && std::isfinite(options.surfaceTolerance))
        surfaceTolerance_ = options.surfaceTolerance;
    sharedSolids_ = options.solids;
    for (const dwg::Block& block : drawing.blocks) blocks_.emplace(block.handle, &block);
    for (const dwg::Linetype& linetype : drawing.linetypes) {
        const bool drawsSolid = linetype.dashes.empty() ||
                                equalsIgnoringCase(linetype.name, "CONTINUOUS") ||
                                !std::any_of(linetype.dashes.begin(), linetype.dashes.end(),
                                             [](double d) { return d < 0; });
        linetypes_.emplace(linetype.handle, drawsSolid ? nullptr : &linetype);
    }
    for (const dwg::TextStyle& style : drawing.textStyles)
        textStyles_.emplace(style.handle, &style);
    for (const dwg::Layer& layer : drawing.layers) {
        LayerState state;
        // Some writers mark a layer off by a negative colour index.
        const bool negative = layer.color.kind == dwg::Color::Kind::Index && layer.color.index < 0;
        if (layer.color.kind == dwg::Color::Kind::True)
            state.colour = Colour::fromRgb(layer.color.rgb);
        else if (layer.color.kind == dwg::Color::Kind::Index)
            state.colour = colourOfIndex(std::abs(layer.color.index));
        state.frozen = layer.frozen;
        // DEFPOINTS holds the definition points of dimensions: shown while
        // editing, never on a plot, and not part of the drawing's look.
        state.hidden =
            !layer.on || layer.frozen || negative || equalsIgnoringCase(layer.name, "DEFPOINTS");
        state.isZero = layer.name == "0";
        const auto found = linetypes_.find(layer.linetype);
        state.linetype = found == linetypes_.end() ? nullptr : found->second;
        layers_.emplace(layer.handle, state);
    }
}

const dwg::TextStyle* Builder::textStyle(dwg::Handle handle) const {
    const auto found = textStyles_.find(handle);
    return found == textStyles_.end() ? nullptr : found->second;
}

const dwg::Entity* Builder::entity(dwg::Handle handle) {
    if (handle == 0) return nullptr;
    if (entities_.empty())
        for (const dwg::Block& block : drawing_.blocks)
            for (const dwg::Entity& e : block.entities) entities_.emplace(e.header.handle, &e);
    const auto found = entities_.find(handle);
    return found == entities_.end() ? nullptr : found->second;
}

const Builder::LayerState* Builder::layerState(dwg::Handle handle) const {
    const auto found = layers_.find(handle);
    return found == layers_.end() ? nullptr : &found->second;
}

Colour Builder::resolveColour(const dwg::Color& colour, const Frame& frame,
                              dwg::Handle layer) const {
    switch (colour.kind) {
        case dwg::Color::Kind::ByLayer: {
            const LayerState* state = layerState(layer);
            return state ? state->colour : Colour::foreground();
        }
        case dwg::Color::Kind::ByBlock:
            return frame.byBlockColour;
        case dwg::Color::Kind::Index:
            return colourOfIndex(colour.index);
        case dwg::Color::Kind::True:
            return Colour::fromRgb(colour.rgb);
    }
    return Colour::foreground();
}

const dwg::Linetype* Builder::resolveLinetype(const dwg::EntityHeader& header,
                                              const LayerState* layer, const Frame& frame) const {
    using Ref = dwg::EntityHeader::LinetypeRef;
    Ref ref = header.linetypeRef;
    if (ref == Ref::Explicit) {
        const dwg::HeaderVariables& h = drawing_.header;
        if (header.linetype != 0 && header.linetype == h.linetypeByLayer)
            ref = Ref::ByLayer;
        else if (header.linetype != 0 && header.linetype == h.linetypeByBlock)
            ref = Ref::ByBlock;
    }
    switch (ref) {
        case Ref::ByLayer:
            return layer ? layer->linetype : nullptr;
        case Ref::ByBlock:
            return frame.byBlockLinetype;
        case Ref::Continuous:
            return nullptr;
        case Ref::Explicit: {
            const auto found = linetypes_.find(header.linetype);
            return found == linetypes_.end() ? nullptr : found->second;
        }
    }
    return nullptr;
}

bool Builder::resolveStyle(const dwg::EntityHeader& header, const Frame& frame, Style& style,
                           bool* layerFrozen) const {
    dwg::Handle layer = header.layer;
    const LayerState* state = layerState(layer);
    if (frame.layerZeroStandsFor != 0 && state && state->isZero) {
        layer = frame.layerZeroStandsFor;
        state = layerState(layer);
    }
    style.layer = layer;
    style.colour = resolveColour(header.color, frame, layer);
    style.linetype = resolveLinetype(header, state, frame);
    const double entityScale = header.linetypeScale > 0 ? header.linetypeScale : 1;
    style.linetypeScale = linetypeScale_ * entityScale * frame.transform.planScale();
    if (layerFrozen) *layerFrozen = state && state->frozen;
    return !(state && state->hidden);
}

// --- item writing ---------------------------------------------------------

void Builder::stop() {
    stopped_ = true;
    out_.report.truncated = true;
    out_.report.cancelled = work_.cancelled();
}

bool Builder::charge(std::size_t units) {
    if (stopped_) return false;
    if (!work_.charge(units)) stop();
    return !stopped_;
}

std::size_t Builder::bytesUsed() const {
    return out_.items.size() * sizeof(Item) + out_.pieces.size() * sizeof(Piece) +
           out_.points.size() * (sizeof(Vec2) + sizeof(double)) +
           out_.scalars.size() * sizeof(double) + out_.runs.size() * sizeof(TextRun) +
           out_.glyphs.size() * sizeof(PlacedGlyph) + out_.surfaces.size() * sizeof(Surface) +
           out_.vertices.size() * 2 * sizeof(Vec3) + out_.triangles.size() * sizeof(Triangle) +
           out_.smoothEdges.size() * sizeof(SmoothEdge);
}

bool Builder::budgetLeft(std::size_t morePoints, std::size_t bytesEach) {
    if (!charge(morePoints + 1)) return false;
    // Each addition brings at most an item and a piece besides its points.
    const std::size_t more = morePoints * bytesEach + sizeof(Item) + sizeof(Piece);
    if (bytesUsed() + more > limits_.maxBytes) {
        stop();
        return false;
    }
    return true;
}

namespace {

bool finite3(const Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

Vec2 xy(const Vec3& p) {
    return {p.x, p.y};
}

}  // namespace

Item Builder::standaloneItem(Item::Kind kind, const Colour& colour) {
    Item item;
    item.kind = kind;
    item.colour = colour;
    item.minDepth = std::numeric_limits<double>::infinity();
    item.maxDepth = -std::numeric_limits<double>::infinity();
    return item;
}

void Builder::beginItem(Item::Kind kind, const Colour& colour) {
    current_ = standaloneItem(kind, colour);
    current_.first = static_cast<std::uint32_t>(out_.pieces.size());
}

void Builder::beginEdges(const Colour& colour) {
    beginItem(Item::Kind::Stroke, colour);
    current_.surfaceEdge = true;
}

void Builder::addDepthRange(double from, double to) {
    current_.minDepth = std::min(current_.minDepth, from);
    current_.maxDepth = std::max(current_.maxDepth, to);
}

void Builder::pushPoint(const Vec3& p) {
    out_.points.push_back(xy(p));
    out_.depths.push_back(p.z);
}

void Builder::addPolyline(std::span<const Vec3> points, bool startsContour) {
    if (points.empty() || !budgetLeft(points.size())) return;
    if (!std::all_of(points.begin(), points.end(), finite3)) return;
    Piece piece;
    piece.kind = Piece::Kind::Polyline;
    piece.startsContour = startsContour;
    piece.firstPoint = static_cast<std::uint32_t>(out_.points.size());
    piece.pointCount = static_cast<std::uint32_t>(points.size());
    for (const Vec3& p : points) {
        pushPoint(p);
        current_.bounds.add(xy(p));
        addDepthRange(p.z, p.z);
    }
    out_.pieces.push_back(piece);
}

void Builder::addArc(Vec3 c, Vec3 u, Vec3 v, double t0, double t1, bool startsContour) {
    if (!finite3(c) || !finite3(u) || !finite3(v) || !std::isfinite(t0) || !std::isfinite(t1))
        return;
    if (!budgetLeft(3)) return;
    const double sweep = oneTurnSweep(t1 - t0);
    t0 = oneTurn(t0);
    t1 = t0 + sweep;
    Piece piece;
    piece.kind = Piece::Kind::Arc;
    piece.startsContour = startsContour;
    piece.firstPoint = static_cast<std::uint32_t>(out_.points.size());
    piece.pointCount = 3;
    piece.firstScalar = static_cast<std::uint32_t>(out_.scalars.size());
    piece.scalarCount = 2;
    for (const Vec3& p : {c, u, v}) pushPoint(p);
    out_.scalars.insert(out_.scalars.end(), {t0, t1});
    current_.bounds.add(arcBounds(xy(c), xy(u), xy(v), t0, t1));
    const double reach = std::hypot(u.z, v.z);
    addDepthRange(c.z - reach, c.z + reach);
    out_.pieces.push_back(piece);
}

void Builder::addSpline(int degree, std::span<const Vec3> control, std::span<const double> knots,
                        std::span<const double> weights, bool startsContour) {
    const SpaceSplineData data{degree, control, knots, weights};
    if (!std::all_of(control.begin(), control.end(), finite3)) return;
    if (!isValidSpline(data)) {
        addPolyline(control, startsContour);
        return;
    }
    if (!budgetLeft(control.size())) return;
    Piece piece;
    piece.kind = Piece::Kind::Spline;
    piece.startsContour = startsContour;
    piece.degree = static_cast<std::uint8_t>(degree);
    piece.rational = !weights.empty();
    piece.firstPoint = static_cast<std::uint32_t>(out_.points.size());
    piece.pointCount = static_cast<std::uint32_t>(control.size());
    piece.firstScalar = static_cast<std::uint32_t>(out_.scalars.size());
    piece.scalarCount = static_cast<std::uint32_t>(knots.size() + weights.size());
    for (const Vec3& p : control) pushPoint(p);
    out_.scalars.insert(out_.scalars.end(), knots.begin(), knots.end());
    out_.scalars.insert(out_.scalars.end(), weights.begin(), weights.end());
    // Bounds from a coarse flattening: the control polygon can reach far
    // beyond the curve.
    Box hull;
    double nearest = control[0].z, farthest = control[0].z;
    for (const Vec3& p : control) {
        hull.add(xy(p));
        nearest = std::max(nearest, p.z);
        farthest = std::min(farthest, p.z);
    }
    const double size = std::max({hull.width(), hull.height(), nearest - farthest});
    std::vector<Vec3> coarse;
    flattenSpline(data, size * 1e-3, coarse);
    charge(coarse.size() * static_cast<std::size_t>(degree));  // a point costs a degree
    for (const Vec3& p : coarse) {
        current_.bounds.add(xy(p));
        addDepthRange(p.z, p.z);
    }
    out_.pieces.push_back(piece);
}

void Builder::addCurveThrough(std::span<const Vec3> points, std::optional<Vec3> startTangent,
                              std::optional<Vec3> endTangent) {
    const std::vector<Vec3> bezier = interpolateCubic(points, startTangent, endTangent);
    if (bezier.size() < 4) {
        addPolyline(bezier);
        return;
    }
    // Bezier spans joined as one cubic B-spline with triple inner knots.
    const std::size_t spans = (bezier.size() - 1) / 3;
    std::vector<double> knots{0, 0, 0, 0};
    for (std::size_t i = 1; i < spans; ++i) knots.insert(knots.end(), 3, double(i));
    knots.insert(knots.end(), 4, double(spans));
    addSpline(3, bezier, knots, {});
}

void Builder::endItem(const Style* style) {
    current_.count = static_cast<std::uint32_t>(out_.pieces.size()) - current_.first;
    if (current_.count == 0) return;
    if (style && style->linetype && current_.kind == Item::Kind::Stroke) {
        const double scale = style->linetypeScale;
        const auto& dashes = style->linetype->dashes;
        if (scale > 0 && std::isfinite(scale) && dashes.size() <= 64) {
            current_.firstDash = static_cast<std::uint32_t>(out_.scalars.size());
            current_.dashCount = static_cast<std::uint32_t>(dashes.size());
            for (const double d : dashes) out_.scalars.push_back(d * scale);
        }
    }
    out_.items.push_back(current_);
}

void Builder::addTextRun(const Colour& colour, Vec3 origin, Vec3 axisX, Vec3 axisY,
                         std::span<const PlacedGlyph> glyphs) {
    if (glyphs.empty() || !finite3(origin) || !finite3(axisX) || !finite3(axisY)) return;
    if (!budgetLeft(glyphs.size())) return;  // a glyph costs about as much as a point
    TextRun run{xy(origin),
                xy(axisX),
                xy(axisY),
                static_cast<std::uint32_t>(out_.glyphs.size()),
                static_cast<std::uint32_t>(glyphs.size()),
                origin.z,
                axisX.z,
                axisY.z};
    out_.glyphs.insert(out_.glyphs.end(), glyphs.begin(), glyphs.end());
    // Written whole here, so that an item being built around it stays open.
    Item item = standaloneItem(Item::Kind::Text, colour);
    item.first = static_cast<std::uint32_t>(out_.runs.size());
    item.count = 1;
    for (const PlacedGlyph& g : glyphs) {
        const Box& b = g.glyph->bounds;
        if (b.empty()) continue;
        for (const Vec2 corner : {Vec2{b.minX, b.minY}, Vec2{b.maxX, b.minY}, Vec2{b.minX, b.maxY},
                                  Vec2{b.maxX, b.maxY}}) {
            const Vec3 p = origin + axisX * (g.x + corner.x) + axisY * corner.y;
            item.bounds.add(xy(p));
            item.minDepth = std::min(item.minDepth, p.z);
            item.maxDepth = std::max(item.maxDepth, p.z);
        }
    }
    out_.runs.push_back(run);
    out_.items.push_back(item);
}

void Builder::addDot(const Colour& colour, Vec3 point) {
    if (!finite3(point) || !budgetLeft(1)) return;
    Item item = standaloneItem(Item::Kind::Dot, colour);
    item.first = static_cast<std::uint32_t>(out_.points.size());
    item.count = 1;
    item.bounds.add(xy(point));
    item.minDepth = item.maxDepth = point.z;
    pushPoint(point);
    out_.items.push_back(item);
}

void Builder::strokePoints(std::span<const Vec3> points, const Style& style) {
    beginItem(Item::Kind::Stroke, style.colour);
    addPolyline(points);
    endItem(&style);
}

// --- walking --------------------------------------------------------------

void Builder::drawTopBlock(const dwg::Block& block) {
    Frame frame;
    frame.transform = worldToView_;
    activeBlocks_.push_back(block.handle);
    drawContents(block, frame);
    activeBlocks_.pop_back();
    out_.report.workSpent = work_.spent();
}

void Builder::drawContents(const dwg::Block& block, const Frame& frame) {
    for (const dwg::Entity& entity : block.entities) {
        if (!charge()) return;
        drawEntity(entity, frame);
    }
}

void Builder::drawEntity(const dwg::Entity& entity, const Frame& frame) {
    if (entity.header.invisible) return;
    Style style;
    bool frozen = false;
    const bool visible = resolveStyle(entity.header, frame, style, &frozen);
    ++out_.report.entitiesDrawn;
    // An insert on a layer that is off still shows contents on other layers;
    // a frozen layer hides it whole.
    if (const auto* insert = std::get_if<dwg::Insert>(&entity.data)) {
        if (!frozen) drawInsert(entity, *insert, style, frame);
        return;
    }
    if (!visible) return;
    std::visit(
        [&](const auto& data) {
            using T = std::decay_t<decltype(data)>;
            // A thickness raises walls from the outline and draws it again on top.
            if constexpr (std::is_same_v<T, dwg::Line>) {
                drawLine(data, style, frame);
                if (data.thickness != 0) extrudeLine(data, style, frame);
            } else if constexpr (std::is_same_v<T, dwg::Point>) {
                drawPoint(data, style, frame);
                if (data.thickness != 0) extrudePoint(data, style, frame);
            } else if constexpr (std::is_same_v<T, dwg::Circle>) {
                drawCircle(data, style, frame);
                if (data.thickness != 0) extrudeCircle(data, style, frame);
            } else if constexpr (std::is_same_v<T, dwg::Arc>) {
                drawArc(data, style, frame);
                if (data.thickness != 0) extrudeArcEntity(data, style, frame);
            } else if constexpr (std::is_same_v<T, dwg::Ellipse>)
                drawEllipse(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::LwPolyline>)
                drawLwPolyline(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Polyline>)
                drawPolyline(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Spline>)
                drawSpline(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Text>) {
                // Attribute definitions show only in the block being drawn itself.
                if (data.kind != dwg::Text::Kind::AttributeDefinition || !frame.insideInsert)
                    drawText(data, style, frame);
            } else if constexpr (std::is_same_v<T, dwg::MText>)
                drawMText(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Face>) {
                drawFace(data, style, frame);
                if (data.thickness != 0 && data.kind != dwg::Face::Kind::Face3D)
                    extrudeSolid(data, style, frame);
            } else if constexpr (std::is_same_v<T, dwg::Hatch>)
                drawHatch(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Dimension>)
                drawDimension(entity, data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Leader>)
                drawLeader(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::ConstructionLine>)
                drawConstructionLine(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::MultiLeader>)
                drawMultiLeader(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::MLine>)
                drawMLine(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::RasterImage>)
                drawRasterImage(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Helix>)
                drawSpline(data.spline, style, frame);
            else if constexpr (std::is_same_v<T, dwg::SubdivisionMesh>)
                drawSubdivisionMesh(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Tolerance>)
                drawTolerance(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::ProxyGraphics>)
                drawProxyGraphics(data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::AcisData>)
                drawSolid(entity, data, style, frame);
            else if constexpr (std::is_same_v<T, dwg::Unsupported>) {
                if (!dwg::showsNothing(entity.typeName))
                    ++out_.report.undrawnTypes[entity.typeName];
            }
            // VIEWPORT: paper-space frames show nothing of their own here.
        },
        entity.data);
}

void Builder::drawBlockReference(dwg::Handle blockHandle, const Transform& placement,
                                 const Style& style, const Frame& frame) {
    if (!charge()) return;
    const auto found = blocks_.find(blockHandle);
    if (found == blocks_.end()) {
        ++out_.report.missingBlocks;
        return;
    }
    if (std::find(activeBlocks_.begin(), activeBlocks_.end(), blockHandle) != activeBlocks_.end()) {
        ++out_.report.cyclesSkipped;
        return;
    }
    if (frame.depth >= limits_.maxDepth) {
        ++out_.report.tooDeepSkipped;
        return;
    }
    activeBlocks_.push_back(blockHandle);
    drawContents(*found->second, innerFrame(placement, style, frame));
    activeBlocks_.pop_back();
}

Frame Builder::innerFrame(const Transform& placement, const Style& style, const Frame& frame) {
    Frame inner;
    inner.transform = frame.transform * placement;
    inner.byBlockColour = style.colour;
    inner.byBlockLinetype = style.linetype;
    inner.layerZeroStandsFor = style.layer;
    inner.insideInsert = true;
    inner.depth = frame.depth + 1;
    return inner;
}

const dwg::Block* Builder::block(dwg::Handle handle) const {
    const auto found = blocks_.find(handle);
    return found == blocks_.end() ? nullptr : found->second;
}

void Builder::drawInsert(const dwg::Entity& entity, const dwg::Insert& insert, const Style& style,
                         const Frame& frame) {
    const auto found = blocks_.find(insert.block);
    const Vec3 base = found == blocks_.end() ? Vec3{} : v3(found->second->basePoint);
    const Transform placed = Transform::objectToWorld(v3(insert.extrusion)) *
                             Transform::translation(v3(insert.insertion)) *
                             Transform::rotationZ(oneTurn(insert.rotation));
    const Transform scaled =
        Transform::scaling(v3(insert.scale)) * Transform::translation(base * -1);
    const bool grid = entity.typeName == "MINSERT";
    const std::size_t columns = grid ? static_cast<std::size_t>(std::max(insert.columns, 1)) : 1;
    const std::size_t rows = grid ? static_cast<std::size_t>(std::max(insert.rows, 1)) : 1;
    std::size_t cells = 0;
    for (std::size_t row = 0; row < rows && !stopped_; ++row) {
        for (std::size_t column = 0; column < columns && !stopped_; ++column) {
            if (cells == limits_.maxMinsertCells) {
                out_.report.minsertCellsDropped += rows * columns - cells;
                row = rows;
                break;
            }
            ++cells;
            const Transform cell =
                Transform::translation({static_cast<double>(column) * insert.columnSpacing,
                                        static_cast<double>(row) * insert.rowSpacing, 0});
            drawBlockReference(insert.block, placed * cell * scaled, style, frame);
        }
    }
    // Attributes are stored already placed, in the insert's own space.
    for (const dwg::AttributeEntity& attribute : insert.attributes) {
        if (!charge()) return;
        if (attribute.header.invisible || (attribute.text.attributeFlags & 1)) continue;
        Style attributeStyle;
        if (!resolveStyle(attribute.header, frame, attributeStyle)) continue;
        drawText(attribute.text, attributeStyle, frame);
    }
}

void Builder::drawDimension(const dwg::Entity&, const dwg::Dimension& dimension, const Style& style,
                            const Frame& frame) {
    // The drawn dimension is its anonymous block, in the dimension's plane.
    drawBlockReference(dimension.block, Transform::objectToWorld(v3(dimension.extrusion)), style,
                       frame);
}

// --- simple geometry ------------------------------------------------------

void Builder::drawLine(const dwg::Line& line, const Style& style, const Frame& frame) {
    const Vec3 points[2] = {frame.transform.apply(v3(line.start)),
                            frame.transform.apply(v3(line.end))};
    strokePoints(points, style);
}

void Builder::drawPoint(const dwg::Point& point, const Style& style, const Frame& frame) {
    const Vec3 at = frame.transform.apply(v3(point.position));
    addDot(style.colour, at);
    // A figure of a size in drawing units reaches that far round the point;
    // one sized by the view is drawn whatever the zoom and takes no room.
    const PointStyle& look = out_.pointStyle;
    if (!out_.items.empty() && look.size > 0 && (look.mode & 7) != 0 && (look.mode & 7) != 1) {
        Box& bounds = out_.items.back().bounds;
        bounds.add(Vec2{at.x - look.size / 2, at.y - look.size / 2});
        bounds.add(Vec2{at.x + look.size / 2, at.y + look.size / 2});
    }
}

void Builder::drawCircle(const dwg::Circle& circle, const Style& style, const Frame& frame) {
    const Transform m = frame.transform * Transform::objectToWorld(v3(circle.extrusion));
    const double r = circle.radius;
    beginItem(Item::Kind::Stroke, style.colour);
    addArc(m.apply(v3(circle.center)), m.applyLinear({r, 0, 0}), m.applyLinear({0, r, 0}), 0,
           kTwoPi);
    endItem(&style);
}

void Builder::drawArc(const dwg::Arc& arc, const Style& style, const Frame& frame) {
    const Transform m = frame.transform * Transform::objectToWorld(v3(arc.extrusion));
    const double r = arc.radius;
    const double start = oneTurn(arc.startAngle);
    beginItem(Item::Kind::Stroke, style.colour);
    addArc(m.apply(v3(arc.center)), m.applyLinear({r, 0, 0}), m.applyLinear({0, r, 0}), start,
           start + counterClockwiseSweep(start, oneTurn(arc.endAngle)));
    endItem(&style);
}

void Builder::drawEllipse(const dwg::Ellipse& ellipse, const Style& style, const Frame& frame) {
    const Vec3 major = v3(ellipse.majorAxis);
    Vec3 normal = v3(ellipse.extrusion);
    const double n = length(normal);
    normal = n > 0 ? normal * (1 / n) : Vec3{0, 0, 1};
    const Vec3 minor = cross(normal, major) * ellipse.axisRatio;
    const double start = oneTurn(ellipse.startParameter);
    const double end = oneTurn(ellipse.endParameter);
    double sweep = end - start;
    if (std::abs(sweep) < 1e-12 || std::abs(sweep) >= kTwoPi - 1e-12)
        sweep = kTwoPi;
    else
        sweep = counterClockwiseSweep(start, end);
    const Transform& m = frame.transform;
    beginItem(Item::Kind::Stroke, style.colour);
    addArc(m.apply(v3(ellipse.center)), m.applyLinear(major), m.applyLinear(minor), start,
           start + sweep);
    endItem(&style);
}

void Builder::drawSpline(const dwg::Spline& spline, const Style& style, const Frame& frame) {
    const Transform& m = frame.transform;
    beginItem(Item::Kind::Stroke, style.colour);
    if (!spline.controlPoints.empty()) {
        std::vector<Vec3> control;
        control.reserve(spline.controlPoints.size());
        for (const dwg::Point3& p : spline.controlPoints) control.push_back(m.apply(v3(p)));
        const bool weighted = spline.weights.size() == control.size() &&
                              std::any_of(spline.weights.begin(), spline.weights.end(),
                                          [](double w) { return w != 1; });
        addSpline(spline.degree, control, spline.knots,
                  weighted ? std::span<const double>(spline.weights) : std::span<const double>());
    } else if (spline.fitPoints.size() >= 2) {
        std::vector<Vec3> fit;
        for (const dwg::Point3& p : spline.fitPoints) fit.push_back(m.apply(v3(p)));
        auto tangent = [&](const dwg::Point3& t) -> std::optional<Vec3> {
            if (t.x == 0 && t.y == 0 && t.z == 0) return std::nullopt;
            return m.applyLinear(v3(t));
        };
        addCurveThrough(fit, tangent(spline.startTangent), tangent(spline.endTangent));
    }
    endItem(&style);
}

void Builder::drawFace(const dwg::Face& face, const Style& style, const Frame& frame) {
    if (face.kind == dwg::Face::Kind::Face3D) {
        drawFace3D(face, style, frame);
        return;
    }
    // SOLID and TRACE: corners in the order 1, 2, 4, 3 go round the outline.
    const Transform m = frame.transform * Transform::objectToWorld(v3(face.extrusion));
    const Vec3 outline[5] = {m.apply(v3(face.corners[0])), m.apply(v3(face.corners[1])),
                             m.apply(v3(face.corners[3])), m.apply(v3(face.corners[2])),
                             m.apply(v3(face.corners[0]))};
    if (fillMode_) {
        beginItem(Item::Kind::Fill, style.colour);
        addPolyline(outline);
        endItem();
    }
    // The outline as well, so that a sliver still shows.
    strokePoints(outline, Style{style.colour, nullptr, 1, style.layer});
}

void Builder::drawRasterImage(const dwg::RasterImage& image, const Style& style,
                              const Frame& frame) {
    std::vector<Vec3> outline;
    for (const dwg::Point3& p : dwg::rasterOutline(image))
        outline.push_back(frame.transform.apply(v3(p)));
    if (outline.size() < 3) return;
    outline.push_back(outline.front());
    if (image.wipeout) {
        // Masks what was drawn before it with the background.
        beginItem(Item::Kind::Fill, Colour::background());
        addPolyline(outline);
        endItem();
        return;
    }
    // Pictures are not drawn: their frame shows where they go.
    strokePoints(outline, style);
}

void Builder::drawConstructionLine(const dwg::ConstructionLine& line, const Style& style,
                                   const Frame& frame) {
    const Vec3 base = frame.transform.apply(v3(line.point));
    const Vec3 direction = frame.transform.applyLinear(v3(line.direction));
    if (!finite3(base) || !finite3(direction)) return;
    if (std::hypot(direction.x, direction.y) < 1e-12 * length(direction) ||
        length(direction) < 1e-12) {
        addDot(style.colour, base);  // seen end-on
        return;
    }
    if (!budgetLeft(2)) return;
    Item item = standaloneItem(Item::Kind::InfiniteLine, style.colour);
    item.bothWays = line.bothWays;
    item.first = static_cast<std::uint32_t>(out_.points.size());
    item.count = 2;
    item.minDepth = item.maxDepth = base.z;
    pushPoint(base);
    pushPoint(direction * (1 / length(direction)));
    out_.items.push_back(item);
}

}  // namespace detail

namespace {

void addProjected(const DisplayList& list, const Box& bounds, double minDepth, double maxDepth,
                  Box& into) {
    if (!list.perspective()) {
        into.add(bounds);
        return;
    }
    if (bounds.empty()) return;
    for (const double x : {bounds.minX, bounds.maxX})
        for (const double y : {bounds.minY, bounds.maxY})
            for (const double z : {minDepth, maxDepth})
                if (const std::optional<Vec2> p = projectToPicture(list, {x, y, z})) into.add(*p);
}

void computeExtents(DisplayList& list) {
    Box extents;
    Box bases;
    for (const Item& item : list.items) {
        if (item.kind == Item::Kind::InfiniteLine) {
            const Vec2 base = list.points[item.first];
            if (const auto p = projectToPicture(list, {base.x, base.y, list.depths[item.first]}))
                bases.add(*p);
        } else {
            addProjected(list, item.bounds, item.minDepth, item.maxDepth, extents);
        }
    }
    for (const Surface& surface : list.surfaces) {
        if (!list.perspective()) {
            extents.add(surface.bounds);
            continue;
        }
        for (std::uint32_t t = 0; t < surface.triangleCount; ++t) {
            const Triangle& triangle = list.triangles[surface.firstTriangle + t];
            for (const std::uint32_t v : {triangle.a, triangle.b, triangle.c})
                if (const auto p = projectToPicture(list, list.vertices[v])) extents.add(*p);
        }
    }
    list.extents = extents.empty() ? bases : extents;
}

}  // namespace

DisplayList buildDisplayList(const dwg::Drawing& drawing, const dwg::Block& block,
                             const BuildOptions& options) {
    DisplayList list;
    if (options.projection.perspective() && std::isfinite(options.projection.eyeDistance))
        list.eyeDistance = options.projection.eyeDistance;
    detail::Builder builder(drawing, options, list);
    builder.drawTopBlock(block);
    computeExtents(list);
    return list;
}

DisplayList buildModelSpace(const dwg::Drawing& drawing, const BuildOptions& options) {
    const dwg::Block* model = drawing.modelSpace();
    return model ? buildDisplayList(drawing, *model, options) : DisplayList{};
}

Projection projectionOf(const dwg::SavedView& saved) {
    Projection projection{detail::v3(saved.direction), saved.twist, detail::v3(saved.target)};
    // The direction reaches from the target to the eye.
    const double distance = length(projection.direction);
    if (saved.perspective && distance > 0 && std::isfinite(distance))
        projection.eyeDistance = distance;
    if (saved.lensLength > 0 && std::isfinite(saved.lensLength))
        projection.lensLength = saved.lensLength;
    return projection;
}

VisualStyle lookOf(const dwg::SavedView& saved) {
    switch (saved.visualStyle) {
        case dwg::VisualStyle::Wireframe2D:
        case dwg::VisualStyle::Wireframe3D:
            return VisualStyle::Wireframe;
        case dwg::VisualStyle::Hidden:
        case dwg::VisualStyle::Sketchy:
            return VisualStyle::Hidden;
        case dwg::VisualStyle::Shaded:
        case dwg::VisualStyle::ShadedWithEdges:
        case dwg::VisualStyle::Conceptual:
        case dwg::VisualStyle::ShadesOfGray:
        case dwg::VisualStyle::XRay:
            return VisualStyle::Shaded;
    }
    return VisualStyle::Wireframe;
}

Projection savedProjection(const dwg::Drawing& drawing) {
    return drawing.activeView ? projectionOf(*drawing.activeView) : Projection::top();
}

VisualStyle savedVisualStyle(const dwg::Drawing& drawing) {
    return drawing.activeView ? lookOf(*drawing.activeView) : VisualStyle::Wireframe;
}

std::vector<SavedPane> savedPanes(const dwg::Drawing& drawing, double width, double height) {
    std::vector<SavedPane> panes;
    const auto add = [&](const std::optional<dwg::SavedView>& view, bool current) {
        const dwg::Point2 lowerLeft = view ? view->lowerLeft : dwg::Point2{0, 0};
        const dwg::Point2 upperRight = view ? view->upperRight : dwg::Point2{1, 1};
        SavedPane pane;
        pane.left = std::round(lowerLeft.x * width);
        pane.top = std::round((1 - upperRight.y) * height);
        pane.width = std::round(upperRight.x * width) - pane.left;
        pane.height = std::round((1 - lowerLeft.y) * height) - pane.top;
        pane.view = view;
        pane.projection = view ? projectionOf(*view) : Projection::top();
        pane.style = view ? lookOf(*view) : VisualStyle::Wireframe;
        pane.current = current;
        panes.push_back(std::move(pane));
    };
    if (drawing.tiledViews.empty()) {
        // One viewport fills the window, whatever rectangle it was given.
        std::optional<dwg::SavedView> whole = drawing.activeView;
        if (whole) whole->lowerLeft = {0, 0}, whole->upperRight = {1, 1};
        add(whole, true);
    } else {
        for (std::size_t i = 0; i < drawing.tiledViews.size(); ++i)
            add(drawing.tiledViews[i], i == 0);
    }
    return panes;
}

VisualStyle thumbnailStyle(const DisplayList& list) {
    return list.surfaces.empty() ? VisualStyle::Wireframe : VisualStyle::Shaded;
}

DisplayList buildModelSpaceAsSaved(const dwg::Drawing& drawing) {
    BuildOptions options;
    options.projection = savedProjection(drawing);
    return buildModelSpace(drawing, options);
}

std::string bodiesUndecodedNotice(int count) {
    return count == 1 ? "1 corpo 3D não pôde ser lido e aparece só pelas linhas guardadas com ele."
                      : std::to_string(count) +
                            " corpos 3D não puderam ser lidos e aparecem só pelas linhas "
                            "guardadas com eles.";
}

View savedWindow(const dwg::SavedView& saved, double width, double height) {
    const Vec2 centre{saved.centre.x, saved.centre.y};
    const Vec2 half{saved.height * saved.aspect / 2, saved.height / 2};
    Box window;
    window.add(centre - half);
    window.add(centre + half);
    return View::fit(window, width, height, 0);
}

const dwg::Block* findBlockByName(const dwg::Drawing& drawing, std::string_view name) {
    for (const dwg::Block& block : drawing.blocks)
        if (detail::equalsIgnoringCase(block.name, name)) return &block;
    return nullptr;
}

}  // namespace render
