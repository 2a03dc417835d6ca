// The rasteriser: triangles into a colour and depth buffer (Gouraud shading
// from a headlight), then silhouettes of smooth surfaces and everything the
// list traces (lines, fills, text) tested against the depth the faces left.
// Our own rather than a library's: what it needs (triangles, antialiased
// lines and polygons with a depth test, at most a few million pixels) is
// small, it must run on worker threads without a graphics device, build for
// Windows unchanged, and charge its work to a budget.
#include <render/Raster.h>
#include <render/Trace.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <span>

#include "WorkBudget.h"

namespace render {
namespace {

constexpr double kPixelsPerWorkUnit = 16;
// Faces lit straight on show at this share of their colour, edge-on at the
// first: light colours stay apart from a white background, dark ones from
// black.
constexpr double kAmbient = 0.3;
constexpr double kDiffuse = 0.58;
// Sub-rows per pixel row when polygons are filled: coverage in steps of a
// quarter pixel.
constexpr int kSubRows = 4;

struct Rgb {
    double r = 0, g = 0, b = 0;

    static Rgb of(std::uint32_t rgb) {
        return {static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF),
                static_cast<double>(rgb & 0xFF)};
    }
    Rgb operator*(double k) const { return {r * k, g * k, b * k}; }
    Rgb operator+(const Rgb& o) const { return {r + o.r, g + o.g, b + o.b}; }
    std::uint32_t packed() const {
        const auto channel = [](double v) {
            return static_cast<std::uint32_t>(std::clamp(v + 0.5, 0.0, 255.0));
        };
        return 0xFF000000u | channel(r) << 16 | channel(g) << 8 | channel(b);
    }
};

double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

bool isLight(std::uint32_t rgb) {
    const Rgb c = Rgb::of(rgb);
    return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b > 127.5;
}

// The colour and depth buffers, and the primitives drawn into them.
class Canvas {
  public:
    Canvas(int width, int height, std::uint32_t background, detail::WorkBudget& work)
        : width_(width),
          height_(height),
          pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                  0xFF000000u | background),
          depth_(pixels_.size(), -std::numeric_limits<double>::infinity()),
          work_(work) {}

    std::vector<std::uint32_t> takePixels() { return std::move(pixels_); }
    bool workLeft() const { return work_.left(); }

    // Charges the work of covering a box of pixels; false when none is left.
    bool charge(double pixels) {
        return work_.charge(1 +
                            static_cast<std::size_t>(std::max(pixels, 0.0) / kPixelsPerWorkUnit));
    }

