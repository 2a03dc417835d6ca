// What the POSIX half of the module shares: errors and descriptors.
#pragma once

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace platform::detail {

inline std::error_code lastError() {
    return {errno, std::generic_category()};
}

inline int descriptorOf(std::intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace platform::detail
