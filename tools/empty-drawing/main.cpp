// Writes the empty drawing that the preview loads to blank its viewer.
//
//   tessaly-empty-drawing <file>
#include <dwg/Writer.h>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "uso: tessaly-empty-drawing <arquivo.dwg>\n");
        return 2;
    }
    try {
        dwg::writeR2000(dwg::Drawing{}, argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
