// Writes the drawings of the demo library, drawn by our own code, and the
// description file of every package:
//
//   tessaly-demo-drawings <output folder>
//
// gives <output folder>/<n>/<block>.DWG for the 14 categories and
// <output folder>/<n>.txt in Windows-1252, ready for tessaly-pack.
#include <dwg/Writer.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "Catalogue.h"
#include "library/Library.h"

namespace {

namespace fs = std::filesystem;

// UTF-8 to Windows-1252; the descriptions hold Portuguese text only.
std::string windows1252(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        const int length = lead >= 0xE0 ? 3 : 2;
        char32_t c = lead & (length == 3 ? 0x0F : 0x1F);
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < utf8.size(); ++k)
            c = (c << 6) |
                (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(length);
        if (c == U'–')
            out += '\x96';
        else if (c >= 0xA0 && c <= 0xFF)
            out += static_cast<char>(c);
        else
            out += '?';
    }
    return out;
}

std::string description(const demo::DemoCategory& category) {
    const library::Category& row =
        library::categoryTable()[static_cast<std::size_t>(category.index)];
    std::string text = "Pacote de demonstração \"" + std::string(row.name) + "\"\r\n\r\n" +
                       std::to_string(category.blocks.size()) +
                       " blocos desenhados pelo Tessaly, em centímetros:\r\n";
    for (const demo::DemoBlock& block : category.blocks) text += "  – " + block.name + "\r\n";
    text += "\r\nTamanho anunciado: " + std::to_string(row.packageSizeMb) + " MB.\r\n";
    return windows1252(text);
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("não foi possível gravar " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "uso: tessaly-demo-drawings <pasta de saída>\n");
        return 2;
    }
    const fs::path output = library::pathFromUtf8(argv[1]);
    try {
        int drawings = 0;
        for (const demo::DemoCategory& category : demo::catalogue()) {
            const fs::path folder = output / std::to_string(category.index);
            fs::create_directories(folder);
            for (const demo::DemoBlock& block : category.blocks) {
                demo::Sketch sketch;
                block.draw(sketch);
                dwg::writeR2000(sketch.finish(),
                                folder / library::pathFromUtf8(block.name + ".DWG"));
                ++drawings;
            }
            writeFile(output / (std::to_string(category.index) + ".txt"), description(category));
        }
        std::printf("%d desenhos e %zu descrições em %s\n", drawings, demo::catalogue().size(),
                    argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
