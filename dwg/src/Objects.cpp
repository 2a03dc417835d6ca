// Object records: framing (size, type, handle, CRC), the common object and
// entity data, and the dispatch to the per-type parsers.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <optional>
#include <unordered_map>

#include "Crc.h"
#include "EntityParsers.h"
#include "ObjectRecords.h"
#include "ProxyGraphics.h"
#include "Streams.h"
#include "Text.h"
#include "VisualStyle.h"

namespace dwg::detail {
namespace {

// Fixed object type codes.
enum FixedType : int {
    kText = 1,
    kAttrib = 2,
    kAttdef = 3,
    kBlock = 4,
    kEndblk = 5,
    kSeqend = 6,
    kInsert = 7,
    kMinsert = 8,
    kVertex2D = 10,
    kVertex3D = 11,
    kVertexMesh = 12,
    kVertexPface = 13,
    kVertexPfaceFace = 14,
    kPolyline2D = 15,
    kPolyline3D = 16,
    kArc = 17,
    kCircle = 18,
    kLine = 19,
    kDimOrdinate = 20,
    kDimLinear = 21,
    kDimAligned = 22,
    kDimAng3Pt = 23,
    kDimAng2Ln = 24,
    kDimRadius = 25,
    kDimDiameter = 26,
    kPoint = 27,
    k3DFace = 28,
    kPolylinePface = 29,
    kPolylineMesh = 30,
    kSolid = 31,
    kTrace = 32,
    kShape = 33,
    kViewport = 34,
    kEllipse = 35,
    kSpline = 36,
    kRegion = 37,
    k3DSolid = 38,
    kBody = 39,
    kRay = 40,
    kXline = 41,
    kOleFrame = 43,
    kMText = 44,
    kLeader = 45,
    kTolerance = 46,
    kMline = 47,
    kBlockHeader = 49,
    kLayer = 51,
    kStyle = 53,
    kLtype = 57,
    kVportControl = 64,
    kVport = 65,
    kMlineStyle = 73,
    kOle2Frame = 74,
    kLwPolyline = 77,
    kHatch = 78,
    kProxyEntity = 498,
};

const char* fixedEntityName(int type) {
    switch (type) {
        case kText:
            return "TEXT";
        case kAttrib:
            return "ATTRIB";
        case kAttdef:
            return "ATTDEF";
        case kBlock:
            return "BLOCK";
        case kEndblk:
            return "ENDBLK";
        case kSeqend:
            return "SEQEND";
        case kInsert:
            return "INSERT";
        case kMinsert:
            return "MINSERT";
        case kVertex2D:
            return "VERTEX_2D";
        case kVertex3D:
            return "VERTEX_3D";
        case kVertexMesh:
            return "VERTEX_MESH";
        case kVertexPface:
            return "VERTEX_PFACE";
        case kVertexPfaceFace:
            return "VERTEX_PFACE_FACE";
        case kPolyline2D:
            return "POLYLINE_2D";
        case kPolyline3D:
            return "POLYLINE_3D";
        case kArc:
            return "ARC";
        case kCircle:
            return "CIRCLE";
        case kLine:
            return "LINE";
        case kDimOrdinate:
            return "DIMENSION_ORDINATE";
        case kDimLinear:
            return "DIMENSION_LINEAR";
        case kDimAligned:
            return "DIMENSION_ALIGNED";
        case kDimAng3Pt:
            return "DIMENSION_ANG3PT";
        case kDimAng2Ln:
            return "DIMENSION_ANG2LN";
        case kDimRadius:
            return "DIMENSION_RADIUS";
        case kDimDiameter:
            return "DIMENSION_DIAMETER";
        case kPoint:
            return "POINT";
        case k3DFace:
            return "3DFACE";
        case kPolylinePface:
            return "POLYLINE_PFACE";
        case kPolylineMesh:
            return "POLYLINE_MESH";
        case kSolid:
            return "SOLID";
        case kTrace:
            return "TRACE";
        case kShape:
            return "SHAPE";
        case kViewport:
            return "VIEWPORT";
        case kEllipse:
            return "ELLIPSE";
        case kSpline:
            return "SPLINE";
        case kRegion:
            return "REGION";
        case k3DSolid:
            return "3DSOLID";
        case kBody:
            return "BODY";
        case kRay:
            return "RAY";
        case kXline:
            return "XLINE";
        case kOleFrame:
            return "OLEFRAME";
        case kMText:
            return "MTEXT";
        case kLeader:
            return "LEADER";
        case kTolerance:
            return "TOLERANCE";
        case kMline:
            return "MLINE";
        case kOle2Frame:
            return "OLE2FRAME";
        case kLwPolyline:
            return "LWPOLYLINE";
        case kHatch:
            return "HATCH";
        case kProxyEntity:
            return "UNKNOWN_ENT";
        default:
            return nullptr;
    }
}

// Lineweight index -> hundredths of a millimetre; -1 ByLayer, -2 ByBlock, -3 default.
int lineweightFromIndex(int index) {
    static constexpr int kWidths[] = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                      53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
    if (index >= 0 && index < 24) return kWidths[index];
    if (index == 30) return -2;
    if (index == 31) return -3;
    return -1;
}

// Entity classes known by name; other class-defined entities (tables, vertical
// application objects...) are reported under one name.
bool knownEntityClass(const std::string& name) {
    static const char* const kNames[] = {
        "LWPOLYLINE",  "HATCH",       "IMAGE",         "WIPEOUT",
        "MULTILEADER", "MESH",        "HELIX",         "PDFUNDERLAY",
        "DWFUNDERLAY", "DGNUNDERLAY", "ARC_DIMENSION", "LARGE_RADIAL_DIMENSION",
        "LIGHT",       "CAMERA",
    };
    for (const char* known : kNames)
        if (name == known) return true;
    return isSurfaceClass(name);
}

bool finitePoint(const Point3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// Whether `name` is `upperCase` in any letter case.
bool sameLetters(std::string_view name, std::string_view upperCase) {
    return std::equal(
        name.begin(), name.end(), upperCase.begin(), upperCase.end(),
        [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
}

// The parts of an object record shared by every type.
struct RecordFrame {
    int type = 0;
    Handle handle = 0;
    std::size_t handleStreamStart = 0;  // bit offset within the data window
    std::size_t dataBits = 0;           // size of the data window in bits
};

class RecordReader {
  public:
    RecordReader(Bytes objects, const ObjectLocation& location, const ClassTable& classes,
                 const FileContext& context, DecodedObjects& out)
        : objects_(objects),
          location_(location),
          classes_(classes),
          context_(context),
          v_(context.version),
          out_(out) {}

    void run();
    // The list a plain entity record will go to (DecodedObjects::entitiesByOwner),
    // read without decoding or checking the record; none for other records.
    std::optional<Handle> plainEntityOwner();

  private:
    BitReader& d() { return streams_->data(); }
    BitReader& h() { return streams_->handles(); }

    void frame();
    void checkCrc() const;
    const ClassDef* objectClass(int type) const;
    const ClassDef* entityClass(int type) const;
    void skipExtendedData();
    void startHandleStream();
    void commonObjectData();
    void commonObjectHandles();
    void readEntity(const std::string& typeName, int type, const ClassDef* klass);
    void readBlockHeader();
    void readLayer();
    void readTextStyle();
    void readLinetype();
    void readViewportControl();
    void readViewport();
    void readViewportRectangle(SavedView& view);
    Handle viewportVisualStyle();
    void readVisualStyle();
    void readImageDefinition();
    void readEntityStyle(bool multiLeader);
    std::string tableEntryName();

    Bytes objects_;
    const ObjectLocation& location_;
    const ClassTable& classes_;
    const FileContext& context_;
    Version v_;
    DecodedObjects& out_;

    std::span<const std::uint8_t> record_;  // size fields, data and CRC
    // The record's data and whatever follows it in the section: readers look
    // a few bytes ahead of what they take, and stop at the end of the data.
    std::span<const std::uint8_t> data_;
    BitReader dataReader() const { return BitReader(data_, frame_.dataBits); }
    std::optional<Streams> streams_;
    RecordFrame frame_;
    int reactorCount_ = 0;
    bool xdictionaryMissing_ = false;
};

void RecordReader::frame() {
    if (location_.offset >= objects_.size()) throw Error::damaged("objeto fora do arquivo");
    BitReader header(objects_.subspan(static_cast<std::size_t>(location_.offset)));
    const std::uint32_t size = header.modularShort();
    std::uint64_t handleStreamBits = 0;
    if (v_ >= Version::R2010) handleStreamBits = header.unsignedModularChar();
    const std::size_t dataStart = header.position() / 8;
    if (size > header.remainingBits() / 8 || size + 2 > header.remainingBits() / 8)
        throw Error::damaged("objeto maior que o arquivo");
    record_ = objects_.subspan(static_cast<std::size_t>(location_.offset), dataStart + size + 2);
    data_ = objects_.subspan(static_cast<std::size_t>(location_.offset) + dataStart);
    frame_.dataBits = std::size_t{size} * 8;
    streams_.emplace(dataReader());

    if (v_ >= Version::R2010) {
        const unsigned code = d().twoBits();
        switch (code) {
            case 0:
                frame_.type = d().rawChar();
                break;
            case 1:
                frame_.type = d().rawChar() + 0x1F0;
                break;
            default:
                frame_.type = static_cast<std::uint16_t>(d().rawShort());
                break;
        }
        if (handleStreamBits > frame_.dataBits)
            throw Error::damaged("fluxo de handles fora do objeto");
        frame_.handleStreamStart = frame_.dataBits - static_cast<std::size_t>(handleStreamBits);
    } else {
        frame_.type = static_cast<std::uint16_t>(d().bitShort());
    }
    if (v_ >= Version::R2000 && v_ < Version::R2010)
        frame_.handleStreamStart = static_cast<std::uint32_t>(d().rawLong());
    const HandleRef own = d().handle();
    frame_.handle = own.value;
    skipExtendedData();
}

// The CRC covers the size fields and the data; only the records that are
// decoded are checked, a damaged record of any other kind costs nothing.
void RecordReader::checkCrc() const {
    const std::size_t end = record_.size() - 2;
    const auto stored = static_cast<std::uint16_t>(record_[end] | record_[end + 1] << 8);
    if (!crcMatches(record_.first(end), stored)) throw Error::damaged("CRC inválido em objeto");
}

void RecordReader::skipExtendedData() {
    for (int guard = 0;; ++guard) {
        const auto size = static_cast<std::uint16_t>(d().bitShort());
        if (size == 0) return;
        if (guard > 4096) throw Error::damaged("dados estendidos demais");
        d().handle();
        d().skipBytes(size);
    }
}

// From here on the data stream stops where the handle stream (and, R2007+, the
// string stream) begins.
void RecordReader::startHandleStream() {
    if (frame_.handleStreamStart > frame_.dataBits || frame_.handleStreamStart < d().position())
        throw Error::damaged("fluxo de handles fora do objeto");
    BitReader handles = dataReader();
    handles.seek(frame_.handleStreamStart);
    streams_->setHandles(handles);
    if (v_ >= Version::R2007) {
        streams_->splitStrings(frame_.handleStreamStart);
    } else {
        d().limit(frame_.handleStreamStart);
    }
}

void RecordReader::commonObjectData() {
    if (v_ <= Version::R14) frame_.handleStreamStart = static_cast<std::uint32_t>(d().rawLong());
    startHandleStream();
    reactorCount_ = d().bitLong();
    d().requireItems(static_cast<std::uint32_t>(reactorCount_), 0, "reatores");
    if (v_ >= Version::R2004) xdictionaryMissing_ = d().bit();
    if (v_ >= Version::R2013) d().bit();  // has data-store data
}

void RecordReader::commonObjectHandles() {
    h().handle();  // owner
    h().requireItems(static_cast<std::uint32_t>(reactorCount_), 8, "reatores");
    for (int i = 0; i < reactorCount_; ++i) h().handle();
    if (!xdictionaryMissing_) h().handle();
}

std::string RecordReader::tableEntryName() {
    std::string name = streams_->text(context_);
    if (v_ >= Version::R2007) {
        d().bitShort();  // flags with xref-dependent bit
    } else {
        d().bit();       // 64-flag
        d().bitShort();  // xref index + 1
        d().bit();       // xref dependent
    }
    return name;
}

void RecordReader::readBlockHeader() {
    commonObjectData();
    BlockRecord block;
    block.handle = frame_.handle;
    block.name = tableEntryName();
    block.anonymous = d().bit();
    d().bit();  // has attribute definitions
    const bool isXref = d().bit();
    const bool overlaid = d().bit();
    block.isXref = isXref || overlaid;
    if (v_ >= Version::R2000) d().bit();                       // loaded
    if (v_ >= Version::R2004 && !block.isXref) d().bitLong();  // owned object count
    block.basePoint = d().bitPoint3();
    streams_->text(context_);  // xref path
    // The rest (insert count, description, preview) is not needed.
    context_.charge(1, sizeof(BlockRecord));
    out_.blocks.push_back(std::move(block));
}

void RecordReader::readLayer() {
    commonObjectData();
    Layer layer;
    layer.handle = frame_.handle;
    layer.name = tableEntryName();
    if (v_ <= Version::R14) {
        layer.frozen = d().bit();
        layer.on = !d().bit();  // the stored bit is set when the layer is off
        d().bit();              // frozen in new viewports
        layer.locked = d().bit();
    } else {
        const int flags = d().bitShort();
        layer.frozen = flags & 1;
        layer.on = !(flags & 2);
        layer.locked = flags & 8;
    }
    layer.color = d().color(v_, streams_->strings());
    // Old files mark an off layer with a negative colour number.
    if (layer.color.kind == Color::Kind::Index && layer.color.index < 0) {
        layer.color.index = -layer.color.index;
        layer.on = false;
    }
    commonObjectHandles();
    h().handle();                            // xref block
    if (v_ >= Version::R2000) h().handle();  // plot style
    if (v_ >= Version::R2007) h().handle();  // material
    layer.linetype = h().handle().value;
    context_.charge(1, sizeof(Layer));
    out_.layers.push_back(std::move(layer));
}

void RecordReader::readTextStyle() {
    commonObjectData();
    TextStyle style;
    style.handle = frame_.handle;
    style.name = tableEntryName();
    style.shapeFile = d().bit();
    style.vertical = d().bit();
    style.fixedHeight = d().bitDouble();
    style.widthFactor = d().bitDouble();
    style.obliqueAngle = d().bitDouble();
    d().rawChar();    // generation
    d().bitDouble();  // last height
    style.fontFile = streams_->text(context_);
    style.bigFontFile = streams_->text(context_);
    context_.charge(1, sizeof(TextStyle));
    out_.textStyles.push_back(std::move(style));
}

void RecordReader::readLinetype() {
    commonObjectData();
    Linetype linetype;
    linetype.handle = frame_.handle;
    linetype.name = tableEntryName();
    linetype.description = streams_->text(context_);
    linetype.patternLength = d().bitDouble();
    d().rawChar();  // alignment
    const int dashCount = d().rawChar();
    for (int i = 0; i < dashCount; ++i) {
        linetype.dashes.push_back(d().bitDouble());
        d().bitShort();  // shape code
        d().rawDouble();
        d().rawDouble();
        d().bitDouble();
        d().bitDouble();
        d().bitShort();  // shape flag
    }
    context_.charge(1, sizeof(Linetype));
    out_.linetypes.push_back(std::move(linetype));
}

// The table's order of its viewports: with several tiled viewports showing,
// the current one is the first "*Active" entry in this order, which need not
// be the first met in the file.
void RecordReader::readViewportControl() {
    commonObjectData();
    const std::uint32_t count = d().bitLong();
    h().requireItems(count, 8, "janelas de vista");
    commonObjectHandles();
    context_.charge(count, sizeof(Handle));
    for (std::uint32_t i = 0; i < count; ++i)
        out_.viewportOrder.push_back(h().handle().resolve(frame_.handle));
}

// Only the views of the active viewports matter.
void RecordReader::readViewport() {
    commonObjectData();
    const std::string name = tableEntryName();
    if (!sameLetters(name, "*ACTIVE")) return;
    SavedView view;
    view.height = d().bitDouble();
    const double aspectTimesHeight = d().bitDouble();
    view.centre = d().rawPoint2();
    view.target = d().bitPoint3();
    view.direction = d().bitPoint3();
    view.twist = d().bitDouble();
    view.lensLength = d().bitDouble();
    view.frontClip = d().bitDouble();
    view.backClip = d().bitDouble();
    // View mode bits.
    view.perspective = d().bit();
    view.frontClipping = d().bit();
    view.backClipping = d().bit();
    view.frontClipAtEye = d().bit();
    if (v_ >= Version::R2000) view.renderMode = d().rawChar();
    const bool usable =
        std::isfinite(view.height) && view.height > 0 && std::isfinite(aspectTimesHeight) &&
        aspectTimesHeight > 0 && std::isfinite(view.centre.x) && std::isfinite(view.centre.y) &&
        std::isfinite(view.twist) && finitePoint(view.target) && finitePoint(view.direction) &&
        (view.direction.x != 0 || view.direction.y != 0 || view.direction.z != 0);
    if (!usable) return;
    view.aspect = aspectTimesHeight / view.height;
    view.twist = std::remainder(view.twist, 2 * std::numbers::pi);
    // Whatever the perspective or the clipping would do with values that are
    // not numbers, the view without them is better.
    if (!std::isfinite(view.lensLength) || view.lensLength <= 0) {
        view.lensLength = SavedView{}.lensLength;
        view.perspective = false;
    }
    if (!std::isfinite(view.frontClip)) view.frontClipping = false;
    if (!std::isfinite(view.backClip)) view.backClipping = false;
    view.visualStyle = renderModeLook(view.renderMode);
    readViewportRectangle(view);
    context_.charge(1, sizeof(ActiveViewport));
    out_.activeViews.push_back(ActiveViewport{frame_.handle, view, viewportVisualStyle()});
}

// Where the viewport lies in the window, after its lighting (R2007+). A
// rectangle that cannot be read, or is no rectangle inside the window, is
// taken for the whole window: the view itself is sound.
void RecordReader::readViewportRectangle(SavedView& view) {
    Point2 lowerLeft, upperRight;
    try {
        if (v_ >= Version::R2007) {
            d().bit();                           // default lights
            d().rawChar();                       // default lighting type
            d().bitDouble();                     // brightness
            d().bitDouble();                     // contrast
            d().color(v_, streams_->strings());  // ambient colour
        }
        lowerLeft = d().rawPoint2();
        upperRight = d().rawPoint2();
    } catch (const Error& error) {
        if (error.kind() == Error::Kind::TooLarge) throw;
        return;
    }
    constexpr double kSlack = 1e-6;
    const auto inWindow = [](double v) { return v >= -kSlack && v <= 1 + kSlack; };
    if (!inWindow(lowerLeft.x) || !inWindow(lowerLeft.y) || !inWindow(upperRight.x) ||
        !inWindow(upperRight.y) || !(upperRight.x - lowerLeft.x > kSlack) ||
        !(upperRight.y - lowerLeft.y > kSlack))
        return;
    const auto clamped = [](Point2 p) {
        return Point2{std::clamp(p.x, 0.0, 1.0), std::clamp(p.y, 0.0, 1.0)};
    };
    view.lowerLeft = clamped(lowerLeft);
    view.upperRight = clamped(upperRight);
}

// R2007+: the VISUALSTYLE object the viewport is shown in; none where the
// handles do not hold it, and the render mode decides.
Handle RecordReader::viewportVisualStyle() {
    if (v_ < Version::R2007) return 0;
    try {
        commonObjectHandles();
        h().handle();  // xref block
        h().handle();  // background
        return h().handle().resolve(frame_.handle);
    } catch (const Error& error) {
        if (error.kind() == Error::Kind::TooLarge) throw;
        return 0;
    }
}

void RecordReader::readVisualStyle() {
    try {
        commonObjectData();
        context_.charge(1, sizeof(VisualStyleProperties));
        out_.visualStyles.push_back(parseVisualStyle(*streams_, context_, frame_.handle));
    } catch (const Error& error) {
        if (error.kind() == Error::Kind::TooLarge) throw;
        // A viewport naming a style this reader cannot follow keeps its render mode.
    }
}

// IMAGEDEF: the picture file an IMAGE shows, kept for writing the drawing again.
void RecordReader::readImageDefinition() {
    try {
        commonObjectData();
        ImageDefinition definition;
        definition.handle = frame_.handle;
        d().bitLong();  // class version
        definition.pixels.x = d().rawDouble();
        definition.pixels.y = d().rawDouble();
        definition.filePath = streams_->text(context_);
        context_.charge(1, sizeof(ImageDefinition) + definition.filePath.size());
        out_.imageDefinitions.push_back(std::move(definition));
    } catch (const Error& error) {
        if (error.kind() == Error::Kind::TooLarge) throw;
        // An image whose definition does not read is written without its file name.
    }
}

void RecordReader::readEntityStyle(bool multiLeader) {
    try {
        commonObjectData();
        commonObjectHandles();
        if (multiLeader)
            out_.mleaderStyles.push_back(parseMLeaderStyle(*streams_, context_, frame_.handle));
        else
            out_.mlineStyles.push_back(parseMLineStyle(*streams_, context_, frame_.handle));
    } catch (const Error& error) {
        if (error.kind() == Error::Kind::TooLarge) throw;
        // A style this reader cannot follow leaves its entities with their own values.
    }
}

void RecordReader::readEntity(const std::string& typeName, int type, const ClassDef* klass) {
    EntityRecord record;
    record.entity.typeName = typeName;
    EntityHeader& header = record.entity.header;
    header.handle = frame_.handle;

    if (d().bit()) {  // proxy graphics
        const std::uint64_t size =
            v_ >= Version::R2010 ? d().bitLongLong() : static_cast<std::uint32_t>(d().rawLong());
        if (size > d().remainingBits() / 8)
            throw Error::damaged("gráficos de entidade fora do objeto");
        header.proxyGraphics.resize(static_cast<std::size_t>(size));
        d().readBytes(header.proxyGraphics.data(), header.proxyGraphics.size());
    }
    if (v_ <= Version::R14) frame_.handleStreamStart = static_cast<std::uint32_t>(d().rawLong());
    startHandleStream();

    record.mode = static_cast<int>(d().twoBits());
    reactorCount_ = d().bitLong();
    d().requireItems(static_cast<std::uint32_t>(reactorCount_), 0, "reatores");
    if (v_ >= Version::R2004) xdictionaryMissing_ = d().bit();
    if (v_ >= Version::R2013) record.dataStoreData = d().bit();
    bool byLayerLinetype = false;
    if (v_ <= Version::R14) byLayerLinetype = d().bit();
    bool noLinks = true;
    if (v_ <= Version::R2000) noLinks = d().bit();
    bool colorBookHandle = false;
    if (v_ >= Version::R2004) {
        const int value = static_cast<std::uint16_t>(d().bitShort());
        const int flags = value & 0xE000;
        header.color = Color::fromIndex(value & 0x1FF);
        if ((flags & 0x8000) && !(flags & 0x4000)) {
            const auto rgb = static_cast<std::uint32_t>(d().bitLong());
            if ((rgb >> 24) == 0xC2)
                header.color = Color::fromTrueColor(rgb & 0xFFFFFF);
            else if ((rgb >> 24) == 0xC3)
                header.color = Color::fromIndex(static_cast<int>(rgb & 0xFF));
        }
        if (flags & 0x2000) d().bitLong();  // transparency
        colorBookHandle = flags & 0x4000;
    } else {
        header.color = Color::fromIndex(d().bitShort());
    }
    header.linetypeScale = d().bitDouble();
    unsigned linetypeFlags = 0;
    unsigned plotStyleFlags = 0;
    unsigned materialFlags = 0;
    unsigned shadowFlags = 0;
    int visualStyles = 0;
    if (v_ >= Version::R2000) {
        linetypeFlags = d().twoBits();
        plotStyleFlags = d().twoBits();
    }
    if (v_ >= Version::R2007) {
        materialFlags = d().twoBits();
        shadowFlags = d().rawChar();
    }
    if (v_ >= Version::R2010) {
        for (int i = 0; i < 3; ++i) visualStyles += d().bit() ? 1 : 0;
    }
    header.invisible = d().bitShort() & 1;
    if (v_ >= Version::R2000) header.lineweight = lineweightFromIndex(d().rawChar());

    // Common handles.
    if (record.mode == 0) header.owner = h().handle().resolve(header.handle);
    h().requireItems(static_cast<std::uint32_t>(reactorCount_), 8, "reatores");
    for (int i = 0; i < reactorCount_; ++i) h().handle();
    if (!xdictionaryMissing_) h().handle();
    if (v_ <= Version::R14) {
        header.layer = h().handle().value;
        if (byLayerLinetype) {
            header.linetypeRef = EntityHeader::LinetypeRef::ByLayer;
        } else {
            header.linetypeRef = EntityHeader::LinetypeRef::Explicit;
            header.linetype = h().handle().value;
        }
    }
    if (!noLinks) {
        h().handle();  // previous entity
        h().handle();  // next entity
    }
    if (colorBookHandle) h().handle();
    if (v_ >= Version::R2000) {
        header.layer = h().handle().value;
        header.linetypeRef = static_cast<EntityHeader::LinetypeRef>(linetypeFlags);
        if (linetypeFlags == 3) header.linetype = h().handle().value;
    }
    if (materialFlags == 3) h().handle();
    if (shadowFlags == 3) h().handle();
    if (plotStyleFlags == 3) h().handle();
    for (int i = 0; i < visualStyles; ++i) h().handle();

    EntityParseContext parse{*streams_, context_, record};
    try {
        parseEntityBody(type, klass, parse);
    } catch (const Error& error) {
        if (error.kind() == Error::Kind::TooLarge) throw;
        // The record's CRC held, so the framing is sound: a layout this reader
        // does not know. Keep the entity counted, without geometry.
        record.entity.data = Unsupported{};
    }
    drawFromProxyGraphics(record.entity, context_);
    out_.addEntity(std::move(record), context_);
}

const ClassDef* RecordReader::objectClass(int type) const {
    if (type < 500) return nullptr;
    const auto found = classes_.find(type);
    return found == classes_.end() ? nullptr : &found->second;
}

const ClassDef* RecordReader::entityClass(int type) const {
    const ClassDef* klass = objectClass(type);
    return klass && klass->isEntity ? klass : nullptr;
}

void RecordReader::run() {
    frame();
    const int type = frame_.type;
    const char* fixedName = fixedEntityName(type);
    const ClassDef* klass = objectClass(type);
    const bool entityClass = klass && klass->isEntity;
    const bool mleaderStyle =
        klass && !klass->isEntity && sameLetters(klass->dxfName, "MLEADERSTYLE");
    // Viewports name their visual style from R2007; older files may hold the objects unused.
    const bool visualStyle = v_ >= Version::R2007 && klass && !klass->isEntity &&
                             sameLetters(klass->dxfName, "VISUALSTYLE");
    const bool imageDefinition =
        klass && !klass->isEntity && sameLetters(klass->dxfName, "IMAGEDEF");
    const bool table = type == kBlockHeader || type == kLayer || type == kStyle || type == kLtype ||
                       type == kVportControl || type == kVport || type == kMlineStyle;
    // Other objects (dictionaries, layouts, styles of other kinds...) are not needed for drawing.
    if (!fixedName && !entityClass && !mleaderStyle && !visualStyle && !imageDefinition && !table)
        return;
    checkCrc();
    if (location_.handle != 0 && frame_.handle != location_.handle)
        throw Error::damaged("handle de objeto não confere com o mapa");

    if (fixedName) {
        readEntity(fixedName, type, nullptr);
        return;
    }
    switch (type) {
        case kBlockHeader:
            readBlockHeader();
            return;
        case kLayer:
            readLayer();
            return;
        case kStyle:
            readTextStyle();
            return;
        case kLtype:
            readLinetype();
            return;
        case kVportControl:
            readViewportControl();
            return;
        case kVport:
            readViewport();
            return;
        case kMlineStyle:
            readEntityStyle(false);
            return;
        default:
            break;
    }
    if (visualStyle) {
        readVisualStyle();
        return;
    }
    if (imageDefinition) {
        readImageDefinition();
        return;
    }
    if (!entityClass) {
        readEntityStyle(true);
        return;
    }
    std::string name = asciiUpper(klass->dxfName);
    if (name == "LWPLINE") name = "LWPOLYLINE";
    if (!knownEntityClass(name)) name = "UNKNOWN_ENT";
    readEntity(name, type, klass);
}

std::optional<Handle> RecordReader::plainEntityOwner() {
    frame();
    const int type = frame_.type;
    const ClassDef* klass = entityClass(type);
    if (!(klass || fixedEntityName(type)) || entityRole(type, klass) != EntityRole::Plain)
        return std::nullopt;
    // As run() does: a record met under another handle is not counted again.
    if (location_.handle != 0 && frame_.handle != location_.handle) return std::nullopt;
    if (d().bit()) {  // proxy graphics
        const std::uint64_t size =
            v_ >= Version::R2010 ? d().bitLongLong() : static_cast<std::uint32_t>(d().rawLong());
        if (size > d().remainingBits() / 8) return std::nullopt;
        d().skipBytes(static_cast<std::size_t>(size));
    }
    if (v_ <= Version::R14) frame_.handleStreamStart = static_cast<std::uint32_t>(d().rawLong());
    switch (d().twoBits()) {
        case 0: {
            BitReader handles = dataReader();
            handles.seek(frame_.handleStreamStart);
            return handles.handle().resolve(frame_.handle);
        }
        case 1:
            return kPaperSpaceOwner;
        case 2:
            return kModelSpaceOwner;
        default:
            return Handle{0};
    }
}

}  // namespace

Drawing parseObjects(Bytes objects, const ObjectMap& map, const ClassTable& classes,
                     const HeaderVariables& header, const FileContext& context) {
    DecodedObjects decoded;
    // Each list of entities is allocated once, at its final size: counted
    // first, from the few bits that say where an entity goes.
    std::unordered_map<Handle, std::size_t> listSizes;
    for (const ObjectLocation& location : map) {
        try {
            if (const auto owner =
                    RecordReader(objects, location, classes, context, decoded).plainEntityOwner())
                ++listSizes[*owner];
        } catch (const Error&) {
            // Counted as damaged when it is decoded.
        }
    }
    for (const auto& [owner, size] : listSizes) {
        context.charge(size, sizeof(Entity));
        decoded.entitiesByOwner[owner].reserve(size);
    }

    for (const ObjectLocation& location : map) {
        try {
            RecordReader(objects, location, classes, context, decoded).run();
        } catch (const Error& error) {
            // A damaged record costs only itself; the rest of the drawing is still shown.
            if (error.kind() == Error::Kind::TooLarge) throw;
            ++decoded.damaged;
        }
    }
    Drawing drawing = assembleDrawing(std::move(decoded), header, context);
    // Without its model space a drawing has nothing left to show.
    if (drawing.damagedObjects > 0 && drawing.modelSpace() == nullptr)
        throw Error::damaged("espaço do modelo ilegível");
    return drawing;
}

}  // namespace dwg::detail
