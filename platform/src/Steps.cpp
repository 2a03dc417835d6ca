#include "platform/Steps.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "SystemCommon.h"

namespace platform {

namespace {

std::atomic<StepHook> stepHook{nullptr};

void sleepFor(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::atomic<RetryWait> retryWait{&sleepFor};

}  // namespace

void setStepHook(StepHook hook) {
    stepHook = hook;
}

void fileSystemStep(Step step) {
    if (const StepHook hook = stepHook.load()) hook(step);
}

void setRetryWait(RetryWait wait) {
    retryWait = wait ? wait : &sleepFor;
}

namespace detail {

void waitBeforeRetry(int milliseconds) {
    retryWait.load()(milliseconds);
}

}  // namespace detail

}  // namespace platform
