// One running program per program folder: a lock file the system itself lets
// go of when the process ends, however it ends (a kill, a crash, a power
// cut), so that no stale lock ever keeps the program from starting again.
#pragma once

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace platform {

class InstanceLock {
  public:
    InstanceLock() = default;
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock at `file` (made when missing; never through a link).
    // Not held, with no error, when another process holds it; not held, with
    // the error, when the file cannot be opened.
    static InstanceLock take(const std::filesystem::path& file, std::error_code& error);

    bool held() const { return handle_ != kNone; }

  private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

}  // namespace platform
