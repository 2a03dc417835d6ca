// Triangles for the faces of a decoded model: each face's surface cut to its
// loops and made flat to within a distance the caller chooses, with normals
// that point out of the body. Faces that share an edge share its points, so a
// closed body gives a closed mesh.
#pragma once

#include <acis/Model.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace acis {

struct Mesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;  // unit length, one per position, out of the body
    // Counter-clockwise seen from the side the normals point to.
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

struct TessellationLimits {
    // The largest distance between a triangle and its surface (and between a
    // segment and its edge), in the model's units. The caller derives it from
    // the view's scale; it must be above zero.
    double tolerance = 0.01;
    // The largest angle, in radians, between the normals at two corners of a
    // triangle, so that shading stays smooth when the tolerance is coarse.
    double maxNormalAngle = 0.4;
    std::size_t maxTrianglesPerFace = 100'000;
    std::size_t maxTrianglesPerBody = 400'000;
};

// Spends `units` of the caller's work (about one a surface evaluation or
// triangle); false stops the tessellation, for a spent budget or a cancel.
using WorkCharge = std::function<bool(std::size_t units)>;

struct FaceMesh {
    int body = -1;  // indices into the model's lists
    int face = -1;
    bool doubleSided = false;  // seen from both sides: regions, sheets
    Mesh mesh;                 // empty when the face failed
    std::string error;         // why it failed, in Portuguese; empty when it did not
};

struct ModelMesh {
    std::vector<FaceMesh> faces;  // every face of every body, in the model's order
    bool stopped = false;         // the charge refused more work: faces not reached are missing
};

// Tessellates every face of every body. A face that cannot be tessellated
// (surface not understood, loops degenerate, crossing or too large) gets an
// error and no triangles, and the others are still made; the caller draws its
// edges as before. Work and memory are bounded by the model and the limits.
ModelMesh tessellate(const Model& model, const TessellationLimits& limits,
                     const WorkCharge& charge = {});

}  // namespace acis
