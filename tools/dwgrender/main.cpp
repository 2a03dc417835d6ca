// dwgrender [--size WxH] [--block NAME] [--view extents|saved|direction]
//           [--style wireframe|hidden|shaded|saved] IN.dwg OUT.png
// Renders model space (or the named block) zoomed to its extents with a 2 %
// margin on white; with --view saved, model space as the drawing was last
// shown: the active viewport's direction, twist and window, fitted whole into
// the image (the extents when the file keeps no view), or, where model space
// was split into tiled viewports, each of them in its rectangle of the image
// with its own view and (with --style saved) its own look; with --view direction,
// from the saved direction and twist, zoomed to its extents, as the preview
// window opens a drawing. --style draws 3D objects as wires (the default),
// with hidden lines, shaded, or as the drawing was saved. On failure: exit 1,
// one line on stderr, no PNG written. A drawing too large to build whole is
// drawn in part, said in one line on stderr.
#include <PngWriter.h>
#include <dwg/Reader.h>
#include <paths/Utf8Path.h>
#include <platform/CommandLine.h>
#include <render/Build.h>
#include <render/Painter.h>
#include <render/SavedLayout.h>

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kMaxSide = 16384;

int usage() {
    std::fputs(
        "uso: dwgrender [--size LxA] [--block NOME] [--view extents|saved|direction]\n"
        "               [--style wireframe|hidden|shaded|saved] ENTRADA.dwg SAIDA.png\n",
        stderr);
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

// The PNG file's bytes, appended to `out`; false when libpng fails. Qt's own
// PNG writer converts the image, tries every row filter and compresses hard:
// 13-17 ms for a 1024 x 724 render, a fifth of the whole run; the tools'
// writer takes 4-5 ms.
bool encodePng(const QImage& image, QByteArray& out) {
    const QImage rgb32 = image.convertToFormat(QImage::Format_RGB32);  // shared when it is already
    return pngwriter::writeRgbPng(
        reinterpret_cast<const std::uint32_t*>(rgb32.constBits()), rgb32.width(), rgb32.height(),
        static_cast<std::size_t>(rgb32.bytesPerLine()) / 4,
        [&out](const unsigned char* data, std::size_t size) {
            out.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
        });
}

}  // namespace

int main(int argc, char** argv) {
    platform::useUtf8Console();
    const std::vector<std::string> args = platform::utf8Arguments(argc, argv);
    int width = 1024, height = 724;
    std::string blockName;
    bool blockGiven = false;
    enum class Framing { Extents, Saved, SavedDirection };
    Framing framing = Framing::Extents;
    render::VisualStyle style = render::VisualStyle::Wireframe;
    bool styleAsSaved = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = args[i];
        if (arg == "--size" && i + 1 < argc) {
            if (!parseSize(args[++i], width, height)) return usage();
        } else if (arg == "--block" && i + 1 < argc) {
            blockName = args[++i];
            blockGiven = true;
        } else if (arg == "--view" && i + 1 < argc) {
            const std::string_view which = args[++i];
            if (which == "saved")
                framing = Framing::Saved;
            else if (which == "direction")
                framing = Framing::SavedDirection;
            else if (which != "extents")
                return usage();
        } else if (arg == "--style" && i + 1 < argc) {
            const std::string_view which = argv[++i];
            if (which == "wireframe")
                style = render::VisualStyle::Wireframe;
            else if (which == "hidden")
                style = render::VisualStyle::Hidden;
            else if (which == "shaded")
                style = render::VisualStyle::Shaded;
            else if (which == "saved")
                styleAsSaved = true;
            else
                return usage();
        } else if (arg.starts_with("--")) {
            return usage();
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.size() != 2 || (framing != Framing::Extents && blockGiven)) return usage();

    dwg::Drawing drawing;
    try {
        drawing = dwg::read(paths::pathFromUtf8(files[0]));
    } catch (const dwg::Error& error) {
        return fail(error.what());
    } catch (const std::exception& error) {
        return fail(std::string("falha ao ler o desenho: ") + error.what());
    }
    const render::VisualStyle look = styleAsSaved ? render::savedVisualStyle(drawing) : style;
    render::DisplayList list;
    QImage image;
    if (blockGiven) {
        const dwg::Block* block = render::findBlockByName(drawing, blockName);
        if (!block) return fail("bloco não encontrado: " + blockName);
        list = render::buildDisplayList(drawing, *block);
    } else if (framing == Framing::Extents) {
        list = render::buildModelSpace(drawing);
    } else if (framing == Framing::Saved && drawing.activeView) {
        // Each viewport of the window, tiled or not, in its rectangle; the
        // current one's list says what was left out.
        image = QImage(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const std::vector<render::SavedPane> panes = render::savedPanes(drawing, width, height);
        std::vector<render::DisplayList> lists;  // one a direction, as the panes want them
        std::vector<render::Projection> directions;
        for (const render::SavedPane& pane : panes) {
            if (pane.empty()) continue;
            auto known = std::find(directions.begin(), directions.end(), pane.projection);
            if (known == directions.end()) {
                render::BuildOptions options;
                options.projection = pane.projection;
                lists.push_back(render::buildModelSpace(drawing, options));
                directions.push_back(pane.projection);
                known = directions.end() - 1;
            }
            const render::DisplayList& shown = lists[std::size_t(known - directions.begin())];
            painter.save();
            painter.translate(pane.left, pane.top);
            painter.setClipRect(QRectF(0, 0, pane.width, pane.height));
            render::paint(painter, shown, render::savedWindow(*pane.view, pane.width, pane.height),
                          Qt::white, styleAsSaved ? pane.style : style);
            painter.restore();
            if (pane.current) list = shown;
        }
        render::paintPaneBorders(painter, panes);
    } else {
        list = render::buildModelSpaceAsSaved(drawing);
    }
    if (image.isNull())
        image = render::renderImage(list, QSize(width, height), Qt::white, 0.02, look);
    QByteArray png;
    if (!encodePng(image, png)) return fail("não foi possível codificar a imagem PNG");
    QSaveFile out(QString::fromStdString(files[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(png) != png.size() || !out.commit())
        return fail("não foi possível gravar " + files[1]);
    // A bounded build still makes a picture: written, and said; so do faces
    // shown by their edges alone.
    if (list.report.simplified())
        std::fprintf(stderr, "%.*s\n", static_cast<int>(render::kSimplifiedNotice.size()),
                     render::kSimplifiedNotice.data());
    if (list.report.bodiesUndecoded > 0)
        std::fprintf(stderr, "%s\n",
                     render::bodiesUndecodedNotice(list.report.bodiesUndecoded).c_str());
    if (list.report.surfacesFailed > 0 && !list.report.surfaceErrors.empty())
        std::fprintf(stderr, "%.*s%s\n", static_cast<int>(render::kFacesLeftOutNotice.size()),
                     render::kFacesLeftOutNotice.data(), list.report.surfaceErrors.front().c_str());
    return 0;
}
