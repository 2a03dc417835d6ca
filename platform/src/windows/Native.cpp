#include "Native.h"

namespace platform::detail {

namespace fs = std::filesystem;

std::wstring nativePath(const fs::path& path) {
    std::wstring text = path.native();
    for (wchar_t& c : text)
        if (c == L'/') c = L'\\';
    // Short paths as they are: the usual rules (and relative paths) apply.
    constexpr std::size_t kRoomForNames = MAX_PATH - 12;
    if (text.size() < kRoomForNames || text.starts_with(L"\\\\?\\")) return text;
    const fs::path absolute = fs::absolute(path).lexically_normal();
    std::wstring full = absolute.native();
    for (wchar_t& c : full)
        if (c == L'/') c = L'\\';
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool isHeldError(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

std::error_code errorOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::make_error_code(std::errc::file_exists);
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::make_error_code(std::errc::no_space_on_device);
        case ERROR_DIR_NOT_EMPTY:
            return std::make_error_code(std::errc::directory_not_empty);
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
            return std::make_error_code(std::errc::invalid_argument);
        case ERROR_NOT_SAME_DEVICE:
            return std::make_error_code(std::errc::cross_device_link);
        case ERROR_CANT_ACCESS_FILE:
        case ERROR_CANT_RESOLVE_FILENAME:
            return std::make_error_code(std::errc::too_many_symbolic_link_levels);
        default:
            return {static_cast<int>(code), std::system_category()};
    }
}

std::error_code lastError() {
    return errorOf(GetLastError());
}

}  // namespace platform::detail
