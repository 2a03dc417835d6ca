#include "signing/Sha256.h"

#include <openssl/evp.h>
#include <platform/Files.h>

#include <stdexcept>
#include <system_error>
#include <vector>

namespace signing {

namespace fs = std::filesystem;

namespace {

// Large enough for the disk to stream, small enough that the caller's
// progress (and the window's message pump behind it) comes often.
constexpr std::size_t kPiece = 4 * 1024 * 1024;

}  // namespace

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (!state_->context || EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
}

Sha256::~Sha256() = default;

void Sha256::add(std::span<const std::uint8_t> bytes) {
    EVP_DigestUpdate(state_->context, bytes.data(), bytes.size());
}

Digest Sha256::finish() {
    Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->context, digest.data(), &length);
    return digest;
}

Digest sha256(std::span<const std::uint8_t> bytes) {
    Sha256 hash;
    hash.add(bytes);
    return hash.finish();
}

std::optional<Digest> sha256OfFile(const fs::path& file, const HashProgress& progress) {
    std::error_code error;
    platform::File input = platform::File::openForReading(file, error, platform::Follow::Yes);
    if (!input.isOpen()) throw fs::filesystem_error("cannot open", file, error);
    std::vector<std::uint8_t> piece(kPiece);
    Sha256 hash;
    std::uint64_t hashed = 0;
    for (;;) {
        const std::size_t got = input.read(piece.data(), piece.size(), error);
        if (error) throw fs::filesystem_error("cannot read", file, error);
        if (got == 0) break;
        hash.add(std::span(piece.data(), got));
        hashed += got;
        bool stop = false;
        if (progress) progress(hashed, stop);
        if (stop) return std::nullopt;
    }
    return hash.finish();
}

}  // namespace signing
