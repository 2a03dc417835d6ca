#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

InstanceLock::~InstanceLock() {
    if (held()) ::close(static_cast<int>(handle_));
}

InstanceLock InstanceLock::take(const std::filesystem::path& file, std::error_code& error) {
    error.clear();
    InstanceLock lock;
    const int descriptor =
        ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (descriptor < 0) {
        error.assign(errno, std::generic_category());
        return lock;
    }
    // flock belongs to the open file: the system drops it with the last
    // descriptor, when the process ends.
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) error.assign(errno, std::generic_category());
        ::close(descriptor);
        return lock;
    }
    lock.handle_ = descriptor;
    return lock;
}

}  // namespace platform
