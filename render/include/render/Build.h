// Turning a drawing into a display list: model space, or any one block as if
// it were inserted once at the origin.
#pragma once

#include <dwg/Drawing.h>
#include <render/DisplayList.h>
#include <render/View.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace render {

// Bounds on the work and memory of one build, whatever the file claims.
struct BuildLimits {
    int maxDepth = 16;                   // nested INSERTs followed
    std::size_t maxMinsertCells = 4096;  // rows x columns drawn of one MINSERT
    std::size_t maxBytes = 256u << 20;   // memory the list may take
    // Units of work of about the same cost each: an entity visited (drawn or
    // not), a block reference or MINSERT cell expanded, a point, curve
    // segment or glyph written, a hatch line, crossing or dash laid out. The
    // default is over a hundred times what the largest sample drawing needs
    // and about half a second of building at worst.
    std::size_t maxWork = kDefaultMaxWork;

    static constexpr std::size_t kDefaultMaxWork = 10'000'000;
};

namespace detail {
class Builder;
}

// Bodies decoded and their faces made, kept from one build to the next of the
// same drawing (turning it about, zooming in), so that each is decoded once
// and tessellated once per band of tolerances (each band half as fine as the
// next), not once per zoom. The meshes kept are bounded: past `meshBytes`,
// those used least recently go. Builds running at once may share it; it
// belongs to one drawing and must not outlive it.
class SolidCache {
  public:
    static constexpr std::size_t kDefaultMeshBytes = std::size_t{48} << 20;

    explicit SolidCache(std::size_t meshBytes = kDefaultMeshBytes);
    ~SolidCache();
    SolidCache(const SolidCache&) = delete;
    SolidCache& operator=(const SolidCache&) = delete;

    // What the meshes kept take, about, in bytes; and how many there are.
    std::size_t meshBytes() const;
    std::size_t meshCount() const;

  private:
    friend class detail::Builder;
    struct Store;
    std::unique_ptr<Store> store_;
};

struct BuildOptions {
    BuildLimits limits;
    // The list's points are view coordinates of this projection; the default
    // is the plan view, where they are world x and y.
    Projection projection;
    // How far, in units of the view, the flat facets of a curved surface may
    // stray from it: a viewer gives about half a pixel of its current zoom.
    // 0: a small share of each curved thing's own size.
    double surfaceTolerance = 0;
    // Read as the build goes: once it holds true, the build stops as if out
    // of work, keeping what it has, with report.cancelled set.
    const std::atomic<bool>* cancel = nullptr;
    // Kept by the caller through the build; none: each build decodes and
    // tessellates its bodies itself.
    SolidCache* solids = nullptr;
};

// What a viewer or a tool says, in one line, of a list whose report is
// simplified().
inline constexpr std::string_view kSimplifiedNotice =
    "Desenho simplificado: parte dos elementos não foi desenhada.";
// The start of the line said of a list some of whose bodies or meshes show
// by their edges alone (BuildReport::surfacesFailed), before the first reason.
inline constexpr std::string_view kFacesLeftOutNotice =
    "Algumas faces não puderam ser desenhadas e aparecem só pelas arestas: ";

// What a viewer or a tool says of `count` (> 0) bodies whose model could not
// be decoded (BuildReport::bodiesUndecoded).
std::string bodiesUndecodedNotice(int count);

DisplayList buildDisplayList(const dwg::Drawing& drawing, const dwg::Block& block,
                             const BuildOptions& options = {});
// An empty list when the drawing has no model space.
DisplayList buildModelSpace(const dwg::Drawing& drawing, const BuildOptions& options = {});

// The direction and twist the drawing's active viewport was saved with,
// looking at its target; the plan view when the file keeps none.
Projection savedProjection(const dwg::Drawing& drawing);
// Model space seen from savedProjection: a 3D block as its author last saw
// it, as the viewer opens it and as its thumbnails show it.
DisplayList buildModelSpaceAsSaved(const dwg::Drawing& drawing);

// The saved window (its centre and height, at its own proportions) whole and
// centred in a width x height rectangle, for a list built from the view's
// projection.
View savedWindow(const dwg::SavedView& saved, double width, double height);

// The look the drawing's active viewport was saved with: its visual style,
// or its render mode in older files; wireframe when it keeps neither.
VisualStyle savedVisualStyle(const dwg::Drawing& drawing);

// The look a thumbnail gives a list: shaded where it has surfaces (a 3D
// block), the drawing's own lines otherwise.
VisualStyle thumbnailStyle(const DisplayList& list);

// A block definition by name, ignoring case; nullptr when there is none.
const dwg::Block* findBlockByName(const dwg::Drawing& drawing, std::string_view name);

}  // namespace render
