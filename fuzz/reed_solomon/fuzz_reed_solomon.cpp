// The first byte picks the code and the block count, the rest is the stored
// interleaved codewords.
#include <stdexcept>

#include "ReedSolomon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto& code = (data[0] & 0x80) ? dwg::container::ReedSolomonCode::systemPages()
                                        : dwg::container::ReedSolomonCode::dataPages();
    const std::size_t blocks = data[0] & 0x7F;
    try {
        const auto decoded = dwg::container::decodeInterleaved({data + 1, size - 1}, blocks, code);
        if (decoded.size() != blocks * code.dataBytes()) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
