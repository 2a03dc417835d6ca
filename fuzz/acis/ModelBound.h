// What any decoded model must satisfy: every record takes at least a byte of
// its input, and every index points into its list.
#pragma once

#include <acis/Model.h>

#include <cstddef>

inline void checkModel(const acis::Model& m, std::size_t inputSize) {
    const std::size_t items = m.bodies.size() + m.lumps.size() + m.shells.size() + m.faces.size() +
                              m.loops.size() + m.coedges.size() + m.edges.size() + m.vertices.size() +
                              m.curves.size() + m.surfaces.size();
    if (items > inputSize) __builtin_trap();
    auto inside = [](int i, std::size_t n) { return i >= -1 && (i < 0 || static_cast<std::size_t>(i) < n); };
    for (const acis::Edge& e : m.edges)
        if (!inside(e.start, m.vertices.size()) || !inside(e.end, m.vertices.size()) ||
            !inside(e.curve, m.curves.size()))
            __builtin_trap();
    for (const acis::Curve& c : m.curves)
        if (c.kind == acis::Curve::Kind::Spline &&
            (c.knots.size() != c.controlPoints.size() + static_cast<std::size_t>(c.degree) + 1 ||
             (!c.weights.empty() && c.weights.size() != c.controlPoints.size())))
            __builtin_trap();
}
