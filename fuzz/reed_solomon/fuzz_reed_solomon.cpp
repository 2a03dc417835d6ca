// The first byte picks the code, the next two the block count (as many as a
// page of the largest size the reader takes has), the rest is the stored
// interleaved codewords.
#include <stdexcept>

#include "ReedSolomon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const auto& code = (data[0] & 0x80) ? dwg::container::ReedSolomonCode::systemPages()
                                        : dwg::container::ReedSolomonCode::dataPages();
    const std::size_t blocks = data[1] | std::size_t{data[2]} << 8;
    try {
        const auto decoded = dwg::container::decodeInterleaved({data + 3, size - 3}, blocks, code);
        if (decoded.size() != blocks * code.dataBytes()) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
