// The display-list builder: walks a block through its inserts, resolves
// colours, layers and linetypes, and writes items and surfaces. Entity kinds
// are spread over Builder.cpp (geometry, inserts) and the Build*.cpp files.
#pragma once

#include <acis/Model.h>
#include <acis/Tessellate.h>
#include <render/Build.h>

#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Meshes.h"
#include "TextLayout.h"
#include "WorkBudget.h"

namespace render::detail {

struct LoopPiece;

inline Vec3 v3(const dwg::Point3& p) {
    return {p.x, p.y, p.z};
}
inline Vec3 v3(Vec2 p) {
    return {p.x, p.y, 0};
}

// What an inserting entity hands down to the contents of its block.
struct Frame {
    Transform transform;  // block coordinates to view coordinates
    Colour byBlockColour = Colour::foreground();
    const dwg::Linetype* byBlockLinetype = nullptr;
    dwg::Handle layerZeroStandsFor = 0;  // contents on layer "0" take this layer; 0: their own
    bool insideInsert = false;
    int depth = 0;
};

// How one entity is drawn.
struct Style {
    Colour colour;
    const dwg::Linetype* linetype = nullptr;  // nullptr: continuous
    double linetypeScale = 1;                 // world units per pattern unit
    dwg::Handle layer = 0;                    // effective layer
};

class Builder {
  public:
    Builder(const dwg::Drawing& drawing, const BuildOptions& options, DisplayList& out);

    void drawTopBlock(const dwg::Block& block);

    // Item writing, for the entity kinds. Points are view points: world
    // points through the build's projection, z towards the eye.
    void beginItem(Item::Kind kind, const Colour& colour);
    void addPolyline(std::span<const Vec3> points, bool startsContour = true);
    void addArc(Vec3 c, Vec3 u, Vec3 v, double t0, double t1, bool startsContour = true);
    void addSpline(int degree, std::span<const Vec3> control, std::span<const double> knots,
                   std::span<const double> weights, bool startsContour = true);
    // The smooth cubic through `points` (a fit-point spline, a spline
    // leader), as one B-spline.
    void addCurveThrough(std::span<const Vec3> points,
                         std::optional<Vec3> startTangent = std::nullopt,
                         std::optional<Vec3> endTangent = std::nullopt);
    // Ends the item, dashed by `style`'s linetype if a stroke; drops it if empty.
    void endItem(const Style* style = nullptr);
    void addTextRun(const Colour& colour, Vec3 origin, Vec3 axisX, Vec3 axisY,
                    std::span<const PlacedGlyph> glyphs);
    void addDot(const Colour& colour, Vec3 point);
    // A run and its underlines or overlines.
    void addGlyphLine(const Colour& colour, Vec3 origin, Vec3 axisX, Vec3 axisY,
                      std::span<const PlacedGlyph> glyphs, std::span<const Decoration> decorations);
    // Surface writing: a surface's triangles join vertices given between
    // beginSurface and endSurface (indices from 0 at beginSurface), in view
    // coordinates with unit normals. addVertex gives none once out of budget.
    void beginSurface(const Colour& colour);
    std::optional<std::uint32_t> addVertex(Vec3 position, Vec3 normal);
    void addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c);
    void addSmoothEdge(std::uint32_t a, std::uint32_t b, std::uint32_t left, std::uint32_t right);
    // The number of triangles of the open surface so far.
    std::uint32_t surfaceTriangles() const;
    void endSurface();
    // Counts a body or mesh whose faces could not be made, and why.
    void surfaceFailed(const std::string& reason);

    const dwg::Drawing& drawing() const { return drawing_; }
    const dwg::TextStyle* textStyle(dwg::Handle handle) const;
    Colour resolveColour(const dwg::Color& colour, const Frame& frame, dwg::Handle layer) const;
    bool stopped() const { return stopped_; }
    // Spends `units` of the build's work (see BuildLimits::maxWork) before
    // work proportional to them; false, and the build stopped, once it is
    // spent. Every loop an entity kind runs over file data charges here.
    bool charge(std::size_t units = 1);

  private:
    struct LayerState {
        Colour colour;
        const dwg::Linetype* linetype = nullptr;
        bool hidden = false;  // off or frozen
        bool frozen = false;
        bool isZero = false;
    };

