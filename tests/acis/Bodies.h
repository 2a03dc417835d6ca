// Hand-made minimal bodies: a box, a cylinder and a planar region with one
// curved side, written at any save version.
#pragma once

#include <array>
#include <map>
#include <utility>

#include "ModelWriter.h"

namespace acistest {

// Sense as the version writes it: words from 2.0, 0 and 1 before.
inline Field sense(int version, bool isReversed) {
    if (version < 200) return integer(isReversed ? 1 : 0);
    return isReversed ? reversed() : forward();
}

inline std::vector<Field> straight(std::array<double, 3> from, std::array<double, 3> to) {
    return {position(from[0], from[1], from[2]),
            position(to[0] - from[0], to[1] - from[1], to[2] - from[2]), flag("I", false),
            flag("I", false)};
}

inline std::vector<Field> plane(std::array<double, 3> origin, std::array<double, 3> normal) {
    return {position(origin[0], origin[1], origin[2]), position(normal[0], normal[1], normal[2]),
            position(1, 0, 0), flag("forward_v", false), flag("I", false), flag("I", false),
            flag("I", false), flag("I", false)};
}

inline std::vector<Field> shellFields(int version, int face, int lump) {
    if (version < 200) return {ptr(-1), ptr(-1), ptr(face), ptr(lump)};
    return {ptr(-1), ptr(-1), ptr(face), ptr(-1), ptr(lump)};
}

// A box from the origin to `size`, moved by `translation` through the body's transform.
inline ModelWriter box(int version, std::array<double, 3> size, std::array<double, 3> translation) {
    ModelWriter w;
    w.version = version;
    const int body = w.reserve(), lump = w.reserve(), shell = w.reserve(), transform = w.reserve();
    auto block = [&](int n) {
        const int first = int(w.records.size());
        for (int i = 0; i < n; ++i) w.reserve();
        return first;
    };
    const int faces = block(6), loops = block(6), coedges = block(24), edges = block(12),
              vertices = block(8), points = block(8), curves = block(12), surfaces = block(6);
    w.set(body, "body", {ptr(lump), ptr(-1), ptr(transform)});
    w.set(lump, "lump", {ptr(-1), ptr(shell), ptr(body)});
    w.set(shell, "shell", shellFields(version, faces, lump));
    w.set(transform, "transform",
          {real(1), real(0), real(0), real(0), real(1), real(0), real(0), real(0), real(1),
           real(translation[0]), real(translation[1]), real(translation[2]), real(1),
           word("no_rotate"), word("no_reflect"), word("no_shear")});
    w.records[std::size_t(transform)].plainPrefix = true;
    auto corner = [&](int i) -> std::array<double, 3> {
        return {(i == 1 || i == 2 || i == 5 || i == 6) ? size[0] : 0,
                (i == 2 || i == 3 || i == 6 || i == 7) ? size[1] : 0, i >= 4 ? size[2] : 0};
    };
    for (int i = 0; i < 8; ++i) {
        const auto c = corner(i);
        w.set(points + i, "point", {position(c[0], c[1], c[2])});
    }
    const int loopsOf[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                               {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    const std::array<double, 3> normals[6] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0},
                                              {1, 0, 0},  {0, 1, 0}, {-1, 0, 0}};
    std::map<std::pair<int, int>, int> edgeOf;
    std::map<int, std::vector<int>> coedgesOfEdge;
    std::map<int, int> firstEdgeOfVertex;
    std::vector<std::pair<int, bool>> coedgeEdge(24);
    for (int f = 0; f < 6; ++f) {
        for (int k = 0; k < 4; ++k) {
            const int a = loopsOf[f][k], b = loopsOf[f][(k + 1) % 4];
            const auto key = std::minmax(a, b);
            if (!edgeOf.count(key)) {
                const int e = int(edgeOf.size());
                edgeOf[key] = e;
                w.set(curves + e, "straight-curve", straight(corner(key.first), corner(key.second)));
                firstEdgeOfVertex.emplace(key.first, e);
                firstEdgeOfVertex.emplace(key.second, e);
            }
            const int e = edgeOf[key];
            coedgeEdge[std::size_t(4 * f + k)] = {e, a != key.first};
            coedgesOfEdge[e].push_back(4 * f + k);
        }
    }
    for (const auto& [key, e] : edgeOf)
        w.set(edges + e, "edge",
              {ptr(vertices + key.first), ptr(vertices + key.second),
               ptr(coedges + coedgesOfEdge[e][0]), ptr(curves + e), sense(version, false)});
    for (int i = 0; i < 8; ++i) w.set(vertices + i, "vertex", {ptr(edges + firstEdgeOfVertex[i]), ptr(points + i)});
    for (int f = 0; f < 6; ++f) {
        w.set(faces + f, "face",
              {ptr(f < 5 ? faces + f + 1 : -1), ptr(loops + f), ptr(shell), ptr(-1), ptr(surfaces + f),
               sense(version, false), flag("single", false)});
        w.set(loops + f, "loop", {ptr(-1), ptr(coedges + 4 * f), ptr(faces + f)});
        w.set(surfaces + f, "plane-surface",
              plane(corner(loopsOf[f][0]), normals[f]));
        for (int k = 0; k < 4; ++k) {
            const int c = 4 * f + k;
            const auto [e, isReversed] = coedgeEdge[std::size_t(c)];
            const auto& pair = coedgesOfEdge[e];
            const int partner = pair[0] == c ? pair[1] : pair[0];
            w.set(coedges + c, "coedge",
                  {ptr(coedges + 4 * f + (k + 1) % 4), ptr(coedges + 4 * f + (k + 3) % 4),
                   ptr(coedges + partner), ptr(edges + e), sense(version, isReversed), ptr(loops + f), ptr(-1)});
        }
    }
    return w;
}

// A cylinder of `radius` and `height` standing on the origin: two circular
// edges, a side face with two loops and two flat caps.
inline ModelWriter cylinder(int version, double radius, double height) {
    ModelWriter w;
    w.version = version;
    const int body = w.add("body", {}), lump = w.reserve(), shell = w.reserve();
    const int side = w.reserve(), bottom = w.reserve(), top = w.reserve();
    const int sideLoops[2] = {w.reserve(), w.reserve()};
    const int bottomLoop = w.reserve(), topLoop = w.reserve();
    const int sideCoedges[2] = {w.reserve(), w.reserve()};
    const int capCoedges[2] = {w.reserve(), w.reserve()};
    const int edges[2] = {w.reserve(), w.reserve()};
    const int vertices[2] = {w.reserve(), w.reserve()};
    const int points[2] = {w.reserve(), w.reserve()};
    const int circles[2] = {w.reserve(), w.reserve()};
    const int cone = w.reserve(), bottomPlane = w.reserve(), topPlane = w.reserve();
    w.set(body, "body", {ptr(lump), ptr(-1), ptr(-1)});
    w.set(lump, "lump", {ptr(-1), ptr(shell), ptr(body)});
    w.set(shell, "shell", shellFields(version, side, lump));
    w.set(side, "face", {ptr(bottom), ptr(sideLoops[0]), ptr(shell), ptr(-1), ptr(cone), forward(), flag("single", false)});
    w.set(bottom, "face", {ptr(top), ptr(bottomLoop), ptr(shell), ptr(-1), ptr(bottomPlane), forward(), flag("single", false)});
    w.set(top, "face", {ptr(-1), ptr(topLoop), ptr(shell), ptr(-1), ptr(topPlane), forward(), flag("single", false)});
    w.set(sideLoops[0], "loop", {ptr(sideLoops[1]), ptr(sideCoedges[0]), ptr(side)});
    w.set(sideLoops[1], "loop", {ptr(-1), ptr(sideCoedges[1]), ptr(side)});
    w.set(bottomLoop, "loop", {ptr(-1), ptr(capCoedges[0]), ptr(bottom)});
    w.set(topLoop, "loop", {ptr(-1), ptr(capCoedges[1]), ptr(top)});
    for (int i = 0; i < 2; ++i) {
        const double z = i * height;
        w.set(sideCoedges[i], "coedge", {ptr(sideCoedges[i]), ptr(sideCoedges[i]), ptr(capCoedges[i]), ptr(edges[i]),
                                         i == 0 ? reversed() : forward(), ptr(sideLoops[i]), ptr(-1)});
        w.set(capCoedges[i], "coedge", {ptr(capCoedges[i]), ptr(capCoedges[i]), ptr(sideCoedges[i]), ptr(edges[i]),
                                        i == 0 ? forward() : reversed(), i == 0 ? ptr(bottomLoop) : ptr(topLoop), ptr(-1)});
        w.set(edges[i], "edge", {ptr(vertices[i]), ptr(vertices[i]), ptr(sideCoedges[i]), ptr(circles[i]), forward()});
        w.set(vertices[i], "vertex", {ptr(edges[i]), ptr(points[i])});
        w.set(points[i], "point", {position(radius, 0, z)});
        w.set(circles[i], "ellipse-curve", {position(0, 0, z), position(0, 0, 1), position(radius, 0, 0), real(1),
                                            flag("I", false), flag("I", false)});
    }
    w.set(cone, "cone-surface", {position(0, 0, 0), position(0, 0, 1), position(radius, 0, 0), real(1),
                                 flag("I", false), flag("I", false), real(0), real(1), real(radius),
                                 flag("forward", false), flag("I", false), flag("I", false), flag("I", false),
                                 flag("I", false)});
    w.set(bottomPlane, "plane-surface", plane({0, 0, 0}, {0, 0, -1}));
    w.set(topPlane, "plane-surface", plane({0, 0, height}, {0, 0, 1}));
    return w;
}

// A flat region: a triangle (0,0)-(4,0)-(2,3) whose side from (4,0) to (2,3)
// is a quadratic B-spline bulging through control point (4,3).
inline ModelWriter region(int version) {
    ModelWriter w;
    w.version = version;
    const int body = w.reserve(), lump = w.reserve(), shell = w.reserve(), face = w.reserve(),
              loop = w.reserve(), surface = w.reserve();
    int coedges[3], edges[3], vertices[3], points[3], curves[3];
    for (int& c : coedges) c = w.reserve();
    for (int& e : edges) e = w.reserve();
    for (int& v : vertices) v = w.reserve();
    for (int& p : points) p = w.reserve();
    for (int& c : curves) c = w.reserve();
    const std::array<double, 3> corners[3] = {{0, 0, 0}, {4, 0, 0}, {2, 3, 0}};
    w.set(body, "body", {ptr(lump), ptr(-1), ptr(-1)});
    w.set(lump, "lump", {ptr(-1), ptr(shell), ptr(body)});
    w.set(shell, "shell", shellFields(version, face, lump));
    w.set(face, "face", {ptr(-1), ptr(loop), ptr(shell), ptr(-1), ptr(surface), sense(version, false),
                         version < 200 ? word("double") : flag("double", true), word("out")});
    w.set(loop, "loop", {ptr(-1), ptr(coedges[0]), ptr(face)});
    w.set(surface, "plane-surface", plane({0, 0, 0}, {0, 0, 1}));
    for (int i = 0; i < 3; ++i) {
        w.set(coedges[i], "coedge", {ptr(coedges[(i + 1) % 3]), ptr(coedges[(i + 2) % 3]), ptr(-1), ptr(edges[i]),
                                     sense(version, false), ptr(loop), ptr(-1)});
        w.set(edges[i], "edge", {ptr(vertices[i]), ptr(vertices[(i + 1) % 3]), ptr(coedges[i]), ptr(curves[i]),
                                 sense(version, false)});
        w.set(vertices[i], "vertex", {ptr(edges[i]), ptr(points[i])});
        w.set(points[i], "point", {position(corners[i][0], corners[i][1], corners[i][2])});
    }
    w.set(curves[0], "straight-curve", straight(corners[0], corners[1]));
    w.set(curves[2], "straight-curve", straight(corners[2], corners[0]));
    w.set(curves[1], "intcurve-curve",
          {forward(), open(), word("exact_cur"), word("nubs"), integer(2), word("open"), integer(2),
           real(0), integer(2), real(1), integer(2), position(4, 0, 0), position(4, 3, 0),
           position(2, 3, 0), real(0), close(), ptr(-1)});
    return w;
}

}  // namespace acistest
