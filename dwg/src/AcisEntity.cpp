// REGION, 3DSOLID, BODY and the surfaces: the ACIS model each carries, taken
// out of the bit stream as plain bytes, and the wireframe the CAD program
// keeps after it (isolines, edges and silhouettes as polylines), which shows
// the body where its model cannot be read. What follows (a surface's isoline
// counts and how it was made) is not needed.
#include <dwg/Error.h>

#include <algorithm>
#include <optional>
#include <string_view>

#include "MoreEntityParsers.h"

namespace dwg::detail {
namespace {

// SAT text is stored with every printable character c replaced by 159 - c.
std::uint8_t decipherSat(std::uint8_t c) {
    return c > 32 ? static_cast<std::uint8_t>(159 - c) : c;
}

// How a model stored without a length ends: SAB writes the end marker as
// name parts ("End" "of" "ACIS" "data"), SAT as one word.
constexpr std::string_view kEndMarkers[] = {
    std::string_view("\x0E\x03"
                     "End\x0E\x02of\x0E\x04"
                     "ACIS\x0D\x04"
                     "data"),
    std::string_view("\x0E\x03"
                     "End\x0E\x02of\x0E\x03"
                     "ASM\x0D\x04"
                     "data"),
    std::string_view("End-of-ACIS-data"),
    std::string_view("End-of-ASM-data"),
};

bool endsWithMarker(const std::vector<std::uint8_t>& bytes) {
    return std::any_of(std::begin(kEndMarkers), std::end(kEndMarkers), [&](std::string_view m) {
        return bytes.size() >= m.size() &&
               std::equal(m.begin(), m.end(), bytes.end() - static_cast<std::ptrdiff_t>(m.size()),
                          [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
    });
}

// Format 1: blocks of enciphered SAT text, each a BL byte count, until a count of 0.
void readSatBlocks(BitReader& d, const FileContext& file, std::vector<std::uint8_t>& out) {
    for (;;) {
        const std::int32_t size = d.bitLong();
        if (size == 0) return;
        if (size < 0 || static_cast<std::size_t>(size) > d.remainingBits() / 8)
            throw Error::damaged("bloco de dados ACIS fora do objeto");
        file.charge(static_cast<std::size_t>(size), 1);
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(size));
        d.readBytes(out.data() + start, static_cast<std::size_t>(size));
        std::transform(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
                       out.begin() + static_cast<std::ptrdiff_t>(start), decipherSat);
    }
}

// Format 2: the model as it is, with no length: it runs to its end marker.
void readUntilEndMarker(BitReader& d, const FileContext& file, std::vector<std::uint8_t>& out) {
    while (!endsWithMarker(out)) {
        if (d.remainingBits() < 8) throw Error::damaged("dados ACIS sem marca de fim");
        out.push_back(d.rawChar());
    }
    file.charge(out.size(), 1);
}

// One wire's points. A wire may carry a placing of its own (axes, a move, a
// scale); no drawing seen holds one on a wire with points, and which way it
// maps is not known, so such a wire is left out.
std::vector<Point3> readWire(BitReader& d, const FileContext& file) {
    d.rawChar();   // type
    d.bitLong();   // selection marker
    d.bitShort();  // colour
    d.bitLong();   // index in the model
    const std::uint32_t count = d.bitLong();
    // A point takes at least six bits (three default doubles).
    if (count > d.remainingBits() / 6) throw Error::damaged("arame de sólido fora do objeto");
    file.charge(count, sizeof(Point3));
    std::vector<Point3> points(count);
    for (Point3& p : points) p = d.bitPoint3();
    if (d.bit()) {
        for (int i = 0; i < 4; ++i) d.bitPoint3();  // axes and move
        d.bitDouble();                              // scale
        d.bit(), d.bit(), d.bit();                  // rotation, reflection, shear
        points.clear();
    }
    return points;
}

// A count of wires, then the wires; those of fewer than two points draw
// nothing and are dropped.
void readWires(BitReader& d, const FileContext& file, std::vector<AcisWire>& out,
               const std::optional<Point3>& viewDirection) {
    const std::uint32_t count = d.bitLong();
    // A wire takes at least 17 bits: a byte and five short fields.
    if (count > d.remainingBits() / 17) throw Error::damaged("arames de sólido fora do objeto");
    file.charge(count, sizeof(AcisWire));
    for (std::uint32_t i = 0; i < count; ++i) {
        AcisWire wire;
        wire.points = readWire(d, file);
        if (viewDirection) {
            wire.silhouette = true;
            wire.viewDirection = *viewDirection;
        }
        if (wire.points.size() >= 2) out.push_back(std::move(wire));
    }
}

// The stored wireframe: isolines and edges, then the silhouettes of the
// views the body was shown in, each seen from its eye towards its target.
// Any of it that does not read leaves the body without wires, the model kept.
std::vector<AcisWire> readStoredWireframe(BitReader& d, const FileContext& file) {
    std::vector<AcisWire> wires;
    try {
        if (!d.bit()) return wires;
        if (d.bit()) d.bitPoint3();  // a point, of no use to a picture
        d.bitLong();                 // isolines a face was given
        if (d.bit()) readWires(d, file, wires, std::nullopt);
        const std::uint32_t views = d.bitLong();
        // A view takes at least 23 bits.
        if (views > d.remainingBits() / 23) throw Error::damaged("silhuetas fora do objeto");
        for (std::uint32_t i = 0; i < views; ++i) {
            d.bitLongLong();  // viewport
            const Point3 eye = d.bitPoint3();
            const Point3 target = d.bitPoint3();
            d.bitPoint3();  // up
            d.bit();        // perspective
            if (d.bit())
                readWires(d, file, wires,
                          Point3{eye.x - target.x, eye.y - target.y, eye.z - target.z});
        }
    } catch (const Error& error) {
        if (error.kind() == Error::Kind::TooLarge) throw;
        wires.clear();
    }
    return wires;
}

}  // namespace

bool isSurfaceClass(std::string_view dxfName) {
    static constexpr std::string_view kNames[] = {
        "SURFACE",         "PLANESURFACE", "EXTRUDEDSURFACE", "LOFTEDSURFACE",
        "REVOLVEDSURFACE", "SWEPTSURFACE", "NURBSURFACE",
    };
    return std::find(std::begin(kNames), std::end(kNames), dxfName) != std::end(kNames);
}

void parseAcisEntity(EntityParseContext& context) {
    BitReader& d = context.streams.data();
    AcisData acis;
    // A body whose model lies in the data store (R2013+, said in the common
    // entity data) stores none here, nor a flag for it: its wireframe follows.
    if (!context.record.dataStoreData && !d.bit()) {
        d.bit();  // unknown
        const int format = d.bitShort();
        if (format == 1)
            readSatBlocks(d, context.file, acis.bytes);
        else if (format == 2)
            readUntilEndMarker(d, context.file, acis.bytes);
        else
            throw Error::damaged("formato de dados ACIS desconhecido");
    }
    acis.wires = readStoredWireframe(d, context.file);
    context.record.entity.data = std::move(acis);
}

}  // namespace dwg::detail
