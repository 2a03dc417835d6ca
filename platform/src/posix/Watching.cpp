#include "platform/Watching.h"

namespace platform {

// inotify watches hold nothing open that renaming needs.
bool watchingHoldsParentFolders() {
    return false;
}

}  // namespace platform
