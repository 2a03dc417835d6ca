// libFuzzer target: any byte string either reads or fails with dwg::Error,
// and its model space walks within the walk's own limits (other blocks
// within smaller ones, so that one input costs little).
// Seed corpus: the sample drawings of every version.
#include <dwg/Reader.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(data, size));
        const auto visit = [](const dwg::Entity&, const std::vector<const dwg::Entity*>&) {};
        for (const dwg::Block& block : drawing.blocks)
            dwg::walkBlock(drawing, block, visit,
                           block.modelSpace ? dwg::BlockWalkLimits{}
                                            : dwg::BlockWalkLimits{16, 100'000});
    } catch (const dwg::Error&) {
    }
    return 0;
}
