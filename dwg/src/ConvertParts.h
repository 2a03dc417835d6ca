// The pieces of the conversion before a drawing is written in another
// release's format: the entities made to stand for one the release cannot
// hold, and each kind's way of making them.
#pragma once

#include <dwg/Convert.h>
#include <dwg/Drawing.h>

#include <string>
#include <vector>

namespace dwg::detail {

// Makes the entities that stand for one: each gets a handle of its own, the
// owner, layer, linetype, lineweight and visibility of the one it replaces,
// and the colour it is given (ByBlock standing for that entity's own).
class StandIns {
  public:
    StandIns(const Entity& original, Handle& nextHandle);

    Entity& add(std::string typeName, EntityData data, const Color& color);
    Entity& add(std::string typeName, EntityData data) {
        return add(std::move(typeName), std::move(data), original_.header.color);
    }
    // The colour an entity part given `color` is drawn in: ByBlock is the
    // original entity's own.
    Color resolved(const Color& color) const;

    // A LINE for two points, an LWPOLYLINE when every point lies at one
    // height, else a 3D POLYLINE; world coordinates.
    void polyline(const std::vector<Point3>& points, bool closed, const Color& color);
    // A filled outline: a SOLID for three or four corners at one height, a
    // solid HATCH for more, 3DFACEs of a fan when the corners lie at
    // several heights.
    void fill(const std::vector<Point3>& corners, const Color& color);

    std::size_t count() const { return made_.size(); }
    Entity& operator[](std::size_t i) { return made_[i]; }
    Handle takeHandle() { return next_++; }
    std::vector<Entity> take() { return std::move(made_); }

  private:
    const Entity& original_;
    Handle& next_;
    std::vector<Entity> made_;
};

std::vector<Entity> polyfaceMeshes(const Entity& mesh, const SubdivisionMesh& data,
                                   Handle& nextHandle);
std::vector<Entity> explodeMultiLeader(const Entity& leader, const MultiLeader& data,
                                       const Drawing& drawing, const ConvertOptions& options,
                                       Handle& nextHandle);
// Texts the graphics draw get `textStyle`.
std::vector<Entity> explodeProxyGraphics(const Entity& proxy, const ProxyGraphics& graphics,
                                         Handle textStyle, Handle& nextHandle);

// ACIS data in the form a release stores: SAT text up to R2000, SAB binary
// from R2004. Throws ConvertError when the model cannot be carried over.
std::vector<std::uint8_t> acisForVersion(const std::vector<std::uint8_t>& bytes, Version target);

}  // namespace dwg::detail