    // A triangle in device pixels with a depth and a colour at each corner,
    // sampled at pixel centres; its depth moved away from the eye by
    // `pushBack` so that lines lying on it stay in front of it.
    void triangle(const std::array<DevicePoint, 3>& v, const std::array<Rgb, 3>& colours,
                  double pushBack) {
        const double area = (v[1].at.x - v[0].at.x) * (v[2].at.y - v[0].at.y) -
                            (v[2].at.x - v[0].at.x) * (v[1].at.y - v[0].at.y);
        if (!(std::abs(area) > 1e-12) || !std::isfinite(area)) return;
        const double minX = std::min({v[0].at.x, v[1].at.x, v[2].at.x});
        const double maxX = std::max({v[0].at.x, v[1].at.x, v[2].at.x});
        const double minY = std::min({v[0].at.y, v[1].at.y, v[2].at.y});
        const double maxY = std::max({v[0].at.y, v[1].at.y, v[2].at.y});
        // Pixel centres inside the box.
        const int x0 = pixel(std::ceil(minX - 0.5), width_);
        const int x1 = pixel(std::floor(maxX - 0.5), width_ - 1);
        const int y0 = pixel(std::ceil(minY - 0.5), height_);
        const int y1 = pixel(std::floor(maxY - 0.5), height_ - 1);
        if (x0 > x1 || y0 > y1) return;
        if (!charge(double(x1 - x0 + 1) * double(y1 - y0 + 1))) return;
        const double inverse = 1 / area;
        // Barycentric weights of corner i at (x, y): w_i = a_i x + b_i y + c_i.
        std::array<double, 3> a{}, b{}, c{};
        for (int i = 0; i < 3; ++i) {
            const Vec2 p = v[(i + 1) % 3].at, q = v[(i + 2) % 3].at;
            a[i] = (p.y - q.y) * inverse;
            b[i] = (q.x - p.x) * inverse;
            c[i] = (p.x * q.y - q.x * p.y) * inverse;
        }
        const auto along = [&](auto value) {
            return std::array<double, 3>{a[0] * value(0) + a[1] * value(1) + a[2] * value(2),
                                         b[0] * value(0) + b[1] * value(1) + b[2] * value(2),
                                         c[0] * value(0) + c[1] * value(1) + c[2] * value(2)};
        };
        const auto depth = along([&](int i) { return v[i].depth; });
        const auto red = along([&](int i) { return colours[i].r; });
        const auto green = along([&](int i) { return colours[i].g; });
        const auto blue = along([&](int i) { return colours[i].b; });
        for (int y = y0; y <= y1; ++y) {
            const double py = y + 0.5;
            // The row's pixels inside all three edges, give or take one: long
            // thin triangles cover little of their box.
            double from = x0, to = x1;
            for (int i = 0; i < 3; ++i) {
                const double rest = b[i] * py + c[i];
                if (a[i] > 0)
                    from = std::max(from, std::floor(-rest / a[i] - 0.5) - 1);
                else if (a[i] < 0)
                    to = std::min(to, std::ceil(-rest / a[i] - 0.5) + 1);
                else if (rest < 0)
                    to = from - 1;
            }
            if (!(from <= to)) continue;
            const int first = static_cast<int>(from), last = static_cast<int>(to);
            std::size_t index = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                static_cast<std::size_t>(first);
            for (int x = first; x <= last; ++x, ++index) {
                const double px = x + 0.5;
                const double w0 = a[0] * px + b[0] * py + c[0];
                const double w1 = a[1] * px + b[1] * py + c[1];
                const double w2 = a[2] * px + b[2] * py + c[2];
                if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                const double d = depth[0] * px + depth[1] * py + depth[2] - pushBack;
                if (!(d > depth_[index])) continue;
                depth_[index] = d;
                pixels_[index] = Rgb{red[0] * px + red[1] * py + red[2],
                                     green[0] * px + green[1] * py + green[2],
                                     blue[0] * px + blue[1] * py + blue[2]}
                                     .packed();
            }
        }
    }

