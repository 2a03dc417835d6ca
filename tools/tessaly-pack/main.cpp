// The publisher's package builder.
//
//   tessaly-pack [--output PASTA] [--install PASTA_DO_PROGRAMA] <n> <pasta de desenhos>
//
// Renders each drawing's thumbnail, makes its block archive and writes the
// package <n>.zip into the output folder, ready for the server's blocos/
// folder, or installs the blocks straight into <program folder>/Blocos/<n>.
// Drawings that cannot be read are named on stderr and left out. Exit
// status: 0 everything packed, 1 packed with drawings left out, 2 nothing
// written (wrong arguments or an output that cannot be written).
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "Pack.h"
#include "Thumbnail.h"
#include "library/Library.h"

namespace {

namespace fs = std::filesystem;

int usage() {
    std::fputs(
        "uso: tessaly-pack [--output PASTA] [--install PASTA_DO_PROGRAMA] <n> <pasta de desenhos>\n"
        "  n: categoria de 0 a 13; o pacote fica em PASTA/<n>.zip\n",
        stderr);
    return 2;
}

// A bar on the terminal; nothing when stderr is a file or a pipe.
void showProgress(std::size_t index, std::size_t count, const std::string& name) {
    constexpr int kWidth = 30;
    const int filled = count ? static_cast<int>(kWidth * index / count) : kWidth;
    std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu %s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), index + 1, count, name.c_str());
}

std::time_t entryTime() {
    // Reproducible builds set SOURCE_DATE_EPOCH; zip times start in 1980.
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        long long seconds = 0;
        const char* end = epoch + std::strlen(epoch);
        if (std::from_chars(epoch, end, seconds).ptr == end && seconds >= 315532800)
            return static_cast<std::time_t>(seconds);
    }
    return pack::kDefaultEntryTime;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<fs::path> output;
    std::optional<fs::path> install;
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--output" && i + 1 < argc)
            output = library::pathFromUtf8(argv[++i]);
        else if (arg == "--install" && i + 1 < argc)
            install = library::pathFromUtf8(argv[++i]);
        else if (arg.starts_with("--"))
            return usage();
        else
            operands.emplace_back(arg);
    }
    int category = -1;
    if (operands.size() != 2 || (!output && !install)) return usage();
    const auto [end, error] =
        std::from_chars(operands[0].data(), operands[0].data() + operands[0].size(), category);
    if (error != std::errc() || end != operands[0].data() + operands[0].size() || category < 0 ||
        category >= library::kCategoryCount)
        return usage();
    const fs::path drawings = library::pathFromUtf8(operands[1]);
    if (!fs::is_directory(drawings)) {
        std::fprintf(stderr, "tessaly-pack: a pasta %s não existe\n", operands[1].c_str());
        return 2;
    }

    const bool terminal = isatty(STDERR_FILENO);
    const std::time_t time = entryTime();
    pack::PackedCategory packed;
    try {
        packed = pack::packDrawings(drawings, time, pack::renderThumbnail,
                                    terminal ? pack::Progress(showProgress) : pack::Progress());
        if (terminal) std::fputs("\r\033[K", stderr);
        for (const pack::SkippedDrawing& skipped : packed.skipped)
            std::fprintf(stderr, "tessaly-pack: %s deixado de fora: %s\n",
                         library::pathToUtf8(skipped.file).c_str(), skipped.reason.c_str());
        if (output) {
            fs::create_directories(*output);
            pack::writeFileAtomically(*output / library::packageName(category),
                                      pack::packageArchive(category, packed.blocks, time));
        }
        if (install) pack::installBlocks(*install, category, packed.blocks);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tessaly-pack: %s\n", failure.what());
        return 2;
    }
    std::printf("categoria %d: %zu blocos, %zu deixados de fora\n", category, packed.blocks.size(),
                packed.skipped.size());
    return packed.skipped.empty() ? 0 : 1;
}
