// The writer's view of a drawing: what goes into the file and under
// which handles, resolved once before any object is encoded, and the encoders
// that turn each part into object records.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Writer.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "BitWriter.h"

namespace dwg::detail {

class RecordStreams;

// Object types of the objects the writer makes, and the classes it declares.
enum WriterType : int {
    kTypeText = 1,
    kTypeAttrib = 2,
    kTypeAttdef = 3,
    kTypeBlock = 4,
    kTypeEndblk = 5,
    kTypeSeqend = 6,
    kTypeInsert = 7,
    kTypeMinsert = 8,
    kTypeVertex2D = 10,
    kTypeVertex3D = 11,
    kTypeVertexMesh = 12,
    kTypeVertexPface = 13,
    kTypeVertexPfaceFace = 14,
    kTypePolyline2D = 15,
    kTypePolyline3D = 16,
    kTypeArc = 17,
    kTypeCircle = 18,
    kTypeLine = 19,
    kTypePoint = 27,
    kTypeFace3D = 28,
    kTypePolylinePface = 29,
    kTypePolylineMesh = 30,
    kTypeSolid = 31,
    kTypeTrace = 32,
    kTypeViewport = 34,
    kTypeEllipse = 35,
    kTypeSpline = 36,
    kTypeRay = 40,
    kTypeXline = 41,
    kTypeDictionary = 42,
    kTypeMText = 44,
    kTypeMline = 47,
    kTypeLeader = 45,
    kTypeTolerance = 46,
    kTypeBlockControl = 48,
    kTypeBlockHeader = 49,
    kTypeLayerControl = 50,
    kTypeLayer = 51,
    kTypeStyleControl = 52,
    kTypeStyle = 53,
    kTypeLinetypeControl = 56,
    kTypeLinetype = 57,
    kTypeViewControl = 60,
    kTypeView = 61,
    kTypeUcsControl = 62,
    kTypeUcs = 63,
    kTypeVportControl = 64,
    kTypeVport = 65,
    kTypeAppIdControl = 66,
    kTypeAppId = 67,
    kTypeDimStyleControl = 68,
    kTypeDimStyle = 69,
    kTypeViewportEntityControl = 70,
    kTypeMlineStyle = 73,
    kTypeLwPolyline = 77,
    kTypeHatch = 78,
    kTypeDictionaryWithDefault = 500,
    kTypePlaceholder = 501,
    kTypeLayout = 502,
};

inline constexpr std::int16_t kColorByLayer = 256;
inline constexpr std::uint8_t kLineweightByLayer = 29;

// Strings go into the file in Windows-1252 (code page 30); characters outside
// it become \U+XXXX escapes, which readers expand again.
inline constexpr int kWriterCodePage = 30;
std::string encodeText(std::string_view utf8);
std::u16string utf16Text(std::string_view utf8);

// A colour as an index (ByBlock 0, ByLayer 256) and as the R2004+ colour value
// (method byte 0xC0 ByLayer, 0xC1 ByBlock, 0xC2 RGB, 0xC3 index).
std::int16_t colorIndex(const Color& color);
std::uint32_t colorValue(const Color& color);

struct Box {
    Point3 min;
    Point3 max;
};

// Model space, the active layout's paper space, the other layouts' paper
// spaces, and ordinary blocks.
enum class Space { Block, Model, Paper, OtherLayout };

struct PlannedBlock {
    const Block* source = nullptr;  // null for a space the drawing did not have
    std::string name;
    Space space = Space::Block;
    Handle header = 0;
    Handle begin = 0;              // BLOCK entity
    Handle end = 0;                // ENDBLK entity
    Handle layout = 0;             // model and paper spaces only
    std::string layoutName;
    std::vector<Handle> entities;  // one per source entity, in order
    // Per source entity: the records it owns (VERTEX, polyface faces, ATTRIB),
    // then its SEQEND; empty for entities that own none.
    std::vector<std::vector<Handle>> owned;
    std::vector<Handle> inserts;   // INSERTs anywhere in the drawing that place this block
};

// A class the file declares, numbered from 500 in order.
struct WriterClass {
    int number = 0;
    std::string applicationName;
    std::string cppName;
    std::string dxfName;
    bool entity = false;
    int proxyFlags = 0;
    std::size_t instances = 0;
};

// A multiline style: one for each set of elements and looks that MLINEs carry;
// the first is the file's Standard style.
struct PlannedMlineStyle {
    Handle handle = 0;
    std::string name;
    const MLine* source = nullptr;  // null: the default Standard style
};

// An IMAGEDEF with the reactors by which it knows the IMAGEs that show it.
struct PlannedImageDefinition {
    Handle handle = 0;
    std::string name;  // its entry in ACAD_IMAGE_DICT
    ImageDefinition definition;
    std::vector<std::pair<Handle, Handle>> reactors;  // reactor, the IMAGE that owns it
};

// A "*Active" viewport of the VPORT table.
struct PlannedViewport {
    Handle handle = 0;
    SavedView view;
    Handle visualStyle = 0;  // R2010+
};

// A VISUALSTYLE object of ACAD_VISUALSTYLE (R2010+).
struct PlannedVisualStyle {
    Handle handle = 0;
    VisualStyleProperties properties;
};

// Every object of the file with its handle; the model's handles mapped to them.
struct WritePlan {
    Version version = Version::R2000;
    // Objects every file has.
    Handle blockControl = 0, layerControl = 0, styleControl = 0, linetypeControl = 0,
           viewControl = 0, ucsControl = 0, vportControl = 0, appIdControl = 0, dimStyleControl = 0,
           viewportEntityControl = 0;
    Handle namedObjects = 0, groups = 0, layouts = 0, mlineStyles = 0, plotSettings = 0,
           plotStyles = 0, plotStyleNormal = 0, mlineStyle = 0, appIdAcad = 0, dimStyle = 0;
    Handle materials = 0, colors = 0, visualStyles = 0;  // R2004+, R2007+ dictionaries
    Handle linetypeByBlock = 0, linetypeByLayer = 0, linetypeContinuous = 0;

