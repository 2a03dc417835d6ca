// Long handlers stay on the UI thread and keep the windows alive by letting
// pending events run between their steps and inside fixed waits. Every pump
// and sleep goes through here so that tests can run the waits without real time.
#pragma once

#include <functional>

namespace ui {

// Lets all pending events of the UI thread run once.
void pump();
// Sleeps for the given milliseconds (real time unless a test replaced it).
void sleepMs(int milliseconds);

// Replaces the sleep used by sleepMs; an empty function restores real sleeping.
void setSleepForTests(std::function<void(int)> sleeper);

// Runs one step list of a handler: a failure ends it, is discarded without a
// message, and the handler pauses 1 ms, as every window handler does.
// Returns false when the steps failed.
bool guarded(const std::function<void()>& steps);

}  // namespace ui
