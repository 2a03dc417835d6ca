#include "platform/Folder.h"

#include <utility>

#include "Native.h"
#include "platform/Steps.h"

namespace platform {

namespace fs = std::filesystem;
using detail::lastError;
using detail::nativePath;
using detail::retryWhileHeld;

namespace {

HANDLE handleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

Folder::~Folder() {
    if (handle_ != -1) CloseHandle(handleOf(handle_));
}

Folder::Folder(Folder&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (handle_ != -1) CloseHandle(handleOf(handle_));
        handle_ = std::exchange(other.handle_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

Folder Folder::open(const fs::path& path, std::error_code& error, Follow follow) {
    // Held without FILE_SHARE_DELETE: while this handle lives nobody can move
    // the folder or put a link in its place, so that its entries reached by
    // name are the entries of this very folder.
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (follow == Follow::No ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE handle = INVALID_HANDLE_VALUE;
    const std::wstring name = nativePath(path);
    retryWhileHeld([&] {
        handle = CreateFileW(name.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES |
                                               FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                             nullptr);
        return handle != INVALID_HANDLE_VALUE;
    });
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (follow == Follow::No && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        error = std::make_error_code((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                                         ? std::errc::too_many_symbolic_link_levels
                                         : std::errc::not_a_directory);
        CloseHandle(handle);
        return {};
    }
    error.clear();
    return Folder(reinterpret_cast<std::intptr_t>(handle), path);
}

Folder Folder::openChild(const fs::path& name, std::error_code& error) const {
    return open(path_ / name, error, Follow::No);
}

bool Folder::isOpen() const {
    return handle_ != -1;
}

std::vector<fs::path> Folder::list(std::error_code& error) const {
    std::vector<fs::path> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(nativePath(path_ / L"*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        error = GetLastError() == ERROR_FILE_NOT_FOUND ? std::error_code() : lastError();
        return names;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.emplace_back(name);
    } while (FindNextFileW(search, &found));
    const DWORD code = GetLastError();
    FindClose(search);
    error = code == ERROR_NO_MORE_FILES ? std::error_code() : detail::errorOf(code);
    return names;
}

EntryKind Folder::kindOf(const fs::path& name, std::error_code& error) const {
    return entryKind(path_ / name, error);
}

void Folder::removeFile(const fs::path& name, std::error_code& error) const {
    platform::removeFile(path_ / name, error);
}

void Folder::removeEmptyFolder(const fs::path& name, std::error_code& error) const {
    fileSystemStep(Step::Remove);
    const std::wstring folder = nativePath(path_ / name);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(folder.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    if (retryWhileHeld([&] { return RemoveDirectoryW(folder.c_str()); }))
        error.clear();
    else
        error = lastError();
}

void Folder::makeWritable() const {
    FILE_BASIC_INFO info;
    if (GetFileInformationByHandleEx(handleOf(handle_), FileBasicInfo, &info, sizeof info) &&
        (info.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        info.FileAttributes &= ~DWORD{FILE_ATTRIBUTE_READONLY};
        SetFileInformationByHandle(handleOf(handle_), FileBasicInfo, &info, sizeof info);
    }
}

bool Folder::isMountPointBelow(const Folder& parent) const {
    // A volume mounted in a folder is a reparse point, never opened here; a
    // folder on another volume all the same is somebody else's.
    BY_HANDLE_FILE_INFORMATION mine, theirs;
    return !GetFileInformationByHandle(handleOf(handle_), &mine) ||
           !GetFileInformationByHandle(handleOf(parent.handle_), &theirs) ||
           mine.dwVolumeSerialNumber != theirs.dwVolumeSerialNumber;
}

}  // namespace platform
