// libFuzzer target: any byte string decodes to primitives without a crash, and
// what it decodes is bounded by its size.
#include <dwg/Drawing.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dwg::Drawing drawing;
    // The first byte picks the file version the embedded polylines are coded for.
    if (size > 0) drawing.version = (data[0] & 1) ? dwg::Version::R2010 : dwg::Version::R2000;
    const std::vector<std::uint8_t> graphics(data + (size > 0), data + size);
    const dwg::ProxyGraphics decoded = dwg::decodeProxyGraphics(graphics, drawing);
    std::size_t points = 0;
    for (const dwg::ProxyPrimitive& p : decoded.primitives) points += p.points.size();
    // Primitives are paid for with eight bytes each; a point takes at least
    // half a byte (polyline vertices coded against the previous one).
    if (decoded.primitives.size() > size / 8 + 1 || points > 2 * size) __builtin_trap();
    return 0;
}
