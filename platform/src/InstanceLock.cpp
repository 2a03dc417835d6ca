#include "platform/InstanceLock.h"

#include <utility>

namespace platform {

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        InstanceLock old(std::move(*this));
        handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
}

}  // namespace platform
