#include "DrawingThumbnail.h"

#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <render/Build.h>
#include <render/Painter.h>

#include <QBuffer>
#include <QImageReader>
#include <map>
#include <vector>

namespace browser {
namespace {

constexpr qint64 kMaxPreviewPixels = 4096LL * 4096LL;
constexpr double kRenderMargin = 0.04;  // as the library's own thumbnails
// A stored preview smaller than this, or of one colour only, shows nothing
// of the drawing: it is drawn instead.
constexpr int kMinPreviewSide = 16;

QImage previewImage(const dwg::PreviewImage& preview) {
    if (preview.format == dwg::PreviewImage::Format::Png) {
        QByteArray bytes(reinterpret_cast<const char*>(preview.bytes.data()),
                         static_cast<qsizetype>(preview.bytes.size()));
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, "png");
        reader.setAutoDetectImageFormat(false);
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > kMaxPreviewPixels) return {};
        return reader.read();
    }
    const dwg::Raster raster = dwg::decodeBitmap(preview.bytes);
    QImage image(raster.width, raster.height, QImage::Format_RGB32);
    for (int y = 0; y < raster.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint32_t* row =
            raster.pixels.data() + std::size_t(y) * std::size_t(raster.width);
        for (int x = 0; x < raster.width; ++x) line[x] = 0xFF000000u | row[x];
    }
    return image;
}

bool usable(const QImage& image) {
    if (image.width() < kMinPreviewSide || image.height() < kMinPreviewSide) return false;
    const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    const QRgb first = pixels.pixel(0, 0);
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            if (line[x] != first) return true;
    }
    return false;
}

bool nearColour(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
               std::abs(qBlue(a) - qBlue(b)) <=
           24;
}

}  // namespace

QImage onWhite(const QImage& preview) {
    QImage image = preview.convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) ++counts[line[x]];
    }
    if (counts.empty()) return image;
    const QRgb background =
        std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    if (qGray(background) >= 128) return image;  // already light
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int spread =
                std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)});
            if (nearColour(p, background)) {
                line[x] = qRgb(255, 255, 255);
            } else if (spread < 24) {
                const int grey = 255 - qGray(p);
                line[x] = qRgb(grey, grey, grey);
            }
        }
    }
    return image;
}

QImage drawingPicture(std::span<const std::uint8_t> drawing, const QSize& target,
                      PreviewLook look) {
    if (target.isEmpty()) return {};
    QImage image;
    try {
        if (const auto preview = dwg::readPreview(drawing)) image = previewImage(*preview);
    } catch (const std::exception&) {
        // A damaged image area leaves the render.
    }
    if (!usable(image)) {
        try {
            const render::DisplayList list = render::buildModelSpaceAsSaved(dwg::read(drawing));
            if (list.empty()) return {};
            return render::renderImage(list, target, Qt::white, kRenderMargin,
                                       render::thumbnailStyle(list));
        } catch (const std::exception&) {
            return {};
        }
    }
    if (look == PreviewLook::OnWhite) image = onWhite(image);
    const QSize fitted = image.size().scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return image.size() == fitted
               ? image
               : image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage drawingThumbnail(const library::Block& block, const QSize& target) {
    try {
        const std::vector<std::uint8_t> bytes = library::readBlockDrawing(block);
        return drawingPicture(bytes, target, PreviewLook::OnWhite);
    } catch (const library::DrawingUnavailable&) {
        return {};
    }
}

}  // namespace browser
