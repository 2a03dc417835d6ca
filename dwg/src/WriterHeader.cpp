// The sections around the objects that every version stores, each in the
// form of its version: header variables, classes, the object map and the
// auxiliary header. Settings the model does not carry take the values of a
// fresh metric drawing.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "Crc.h"
#include "WriterFile.h"

namespace dwg::detail {
namespace {

constexpr Sentinel kHeaderStart = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                   0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
constexpr Sentinel kClassesStart = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                    0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};

constexpr std::size_t kMaxMapPage = 2032;

// Header variables: handles go into the data stream up to R2004, into the
// handle stream from R2007; HANDSEED always stays in the data stream.
class HeaderEncoder {
  public:
    HeaderEncoder(const WritePlan& plan, const Identity& identity)
        : plan_(plan), v_(plan.version), s_(plan.version), identity_(identity) {}
    Bytes run();

  private:
    BitWriter& d() { return s_.data(); }
    void handle(Handle value) {
        (v_ >= Version::R2007 ? s_.handles() : s_.data()).handle(Ref::HardPointer, value);
    }
    void owner(Handle value) {
        (v_ >= Version::R2007 ? s_.handles() : s_.data()).handle(Ref::HardOwner, value);
    }
    void spaceSettings(const Point3& insertionBase, const std::optional<Box>& extents,
                       const Point2& limits);
    void cameraAndLights();

