// One file's picture made on a thread of the caller's, waited for with a
// deadline: a file manager must never be held for long by one file.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "DrawingPicture.h"

namespace thumbnailer {

// Well past the slowest sample drawing (a few hundred milliseconds), well
// short of what a file manager waits before it gives up on a thumbnail.
inline constexpr std::chrono::milliseconds kDeadline{3000};

class PictureJob {
  public:
    PictureJob(std::vector<std::uint8_t> file, int side, PictureLimits limits = {});

    // On the worker thread: makes the picture, then wakes waitFor().
    void run() noexcept;

    // Waits for run() to finish, at most `deadline`; past it, asks run() to
    // stop and waits for it to return (reading is bounded by the file's
    // size, drawing stops at once). The picture, empty when cut short.
    render::Picture waitFor(std::chrono::milliseconds deadline = kDeadline);

    bool cutShort() const { return cutShort_; }

  private:
    std::vector<std::uint8_t> file_;
    int side_;
    PictureLimits limits_;
    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    bool cutShort_ = false;
    render::Picture picture_;
};

}  // namespace thumbnailer
