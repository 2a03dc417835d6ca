#include "Thumbnail.h"

#include <render/Build.h>
#include <render/Painter.h>

#include <QBuffer>
#include <stdexcept>

namespace pack {
namespace {

constexpr double kMargin = 0.04;  // of each side, so that no line touches the tile's border

}  // namespace

std::vector<std::uint8_t> renderThumbnail(const dwg::Drawing& drawing) {
    const render::DisplayList list = render::buildModelSpaceAsSaved(drawing);
    const QImage image = render::renderImage(list, QSize(kThumbnailWidth, kThumbnailHeight),
                                             Qt::white, kMargin, render::thumbnailStyle(list));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) throw std::runtime_error("não foi possível gerar a miniatura");
    return {png.begin(), png.end()};
}

}  // namespace pack