    const WritePlan& plan_;
    const Version v_;
    RecordStreams s_;
    const Identity& identity_;
};

void HeaderEncoder::spaceSettings(const Point3& insertionBase, const std::optional<Box>& extents,
                                  const Point2& limits) {
    d().bitPoint3(insertionBase);
    // No extents: the inverted infinite box of an empty drawing.
    d().bitPoint3(extents ? extents->min : Point3{1e20, 1e20, 1e20});
    d().bitPoint3(extents ? extents->max : Point3{-1e20, -1e20, -1e20});
    d().rawPoint2({0, 0});
    d().rawPoint2(limits);
    d().bitDouble(0);  // elevation
    d().bitPoint3({0, 0, 0});
    d().bitPoint3({1, 0, 0});
    d().bitPoint3({0, 1, 0});
    handle(0);  // named UCS
    handle(0);  // orthographic UCS reference
    d().bitShort(0);
    handle(0);                                             // base UCS
    for (int i = 0; i < 6; ++i) d().bitPoint3({0, 0, 0});  // orthographic UCS origins
}

// R2007+: cameras, solid history, lofting, the sun's place and interference checks.
void HeaderEncoder::cameraAndLights() {
    d().bit(false);  // CAMERADISPLAY
    d().bitLong(0);
    d().bitLong(0);
    d().bitDouble(0);
    for (double value : {2.0, 6.0, 2.0, 50.0, 0.0})
        d().bitDouble(value);  // STEPSPERSEC, STEPSIZE, 3DDWFPREC, LENSLENGTH, CAMERAHEIGHT
    d().rawChar(0);            // SOLIDHIST
    d().rawChar(1);            // SHOWHIST
    for (double value : {0.25, 4.0, std::numbers::pi / 2, std::numbers::pi / 2, 0.0, 0.0})
        d().bitDouble(value);  // PSOLWIDTH, PSOLHEIGHT, LOFTANG1, LOFTANG2, LOFTMAG1, LOFTMAG2
    d().bitShort(7);           // LOFTPARAM
    d().rawChar(1);            // LOFTNORMALS
    for (double value : {37.795, -122.394, 0.0})
        d().bitDouble(value);  // LATITUDE, LONGITUDE, NORTHDIRECTION
    d().bitLong(-8000);        // TIMEZONE
    for (std::uint8_t value : {1, 1, 2, 2})
        d().rawChar(value);  // LIGHTGLYPHDISPLAY, TILEMODELIGHTSYNCH, DWFFRAME, DGNFRAME
    d().bit(false);
    s_.color(Color::fromIndex(1));  // INTERFERECOLOR
    for (int i = 0; i < 3; ++i) handle(0);  // INTERFEREOBJVS, INTERFEREVPVS, DRAGVS
    d().rawChar(0);                         // CSHADOW
    d().bitDouble(0);
}

Bytes HeaderEncoder::run() {
    const HeaderVariables& settings = plan_.settings;
    const std::size_t sizeField = d().position();
    if (v_ >= Version::R2007) d().rawLong(0);  // where the handles start, known at the end
    if (v_ >= Version::R2013) d().bitLongLong(0);  // REQUIREDVERSIONS
    d().bitDouble(412148564080.0);
    for (int i = 0; i < 3; ++i) d().bitDouble(1);
    s_.text("m");
    for (int i = 0; i < 3; ++i) s_.text("");
    d().bitLong(24);
    d().bitLong(0);
    if (v_ < Version::R2004) handle(0);  // current viewport entity header
    // DIMASO .. LIMCHECK
    for (bool value : {true, true, false, false, true, settings.fillMode, false,
                       settings.paperSpaceLinetypeScaling, false})
        d().bit(value);
    if (v_ >= Version::R2004) d().bit(false);
    // USRTIMER .. PELLIPSE
    for (bool value : {true, false, false, false, false, true, true, false, true, false, false})
        d().bit(value);
    // PROXYGRAPHICS .. PDMODE
    for (int value : {1, 3020, 2, 4, 0, 0, 1, settings.pointDisplayMode})
        d().bitShort(static_cast<std::int16_t>(value));
    if (v_ >= Version::R2004)
        for (int i = 0; i < 3; ++i) d().bitLong(0);
    // USERI1 .. TEXTQLTY
    for (int value : {0, 0, 0, 0, 0, 8, 6, 6, 6, 6, 6, 6, 3, 70, 0, 64, 4, 0, 50})
        d().bitShort(static_cast<std::int16_t>(value));
    // LTSCALE .. CELTSCALE
    for (double value : {settings.linetypeScale, 2.5, 1.0, 1.0, 0.0, 0.0, 0.0,
                         settings.pointDisplaySize, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
                         0.0, 0.5, 20.0, settings.newEntityLinetypeScale})
        d().bitDouble(value);
    s_.text("acad");                // MENUNAME
    for (int i = 0; i < 2; ++i) {  // TDCREATE, TDUPDATE
        d().bitLong(kJulianDay);
        d().bitLong(0);
    }
    if (v_ >= Version::R2004)
        for (int i = 0; i < 3; ++i) d().bitLong(0);
    for (int i = 0; i < 4; ++i) d().bitLong(0);  // TDINDWG, TDUSRTIMER
    s_.color(Color{});                           // CECOLOR
    d().handle(Ref::Own, plan_.nextHandle);      // HANDSEED
    handle(plan_.currentLayer);
    handle(plan_.standardStyle());
    handle(plan_.linetypeByLayer);
    if (v_ >= Version::R2007) handle(0);  // CMATERIAL
    handle(plan_.dimStyle);
    handle(plan_.mlineStyle);
    d().bitDouble(0);  // PSVPSCALE
    spaceSettings({0, 0, 0}, std::nullopt, {12, 9});
    spaceSettings(settings.insertionBase, plan_.modelExtents, {420, 297});
    writeDimensionVariables(s_, settings, [&] {
        handle(plan_.standardStyle());  // DIMTXSTY
        for (int i = 0; i < 4; ++i) handle(0);
        if (v_ >= Version::R2007)
            for (int i = 0; i < 3; ++i) handle(0);  // DIMLTYPE, DIMLTEX1, DIMLTEX2
    });
    for (Handle control :
         {plan_.blockControl, plan_.layerControl, plan_.styleControl, plan_.linetypeControl,
          plan_.viewControl, plan_.ucsControl, plan_.vportControl, plan_.appIdControl,
          plan_.dimStyleControl})
        owner(control);
    if (v_ <= Version::R2000) owner(plan_.viewportEntityControl);
    handle(plan_.groups);
    handle(plan_.mlineStyles);
    owner(plan_.namedObjects);
    d().bitShort(1);   // TSTACKALIGN
    d().bitShort(70);  // TSTACKSIZE
    s_.text("");       // HYPERLINKBASE
    s_.text("");       // STYLESHEET
    handle(plan_.layouts);
    handle(plan_.plotSettings);
    handle(plan_.plotStyles);
    if (v_ >= Version::R2004) {
        handle(plan_.materials);
        handle(plan_.colors);
    }
    if (v_ >= Version::R2007) handle(plan_.visualStyles);
    if (v_ >= Version::R2013) handle(0);
    d().bitLong(0x2A1D);  // CELWEIGHT ByLayer, lineweights hidden, extended names, named plot styles
    d().bitShort(static_cast<std::int16_t>(settings.insertionUnits));
    d().bitShort(0);  // CEPSNTYPE ByLayer
    s_.text(identity_.fingerprint);
    s_.text(identity_.version);
    if (v_ >= Version::R2004) {
        // SORTENTS, INDEXCTL, HIDETEXT, XCLIPFRAME, DIMASSOC, HALOGAP
        for (std::uint8_t value : {127, 0, 1, 0, 2, 0}) d().rawChar(value);
        d().bitShort(257);  // OBSCUREDCOLOR
        d().bitShort(257);  // INTERSECTIONCOLOR
        d().rawChar(0);     // OBSCUREDLTYPE
        d().rawChar(0);     // INTERSECTIONDISPLAY
        s_.text("");        // PROJECTNAME
    }
    handle(plan_.paperSpace().header);
    handle(plan_.modelSpace().header);
    handle(plan_.linetypeByLayer);
    handle(plan_.linetypeByBlock);
    handle(plan_.linetypeContinuous);
    if (v_ >= Version::R2007) cameraAndLights();
    if (v_ <= Version::R2004) {
        for (int i = 0; i < 4; ++i) {  // four undocumented shorts, stored at full width
            d().twoBits(0);
            d().rawShort(0);
        }
    }
    BitWriter all = s_.takeBeforeHandles();
    const std::size_t handlesStart = all.position();
    all.append(std::move(s_.handles()));
    Bytes data = all.take();
    if (v_ >= Version::R2007)
        patchRawLong(data, sizeField, static_cast<std::int32_t>(handlesStart - sizeField));
    return data;
}

}  // namespace

