// The publisher's key pair and the signed package list beside the packages.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "signing/PackageIndex.h"
#include "signing/Signature.h"
#include "signing/Trust.h"

namespace pack {

inline constexpr const char* kPublicKeyName = "tessaly-pacotes.pub";
inline constexpr const char* kSecretKeyName = "tessaly-pacotes.chave";
inline constexpr const char* kRootPublicKeyName = "tessaly-raiz.pub";
inline constexpr const char* kRootSecretKeyName = "tessaly-raiz.chave";

// The package key signs every list; the root key, kept offline, only says
// which package key that is (and which root comes after it).
enum class KeyKind { Package, Root };

// Writes a fresh key pair into folder (created when missing) as one line of
// hex each: the public key, and the secret one readable by its owner only.
// Never replaces a key already there: throws std::runtime_error instead.
signing::KeyPair writeKeyPair(const std::filesystem::path& folder, KeyKind kind = KeyKind::Package);

// The keys of files as writeKeyPair wrote them. Throw std::runtime_error when
// they cannot be read or are not such keys.
signing::SecretKey readSecretKey(const std::filesystem::path& file);
signing::PublicKey readPublicKey(const std::filesystem::path& file);

// The clock the tool signs on, and how long what it signs stays good.
struct Publication {
    signing::Time now;
    std::chrono::days validity = signing::kDefaultValidity;
};

// A list signed: its dates and version, and what the publisher should know
// about it (a clock behind the list before, an expiry cut short by the delegation).
struct Published {
    signing::Validity validity;
    std::uint32_t listVersion = 0;
    std::vector<std::string> notes;
};

// Puts the line of the package `category`, whose bytes are `package`, into
// folder/indice.txt and signs the list again into folder/indice.txt.sig, as
// the next version, dated publication.now. With a delegation in folder the key
// must be the one it names, within its time, and the list before may be
// signed by any key: its versions carry over. Without one (and without a
// change of root) a list there must carry this key's signature. Throws
// std::runtime_error otherwise, leaving both files as they were.
Published updateSignedIndex(const std::filesystem::path& folder, int category,
                            const std::vector<std::uint8_t>& package, const signing::SecretKey& key,
                            const Publication& publication);

// Signs folder/indice.txt again, its lines unchanged, as the next version with
// new dates: what the publisher does before the list expires when no package
// changed. Throws std::runtime_error, leaving both files as they were, when
// there is no list or the key may not sign it.
Published renewSignedIndex(const std::filesystem::path& folder, const signing::SecretKey& key,
                           const Publication& publication);

inline constexpr std::chrono::days kDefaultDelegationValidity{365};

// Signs with root, into folder/delegacao.txt and its .sig, that packageKey
// signs the lists from publication.now for publication.validity, as the
// version after the delegation there. Throws std::runtime_error, leaving the
// files as they were, when root is not the folder's current root: the last
// of folder/raizes.txt, else the signer of the delegation there, else the
// signer of the list there (the one key programs were built with).
signing::Delegation delegate(const std::filesystem::path& folder, const signing::SecretKey& root,
                             const signing::PublicKey& packageKey, const Publication& publication);

// Makes next the root after current: appends the link, signed by both, to
// folder/raizes.txt, and signs the folder's delegation again with next, so
// that programs built with any earlier root follow. Throws std::runtime_error
// as delegate does. Returns the new root's version.
std::uint32_t replaceRoot(const std::filesystem::path& folder, const signing::SecretKey& current,
                          const signing::SecretKey& next);

}  // namespace pack
