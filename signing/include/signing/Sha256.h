// SHA-256 of byte runs and of files.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace signing {

using Digest = std::array<std::uint8_t, 32>;

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(std::span<const std::uint8_t> bytes);
    Digest finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

Digest sha256(std::span<const std::uint8_t> bytes);

// Called after each piece of a file is hashed, with the bytes hashed so far;
// setting stop to true ends the hashing (the result is then nullopt).
using HashProgress = std::function<void(std::uint64_t hashed, bool& stop)>;

// The digest of a file read in pieces of a few MiB. Throws
// std::filesystem::filesystem_error when the file cannot be read.
std::optional<Digest> sha256OfFile(const std::filesystem::path& file,
                                   const HashProgress& progress = {});

}  // namespace signing