    // Mixes `colour` into a pixel by `cover`, where nothing nearer than
    // `depth` hides it (no test when `test` is off).
    void blend(int x, int y, const Rgb& colour, double cover, double depth, bool test) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_ || !(cover > 0)) return;
        const std::size_t index = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                  static_cast<std::size_t>(x);
        if (test && depth < depth_[index]) return;
        cover = std::min(cover, 1.0);
        const Rgb below = Rgb::of(pixels_[index]);
        pixels_[index] = (colour * cover + below * (1 - cover)).packed();
    }

    // An antialiased line `width` pixels wide, stepping along its longer
    // axis and covering across it by distance from its middle.
    void line(Vec2 a, Vec2 b, double depthA, double depthB, const Rgb& colour, double width,
              bool test) {
        if (!clipToCanvas(a, b, depthA, depthB, width)) return;
        const double dx = b.x - a.x, dy = b.y - a.y;
        const bool steep = std::abs(dy) > std::abs(dx);
        if (steep) {
            std::swap(a.x, a.y);
            std::swap(b.x, b.y);
        }
        if (a.x > b.x) {
            std::swap(a, b);
            std::swap(depthA, depthB);
        }
        const double run = b.x - a.x;
        const double slope = run > 0 ? (b.y - a.y) / run : 0;
        const double across =
            std::sqrt(1 + slope * slope);  // minor-axis span of one pixel of width
        const double half = width / 2;
        const int major0 = static_cast<int>(std::floor(a.x));
        const int major1 = static_cast<int>(std::floor(b.x));
        const int limit = steep ? height_ : width_;
        const int first = std::max(major0, 0), last = std::min(major1, limit - 1);
        if (first > last) return;
        if (!charge((last - first + 1) * (width + 2))) return;
        for (int m = first; m <= last; ++m) {
            const double centre = m + 0.5;
            const double t = run > 0 ? std::clamp((centre - a.x) / run, 0.0, 1.0) : 0;
            const double middle = a.y + (b.y - a.y) * t;
            const double depth = depthA + (depthB - depthA) * t;
            // The share of this column the line covers along its length.
            const double inRun = std::min(b.x, m + 1.0) - std::max(a.x, double(m));
            const double lengthCover = run > 0 ? std::clamp(inRun, 0.0, 1.0) : 1;
            const int minorLimit = steep ? width_ : height_;
            const int lo =
                static_cast<int>(std::max(std::floor(middle - half * across - 0.5), -1.0));
            const int hi = static_cast<int>(
                std::min(std::ceil(middle + half * across + 0.5), double(minorLimit)));
            for (int n = lo; n <= hi; ++n) {
                const double distance = std::abs(n + 0.5 - middle) / across;
                const double cover = std::clamp(half + 0.5 - distance, 0.0, 1.0) * lengthCover;
                if (steep)
                    blend(n, m, colour, cover, depth, test);
                else
                    blend(m, n, colour, cover, depth, test);
            }
        }
    }

    // Rings filled by winding rule, covered in quarter-pixel rows; the depth
    // of each pixel from the plane the points lie in.
    void polygon(std::span<const Vec2> points, std::span<const double> depths,
                 std::span<const std::uint32_t> ringSizes, bool nonZero, const Rgb& colour,
                 bool test) {
        struct Edge {
            Vec2 from, to;  // from.y < to.y
            int direction;
        };
        std::vector<Edge> edges;
        Box box;
        std::size_t at = 0;
        for (const std::uint32_t size : ringSizes) {
            for (std::uint32_t i = 0; i < size; ++i) {
                const Vec2 p = points[at + i], q = points[at + (i + 1) % size];
                box.add(p);
                if (p.y == q.y) continue;
                edges.push_back(p.y < q.y ? Edge{p, q, 1} : Edge{q, p, -1});
            }
            at += size;
        }
        if (edges.empty() || box.empty()) return;
        const int x0 = pixel(std::floor(box.minX), width_);
        const int x1 = pixel(std::floor(box.maxX), width_ - 1);
        const int y0 = pixel(std::floor(box.minY), height_);
        const int y1 = pixel(std::floor(box.maxY), height_ - 1);
        if (x0 > x1 || y0 > y1) return;
        if (!charge(double(x1 - x0 + 1) * double(y1 - y0 + 1) +
                    double(edges.size()) * (y1 - y0 + 1) / kPixelsPerWorkUnit))
            return;
        const Plane plane = test ? planeThrough(points, depths) : Plane{};
        std::sort(edges.begin(), edges.end(),
                  [](const Edge& p, const Edge& q) { return p.from.y < q.from.y; });
        std::vector<double> cover(static_cast<std::size_t>(x1 - x0 + 2), 0);
        std::vector<const Edge*> active;
        std::vector<std::pair<double, int>> crossings;
        std::size_t next = 0;
        for (int y = y0; y <= y1; ++y) {
            std::fill(cover.begin(), cover.end(), 0);
            for (int k = 0; k < kSubRows; ++k) {
                const double sy = y + (k + 0.5) / kSubRows;
                while (next < edges.size() && edges[next].from.y <= sy)
                    active.push_back(&edges[next++]);
                std::erase_if(active, [sy](const Edge* e) { return e->to.y <= sy; });
                crossings.clear();
                for (const Edge* e : active) {
                    if (e->from.y > sy) continue;
                    const double t = (sy - e->from.y) / (e->to.y - e->from.y);
                    crossings.push_back({e->from.x + (e->to.x - e->from.x) * t, e->direction});
                }
                std::sort(crossings.begin(), crossings.end());
                int winding = 0;
                for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
                    winding += crossings[i].second;
                    const bool inside = nonZero ? winding != 0 : (i % 2) == 0;
                    if (inside) addSpan(cover, x0, crossings[i].first, crossings[i + 1].first);
                }
            }
            for (int x = x0; x <= x1; ++x) {
                const double c = cover[static_cast<std::size_t>(x - x0)] / kSubRows;
                if (c <= 0) continue;
                blend(x, y, colour, c, plane.at(x + 0.5, y + 0.5), test);
            }
        }
    }

  private:
    // A pixel index from a coordinate, kept within 0 .. limit whatever it was.
    static int pixel(double at, int limit) {
        return static_cast<int>(std::clamp(std::isnan(at) ? 0.0 : at, 0.0, double(limit)));
    }

    // Cuts the segment to the canvas and a line's width around it (Liang-
    // Barsky), its depths with it; false when nothing of it is left.
    bool clipToCanvas(Vec2& a, Vec2& b, double& depthA, double& depthB, double width) const {
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) ||
            !std::isfinite(b.y) || !std::isfinite(width))
            return false;
        const double pad = width + 2;
        const Vec2 d = b - a;
        double t0 = 0, t1 = 1;
        const double limits[4][2] = {{-d.x, a.x + pad},
                                     {d.x, width_ + pad - a.x},
                                     {-d.y, a.y + pad},
                                     {d.y, height_ + pad - a.y}};
        for (const auto& [q, room] : limits) {
            if (q == 0) {
                if (room < 0) return false;
                continue;
            }
            const double t = room / q;
            if (q < 0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        }
        if (t0 > t1) return false;
        const Vec2 from = a + d * t0, to = a + d * t1;
        const double depthFrom = depthA + (depthB - depthA) * t0;
        depthB = depthA + (depthB - depthA) * t1;
        depthA = depthFrom;
        a = from;
        b = to;
        return true;
    }

    // depth = a x + b y + c across a flat polygon; a polygon seen edge-on
    // takes its nearest depth everywhere.
    struct Plane {
        double a = 0, b = 0, c = 0;
        double at(double x, double y) const { return a * x + b * y + c; }
    };

    static Plane planeThrough(std::span<const Vec2> points, std::span<const double> depths) {
        Plane plane;
        if (depths.size() != points.size() || points.empty()) return plane;
        Vec3 normal, centre;
        const std::size_t n = points.size();
        for (std::size_t i = 0; i < n; ++i) {
            const Vec3 p{points[i].x, points[i].y, depths[i]};
            const std::size_t j = (i + 1) % n;
            const Vec3 q{points[j].x, points[j].y, depths[j]};
            normal = normal + Vec3{(p.y - q.y) * (p.z + q.z), (p.z - q.z) * (p.x + q.x),
                                   (p.x - q.x) * (p.y + q.y)};
            centre = centre + p;
        }
        centre = centre * (1.0 / static_cast<double>(n));
        if (std::abs(normal.z) > 1e-9 * length(normal)) {
            plane.a = -normal.x / normal.z;
            plane.b = -normal.y / normal.z;
            plane.c = centre.z - plane.a * centre.x - plane.b * centre.y;
        } else {
            plane.c = *std::max_element(depths.begin(), depths.end());
        }
        return plane;
    }

    // Adds a quarter row's cover of [from, to) to the pixels it spans.
    static void addSpan(std::vector<double>& cover, int x0, double from, double to) {
        const double last = static_cast<double>(cover.size()) - 1 + x0;
        from = std::clamp(from, double(x0), last + 1);
        to = std::clamp(to, double(x0), last + 1);
        if (!(to > from)) return;
        const int a = static_cast<int>(std::floor(from)), b = static_cast<int>(std::floor(to));
        const auto at = [&](int x) -> double& {
            return cover[static_cast<std::size_t>(
                std::min(x - x0, static_cast<int>(cover.size()) - 1))];
        };
        if (a == b) {
            at(a) += to - from;
            return;
        }
        at(a) += a + 1 - from;
        for (int x = a + 1; x < b; ++x) at(x) += 1;
        if (b <= last) at(b) += to - b;
    }

    int width_, height_;
    std::vector<std::uint32_t> pixels_;
    std::vector<double> depth_;
    detail::WorkBudget& work_;
};

