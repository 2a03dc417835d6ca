// REGION, 3DSOLID, BODY and the surfaces: every edge of the decoded model,
// along its own curve (exact for lines and ellipses, the stored B-spline for
// others, cut to the part between the edge's vertices), through the entity's
// frame like any curve of the drawing, and the faces as the modeller's
// tessellation makes them. A face that cannot be made leaves its edges.
#include <acis/Tessellate.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <list>
#include <map>
#include <mutex>
#include <numbers>

#include "Builder.h"
#include "Curves.h"

namespace render::detail {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Decoding costs about one unit of work per value read; a value takes a few bytes.
constexpr std::size_t kModelBytesPerUnit = 8;
constexpr std::size_t kEvaluationsPerControlPoint = 40;
// Without a tolerance from the view, faces stray from their surfaces by at
// most this share of the model's size; never by less than the finest share.
constexpr double kRelativeTolerance = 1e-3;
constexpr double kFinestShare = 1e-6;
// Nor by less than this share of the whole drawing (half a pixel of a
// picture of it a thousand pixels wide), up to the coarsest share of the
// model: a small body in a large drawing is not made finer than a picture of
// the whole drawing can show.
constexpr double kDrawingShare = 5e-4;
constexpr double kCoarsestShare = 2e-2;

Vec3 v3(const acis::Vec3& p) {
    return {p.x, p.y, p.z};
}

double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The ellipse's parameter at `p`: c + u cos t + v sin t passes through it.
double ellipseParameter(const Vec3& c, const Vec3& u, const Vec3& v, const Vec3& p) {
    const Vec3 d = p - c;
    return std::atan2(dot(d, v) / dot(v, v), dot(d, u) / dot(u, u));
}

using ParameterRange = std::array<double, 2>;

// The parts of a spline curve an edge runs along, from the parameters
// nearest its vertices, in the curve's direction unless the edge runs
// against it; across the curve's seam where it is closed. None for the whole
// curve: an edge that closes on itself, or one the curve cannot place.
std::vector<ParameterRange> splineEdgeRanges(const acis::Curve& curve,
                                             const std::optional<Vec3>& start,
                                             const std::optional<Vec3>& end, bool reversed) {
    if (!start || !end || length(*start - *end) == 0) return {};
    std::vector<Vec3> control;
    for (const acis::Vec3& p : curve.controlPoints) control.push_back(v3(p));
    const SpaceSplineData spline{curve.degree, control, curve.knots, curve.weights};
    if (!isValidSpline(spline)) return {};
    const auto at = [&](double t) { return evaluateSpline(spline, t); };
    const auto nearest = [&](const Vec3& q) {
        return nearestParameter(spline, [&](double t) { return length(at(t) - q); });
    };
    double from = nearest(*start), to = nearest(*end);
    if (reversed) std::swap(from, to);
    if (from < to) return {{from, to}};
    if (from == to) return {};
    const double low = curve.knots[static_cast<std::size_t>(curve.degree)];
    const double high = curve.knots[curve.controlPoints.size()];
    const double size = length(*start - *end);
    if (length(at(low) - at(high)) > 1e-9 * size)
        return {{to, from}};  // open: between the vertices
    return {{from, high}, {low, to}};
}

}  // namespace
}  // namespace render::detail

namespace render {

struct SolidCache::Store {
    // A body's faces in one band of tolerances.
    using MeshKey = std::pair<const dwg::AcisData*, int>;
    struct Kept {
        std::shared_ptr<const acis::ModelMesh> mesh;
        std::size_t bytes = 0;
        std::list<MeshKey>::iterator use;  // into recent
    };

    explicit Store(std::size_t budget) : meshBudget(budget) {}

    std::shared_ptr<const acis::ModelMesh> findMesh(const MeshKey& key) {
        const auto found = meshes.find(key);
        if (found == meshes.end()) return nullptr;
        recent.splice(recent.begin(), recent, found->second.use);
        return found->second.mesh;
    }

