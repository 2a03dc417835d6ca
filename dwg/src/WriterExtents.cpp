// Drawing extents for the header (EXTMIN/EXTMAX) and the initial view. Curves
// are bounded exactly; text is bounded by an estimate of its box, since the
// glyphs depend on fonts the file only names. Entities are taken in the world
// XY plane: the writer's drawings keep the default extrusion.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>
#include <unordered_set>

#include "WriterModel.h"

namespace dwg::detail {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Width of an average character relative to the text height.
constexpr double kCharacterWidth = 0.8;
// Line pitch of MTEXT relative to the text height at spacing factor 1.
constexpr double kLinePitch = 5.0 / 3.0;

class Bounds {
  public:
    void add(const Point3& p) {
        if (!box_) {
            box_ = Box{p, p};
            return;
        }
        box_->min = {std::min(box_->min.x, p.x), std::min(box_->min.y, p.y),
                     std::min(box_->min.z, p.z)};
        box_->max = {std::max(box_->max.x, p.x), std::max(box_->max.y, p.y),
                     std::max(box_->max.z, p.z)};
    }
    void add(const Point2& p, double z = 0) { add(Point3{p.x, p.y, z}); }
    void add(const Box& box) {
        add(box.min);
        add(box.max);
    }
    // A circular arc counter-clockwise from `start` to `end` (radians).
    void addArc(const Point2& center, double radius, double start, double end, double z) {
        start = std::fmod(start, kTwoPi);
        if (start < 0) start += kTwoPi;
        end = std::fmod(end, kTwoPi);
        if (end < 0) end += kTwoPi;
        if (end <= start) end += kTwoPi;
        auto at = [&](double angle) {
            add(Point2{center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)},
                z);
        };
        at(start);
        at(end);
        for (int quarter = 0; quarter < 8; ++quarter) {
            const double angle = quarter * std::numbers::pi / 2;
            if (angle > start && angle < end) at(angle);
        }
    }
    // A polyline segment from `a` to `b` bulged into an arc (bulge = tan of a quarter of the
    // included angle, positive counter-clockwise).
    void addSegment(const Point2& a, const Point2& b, double bulge, double z) {
        add(a, z);
        add(b, z);
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double chord = std::hypot(dx, dy);
        if (bulge == 0 || chord == 0) return;
        const double offset = chord * (1 - bulge * bulge) / (4 * bulge);
        const Point2 center{(a.x + b.x) / 2 - dy / chord * offset,
                            (a.y + b.y) / 2 + dx / chord * offset};
        const double radius = std::hypot(a.x - center.x, a.y - center.y);
        const double angleA = std::atan2(a.y - center.y, a.x - center.x);
        const double angleB = std::atan2(b.y - center.y, b.x - center.x);
        if (bulge > 0)
            addArc(center, radius, angleA, angleB, z);
        else
            addArc(center, radius, angleB, angleA, z);
    }
    // A box of size (width, height) whose corner `origin` is turned by `angle` about `anchor`.
    void addTurnedBox(const Point2& anchor, double angle, const Point2& origin, double width,
                      double height, double z) {
        const double c = std::cos(angle);
        const double s = std::sin(angle);
        for (const Point2 corner :
             {Point2{origin.x, origin.y}, Point2{origin.x + width, origin.y},
              Point2{origin.x, origin.y + height}, Point2{origin.x + width, origin.y + height}})
            add(Point2{anchor.x + corner.x * c - corner.y * s,
                       anchor.y + corner.x * s + corner.y * c},
                z);
    }
    const std::optional<Box>& box() const { return box_; }

  private:
    std::optional<Box> box_;
};

double textWidth(std::string_view text, double height, double widthFactor) {
    std::size_t characters = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++characters;  // count UTF-8 sequences, not bytes
    return static_cast<double>(characters) * height * widthFactor * kCharacterWidth;
}

void addText(Bounds& bounds, const Text& text) {
    const double width = textWidth(text.text, text.height, text.widthFactor);
    const bool aligned = text.horizontalAlignment != 0 || text.verticalAlignment != 0;
    if (aligned && (text.horizontalAlignment == 3 || text.horizontalAlignment == 5)) {
        // Aligned and fit: the text runs from the insertion point to the alignment point.
        bounds.add(text.insertion, text.elevation);
        bounds.add(text.alignment, text.elevation);
        bounds.add(Point2{text.alignment.x, text.alignment.y + text.height}, text.elevation);
        return;
    }
    const Point2 anchor = aligned ? text.alignment : text.insertion;
    double x = 0;
    if (text.horizontalAlignment == 1 || text.horizontalAlignment == 4) x = -width / 2;
    if (text.horizontalAlignment == 2) x = -width;
    double y = 0;
    if (text.verticalAlignment == 2 || text.horizontalAlignment == 4) y = -text.height / 2;
    if (text.verticalAlignment == 3) y = -text.height;
    bounds.addTurnedBox(anchor, text.rotation, {x, y}, width, text.height, text.elevation);
}

