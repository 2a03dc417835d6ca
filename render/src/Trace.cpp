#include <render/Trace.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Curves.h"

namespace render {
namespace {

using detail::flattenPiece;

constexpr double kClipPad = 16;          // device pixels around the view
constexpr double kMinPatternPixels = 3;  // finer linetypes are drawn solid
constexpr double kMaxDashesPerContour = 50'000;
constexpr double kGreekCapHeight = 1.5;  // smaller text is drawn as a bar
// An infinite line in space is drawn this many times the view's size either
// way from its base: in perspective its far end then lies within a hair of
// the point it runs towards.
constexpr double kInfiniteReach = 1e4;

struct Rect {
    double left, top, right, bottom;
    bool contains(const Box& b) const {
        return b.minX >= left && b.maxX <= right && b.minY >= top && b.maxY <= bottom;
    }
};

// Parameter range [t0, t1] of p + t d inside the rectangle (Liang-Barsky);
// false when it misses.
bool clipLine(Vec2 p, Vec2 d, const Rect& r, double& t0, double& t1) {
    const double pq[4][2] = {
        {-d.x, p.x - r.left}, {d.x, r.right - p.x}, {-d.y, p.y - r.top}, {d.y, r.bottom - p.y}};
    for (const auto& [q, s] : pq) {
        if (q == 0) {
            if (s < 0) return false;
            continue;
        }
        const double t = s / q;
        if (q < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    return t0 <= t1;
}

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

class Tracer {
  public:
    Tracer(const DisplayList& list, const View& view, DeviceSink& sink, const TraceOptions& options)
        : list_(list), view_(view), sink_(sink), options_(options) {
        deviceScale_ = view.scale * std::max(options.pixelRatio, 1e-3);
        tolerance_ = options.tolerance / deviceScale_;
        clip_ = {-kClipPad, -kClipPad, view.width + kClipPad, view.height + kClipPad};
        visible_ = view.visibleWorld();
        const double pad = kClipPad / view.scale;
        visible_.minX -= pad;
        visible_.minY -= pad;
        visible_.maxX += pad;
        visible_.maxY += pad;
        inSpace_ = options.depths || list.perspective();
        nearZ_ = list.eyeDistance * (1 - kNearShare);
    }

    void run() {
        for (const Item& item : list_.items) {
            if (!(deviceScale_ >= item.minScale && deviceScale_ < item.maxScale)) continue;
            const Colour colour = item.surfaceEdge && options_.surfaceEdgeColour
                                      ? *options_.surfaceEdgeColour
                                      : item.colour;
            if (item.kind == Item::Kind::InfiniteLine) {
                infiniteLine(item, colour);
                continue;
            }
            if (!placeItem(item)) continue;
            switch (item.kind) {
                case Item::Kind::Stroke:
                    stroke(item, colour);
                    break;
                case Item::Kind::Fill:
                    fill(item, colour);
                    break;
                case Item::Kind::Dot:
                    point(item, colour);
                    break;
                case Item::Kind::Text:
                    text(item, colour);
                    break;
                case Item::Kind::InfiniteLine:
                    break;
            }
        }
    }

  private:
    bool perspective() const { return list_.perspective(); }

    Box deviceBox(const Box& world) const {
        Box box;
        box.add(view_.toDevice({world.minX, world.minY}));
        box.add(view_.toDevice({world.maxX, world.maxY}));
        return box;
    }

    // Whether the item can show, and whether it must be clipped; sets the
    // tolerance its curves are flattened to.
    bool placeItem(const Item& item) {
        itemTolerance_ = tolerance_;
        if (!perspective()) {
            if (!item.bounds.intersects(visible_)) return false;
            needsClip_ = !clip_.contains(deviceBox(item.bounds));
            return true;
        }
        // Its box in space seen through the eye; what reaches past the near
        // limit is cut as it is drawn.
        Box seen;
        bool cut = false;
        for (const double x : {item.bounds.minX, item.bounds.maxX})
            for (const double y : {item.bounds.minY, item.bounds.maxY})
                for (const double z : {item.minDepth, item.maxDepth}) {
                    if (const auto p = projectToPicture(list_, {x, y, z}))
                        seen.add(*p);
                    else
                        cut = true;
                }
        if (seen.empty()) return false;
        if (!cut && !seen.intersects(visible_)) return false;
        needsClip_ = cut || !clip_.contains(deviceBox(seen));
        // Nearer parts are enlarged: flattened finer in proportion.
        const double nearest = std::min(item.maxDepth, nearZ_);
        itemTolerance_ = tolerance_ * (list_.eyeDistance - nearest) / list_.eyeDistance;
        return true;
    }

    bool project(const Vec3& p, Vec2& at, double& depth) const {
        if (!perspective()) {
            at = view_.toDevice({p.x, p.y});
            depth = p.z;
            return true;
        }
        const double ahead = list_.eyeDistance - p.z;
        if (!(p.z <= nearZ_)) return false;
        const double s = list_.eyeDistance / ahead;
        at = view_.toDevice({p.x * s, p.y * s});
        depth = 1 / ahead;
        return true;
    }

    // space_ as device_ and depth_.
    void projectAll() {
        device_.clear();
        depth_.clear();
        Vec2 at;
        double depth = 0;
        for (const Vec3& p : space_) {
            project(p, at, depth);
            device_.push_back(at);
            depth_.push_back(depth);
        }
    }

    Vec3 nearCut(const Vec3& a, const Vec3& b) const {
        const double t = (nearZ_ - a.z) / (b.z - a.z);
        return a + (b - a) * t;
    }

    // Calls `each` with every part of the open polyline `points` in front of
    // the eye's near limit, as device_ (and depth_).
    template <typename Each>
    void frontRuns(const std::vector<Vec3>& points, Each each) {
        if (!perspective()) {
            space_ = points;
            projectAll();
            each();
            return;
        }
        space_.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Vec3& p = points[i];
            const bool front = p.z <= nearZ_;
            if (i > 0 && front != (points[i - 1].z <= nearZ_))
                space_.push_back(nearCut(points[i - 1], p));
            if (front) {
                space_.push_back(p);
            } else if (!space_.empty()) {
                projectAll();
                each();
                space_.clear();
            }
        }
        if (!space_.empty()) {
            projectAll();
            each();
        }
    }

    // The closed ring `points` cut to what lies in front of the eye's near
    // limit (Sutherland-Hodgman), as device_ and depth_.
    void frontRing(const std::vector<Vec3>& points) {
        space_.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Vec3& a = points[i];
            const Vec3& b = points[(i + 1) % points.size()];
            const bool frontA = !perspective() || a.z <= nearZ_;
            const bool frontB = !perspective() || b.z <= nearZ_;
            if (frontA) space_.push_back(a);
            if (frontA != frontB) space_.push_back(nearCut(a, b));
        }
        projectAll();
    }

    // Flattens the contour starting at piece `index`: in the plane into
    // device_, or in space into space3_; returns the index of the next
    // contour's first piece.
    std::uint32_t contour(const Item& item, std::uint32_t index) {
        const std::uint32_t end = item.first + item.count;
        if (!inSpace_) {
            world_.clear();
            do {
                flattenPiece(list_, list_.pieces[index], itemTolerance_, world_);
                ++index;
            } while (index < end && !list_.pieces[index].startsContour);
            device_.clear();
            depth_.clear();
            for (const Vec2& p : world_) device_.push_back(view_.toDevice(p));
            return index;
        }
        space3_.clear();
        do {
            flattenPiece(list_, list_.pieces[index], itemTolerance_, space3_);
            ++index;
        } while (index < end && !list_.pieces[index].startsContour);
        return index;
    }

    std::span<const double> depths(const std::vector<double>& all) const {
        return options_.depths ? std::span<const double>(all) : std::span<const double>();
    }

    void stroke(const Item& item, const Colour& colour) {
        std::vector<double> pattern;
        double patternLength = 0;
        for (std::uint32_t i = 0; i < item.dashCount; ++i) {
            pattern.push_back(list_.scalars[item.firstDash + i] * view_.scale);
            patternLength += std::abs(pattern.back());
        }
        const bool dashed = patternLength >= kMinPatternPixels && std::isfinite(patternLength);
        const auto run = [&] {
            if (device_.empty()) return;
            if (std::all_of(device_.begin(), device_.end(), [&](const Vec2& p) {
                    return p.x == device_[0].x && p.y == device_[0].y;
                })) {
                if (!needsClip_ || clip_.contains(deviceBox(pointBox(device_[0]))))
                    sink_.dot(colour, device_[0], options_.depths ? depth_[0] : 0);
                return;
            }
            if (dashed && contourLength() / patternLength < kMaxDashesPerContour)
                dash(colour, pattern);
            else
                emitClipped(colour, device_, depth_);
        };
        for (std::uint32_t i = item.first; i < item.first + item.count;) {
            i = contour(item, i);
            if (inSpace_)
                frontRuns(space3_, run);
            else
                run();
        }
    }

    static Box pointBox(Vec2 p) {
        Box b;
        b.add(p);
        return b;
    }

    double contourLength() const {
        double total = 0;
        for (std::size_t i = 1; i < device_.size(); ++i)
            total += length(device_[i] - device_[i - 1]);
        return total;
    }

    // Lays the pattern along device_ from its start.
    void dash(const Colour& colour, const std::vector<double>& pattern) {
        const bool withDepth = !depth_.empty();
        std::vector<Vec2> run;
        std::vector<double> runDepth;
        std::size_t element = 0;
        double left = std::abs(pattern[0]);  // of the current element
        auto inked = [&] { return pattern[element] > 0; };
        auto add = [&](Vec2 p, double d) {
            run.push_back(p);
            if (withDepth) runDepth.push_back(d);
        };
        auto startElement = [&](Vec2 at, double d) {
            if (pattern[element] == 0) sink_.dot(colour, at, options_.depths ? d : 0);
            if (inked()) {
                run.clear();
                runDepth.clear();
                add(at, d);
            }
        };
        auto endElement = [&] {
            if (run.size() > 1) emitClipped(colour, run, runDepth);
            run.clear();
            runDepth.clear();
            element = (element + 1) % pattern.size();
            left = std::abs(pattern[element]);
        };
        Vec2 at = device_[0];
        double depth = withDepth ? depth_[0] : 0;
        startElement(at, depth);
        for (std::size_t i = 1; i < device_.size(); ++i) {
            const Vec2 to = device_[i];
            const double toDepth = withDepth ? depth_[i] : 0;
            // The pattern has a positive length, so each round moves on.
            for (;;) {
                const double segment = length(to - at);
                if (left >= segment) {
                    left -= segment;
                    at = to;
                    depth = toDepth;
                    if (inked()) add(at, depth);
                    break;
                }
                const double t = left / segment;
                at = at + (to - at) * t;
                depth = lerp(depth, toDepth, t);
                if (inked()) add(at, depth);
                endElement();
                startElement(at, depth);
            }
        }
        if (run.size() > 1) emitClipped(colour, run, runDepth);
    }

    void emitClipped(const Colour& colour, const std::vector<Vec2>& points,
                     const std::vector<double>& pointDepths) {
        if (!needsClip_) {
            sink_.polyline(colour, points, depths(pointDepths));
            return;
        }
        const bool withDepth = !pointDepths.empty();
        std::vector<Vec2> run;
        std::vector<double> runDepth;
        const auto flush = [&] {
            if (run.size() > 1) sink_.polyline(colour, run, depths(runDepth));
            run.clear();
            runDepth.clear();
        };
        for (std::size_t i = 1; i < points.size(); ++i) {
            const Vec2 a = points[i - 1], d = points[i] - a;
            double t0 = 0, t1 = 1;
            if (!clipLine(a, d, clip_, t0, t1)) {
                flush();
                continue;
            }
            const double da = withDepth ? pointDepths[i - 1] : 0;
            const double db = withDepth ? pointDepths[i] : 0;
            if (run.empty() || t0 > 0) {
                flush();
                run.push_back(a + d * t0);
                if (withDepth) runDepth.push_back(lerp(da, db, t0));
            }
            run.push_back(a + d * t1);
            if (withDepth) runDepth.push_back(lerp(da, db, t1));
            if (t1 < 1) flush();
        }
        flush();
    }

    // Sutherland-Hodgman against the clip rectangle; even-odd parity inside
    // the rectangle is kept, which is all that shows.
    void clipRing(std::vector<Vec2>& ring, std::vector<double>& ringDepth) const {
        const bool withDepth = !ringDepth.empty();
        auto pass = [&](auto inside, auto cut) {
            std::vector<Vec2> out;
            std::vector<double> outDepth;
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const std::size_t j = (i + 1) % ring.size();
                const Vec2 a = ring[i], b = ring[j];
                const bool ia = inside(a), ib = inside(b);
                if (ia) {
                    out.push_back(a);
                    if (withDepth) outDepth.push_back(ringDepth[i]);
                }
                if (ia != ib) {
                    const double t = cut(a, b);
                    out.push_back(a + (b - a) * t);
                    if (withDepth) outDepth.push_back(lerp(ringDepth[i], ringDepth[j], t));
                }
            }
            ring.swap(out);
            ringDepth.swap(outDepth);
        };
        auto cutX = [](double x) {
            return [x](Vec2 a, Vec2 b) { return (x - a.x) / (b.x - a.x); };
        };
        auto cutY = [](double y) {
            return [y](Vec2 a, Vec2 b) { return (y - a.y) / (b.y - a.y); };
        };
        pass([&](Vec2 p) { return p.x >= clip_.left; }, cutX(clip_.left));
        pass([&](Vec2 p) { return p.x <= clip_.right; }, cutX(clip_.right));
        pass([&](Vec2 p) { return p.y >= clip_.top; }, cutY(clip_.top));
        pass([&](Vec2 p) { return p.y <= clip_.bottom; }, cutY(clip_.bottom));
    }

