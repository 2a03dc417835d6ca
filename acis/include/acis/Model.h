// A solid modeller's boundary model as stored in its save files (SAT text and
// SAB binary): bodies made of lumps, shells, faces, loops, coedges, edges and
// vertices, with the curves and surfaces under them. Positions are those of
// the body's own frame with the body's transform applied.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace acis {

struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;

    bool operator==(const Vec3&) const = default;
};

// The model cannot be decoded; what() says why, in Portuguese.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Indices below point into the Model's lists; -1 is none.
struct Curve {
    enum class Kind { Straight, Ellipse, Spline, Other };
    Kind kind = Kind::Other;
    Vec3 origin;     // straight: a point on the line; ellipse: the centre
    Vec3 direction;  // straight: along the line
    Vec3 normal;     // ellipse: its plane's normal
    Vec3 majorAxis;  // ellipse: from the centre to the end of the major axis
    double ratio = 1;  // ellipse: minor over major axis
    // Spline (an intcurve's approximation): the full knot vector,
    // controlPoints.size() + degree + 1 knots; weights empty or one per point.
    int degree = 0;
    std::vector<double> knots;
    std::vector<Vec3> controlPoints;
    std::vector<double> weights;
    bool reversed = false;  // spline: the curve runs against the B-spline's parameter
};

struct Surface {
    enum class Kind { Plane, Cone, Sphere, Torus, Spline, Other };
    Kind kind = Kind::Other;
    Vec3 origin;  // plane: a point on it; cone, sphere, torus: the centre
    Vec3 normal;  // plane: its normal; cone, torus: the axis
    // The numbers stored after the origin and normal, as stored (radii, axes).
    std::vector<double> parameters;
};

struct Vertex {
    Vec3 position;
};

struct Edge {
    int start = -1;  // vertices
    int end = -1;
    int curve = -1;
    bool reversed = false;  // runs against its curve's direction
};

struct Coedge {
    int edge = -1;
    int partner = -1;  // the coedge of the neighbouring face on the same edge
    bool reversed = false;
};

struct Loop {
    std::vector<int> coedges;  // in order round the loop
};

struct Face {
    std::vector<int> loops;
    int surface = -1;
    bool reversed = false;
    bool doubleSided = false;
};

struct Shell {
    std::vector<int> faces;
};

struct Lump {
    std::vector<int> shells;
};

struct Body {
    std::vector<int> lumps;
};

struct Model {
    int version = 0;  // the save format's version (400, 700, 20800...)
    std::vector<Body> bodies;
    std::vector<Lump> lumps;
    std::vector<Shell> shells;
    std::vector<Face> faces;
    std::vector<Loop> loops;
    std::vector<Coedge> coedges;
    std::vector<Edge> edges;
    std::vector<Vertex> vertices;
    std::vector<Curve> curves;
    std::vector<Surface> surfaces;
};

// Decodes a model saved as SAT text or as SAB binary (the bytes start with
// "ACIS BinaryFile" or "ASM BinaryFile"). Throws acis::Error when the bytes
// are not a model this reader understands. Work and memory are bounded by
// the size of `bytes`.
Model decode(std::span<const std::uint8_t> bytes);

}  // namespace acis