void addMText(Bounds& bounds, const MText& text) {
    const Point2 size = mtextSize(text);
    const int column = (std::clamp(text.attachment, 1, 9) - 1) % 3;
    const int row = (std::clamp(text.attachment, 1, 9) - 1) / 3;
    const Point2 origin{-size.x * column / 2, -size.y + size.y * row / 2};
    bounds.addTurnedBox({text.insertion.x, text.insertion.y},
                        std::atan2(text.xAxis.y, text.xAxis.x), origin, size.x, size.y,
                        text.insertion.z);
}

void addEllipse(Bounds& bounds, const Ellipse& e) {
    const Point3& n = e.extrusion;
    const Point3& m = e.majorAxis;
    const Point3 minor{e.axisRatio * (n.y * m.z - n.z * m.y), e.axisRatio * (n.z * m.x - n.x * m.z),
                       e.axisRatio * (n.x * m.y - n.y * m.x)};
    double start = e.startParameter;
    double end = e.endParameter;
    if (end <= start) end += kTwoPi;
    auto at = [&](double t) {
        bounds.add(Point3{e.center.x + m.x * std::cos(t) + minor.x * std::sin(t),
                          e.center.y + m.y * std::cos(t) + minor.y * std::sin(t),
                          e.center.z + m.z * std::cos(t) + minor.z * std::sin(t)});
    };
    at(start);
    at(end);
    for (const auto& [major, cross] : {std::pair{m.x, minor.x}, {m.y, minor.y}, {m.z, minor.z}}) {
        const double extreme = std::atan2(cross, major);
        for (double t = extreme - 2 * kTwoPi; t < end; t += std::numbers::pi)
            if (t > start) at(t);
    }
}

void addHatch(Bounds& bounds, const Hatch& hatch) {
    const double z = hatch.elevation;
    for (const HatchLoop& loop : hatch.loops) {
        const std::size_t n = loop.points.size();
        for (std::size_t i = 0; i < n; ++i) {
            const bool last = i + 1 == n;
            if (last && !loop.closed) {
                bounds.add(loop.points[i], z);
                break;
            }
            const double bulge = i < loop.bulges.size() ? loop.bulges[i] : 0;
            bounds.addSegment(loop.points[i], loop.points[last ? 0 : i + 1], bulge, z);
        }
        for (const HatchEdge& edge : loop.edges) {
            switch (edge.kind) {
                case HatchEdge::Kind::Line:
                    bounds.add(edge.start, z);
                    bounds.add(edge.end, z);
                    break;
                case HatchEdge::Kind::CircularArc:
                    if (edge.counterClockwise)
                        bounds.addArc(edge.center, edge.radius, edge.startAngle, edge.endAngle, z);
                    else
                        bounds.addArc(edge.center, edge.radius, edge.endAngle, edge.startAngle, z);
                    break;
                case HatchEdge::Kind::EllipticArc: {
                    const double major = std::hypot(edge.majorAxisEnd.x, edge.majorAxisEnd.y);
                    bounds.addArc(edge.center, major, 0, kTwoPi, z);  // the enclosing circle
                    break;
                }
                case HatchEdge::Kind::Spline:
                    for (const Point2& p : edge.controlPoints) bounds.add(p, z);
                    break;
            }
        }
    }
}

class ExtentsFinder {
  public:
    explicit ExtentsFinder(const Drawing& drawing) {
        for (const Block& block : drawing.blocks) blocks_.emplace(block.handle, &block);
    }

    std::optional<Box> of(const Block& block, int depth = 0) {
        if (const auto found = done_.find(block.handle); found != done_.end()) return found->second;
        // Deep or circular nesting adds nothing that can be drawn.
        if (depth > kMaxDepth || !open_.emplace(block.handle).second) return std::nullopt;
        Bounds bounds;
        for (const Entity& entity : block.entities) {
            if (entity.header.invisible) continue;
            std::visit([&](const auto& data) { add(bounds, data, depth); }, entity.data);
        }
        open_.erase(block.handle);
        done_.emplace(block.handle, bounds.box());
        return bounds.box();
    }

  private:
    static constexpr int kMaxDepth = 64;

