// Shared by the two systems' halves of the module.
#pragma once

namespace platform::detail {

// Another program holds a file: tried again this many times, this far apart
// (two seconds in all), each wait through the hook of setRetryWait.
constexpr int kHeldRetries = 40;
constexpr int kHeldRetryMilliseconds = 50;

void waitBeforeRetry(int milliseconds);

}  // namespace platform::detail
