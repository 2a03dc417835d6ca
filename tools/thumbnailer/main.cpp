// tessaly-thumbnailer -s SIZE IN OUT.png: the thumbnail of a DWG file for
// file managers (the freedesktop thumbnailer convention: the file manager
// names the input and the PNG to write). Exit status 0 when written, 1 when
// the file gives no picture (the file manager then shows the file's icon),
// 2 on a wrong command line.
#include <sys/resource.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "PictureJob.h"
#include "PngWriter.h"

namespace {

// Past these the system stops the process, whatever the code above does:
// a file manager runs thumbnailers unattended, often many at once.
constexpr rlim_t kAddressSpace = rlim_t{1} << 30;
constexpr rlim_t kCpuSeconds = 10;

int usage() {
    std::fputs("uso: tessaly-thumbnailer -s TAMANHO ARQUIVO.dwg MINIATURA.png\n", stderr);
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "tessaly-thumbnailer: %s\n", message.c_str());
    return 1;
}

void limitResources() {
#ifndef __SANITIZE_ADDRESS__  // its shadow memory takes terabytes of addresses
    const rlimit memory{kAddressSpace, kAddressSpace};
    setrlimit(RLIMIT_AS, &memory);
#endif
    const rlimit cpu{kCpuSeconds, kCpuSeconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
}

// The file's bytes, or false when it cannot be read or is larger than `limit`.
bool readAtMost(const char* path, std::size_t limit, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    while (in) {
        const std::size_t had = bytes.size();
        if (had > limit) return false;
        bytes.resize(had + kChunk);
        in.read(reinterpret_cast<char*>(bytes.data() + had), std::streamsize(kChunk));
        bytes.resize(had + static_cast<std::size_t>(in.gcount()));
    }
    return in.eof() && bytes.size() <= limit;
}

bool writePng(const render::Picture& picture, const char* path) {
    std::FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    bool ok = pngwriter::writeRgbPng(
        picture.pixels.data(), picture.width, picture.height, std::size_t(picture.width),
        [out, &ok](const unsigned char* data, std::size_t size) {
            if (std::fwrite(data, 1, size, out) != size) ok = false;
        });
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) std::remove(path);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 || std::string_view(argv[1]) != "-s") return usage();
    const std::string_view sizeText = argv[2];
    int side = 0;
    const auto [end, error] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), side);
    if (error != std::errc() || end != sizeText.data() + sizeText.size() || side <= 0)
        return usage();
    limitResources();

    const thumbnailer::PictureLimits limits;
    std::vector<std::uint8_t> file;
    if (!readAtMost(argv[3], limits.maxFileBytes, file))
        return fail(std::string("não foi possível ler o arquivo ou ele é grande demais: ") + argv[3]);
    thumbnailer::PictureJob job(std::move(file), side, limits);
    std::thread worker([&job] { job.run(); });
    const render::Picture picture = job.waitFor();
    worker.join();
    if (job.cutShort()) return fail(std::string("o desenho demorou demais: ") + argv[3]);
    if (picture.pixels.empty()) return fail(std::string("nenhuma imagem do desenho: ") + argv[3]);
    if (!writePng(picture, argv[4]))
        return fail(std::string("não foi possível gravar ") + argv[4] + ": " + std::strerror(errno));
    return 0;
}