    void drawContents(const dwg::Block& block, const Frame& frame);
    void drawEntity(const dwg::Entity& entity, const Frame& frame);
    // False when the entity's layer hides it.
    bool resolveStyle(const dwg::EntityHeader& header, const Frame& frame, Style& style,
                      bool* layerFrozen = nullptr) const;
    const dwg::Linetype* resolveLinetype(const dwg::EntityHeader& header, const LayerState* layer,
                                         const Frame& frame) const;
    const LayerState* layerState(dwg::Handle handle) const;
    // Any entity of the drawing by handle, indexed on first use.
    const dwg::Entity* entity(dwg::Handle handle);

    void drawInsert(const dwg::Entity& entity, const dwg::Insert& insert, const Style& style,
                    const Frame& frame);
    void drawBlockReference(dwg::Handle blockHandle, const Transform& placement, const Style& style,
                            const Frame& frame);
    static Frame innerFrame(const Transform& placement, const Style& style, const Frame& frame);
    const dwg::Block* block(dwg::Handle handle) const;
    // Filled areas of solids, wide polylines and solid hatches are drawn as
    // outlines when the drawing turns fill off.
    Item::Kind fillKind() const { return fillMode_ ? Item::Kind::Fill : Item::Kind::Stroke; }
    void drawLine(const dwg::Line& line, const Style& style, const Frame& frame);
    void drawPoint(const dwg::Point& point, const Style& style, const Frame& frame);
    void drawCircle(const dwg::Circle& circle, const Style& style, const Frame& frame);
    void drawArc(const dwg::Arc& arc, const Style& style, const Frame& frame);
    void drawEllipse(const dwg::Ellipse& ellipse, const Style& style, const Frame& frame);
    void drawLwPolyline(const dwg::LwPolyline& polyline, const Style& style, const Frame& frame);
    void drawPolyline(const dwg::Polyline& polyline, const Style& style, const Frame& frame);
    void drawSpline(const dwg::Spline& spline, const Style& style, const Frame& frame);
    void drawFace(const dwg::Face& face, const Style& style, const Frame& frame);
    void drawLeader(const dwg::Leader& leader, const Style& style, const Frame& frame);
    void drawMultiLeader(const dwg::MultiLeader& leader, const Style& style, const Frame& frame);
    void drawArrowhead(Vec3 tip, Vec3 from, double size, dwg::Handle arrowBlock, const Style& style,
                       const Frame& frame);
    void drawConstructionLine(const dwg::ConstructionLine& line, const Style& style,
                              const Frame& frame);
    void drawDimension(const dwg::Entity& entity, const dwg::Dimension& dimension,
                       const Style& style, const Frame& frame);
    void drawHatch(const dwg::Hatch& hatch, const Style& style, const Frame& frame);
    void fillLoops(const std::vector<std::vector<LoopPiece>>& loops, const Transform& toWorld,
                   const Colour& colour);
    void drawText(const dwg::Text& text, const Style& style, const Frame& frame);
    void drawMText(const dwg::MText& text, const Style& style, const Frame& frame);
    void drawTolerance(const dwg::Tolerance& tolerance, const Style& style, const Frame& frame);
    void drawMLine(const dwg::MLine& line, const Style& style, const Frame& frame);
    void drawRasterImage(const dwg::RasterImage& image, const Style& style, const Frame& frame);
    // Surfaces (BuildSurfaces.cpp).
    void drawSubdivisionMesh(const dwg::SubdivisionMesh& mesh, const Style& style,
                             const Frame& frame);
    void drawFace3D(const dwg::Face& face, const Style& style, const Frame& frame);
    void drawPolyfaceMesh(const dwg::Polyline& polyline, const Style& style, const Frame& frame);
    void drawPolygonMesh(const dwg::Polyline& polyline, const Style& style, const Frame& frame);
    void addMeshSurface(const PolygonMesh& mesh, const Colour& colour, bool smooth);
    void addSmoothEdges();
    // How far a flat facet may stray from a curved surface of this radius.
    double facetTolerance(double radius) const;
    int wallSegments(double radius, double sweep) const;
    // Entities given a thickness: walls from the outline up to the outline
    // moved by `offset`, uprights at the outline's points `uprights`, caps
    // closing both ends when asked.
    void extrudeOutline(std::span<const Vec3> outline, Vec3 offset, bool closed, bool caps,
                        bool smooth, std::span<const std::size_t> uprights, const Style& style);
    void extrudeArc(const Transform& ocs, Vec3 centre, double radius, double t0, double t1,
                    double thickness, bool closed, const Style& style);
    void extrudeLine(const dwg::Line& line, const Style& style, const Frame& frame);
    void extrudeCircle(const dwg::Circle& circle, const Style& style, const Frame& frame);
    void extrudeArcEntity(const dwg::Arc& arc, const Style& style, const Frame& frame);
    void extrudeSolid(const dwg::Face& face, const Style& style, const Frame& frame);
    void extrudePoint(const dwg::Point& point, const Style& style, const Frame& frame);
    void drawProxyGraphics(const dwg::ProxyGraphics& graphics, const Style& style,
                           const Frame& frame);
    // REGION, 3DSOLID and BODY (BuildSolids.cpp): the edges of their model,
    // decoded once however often the entity is inserted.
    void drawSolid(const dwg::Entity& entity, const dwg::AcisData& data, const Style& style,
                   const Frame& frame);
    const acis::Model* solidModel(const dwg::AcisData& data);
    const acis::ModelMesh* solidFaces(const dwg::AcisData& data, const acis::Model& model,
                                      const Transform& toView);
    void drawSolidFaces(const dwg::AcisData& data, const acis::Model& model, const Style& style,
                        const Frame& frame);
    // A body whose model cannot be decoded (BuildWireframe.cpp): the wires
    // stored with it, and the body counted in the report once.
    void drawStoredWireframe(const dwg::Entity& entity, const dwg::AcisData& data,
                             const Style& style, const Frame& frame);

