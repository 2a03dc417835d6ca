#include "DrawingThumbnail.h"

#include <archive/ZipReader.h>
#include <library/Library.h>
#include <render/Thumbnail.h>

#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace browser {
namespace {

// A drawing larger than this is left as a placeholder: the workers must not
// hold hundreds of megabytes for one tile.
constexpr std::uint64_t kMaxDrawingBytes = 64 * archive::kMiB;

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

}  // namespace

QImage drawingThumbnail(const std::filesystem::path& thumbnail, const QSize& target) {
    if (target.isEmpty()) return {};
    const std::filesystem::path category = thumbnail.parent_path().parent_path();
    const auto bytes = extractDrawing(library::drawingArchivePath(category, thumbnail));
    if (!bytes) return {};
    const render::Thumbnail made = render::drawingThumbnail(std::span<const std::uint8_t>(*bytes),
                                                            target.width(), target.height());
    if (!made.ok()) return {};
    const render::Picture& picture = made.picture;
    return QImage(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width,
                  picture.height, picture.width * 4, QImage::Format_RGB32)
        .copy();
}

}  // namespace browser
