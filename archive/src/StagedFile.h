// A member's file while its data arrives: a temporary file beside the final
// one, renamed over it only once everything has been written and checked.
// Destroying an uncommitted file removes it, so a failure leaves nothing.
#pragma once

#include <platform/Files.h>

#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

namespace archive {

struct StoredAttributes {
    bool readOnly = false;
    std::optional<std::time_t> modified;
};

class StagedFile {
  public:
    // An empty temporary file in folder, with the permissions a new file gets.
    static std::optional<StagedFile> create(const std::filesystem::path& folder,
                                            std::mt19937_64& random, std::error_code& error);
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;
    ~StagedFile();

    std::error_code write(const char* data, std::size_t size);
    // Applies what can be applied of the stored attributes and puts the file in
    // place of target, replacing a file there even when it is read-only.
    std::error_code commit(const std::filesystem::path& target, const StoredAttributes& attributes);

  private:
    StagedFile(platform::File file, std::filesystem::path path);
    void discard();

    platform::File file_;
    std::filesystem::path path_;
};

}  // namespace archive
