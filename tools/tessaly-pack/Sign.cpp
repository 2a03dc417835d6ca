#include "Sign.h"

#include <platform/Files.h>

#include <fstream>
#include <optional>
#include <stdexcept>

#include "Pack.h"
#include "library/Library.h"

namespace pack {

namespace fs = std::filesystem;

namespace {

// Created new: a key is made once; overwriting it would orphan every program
// built with the old public key.
void writeNewFile(const fs::path& file, const std::string& text, platform::File::Privacy privacy) {
    std::error_code error;
    platform::File output = platform::File::createNew(file, error, privacy);
    if (!output.isOpen())
        throw std::runtime_error("não foi possível criar " + library::pathToUtf8(file) + ": " +
                                 error.message());
    const bool written = output.writeAll(text.data(), text.size(), error);
    if (!output.close(error) || !written)
        throw std::runtime_error("não foi possível gravar " + library::pathToUtf8(file));
}

std::vector<std::uint8_t> readSmallFile(const fs::path& file, std::uint64_t largest) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > largest)
        throw std::runtime_error("não foi possível ler " + library::pathToUtf8(file));
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) throw std::runtime_error("não foi possível ler " + library::pathToUtf8(file));
    return bytes;
}

}  // namespace

signing::KeyPair writeKeyPair(const fs::path& folder) {
    fs::create_directories(folder);
    const fs::path publicFile = folder / kPublicKeyName;
    const fs::path secretFile = folder / kSecretKeyName;
    for (const fs::path& file : {publicFile, secretFile})
        if (fs::exists(fs::symlink_status(file)))
            throw std::runtime_error(library::pathToUtf8(file) +
                                     " já existe; a chave existente não é substituída");
    const signing::KeyPair pair = signing::generateKeyPair();
    writeNewFile(secretFile, signing::toHex(pair.secretKey) + "\n", platform::File::Privacy::Private);
    writeNewFile(publicFile, signing::toHex(pair.publicKey) + "\n", platform::File::Privacy::Shared);
    return pair;
}

signing::SecretKey readSecretKey(const fs::path& file) {
    const std::vector<std::uint8_t> bytes = readSmallFile(file, 1024);
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.ends_with('\n')) text.remove_suffix(1);
    const auto key = signing::fromHex<64>(text);
    if (!key) throw std::runtime_error(library::pathToUtf8(file) + " não é uma chave secreta");
    return *key;
}

namespace {

// The list in folder, nullopt when there is none; throws when it is there
// but this key did not sign it, or it is no list.
std::optional<signing::PackageIndex> readOwnIndex(const fs::path& folder,
                                                  const signing::SecretKey& key) {
    const fs::path indexFile = folder / signing::kIndexName;
    const fs::path signatureFile = folder / signing::kSignatureName;
    if (!fs::exists(fs::symlink_status(indexFile))) return std::nullopt;
    const std::vector<std::uint8_t> text = readSmallFile(indexFile, signing::kMaxIndexSize);
    std::vector<std::uint8_t> signature;
    if (fs::exists(fs::symlink_status(signatureFile)))
        signature = readSmallFile(signatureFile, 1024);
    if (!signing::verify(signing::publicKeyOf(key), text, signature))
        throw std::runtime_error(library::pathToUtf8(indexFile) +
                                 " não tem a assinatura desta chave");
    try {
        return signing::PackageIndex::parse(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    } catch (const signing::IndexError& error) {
        throw std::runtime_error(library::pathToUtf8(indexFile) + ": " + error.what());
    }
}

signing::Validity publish(const fs::path& folder, signing::PackageIndex index,
                          const std::optional<signing::PackageIndex>& previous,
                          const signing::SecretKey& key, const Publication& publication) {
    const signing::Time published =
        signing::nextPublication(previous ? &*previous : nullptr, publication.now);
    index.setValidity({published, published + publication.validity});
    const std::string text = index.format();
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    const signing::Signature signature = signing::sign(key, bytes);
    writeFileAtomically(folder / signing::kIndexName, bytes);
    writeFileAtomically(folder / signing::kSignatureName, {signature.begin(), signature.end()});
    return *index.validity();
}

}  // namespace

signing::Validity updateSignedIndex(const fs::path& folder, int category,
                                    const std::vector<std::uint8_t>& package,
                                    const signing::SecretKey& key, const Publication& publication) {
    const std::optional<signing::PackageIndex> previous = readOwnIndex(folder, key);
    signing::PackageIndex index = previous.value_or(signing::PackageIndex());
    index.set(category,
              signing::nextLine(index.find(category), package.size(), signing::sha256(package)));
    return publish(folder, std::move(index), previous, key, publication);
}

signing::Validity renewSignedIndex(const fs::path& folder, const signing::SecretKey& key,
                                   const Publication& publication) {
    const std::optional<signing::PackageIndex> previous = readOwnIndex(folder, key);
    if (!previous)
        throw std::runtime_error("não há " + library::pathToUtf8(folder / signing::kIndexName) +
                                 " a renovar");
    return publish(folder, *previous, previous, key, publication);
}

}  // namespace pack
