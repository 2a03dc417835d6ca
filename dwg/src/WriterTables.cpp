// The objects around the entities: control objects and table entries,
// dictionaries, layouts, the multiline and dimension styles, the active
// viewport, and each block's header with its BLOCK and ENDBLK entities.
// Settings that the model does not carry take the values of a fresh metric
// drawing.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

#include "WriterModel.h"

namespace dwg::detail {
namespace {

using Entries = std::vector<std::pair<std::string, Handle>>;

constexpr double kPaperWidth = 420;  // A3 limits in model space
constexpr double kPaperHeight = 297;
constexpr double kViewAspect = 1.6;  // width over height of the initial view

// Where a named view or a viewport looks from and what it shows, as both store it.
template <class View>
void writeCamera(BitWriter& d, const View& view, double width) {
    d.bitDouble(view.height);
    d.bitDouble(width);
    d.rawPoint2(view.centre);
    d.bitPoint3(view.target);
    d.bitPoint3(view.direction);
    d.bitDouble(view.twist);
    d.bitDouble(view.lensLength);
    d.bitDouble(view.frontClip);
    d.bitDouble(view.backClip);
}

class TableEncoder {
  public:
    TableEncoder(const WritePlan& plan, EncodedObjects& out)
        : plan_(plan), v_(plan.version), out_(out) {}
    void run();

  private:
    void emit(ObjectEncoder& object, Handle handle) {
        out_.push_back(EncodedObject{handle, object.finish()});
    }
    void control(int type, Handle handle, const std::vector<Handle>& entries,
                 const std::vector<Handle>& ownedEntries = {});
    void dictionary(Handle handle, Handle owner, const Entries& entries, Handle defaultEntry = 0);
    void layer(Handle handle, const Layer& layer);
    void textStyle(Handle handle, const TextStyle& style);
    void linetype(Handle handle, const Linetype& linetype);
    void appId();
    void dimStyle(const DimensionStyle& style);
    void view(Handle handle, const NamedView& view);
    void ucs(Handle handle, const NamedUcs& ucs);
    void activeViewport(const PlannedViewport& viewport);
    void visualStyle(const PlannedVisualStyle& style);
    void mlineStyle(const PlannedMlineStyle& style);
    void imageDefinition(const PlannedImageDefinition& planned);
    // What MLINESTYLE stores for an element's linetype before 2018: ByLayer,
    // ByBlock or the entry's place in the table.
    std::int16_t linetypeIndex(Handle linetype) const;
    void placeholder();
    void layout(const PlannedBlock& block, int tabOrder);
    void blockHeader(const PlannedBlock& block);
    void blockBoundary(const PlannedBlock& block, bool begin);

    ObjectEncoder encoder(int type, Handle handle) const { return ObjectEncoder(v_, type, handle); }

