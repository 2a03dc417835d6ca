// What watching a folder for changes costs on this system.
#pragma once

namespace platform {

// Whether a folder being watched keeps the folders above it from being
// renamed (Windows: the watch holds the folder open), so that a program
// should watch as few folders as it can.
bool watchingHoldsParentFolders();

}  // namespace platform
