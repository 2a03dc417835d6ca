#include "platform/Files.h"

#include <utility>

namespace platform {

File::~File() {
    std::error_code ignored;
    close(ignored);
}

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        std::error_code ignored;
        close(ignored);
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

std::string File::readUpTo(std::size_t limit, std::error_code& error) {
    std::string bytes(limit, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t read = this->read(bytes.data() + got, bytes.size() - got, error);
        if (read == 0) break;
        got += read;
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace platform
