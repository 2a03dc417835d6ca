#include "signing/Signature.h"

#include <sodium.h>

#include <stdexcept>

namespace signing {

namespace {

void startSodium() {
    static const bool started = sodium_init() >= 0;
    if (!started) throw std::runtime_error("libsodium could not start");
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

static_assert(crypto_sign_PUBLICKEYBYTES == std::tuple_size_v<PublicKey>);
static_assert(crypto_sign_SECRETKEYBYTES == std::tuple_size_v<SecretKey>);
static_assert(crypto_sign_BYTES == std::tuple_size_v<Signature>);

KeyPair generateKeyPair() {
    startSodium();
    KeyPair pair;
    crypto_sign_keypair(pair.publicKey.data(), pair.secretKey.data());
    return pair;
}

Signature sign(const SecretKey& secretKey, std::span<const std::uint8_t> message) {
    startSodium();
    Signature signature{};
    crypto_sign_detached(signature.data(), nullptr, message.data(), message.size(),
                         secretKey.data());
    return signature;
}

bool verify(const PublicKey& publicKey, std::span<const std::uint8_t> message,
            std::span<const std::uint8_t> signature) {
    startSodium();
    return signature.size() == crypto_sign_BYTES &&
           crypto_sign_verify_detached(signature.data(), message.data(), message.size(),
                                       publicKey.data()) == 0;
}

PublicKey publicKeyOf(const SecretKey& secretKey) {
    PublicKey key{};
    crypto_sign_ed25519_sk_to_pk(key.data(), secretKey.data());
    return key;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

template <std::size_t Size>
std::optional<std::array<std::uint8_t, Size>> fromHex(std::string_view text) {
    if (text.size() != Size * 2) return std::nullopt;
    std::array<std::uint8_t, Size> bytes{};
    for (std::size_t i = 0; i < Size; ++i) {
        const int high = hexDigit(text[2 * i]);
        const int low = hexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return bytes;
}

template std::optional<std::array<std::uint8_t, 32>> fromHex<32>(std::string_view);
template std::optional<std::array<std::uint8_t, 64>> fromHex<64>(std::string_view);

}  // namespace signing
