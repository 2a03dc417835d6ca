// libFuzzer target: any model that decodes tessellates within its limits and
// budget, every face to a well-formed mesh or an error; never a crash. The
// limits are the program's own (smaller ones stop a face before the faults
// that only show deep in a refinement): its triangles per face and per body,
// a tolerance of a thousandth of the model, and a whole build's work.
#include <acis/Tessellate.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    acis::Model model;
    try {
        model = acis::decode(std::span<const std::uint8_t>(data, size));
    } catch (const acis::Error&) {
        return 0;
    }
    // A tolerance that follows the model's size, as a view's would.
    double extent = 0;
    for (const acis::Vertex& v : model.vertices)
        extent = std::max({extent, std::abs(v.position.x), std::abs(v.position.y), std::abs(v.position.z)});
    acis::TessellationLimits limits;  // the program's triangles per face and per body
    limits.tolerance = std::isfinite(extent) && extent > 0 ? extent * 1e-3 : 1e-3;
    constexpr std::size_t kBuildWork = 10'000'000;  // render::BuildLimits::kDefaultMaxWork
    std::size_t spent = 0;
    const acis::ModelMesh mesh = acis::tessellate(model, limits, [&](std::size_t units) {
        spent += units;
        return spent < kBuildWork;
    });
    std::vector<std::size_t> perBody(model.bodies.size());
    for (const acis::FaceMesh& f : mesh.faces) {
        const acis::Mesh& m = f.mesh;
        if (m.normals.size() != m.positions.size() || m.triangles.size() > limits.maxTrianglesPerFace)
            __builtin_trap();
        if (!f.error.empty() && !m.triangles.empty()) __builtin_trap();
        perBody.at(static_cast<std::size_t>(f.body)) += m.triangles.size();
        for (const auto& t : m.triangles)
            for (std::uint32_t i : t)
                if (i >= m.positions.size()) __builtin_trap();
        for (std::size_t i = 0; i < m.positions.size(); ++i) {
            const acis::Vec3& p = m.positions[i];
            const acis::Vec3& n = m.normals[i];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) __builtin_trap();
            if (!(std::abs(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z) - 1) < 1e-6)) __builtin_trap();
        }
    }
    for (std::size_t n : perBody)
        if (n > limits.maxTrianglesPerBody) __builtin_trap();
    return 0;
}
