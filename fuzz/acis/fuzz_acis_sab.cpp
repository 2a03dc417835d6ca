// libFuzzer target: any bytes after the binary signature decode to a bounded,
// consistent model or fail with acis::Error.
#include <cstdint>
#include <string_view>
#include <vector>

#include "ModelBound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::string_view kSignature = "ACIS BinaryFile";
    std::vector<std::uint8_t> bytes(kSignature.begin(), kSignature.end());
    bytes.insert(bytes.end(), data, data + size);
    try {
        checkModel(acis::decode(bytes), bytes.size());
    } catch (const acis::Error&) {
    }
    return 0;
}