    // Table entries with references already turned into file handles; layer
    // "0", the fixed linetypes and the Standard style come first.
    std::vector<std::pair<Handle, Layer>> layers;
    std::vector<std::pair<Handle, Linetype>> linetypes;  // ByBlock, ByLayer, Continuous, others
    std::vector<std::pair<Handle, TextStyle>> textStyles;
    std::vector<std::pair<Handle, NamedView>> views;
    std::vector<std::pair<Handle, NamedUcs>> ucss;
    std::vector<PlannedBlock> blocks;  // model space, paper space, then the others
    // Standard first, at `dimStyle`; handles are the file's.
    std::vector<DimensionStyle> dimStyles;

    Handle currentLayer = 0;
    Handle nextHandle = 0;  // HANDSEED
    std::optional<Box> modelExtents;
    // The "*Active" viewports model space opens in, the current one first: the
    // drawing's tiled viewports, else the view it was saved in, else one on
    // its extents.
    std::vector<PlannedViewport> viewports;
    // The styles the viewports are shown in, each once.
    std::vector<PlannedVisualStyle> visualStylesWritten;
    // The drawing's own settings (units, base point, point style, linetype
    // scales, fill mode, dimension scale and text height); its handles unused.
    HeaderVariables settings;

    std::vector<WriterClass> classes;
    // The type number of the class of this DXF name; the plan declares every class it uses.
    int classNumber(std::string_view dxfName) const;

    std::vector<PlannedMlineStyle> mlineStylesWritten;  // the first at `mlineStyle`
    std::unordered_map<const MLine*, Handle> mlineStyleOf;
    Handle imageDictionary = 0;  // ACAD_IMAGE_DICT, when the drawing shows images
    std::vector<PlannedImageDefinition> imageDefinitions;
    // Per IMAGE: its definition and the reactor it owns.
    std::unordered_map<const RasterImage*, std::pair<Handle, Handle>> imageLinks;

