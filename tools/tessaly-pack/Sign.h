// The publisher's key pair and the signed package list beside the packages.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "signing/PackageIndex.h"
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

// Every signing publishes the list anew: dated `now`, or a second after the
// list it replaces when that one is not older (a clock set back must not make
// programs that took it refuse the new one), and good for `validity`.
struct Publication {
    signing::Time now;
    std::chrono::days validity = signing::kDefaultValidity;
};

// Puts the line of the package `category`, whose bytes are `package`, into
// folder/indice.txt and signs the file again into folder/indice.txt.sig. An
// index already there, dated or of the older undated form, must carry a valid
// signature by the same key; throws std::runtime_error otherwise, leaving both
// files as they were. Returns the new list's dates.
signing::Validity updateSignedIndex(const std::filesystem::path& folder, int category,
                                    const std::vector<std::uint8_t>& package,
                                    const signing::SecretKey& key, const Publication& publication);

// Signs folder/indice.txt again, its lines unchanged, with new dates: what
// the publisher does before the list expires when no package changed. Throws
// std::runtime_error, leaving both files as they were, when there is no list
// or the key did not sign it. Returns the new dates.
signing::Validity renewSignedIndex(const std::filesystem::path& folder,
                                   const signing::SecretKey& key, const Publication& publication);

}  // namespace pack
