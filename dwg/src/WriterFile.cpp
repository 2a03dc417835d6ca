// The AC1015 file around the objects, in the order AutoCAD 2000 lays it out:
// file header with section locators, auxiliary header, preview, header
// variables, classes, objects, object map, second file header, template.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include "Crc.h"
#include "WriterModel.h"

namespace dwg::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Sentinel = std::array<std::uint8_t, 16>;

constexpr Sentinel kFileHeaderEnd = {0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                     0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
constexpr Sentinel kHeaderStart = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                   0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
constexpr Sentinel kClassesStart = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                    0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
constexpr Sentinel kPreviewStart = {0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                    0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
constexpr Sentinel kPreviewEnd = {0xE0, 0xDA, 0x92, 0xF8, 0x2B, 0xC9, 0xD7, 0xD7,
                                  0x62, 0xA8, 0x35, 0xC0, 0x62, 0xBB, 0xEF, 0xD4};
constexpr Sentinel kSecondHeaderStart = {0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                         0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};

constexpr std::uint8_t kMaintenance = 0x0F;
constexpr std::uint16_t kFormatVersion = 23;  // AC1015 in the auxiliary header's numbering
constexpr std::size_t kFileHeaderSize = 0x61;
constexpr std::size_t kAuxHeaderSize = 0x7B;
constexpr std::uint32_t kObjectsMarker = 0x0DCA;
constexpr std::size_t kMaxMapPage = 2032;
// Creation and update time: fixed, so that the same drawing gives the same bytes
// (Julian day of 1 January 2000).
constexpr std::int32_t kJulianDay = 2451545;

enum Locator : std::uint8_t {
    kHeaderSection = 0,
    kClassesSection = 1,
    kObjectMapSection = 2,
    kFreeSpaceSection = 3,
    kTemplateSection = 4,
    kAuxHeaderSection = 5,
};
struct Section {
    std::uint32_t seeker = 0;
    std::uint32_t size = 0;
};
using Sections = std::array<Section, 6>;

Sentinel endOf(const Sentinel& start) {
    Sentinel end{};
    for (std::size_t i = 0; i < start.size(); ++i) end[i] = static_cast<std::uint8_t>(~start[i]);
    return end;
}

void append(Bytes& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Start sentinel, RL size, data, RS CRC over size and data, end sentinel.
Bytes framed(const Sentinel& start, const Bytes& data) {
    Bytes out(start.begin(), start.end());
    appendRawLong(out, static_cast<std::uint32_t>(data.size()));
    append(out, data);
    appendRawShort(out, crc16(std::span(out).subspan(start.size())));
    append(out, endOf(start));
    return out;
}

// A hash of every object, to give each drawing identifiers of its own without
// randomness; `count` values, mixed from one pass over the bytes.
std::vector<std::uint64_t> fingerprints(const EncodedObjects& objects, int count) {
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
    std::vector<std::uint64_t> values;
    for (int i = 0; i < count; ++i) {  // splitmix64 steps
        std::uint64_t z = (hash += 0x9E3779B97F4A7C15);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        values.push_back(z ^ (z >> 31));
    }
    return values;
}

std::string guid(std::uint64_t high, std::uint64_t low) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%012llX}",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                  static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFF));
    return text;
}

void spaceSettings(BitWriter& d, const Point3& insertionBase, const std::optional<Box>& extents,
                   const Point2& limits) {
    d.bitPoint3(insertionBase);
    // No extents: the inverted infinite box of an empty drawing.
    d.bitPoint3(extents ? extents->min : Point3{1e20, 1e20, 1e20});
    d.bitPoint3(extents ? extents->max : Point3{-1e20, -1e20, -1e20});
    d.rawPoint2({0, 0});
    d.rawPoint2(limits);
    d.bitDouble(0);  // elevation
    d.bitPoint3({0, 0, 0});
    d.bitPoint3({1, 0, 0});
    d.bitPoint3({0, 1, 0});
    d.handle(Ref::HardPointer, 0);  // named UCS
    d.handle(Ref::HardPointer, 0);  // orthographic UCS reference
    d.bitShort(0);
    d.handle(Ref::HardPointer, 0);                       // base UCS
    for (int i = 0; i < 6; ++i) d.bitPoint3({0, 0, 0});  // orthographic UCS origins
}

Bytes headerVariables(const WritePlan& plan, const std::string& fingerprintGuid,
                      const std::string& versionGuid) {
    BitWriter d;
    d.bitDouble(412148564080.0);
    for (int i = 0; i < 3; ++i) d.bitDouble(1);
    d.text("m");
    for (int i = 0; i < 3; ++i) d.text("");
    d.bitLong(0);
    d.bitLong(0);
    d.handle(Ref::HardPointer, 0);  // current viewport entity header
    const HeaderVariables& settings = plan.settings;
    // DIMASO .. PELLIPSE
    for (bool value : {true,  true,
                       false, false,
                       true,  settings.fillMode,
                       false, settings.paperSpaceLinetypeScaling,
                       false, true,
                       false, false,
                       false, false,
                       true,  true,
                       false, true,
                       false, false})
        d.bit(value);
    // PROXYGRAPHICS .. TEXTQLTY
    const int pdmode = settings.pointDisplayMode;
    for (int value : {1, 3020, 2, 4, 0, 0, 1, pdmode, 0, 0,  0, 0, 0, 8,
                      6, 6,    6, 6, 6, 6, 3, 70,     0, 64, 4, 0, 50})
        d.bitShort(static_cast<std::int16_t>(value));
    // LTSCALE .. CELTSCALE
    for (double value : {settings.linetypeScale,
                         2.5,
                         1.0,
                         1.0,
                         0.0,
                         0.0,
                         0.0,
                         settings.pointDisplaySize,
                         0.0,
                         0.0,
                         0.0,
                         0.0,
                         0.0,
                         0.0,
                         0.0,
                         0.0,
                         0.0,
                         0.0,
                         0.5,
                         20.0,
                         settings.newEntityLinetypeScale})
        d.bitDouble(value);
    d.text("acad");                // MENUNAME
    for (int i = 0; i < 2; ++i) {  // TDCREATE, TDUPDATE
        d.bitLong(kJulianDay);
        d.bitLong(0);
    }
    for (int i = 0; i < 4; ++i) d.bitLong(0);  // TDINDWG, TDUSRTIMER
    d.bitShort(kColorByLayer);                 // CECOLOR
    d.handle(Ref::Own, plan.nextHandle);       // HANDSEED
    d.handle(Ref::HardPointer, plan.currentLayer);
    d.handle(Ref::HardPointer, plan.standardStyle());
    d.handle(Ref::HardPointer, plan.linetypeByLayer);
    d.handle(Ref::HardPointer, plan.dimStyle);
    d.handle(Ref::HardPointer, plan.mlineStyle);
    d.bitDouble(0);  // PSVPSCALE
    spaceSettings(d, {0, 0, 0}, std::nullopt, {12, 9});
    spaceSettings(d, settings.insertionBase, plan.modelExtents, {420, 297});
    writeDimensionVariables(d, settings, [&] {
        d.handle(Ref::HardPointer, plan.standardStyle());  // DIMTXSTY
        for (int i = 0; i < 4; ++i) d.handle(Ref::HardPointer, 0);
    });
    for (Handle control :
         {plan.blockControl, plan.layerControl, plan.styleControl, plan.linetypeControl,
          plan.viewControl, plan.ucsControl, plan.vportControl, plan.appIdControl,
          plan.dimStyleControl, plan.viewportEntityControl})
        d.handle(Ref::HardOwner, control);
    d.handle(Ref::HardPointer, plan.groups);
    d.handle(Ref::HardPointer, plan.mlineStyles);
    d.handle(Ref::HardOwner, plan.namedObjects);
    d.bitShort(1);   // TSTACKALIGN
    d.bitShort(70);  // TSTACKSIZE
    d.text("");      // HYPERLINKBASE
    d.text("");      // STYLESHEET
    d.handle(Ref::HardPointer, plan.layouts);
    d.handle(Ref::HardPointer, plan.plotSettings);
    d.handle(Ref::HardPointer, plan.plotStyles);
    d.bitLong(0x2A1D);  // CELWEIGHT ByLayer, lineweights hidden, extended names, named plot styles
    d.bitShort(static_cast<std::int16_t>(settings.insertionUnits));
    d.bitShort(0);  // CEPSNTYPE ByLayer
    d.text(fingerprintGuid);
    d.text(versionGuid);
    d.handle(Ref::HardPointer, plan.paperSpace().header);
    d.handle(Ref::HardPointer, plan.modelSpace().header);
    d.handle(Ref::HardPointer, plan.linetypeByLayer);
    d.handle(Ref::HardPointer, plan.linetypeByBlock);
    d.handle(Ref::HardPointer, plan.linetypeContinuous);
    for (int i = 0; i < 4; ++i) {  // four undocumented shorts, stored at full width
        d.twoBits(0);
        d.rawShort(0);
    }
    return d.take();
}

Bytes classes() {
    struct Class {
        int number;
        const char* cppName;
        const char* dxfName;
    };
    static constexpr Class kClasses[] = {
        {kTypeDictionaryWithDefault, "AcDbDictionaryWithDefault", "ACDBDICTIONARYWDFLT"},
        {kTypePlaceholder, "AcDbPlaceHolder", "ACDBPLACEHOLDER"},
        {kTypeLayout, "AcDbLayout", "LAYOUT"},
    };
    constexpr std::int16_t kObjectClass = 0x1F3;
    BitWriter d;
    for (const Class& c : kClasses) {
        d.bitShort(static_cast<std::int16_t>(c.number));
        d.bitShort(0);  // proxy flags
        d.text("ObjectDBX Classes");
        d.text(c.cppName);
        d.text(c.dxfName);
        d.bit(false);  // was a zombie
        d.bitShort(kObjectClass);
    }
    return d.take();
}

// Pages of (handle, offset) deltas, both restarting from zero on every page.
Bytes objectMap(const std::vector<std::pair<Handle, std::uint32_t>>& locations) {
    Bytes out;
    auto closePage = [&](const Bytes& page) {
        const std::size_t start = out.size();
        const std::size_t size = page.size() + 2;
        out.push_back(static_cast<std::uint8_t>(size >> 8));
        out.push_back(static_cast<std::uint8_t>(size));
        append(out, page);
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
        append(page, entry);
        lastHandle = handle;
        lastOffset = offset;
    }
    if (!page.empty()) closePage(page);
    closePage({});  // the empty page that ends the map
    return out;
}

Bytes auxiliaryHeader(Handle handleSeed) {
    Bytes out = {0xFF, 0x77, 0x01};
    appendRawShort(out, kFormatVersion);
    appendRawShort(out, kMaintenance);
    appendRawLong(out, 1);  // saves
    appendRawLong(out, 0xFFFFFFFF);
    appendRawShort(out, 1);  // saves, first part
    appendRawShort(out, 0);  // saves, second part
    appendRawLong(out, 0);
    for (int i = 0; i < 2; ++i) {
        appendRawShort(out, kFormatVersion);
        appendRawShort(out, kMaintenance);
    }
    for (std::uint16_t value : {0x0005, 0x0893, 0x0005, 0x0893, 0x0000, 0x0001})
        appendRawShort(out, value);
    for (int i = 0; i < 5; ++i) appendRawLong(out, 0);
    for (int i = 0; i < 2; ++i) {  // TDCREATE, TDUPDATE
        appendRawLong(out, kJulianDay);
        appendRawLong(out, 0);
    }
    appendRawLong(out,
                  handleSeed < 0x7FFFFFFF ? static_cast<std::uint32_t>(handleSeed) : 0xFFFFFFFF);
    appendRawLong(out, 0);  // educational plot stamp
    appendRawShort(out, 0);
    appendRawShort(out, 1);  // saves, first part less second part
    for (int i = 0; i < 3; ++i) appendRawLong(out, 0);
    appendRawLong(out, 1);  // saves
    for (int i = 0; i < 4; ++i) appendRawLong(out, 0);
    return out;
}

Bytes emptyPreview() {
    Bytes out(kPreviewStart.begin(), kPreviewStart.end());
    appendRawLong(out, 1);  // the count byte below
    out.push_back(0);       // no images
    append(out, kPreviewEnd);
    return out;
}

// The second file header: a bit-coded copy of the section locators and of the
// handles of the control objects, for recovery.
Bytes secondHeader(std::uint32_t location, const Sections& sections, const WritePlan& plan) {
    BitWriter d;
    d.bitLong(static_cast<std::int32_t>(location));
    for (char c : versionCode(Version::R2000)) d.rawChar(static_cast<std::uint8_t>(c));
    for (int i = 0; i < 5; ++i) d.rawChar(0);
    d.rawChar(kMaintenance);
    d.rawChar(1);
    d.bitShort(static_cast<std::int16_t>(kMaintenance << 8 | kFormatVersion));
    d.twoBits(0);
    for (std::uint8_t b : {0x78, 0x01, 0x06}) d.rawChar(b);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        d.rawChar(static_cast<std::uint8_t>(i));
        d.bitLong(static_cast<std::int32_t>(sections[i].seeker));
        d.bitLong(static_cast<std::int32_t>(sections[i].size));
    }
    const Handle handles[] = {plan.nextHandle,
                              plan.blockControl,
                              plan.layerControl,
                              plan.styleControl,
                              plan.linetypeControl,
                              plan.viewControl,
                              plan.ucsControl,
                              plan.vportControl,
                              plan.appIdControl,
                              plan.dimStyleControl,
                              plan.viewportEntityControl,
                              plan.namedObjects,
                              plan.mlineStyles,
                              plan.groups};
    d.bitShort(static_cast<std::int16_t>(std::size(handles)));
    for (std::size_t i = 0; i < std::size(handles); ++i) {
        std::uint8_t length = 0;
        for (Handle rest = handles[i]; rest != 0; rest >>= 8) ++length;
        d.rawChar(length);
        d.rawChar(static_cast<std::uint8_t>(i));
        for (int k = length - 1; k >= 0; --k)
            d.rawChar(static_cast<std::uint8_t>(handles[i] >> (8 * k)));
    }
    const Bytes data = d.take();

    Bytes out(kSecondHeaderStart.begin(), kSecondHeaderStart.end());
    constexpr std::size_t kTrailing = 2 + 8;  // CRC and eight unused bytes, counted in the size
    appendRawLong(out, static_cast<std::uint32_t>(4 + data.size() + kTrailing));
    append(out, data);
    appendRawShort(out, crc16(std::span(out).subspan(kSecondHeaderStart.size())));
    out.insert(out.end(), 8, 0);
    append(out, endOf(kSecondHeaderStart));
    return out;
}