    std::unordered_map<Handle, Handle> layerOf, linetypeOf, styleOf, blockOf, dimStyleOf;

    const PlannedBlock& modelSpace() const { return blocks[0]; }
    const PlannedBlock& paperSpace() const { return blocks[1]; }
    Handle standardStyle() const { return textStyles.front().first; }
    Handle layerZero() const { return layers.front().first; }
};

// How many records an entity owns in the file (the VERTEX and polyface face
// records of a POLYLINE, the ATTRIBs of an INSERT), closed by a SEQEND; none
// for entities without such a sequence.
std::optional<std::size_t> ownedRecordCount(const Entity& entity);

// Checks the drawing and gives every object its handle. Throws WriteError.
WritePlan planDrawing(const Drawing& drawing, Version version);

// Extents of model space in world coordinates: entities of nested blocks
// placed by their inserts. Empty when nothing is drawn.
std::optional<Box> modelSpaceExtents(const Drawing& drawing, const Block* modelSpace);

// Where the drawing opens: the extents with a margin, or the empty sheet.
struct InitialView {
    Point2 center;
    double height = 0;
};
InitialView initialView(const WritePlan& plan);
// A plan view of the model-space extents, as a new drawing's viewport shows them.
SavedView extentsView(const WritePlan& plan);

// The visual style a viewport is shown in: the one it was read with, else the
// built-in style of its look.
VisualStyleProperties viewportVisualStyle(const SavedView& view);

// The dimension settings that the header and a dimension style share, in
// their common order; the header stores the style's handles where
// `handlesBeforeLineweights` writes them.
void writeDimensionVariables(RecordStreams& streams, const DimensionStyle& style,
                             const std::function<void()>& handlesBeforeLineweights);
// The header's dimension settings: the Standard style's, with the header's own
// DIMSCALE and DIMTXT.
DimensionStyle headerDimensionStyle(const WritePlan& plan);

// The box an MTEXT fills: its rectangle width (or the longest line's estimated
// width) by its lines.
Point2 mtextSize(const MText& text);

// The streams of one record: data, then (R2007+) the strings apart, then the
// handles. Header variables and classes are laid out the same way.
class RecordStreams {
  public:
    explicit RecordStreams(Version version) : version_(version) {}

    Version version() const { return version_; }
    BitWriter& data() { return data_; }
    BitWriter& handles() { return handles_; }

    // TV: in the data stream in the code page (R2000-R2004), else UTF-16 in
    // the string stream.
    void text(std::string_view utf8);
    // CMC: an index (R2000), or the colour value with its method (R2004+).
    void color(const Color& color);

    // The data stream with the strings and their trailer after it (R2007+):
    // the handle stream starts at its end. Empties the streams but the handles.
    BitWriter takeBeforeHandles();

  private:
    Version version_;
    BitWriter data_;
    BitWriter strings_;
    BitWriter handles_;
};

// One object record being built: type, handle and empty extended data are
// written first; the rest goes into its streams.
class ObjectEncoder : public RecordStreams {
  public:
    ObjectEncoder(Version version, int type, Handle handle);

    // The record as stored: size fields, the streams, CRC.
    std::vector<std::uint8_t> finish();

