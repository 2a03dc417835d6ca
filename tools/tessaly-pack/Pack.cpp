#include "Pack.h"

#include <convert/Export.h>
#include <dwg/Reader.h>

#include <algorithm>
#include <fstream>
#include <system_error>

#include "archive/ZipWriter.h"
#include "library/Library.h"
#include "paths/WindowsNames.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

bool hasDwgExtension(const fs::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".dwg";
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::uint8_t> readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.eof() && in.fail()) throw std::runtime_error("não foi possível ler o arquivo");
    return bytes;
}

}  // namespace

PackedCategory packDrawings(const fs::path& folder, std::time_t entryTime,
                            const Thumbnailer& thumbnail, const Progress& progress,
                            std::optional<dwg::SaveFormat> release) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && hasDwgExtension(entry.path())) files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return library::pathToUtf8(a.filename()) < library::pathToUtf8(b.filename());
    });

    PackedCategory result;
    std::vector<std::string> taken;  // lower-case names: Windows folders ignore case
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path& file = files[i];
        const std::string name = library::pathToUtf8(file.stem());
        if (progress) progress(i, files.size(), library::pathToUtf8(file.filename()));
        if (const std::string problem = paths::windowsNameProblem(name); !problem.empty()) {
            result.skipped.push_back({file, problem});
            continue;
        }
        if (std::find(taken.begin(), taken.end(), lower(name)) != taken.end()) {
            result.skipped.push_back({file, "outro desenho já tem esse nome"});
            continue;
        }
        try {
            std::vector<std::uint8_t> bytes = readFile(file);
            const dwg::Drawing drawing = dwg::read(std::span<const std::uint8_t>(bytes));
            PackedBlock block;
            block.name = name;
            if (release) {
                const convert::ExportChoice choice{*release, std::nullopt};
                convert::ExportResult converted = convert::exportDrawing(bytes, choice);
                bytes = std::move(converted.bytes);
                block.converted = convert::exportMessages(converted, choice);
            }
            block.thumbnail = thumbnail(drawing);
            archive::ZipWriter blockArchive(entryTime, std::string(library::kArchivePassword));
            blockArchive.addFile(name + ".DWG", bytes);
            block.archive = blockArchive.finish();
            result.blocks.push_back(std::move(block));
            taken.push_back(lower(name));
        } catch (const std::exception& error) {
            result.skipped.push_back({file, error.what()});
        }
    }
    return result;
}

std::vector<std::uint8_t> packageArchive(int category, const std::vector<PackedBlock>& blocks,
                                         std::time_t entryTime) {
    const std::string top = std::to_string(category) + "/";
    archive::ZipWriter package(entryTime, std::string(library::kArchivePassword));
    package.addFolder(top);
    package.addFolder(top + "IMG/");
    for (const PackedBlock& block : blocks)
        package.addFile(top + "IMG/" + block.name + ".PNG", block.thumbnail);
    package.addFolder(top + "DWG/");
    for (const PackedBlock& block : blocks)
        package.addFile(top + "DWG/" + block.name + ".DWG.zip", block.archive);
    return package.finish();
}

void writeFileAtomically(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    fs::path temporary = file;
    temporary += ".tmp-tessaly-pack";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw std::runtime_error("não foi possível gravar " + library::pathToUtf8(file));
        }
    }
    fs::rename(temporary, file);
}

void installBlocks(const fs::path& programFolder, int category,
                   const std::vector<PackedBlock>& blocks) {
    const library::Layout layout(programFolder);
    const fs::path folder = layout.categoryFolder(category);
    const fs::path images = library::imgFolder(folder);
    const fs::path drawings = library::dwgFolder(folder);
    fs::create_directories(images);
    fs::create_directories(drawings);
    for (const PackedBlock& block : blocks) {
        writeFileAtomically(images / library::pathFromUtf8(block.name + ".PNG"), block.thumbnail);
        writeFileAtomically(drawings / library::pathFromUtf8(block.name + ".DWG.zip"),
                            block.archive);
    }
}

}  // namespace pack