    // device_ (and depth_) as the next ring of the polygon being gathered.
    void addRing() {
        if (needsClip_) clipRing(device_, depth_);
        if (device_.size() < 3) return;
        polygon_.insert(polygon_.end(), device_.begin(), device_.end());
        polygonDepth_.insert(polygonDepth_.end(), depth_.begin(), depth_.end());
        ringSizes_.push_back(static_cast<std::uint32_t>(device_.size()));
    }

    void startPolygon() {
        polygon_.clear();
        polygonDepth_.clear();
        ringSizes_.clear();
    }

    void fill(const Item& item, const Colour& colour) {
        startPolygon();
        for (std::uint32_t i = item.first; i < item.first + item.count;) {
            i = contour(item, i);
            if (inSpace_) frontRing(space3_);
            addRing();
        }
        if (!ringSizes_.empty())
            sink_.polygon(colour, polygon_, depths(polygonDepth_), ringSizes_, false);
    }

    void text(const Item& item, const Colour& colour) {
        const TextRun& run = list_.runs[item.first];
        const PlacedGlyph* glyphs = list_.glyphs.data() + run.firstGlyph;
        const Vec3 origin{run.origin.x, run.origin.y, run.originDepth};
        const Vec3 axisX{run.axisX.x, run.axisX.y, run.axisXDepth};
        const Vec3 axisY{run.axisY.x, run.axisY.y, run.axisYDepth};
        // How tall the text shows, at its start.
        Vec2 base, top;
        double baseDepth = 0, ignored = 0;
        if (!project(origin, base, baseDepth) || !project(origin + axisY, top, ignored)) top = base;
        if (length(top - base) < kGreekCapHeight) {
            const PlacedGlyph& last = glyphs[run.glyphCount - 1];
            const Vec3 ends[2] = {origin + axisX * glyphs[0].x + axisY * 0.5,
                                  origin + axisX * (last.x + last.glyph->advance) + axisY * 0.5};
            frontRuns({ends[0], ends[1]}, [&] { emitClipped(colour, device_, depth_); });
            return;
        }
        startPolygon();
        for (std::uint32_t g = 0; g < run.glyphCount; ++g) {
            const Glyph& glyph = *glyphs[g].glyph;
            const Vec3 start = origin + axisX * glyphs[g].x;
            std::size_t at = 0;
            for (const std::uint32_t size : glyph.contourSizes) {
                space3_.clear();
                for (std::uint32_t k = 0; k < size; ++k) {
                    const Vec2 p = glyph.outline[at + k];
                    space3_.push_back(start + axisX * p.x + axisY * p.y);
                }
                at += size;
                frontRing(space3_);
                addRing();
            }
        }
        if (!ringSizes_.empty())
            sink_.polygon(colour, polygon_, depths(polygonDepth_), ringSizes_, true);
    }

