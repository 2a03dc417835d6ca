// The first three bytes choose the stated expanded size: two bytes of it,
// shifted left by 0 to 8 bits as the third says, up to the 16 MiB a page of
// the reader may expand to (mostly small sizes, now and then the largest).
// The rest is the stream.
#include <stdexcept>

#include "R2007Compression.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t expanded = (data[0] | std::size_t{data[1]} << 8) << (data[2] % 9);
    try {
        const auto out = dwg::container::decompressR2007({data + 3, size - 3}, expanded);
        if (out.size() != expanded) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
