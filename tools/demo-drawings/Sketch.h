// A small vocabulary for drawing blocks in code: layers by name, nested block
// definitions, and the shapes a CAD block is made of, in centimetres.
#pragma once

#include <dwg/Drawing.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace demo {

using dwg::Point2;

// A layer a shape goes on: its name and colour index, created on first use.
struct Pen {
    const char* layer;
    int color;
    const char* linetype = nullptr;  // null: continuous
};

class Sketch {
  public:
    Sketch();

    // A block definition drawn by `contents`, placed with insert().
    void defineBlock(const std::string& name, Point2 base, const std::function<void()>& contents);

    void line(const Pen& pen, Point2 a, Point2 b);
    // An open or closed chain; bulge i curves the segment from point i (tan of a quarter of
    // its angle, positive counter-clockwise).
    void polyline(const Pen& pen, const std::vector<Point2>& points, bool closed,
                  const std::vector<double>& bulges = {});
    void rectangle(const Pen& pen, Point2 corner, double width, double height, double radius = 0);
    void circle(const Pen& pen, Point2 center, double radius);
    void arc(const Pen& pen, Point2 center, double radius, double startDegrees, double endDegrees);
    void ellipse(const Pen& pen, Point2 center, Point2 majorAxis, double ratio);
    void spline(const Pen& pen, const std::vector<Point2>& fitPoints);
    // Solid fill of a closed outline (bulges as for polyline).
    void fill(const Pen& pen, const std::vector<Point2>& outline,
              const std::vector<double>& bulges = {});
    void fillRectangle(const Pen& pen, Point2 corner, double width, double height,
                       double radius = 0);
    void fillCircle(const Pen& pen, Point2 center, double radius);
    void fillEllipse(const Pen& pen, Point2 center, Point2 majorAxis, double ratio);
    // A ring or any outline with holes: every loop is filled by the even-odd rule.
    void fillRings(const Pen& pen, const std::vector<std::vector<Point2>>& loops,
                   const std::vector<std::vector<double>>& bulges);
    void text(const Pen& pen, const std::string& text, Point2 at, double height,
              int horizontalAlignment = 0, double rotationDegrees = 0);
    void paragraph(const Pen& pen, const std::string& text, Point2 topLeft, double height,
                   double width);
    void insert(const std::string& block, Point2 at, double rotationDegrees = 0, double scale = 1);

    dwg::Drawing finish();

  private:
    dwg::Handle layer(const Pen& pen);
    void add(const Pen& pen, const char* type, dwg::EntityData data);
    dwg::Handle next() { return nextHandle_++; }

    dwg::Drawing drawing_;
    std::size_t target_ = 0;  // model space or the block being defined
    std::map<std::string, dwg::Handle> layers_;
    std::map<std::string, dwg::Handle> blocks_;
    dwg::Handle labelStyle_ = 0;
    dwg::Handle dashed_ = 0;
    dwg::Handle nextHandle_ = 1;
};

// Rounded-corner outline of a rectangle as polyline points and bulges.
void roundedRectangle(Point2 corner, double width, double height, double radius,
                      std::vector<Point2>& points, std::vector<double>& bulges);

}  // namespace demo
