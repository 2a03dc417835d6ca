// The save formats by name, and the conversion report in words.
#include <dwg/Convert.h>

namespace dwg {
namespace {

struct FormatInfo {
    SaveFormat format;
    Version version;
    bool dxf;
    std::string_view label;
    std::string_view key;
};

constexpr FormatInfo kFormats[] = {
    {SaveFormat::Dwg2000, Version::R2000, false, "AutoCAD 2000", "2000"},
    {SaveFormat::Dwg2004, Version::R2004, false, "AutoCAD 2004", "2004"},
    {SaveFormat::Dwg2010, Version::R2010, false, "AutoCAD 2010", "2010"},
    {SaveFormat::Dwg2013, Version::R2013, false, "AutoCAD 2013", "2013"},
    {SaveFormat::Dwg2018, Version::R2018, false, "AutoCAD 2018", "2018"},
    {SaveFormat::Dxf2000, Version::R2000, true, "DXF 2000", "dxf2000"},
    {SaveFormat::Dxf2018, Version::R2018, true, "DXF 2018", "dxf2018"},
};

const FormatInfo& info(SaveFormat format) {
    for (const FormatInfo& f : kFormats)
        if (f.format == format) return f;
    return kFormats[0];
}

std::string counted(int count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace

Version formatVersion(SaveFormat format) {
    return info(format).version;
}
bool isDxf(SaveFormat format) {
    return info(format).dxf;
}
std::string_view formatLabel(SaveFormat format) {
    return info(format).label;
}
std::string_view formatKey(SaveFormat format) {
    return info(format).key;
}

std::optional<SaveFormat> formatFromKey(std::string_view key) {
    for (const FormatInfo& f : kFormats)
        if (f.key == key) return f.format;
    return std::nullopt;
}

std::vector<std::string> reportLines(const ConversionReport& report) {
    std::vector<std::string> lines;
    for (const ConversionReport::Kind& kind : report.converted) {
        std::string line = kind.name + ": " + counted(kind.count, "convertida", "convertidas");
        if (!kind.becomes.empty()) line += " em " + kind.becomes;
        lines.push_back(std::move(line));
    }
    for (const ConversionReport::Kind& kind : report.leftOut)
        lines.push_back(kind.name + ": " +
                        counted(kind.count, "deixada de fora", "deixadas de fora"));
    if (report.trueColours > 0)
        lines.push_back(counted(report.trueColours, "cor RGB trocada", "cores RGB trocadas") +
                        " pela cor indexada mais próxima");
    return lines;
}

}  // namespace dwg
