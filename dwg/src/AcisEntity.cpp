// REGION, 3DSOLID, BODY and the surfaces: the ACIS model each carries, taken
// out of the bit stream as plain bytes. What follows it (wireframe and
// silhouette caches, a surface's isoline counts and how it was made) is not
// needed: the model itself holds every face and edge.
#include <dwg/Error.h>

#include <algorithm>
#include <string_view>

#include "MoreEntityParsers.h"

namespace dwg::detail {
namespace {

// SAT text is stored with every printable character c replaced by 159 - c.
std::uint8_t decipherSat(std::uint8_t c) { return c > 32 ? static_cast<std::uint8_t>(159 - c) : c; }

// How a model stored without a length ends: SAB writes the end marker as
// name parts ("End" "of" "ACIS" "data"), SAT as one word.
constexpr std::string_view kEndMarkers[] = {
    std::string_view("\x0E\x03" "End\x0E\x02of\x0E\x04" "ACIS\x0D\x04" "data"),
    std::string_view("\x0E\x03" "End\x0E\x02of\x0E\x03" "ASM\x0D\x04" "data"),
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
    const bool empty = d.bit();
    if (!empty) {
        d.bit();  // unknown
        const int format = d.bitShort();
        if (format == 1)
            readSatBlocks(d, context.file, acis.bytes);
        else if (format == 2)
            readUntilEndMarker(d, context.file, acis.bytes);
        else
            throw Error::damaged("formato de dados ACIS desconhecido");
    }
    context.record.entity.data = std::move(acis);
}

}  // namespace dwg::detail
