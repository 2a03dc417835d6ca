// libFuzzer target: any byte string the reader takes, with the program's own
// limits, is written as DXF of both versions, or refused with WriteError.
// Seed corpus: the sample drawings of every version.
#include <dwg/DxfWriter.h>
#include <dwg/Reader.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dwg::Drawing drawing;
    try {
        drawing = dwg::read(std::span<const std::uint8_t>(data, size));
    } catch (const dwg::Error&) {
        return 0;
    }
    for (const dwg::Version version : {dwg::Version::R2000, dwg::Version::R2018}) {
        try {
            const std::string file = dwg::writeDxf(drawing, version);
            // A file written is a whole one.
            static constexpr std::string_view kEnd = "  0\r\nEOF\r\n";
            if (!file.ends_with(kEnd)) __builtin_trap();
        } catch (const dwg::WriteError&) {
        }
    }
    return 0;
}
