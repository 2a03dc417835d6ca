// The 3D part of the builder and the rasteriser over drawings made from the
// fuzzer's bytes: subdivision meshes with any level and any indices,
// polyface and polygon meshes whose counts disagree with their vertices,
// 3D faces and outlines with a thickness, seen from any direction, in
// parallel or perspective, in each look, with the program's own budgets or a
// hundredth of them (FuzzLimits.h; the first byte picks). No crash, memory
// bounded (run with -rss_limit_mb), and no work the budgets do not count.
#include <render/Build.h>
#include <render/Raster.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzLimits.h"

namespace {

class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    int index() { return static_cast<std::int8_t>(byte()); }
    // Mostly small numbers, now and then a huge or non-finite one.
    double number() {
        const std::uint8_t kind = byte();
        if (kind == 0xFF) {
            std::uint8_t raw[sizeof(double)];
            for (std::uint8_t& b : raw) b = byte();
            double d = 0;
            std::memcpy(&d, raw, sizeof d);
            return d;
        }
        return (static_cast<int>(kind) - 128) / 8.0;
    }
    dwg::Point3 point() { return {number(), number(), number()}; }
    bool done() const { return at_ >= size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

dwg::Entity entity(const char* type, dwg::EntityData data, dwg::Handle handle) {
    dwg::Entity e;
    e.typeName = type;
    e.header.handle = handle;
    e.header.layer = 0x10;
    e.header.color = dwg::Color::fromIndex(1 + static_cast<int>(handle % 7));
    e.data = std::move(data);
    return e;
}

dwg::Entity next(Bytes& in, dwg::Handle handle) {
    switch (in.byte() % 7) {
        case 0: {
            dwg::SubdivisionMesh mesh;
            mesh.subdivisionLevel = in.index();
            const int vertices = in.byte() % 64;
            for (int i = 0; i < vertices; ++i) mesh.vertices.push_back(in.point());
            const int faces = in.byte() % 32;
            for (int f = 0; f < faces; ++f) {
                std::vector<int> face(in.byte() % 9);
                for (int& corner : face) corner = in.index();
                mesh.faces.push_back(face);
            }
            return entity("MESH", mesh, handle);
        }
        case 1:
        case 2: {
            dwg::Polyline p;
            p.kind = in.byte() % 2 ? dwg::Polyline::Kind::PolyfaceMesh
                                   : dwg::Polyline::Kind::PolygonMesh;
            p.meshM = in.index();
            p.meshN = in.index();
            p.closed = in.byte() % 2;
            p.closedN = in.byte() % 2;
            const int vertices = in.byte() % 64;
            for (int i = 0; i < vertices; ++i) {
                dwg::Vertex v;
                v.position = in.point();
                p.vertices.push_back(v);
            }
            const int faces = in.byte() % 32;
            for (int f = 0; f < faces; ++f)
                p.faces.push_back({{in.index(), in.index(), in.index(), in.index()}});
            return entity(
                p.kind == dwg::Polyline::Kind::PolyfaceMesh ? "POLYLINE_PFACE" : "POLYLINE_MESH", p,
                handle);
        }
        case 3: {
            dwg::Face face;
            face.kind = static_cast<dwg::Face::Kind>(in.byte() % 3);
            for (dwg::Point3& c : face.corners) c = in.point();
            face.thickness = in.number();
            face.extrusion = in.point();
            face.invisibleEdges = in.byte() % 16;
            return entity("3DFACE", face, handle);
        }
        case 4: {
            dwg::Circle circle;
            circle.center = in.point();
            circle.radius = in.number();
            circle.thickness = in.number();
            circle.extrusion = in.point();
            return entity("CIRCLE", circle, handle);
        }
        case 5: {
            dwg::LwPolyline polyline;
            const int points = in.byte() % 16;
            for (int i = 0; i < points; ++i) {
                polyline.points.push_back({in.number(), in.number()});
                polyline.bulges.push_back(in.number());
            }
            polyline.closed = in.byte() % 2;
            polyline.thickness = in.number();
            polyline.extrusion = in.point();
            return entity("LWPOLYLINE", polyline, handle);
        }
        default: {
            dwg::Line line;
            line.start = in.point();
            line.end = in.point();
            line.thickness = in.number();
            return entity("LINE", line, handle);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const fuzzlimits::Limits limits = fuzzlimits::pick(in.byte());
    dwg::Drawing drawing;
    dwg::Layer layer;
    layer.name = "0";
    layer.handle = 0x10;
    drawing.layers.push_back(layer);
    dwg::Block model;
    model.handle = 0x1F;
    model.modelSpace = true;
    render::BuildOptions options;
    options.projection.direction = {in.number(), in.number(), in.number()};
    options.projection.eyeDistance = in.byte() % 2 ? in.number() : 0;
    options.surfaceTolerance = in.number();
    for (dwg::Handle handle = 0x100; !in.done() && model.entities.size() < 16; ++handle)
        model.entities.push_back(next(in, handle));
    drawing.blocks.push_back(std::move(model));
    drawing.header.modelSpaceBlock = 0x1F;
    options.limits = limits.build;
    const render::DisplayList list = render::buildModelSpace(drawing, options);
    render::RasterOptions raster;
    raster.maxWork = limits.rasterWork;
    const render::View view = render::View::fit(list.extents, 64, 64);
    for (const auto style : {render::VisualStyle::Hidden, render::VisualStyle::Shaded}) {
        raster.style = style;
        render::rasterise(list, view, raster);
        render::rasterise(list, view.zoomedAbout({16, 16}, 50), raster);
    }
    return 0;
}
