// Writing the entities of a block as DXF groups.
#pragma once

#include <dwg/Drawing.h>

#include "DxfOutput.h"
#include "DxfPlan.h"

namespace dwg::detail {

class DxfEntityWriter {
  public:
    DxfEntityWriter(DxfPlan& plan, DxfOutput& out) : plan_(plan), out_(out) {}

    // Every entity of `block`, each with the handle the plan gave it.
    void writeBlockEntities(const DxfBlock& block);

  private:
    void common(std::string_view type, Handle handle, Handle owner, const EntityHeader& header,
                bool paperSpace);
    void color(const Color& color, int indexCode = 62, int trueCode = 420);
    void sequenceEnd(Handle owner, const EntityHeader& header, bool paperSpace);

    void body(const Line&);
    void body(const Point&);
    void body(const Circle&);
    void body(const Arc&);
    void body(const Ellipse&);
    void body(const LwPolyline&);
    void body(const Spline&);
    void textBody(const Text&, bool attribute);
    void body(const MText&);
    void body(const Face&);
    void body(const Hatch&);
    void body(const Dimension&);
    void body(const Leader&);
    void body(const ConstructionLine&);
    void body(const Viewport&);
    void body(const MultiLeader&);
    void body(const MLine&);
    void body(const RasterImage&);
    void body(const Helix&);
    void body(const SubdivisionMesh&);
    void body(const Tolerance&);
    void body(const AcisData&, const std::string& type);
    void proceduralSurface(const std::string& type);

    void writeEntity(const Entity& entity, Handle handle, const DxfBlock& block);
    void polyline(const Entity& entity, const Polyline& polyline, Handle handle, Handle owner,
                  bool paperSpace);
    void insert(const Entity& entity, const Insert& insert, Handle handle, Handle owner,
                bool paperSpace);
    void hatchLoop(const HatchLoop& loop);
    void mleaderContext(const MultiLeader& leader);

    DxfPlan& plan_;
    DxfOutput& out_;
    int viewportId_ = 1;
};

}  // namespace dwg::detail