// What the list traces, drawn into the canvas with a depth test.
class CanvasSink final : public DeviceSink {
  public:
    CanvasSink(Canvas& canvas, std::uint32_t background, double lineWidth, bool test)
        : canvas_(canvas), background_(background), lineWidth_(lineWidth), test_(test) {}

    Rgb colourOf(const Colour& colour) const {
        switch (colour.kind) {
            case Colour::Kind::Rgb:
                return Rgb::of(colour.rgb);
            case Colour::Kind::Foreground:
                return Rgb::of(isLight(background_) ? 0x000000 : 0xFFFFFF);
            case Colour::Kind::Background:
                return Rgb::of(background_);
        }
        return {};
    }

    void polyline(const Colour& colour, std::span<const Vec2> points,
                  std::span<const double> depths) override {
        const Rgb rgb = colourOf(colour);
        for (std::size_t i = 1; i < points.size() && canvas_.workLeft(); ++i)
            canvas_.line(points[i - 1], points[i], depthAt(depths, i - 1), depthAt(depths, i), rgb,
                         lineWidth_, test_ && !depths.empty());
    }

    void polygon(const Colour& colour, std::span<const Vec2> points, std::span<const double> depths,
                 std::span<const std::uint32_t> ringSizes, bool nonZero) override {
        canvas_.polygon(points, depths, ringSizes, nonZero, colourOf(colour),
                        test_ && !depths.empty());
    }

