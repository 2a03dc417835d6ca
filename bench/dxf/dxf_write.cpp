// Reads DWG drawings and writes each as DXF: the command the DXF writer's
// speed is measured by, whole process, against other converters.
//   dxf_write [--drop-unwritable] 2000|2018 OUTPUT-FOLDER DRAWING.dwg...
// --drop-unwritable leaves out what the writer refuses to guess at (entities
// not decoded, ACIS data in the other form), saying how many on stderr.
// Each drawing becomes OUTPUT-FOLDER/<name>.dxf; one that cannot be read or
// written is named on stderr with the reason, and the exit status is 1.
#include <dwg/DxfWriter.h>
#include <dwg/Reader.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "WritableDrawing.h"

int main(int argc, char** argv) {
    const bool drop = argc > 1 && std::strcmp(argv[1], "--drop-unwritable") == 0;
    if (drop) {
        --argc;
        ++argv;
    }
    if (argc < 4 || (std::strcmp(argv[1], "2000") != 0 && std::strcmp(argv[1], "2018") != 0)) {
        std::cerr << "uso: dxf_write [--drop-unwritable] 2000|2018 PASTA-DE-SAÍDA DESENHO.dwg...\n";
        return 2;
    }
    const dwg::Version version =
        std::strcmp(argv[1], "2000") == 0 ? dwg::Version::R2000 : dwg::Version::R2018;
    const std::filesystem::path folder = argv[2];
    int status = 0;
    for (int i = 3; i < argc; ++i) {
        const std::filesystem::path input = argv[i];
        try {
            dwg::Drawing drawing = dwg::read(input);
            if (drop)
                if (const int dropped = benchsupport::dropUnwritable(drawing, version))
                    std::cerr << input.string() << ": " << dropped << " entidades deixadas de fora\n";
            const std::string text = dwg::writeDxf(drawing, version);
            const std::filesystem::path output = folder / input.filename().replace_extension(".dxf");
            std::ofstream out(output, std::ios::binary);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            if (!out.flush()) throw std::runtime_error("não foi possível gravar " + output.string());
        } catch (const std::exception& error) {
            std::cerr << input.string() << ": " << error.what() << "\n";
            status = 1;
        }
    }
    return status;
}
