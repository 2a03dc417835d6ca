#include "library/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace library {

namespace fs = std::filesystem;

std::optional<std::string> readRegularFile(const fs::path& file, std::uint64_t maxBytes) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) return std::nullopt;
    std::string bytes;
    struct stat info;
    bool whole = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) &&
                 static_cast<std::uint64_t>(info.st_size) <= maxBytes;
    if (whole) {
        // One byte more than allowed tells a file that grew meanwhile.
        bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t read = ::read(descriptor, bytes.data() + got, bytes.size() - got);
            if (read < 0 && errno == EINTR) continue;
            if (read <= 0) break;
            got += static_cast<std::size_t>(read);
        }
        whole = got <= maxBytes && got == static_cast<std::size_t>(info.st_size);
        bytes.resize(got);
    }
    ::close(descriptor);
    if (!whole) return std::nullopt;
    return bytes;
}

bool writeFileDurably(const fs::path& file, std::string_view bytes) {
    fs::path temporary = file;
    temporary += ".novo";
    std::error_code error;
    // Left by a kill during an earlier write; never followed if it is a link.
    fs::remove(temporary, error);
    // "x": the temporary file is a new one of ours, never one planted there.
    std::FILE* output = std::fopen(temporary.c_str(), "wbx");
    if (!output) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), output) == bytes.size() &&
                         std::fflush(output) == 0 && ::fsync(::fileno(output)) == 0;
    if (std::fclose(output) != 0 || !written) {
        fs::remove(temporary, error);
        return false;
    }
    fs::rename(temporary, file, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

}  // namespace library
