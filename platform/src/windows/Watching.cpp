#include "platform/Watching.h"

namespace platform {

// A change notification keeps its folder's handle open: Explorer then cannot
// rename the folders above it.
bool watchingHoldsParentFolders() {
    return true;
}

}  // namespace platform