    // Keeps `mesh` as the most recent, then lets the least recent go while
    // the meshes take more than the budget (the newest always stays).
    void keepMesh(const MeshKey& key, std::shared_ptr<const acis::ModelMesh> mesh) {
        if (meshes.contains(key)) return;
        const std::size_t bytes = meshSize(*mesh);
        recent.push_front(key);
        meshes.emplace(key, Kept{std::move(mesh), bytes, recent.begin()});
        meshBytes += bytes;
        while (meshBytes > meshBudget && recent.size() > 1) {
            const auto old = meshes.find(recent.back());
            meshBytes -= old->second.bytes;
            meshes.erase(old);
            recent.pop_back();
        }
    }

    static std::size_t meshSize(const acis::ModelMesh& mesh) {
        std::size_t bytes = sizeof(acis::ModelMesh);
        for (const acis::FaceMesh& f : mesh.faces)
            bytes += sizeof(acis::FaceMesh) + f.error.capacity() +
                     (f.mesh.positions.capacity() + f.mesh.normals.capacity()) *
                         sizeof(acis::Vec3) +
                     f.mesh.triangles.capacity() * sizeof(f.mesh.triangles[0]);
        return bytes;
    }

    mutable std::mutex mutex;
    std::unordered_map<const dwg::AcisData*, std::shared_ptr<const std::optional<acis::Model>>>
        models;
    std::map<MeshKey, Kept> meshes;
    std::list<MeshKey> recent;  // most recently used first
    std::size_t meshBytes = 0;
    const std::size_t meshBudget;
};

SolidCache::SolidCache(std::size_t meshBytes) : store_(std::make_unique<Store>(meshBytes)) {}
SolidCache::~SolidCache() = default;

std::size_t SolidCache::meshBytes() const {
    const std::lock_guard lock(store_->mutex);
    return store_->meshBytes;
}

std::size_t SolidCache::meshCount() const {
    const std::lock_guard lock(store_->mutex);
    return store_->meshes.size();
}

namespace detail {

const acis::Model* Builder::solidModel(const dwg::AcisData& data) {
    const auto found = solids_.find(&data);
    if (found != solids_.end()) return *found->second ? &**found->second : nullptr;
    std::shared_ptr<const std::optional<acis::Model>> model;
    if (sharedSolids_) {
        SolidCache::Store& store = *sharedSolids_->store_;
        const std::lock_guard lock(store.mutex);
        const auto kept = store.models.find(&data);
        if (kept != store.models.end()) model = kept->second;
    }
    if (!model) {
        if (!charge(data.bytes.size() / kModelBytesPerUnit + 1)) return nullptr;
        std::optional<acis::Model> decoded;
        try {
            decoded = acis::decode(data.bytes);
        } catch (const acis::Error&) {
        }
        model = std::make_shared<const std::optional<acis::Model>>(std::move(decoded));
        if (sharedSolids_) {
            SolidCache::Store& store = *sharedSolids_->store_;
            const std::lock_guard lock(store.mutex);
            store.models.emplace(&data, model);
        }
    }
    const auto [at, inserted] = solids_.emplace(&data, std::move(model));
    return *at->second ? &**at->second : nullptr;
}

void Builder::drawSolid(const dwg::Entity& entity, const dwg::AcisData& data, const Style& style,
                        const Frame& frame) {
    const acis::Model* model = solidModel(data);
    if (!model) {
        if (!stopped()) ++out_.report.undrawnTypes[entity.typeName];
        drawStoredWireframe(entity, data, style, frame);
        return;
    }
    const Transform& m = frame.transform;
    const auto vertex = [&](int i) -> std::optional<Vec3> {
        if (i < 0 || static_cast<std::size_t>(i) >= model->vertices.size()) return std::nullopt;
        return v3(model->vertices[static_cast<std::size_t>(i)].position);
    };
    beginEdges(style.colour);
    for (const acis::Edge& edge : model->edges) {
        if (!charge()) break;
        const std::optional<Vec3> start = vertex(edge.start);
        const std::optional<Vec3> end = vertex(edge.end);
        const acis::Curve* curve =
            edge.curve >= 0 ? &model->curves[static_cast<std::size_t>(edge.curve)] : nullptr;
        if (curve && curve->kind == acis::Curve::Kind::Ellipse) {
            const Vec3 c = v3(curve->origin);
            const Vec3 u = v3(curve->majorAxis);
            Vec3 normal = v3(curve->normal);
            const double n = length(normal);
            if (n == 0 || length(u) == 0) continue;
            normal = normal * (1 / n);
            const Vec3 v = cross(normal, u) * curve->ratio;
            double t0 = 0, sweep = kTwoPi;
            if (start && end && !(edge.start == edge.end || length(*start - *end) == 0)) {
                double a = ellipseParameter(c, u, v, *start);
                double b = ellipseParameter(c, u, v, *end);
                // An edge against its curve runs clockwise from start to end.
                if (edge.reversed) std::swap(a, b);
                t0 = a;
                sweep = counterClockwiseSweep(a, b);
            }
            addArc(m.apply(c), m.applyLinear(u), m.applyLinear(v), t0, t0 + sweep);
        } else if (curve && curve->kind == acis::Curve::Kind::Spline) {
            // Finding the vertices on the curve costs some evaluations per point.
            if (!charge(curve->controlPoints.size() * kEvaluationsPerControlPoint)) break;
            std::vector<Vec3> control;
            control.reserve(curve->controlPoints.size());
            for (const acis::Vec3& p : curve->controlPoints) control.push_back(m.apply(v3(p)));
            const std::vector<ParameterRange> ranges =
                splineEdgeRanges(*curve, start, end, edge.reversed != curve->reversed);
            if (ranges.empty()) {
                addSpline(curve->degree, control, curve->knots, curve->weights);
                continue;
            }
            // The view of a spline is the spline of its points' views, so the
            // parameters found on the model hold in the view.
            for (const auto& [from, to] : ranges) {
                const SpaceOwnedSpline part = splinePart(
                    SpaceSplineData{curve->degree, control, curve->knots, curve->weights}, from,
                    to);
                addSpline(part.degree, part.control, part.knots, part.weights);
            }
        } else if (start && end) {
            // Lines, and curves without a usable shape, as the chord between their vertices.
            const Vec3 chord[2] = {m.apply(*start), m.apply(*end)};
            addPolyline(chord);
        }
    }
    endItem(&style);
    drawSolidFaces(data, *model, style, frame);
}

namespace {

void addBox(Box& box, double& nearest, double& farthest, const acis::Vec3& p, double reach = 0) {
    box.add(Vec2{p.x - reach, p.y - reach});
    box.add(Vec2{p.x + reach, p.y + reach});
    nearest = std::max(nearest, p.z + reach);
    farthest = std::min(farthest, p.z - reach);
}

// The size of what a model holds, from its vertices and the surfaces that
// may have none (a sphere): the reach of its faces' flat approximation.
double modelSize(const acis::Model& model) {
    Box box;
    double nearest = -std::numeric_limits<double>::infinity();
    double farthest = std::numeric_limits<double>::infinity();
    for (const acis::Vertex& v : model.vertices) addBox(box, nearest, farthest, v.position);
    for (const acis::Surface& surface : model.surfaces) {
        if (surface.kind == acis::Surface::Kind::Sphere)
            addBox(box, nearest, farthest, surface.origin, std::abs(surface.radius));
        else if (surface.kind == acis::Surface::Kind::Torus)
            addBox(box, nearest, farthest, surface.origin,
                   std::abs(surface.radius) + std::abs(surface.minorRadius));
        else if (surface.kind == acis::Surface::Kind::Spline)
            for (const acis::Vec3& p : surface.spline.controlPoints)
                addBox(box, nearest, farthest, p);
    }
    if (box.empty()) return 0;
    const double size = std::max({box.width(), box.height(), nearest - farthest});
    return std::isfinite(size) ? size : 0;
}

// The drawing's size as its header gives it, 0 when it gives none usable.
double drawingSize(const dwg::Drawing& drawing) {
    const auto& low = drawing.header.extentsMin;
    const auto& high = drawing.header.extentsMax;
    if (!low || !high) return 0;
    const double size =
        std::max({high->x - low->x, high->y - low->y, high->z - low->z});
    return std::isfinite(size) && size > 0 ? size : 0;
}

// How much a map stretches lengths at most, near enough: its longest axis.
double largestStretch(const Transform& m) {
    return std::max({length(m.applyLinear({1, 0, 0})), length(m.applyLinear({0, 1, 0})),
                     length(m.applyLinear({0, 0, 1}))});
}

}  // namespace

// The model's faces as triangles in the model's own units, made once however
// often the entity is inserted, to the tolerance its first placing asks for.
const acis::ModelMesh* Builder::solidFaces(const dwg::AcisData& data, const acis::Model& model,
                                           const Transform& toView) {
    const auto found = solidFaces_.find(&data);
    if (found != solidFaces_.end()) return found->second.get();
    const double stretch = largestStretch(toView);
    acis::TessellationLimits limits;
    const double size = modelSize(model);
    // No finer than the model's size can tell, nor than doubles can.
    const double floor = std::max(size * kFinestShare, 1e-12);
    if (surfaceTolerance_ > 0 && stretch > 0) {
        limits.tolerance = surfaceTolerance_ / stretch;
    } else {
        limits.tolerance = size * kRelativeTolerance;
        if (stretch > 0)
            limits.tolerance = std::clamp(kDrawingShare * drawingSize(drawing()) / stretch,
                                          limits.tolerance, size * kCoarsestShare);
    }
    if (!(limits.tolerance >= floor) || !std::isfinite(limits.tolerance)) limits.tolerance = floor;
    // The band's finest tolerance, a power of two: zooming within it reuses
    // the faces, at most twice as fine as asked.
    const int band = std::ilogb(limits.tolerance);
    limits.tolerance = std::ldexp(1.0, band);
    const SolidCache::Store::MeshKey key{&data, band};
    std::shared_ptr<const acis::ModelMesh> mesh;
    if (sharedSolids_) {
        SolidCache::Store& store = *sharedSolids_->store_;
        const std::lock_guard lock(store.mutex);
        mesh = store.findMesh(key);
    }
    if (!mesh) {
        acis::ModelMesh made;
        try {
            made = acis::tessellate(model, limits,
                                    [this](std::size_t units) { return charge(units); });
        } catch (const std::exception& error) {
            surfaceFailed(error.what());
        }
        mesh = std::make_shared<const acis::ModelMesh>(std::move(made));
        // Faces cut short by a spent or cancelled build are made again next time.
        if (sharedSolids_ && !mesh->stopped) {
            SolidCache::Store& store = *sharedSolids_->store_;
            const std::lock_guard lock(store.mutex);
            store.keepMesh(key, mesh);
        }
    }
    return solidFaces_.emplace(&data, std::move(mesh)).first->second.get();
}

void Builder::drawSolidFaces(const dwg::AcisData& data, const acis::Model& model,
                             const Style& style, const Frame& frame) {
    if (stopped()) return;
    const Transform& m = frame.transform;
    const acis::ModelMesh* mesh = solidFaces(data, model, m);
    if (!mesh || stopped()) return;
    // A mirrored placing turns the corners' order round; it is put back.
    const bool mirrored = m.determinant() < 0;
    std::string failure;
    beginSurface(style.colour);
    for (const acis::FaceMesh& face : mesh->faces) {
        if (!face.error.empty()) {
            if (failure.empty()) failure = face.error;
            continue;
        }
        const std::uint32_t base =
            static_cast<std::uint32_t>(out_.vertices.size()) - surfaceFirstVertex_;
        if (!charge(face.mesh.positions.size() + face.mesh.triangles.size())) break;
        bool complete = true;
        for (std::size_t i = 0; i < face.mesh.positions.size() && complete; ++i) {
            const acis::Vec3& n =
                i < face.mesh.normals.size() ? face.mesh.normals[i] : acis::Vec3{};
            complete =
                addVertex(m.apply(v3(face.mesh.positions[i])), m.applyNormal(v3(n))).has_value();
        }
        if (!complete) break;
        for (const auto& [a, b, c] : face.mesh.triangles)
            if (mirrored)
                addTriangle(base + a, base + c, base + b);
            else
                addTriangle(base + a, base + b, base + c);
    }
    addSmoothEdges();
    endSurface();
    if (!failure.empty() || mesh->stopped)
        surfaceFailed(failure.empty() ? "faces não concluídas" : failure);
}

}  // namespace detail
}  // namespace render
