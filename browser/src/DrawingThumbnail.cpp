#include "DrawingThumbnail.h"

#include <archive/ZipReader.h>
#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <library/Library.h>
#include <render/Build.h>
#include <render/Painter.h>

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <vector>

namespace browser {
namespace {

// A drawing larger than this is left as a placeholder: the workers must not
// hold hundreds of megabytes for one tile.
constexpr std::uint64_t kMaxDrawingBytes = 64 * archive::kMiB;
constexpr qint64 kMaxPreviewPixels = 4096LL * 4096LL;
constexpr double kRenderMargin = 0.04;  // as the library's own thumbnails

// The drawing's bytes, extracted from its archive into a folder of our own.
std::optional<std::vector<std::uint8_t>> extractDrawing(const std::filesystem::path& archiveFile) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(archiveFile, error)) return std::nullopt;
    QTemporaryDir folder;
    if (!folder.isValid()) return std::nullopt;
    // A reader of this worker's own: the program's reader serves the user's runs.
    archive::ZipReader reader;
    std::optional<archive::ZipLease> lease = reader.tryLease();
    if (!lease) return std::nullopt;
    archive::ExtractOptions options;
    options.destination = std::filesystem::path(folder.path().toStdString());
    options.password = std::string(library::kArchivePassword);
    options.mask = "*.DWG";
    options.writeAs = "desenho.dwg";
    options.maxMemberSize = kMaxDrawingBytes;
    try {
        lease->open(archiveFile);
        const archive::ExtractResult result = lease->extract(options);
        if (result.written.empty()) return std::nullopt;
        std::ifstream in(result.written.front(), std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>());
    } catch (const archive::ZipError&) {
        return std::nullopt;
    }
}

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

QImage drawingThumbnail(const std::filesystem::path& thumbnail, const QSize& target) {
    if (target.isEmpty()) return {};
    const std::filesystem::path category = thumbnail.parent_path().parent_path();
    const auto bytes = extractDrawing(library::drawingArchivePath(category, thumbnail));
    if (!bytes) return {};
    const std::span<const std::uint8_t> drawingBytes(*bytes);
    QImage image;
    try {
        if (const auto preview = dwg::readPreview(drawingBytes))
            image = onWhite(previewImage(*preview));
    } catch (const dwg::Error&) {
        // A damaged image area leaves the render.
    }
    if (image.isNull()) {
        try {
            const render::DisplayList list =
                render::buildModelSpaceAsSaved(dwg::read(drawingBytes));
            if (list.empty()) return {};
            return render::renderImage(list, target, Qt::white, kRenderMargin,
                                       render::thumbnailStyle(list));
        } catch (const dwg::Error&) {
            return {};
        }
    }
    const QSize fitted = image.size().scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return image.size() == fitted
               ? image
               : image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace browser
