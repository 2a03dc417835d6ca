// libFuzzer target: a drawing read from any bytes, with the reader's own
// limits, is either refused by the writer with WriteError or written, in
// every version, into a file that reads back with the same entities. Of the
// drawing read, the kinds of entity the writer stores are kept.
// Seed corpus: the sample drawings of every version.
#include <dwg/Reader.h>
#include <dwg/Writer.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::size_t entityCount(const dwg::Drawing& drawing) {
    std::size_t count = 0;
    for (const dwg::Block& block : drawing.blocks)
        for (const auto& [kind, n] : dwg::countEntityTypes(block)) count += n;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dwg::Drawing drawing;
    try {
        drawing = dwg::read(std::span<const std::uint8_t>(data, size));
    } catch (const dwg::Error&) {
        return 0;
    }
    for (dwg::Block& block : drawing.blocks)
        std::erase_if(block.entities, [](const dwg::Entity& e) {
            return !dwg::canWrite(e, dwg::Version::R2000);
        });
    for (dwg::Version version : {dwg::Version::R2000, dwg::Version::R2004, dwg::Version::R2010,
                                 dwg::Version::R2013, dwg::Version::R2018}) {
        std::vector<std::uint8_t> written;
        try {
            written = dwg::writeDwg(drawing, version);
        } catch (const dwg::WriteError&) {
            continue;
        }
        try {
            const dwg::Drawing back = dwg::read(std::span<const std::uint8_t>(written));
            if (back.damagedObjects != 0 || entityCount(back) != entityCount(drawing)) {
                std::fprintf(stderr, "written %s reads back otherwise\n",
                             std::string(dwg::versionCode(version)).c_str());
                std::abort();
            }
        } catch (const dwg::Error& error) {
            std::fprintf(stderr, "written %s does not read: %s\n",
                         std::string(dwg::versionCode(version)).c_str(), error.what());
            std::abort();
        }
    }
    return 0;
}
