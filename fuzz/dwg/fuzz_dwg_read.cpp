// libFuzzer target: any byte string either reads or fails with dwg::Error.
// Seed corpus: the sample drawings of every version.
#include <dwg/Reader.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(data, size));
        for (const dwg::Block& block : drawing.blocks)
            dwg::walkBlock(
                drawing, block, [](const dwg::Entity&, const std::vector<const dwg::Entity*>&) {},
                dwg::BlockWalkLimits{16, 100'000});
    } catch (const dwg::Error&) {
    }
    return 0;
}
