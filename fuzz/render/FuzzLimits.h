// The budgets a fuzz input is built and drawn with: those the program itself
// uses (the preview's viewer, the thumbnails), so that no fault hides behind
// smaller ones, and a hundredth of them, so that the fuzzer also gets
// through many inputs a second. The input picks one.
#pragma once

#include <render/Build.h>
#include <render/Raster.h>
#include <render/Thumbnail.h>

#include <cstddef>

namespace fuzzlimits {

struct Limits {
    render::BuildLimits build;
    std::size_t rasterWork = render::RasterOptions::kDefaultMaxWork;
};

inline Limits pick(std::size_t choice) {
    Limits limits;
    switch (choice % 3) {
        case 0:  // the viewer's
            break;
        case 1:  // the thumbnails'
            limits.build = render::ThumbnailOptions{}.limits;
            break;
        default:
            limits.build.maxBytes = 64u << 20;
            limits.build.maxWork /= 100;
            limits.rasterWork /= 100;
    }
    return limits;
}

}  // namespace fuzzlimits
