// Work that may wait on a disk the program does not control (a network
// share, a stick being pulled out) runs on a thread of its own while the
// windows keep running. A job that outlives its deadline is left to finish
// on its own: the disk may never answer, the window must not wait for it.
#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "ui/Pump.h"

namespace ui {

// Runs job off the user-interface thread, letting pending events run until it
// is done; its result, or nothing once deadlineMs have passed. An exception
// the job throws is thrown here.
template <typename Result>
std::optional<Result> waitOffUiThread(std::function<Result()> job, int deadlineMs) {
    struct Shared {
        std::mutex mutex;
        bool done = false;
        std::optional<Result> result;
        std::exception_ptr failure;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, job = std::move(job)] {
        std::optional<Result> result;
        std::exception_ptr failure;
        try {
            result.emplace(job());
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->failure = failure;
        shared->done = true;
    }).detach();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    for (;;) {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->done) {
                if (shared->failure) std::rethrow_exception(shared->failure);
                return std::move(shared->result);
            }
        }
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace ui
