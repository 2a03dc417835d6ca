#include "SaveTypes.h"

#include <library/SmallFile.h>

#include <string>
#include <string_view>

namespace browser {
namespace {

// The file is two short lines; anything longer is not ours.
constexpr std::uint64_t kMaxRememberedSize = 256;

std::string_view lineValue(std::string_view text, std::string_view key) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=')
            return line.substr(key.size() + 1);
        start = end + 1;
    }
    return {};
}

}  // namespace

const std::vector<SaveType>& saveTypes() {
    static const std::vector<SaveType> types = [] {
        std::vector<SaveType> list{{QStringLiteral("*.DWG"), QStringLiteral("*.DWG *.dwg"),
                                    QStringLiteral(".DWG"), std::nullopt}};
        for (dwg::SaveFormat format : dwg::kSaveFormats) {
            const bool dxf = dwg::isDxf(format);
            const QString label =
                QString::fromUtf8(dwg::formatLabel(format).data(),
                                  static_cast<qsizetype>(dwg::formatLabel(format).size()));
            list.push_back({label + (dxf ? QStringLiteral(" (*.dxf)") : QStringLiteral(" (*.dwg)")),
                            dxf ? QStringLiteral("*.dxf *.DXF") : QStringLiteral("*.dwg *.DWG"),
                            dxf ? QStringLiteral(".dxf") : QStringLiteral(".dwg"), format});
        }
        return list;
    }();
    return types;
}

QString nameFilter(const SaveType& type) {
    // The dialog hides the last parentheses: what shows is the label.
    return type.label + QStringLiteral(" (") + type.pattern + QLatin1Char(')');
}

const SaveType& saveTypeOfFilter(const QString& filter) {
    for (const SaveType& type : saveTypes())
        if (filter == nameFilter(type) || filter == type.label) return type;
    return saveTypes().front();
}

const std::vector<UnitsChoice>& unitsChoices() {
    static const std::vector<UnitsChoice> choices{
        {QStringLiteral("Como no bloco"), std::nullopt},
        {QStringLiteral("Milímetros (mm)"), dwg::LengthUnit::Millimetres},
        {QStringLiteral("Centímetros (cm)"), dwg::LengthUnit::Centimetres},
        {QStringLiteral("Metros (m)"), dwg::LengthUnit::Metres},
        {QStringLiteral("Polegadas (in)"), dwg::LengthUnit::Inches},
        {QStringLiteral("Pés (ft)"), dwg::LengthUnit::Feet},
    };
    return choices;
}

std::optional<convert::ExportChoice> RememberedExport::choice() const {
    if (!format) return std::nullopt;
    return convert::ExportChoice{*format, units};
}

std::filesystem::path rememberedExportFile(const std::filesystem::path& programFolder) {
    return programFolder / "tessaly.exportar";
}

RememberedExport readRememberedExport(const std::filesystem::path& file) {
    const std::optional<std::string> text = library::readRegularFile(file, kMaxRememberedSize);
    if (!text) return {};
    RememberedExport remembered;
    remembered.format = dwg::formatFromKey(lineValue(*text, "formato"));
    remembered.units = dwg::unitFromKey(lineValue(*text, "unidades"));
    return remembered;
}

bool writeRememberedExport(const std::filesystem::path& file, const RememberedExport& choice) {
    std::string text = "formato=";
    text += choice.format ? dwg::formatKey(*choice.format) : std::string_view("original");
    text += "\nunidades=";
    text += choice.units ? dwg::unitKey(*choice.units) : std::string_view("bloco");
    text += "\n";
    return library::writeFileDurably(file, text);
}

}  // namespace browser
