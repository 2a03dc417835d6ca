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

class Tracer {
  public:
    Tracer(const DisplayList& list, const View& view, DeviceSink& sink, const TraceOptions& options)
        : list_(list), view_(view), sink_(sink) {
        deviceScale_ = view.scale * std::max(options.pixelRatio, 1e-3);
        tolerance_ = options.tolerance / deviceScale_;
        clip_ = {-kClipPad, -kClipPad, view.width + kClipPad, view.height + kClipPad};
        visible_ = view.visibleWorld();
        const double pad = kClipPad / view.scale;
        visible_.minX -= pad;
        visible_.minY -= pad;
        visible_.maxX += pad;
        visible_.maxY += pad;
    }

    void run() {
        for (const Item& item : list_.items) {
            if (!(deviceScale_ >= item.minScale && deviceScale_ < item.maxScale)) continue;
            if (item.kind == Item::Kind::InfiniteLine) {
                infiniteLine(item);
                continue;
            }
            if (!item.bounds.intersects(visible_)) continue;
            needsClip_ = !clip_.contains(deviceBox(item.bounds));
            switch (item.kind) {
                case Item::Kind::Stroke:
                    stroke(item);
                    break;
                case Item::Kind::Fill:
                    fill(item);
                    break;
                case Item::Kind::Dot:
                    point(item);
                    break;
                case Item::Kind::Text:
                    text(item);
                    break;
                case Item::Kind::InfiniteLine:
                    break;
            }
        }
    }

  private:
    Box deviceBox(const Box& world) const {
        Box box;
        box.add(view_.toDevice({world.minX, world.minY}));
        box.add(view_.toDevice({world.maxX, world.maxY}));
        return box;
    }

    // Flattens the contour starting at piece `index` into world_; returns the
    // index of the next contour's first piece.
    std::uint32_t contour(const Item& item, std::uint32_t index) {
        world_.clear();
        const std::uint32_t end = item.first + item.count;
        do {
            flattenPiece(list_, list_.pieces[index], tolerance_, world_);
            ++index;
        } while (index < end && !list_.pieces[index].startsContour);
        device_.clear();
        for (const Vec2& p : world_) device_.push_back(view_.toDevice(p));
        return index;
    }