    const WritePlan& plan_;
    const Version v_;
    EncodedObjects& out_;
};

void TableEncoder::control(int type, Handle handle, const std::vector<Handle>& entries,
                           const std::vector<Handle>& ownedEntries) {
    auto object = encoder(type, handle);
    beginObject(object, 0, {});
    object.data().bitLong(static_cast<std::int32_t>(entries.size()));
    if (type == kTypeDimStyleControl) object.data().rawChar(0);  // no further owned styles
    for (Handle entry : entries) object.handles().handle(Ref::SoftOwner, entry);
    for (Handle entry : ownedEntries) object.handles().handle(Ref::HardOwner, entry);
    emit(object, handle);
}

void TableEncoder::dictionary(Handle handle, Handle owner, const Entries& entries,
                              Handle defaultEntry) {
    auto object = encoder(defaultEntry ? kTypeDictionaryWithDefault : kTypeDictionary, handle);
    if (owner)
        beginObject(object, owner, {owner});
    else
        beginObject(object, 0, {});
    BitWriter& d = object.data();
    d.bitLong(static_cast<std::int32_t>(entries.size()));
    d.bitShort(1);  // cloning: keep existing entries
    d.rawChar(0);   // entries are soft-owned
    for (const auto& [name, entry] : entries) object.text(name);
    for (const auto& [name, entry] : entries) object.handles().handle(Ref::SoftOwner, entry);
    if (defaultEntry) object.handles().handle(Ref::HardPointer, defaultEntry);
    emit(object, handle);
}

void TableEncoder::layer(Handle handle, const Layer& layer) {
    auto object = encoder(kTypeLayer, handle);
    beginTableEntry(object, plan_.layerControl, layer.name);
    constexpr int kPlottable = 16;
    constexpr int kDefaultLineweight = 31 << 5;
    const int flags = (layer.frozen ? 1 : 0) | (layer.on ? 0 : 2) | (layer.locked ? 8 : 0) |
                      kPlottable | kDefaultLineweight;
    object.data().bitShort(static_cast<std::int16_t>(flags));
    if (v_ >= Version::R2004) {
        object.color(layer.color);
    } else {
        // An off layer also stores its colour negated.
        object.data().bitShort(
            static_cast<std::int16_t>(layer.on ? layer.color.index : -layer.color.index));
    }
    object.handles().handle(Ref::HardPointer, plan_.plotStyleNormal);
    if (v_ >= Version::R2007) object.handles().handle(Ref::HardPointer, 0);  // material
    object.handles().handle(Ref::HardPointer, layer.linetype);
    if (v_ >= Version::R2013) object.handles().handle(Ref::HardPointer, 0);  // visual style
    emit(object, handle);
}

void TableEncoder::textStyle(Handle handle, const TextStyle& style) {
    auto object = encoder(kTypeStyle, handle);
    beginTableEntry(object, plan_.styleControl, style.name);
    BitWriter& d = object.data();
    d.bit(style.shapeFile);
    d.bit(style.vertical);
    d.bitDouble(style.fixedHeight);
    d.bitDouble(style.widthFactor);
    d.bitDouble(style.obliqueAngle);
    d.rawChar(0);                                                  // generation
    d.bitDouble(style.fixedHeight > 0 ? style.fixedHeight : 2.5);  // last height used
    object.text(style.fontFile);
    object.text(style.bigFontFile);
    emit(object, handle);
}

void TableEncoder::linetype(Handle handle, const Linetype& linetype) {
    auto object = encoder(kTypeLinetype, handle);
    beginTableEntry(object, plan_.linetypeControl, linetype.name);
    BitWriter& d = object.data();
    object.text(linetype.description);
    double length = linetype.patternLength;
    if (length == 0)
        for (double dash : linetype.dashes) length += std::fabs(dash);
    d.bitDouble(length);
    d.rawChar('A');  // alignment
    d.rawChar(static_cast<std::uint8_t>(linetype.dashes.size()));
    for (double dash : linetype.dashes) {
        d.bitDouble(dash);
        d.bitShort(0);  // no shape
        d.rawDouble(0);
        d.rawDouble(0);
        d.bitDouble(1);                                // scale
        d.bitDouble(0);                                // rotation
        d.bitShort(0);                                 // plain dash
        object.handles().handle(Ref::HardPointer, 0);  // no shape file
    }
    // The text area of the dashes; from R2007 only there when a dash shows text.
    static constexpr std::array<std::uint8_t, 256> kNoDashTexts{};
    if (v_ < Version::R2007) d.rawBytes(kNoDashTexts);
    emit(object, handle);
}

void TableEncoder::appId() {
    auto object = encoder(kTypeAppId, plan_.appIdAcad);
    beginTableEntry(object, plan_.appIdControl, "ACAD");
    object.data().rawChar(0);
    emit(object, plan_.appIdAcad);
}

void TableEncoder::dimStyle(const DimensionStyle& style) {
    auto object = encoder(kTypeDimStyle, style.handle);
    beginTableEntry(object, plan_.dimStyleControl, style.name);
    writeDimensionVariables(object, style, [] {});
    object.data().bit(false);
    BitWriter& h = object.handles();
    for (Handle reference : {style.textStyle, style.leaderArrowBlock, style.arrowBlock,
                             style.firstArrowBlock, style.secondArrowBlock})
        h.handle(Ref::HardPointer, reference);
    if (v_ >= Version::R2007)
        for (int i = 0; i < 3; ++i) h.handle(Ref::HardPointer, 0);  // linetypes
    emit(object, style.handle);
}

void TableEncoder::view(Handle handle, const NamedView& view) {
    auto object = encoder(kTypeView, handle);
    beginTableEntry(object, plan_.viewControl, view.name);
    BitWriter& d = object.data();
    writeCamera(d, view, view.width);
    for (int bit = 0; bit < 4; ++bit) d.bit(view.viewMode >> bit & 1);
    d.rawChar(0);  // 2D wireframe
    writeDefaultLighting(object);
    d.bit(view.paperSpace);
    d.bit(false);  // no UCS of its own
    if (v_ >= Version::R2007) d.bit(false);  // no plottable camera
    BitWriter& h = object.handles();
    if (v_ >= Version::R2007) {
        h.handle(Ref::SoftPointer, 0);  // background
        h.handle(Ref::HardPointer, 0);  // visual style
        h.handle(Ref::HardOwner, 0);    // sun
    }
    h.handle(Ref::HardPointer, 0);  // base UCS
    h.handle(Ref::HardPointer, 0);  // named UCS
    if (v_ >= Version::R2007) h.handle(Ref::SoftPointer, 0);  // live section
    emit(object, handle);
}

void TableEncoder::ucs(Handle handle, const NamedUcs& ucs) {
    auto object = encoder(kTypeUcs, handle);
    beginTableEntry(object, plan_.ucsControl, ucs.name);
    BitWriter& d = object.data();
    d.bitPoint3(ucs.origin);
    d.bitPoint3(ucs.xAxis);
    d.bitPoint3(ucs.yAxis);
    d.bitDouble(0);  // elevation
    d.bitShort(0);   // not orthographic
    d.bitShort(0);
    object.handles().handle(Ref::HardPointer, 0);  // base UCS
    object.handles().handle(Ref::HardPointer, 0);  // named UCS
    emit(object, handle);
}

void TableEncoder::activeViewport(const PlannedViewport& viewport) {
    auto object = encoder(kTypeVport, viewport.handle);
    beginTableEntry(object, plan_.vportControl, "*Active");
    BitWriter& d = object.data();
    const SavedView& view = viewport.view;
    writeCamera(d, view, view.height * view.aspect);  // stored as aspect ratio times height
    d.bit(view.perspective);
    d.bit(view.frontClipping);
    d.bit(view.backClipping);
    d.bit(view.frontClipAtEye);
    d.rawChar(static_cast<std::uint8_t>(std::clamp(view.renderMode, 0, 6)));
    writeDefaultLighting(object);
    d.rawPoint2(view.lowerLeft);   // where it lies in the window
    d.rawPoint2(view.upperRight);
    d.bit(false);            // UCSFOLLOW
    d.bitShort(1000);        // circle zoom percent
    d.bit(true);             // fast zoom
    d.bits(0b11, 2);         // UCS icon on, at origin
    d.bit(false);            // grid off
    d.rawPoint2({10, 10});   // grid spacing
    d.bit(false);            // snap off
    d.bit(false);            // standard snap style
    d.bitShort(0);           // isometric plane
    d.bitDouble(0);          // snap rotation
    d.rawPoint2({0, 0});     // snap base
    d.rawPoint2({10, 10});   // snap spacing
    d.bit(false);
    d.bit(true);  // UCS per viewport
    d.bitPoint3({0, 0, 0});
    d.bitPoint3({1, 0, 0});
    d.bitPoint3({0, 1, 0});
    d.bitDouble(0);                                // UCS elevation
    d.bitShort(0);                                 // not an orthographic UCS
    if (v_ >= Version::R2007) {
        d.bitShort(0b111);  // grid: adaptive, subdivided, beyond limits
        d.bitShort(5);      // major grid line every 5 lines
        object.handles().handle(Ref::SoftPointer, 0);  // background
        object.handles().handle(Ref::HardPointer, viewport.visualStyle);
        object.handles().handle(Ref::HardOwner, 0);    // sun
    }
    object.handles().handle(Ref::HardPointer, 0);  // named UCS
    object.handles().handle(Ref::HardPointer, 0);  // base UCS
    emit(object, viewport.handle);
}

void TableEncoder::visualStyle(const PlannedVisualStyle& style) {
    auto object = encoder(plan_.classNumber("VISUALSTYLE"), style.handle);
    beginObject(object, plan_.visualStyles, {plan_.visualStyles});
    encodeVisualStyle(object, style.properties);
    emit(object, style.handle);
}

// Style flag bits as stored.
enum MlineStyleFlag : int {
    kShowMiters = 1,
    kFilled = 2,
    kStartSquare = 16,
    kStartRound = 32,
    kStartInnerArcs = 64,
    kEndSquare = 256,
    kEndRound = 512,
    kEndInnerArcs = 1024,
};

void TableEncoder::mlineStyle(const PlannedMlineStyle& style) {
    auto object = encoder(kTypeMlineStyle, style.handle);
    beginObject(object, plan_.mlineStyles, {plan_.mlineStyles});
    BitWriter& d = object.data();
    object.text(style.name);
    object.text("");
    // Without MLINEs to follow, the Standard style: two lines a unit apart, square ends.
    const MLine* m = style.source;
    std::vector<MLineElement> elements{{0.5, Color{}, 0}, {-0.5, Color{}, 0}};
    int flags = 0;
    if (m) {
        elements = m->elements;
        flags = (m->showMiters ? kShowMiters : 0) | (m->filled ? kFilled : 0) |
                (m->startSquareCap ? kStartSquare : 0) | (m->startRoundCap ? kStartRound : 0) |
                (m->startInnerArcs ? kStartInnerArcs : 0) | (m->endSquareCap ? kEndSquare : 0) |
                (m->endRoundCap ? kEndRound : 0) | (m->endInnerArcs ? kEndInnerArcs : 0);
    }
    d.bitShort(static_cast<std::int16_t>(flags));
    object.color(m ? m->fillColor : Color{});
    d.bitDouble(m ? m->startAngle : std::numbers::pi / 2);
    d.bitDouble(m ? m->endAngle : std::numbers::pi / 2);
    d.rawChar(static_cast<std::uint8_t>(elements.size()));
    for (const MLineElement& element : elements) {
        d.bitDouble(element.offset);
        object.color(element.color);
        const Handle linetype =
            element.linetype ? plan_.linetypeOf.at(element.linetype) : plan_.linetypeByLayer;
        if (v_ >= Version::R2018)
            object.handles().handle(Ref::HardPointer, linetype);
        else
            d.bitShort(linetypeIndex(linetype));
    }
    emit(object, style.handle);
}

std::int16_t TableEncoder::linetypeIndex(Handle linetype) const {
    if (linetype == plan_.linetypeByLayer) return 32767;
    if (linetype == plan_.linetypeByBlock) return 32766;
    std::int16_t index = 0;
    for (const auto& [handle, entry] : plan_.linetypes) {
        if (handle == plan_.linetypeByLayer || handle == plan_.linetypeByBlock) continue;
        if (handle == linetype) return index;
        ++index;
    }
    return 32767;
}

void TableEncoder::imageDefinition(const PlannedImageDefinition& planned) {
    auto object = encoder(plan_.classNumber("IMAGEDEF"), planned.handle);
    std::vector<Handle> reactors{plan_.imageDictionary};
    for (const auto& [reactor, image] : planned.reactors) reactors.push_back(reactor);
    beginObject(object, plan_.imageDictionary, reactors);
    BitWriter& d = object.data();
    d.bitLong(0);  // class version
    d.rawPoint2(planned.definition.pixels);
    object.text(planned.definition.filePath);
    d.bit(true);                    // loaded
    d.rawChar(0);                   // no resolution units
    d.rawPoint2({1, 1});            // one drawing unit a pixel
    emit(object, planned.handle);
}

void TableEncoder::placeholder() {
    auto object = encoder(kTypePlaceholder, plan_.plotStyleNormal);
    beginObject(object, plan_.plotStyles, {plan_.plotStyles});
    emit(object, plan_.plotStyleNormal);
}

void TableEncoder::layout(const PlannedBlock& block, int tabOrder) {
    auto object = encoder(kTypeLayout, block.layout);
    beginObject(object, plan_.layouts, {plan_.layouts});
    BitWriter& d = object.data();
    const bool model = block.space == Space::Model;
    // Plot settings: no plotter, whole layout at 1:1.
    object.text("");      // page setup name
    object.text("None");  // plotter
    d.bitShort(static_cast<std::int16_t>(model ? 1712 : 688));
    for (int i = 0; i < 6; ++i) d.bitDouble(0);  // margins, paper size
    object.text("");                             // paper name
    d.bitPoint2({0, 0});                         // plot origin
    d.bitShort(0);                               // inches
    d.bitShort(0);                               // no rotation
    d.bitShort(5);                               // plot the layout
    d.bitPoint2({0, 0});                         // plot window
    d.bitPoint2({0, 0});
    if (v_ < Version::R2004) object.text("");  // plot view
    d.bitDouble(1);                            // real world units
    d.bitDouble(1);                            // drawing units
    object.text("");                           // plot style table
    d.bitShort(16);                            // scale 1:1
    d.bitDouble(1);
    d.bitPoint2({0, 0});
    if (v_ >= Version::R2004) {
        d.bitShort(0);    // shade plot as displayed
        d.bitShort(2);    // normal resolution
        d.bitShort(300);  // custom DPI
    }
    // The layout itself.
    object.text(block.layoutName);
    d.bitLong(tabOrder);
    d.bitShort(1);
    d.bitPoint3({0, 0, 0});  // UCS origin
    d.rawPoint2({0, 0});     // limits
    d.rawPoint2(model ? Point2{kPaperWidth, kPaperHeight} : Point2{12, 9});
    d.bitPoint3({0, 0, 0});  // insertion base
    d.bitPoint3({1, 0, 0});
    d.bitPoint3({0, 1, 0});
    d.bitDouble(0);          // elevation
    d.bitShort(0);           // not an orthographic UCS
    d.bitPoint3({0, 0, 0});  // extents, computed by the program that opens the file
    d.bitPoint3({0, 0, 0});
    if (v_ >= Version::R2004) d.rawLong(0);  // no viewports
    if (v_ >= Version::R2004) object.handles().handle(Ref::HardPointer, 0);  // plot view
    if (v_ >= Version::R2007) object.handles().handle(Ref::SoftPointer, 0);  // visual style
    object.handles().handle(Ref::SoftPointer, block.header);
    object.handles().handle(Ref::SoftPointer, 0);  // last active viewport
    object.handles().handle(Ref::HardPointer, 0);  // base UCS
    object.handles().handle(Ref::HardPointer, 0);  // named UCS
    emit(object, block.layout);
}

void TableEncoder::blockHeader(const PlannedBlock& block) {
    auto object = encoder(kTypeBlockHeader, block.header);
    beginTableEntry(object, plan_.blockControl, block.name);
    BitWriter& d = object.data();
    d.bit(block.source && block.source->anonymous);
    d.bit(false);  // no attribute definitions
    d.bit(false);  // not an external reference
    d.bit(false);  // not overlaid
    d.bit(false);  // loaded
    if (v_ >= Version::R2004) d.bitLong(static_cast<std::int32_t>(block.entities.size()));
    d.bitPoint3(block.source && block.space == Space::Block ? block.source->basePoint
                                                            : Point3{0, 0, 0});
    object.text("");  // external reference path
    for (std::size_t i = 0; i < block.inserts.size(); ++i) d.rawChar(1);
    d.rawChar(0);
    object.text("");  // description
    d.bitLong(0);     // no preview image
    if (v_ >= Version::R2007) {
        d.bitShort(0);  // insertion units unset
        d.bit(true);    // explodable
        d.rawChar(0);   // any scaling
    }
    BitWriter& h = object.handles();
    h.handle(Ref::HardOwner, block.begin);
    if (v_ >= Version::R2004) {
        for (Handle entity : block.entities) h.handle(Ref::HardOwner, entity);
    } else {
        h.handle(Ref::SoftPointer, block.entities.empty() ? 0 : block.entities.front());
        h.handle(Ref::SoftPointer, block.entities.empty() ? 0 : block.entities.back());
    }
    h.handle(Ref::HardOwner, block.end);
    for (Handle insert : block.inserts) h.handle(Ref::SoftPointer, insert);
    h.handle(Ref::HardPointer, block.layout);
    emit(object, block.header);
}

void TableEncoder::blockBoundary(const PlannedBlock& block, bool begin) {
    const Handle handle = begin ? block.begin : block.end;
    auto object = encoder(begin ? kTypeBlock : kTypeEndblk, handle);
    beginEntity(object, blockEntityFrame(block, plan_.layerZero()));
    if (begin) object.text(block.name);
    emit(object, handle);
}

void TableEncoder::run() {
    std::vector<Handle> userBlocks;
    for (const PlannedBlock& block : plan_.blocks)
        if (block.space == Space::Block || block.space == Space::OtherLayout)
            userBlocks.push_back(block.header);
    control(kTypeBlockControl, plan_.blockControl, userBlocks,
            {plan_.modelSpace().header, plan_.paperSpace().header});
    std::vector<Handle> handles;
    for (const auto& [handle, layer] : plan_.layers) handles.push_back(handle);
    control(kTypeLayerControl, plan_.layerControl, handles);
    handles.clear();
    for (const auto& [handle, style] : plan_.textStyles) handles.push_back(handle);
    control(kTypeStyleControl, plan_.styleControl, handles);
    handles.clear();
    // ByBlock and ByLayer are owned apart from the counted entries.
    for (const auto& [handle, linetype] : plan_.linetypes)
        if (handle != plan_.linetypeByBlock && handle != plan_.linetypeByLayer)
            handles.push_back(handle);
    control(kTypeLinetypeControl, plan_.linetypeControl, handles,
            {plan_.linetypeByBlock, plan_.linetypeByLayer});
    handles.clear();
    for (const auto& [handle, view] : plan_.views) handles.push_back(handle);
    control(kTypeViewControl, plan_.viewControl, handles);
    handles.clear();
    for (const auto& [handle, ucs] : plan_.ucss) handles.push_back(handle);
    control(kTypeUcsControl, plan_.ucsControl, handles);
    handles.clear();
    // The first listed is the current viewport.
    for (const PlannedViewport& viewport : plan_.viewports) handles.push_back(viewport.handle);
    control(kTypeVportControl, plan_.vportControl, handles);
    control(kTypeAppIdControl, plan_.appIdControl, {plan_.appIdAcad});
    handles.clear();
    for (const DimensionStyle& style : plan_.dimStyles) handles.push_back(style.handle);
    control(kTypeDimStyleControl, plan_.dimStyleControl, handles);
    control(kTypeViewportEntityControl, plan_.viewportEntityControl, {});

    Entries named = {{"ACAD_GROUP", plan_.groups},
                     {"ACAD_LAYOUT", plan_.layouts},
                     {"ACAD_MLINESTYLE", plan_.mlineStyles},
                     {"ACAD_PLOTSETTINGS", plan_.plotSettings},
                     {"ACAD_PLOTSTYLENAME", plan_.plotStyles}};
    if (v_ >= Version::R2004) {
        named.emplace_back("ACAD_COLOR", plan_.colors);
        named.emplace_back("ACAD_MATERIAL", plan_.materials);
        dictionary(plan_.colors, plan_.namedObjects, {});
        dictionary(plan_.materials, plan_.namedObjects, {});
    }
    if (plan_.imageDictionary) named.emplace_back("ACAD_IMAGE_DICT", plan_.imageDictionary);
    if (v_ >= Version::R2007) {
        named.emplace_back("ACAD_VISUALSTYLE", plan_.visualStyles);
        Entries styles;
        for (const PlannedVisualStyle& style : plan_.visualStylesWritten) {
            styles.emplace_back(style.properties.name, style.handle);
            visualStyle(style);
        }
        dictionary(plan_.visualStyles, plan_.namedObjects, styles);
    }
    dictionary(plan_.namedObjects, 0, named);
    dictionary(plan_.groups, plan_.namedObjects, {});
    Entries layouts;
    for (const PlannedBlock& block : plan_.blocks)
        if (block.layout) layouts.emplace_back(block.layoutName, block.layout);
    dictionary(plan_.layouts, plan_.namedObjects, layouts);
    Entries mlineStyles;
    for (const PlannedMlineStyle& style : plan_.mlineStylesWritten)
        mlineStyles.emplace_back(style.name, style.handle);
    dictionary(plan_.mlineStyles, plan_.namedObjects, mlineStyles);
    if (plan_.imageDictionary) {
        Entries images;
        for (const PlannedImageDefinition& planned : plan_.imageDefinitions)
            images.emplace_back(planned.name, planned.handle);
        dictionary(plan_.imageDictionary, plan_.namedObjects, images);
        for (const PlannedImageDefinition& planned : plan_.imageDefinitions)
            imageDefinition(planned);
    }
    dictionary(plan_.plotSettings, plan_.namedObjects, {});
    dictionary(plan_.plotStyles, plan_.namedObjects, {{"Normal", plan_.plotStyleNormal}},
               plan_.plotStyleNormal);
    placeholder();
    for (const PlannedMlineStyle& style : plan_.mlineStylesWritten) mlineStyle(style);
    appId();
    for (const DimensionStyle& style : plan_.dimStyles) dimStyle(style);
    for (const PlannedViewport& viewport : plan_.viewports) activeViewport(viewport);

    for (const auto& [handle, linetype] : plan_.linetypes) this->linetype(handle, linetype);
    for (const auto& [handle, layer] : plan_.layers) this->layer(handle, layer);
    for (const auto& [handle, style] : plan_.textStyles) textStyle(handle, style);
    for (const auto& [handle, entry] : plan_.views) view(handle, entry);
    for (const auto& [handle, entry] : plan_.ucss) ucs(handle, entry);
    for (const PlannedBlock& block : plan_.blocks) {
        blockHeader(block);
        blockBoundary(block, true);
        blockBoundary(block, false);
    }
    int tabOrder = 0;
    for (const PlannedBlock& block : plan_.blocks)
        if (block.layout) layout(block, tabOrder++);
}

}  // namespace

InitialView initialView(const WritePlan& plan) {
    if (!plan.modelExtents) return {{kPaperWidth / 2, kPaperHeight / 2}, kPaperHeight};
    const Box& box = *plan.modelExtents;
    const double width = box.max.x - box.min.x;
    const double height = box.max.y - box.min.y;
    // A margin around the drawing, and room for its width in the view's proportion.
    double viewHeight = std::max(height, width / kViewAspect) * 1.1;
    if (viewHeight <= 0) viewHeight = 1;
    return {{(box.min.x + box.max.x) / 2, (box.min.y + box.max.y) / 2}, viewHeight};
}

SavedView extentsView(const WritePlan& plan) {
    const InitialView initial = initialView(plan);
    SavedView view;
    view.centre = initial.center;
    view.height = initial.height;
    view.aspect = kViewAspect;
    view.frontClipAtEye = true;  // as the CAD program stores a new drawing's view
    return view;
}

DimensionStyle headerDimensionStyle(const WritePlan& plan) {
    DimensionStyle style = plan.dimStyles.front();
    style.scale = plan.settings.dimScale;
    style.textHeight = plan.settings.dimTextHeight;
    return style;
}

void writeDimensionVariables(RecordStreams& streams, const DimensionStyle& s,
                             const std::function<void()>& handlesBeforeLineweights) {
    const Version v = streams.version();
    BitWriter& d = streams.data();
    auto shorts = [&](std::initializer_list<int> values) {
        for (int value : values) d.bitShort(static_cast<std::int16_t>(value));
    };
    streams.text(s.postfix);
    streams.text("");  // DIMAPOST
    for (double value : {s.scale, s.arrowSize, s.extensionOffset, s.baselineSpacing,
                         s.extensionBeyond, s.rounding, s.lineBeyond, 0.0, 0.0})
        d.bitDouble(value);  // ... DIMTP, DIMTM
    if (v >= Version::R2007) {
        d.bitDouble(1);   // DIMFXL
        d.bitDouble(std::numbers::pi / 4);  // DIMJOGANG
        d.bitShort(0);    // DIMTFILL: no text background
        streams.color(Color{Color::Kind::ByBlock, 0, 0});  // DIMTFILLCLR
    }
    for (bool value : {false, false, s.textInsideHorizontal, s.textOutsideHorizontal,
                       s.suppressExtension1, s.suppressExtension2})
        d.bit(value);  // DIMTOL, DIMLIM, ...
    shorts({s.textVertical, s.zeroSuppression, 0});  // ..., DIMAZIN
    if (v >= Version::R2007) d.bitShort(0);          // DIMARCSYM
    for (double value : {s.textHeight, s.centerMark, s.tickSize, 0.03937007874016,
                         s.lengthFactor, 0.0, 1.0, s.textGap, 0.0})
        d.bitDouble(value);  // DIMTXT, DIMCEN, DIMTSZ, DIMALTF, DIMLFAC, DIMTVP, DIMTFAC,
                             // DIMGAP, DIMALTRND
    d.bit(false);            // DIMALT
    d.bitShort(3);           // DIMALTD
    for (bool value : {s.lineInside, s.separateArrows, s.textInside, false})
        d.bit(value);  // DIMTOFL, DIMSAH, DIMTIX, DIMSOXD
    streams.color(s.lineColor);
    streams.color(s.extensionColor);
    streams.color(s.textColor);
    shorts({s.angularDecimals, s.decimals, 2, 2, 3, s.angularUnits, 0, s.linearUnits,
            s.decimalSeparator, 0, s.textJustification});
    // DIMADEC, DIMDEC, DIMTDEC, DIMALTU, DIMALTTD, DIMAUNIT, DIMFRAC, DIMLUNIT, DIMDSEP,
    // DIMTMOVE, DIMJUST
    d.bit(false);           // DIMSD1
    d.bit(false);           // DIMSD2
    shorts({0, 8, 0, 0});   // DIMTOLJ, DIMTZIN, DIMALTZ, DIMALTTZ
    d.bit(false);           // DIMUPT
    d.bitShort(static_cast<std::int16_t>(s.fit));  // DIMATFIT
    if (v >= Version::R2007) d.bit(false);  // DIMFXLON
    if (v >= Version::R2010) {
        d.bit(false);       // DIMTXTDIRECTION
        d.bitDouble(100);   // DIMALTMZF
        streams.text("");   // DIMALTMZS
        d.bitDouble(100);   // DIMMZF
        streams.text("");   // DIMMZS
    }
    handlesBeforeLineweights();
    shorts({s.lineweight, s.extensionLineweight});  // DIMLWD, DIMLWE
}

void encodeTables(const WritePlan& plan, EncodedObjects& out) {
    TableEncoder(plan, out).run();
}

}  // namespace dwg::detail