    // A POINT in the drawing's point style.
    void point(const Item& item, const Colour& colour) {
        const Vec2 p = list_.points[item.first];
        Vec2 at;
        double depth = 0;
        if (!project({p.x, p.y, list_.depths[item.first]}, at, depth)) return;
        if (!options_.depths) depth = 0;
        const PointStyle& look = list_.pointStyle;
        const int figure = look.mode & 7;
        const double size = look.size > 0 ? look.size * view_.scale
                                          : view_.height * (look.size < 0 ? -look.size : 5) / 100;
        const double h = std::min(size, 1e6) / 2;
        auto figureLine = [&](std::vector<Vec2> points) {
            device_ = std::move(points);
            depth_.assign(options_.depths ? device_.size() : 0, depth);
            emitClipped(colour, device_, depth_);
        };
        switch (figure) {
            case 1:
                break;
            case 2:
                figureLine({{at.x - h, at.y}, {at.x + h, at.y}});
                figureLine({{at.x, at.y - h}, {at.x, at.y + h}});
                break;
            case 3:
                figureLine({{at.x - h, at.y - h}, {at.x + h, at.y + h}});
                figureLine({{at.x - h, at.y + h}, {at.x + h, at.y - h}});
                break;
            case 4:
                figureLine({at, {at.x, at.y - h}});  // upwards
                break;
            default:
                sink_.dot(colour, at, depth);
                break;
        }
        if (look.mode & 32) {
            std::vector<Vec2> circle;
            detail::flattenArc(at, {h, 0}, {0, h}, 0, 2 * std::numbers::pi, 0.25, circle);
            figureLine(std::move(circle));
        }
        if (look.mode & 64)
            figureLine({{at.x - h, at.y - h},
                        {at.x + h, at.y - h},
                        {at.x + h, at.y + h},
                        {at.x - h, at.y + h},
                        {at.x - h, at.y - h}});
    }

