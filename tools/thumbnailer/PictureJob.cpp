#include "PictureJob.h"

#include <utility>

namespace thumbnailer {

PictureJob::PictureJob(std::vector<std::uint8_t> file, int side, PictureLimits limits)
    : file_(std::move(file)), side_(side), limits_(limits) {}

void PictureJob::run() noexcept {
    render::Picture picture = drawingPicture(file_, side_, &cancel_, limits_);
    const std::lock_guard lock(mutex_);
    picture_ = std::move(picture);
    done_ = true;
    finished_.notify_all();
}

render::Picture PictureJob::waitFor(std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    if (!finished_.wait_for(lock, deadline, [this] { return done_; })) {
        cancel_ = true;
        cutShort_ = true;
        finished_.wait(lock, [this] { return done_; });
        return {};
    }
    return std::move(picture_);
}

}  // namespace thumbnailer
