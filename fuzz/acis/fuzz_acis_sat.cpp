// libFuzzer target: any text decodes to a bounded, consistent model or fails
// with acis::Error.
#include <cstdint>
#include <span>
#include <string_view>

#include "ModelBound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    // The binary form has its own target.
    if (size >= 14 && (std::string_view(reinterpret_cast<const char*>(data), 14) == "ACIS BinaryFil" ||
                       std::string_view(reinterpret_cast<const char*>(data), 14) == "ASM BinaryFile"))
        return 0;
    try {
        checkModel(acis::decode(bytes), size);
    } catch (const acis::Error&) {
    }
    return 0;
}
