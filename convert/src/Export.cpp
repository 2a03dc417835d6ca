#include "convert/Export.h"

#include <dwg/DxfWriter.h>
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <platform/Files.h>
#include <render/Build.h>

#include <cmath>
#include <cstdio>
#include <string_view>

#include "PreviewImage.h"

namespace convert {
namespace {

void checkCancel(const std::atomic<bool>* cancel) {
    if (cancel && cancel->load()) throw ExportError("A gravação foi cancelada.");
}

std::string factorText(double factor) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", factor);
    std::string shown = text;
    for (char& c : shown)
        if (c == '.') c = ',';
    return shown;
}

// What a text draws, laid out by our renderer as it draws it, alone in a
// drawing with the same text styles.
std::optional<std::pair<dwg::Point2, dwg::Point2>> measuredText(const dwg::Drawing& drawing,
                                                                const dwg::MText& text) {
    dwg::Drawing alone;
    alone.textStyles = drawing.textStyles;
    constexpr dwg::Handle kLayer = 1, kModel = 2, kText = 3;
    alone.layers.push_back({kLayer, "0", dwg::Color::fromIndex(7), true, false, false, 0});
    dwg::Block model;
    model.handle = kModel;
    model.modelSpace = true;
    dwg::Entity entity;
    entity.typeName = "MTEXT";
    entity.header.handle = kText;
    entity.header.owner = kModel;
    entity.header.layer = kLayer;
    entity.data = text;
    model.entities.push_back(std::move(entity));
    alone.blocks.push_back(std::move(model));
    alone.header.modelSpaceBlock = kModel;
    const render::Box ink = render::buildModelSpace(alone).extents;
    if (ink.empty()) return std::nullopt;
    return std::pair{dwg::Point2{ink.minX, ink.minY}, dwg::Point2{ink.maxX, ink.maxY}};
}

std::vector<std::uint8_t> written(const dwg::Drawing& drawing, dwg::SaveFormat format,
                                  const std::atomic<bool>* cancel) {
    const dwg::Version version = dwg::formatVersion(format);
    if (dwg::isDxf(format)) {
        const std::string text = dwg::writeDxf(drawing, version);
        return {text.begin(), text.end()};
    }
    dwg::WriteOptions options;
    options.preview = previewImage(drawing, cancel);
    checkCancel(cancel);
    return dwg::writeDwg(drawing, version, options);
}

}  // namespace

std::vector<std::string> exportMessages(const ExportResult& result, const ExportChoice& choice) {
    std::vector<std::string> lines;
    if (result.unitsAsked) {
        const std::string asked(dwg::unitName(static_cast<int>(*choice.units)));
        if (!result.units.scaled)
            lines.push_back(
                "O bloco não tem unidades definidas: foi gravado no tamanho em que "
                "foi desenhado, não em " +
                asked + ".");
        else if (result.units.factor != 1)
            lines.push_back("Medidas convertidas de " +
                            std::string(dwg::unitName(result.units.from)) + " para " + asked +
                            " (escala " + factorText(result.units.factor) + ").");
    }
    for (std::string& line : dwg::reportLines(result.report)) lines.push_back(std::move(line));
    return lines;
}

ExportResult exportDrawing(std::span<const std::uint8_t> original, const ExportChoice& choice,
                           const std::atomic<bool>* cancel) {
    const std::string_view label = dwg::formatLabel(choice.format);
    try {
        dwg::Drawing drawing = dwg::read(original);
        checkCancel(cancel);
        ExportResult result;
        if (choice.units) {
            result.unitsAsked = true;
            result.units = dwg::changeUnits(drawing, *choice.units);
            checkCancel(cancel);
        }
        dwg::ConvertOptions options;
        options.multiLeadersAsParts = !dwg::isDxf(choice.format);
        options.measureText = [&drawing](const dwg::MText& text) {
            return measuredText(drawing, text);
        };
        dwg::Converted converted =
            dwg::convertForVersion(drawing, dwg::formatVersion(choice.format), options);
        checkCancel(cancel);
        result.report = std::move(converted.report);
        result.bytes = written(converted.drawing, choice.format, cancel);
        return result;
    } catch (const dwg::Error& error) {
        throw ExportError("Não foi possível ler o desenho do bloco: " + std::string(error.what()));
    } catch (const dwg::ConvertError& error) {
        throw ExportError("Não foi possível converter o desenho para o " + std::string(label) +
                          ": " + error.what());
    } catch (const dwg::WriteError& error) {
        throw ExportError("Não foi possível gravar o desenho no formato " + std::string(label) +
                          ": " + error.what());
    } catch (const std::bad_alloc&) {
        throw ExportError("O desenho é grande demais para ser convertido para o " +
                          std::string(label) + ".");
    }
}

void writeWhole(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    const ExportError failed("Não foi possível gravar o arquivo na pasta escolhida.");
    // A temporary name of our own: a file the user has there is never touched.
    std::error_code error;
    std::filesystem::path temporary;
    platform::File output;
    for (int attempt = 0; attempt < 100 && !output.isOpen(); ++attempt) {
        temporary = target;
        temporary += ".gravando-" + std::to_string(attempt);
        output = platform::File::createNew(temporary, error);
        if (!output.isOpen() && error != std::errc::file_exists) throw failed;
    }
    if (!output.isOpen()) throw failed;
    const bool whole =
        output.writeAll(bytes.data(), bytes.size(), error) && output.flushToDisk(error);
    if (!output.close(error) || !whole) {
        platform::removeFile(temporary, error);
        throw failed;
    }
    platform::renameReplacing(temporary, target, error);
    if (error) {
        std::error_code ignored;
        platform::removeFile(temporary, ignored);
        throw failed;
    }
    platform::flushFolder(target.parent_path());
}

}  // namespace convert
