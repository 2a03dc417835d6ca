// The preview image a CAD program stored in a drawing, and where the ink of
// a picture lies, for tests that compare our renders with those previews.
#pragma once

#include <dwg/Preview.h>

#include <QColor>
#include <QImage>
#include <QRectF>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace testsupport {

// The ink's box as fractions of the picture: ink is what differs from the
// picture's most common colour, as on the dark previews CAD programs draw.
inline QRectF inkBox(const QImage& image) {
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
    const QColor background =
        QColor::fromRgb(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                            return a.second < b.second;
                        })->first);
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) <=
                60)
                continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    if (right < 0) return {};
    return QRectF(double(left) / image.width(), double(top) / image.height(),
                  double(right + 1 - left) / image.width(),
                  double(bottom + 1 - top) / image.height());
}

// The preview a CAD program saved in the drawing, as an image.
inline QImage storedPreview(const std::filesystem::path& path) {
    const auto preview = dwg::readPreview(path);
    if (!preview) return {};
    if (preview->format == dwg::PreviewImage::Format::Png)
        return QImage::fromData(preview->bytes.data(), static_cast<int>(preview->bytes.size()))
            .convertToFormat(QImage::Format_RGB32);
    const dwg::Raster raster = dwg::decodeBitmap(preview->bytes);
    QImage image(raster.width, raster.height, QImage::Format_RGB32);
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x)
            image.setPixel(x, y, 0xFF000000u | raster.pixels[std::size_t(y * raster.width + x)]);
    return image;
}

}  // namespace testsupport