    // A planar polyline in OCS (z = elevation), with bulges and widths.
    struct PlanarVertex {
        Vec2 point;
        double bulge = 0;
        double startWidth = 0;
        double endWidth = 0;
    };
    void drawPlanarPolyline(std::span<const PlanarVertex> vertices, bool closed,
                            const Transform& ocs, const Style& style);
    void fillWideSegment(const PlanarVertex& a, const PlanarVertex& b, const Transform& ocs);
    void extrudePlanarPolyline(std::span<const PlanarVertex> vertices, bool closed,
                               const Transform& ocs, double thickness, const Style& style);
    // The outline of a straight wide segment in the OCS, for mitring.
    struct WideQuad {
        Vec2 left0, left1, right0, right1;
        double halfWidth = 0;
    };
    static std::optional<WideQuad> wideQuad(const PlanarVertex& a, const PlanarVertex& b);
    static void mitre(WideQuad& before, WideQuad& after, const PlanarVertex& corner);
    void strokePoints(std::span<const Vec3> points, const Style& style);
    static Item standaloneItem(Item::Kind kind, const Colour& colour);
    void addDepthRange(double from, double to);
    void pushPoint(const Vec3& p);
    // Edges of a surface: strokes in the style's edge colour where faces are shaded.
    void beginEdges(const Colour& colour);
    bool budgetLeft(std::size_t morePoints, std::size_t bytesEach = sizeof(Vec2) + sizeof(double));
    std::size_t bytesUsed() const;
    // Stops the build where it is: what was written stays.
    void stop();

    const dwg::Drawing& drawing_;
    const BuildLimits limits_;
    const Transform worldToView_;
    DisplayList& out_;
    WorkBudget work_;
    std::unordered_map<dwg::Handle, const dwg::Block*> blocks_;
    std::unordered_map<dwg::Handle, LayerState> layers_;
    std::unordered_map<dwg::Handle, const dwg::Linetype*> linetypes_;
    std::unordered_map<dwg::Handle, const dwg::TextStyle*> textStyles_;
    std::unordered_map<dwg::Handle, const dwg::Entity*> entities_;
    SolidCache* sharedSolids_ = nullptr;
    // None: undecodable.
    std::unordered_map<const dwg::AcisData*, std::shared_ptr<const std::optional<acis::Model>>>
        solids_;
    std::unordered_map<const dwg::AcisData*, std::shared_ptr<const acis::ModelMesh>> solidFaces_;
    std::unordered_set<const dwg::AcisData*> undecodedBodies_;
    std::vector<dwg::Handle> activeBlocks_;
    Item current_;
    Surface surface_;
    std::uint32_t surfaceFirstVertex_ = 0;
    double surfaceTolerance_ = 0;  // view units; 0: relative to each curve's size
    bool stopped_ = false;
    double linetypeScale_ = 1;  // the drawing's global linetype scale
    bool fillMode_ = true;
};

}  // namespace render::detail
