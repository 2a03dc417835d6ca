#include "DrawingThumbnail.h"

#include <render/Thumbnail.h>

#include <vector>

namespace browser {

DrawingPicture drawingPicture(std::span<const std::uint8_t> drawing, const QSize& target) {
    if (target.isEmpty()) return {{}, QStringLiteral("tamanho de miniatura inválido")};
    const render::Thumbnail made =
        render::drawingThumbnail(drawing, target.width(), target.height());
    if (!made.ok()) return {{}, QString::fromStdString(made.error)};
    const render::Picture& picture = made.picture;
    return {QImage(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width,
                   picture.height, picture.width * 4, QImage::Format_RGB32)
                .copy(),
            {}};
}

QImage drawingThumbnail(const library::Block& block, const QSize& target) {
    try {
        const std::vector<std::uint8_t> bytes = library::readBlockDrawing(block);
        return drawingPicture(bytes, target).image;
    } catch (const library::DrawingUnavailable&) {
        return {};
    }
}

}  // namespace browser
