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
    Vec3 origin;       // straight: a point on the line; ellipse: the centre
    Vec3 direction;    // straight: along the line
    Vec3 normal;       // ellipse: its plane's normal
    Vec3 majorAxis;    // ellipse: from the centre to the end of the major axis
    double ratio = 1;  // ellipse: minor over major axis
    // Spline (an intcurve's approximation): the full knot vector,
    // controlPoints.size() + degree + 1 knots; weights empty or one per point.
    int degree = 0;
    std::vector<double> knots;
    std::vector<Vec3> controlPoints;
    std::vector<double> weights;
    bool reversed = false;  // spline: the curve runs against the B-spline's parameter
};

// A B-spline surface: full knot vectors (points along the direction + degree
// + 1 knots each), the control net with u varying fastest, weights empty or
// one per point.
struct SplineSurface {
    int degreeU = 0;
    int degreeV = 0;
    std::vector<double> knotsU;
    std::vector<double> knotsV;
    int countU = 0;  // control points along u and along v
    int countV = 0;
    std::vector<Vec3> controlPoints;
    std::vector<double> weights;
    bool closedU = false;  // the surface meets itself across the ends of u
    bool closedV = false;
};

struct Surface {
    enum class Kind { Plane, Cone, Sphere, Torus, Spline, Other };
    Kind kind = Kind::Other;
    // Plane: a point on it; cone: the centre of its base ellipse; sphere,
    // torus: the centre.
    Vec3 origin;
    // Plane: its normal; cone: its axis (the base's normal); sphere: the pole
    // direction; torus: its axis.
    Vec3 normal;
    // Cone: the base's major axis, as long as its radius; sphere, torus: the
    // direction parameters start from.
    Vec3 majorAxis;
    double ratio = 1;  // cone: the base's minor over major axis
    // Cone: the half-angle's sine (0 for a cylinder; its sign against the
    // cosine's says whether the cone widens along the axis) and cosine
    // (below 0 when the normals point at the axis).
    double sineAngle = 0;
    double cosineAngle = 1;
    // Sphere: the radius; torus: the major radius. Below zero: a hollow
    // sphere, a lemon-shaped torus.
    double radius = 0;
    double minorRadius = 0;  // torus: below zero when the normals point at the spine circle
    SplineSurface spline;    // spline, when splineError is empty
    bool reversed = false;   // spline: normals against the B-spline's own
    // Spline: why it has no B-spline this reader can evaluate (a procedural
    // surface stored without its approximation), in Portuguese.
    std::string splineError;
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
