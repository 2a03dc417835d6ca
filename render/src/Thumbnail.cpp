#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <render/Thumbnail.h>

#include <new>
#include <optional>

#include "PreviewPicture.h"

namespace render {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

struct Failure {
    std::string message;
};

void checkCancelled(const ThumbnailOptions& options) {
    if (options.cancel && options.cancel->load(std::memory_order_relaxed))
        throw Failure{"miniatura cancelada"};
}

// Where the saved window shows none of the drawing (its author panned away
// before saving) the whole drawing is drawn instead of an empty picture.
View viewOf(const dwg::Drawing& drawing, const DisplayList& list, int width, int height,
            double margin) {
    if (drawing.activeView) {
        const View saved = savedWindow(*drawing.activeView, width, height);
        const Box shown = saved.visibleWorld();
        const Box& drawn = list.extents;
        if (drawn.minX <= shown.maxX && shown.minX <= drawn.maxX && drawn.minY <= shown.maxY &&
            shown.minY <= drawn.maxY)
            return saved;
    }
    return View::fit(list.extents, width, height, margin);
}

Picture drawnPicture(std::span<const std::uint8_t> bytes, int width, int height,
                     const ThumbnailOptions& options) {
    const dwg::Drawing drawing = dwg::read(bytes);
    checkCancelled(options);
    BuildOptions build;
    build.limits = options.limits;
    build.projection = savedProjection(drawing);
    build.cancel = options.cancel;
    const DisplayList list = buildModelSpace(drawing, build);
    checkCancelled(options);
    if (list.empty()) throw Failure{"o desenho não tem nada a mostrar"};
    RasterOptions raster;
    raster.style = savedVisualStyle(drawing);
    raster.background = kWhite;
    raster.cancel = options.cancel;
    Picture picture = rasterise(list, viewOf(drawing, list, width, height, options.margin), raster);
    checkCancelled(options);
    if (picture.pixels.empty()) throw Failure{"não foi possível desenhar a miniatura"};
    return picture;
}

// The stored preview, shrunk to fit and shown on white; none where the
// drawing stores none or one that cannot serve.
std::optional<Picture> previewPicture(std::span<const std::uint8_t> bytes, int width, int height) {
    try {
        const std::optional<dwg::PreviewImage> preview = dwg::readPreview(bytes);
        if (!preview) return std::nullopt;
        Picture picture = detail::decodePreview(*preview, width, height);
        detail::showOnWhite(picture);
        return picture;
    } catch (const dwg::Error&) {
        // Damaged, of a kind not decoded, or too large: the drawing is drawn.
        return std::nullopt;
    }
}

Thumbnail failed(std::string message) {
    Thumbnail thumbnail;
    thumbnail.error = std::move(message);
    return thumbnail;
}

}  // namespace

Thumbnail drawingThumbnail(std::span<const std::uint8_t> drawing, int width, int height,
                           const ThumbnailOptions& options) noexcept {
    if (width <= 0 || height <= 0 || width > kMaxThumbnailSide || height > kMaxThumbnailSide)
        return failed("tamanho de miniatura inválido");
    try {
        std::optional<Picture> preview = previewPicture(drawing, width, height);
        // A preview of nothing but its background (some writers store one
        // for every drawing) is no picture of the block.
        if (preview && !detail::isBlank(*preview))
            return {std::move(*preview), Thumbnail::Source::Preview, {}};
        checkCancelled(options);
        try {
            return {drawnPicture(drawing, width, height, options), Thumbnail::Source::Drawn, {}};
        } catch (...) {
            if (preview) return {std::move(*preview), Thumbnail::Source::Preview, {}};
            throw;
        }
    } catch (const Failure& failure) {
        return failed(failure.message);
    } catch (const dwg::Error& error) {
        return failed(error.what());
    } catch (const std::bad_alloc&) {
        return failed("memória insuficiente para a miniatura");
    } catch (...) {
        return failed("não foi possível fazer a miniatura do desenho");
    }
}

Thumbnail drawingThumbnail(const std::filesystem::path& file, int width, int height,
                           const ThumbnailOptions& options) noexcept {
    try {
        const std::vector<std::uint8_t> bytes = dwg::readFileBytes(file);
        return drawingThumbnail(std::span<const std::uint8_t>(bytes), width, height, options);
    } catch (const dwg::Error& error) {
        return failed(error.what());
    } catch (...) {
        return failed("não foi possível ler o desenho");
    }
}

}  // namespace render
