#include "platform/InstanceLock.h"

#include "Native.h"

namespace platform {

InstanceLock::~InstanceLock() {
    if (held()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

InstanceLock InstanceLock::take(const std::filesystem::path& file, std::error_code& error) {
    error.clear();
    InstanceLock lock;
    // Opened for writing and shared with readers only: a second instance's
    // open fails with a sharing violation until the system closes this
    // handle with the process. A reparse point is opened as itself and refused.
    const HANDLE handle = CreateFileW(
        detail::nativePath(file).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (!detail::isHeldError(code)) error = detail::errorOf(code);
        return lock;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        CloseHandle(handle);
        return lock;
    }
    lock.handle_ = reinterpret_cast<std::intptr_t>(handle);
    return lock;
}

}  // namespace platform
