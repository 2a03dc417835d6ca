// dwgrender [--size WxH] [--block NAME] IN.dwg OUT.png
// Renders model space (or the named block) zoomed to its extents with a 2 %
// margin on white. On failure: exit 1, one line on stderr, no PNG written.
#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Painter.h>

#include <QImage>
#include <QSaveFile>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr int kMaxSide = 16384;

int usage() {
    std::fputs("uso: dwgrender [--size LxA] [--block NOME] ENTRADA.dwg SAIDA.png\n", stderr);
    return 2;
}

bool parseSize(std::string_view text, int& width, int& height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    const auto number = [](std::string_view part, int& value) {
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        return error == std::errc() && end == part.data() + part.size() && value > 0 &&
               value <= kMaxSide;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

int fail(const std::string& reason) {
    std::fprintf(stderr, "dwgrender: %s\n", reason.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int width = 1024, height = 724;
    std::string blockName;
    bool blockGiven = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (!parseSize(argv[++i], width, height)) return usage();
        } else if (arg == "--block" && i + 1 < argc) {
            blockName = argv[++i];
            blockGiven = true;
        } else if (arg.starts_with("--")) {
            return usage();
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.size() != 2) return usage();

    dwg::Drawing drawing;
    try {
        drawing = dwg::read(std::filesystem::path(files[0]));
    } catch (const dwg::Error& error) {
        return fail(error.what());
    } catch (const std::exception& error) {
        return fail(std::string("falha ao ler o desenho: ") + error.what());
    }
    render::DisplayList list;
    if (blockGiven) {
        const dwg::Block* block = render::findBlockByName(drawing, blockName);
        if (!block) return fail("bloco não encontrado: " + blockName);
        list = render::buildDisplayList(drawing, *block);
    } else {
        list = render::buildModelSpace(drawing);
    }
    const QImage image = render::renderImage(list, QSize(width, height));
    QSaveFile out(QString::fromStdString(files[1]));
    // Middling compression: a third faster than the default, a few percent larger.
    constexpr int kPngQuality = 50;
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG", kPngQuality) || !out.commit())
        return fail("não foi possível gravar " + files[1]);
    return 0;
}
