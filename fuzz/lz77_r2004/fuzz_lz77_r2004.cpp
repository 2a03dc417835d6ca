// The first two bytes choose the stated expanded size, the rest is the stream.
#include <stdexcept>

#include "Lz77R2004.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t expanded = data[0] | std::size_t{data[1]} << 8;
    try {
        const auto out = dwg::container::decompressLz77R2004({data + 2, size - 2}, expanded);
        if (out.size() != expanded) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
