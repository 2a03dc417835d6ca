// Drawings the writer tests write: the table entries every written file has,
// one entity of every kind the writer stores, and blocks nested in blocks.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Version.h>

#include <vector>

namespace testsupport {

inline constexpr dwg::Handle kModelSpace = 1, kPaperSpace = 2;
inline constexpr dwg::Handle kByBlock = 10, kByLayer = 11, kContinuous = 12, kDashed = 13;
inline constexpr dwg::Handle kLayerZero = 20, kWalls = 21, kHidden = 22;
inline constexpr dwg::Handle kStandard = 30, kArial = 31;
inline constexpr dwg::Handle kStandardDimensions = 32, kIso25 = 33, kFrontView = 34, kTiltedUcs = 35;
inline constexpr dwg::Handle kChair = 40, kTable = 41, kAnonymous = 42, kDimensionDrawing = 43;

// What the reader gives back for the entries every written file has, plus a
// few of the drawing's own (an ISO-25 dimension style, a view, a UCS) and the
// anonymous block that draws the dimensions.
dwg::Drawing baseDrawing();

dwg::Entity entity(const char* type, dwg::EntityData data, dwg::Handle layer = kLayerZero);

struct EntityCase {
    const char* name;
    dwg::Entity entity;
    bool paperSpace = false;                       // a VIEWPORT lives in a layout
    dwg::Version since = dwg::Version::R2000;      // the first version that holds it
};
std::vector<EntityCase> entityCases();

// REGION, 3DSOLID and BODY with an ACIS model in `version`'s form (SAT for
// 2000, SAB after), taken from the bodies of the sample drawings, and the
// surfaces and the MESH in the versions that hold them.
std::vector<EntityCase> bodyCases(dwg::Version version);
// A small subdivision mesh with creases.
dwg::SubdivisionMesh sampleMesh();

inline constexpr dwg::Handle kPictureDefinition = 61;

// entityCases() and the kinds placed in paper space, held from a later
// version or needing objects beside them: VIEWPORT, MLINE (and its style),
// IMAGE (and the IMAGEDEF below), WIPEOUT, HELIX.
std::vector<EntityCase> allEntityCases();

// The case's entity placed in `drawing` (model or paper space), with the
// image definition an IMAGE shows.
void place(dwg::Drawing& drawing, const EntityCase& entityCase);

// Blocks placed by blocks, in model space and in a block, with every form of
// the scale, as arrays, with attributes (on inserts in model space and in a
// block), and an anonymous block with a base point.
dwg::Drawing nestedBlocks();

}  // namespace testsupport
