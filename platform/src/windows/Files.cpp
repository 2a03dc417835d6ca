#include "platform/Files.h"

// sddl.h needs windows.h first.
#include "Native.h"
// clang-format off
#include <sddl.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <winioctl.h>
// clang-format on

#include <cstring>
#include <optional>
#include <utility>
#include <vector>

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

std::intptr_t asStored(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle);
}

EntryKind kindOfAttributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::Other;
    return EntryKind::File;
}

// A handle opened on a name that must be a regular file on the disk: not a
// link (unless followed), a folder or a device such as CON.
HANDLE keepRegular(HANDLE handle, std::error_code& error) {
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastError();
        return handle;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool onDisk =
        GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info);
    const EntryKind kind = onDisk ? kindOfAttributes(info.dwFileAttributes) : EntryKind::Other;
    if (kind == EntryKind::File) {
        error.clear();
        return handle;
    }
    error = std::make_error_code(kind == EntryKind::Link     ? std::errc::too_many_symbolic_link_levels
                                 : kind == EntryKind::Folder ? std::errc::is_a_directory
                                                             : std::errc::invalid_argument);
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
}

HANDLE openHandle(const fs::path& path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags, SECURITY_ATTRIBUTES* security = nullptr) {
    const std::wstring name = nativePath(path);
    HANDLE handle = INVALID_HANDLE_VALUE;
    retryWhileHeld([&] {
        handle = CreateFileW(name.c_str(), access, share, security, disposition, flags, nullptr);
        return handle != INVALID_HANDLE_VALUE;
    });
    return handle;
}

// Another program may go on reading a file the library has open; nobody
// writes to it or removes it meanwhile.
constexpr DWORD kShareReading = FILE_SHARE_READ;

void clearReadOnly(const std::wstring& name, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(name.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
}

void clearReadOnly(const std::wstring& name) {
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) clearReadOnly(name, attributes);
}

// The attributes of what is at name, without following a link; nothing when
// nothing is there (error clear) or they cannot be read (error set).
std::optional<DWORD> attributesOf(const std::wstring& name, std::error_code& error) {
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        error.clear();
        return attributes;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        error.clear();
    else
        error = detail::errorOf(code);
    return std::nullopt;
}

}  // namespace

EntryKind entryKind(const fs::path& path, std::error_code& error) {
    const std::optional<DWORD> attributes = attributesOf(nativePath(path), error);
    return attributes ? kindOfAttributes(*attributes) : EntryKind::Missing;
}

File File::openForReading(const fs::path& path, std::error_code& error, Follow follow) {
    const DWORD flags =
        FILE_FLAG_SEQUENTIAL_SCAN | (follow == Follow::No ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    return File(asStored(keepRegular(
        openHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   OPEN_EXISTING, flags),
        error)));
}

File File::createNew(const fs::path& path, std::error_code& error, Privacy privacy) {
    fileSystemStep(Step::Create);
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
    // Private: full access for the owner, nothing for anybody else.
    if (privacy == Privacy::Private &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;FA;;;OW)", SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr)) {
        error = lastError();
        return {};
    }
    HANDLE handle = openHandle(path, GENERIC_READ | GENERIC_WRITE, kShareReading, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, &security);
    const std::error_code failure = handle == INVALID_HANDLE_VALUE ? lastError() : std::error_code();
    if (security.lpSecurityDescriptor) LocalFree(security.lpSecurityDescriptor);
    error = failure;
    return File(asStored(handle));
}

File File::openForWriting(const fs::path& path, Start start, std::error_code& error) {
    fileSystemStep(Step::Create);
    File file(asStored(keepRegular(openHandle(path, GENERIC_READ | GENERIC_WRITE, kShareReading,
                                              OPEN_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT),
                                   error)));
    if (file.isOpen() && start == Start::Emptied && !file.truncate(0, error)) return {};
    return file;
}

bool File::isOpen() const {
    return handle_ != -1;
}

