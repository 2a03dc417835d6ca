// Each change the program makes to the file system through this module
// (a file created, written to the disk, renamed or removed, a folder made or
// removed) is one step. A test sets a hook that ends the process at the k-th
// step, to prove that a kill at any instant loses nothing installed.
#pragma once

namespace platform {

enum class Step { Create, Flush, Rename, Remove };

using StepHook = void (*)(Step step);
void setStepHook(StepHook hook);

// Called by this module before each step.
void fileSystemStep(Step step);

// How a retry waits for another program to let go of a file. The windowed
// program lets its windows run meanwhile; the default just sleeps.
using RetryWait = void (*)(int milliseconds);
void setRetryWait(RetryWait wait);

}  // namespace platform