Bytes framedSection(Version version, const Sentinel& start, const Bytes& data) {
    Bytes out(start.begin(), start.end());
    appendRawLong(out, static_cast<std::uint32_t>(data.size()));
    if (version >= Version::R2010) appendRawLong(out, 0);  // the size's high half
    out.insert(out.end(), data.begin(), data.end());
    appendRawShort(out, crc16(std::span(out).subspan(start.size())));
    for (std::uint8_t byte : start) out.push_back(static_cast<std::uint8_t>(~byte));
    return out;
}

Bytes headerSection(const WritePlan& plan, const Identity& identity) {
    return framedSection(plan.version, kHeaderStart, HeaderEncoder(plan, identity).run());
}

Bytes classesSection(const WritePlan& plan) {
    const Version v = plan.version;
    RecordStreams s(v);
    BitWriter& d = s.data();
    const std::size_t sizeField = d.position();
    if (v >= Version::R2007) d.rawLong(0);  // where the (absent) handles would start
    if (v >= Version::R2004) {
        d.bitShort(static_cast<std::int16_t>(plan.classes.empty()
                                                 ? 499
                                                 : plan.classes.back().number));
        d.rawChar(0);
        d.rawChar(0);
        d.bit(true);
    }
    constexpr std::int16_t kEntityClass = 0x1F2;
    constexpr std::int16_t kObjectClass = 0x1F3;
    for (const WriterClass& c : plan.classes) {
        d.bitShort(static_cast<std::int16_t>(c.number));
        d.bitShort(static_cast<std::int16_t>(c.proxyFlags));
        s.text(c.applicationName);
        s.text(c.cppName);
        s.text(c.dxfName);
        d.bit(false);  // was a zombie
        d.bitShort(c.entity ? kEntityClass : kObjectClass);
        if (v >= Version::R2004) {
            d.bitLong(static_cast<std::int32_t>(c.instances));
            d.bitLong(0);  // the class's own version and maintenance release
            d.bitLong(0);
            d.bitLong(0);
            d.bitLong(0);
        }
    }
    BitWriter all = s.takeBeforeHandles();
    const std::size_t end = all.position();
    Bytes data = all.take();
    if (v >= Version::R2007)
        patchRawLong(data, sizeField, static_cast<std::int32_t>(end - sizeField));
    return framedSection(v, kClassesStart, data);
}

