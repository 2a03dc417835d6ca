// The publisher's Ed25519 keys and detached signatures over whole files.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace signing {

using PublicKey = std::array<std::uint8_t, 32>;
using SecretKey = std::array<std::uint8_t, 64>;
using Signature = std::array<std::uint8_t, 64>;

struct KeyPair {
    PublicKey publicKey{};
    SecretKey secretKey{};
};

// A fresh key pair from the system's random source. Throws std::runtime_error
// when the library cannot start.
KeyPair generateKeyPair();

Signature sign(const SecretKey& secretKey, std::span<const std::uint8_t> message);
bool verify(const PublicKey& publicKey, std::span<const std::uint8_t> message,
            std::span<const std::uint8_t> signature);

// The public key of a secret key (libsodium keeps it in the last 32 bytes).
PublicKey publicKeyOf(const SecretKey& secretKey);

// Lower-case hex, two digits a byte.
std::string toHex(std::span<const std::uint8_t> bytes);
// Exactly Size bytes of hex (either case); nullopt for anything else.
template <std::size_t Size>
std::optional<std::array<std::uint8_t, Size>> fromHex(std::string_view text);

}  // namespace signing
