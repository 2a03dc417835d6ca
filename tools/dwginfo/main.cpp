// dwginfo: what a DWG file holds, for checking the reader against other tools.
//   dwginfo [--json] FILE
//   dwginfo --preview OUT.png FILE    the file's own preview image, as PNG
#include <PngWriter.h>
#include <acis/Model.h>
#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <paths/Utf8Path.h>
#include <platform/CommandLine.h>
#include <platform/Files.h>

#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace {

using Histogram = std::map<std::string, int>;

std::string number(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string point(const std::optional<dwg::Point3>& p) {
    if (!p) return "null";
    return "[" + number(p->x) + ", " + number(p->y) + ", " + number(p->z) + "]";
}

void add(Histogram& into, const Histogram& from) {
    for (const auto& [name, n] : from) into[name] += n;
}

struct Summary {
    Histogram modelSpace;
    Histogram paperSpace;
    std::map<std::string, Histogram> blocks;
};

Summary summarise(const dwg::Drawing& drawing) {
    Summary summary;
    for (const dwg::Block& block : drawing.blocks) {
        const Histogram counts = dwg::countEntityTypes(block);
        if (block.modelSpace)
            add(summary.modelSpace, counts);
        else if (block.paperSpace)
            add(summary.paperSpace, counts);
        else
            add(summary.blocks[block.name], counts);
    }
    return summary;
}

// Model space's REGION, 3DSOLID and BODY entities whose ACIS model decodes,
// and the face and edge records in those models. The others join the
// skipped entities.
struct SolidCounts {
    int bodies = 0;
    std::size_t faces = 0;
    std::size_t edges = 0;
    std::size_t storedWires = 0;  // of every body, decoded or not
    Histogram skipped;
};

SolidCounts countSolids(const dwg::Drawing& drawing) {
    SolidCounts counts;
    counts.skipped = drawing.skippedEntities;
    const dwg::Block* model = drawing.modelSpace();
    if (!model) return counts;
    for (const dwg::Entity& entity : model->entities) {
        const auto* data = std::get_if<dwg::AcisData>(&entity.data);
        if (!data) continue;
        counts.storedWires += data->wires.size();
        try {
            const acis::Model decoded = acis::decode(data->bytes);
            ++counts.bodies;
            counts.faces += decoded.faces.size();
            counts.edges += decoded.edges.size();
        } catch (const acis::Error&) {
            ++counts.skipped[entity.typeName];
        }
    }
    return counts;
}

nlohmann::ordered_json pointJson(const std::optional<dwg::Point3>& p) {
    if (!p) return nullptr;
    return {p->x, p->y, p->z};
}

void printJson(const dwg::Drawing& drawing) {
    const Summary summary = summarise(drawing);
    nlohmann::ordered_json out;
    out["version"] = std::string(dwg::versionCode(drawing.version));
    out["extmin"] = pointJson(drawing.header.extentsMin);
    out["extmax"] = pointJson(drawing.header.extentsMax);
    out["modelspace"] = summary.modelSpace;
    out["paperspace"] = summary.paperSpace;
    out["blocks"] = summary.blocks;
    const SolidCounts solids = countSolids(drawing);
    out["solids"] = {{"bodies", solids.bodies},
                     {"faces", solids.faces},
                     {"edges", solids.edges},
                     {"stored wires", solids.storedWires}};
    out["skipped"] = solids.skipped;
    out["damaged"] = drawing.damagedObjects;
    // Names come from the file; a broken byte sequence must not stop the report.
    std::cout << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

void printView(const char* title, const dwg::SavedView& view) {
    std::cout << title << ": centre " << number(view.centre.x) << ", " << number(view.centre.y)
              << " height " << number(view.height) << " aspect " << number(view.aspect)
              << " target " << point(view.target) << " direction " << point(view.direction)
              << " twist " << number(view.twist)
              << (view.perspective ? " perspective lens " + number(view.lensLength) : "")
              << " render mode " << view.renderMode
              << (view.visualStyleProperties
                      ? " visual style \"" + view.visualStyleProperties->name + "\""
                      : "")
              << " window " << number(view.lowerLeft.x) << ", " << number(view.lowerLeft.y)
              << " to " << number(view.upperRight.x) << ", " << number(view.upperRight.y) << "\n";
}

void printText(const dwg::Drawing& drawing) {
    const Summary summary = summarise(drawing);
    std::cout << "version: " << dwg::versionCode(drawing.version) << "\n"
              << "extmin: " << point(drawing.header.extentsMin) << "\n"
              << "extmax: " << point(drawing.header.extentsMax) << "\n"
              << "ltscale: " << number(drawing.header.linetypeScale) << "\n"
              << "pdmode: " << drawing.header.pointDisplayMode << "\n"
              << "pdsize: " << number(drawing.header.pointDisplaySize) << "\n"
              << "layers: " << drawing.layers.size() << "\n"
              << "tilemode: " << drawing.header.tileMode << "\n";
    if (const auto& view = drawing.activeView) printView("view", *view);
    for (const dwg::SavedView& tile : drawing.tiledViews) printView("tile", tile);
    auto list = [](const char* title, const Histogram& counts) {
        std::cout << title << ":\n";
        for (const auto& [name, n] : counts) std::cout << "  " << name << " " << n << "\n";
    };
    list("model space", summary.modelSpace);
    list("paper space", summary.paperSpace);
    for (const auto& [name, counts] : summary.blocks) list(("block " + name).c_str(), counts);
    const SolidCounts solids = countSolids(drawing);
    std::cout << "solids: " << solids.bodies << " bodies, " << solids.faces << " faces, "
              << solids.edges << " edges, " << solids.storedWires << " stored wires\n";
    list("skipped", solids.skipped);
    std::cout << "damaged: " << drawing.damagedObjects << "\n";
}

// Writes the bitmap as a PNG file; false when libpng or the file fails.
bool writePng(const dwg::Raster& raster, platform::File& out) {
    bool written = true;
    std::error_code error;
    const bool encoded = pngwriter::writeRgbPng(
        raster.pixels.data(), raster.width, raster.height, static_cast<std::size_t>(raster.width),
        [&](const unsigned char* data, std::size_t size) {
            written = written && out.writeAll(data, size, error);
        });
    return encoded && written;
}

int savePreview(const std::string& file, const std::string& output) {
    std::optional<dwg::PreviewImage> preview;
    std::optional<dwg::Raster> bitmap;
    try {
        preview = dwg::readPreview(paths::pathFromUtf8(file));
        if (preview && preview->format == dwg::PreviewImage::Format::Bitmap)
            bitmap = dwg::decodeBitmap(preview->bytes);
    } catch (const dwg::Error& error) {
        std::cerr << file << ": " << error.what() << "\n";
        return 1;
    }
    if (!preview) {
        std::cerr << file << ": o desenho não tem imagem de visualização\n";
        return 1;
    }
    const std::filesystem::path outputPath = paths::pathFromUtf8(output);
    std::error_code error;
    platform::File out =
        platform::File::openForWriting(outputPath, platform::File::Start::Emptied, error);
    if (!out.isOpen()) {
        std::cerr << "não foi possível gravar " << output << "\n";
        return 1;
    }
    bool written = bitmap ? writePng(*bitmap, out)
                          : out.writeAll(preview->bytes.data(), preview->bytes.size(), error);
    written = out.close(error) && written;
    if (!written) {
        platform::removeFile(outputPath, error);  // ours, and no use half-written
        std::cerr << "não foi possível gravar " << output << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::useUtf8Console();
    const std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    bool json = false;
    std::optional<std::string> file;
    std::optional<std::string> preview;
    for (int i = 1; i < argc; ++i) {
        const std::string& argument = arguments[static_cast<std::size_t>(i)];
        if (argument == "--json")
            json = true;
        else if (argument == "--preview" && i + 1 < argc)
            preview = arguments[static_cast<std::size_t>(++i)];
        else if (!file)
            file = argument;
        else
            file.reset(), i = argc;
    }
    if (!file) {
        std::cerr << "uso: dwginfo [--json] ARQUIVO.dwg\n"
                     "     dwginfo --preview SAIDA.png ARQUIVO.dwg\n";
        return 2;
    }
    if (preview) return savePreview(*file, *preview);
    try {
        const dwg::Drawing drawing = dwg::read(paths::pathFromUtf8(*file));
        if (json)
            printJson(drawing);
        else
            printText(drawing);
    } catch (const dwg::Error& error) {
        std::cerr << *file << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