    void infiniteLine(const Item& item, const Colour& colour) {
        const Vec2 base2 = list_.points[item.first];
        const Vec2 direction2 = list_.points[item.first + 1];
        if (!inSpace_) {
            const Vec2 base = view_.toDevice(base2);
            const Vec2 d{direction2.x, -direction2.y};
            double t0 = item.bothWays ? -INFINITY : 0, t1 = INFINITY;
            if (!clipLine(base, d, clip_, t0, t1) || !std::isfinite(t1) || !std::isfinite(t0))
                return;
            const Vec2 ends[2] = {base + d * t0, base + d * t1};
            sink_.polyline(colour, ends, {});
            return;
        }
        // A long stretch of it, through the eye and clipped like any line.
        const Vec3 base{base2.x, base2.y, list_.depths[item.first]};
        const Vec3 direction{direction2.x, direction2.y, list_.depths[item.first + 1]};
        const Box seen = view_.visibleWorld();
        const double reach = kInfiniteReach * (seen.width() + seen.height() +
                                               length(Vec2{base.x, base.y} - seen.centre()));
        const Vec3 ends[2] = {item.bothWays ? base - direction * reach : base,
                              base + direction * reach};
        needsClip_ = true;
        frontRuns({ends[0], ends[1]}, [&] { emitClipped(colour, device_, depth_); });
    }

    const DisplayList& list_;
    const View& view_;
    DeviceSink& sink_;
    const TraceOptions& options_;
    double deviceScale_ = 1;
    double tolerance_ = 1;
    double itemTolerance_ = 1;
    Rect clip_{};
    Box visible_;
    bool needsClip_ = false;
    bool inSpace_ = false;
    double nearZ_ = 0;
    std::vector<Vec2> world_, device_, polygon_;
    std::vector<Vec3> space3_, space_;
    std::vector<double> depth_, polygonDepth_;
    std::vector<std::uint32_t> ringSizes_;
};

}  // namespace

void traceView(const DisplayList& list, const View& view, DeviceSink& sink,
               const TraceOptions& options) {
    if (!(view.scale > 0) || !std::isfinite(view.scale) || !(view.width > 0) || !(view.height > 0))
        return;
    Tracer(list, view, sink, options).run();
}

std::optional<DevicePoint> toDevice(const DisplayList& list, const View& view, const Vec3& p) {
    const std::optional<Vec2> seen = projectToPicture(list, p);
    if (!seen) return std::nullopt;
    return DevicePoint{view.toDevice(*seen),
                       list.perspective() ? 1 / (list.eyeDistance - p.z) : p.z};
}

}  // namespace render
