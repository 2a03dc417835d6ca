// A drawing's thumbnail from any bytes, with the limits the grid and the file
// managers' thumbnailers use: the stored preview (bitmap or PNG, shrunk as it
// is decoded) where it serves, else the drawing read, built and rasterised.
// Never a crash, memory bounded (run with -rss_limit_mb), and never an
// exception past the call.
#include <render/Thumbnail.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const render::Thumbnail thumbnail =
        render::drawingThumbnail(std::span<const std::uint8_t>(data, size), 160, 120);
    // A picture fits its box; a failure says why.
    if (thumbnail.ok() != thumbnail.error.empty() ||
        thumbnail.picture.pixels.size() !=
            std::size_t(thumbnail.picture.width) * std::size_t(thumbnail.picture.height) ||
        thumbnail.picture.width > 160 || thumbnail.picture.height > 120)
        std::abort();
    return 0;
}
