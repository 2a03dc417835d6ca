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

}  // namespace platform