bool File::hasOtherNames() const {
    BY_HANDLE_FILE_INFORMATION info;
    return !GetFileInformationByHandle(handleOf(handle_), &info) || info.nNumberOfLinks != 1;
}

std::uint64_t File::size(std::error_code& error) const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handleOf(handle_), &size)) {
        error = lastError();
        return 0;
    }
    error.clear();
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t File::read(void* data, std::size_t size, std::error_code& error) {
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(handleOf(handle_), data, wanted, &got, nullptr)) {
        error = lastError();
        return 0;
    }
    error.clear();
    return got;
}

bool File::writeAll(const void* data, std::size_t size, std::error_code& error) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!WriteFile(handleOf(handle_), bytes, piece, &written, nullptr)) {
            error = lastError();
            return false;
        }
        bytes += written;
        size -= written;
    }
    error.clear();
    return true;
}

bool File::seek(std::uint64_t offset, std::error_code& error) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handleOf(handle_), to, nullptr, FILE_BEGIN)) {
        error = lastError();
        return false;
    }
    error.clear();
    return true;
}

bool File::truncate(std::uint64_t size, std::error_code& error) {
    // SetEndOfFile cuts at the file pointer; the pointer stays where it was,
    // as POSIX ftruncate leaves it.
    LARGE_INTEGER zero{}, place;
    if (!SetFilePointerEx(handleOf(handle_), zero, &place, FILE_CURRENT)) {
        error = lastError();
        return false;
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool cut = SetFilePointerEx(handleOf(handle_), end, nullptr, FILE_BEGIN) &&
                     SetEndOfFile(handleOf(handle_));
    if (!cut) error = lastError();
    SetFilePointerEx(handleOf(handle_), place, nullptr, FILE_BEGIN);
    if (cut) error.clear();
    return cut;
}

bool File::flushToDisk(std::error_code& error) {
    fileSystemStep(Step::Flush);
    if (!FlushFileBuffers(handleOf(handle_))) {
        error = lastError();
        return false;
    }
    error.clear();
    return true;
}

void File::setModifiedTime(std::time_t time) {
    // FILETIME counts 100 ns from 1601; time_t seconds from 1970.
    const ULONGLONG ticks = static_cast<ULONGLONG>(time) * 10000000ULL + 116444736000000000ULL;
    FILETIME stamp{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SetFileTime(handleOf(handle_), nullptr, &stamp, &stamp);
}

void File::markReadOnly() {
    FILE_BASIC_INFO info;
    if (GetFileInformationByHandleEx(handleOf(handle_), FileBasicInfo, &info, sizeof info)) {
        info.FileAttributes |= FILE_ATTRIBUTE_READONLY;
        SetFileInformationByHandle(handleOf(handle_), FileBasicInfo, &info, sizeof info);
    }
}

bool File::close(std::error_code& error) {
    error.clear();
    if (handle_ == -1) return true;
    if (!CloseHandle(handleOf(std::exchange(handle_, -1)))) {
        error = lastError();
        return false;
    }
    return true;
}

void renameReplacing(const fs::path& from, const fs::path& to, std::error_code& error) {
    fileSystemStep(Step::Rename);
    const std::wstring source = nativePath(from), target = nativePath(to);
    clearReadOnly(target);
    if (retryWhileHeld([&] {
            return MoveFileExW(source.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        }))
        error.clear();
    else
        error = lastError();
}

void renameNoReplace(const fs::path& from, const fs::path& to, std::error_code& error) {
    fileSystemStep(Step::Rename);
    const std::wstring source = nativePath(from), target = nativePath(to);
    if (retryWhileHeld(
            [&] { return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH); }))
        error.clear();
    else
        error = lastError();
}

void exchangeFolders(const fs::path&, const fs::path&, std::error_code& error) {
    // Windows has no such step; the caller moves the old folder aside first.
    error = std::make_error_code(std::errc::function_not_supported);
}

void removeFile(const fs::path& path, std::error_code& error) {
    fileSystemStep(Step::Remove);
    const std::wstring name = nativePath(path);
    const std::optional<DWORD> attributes = attributesOf(name, error);
    if (!attributes) return;
    // A junction or a link to a folder goes as a folder, without its target.
    const bool folderLink = (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                            (*attributes & FILE_ATTRIBUTE_DIRECTORY);
    clearReadOnly(name, *attributes);
    if (retryWhileHeld([&] {
            return folderLink ? RemoveDirectoryW(name.c_str()) : DeleteFileW(name.c_str());
        }))
        error.clear();
    else
        error = lastError();
}

void flushFolder(const fs::path&) {
    // MOVEFILE_WRITE_THROUGH made the renames durable already.
}

void makeFolder(const fs::path& path, std::error_code& error) {
    fileSystemStep(Step::Create);
    if (CreateDirectoryW(nativePath(path).c_str(), nullptr))
        error.clear();
    else
        error = lastError();
}

bool isWritable(const fs::path& file) {
    const DWORD attributes = GetFileAttributesW(nativePath(file).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

void makeFolderLink(const fs::path& target, const fs::path& link, std::error_code& error) {
    // A junction: a folder whose reparse data names the target in the
    // system's own form (\??\C:\...), which any user may make.
    std::wstring substitute = L"\\??\\" + fs::absolute(target).native();
    const std::wstring printed = fs::absolute(target).native();
    if (!CreateDirectoryW(nativePath(link).c_str(), nullptr)) {
        error = lastError();
        return;
    }
    HANDLE folder = CreateFileW(nativePath(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        error = lastError();
        RemoveDirectoryW(nativePath(link).c_str());
        return;
    }
    // REPARSE_DATA_BUFFER's mount point form, laid out by hand: the header,
    // four offsets and lengths, then both names with their terminators.
    const std::size_t substituteBytes = substitute.size() * sizeof(wchar_t);
    const std::size_t printedBytes = printed.size() * sizeof(wchar_t);
    const std::size_t pathBytes = substituteBytes + printedBytes + 2 * sizeof(wchar_t);
    std::vector<unsigned char> buffer(8 + 8 + pathBytes, 0);
    const auto put16 = [&](std::size_t at, std::size_t value) {
        buffer[at] = static_cast<unsigned char>(value);
        buffer[at + 1] = static_cast<unsigned char>(value >> 8);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    for (int i = 0; i < 4; ++i) buffer[static_cast<std::size_t>(i)] = static_cast<unsigned char>(tag >> (8 * i));
    put16(4, 8 + pathBytes);                   // ReparseDataLength
    put16(8, 0);                               // SubstituteNameOffset
    put16(10, substituteBytes);                // SubstituteNameLength
    put16(12, substituteBytes + sizeof(wchar_t));  // PrintNameOffset
    put16(14, printedBytes);                   // PrintNameLength
    std::memcpy(buffer.data() + 16, substitute.data(), substituteBytes);
    std::memcpy(buffer.data() + 16 + substituteBytes + sizeof(wchar_t), printed.data(), printedBytes);
    DWORD returned = 0;
    const BOOL made = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), nullptr, 0, &returned,
                                      nullptr);
    error = made ? std::error_code() : lastError();
    CloseHandle(folder);
    if (!made) RemoveDirectoryW(nativePath(link).c_str());
}

void makeFileLink(const fs::path& target, const fs::path& link, std::error_code& error) {
    if (CreateSymbolicLinkW(nativePath(link).c_str(), fs::absolute(target).c_str(),
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        error.clear();
    else
        error = lastError();
}

bool heldByAnotherProgram(const std::error_code& error) {
    return error.category() == std::system_category() &&
           detail::isHeldError(static_cast<DWORD>(error.value()));
}

fs::path personalInstallFolder() {
    PWSTR programs = nullptr;
    fs::path folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_UserProgramFiles, 0, nullptr, &programs)))
        folder = fs::path(programs) / L"Tessaly";
    CoTaskMemFree(programs);
    return folder;
}

}  // namespace platform