Bytes objectMapSection(const std::vector<std::pair<Handle, std::uint32_t>>& locations) {
    Bytes out;
    auto closePage = [&](const Bytes& page) {
        const std::size_t start = out.size();
        const std::size_t size = page.size() + 2;
        out.push_back(static_cast<std::uint8_t>(size >> 8));
        out.push_back(static_cast<std::uint8_t>(size));
        out.insert(out.end(), page.begin(), page.end());
        const std::uint16_t crc = crc16(std::span(out).subspan(start));
        out.push_back(static_cast<std::uint8_t>(crc >> 8));
        out.push_back(static_cast<std::uint8_t>(crc));
    };
    Bytes page;
    Handle lastHandle = 0;
    std::int64_t lastOffset = 0;
    for (const auto& [handle, offset] : locations) {
        Bytes entry;
        appendUnsignedModularChar(entry, handle - lastHandle);
        appendModularChar(entry, static_cast<std::int64_t>(offset) - lastOffset);
        if (page.size() + entry.size() + 2 > kMaxMapPage) {
            closePage(page);
            page.clear();
            entry.clear();
            appendUnsignedModularChar(entry, handle);
            appendModularChar(entry, offset);
        }
        page.insert(page.end(), entry.begin(), entry.end());
        lastHandle = handle;
        lastOffset = offset;
    }
    if (!page.empty()) closePage(page);
    closePage({});  // the empty page that ends the map
    return out;
}

Bytes auxiliaryHeader(const WritePlan& plan) {
    const std::uint16_t format = formatNumber(plan.version);
    const std::uint16_t maintenance = maintenanceRelease(plan.version);
    Bytes out = {0xFF, 0x77, 0x01};
    appendRawShort(out, format);
    appendRawShort(out, maintenance);
    appendRawLong(out, 1);  // saves
    appendRawLong(out, 0xFFFFFFFF);
    appendRawShort(out, 1);  // saves, first part
    appendRawShort(out, 0);  // saves, second part
    appendRawLong(out, 0);
    for (int i = 0; i < 2; ++i) {
        appendRawShort(out, format);
        appendRawShort(out, maintenance);
    }
    for (std::uint16_t value : {0x0005, 0x0893, 0x0005, 0x0893, 0x0000, 0x0001})
        appendRawShort(out, value);
    for (int i = 0; i < 5; ++i) appendRawLong(out, 0);
    for (int i = 0; i < 2; ++i) {  // TDCREATE, TDUPDATE
        appendRawLong(out, kJulianDay);
        appendRawLong(out, 0);
    }
    const Handle seed = plan.nextHandle;
    appendRawLong(out, seed < 0x7FFFFFFF ? static_cast<std::uint32_t>(seed) : 0xFFFFFFFF);
    appendRawLong(out, 0);  // educational plot stamp
    appendRawShort(out, 0);
    appendRawShort(out, 1);  // saves, first part less second part
    for (int i = 0; i < 3; ++i) appendRawLong(out, 0);
    appendRawLong(out, 1);  // saves
    for (int i = 0; i < 4; ++i) appendRawLong(out, 0);
    if (plan.version >= Version::R2018)
        for (int i = 0; i < 3; ++i) appendRawShort(out, 0);
    return out;
}

std::uint16_t formatNumber(Version version) {
    switch (version) {
        case Version::R2004:
            return 25;
        case Version::R2007:
            return 27;
        case Version::R2010:
            return 29;
        case Version::R2013:
            return 31;
        case Version::R2018:
            return 33;
        default:
            return 23;
    }
}

std::uint8_t maintenanceRelease(Version version) {
    // Values AutoCAD releases of each format write; from R2010 one above 3
    // also says that header and classes carry the size's high half.
    switch (version) {
        case Version::R2004:
            return 0x68;
        case Version::R2010:
            return 0x6D;
        case Version::R2013:
            return 0x7D;
        case Version::R2018:
            return 0x04;
        default:
            return 0x0F;
    }
}

Identity drawingIdentity(const EncodedObjects& objects) {
    std::uint64_t hash = 0xCBF29CE484222325;
    for (const EncodedObject& object : objects) {
        const std::vector<std::uint8_t>& bytes = object.bytes;
        std::size_t i = 0;
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + i, 8);
            hash = (hash ^ word) * 0x100000001B3;
            hash ^= hash >> 29;
        }
        for (; i < bytes.size(); ++i) hash = (hash ^ bytes[i]) * 0x100000001B3;
    }
    std::uint64_t values[4];
    for (std::uint64_t& value : values) {  // splitmix64 steps
        std::uint64_t z = (hash += 0x9E3779B97F4A7C15);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        value = z ^ (z >> 31);
    }
    auto guid = [](std::uint64_t high, std::uint64_t low) {
        char text[40];
        std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%012llX}",
                      static_cast<unsigned>(high >> 32),
                      static_cast<unsigned>((high >> 16) & 0xFFFF),
                      static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                      static_cast<unsigned long long>(low & 0xFFFFFFFFFFFF));
        return std::string(text);
    };
    return Identity{guid(values[0], values[1]), guid(values[2], values[3]), values[0]};
}

}  // namespace dwg::detail
