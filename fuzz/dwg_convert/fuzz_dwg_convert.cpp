// libFuzzer target: a drawing read from any bytes, with the reader's own
// limits, is converted for every release and scaled into millimetres; the
// conversion refuses it with ConvertError or gives a drawing whose entity
// records are the drawing's, less and plus what its report says, and which
// the writer refuses with WriteError or writes into a file that reads again.
// Seed corpus: the sample drawings of every version.
#include <dwg/Convert.h>
#include <dwg/Reader.h>
#include <dwg/Scale.h>
#include <dwg/Writer.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::map<std::string, int> records(const dwg::Drawing& drawing) {
    std::map<std::string, int> counts;
    for (const dwg::Block& block : drawing.blocks)
        for (const auto& [kind, n] : dwg::countEntityTypes(block)) counts[kind] += n;
    return counts;
}

[[noreturn]] void finding(const char* what, dwg::Version version) {
    std::fprintf(stderr, "%s (%s)\n", what, std::string(dwg::versionCode(version)).c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dwg::Drawing drawing;
    try {
        drawing = dwg::read(std::span<const std::uint8_t>(data, size));
        dwg::changeUnits(drawing, dwg::LengthUnit::Millimetres);
    } catch (const dwg::Error&) {
        return 0;
    } catch (const dwg::ConvertError&) {
        return 0;
    }
    for (dwg::Version version : {dwg::Version::R2000, dwg::Version::R2004, dwg::Version::R2010,
                                 dwg::Version::R2013, dwg::Version::R2018}) {
        dwg::Converted converted;
        try {
            converted = dwg::convertForVersion(drawing, version);
        } catch (const dwg::ConvertError&) {
            continue;
        }
        std::map<std::string, int> expected = records(drawing);
        for (const auto& [kind, n] : converted.report.removed) expected[kind] -= n;
        for (const auto& [kind, n] : converted.report.added) expected[kind] += n;
        std::erase_if(expected, [](const auto& entry) { return entry.second == 0; });
        if (expected != records(converted.drawing)) finding("report and drawing disagree", version);
        std::vector<std::uint8_t> written;
        try {
            written = dwg::writeDwg(converted.drawing, version);
        } catch (const dwg::WriteError&) {
            continue;
        }
        try {
            dwg::read(std::span<const std::uint8_t>(written));
        } catch (const dwg::Error& error) {
            std::fprintf(stderr, "%s\n", error.what());
            finding("written file does not read", version);
        }
    }
    return 0;
}