    void dot(const Colour& colour, Vec2 point, double depth) override {
        if (!(point.x >= 0 && point.y >= 0 && point.x < 1e9 && point.y < 1e9)) return;
        canvas_.blend(static_cast<int>(point.x), static_cast<int>(point.y), colourOf(colour), 1,
                      depth, test_);
    }

  private:
    static double depthAt(std::span<const double> depths, std::size_t i) {
        return i < depths.size() ? depths[i] : 0;
    }

    Canvas& canvas_;
    std::uint32_t background_;
    double lineWidth_;
    bool test_;
};

class Rasteriser {
  public:
    Rasteriser(const DisplayList& list, const View& view, const RasterOptions& options,
               Canvas& canvas)
        : list_(list), view_(view), options_(options), canvas_(canvas) {}

    void run() {
        const bool faces = options_.style != VisualStyle::Wireframe;
        CanvasSink sink(canvas_, options_.background, options_.lineWidth, faces);
        if (faces) {
            for (const Surface& surface : list_.surfaces) {
                if (!canvas_.workLeft()) return;
                drawSurface(surface);
            }
            for (const Surface& surface : list_.surfaces) {
                if (!canvas_.workLeft()) return;
                drawSilhouettes(surface, sink);
            }
        }
        TraceOptions trace;
        trace.depths = faces;
        if (options_.style == VisualStyle::Shaded) trace.surfaceEdgeColour = Colour::foreground();
        traceView(list_, view_, sink, trace);
    }

  private:
    // Towards the eye from `p`: along z in a parallel view.
    Vec3 towardsEye(const Vec3& p) const {
        if (!list_.perspective()) return {0, 0, 1};
        const Vec3 d = Vec3{0, 0, list_.eyeDistance} - p;
        const double n = length(d);
        return n > 0 ? d * (1 / n) : Vec3{0, 0, 1};
    }

    void drawSurface(const Surface& surface) {
        const bool hidden = options_.style == VisualStyle::Hidden;
        const Rgb base =
            hidden
                ? Rgb::of(options_.background)
                : Rgb::of(surface.colour.kind == Colour::Kind::Rgb ? surface.colour.rgb : 0xFFFFFF);
        const double near = list_.eyeDistance * (1 - kNearShare);
        for (std::uint32_t t = 0; t < surface.triangleCount; ++t) {
            const Triangle& triangle = list_.triangles[surface.firstTriangle + t];
            const std::uint32_t corners[3] = {triangle.a, triangle.b, triangle.c};
            // Corners with their colours, cut where the triangle passes the
            // eye's near limit.
            std::array<Vec3, 4> points{};
            std::array<Rgb, 4> colours{};
            std::size_t count = 0;
            for (int i = 0; i < 3; ++i) {
                const Vec3& p = list_.vertices[corners[i]];
                const Vec3& q = list_.vertices[corners[(i + 1) % 3]];
                const bool frontP = !list_.perspective() || p.z <= near;
                const bool frontQ = !list_.perspective() || q.z <= near;
                const Rgb cp = hidden ? base : lit(base, p, list_.normals[corners[i]]);
                if (frontP) {
                    points[count] = p;
                    colours[count++] = cp;
                }
                if (frontP != frontQ && count < 4) {
                    const double k = (near - p.z) / (q.z - p.z);
                    const Rgb cq =
                        hidden ? base : lit(base, q, list_.normals[corners[(i + 1) % 3]]);
                    points[count] = p + (q - p) * k;
                    colours[count++] = cp * (1 - k) + cq * k;
                }
            }
            if (count < 3) continue;
            std::array<DevicePoint, 4> seen{};
            bool ok = true;
            for (std::size_t i = 0; i < count && ok; ++i) {
                const auto d = toDevice(list_, view_, points[i]);
                ok = d.has_value();
                if (ok) seen[i] = *d;
            }
            if (!ok) continue;
            for (std::size_t i = 1; i + 1 < count; ++i) {
                const std::array<DevicePoint, 3> corner{seen[0], seen[i], seen[i + 1]};
                canvas_.triangle(corner, {colours[0], colours[i], colours[i + 1]},
                                 pushBack(corner));
            }
            if (!canvas_.workLeft()) return;
        }
    }

