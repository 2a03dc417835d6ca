// dwgconvert: a DWG file saved as another release's DWG or as DXF, in other
// units if asked, as the program saves a block.
//   dwgconvert [--format 2000|2004|2010|2013|2018|dxf2000|dxf2018]
//              [--units saved|mm|cm|m|in|ft] [--report REPORT.json] IN OUT
// Exit 0 when OUT was written, each kind converted named on stderr by its
// DWG name with its count; exit 1 with a message, and no OUT, when it could
// not be; exit 2 for a wrong command line. --report also writes what was
// converted as JSON, for the checks that read the file back: the kinds
// converted and left out, and the entity records taken out and put in.
#include <convert/Export.h>
#include <dwg/Reader.h>
#include <paths/Utf8Path.h>
#include <platform/CommandLine.h>

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace {

int usage() {
    std::cerr << "uso: dwgconvert [--format 2000|2004|2010|2013|2018|dxf2000|dxf2018]\n"
                 "                [--units saved|mm|cm|m|in|ft] [--report RELATORIO.json]\n"
                 "                ENTRADA.dwg SAIDA\n";
    return 2;
}

nlohmann::json kinds(const std::vector<dwg::ConversionReport::Kind>& list) {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& kind : list)
        out.push_back({{"name", kind.name}, {"count", kind.count}, {"becomes", kind.becomes}});
    return out;
}

bool writeReport(const std::filesystem::path& file, const convert::ExportResult& result) {
    const nlohmann::json report = {
        {"converted", kinds(result.report.converted)},
        {"leftOut", kinds(result.report.leftOut)},
        {"trueColours", result.report.trueColours},
        {"removed", result.report.removed},
        {"added", result.report.added},
        {"unitsFactor", result.units.factor},
    };
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << report.dump() << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    platform::useUtf8Console();
    const std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    convert::ExportChoice choice;
    std::optional<std::filesystem::path> report;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--format" && hasValue) {
            const std::optional<dwg::SaveFormat> format = dwg::formatFromKey(arguments[++i]);
            if (!format) return usage();
            choice.format = *format;
        } else if (argument == "--units" && hasValue) {
            const std::string& key = arguments[++i];
            if (key == "saved") {
                choice.units.reset();
            } else if (const std::optional<dwg::LengthUnit> unit = dwg::unitFromKey(key)) {
                choice.units = *unit;
            } else {
                return usage();
            }
        } else if (argument == "--report" && hasValue) {
            report = paths::pathFromUtf8(arguments[++i]);
        } else if (argument.starts_with("--")) {
            return usage();
        } else {
            files.push_back(argument);
        }
    }
    if (files.size() != 2) return usage();
    const std::filesystem::path in = paths::pathFromUtf8(files[0]);
    const std::filesystem::path out = paths::pathFromUtf8(files[1]);
    try {
        const std::vector<std::uint8_t> original = dwg::readFileBytes(in);
        const convert::ExportResult result = convert::exportDrawing(original, choice);
        if (report && !writeReport(*report, result)) {
            std::cerr << "não foi possível gravar o relatório\n";
            return 1;
        }
        convert::writeWhole(out, result.bytes);
        for (const std::string& line : convert::exportMessages(result, choice))
            std::cerr << line << "\n";
        return 0;
    } catch (const dwg::Error& error) {
        std::cerr << files[0] << ": " << error.what() << "\n";
    } catch (const convert::ExportError& error) {
        std::cerr << files[0] << ": " << error.what() << "\n";
    }
    return 1;
}