void fileHeader(Bytes& file, std::uint32_t previewSeeker, const Sections& sections) {
    Bytes header;
    for (char c : versionCode(Version::R2000)) header.push_back(static_cast<std::uint8_t>(c));
    header.insert(header.end(), 5, 0);
    header.push_back(kMaintenance);
    header.push_back(1);
    appendRawLong(header, previewSeeker);
    header.push_back(static_cast<std::uint8_t>(kFormatVersion));  // version of the writing program
    header.push_back(kMaintenance);
    appendRawShort(header, kWriterCodePage);
    appendRawLong(header, static_cast<std::uint32_t>(sections.size()));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        header.push_back(static_cast<std::uint8_t>(i));
        appendRawLong(header, sections[i].seeker);
        appendRawLong(header, sections[i].size);
    }
    appendRawShort(header, crc16(header));
    append(header, kFileHeaderEnd);
    std::copy(header.begin(), header.end(), file.begin());
}

}  // namespace

Bytes assembleFile(const WritePlan& plan, EncodedObjects&& objects) {
    std::sort(objects.begin(), objects.end(),
              [](const EncodedObject& a, const EncodedObject& b) { return a.handle < b.handle; });
    Sections sections{};
    Bytes file(kFileHeaderSize, 0);

    sections[kAuxHeaderSection] = {static_cast<std::uint32_t>(file.size()), kAuxHeaderSize};
    append(file, auxiliaryHeader(plan.nextHandle));

    const auto previewSeeker = static_cast<std::uint32_t>(file.size());
    append(file, emptyPreview());

    const std::vector<std::uint64_t> hash = fingerprints(objects, 4);
    const Bytes header =
        framed(kHeaderStart, headerVariables(plan, guid(hash[0], hash[1]), guid(hash[2], hash[3])));
    sections[kHeaderSection] = {static_cast<std::uint32_t>(file.size()),
                                static_cast<std::uint32_t>(header.size())};
    append(file, header);

    const Bytes classSection = framed(kClassesStart, classes());
    sections[kClassesSection] = {static_cast<std::uint32_t>(file.size()),
                                 static_cast<std::uint32_t>(classSection.size())};
    append(file, classSection);
    appendRawLong(file, kObjectsMarker);

    std::vector<std::pair<Handle, std::uint32_t>> locations;
    locations.reserve(objects.size());
    for (const EncodedObject& object : objects) {
        locations.emplace_back(object.handle, static_cast<std::uint32_t>(file.size()));
        append(file, object.bytes);
    }

    const Bytes map = objectMap(locations);
    sections[kObjectMapSection] = {static_cast<std::uint32_t>(file.size()),
                                   static_cast<std::uint32_t>(map.size())};
    append(file, map);

    // AutoCAD's copy of the locators leaves the template out; it follows the
    // second header.
    const Bytes second = secondHeader(static_cast<std::uint32_t>(file.size()), sections, plan);
    append(file, second);
    sections[kTemplateSection] = {static_cast<std::uint32_t>(file.size()), 4};
    appendRawShort(file, 0);  // no template description
    appendRawShort(file, 1);  // MEASUREMENT metric

    fileHeader(file, previewSeeker, sections);
    return file;
}

}  // namespace dwg::detail

namespace dwg {

std::vector<std::uint8_t> writeR2000(const Drawing& drawing) {
    const detail::WritePlan plan = detail::planDrawing(drawing);
    detail::EncodedObjects objects;
    detail::encodeTables(plan, objects);
    detail::encodeEntities(plan, objects);
    return detail::assembleFile(plan, std::move(objects));
}

void writeR2000(const Drawing& drawing, const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = writeR2000(drawing);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out)
        throw std::system_error(std::make_error_code(std::errc::io_error),
                                "não foi possível gravar " + path.string());
}

}  // namespace dwg