    // The depth a face gives way by: its change in depth over a pixel and a
    // half, so that its own edges, drawn at their exact depth, stay in front.
    static double pushBack(const std::array<DevicePoint, 3>& v) {
        const double area = (v[1].at.x - v[0].at.x) * (v[2].at.y - v[0].at.y) -
                            (v[2].at.x - v[0].at.x) * (v[1].at.y - v[0].at.y);
        const double dx = ((v[1].depth - v[0].depth) * (v[2].at.y - v[0].at.y) -
                           (v[2].depth - v[0].depth) * (v[1].at.y - v[0].at.y)) /
                          area;
        const double dy = ((v[2].depth - v[0].depth) * (v[1].at.x - v[0].at.x) -
                           (v[1].depth - v[0].depth) * (v[2].at.x - v[0].at.x)) /
                          area;
        const double slope = std::abs(dx) + std::abs(dy);
        const double scale =
            std::max({std::abs(v[0].depth), std::abs(v[1].depth), std::abs(v[2].depth), 1e-300});
        return 1.5 * (std::isfinite(slope) ? slope : 0) + 1e-7 * scale;
    }

    Rgb lit(const Rgb& base, const Vec3& p, const Vec3& normal) const {
        // Lit from the eye whichever side faces it: open surfaces show both.
        const double facing = std::abs(dot(normal, towardsEye(p)));
        return base * (kAmbient + kDiffuse * facing);
    }

    // The edges between a triangle that faces the eye and one that faces
    // away: the outline a smooth surface shows.
    void drawSilhouettes(const Surface& surface, CanvasSink& sink) {
        const Colour colour =
            options_.style == VisualStyle::Shaded ? Colour::foreground() : surface.colour;
        std::vector<Vec2> points(2);
        std::vector<double> depths(2);
        for (std::uint32_t i = 0; i < surface.smoothEdgeCount; ++i) {
            const SmoothEdge& edge = list_.smoothEdges[surface.firstSmoothEdge + i];
            if (facesEye(list_.triangles[edge.left]) == facesEye(list_.triangles[edge.right]))
                continue;
            const auto a = toDevice(list_, view_, list_.vertices[edge.a]);
            const auto b = toDevice(list_, view_, list_.vertices[edge.b]);
            if (!a || !b) continue;
            points = {a->at, b->at};
            depths = {a->depth, b->depth};
            sink.polyline(colour, points, depths);
        }
    }

    bool facesEye(const Triangle& t) const {
        const Vec3& a = list_.vertices[t.a];
        const Vec3 normal = cross(list_.vertices[t.b] - a, list_.vertices[t.c] - a);
        return dot(normal, towardsEye(a)) > 0;
    }

    const DisplayList& list_;
    const View& view_;
    const RasterOptions& options_;
    Canvas& canvas_;
};

}  // namespace

Picture rasterise(const DisplayList& list, const View& view, const RasterOptions& options) {
    Picture picture;
    if (!(view.width > 0) || !(view.height > 0) || !std::isfinite(view.width) ||
        !std::isfinite(view.height) || !(view.scale > 0) || !std::isfinite(view.scale))
        return picture;
    const double pixels = std::ceil(view.width) * std::ceil(view.height);
    if (pixels > static_cast<double>(kMaxPicturePixels)) {
        picture.truncated = true;
        return picture;
    }
    picture.width = static_cast<int>(std::ceil(view.width));
    picture.height = static_cast<int>(std::ceil(view.height));
    detail::WorkBudget work(options.maxWork, options.cancel);
    Canvas canvas(picture.width, picture.height, options.background & 0xFFFFFF, work);
    Rasteriser(list, view, options, canvas).run();
    picture.pixels = canvas.takePixels();
    picture.truncated = !work.left();
    return picture;
}

}  // namespace render