    void stroke(const Item& item) {
        std::vector<double> pattern;
        double patternLength = 0;
        for (std::uint32_t i = 0; i < item.dashCount; ++i) {
            pattern.push_back(list_.scalars[item.firstDash + i] * view_.scale);
            patternLength += std::abs(pattern.back());
        }
        const bool dashed = patternLength >= kMinPatternPixels && std::isfinite(patternLength);
        for (std::uint32_t i = item.first; i < item.first + item.count;) {
            i = contour(item, i);
            if (device_.empty()) continue;
            if (std::all_of(device_.begin(), device_.end(), [&](const Vec2& p) {
                    return p.x == device_[0].x && p.y == device_[0].y;
                })) {
                if (!needsClip_ || clip_.contains(deviceBox(pointBox(device_[0]))))
                    sink_.dot(item.colour, device_[0]);
                continue;
            }
            if (dashed && contourLength() / patternLength < kMaxDashesPerContour)
                dash(item.colour, pattern);
            else
                emitClipped(item.colour, device_);
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
        std::vector<Vec2> run;
        std::size_t element = 0;
        double left = std::abs(pattern[0]);  // of the current element
        auto inked = [&] { return pattern[element] > 0; };
        auto startElement = [&](Vec2 at) {
            if (pattern[element] == 0) sink_.dot(colour, at);
            if (inked()) run.assign({at});
        };
        auto endElement = [&] {
            if (run.size() > 1) emitClipped(colour, run);
            run.clear();
            element = (element + 1) % pattern.size();
            left = std::abs(pattern[element]);
        };
        Vec2 at = device_[0];
        startElement(at);
        for (std::size_t i = 1; i < device_.size(); ++i) {
            const Vec2 to = device_[i];
            // The pattern has a positive length, so each round moves on.
            for (;;) {
                const double segment = length(to - at);
                if (left >= segment) {
                    left -= segment;
                    at = to;
                    if (inked()) run.push_back(at);
                    break;
                }
                at = at + (to - at) * (left / segment);
                if (inked()) run.push_back(at);
                endElement();
                startElement(at);
            }
        }
        if (run.size() > 1) emitClipped(colour, run);
    }

    void emitClipped(const Colour& colour, const std::vector<Vec2>& points) {
        if (!needsClip_) {
            sink_.polyline(colour, points);
            return;
        }
        std::vector<Vec2> run;
        for (std::size_t i = 1; i < points.size(); ++i) {
            const Vec2 a = points[i - 1], d = points[i] - a;
            double t0 = 0, t1 = 1;
            if (!clipLine(a, d, clip_, t0, t1)) {
                if (run.size() > 1) sink_.polyline(colour, run);
                run.clear();
                continue;
            }
            const Vec2 from = a + d * t0, to = a + d * t1;
            if (run.empty() || t0 > 0) {
                if (run.size() > 1) sink_.polyline(colour, run);
                run.assign({from});
            }
            run.push_back(to);
            if (t1 < 1) {
                sink_.polyline(colour, run);
                run.clear();
            }
        }
        if (run.size() > 1) sink_.polyline(colour, run);
    }

    // Sutherland-Hodgman against the clip rectangle; even-odd parity inside
    // the rectangle is kept, which is all that shows.
    void clipRing(std::vector<Vec2>& ring) const {
        auto pass = [&](auto inside, auto cut) {
            std::vector<Vec2> out;
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const Vec2 a = ring[i], b = ring[(i + 1) % ring.size()];
                const bool ia = inside(a), ib = inside(b);
                if (ia) out.push_back(a);
                if (ia != ib) out.push_back(cut(a, b));
            }
            ring.swap(out);
        };
        auto cutX = [](double x) {
            return [x](Vec2 a, Vec2 b) {
                return Vec2{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)};
            };
        };
        auto cutY = [](double y) {
            return [y](Vec2 a, Vec2 b) {
                return Vec2{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y};
            };
        };
        pass([&](Vec2 p) { return p.x >= clip_.left; }, cutX(clip_.left));
        pass([&](Vec2 p) { return p.x <= clip_.right; }, cutX(clip_.right));
        pass([&](Vec2 p) { return p.y >= clip_.top; }, cutY(clip_.top));
        pass([&](Vec2 p) { return p.y <= clip_.bottom; }, cutY(clip_.bottom));
    }

    void fill(const Item& item) {
        polygon_.clear();
        ringSizes_.clear();
        for (std::uint32_t i = item.first; i < item.first + item.count;) {
            i = contour(item, i);
            if (needsClip_) clipRing(device_);
            if (device_.size() < 3) continue;
            polygon_.insert(polygon_.end(), device_.begin(), device_.end());
            ringSizes_.push_back(static_cast<std::uint32_t>(device_.size()));
        }
        if (!ringSizes_.empty()) sink_.polygon(item.colour, polygon_, ringSizes_, false);
    }

    void text(const Item& item) {
        const TextRun& run = list_.runs[item.first];
        const Vec2 origin = view_.toDevice(run.origin);
        const Vec2 ax{run.axisX.x * view_.scale, -run.axisX.y * view_.scale};
        const Vec2 ay{run.axisY.x * view_.scale, -run.axisY.y * view_.scale};
        const PlacedGlyph* glyphs = list_.glyphs.data() + run.firstGlyph;
        if (length(ay) < kGreekCapHeight) {
            const PlacedGlyph& last = glyphs[run.glyphCount - 1];
            device_.assign({origin + ax * glyphs[0].x + ay * 0.5,
                            origin + ax * (last.x + last.glyph->advance) + ay * 0.5});
            emitClipped(item.colour, device_);
            return;
        }
        polygon_.clear();
        ringSizes_.clear();
        for (std::uint32_t g = 0; g < run.glyphCount; ++g) {
            const Glyph& glyph = *glyphs[g].glyph;
            const Vec2 base = origin + ax * glyphs[g].x;
            std::size_t at = 0;
            for (const std::uint32_t size : glyph.contourSizes) {
                device_.clear();
                for (std::uint32_t k = 0; k < size; ++k) {
                    const Vec2 p = glyph.outline[at + k];
                    device_.push_back(base + ax * p.x + ay * p.y);
                }
                at += size;
                if (needsClip_) clipRing(device_);
                if (device_.size() < 3) continue;
                polygon_.insert(polygon_.end(), device_.begin(), device_.end());
                ringSizes_.push_back(static_cast<std::uint32_t>(device_.size()));
            }
        }
        if (!ringSizes_.empty()) sink_.polygon(item.colour, polygon_, ringSizes_, true);
    }

    // A POINT in the drawing's point style.
    void point(const Item& item) {
        const Vec2 at = view_.toDevice(list_.points[item.first]);
        const PointStyle& look = list_.pointStyle;
        const int figure = look.mode & 7;
        const double size = look.size > 0 ? look.size * view_.scale
                                          : view_.height * (look.size < 0 ? -look.size : 5) / 100;
        const double h = std::min(size, 1e6) / 2;
        auto line = [&](Vec2 a, Vec2 b) {
            device_.assign({a, b});
            emitClipped(item.colour, device_);
        };
        switch (figure) {
            case 1:
                break;
            case 2:
                line({at.x - h, at.y}, {at.x + h, at.y});
                line({at.x, at.y - h}, {at.x, at.y + h});
                break;
            case 3:
                line({at.x - h, at.y - h}, {at.x + h, at.y + h});
                line({at.x - h, at.y + h}, {at.x + h, at.y - h});
                break;
            case 4:
                line(at, {at.x, at.y - h});  // upwards
                break;
            default:
                sink_.dot(item.colour, at);
                break;
        }
        if (look.mode & 32) {
            device_.clear();
            detail::flattenArc(at, {h, 0}, {0, h}, 0, 2 * std::numbers::pi, 0.25, device_);
            emitClipped(item.colour, device_);
        }
        if (look.mode & 64) {
            device_.assign({{at.x - h, at.y - h},
                            {at.x + h, at.y - h},
                            {at.x + h, at.y + h},
                            {at.x - h, at.y + h},
                            {at.x - h, at.y - h}});
            emitClipped(item.colour, device_);
        }
    }

    void infiniteLine(const Item& item) {
        const Vec2 base = view_.toDevice(list_.points[item.first]);
        const Vec2 direction = list_.points[item.first + 1];
        const Vec2 d{direction.x, -direction.y};
        double t0 = item.bothWays ? -INFINITY : 0, t1 = INFINITY;
        if (!clipLine(base, d, clip_, t0, t1) || !std::isfinite(t1) || !std::isfinite(t0)) return;
        const Vec2 ends[2] = {base + d * t0, base + d * t1};
        sink_.polyline(item.colour, ends);
    }

    const DisplayList& list_;
    const View& view_;
    DeviceSink& sink_;
    double deviceScale_ = 1;
    double tolerance_ = 1;
    Rect clip_{};
    Box visible_;
    bool needsClip_ = false;
    std::vector<Vec2> world_, device_, polygon_;
    std::vector<std::uint32_t> ringSizes_;
};

}  // namespace

void traceView(const DisplayList& list, const View& view, DeviceSink& sink,
               const TraceOptions& options) {
    if (!(view.scale > 0) || !std::isfinite(view.scale) || !(view.width > 0) || !(view.height > 0))
        return;
    Tracer(list, view, sink, options).run();
}

}  // namespace render