  private:
    std::size_t sizeFieldBit_ = 0;  // R2000-R2007: the RL giving where the handles start
};

// R2007+: the lighting of a view as a fresh drawing has it (default lights,
// one distant light, ambient colour 250); nothing before.
void writeDefaultLighting(RecordStreams& streams);

// Common data of a non-entity object owned by `owner`. R2000 always stores an
// extension dictionary handle; the writer's objects have none.
void beginObject(ObjectEncoder& object, Handle owner, const std::vector<Handle>& reactors);
// A table entry: common object data, name and flags, owned by its control object.
void beginTableEntry(ObjectEncoder& object, Handle control, std::string_view name);

// Common data of an entity and its links in the owning block's chain.
struct EntityFrame {
    int mode = 0;  // 0 owner handle given, 1 paper space, 2 model space
    Handle owner = 0;
    Handle previous = 0;
    Handle next = 0;
    Handle layer = 0;
    Handle linetype = 0;
    Color color;
    double linetypeScale = 1;
    unsigned linetypeFlags = 0;  // 0 ByLayer, 1 ByBlock, 3 handle given
    std::uint8_t lineweight = kLineweightByLayer;
    bool invisible = false;
    bool dataStore = false;  // R2013+: the entity's data lies in the data store
};
void beginEntity(ObjectEncoder& object, const EntityFrame& frame);
// The frame of an entity of `block` with its mode and owner; links and looks left default.
EntityFrame blockEntityFrame(const PlannedBlock& block, Handle layer);

struct EncodedObject {
    Handle handle = 0;
    std::vector<std::uint8_t> bytes;
};
using EncodedObjects = std::vector<EncodedObject>;

// Control objects, table entries, dictionaries, layouts, block headers with
// their BLOCK and ENDBLK entities.
void encodeTables(const WritePlan& plan, EncodedObjects& out);
// A VISUALSTYLE's fields after its common object data (R2010+).
void encodeVisualStyle(ObjectEncoder& object, const VisualStyleProperties& style);
// The entities of every block.
void encodeEntities(const WritePlan& plan, EncodedObjects& out);

// POLYLINE and its vertices (WriterPolylines.cpp). `owned` lists the owned
// records, then the SEQEND.
int polylineType(const Polyline& polyline);
void writePolylineBody(RecordStreams& o, const Polyline& polyline,
                       const std::vector<Handle>& owned);
// The record types and bodies of the polyline's owned records, vertices first,
// then the faces of a polyface mesh.
int vertexType(const Polyline& polyline, std::size_t record);
void writeVertexBody(RecordStreams& o, const Polyline& polyline, std::size_t record);
// The handles of the records an entity owns, as its version lists them.
void writeOwnedHandles(RecordStreams& o, const std::vector<Handle>& owned);
// Checks what a polyline's records need; throws WriteError.
void checkPolyline(const Polyline& polyline, const std::string& where);

// DIMENSION and LEADER (WriterDimensions.cpp), referring to `dimStyle`.
int dimensionType(const Dimension& dimension);
void writeDimensionBody(RecordStreams& o, const Dimension& dimension, Handle dimStyle,
                        Handle block);
void writeLeaderBody(RecordStreams& o, const Leader& leader, Handle dimStyle);
// TOLERANCE: its height comes from the dimension style in the versions written.
void writeToleranceBody(RecordStreams& o, const Tolerance& tolerance, Handle dimStyle);

// REGION, 3DSOLID and BODY (WriterBodies.cpp): the record type for the
// entity's type name (0 for none of them), whether its model goes to the data
// store, the check that the model comes in the version's form (throws
// WriteError), and the body.
int bodyType(const std::string& typeName);
// The surfaces written, each a class entity, and the first version holding it.
struct SurfaceClass {
    const char* dxfName;
    const char* cppName;
    int proxyFlags;
    Version since;
};
const SurfaceClass* surfaceClass(const std::string& typeName);
std::span<const SurfaceClass> surfaceClasses();
bool canWriteBody(const std::string& typeName, Version version);
bool isBinaryAcis(const std::vector<std::uint8_t>& bytes);
bool bodyInDataStore(const AcisData& acis, Version version);
void checkBody(const Entity& entity, Version version, const std::string& where);
void writeBodyBody(RecordStreams& o, const std::string& typeName, const AcisData& acis,
                   Handle handle);

// MESH (WriterMesh.cpp): the check that the version holds it and its indices
// name its vertices (throws WriteError), and the body.
void checkMesh(const SubdivisionMesh& mesh, Version version, const std::string& where);
void writeMeshBody(RecordStreams& o, const SubdivisionMesh& mesh);

// The data store section (R2013+, WriterDataStore.cpp) holding these models by
// the file handle of their entity.
std::vector<std::uint8_t> dataStoreSection(const std::vector<std::pair<Handle, const AcisData*>>& models);

}  // namespace dwg::detail