    void add(Bounds& b, const Line& line, int) {
        b.add(line.start);
        b.add(line.end);
    }
    void add(Bounds& b, const Point& point, int) { b.add(point.position); }
    void add(Bounds& b, const Circle& c, int) {
        b.addArc({c.center.x, c.center.y}, c.radius, 0, kTwoPi, c.center.z);
    }
    void add(Bounds& b, const Arc& a, int) {
        b.addArc({a.center.x, a.center.y}, a.radius, a.startAngle, a.endAngle, a.center.z);
    }
    void add(Bounds& b, const Ellipse& e, int) { addEllipse(b, e); }
    void add(Bounds& b, const LwPolyline& p, int) {
        Bounds own;
        const std::size_t n = p.points.size();
        for (std::size_t i = 0; i < n; ++i) {
            own.add(p.points[i], p.elevation);
            if (i + 1 == n && !p.closed) break;
            const double bulge = i < p.bulges.size() ? p.bulges[i] : 0;
            own.addSegment(p.points[i], p.points[(i + 1) % n], bulge, p.elevation);
        }
        if (!own.box()) return;
        double halfWidth = p.constantWidth / 2;
        for (const auto& [start, end] : p.widths)
            halfWidth = std::max({halfWidth, start / 2, end / 2});
        b.add(Point3{own.box()->min.x - halfWidth, own.box()->min.y - halfWidth, p.elevation});
        b.add(Point3{own.box()->max.x + halfWidth, own.box()->max.y + halfWidth, p.elevation});
    }
    void add(Bounds& b, const Spline& s, int) {
        // The control polygon holds the curve; a fit curve passes through its fit points.
        for (const Point3& p : s.controlPoints.empty() ? s.fitPoints : s.controlPoints) b.add(p);
    }
    void add(Bounds& b, const Text& t, int) { addText(b, t); }
    void add(Bounds& b, const MText& t, int) { addMText(b, t); }
    void add(Bounds& b, const Face& f, int) {
        for (const Point3& corner : f.corners) b.add(corner);
    }
    void add(Bounds& b, const Hatch& h, int) { addHatch(b, h); }
    void add(Bounds& b, const Helix& h, int depth) { add(b, h.spline, depth); }
    void add(Bounds& b, const RasterImage& image, int) {
        for (const Point3& corner : rasterOutline(image)) b.add(corner);
    }
    // Each element passes a vertex at the distance along its miter that the vertex gives.
    void add(Bounds& b, const MLine& m, int) {
        for (const MLineVertex& v : m.vertices) {
            for (const std::vector<double>& parameters : v.elementParameters) {
                const double along = parameters.empty() ? 0 : parameters.front();
                b.add(Point3{v.position.x + v.miter.x * along, v.position.y + v.miter.y * along,
                             v.position.z + v.miter.z * along});
            }
        }
    }
    void add(Bounds& b, const Insert& insert, int depth) {
        const auto target = blocks_.find(insert.block);
        if (target == blocks_.end()) return;
        const std::optional<Box> inner = of(*target->second, depth + 1);
        if (!inner) return;
        const Point3& base = target->second->basePoint;
        const double c = std::cos(insert.rotation);
        const double s = std::sin(insert.rotation);
        for (int corner = 0; corner < 8; ++corner) {
            const Point3 p{corner & 1 ? inner->max.x : inner->min.x,
                           corner & 2 ? inner->max.y : inner->min.y,
                           corner & 4 ? inner->max.z : inner->min.z};
            for (int column : {0, std::max(insert.columns, 1) - 1}) {
                for (int row : {0, std::max(insert.rows, 1) - 1}) {
                    const double x =
                        (p.x - base.x) * insert.scale.x + column * insert.columnSpacing;
                    const double y = (p.y - base.y) * insert.scale.y + row * insert.rowSpacing;
                    b.add(Point3{insert.insertion.x + x * c - y * s,
                                 insert.insertion.y + x * s + y * c,
                                 insert.insertion.z + (p.z - base.z) * insert.scale.z});
                }
            }
        }
    }
    template <typename Other>
    void add(Bounds&, const Other&, int) {}

    std::unordered_map<Handle, const Block*> blocks_;
    std::unordered_map<Handle, std::optional<Box>> done_;
    std::unordered_set<Handle> open_;
};

}  // namespace

Point2 mtextSize(const MText& text) {
    int lines = 1;
    std::size_t longest = 0;
    std::size_t current = 0;
    for (std::size_t i = 0; i < text.text.size(); ++i) {
        const bool paragraph = text.text.compare(i, 2, "\\P") == 0;
        if (paragraph || text.text[i] == '\n') {
            ++lines;
            longest = std::max(longest, current);
            current = 0;
            if (paragraph) ++i;
        } else if ((static_cast<unsigned char>(text.text[i]) & 0xC0) != 0x80) {
            ++current;
        }
    }
    longest = std::max(longest, current);
    const double width = text.rectangleWidth > 0
                             ? text.rectangleWidth
                             : static_cast<double>(longest) * text.height * kCharacterWidth;
    return {width, text.height * (1 + (lines - 1) * kLinePitch * text.lineSpacingFactor)};
}

std::optional<Box> modelSpaceExtents(const Drawing& drawing, const Block* modelSpace) {
    if (!modelSpace) return std::nullopt;
    return ExtentsFinder(drawing).of(*modelSpace);
}

}  // namespace dwg::detail
