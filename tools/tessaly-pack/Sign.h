// The publisher's key pair and the signed package list beside the packages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "signing/Signature.h"

namespace pack {

inline constexpr const char* kPublicKeyName = "tessaly-pacotes.pub";
inline constexpr const char* kSecretKeyName = "tessaly-pacotes.chave";

// Writes a fresh key pair into folder (created when missing) as one line of
// hex each: kPublicKeyName, and kSecretKeyName readable by its owner only.
// Never replaces a key already there: throws std::runtime_error instead.
signing::KeyPair writeKeyPair(const std::filesystem::path& folder);

// The secret key of a file kSecretKeyName as writeKeyPair wrote it. Throws
// std::runtime_error when it cannot be read or is not such a key.
signing::SecretKey readSecretKey(const std::filesystem::path& file);

// Puts the line of the package `category`, whose bytes are `package`, into
// folder/indice.txt and signs the file again into folder/indice.txt.sig. An
// index already there must carry a valid signature by the same key; throws
// std::runtime_error otherwise, leaving both files as they were.
void updateSignedIndex(const std::filesystem::path& folder, int category,
                       const std::vector<std::uint8_t>& package, const signing::SecretKey& key);

}  // namespace pack
