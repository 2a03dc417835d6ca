// REGION, 3DSOLID, BODY and the surfaces: the ACIS model in the form the
// version keeps it. AutoCAD 2000 stores SAT text in enciphered blocks, 2004 to
// 2010 the SAB binary as it is; from 2013 the model goes to the data store and
// the entity only says so. The wireframe cache that follows is written empty:
// readers draw the model itself.
//
// Surfaces exist from 2007 (NURBSURFACE from 2010). The plain, planar and
// NURBS ones hold nothing a drawing needs beyond their isoline counts. A
// revolved surface also keeps how it was made (axis, angles, the profile's
// record); the model carries none of it, so it is written as made of no
// profile, around the z axis, a whole turn: the shape is the ACIS model's.
// The extruded, lofted and swept ones keep their making in a form not known
// well enough to write, so they are refused.
#include <algorithm>
#include <array>
#include <numbers>
#include <span>
#include <string>
#include <string_view>

#include "WriterModel.h"

namespace dwg::detail {
namespace {

constexpr int kTypeRegion = 37;
constexpr int kType3dSolid = 38;
constexpr int kTypeBody = 39;

// The SAT blocks AutoCAD writes are at most this long.
constexpr std::size_t kSatBlockSize = 4096;
// Isolines per face, as the CAD program's ISOLINES default.
constexpr std::int32_t kIsolines = 4;

// SURFU and SURFV as AutoCAD sets them by default.
constexpr std::int16_t kSurfaceIsolines = 6;

const SurfaceClass kSurfaceClasses[] = {
    {"SURFACE", "AcDbSurface", 4095, Version::R2007},
    {"PLANESURFACE", "AcDbPlaneSurface", 4095, Version::R2007},
    {"NURBSURFACE", "AcDbNurbSurface", 0, Version::R2010},
    {"REVOLVEDSURFACE", "AcDbRevolvedSurface", 0, Version::R2007},
};

// Kinds that exist only with the making of them stored beside the model.
constexpr std::string_view kMadeSurfaces[] = {"EXTRUDEDSURFACE", "LOFTEDSURFACE",
                                              "SWEPTSURFACE"};

constexpr std::string_view kBinarySignatures[] = {"ACIS BinaryFile", "ASM BinaryFile"};
// A binary model has no length of its own: readers take it up to this name.
constexpr std::string_view kBinaryEndMarkers[] = {
    std::string_view("\x0E\x03" "End\x0E\x02of\x0E\x04" "ACIS\x0D\x04" "data"),
    std::string_view("\x0E\x03" "End\x0E\x02of\x0E\x03" "ASM\x0D\x04" "data"),
};

std::string releaseName(Version version) {
    switch (version) {
        case Version::R13: return "R13";
        case Version::R14: return "R14";
        case Version::R2000: return "2000";
        case Version::R2004: return "2004";
        case Version::R2007: return "2007";
        case Version::R2010: return "2010";
        case Version::R2013: return "2013";
        case Version::R2018: return "2018";
    }
    return std::string(versionCode(version));
}

bool startsWith(const std::vector<std::uint8_t>& bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// Where the first end marker ends, or npos.
std::size_t binaryEnd(const std::vector<std::uint8_t>& bytes) {
    std::size_t best = std::string_view::npos;
    for (std::string_view marker : kBinaryEndMarkers) {
        const auto found = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end(),
                                       [](std::uint8_t a, char b) {
                                           return a == static_cast<std::uint8_t>(b);
                                       });
        if (found != bytes.end())
            best = std::min(best, static_cast<std::size_t>(found - bytes.begin()) + marker.size());
    }
    return best;
}

// SAT text is stored with every character c above the space replaced by 159 - c.
std::uint8_t encipherSat(std::uint8_t c) { return c > 32 ? static_cast<std::uint8_t>(159 - c) : c; }

void satBlocks(BitWriter& d, const std::vector<std::uint8_t>& text) {
    for (std::size_t at = 0; at < text.size(); at += kSatBlockSize) {
        const std::size_t size = std::min(kSatBlockSize, text.size() - at);
        d.bitLong(static_cast<std::int32_t>(size));
        for (std::size_t i = 0; i < size; ++i) d.rawChar(encipherSat(text[at + i]));
    }
    d.bitLong(0);
}

// A revision stamp derived from the entity's handle, so that output depends
// only on the drawing.
void revisionStamp(BitWriter& d, Handle handle) {
    d.bit(true);
    d.bitLong(static_cast<std::int32_t>(handle & 0x7FFFFFFF));
    d.bitShort(0);
    d.bitShort(0);
    for (int i = 0; i < 8; ++i) d.rawChar(static_cast<std::uint8_t>(handle >> (8 * i)));
}

}  // namespace

bool isBinaryAcis(const std::vector<std::uint8_t>& bytes) {
    return std::any_of(std::begin(kBinarySignatures), std::end(kBinarySignatures),
                       [&](std::string_view s) { return startsWith(bytes, s); });
}

int bodyType(const std::string& typeName) {
    if (typeName == "REGION") return kTypeRegion;
    if (typeName == "BODY") return kTypeBody;
    if (typeName == "3DSOLID") return kType3dSolid;
    return 0;
}

const SurfaceClass* surfaceClass(const std::string& typeName) {
    for (const SurfaceClass& c : kSurfaceClasses)
        if (typeName == c.dxfName) return &c;
    return nullptr;
}

std::span<const SurfaceClass> surfaceClasses() { return kSurfaceClasses; }

bool canWriteBody(const std::string& typeName, Version version) {
    if (bodyType(typeName) != 0) return true;
    const SurfaceClass* surface = surfaceClass(typeName);
    return surface && version >= surface->since;
}

bool bodyInDataStore(const AcisData& acis, Version version) {
    return version >= Version::R2013 && !acis.bytes.empty();
}

void checkBody(const Entity& entity, Version version, const std::string& where) {
    const auto& acis = std::get<AcisData>(entity.data);
    if (std::find(std::begin(kMadeSurfaces), std::end(kMadeSurfaces), entity.typeName) !=
        std::end(kMadeSurfaces))
        throw WriteError(where +
                         " é gravada com o perfil e o caminho de que foi feita, que o desenho "
                         "não conserva");
    if (const SurfaceClass* surface = surfaceClass(entity.typeName);
        surface && version < surface->since)
        throw WriteError(where + " não existe no AutoCAD " + releaseName(version));
    if (!canWriteBody(entity.typeName, version))
        throw WriteError(where + " é de um tipo que não é gravado");
    if (acis.bytes.empty()) return;
    const bool binary = isBinaryAcis(acis.bytes);
    if (version < Version::R2004 && binary)
        throw WriteError(where + " traz o modelo ACIS em SAB, mas o AutoCAD 2000 guarda SAT");
    if (version >= Version::R2004 && !binary)
        throw WriteError(where + " traz o modelo ACIS em SAT, mas esta versão guarda SAB");
    if (binary && binaryEnd(acis.bytes) != acis.bytes.size())
        throw WriteError(where + " traz um modelo SAB que não termina na marca de fim");
}

void writeBodyBody(RecordStreams& o, const std::string& typeName, const AcisData& acis,
                   Handle handle) {
    const Version v = o.version();
    BitWriter& d = o.data();
    // From 2013 a model lives in the data store and the entity holds none:
    // it starts with its wireframe straight away.
    if (!bodyInDataStore(acis, v)) {
        const bool empty = acis.bytes.empty();
        d.bit(empty);
        if (!empty) {
            d.bit(true);  // as AutoCAD writes it
            if (v < Version::R2004) {
                d.bitShort(1);
                satBlocks(d, acis.bytes);
            } else {
                d.bitShort(2);
                d.rawBytes(acis.bytes);
            }
        }
    }
    d.bit(true);   // wireframe data follows...
    d.bit(false);  // ...with no point of its own
    d.bitLong(kIsolines);
    d.bit(true);
    d.bitLong(0);  // no wires
    d.bitLong(0);  // no silhouettes
    d.bit(true);   // no second model
    if (v >= Version::R2007) d.bitLong(0);
    if (v >= Version::R2013) {
        revisionStamp(d, handle);
        d.bitLong(0);
    }
    if (v >= Version::R2007) o.handles().handle(Ref::SoftOwner, 0);  // no history
    if (!surfaceClass(typeName)) return;
    d.bitShort(kSurfaceIsolines);  // along u
    d.bitShort(kSurfaceIsolines);  // along v
    if (typeName == "NURBSURFACE") {
        // One flag set, two clear and twelve zeros: what AutoCAD writes on
        // every NURBS surface seen, whatever its shape.
        d.bit(true);
        d.bit(false);
        d.bit(false);
        for (int i = 0; i < 12; ++i) d.bitDouble(0);
    } else if (typeName == "REVOLVEDSURFACE") {
        for (int i = 0; i < 4; ++i) d.bitDouble(0);  // draft angle and distances, twist
        d.bit(false);                                // not a solid
        d.bit(false);                                // not closed to the axis
        d.bitPoint3({0, 0, 0});                      // axis point
        d.bitPoint3({0, 0, 1});                      // axis direction
        d.bitDouble(2 * std::numbers::pi);           // angle turned
        d.bitDouble(0);                              // start angle
        for (int row = 0; row < 4; ++row)            // the profile's placing
            for (int column = 0; column < 4; ++column) d.bitDouble(row == column ? 1 : 0);
        d.bitLong(0);  // no profile: its record type...
        d.bitLong(0);  // ...and size
    }
}

}  // namespace dwg::detail
