// Lists the named sections of an R2004-or-later drawing, or writes one
// section's decoded bytes to a file:  dwgsections FILE [SECTION OUTPUT]
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <vector>

#include "SectionContainer.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "uso: %s ARQUIVO.dwg [SEÇÃO SAÍDA]\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    try {
        const auto container = dwg::container::openSectionContainer(file);
        if (argc == 2) {
            for (const auto& entry : container->sections())
                std::printf("%-28s %10llu bytes %4zu pages\n", entry.name.c_str(),
                            static_cast<unsigned long long>(entry.size), entry.pageCount);
            return 0;
        }
        const auto data = container->read(argv[2]);
        std::ofstream out(argv[3], std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size()));
        return out ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
