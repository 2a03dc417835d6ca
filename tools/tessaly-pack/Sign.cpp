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

signing::KeyPair writeKeyPair(const fs::path& folder, KeyKind kind) {
    fs::create_directories(folder);
    const bool root = kind == KeyKind::Root;
    const fs::path publicFile = folder / (root ? kRootPublicKeyName : kPublicKeyName);
    const fs::path secretFile = folder / (root ? kRootSecretKeyName : kSecretKeyName);
    for (const fs::path& file : {publicFile, secretFile})
        if (fs::exists(fs::symlink_status(file)))
            throw std::runtime_error(library::pathToUtf8(file) +
                                     " já existe; a chave existente não é substituída");
    const signing::KeyPair pair = signing::generateKeyPair();
    writeNewFile(secretFile, signing::toHex(pair.secretKey) + "\n", platform::File::Privacy::Private);
    writeNewFile(publicFile, signing::toHex(pair.publicKey) + "\n", platform::File::Privacy::Shared);
    return pair;
}

namespace {

template <std::size_t Size>
std::array<std::uint8_t, Size> readKey(const fs::path& file, const char* what) {
    const std::vector<std::uint8_t> bytes = readSmallFile(file, 1024);
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.ends_with('\n')) text.remove_suffix(1);
    const auto key = signing::fromHex<Size>(text);
    if (!key) throw std::runtime_error(library::pathToUtf8(file) + " não é uma " + what);
    return *key;
}

std::string textOf(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A file of the folder, empty when it is not there.
std::string readIfThere(const fs::path& file, std::uint64_t largest) {
    return fs::exists(fs::symlink_status(file)) ? textOf(readSmallFile(file, largest)) : "";
}

void writeText(const fs::path& file, std::string_view text) {
    writeFileAtomically(file, {text.begin(), text.end()});
}

// The chain's files in folder, read as the tool's own (the publisher's), each
// checked only for its form.
struct Chain {
    std::vector<signing::RootLink> roots;
    std::optional<signing::Delegation> delegation;
    std::string delegationSignature;
};

Chain readChain(const fs::path& folder) {
    Chain chain;
    const fs::path delegationFile = folder / signing::kDelegationName;
    try {
        chain.roots = signing::parseRootLinks(
            readIfThere(folder / signing::kRootsName, signing::kMaxRootsSize));
        const std::string delegation = readIfThere(delegationFile, signing::kMaxDelegationSize);
        if (!delegation.empty()) {
            chain.delegation = signing::Delegation::parse(delegation);
            chain.delegationSignature = readIfThere(folder / signing::kDelegationSignatureName,
                                                    signing::kMaxSignatureFileSize);
        }
    } catch (const signing::IndexError& error) {
        throw std::runtime_error(library::pathToUtf8(folder) + ": " + error.what());
    }
    return chain;
}

// Throws unless root may sign for the folder: the last root of its chain, or,
// before any change of root, the signer of its delegation (any root for the
// first one).
void checkCurrentRoot(const fs::path& folder, const Chain& chain, const signing::SecretKey& root) {
    const signing::PublicKey key = signing::publicKeyOf(root);
    bool current = false;
    if (!chain.roots.empty()) {
        current = chain.roots.back().key == key;
    } else if (chain.delegation) {
        current = signing::verify(key, bytesOf(chain.delegation->format()),
                                  bytesOf(chain.delegationSignature));
    } else {
        // The one key the lists were signed with is the root programs know.
        const fs::path list = folder / signing::kIndexName;
        current = !fs::exists(fs::symlink_status(list)) ||
                  signing::verify(key, bytesOf(readIfThere(list, signing::kMaxIndexSize)),
                                  bytesOf(readIfThere(folder / signing::kSignatureName,
                                                      signing::kMaxSignatureFileSize)));
    }
    if (!current)
        throw std::runtime_error("a chave raiz dada não é a atual de " + library::pathToUtf8(folder) +
                                 " (a última de " + signing::kRootsName +
                                 ", a que assinou a delegação, ou a que assinou a lista)");
}

void writeDelegation(const fs::path& folder, const signing::Delegation& delegation,
                     const signing::SecretKey& root) {
    const std::string text = delegation.format();
    const signing::Signature signature = signing::sign(root, bytesOf(text));
    writeText(folder / signing::kDelegationName, text);
    writeText(folder / signing::kDelegationSignatureName,
              std::string_view(reinterpret_cast<const char*>(signature.data()), signature.size()));
}

}  // namespace

signing::SecretKey readSecretKey(const fs::path& file) {
    return readKey<64>(file, "chave secreta");
}

signing::PublicKey readPublicKey(const fs::path& file) {
    return readKey<32>(file, "chave pública");
}

namespace {

// The list in folder, nullopt when there is none; throws when it is no list,
// or, without a delegation, when this key did not sign it.
std::optional<signing::PackageIndex> readPreviousIndex(const fs::path& folder,
                                                       const signing::SecretKey& key,
                                                       bool delegated) {
    const fs::path indexFile = folder / signing::kIndexName;
    const fs::path signatureFile = folder / signing::kSignatureName;
    if (!fs::exists(fs::symlink_status(indexFile))) return std::nullopt;
    const std::string text = textOf(readSmallFile(indexFile, signing::kMaxIndexSize));
    if (!delegated &&
        !signing::verify(signing::publicKeyOf(key), bytesOf(text),
                         bytesOf(readIfThere(signatureFile, signing::kMaxSignatureFileSize))))
        throw std::runtime_error(library::pathToUtf8(indexFile) +
                                 " não tem a assinatura desta chave");
    try {
        return signing::PackageIndex::parse(text);
    } catch (const signing::IndexError& error) {
        throw std::runtime_error(library::pathToUtf8(indexFile) + ": " + error.what());
    }
}

// Throws unless the folder's delegation, if any, lets key sign now.
void checkDelegated(const fs::path& folder, const Chain& chain, const signing::SecretKey& key,
                    signing::Time now) {
    // After a change of root only a delegated key signs: programs that
    // followed the change trust nothing else.
    if (!chain.delegation && !chain.roots.empty())
        throw std::runtime_error(library::pathToUtf8(folder) + " tem uma troca de chave raiz e "
                                 "nenhuma delegação; assine uma com tessaly-pack delegar");
    if (!chain.delegation) return;
    const signing::Delegation& delegation = *chain.delegation;
    const std::string file = library::pathToUtf8(folder / signing::kDelegationName);
    if (delegation.packageKey != signing::publicKeyOf(key))
        throw std::runtime_error(file + " autoriza outra chave de pacotes; assine uma delegação "
                                 "para esta com tessaly-pack delegar");
    if (now < delegation.from)
        throw std::runtime_error(file + " só vale a partir de " +
                                 signing::formatTime(delegation.from) +
                                 ", depois do relógio deste computador");
    if (now >= delegation.until)
        throw std::runtime_error(file + " expirou em " + signing::formatTime(delegation.until) +
                                 "; assine uma nova com tessaly-pack delegar");
}

Published publish(const fs::path& folder, signing::PackageIndex index,
                  const std::optional<signing::PackageIndex>& previous, const Chain& chain,
                  const signing::SecretKey& key, const Publication& publication) {
    Published published;
    // Dated by this clock, always: a list dated after it would be a floor for
    // no one and a freeze for longer than the publisher meant.
    signing::Time expires = publication.now + publication.validity;
    if (chain.delegation && expires > chain.delegation->until) {
        expires = chain.delegation->until;
        published.notes.push_back("a lista expira com a delegação, em " +
                                  signing::formatTime(expires));
    }
    if (previous && previous->validity() && previous->validity()->published > publication.now)
        published.notes.push_back(
            "a lista anterior foi publicada em " +
            signing::formatTime(previous->validity()->published) +
            ", depois do relógio deste computador; a nova é datada agora e o seu número segue o "
            "da anterior");
    const std::uint32_t before = previous ? previous->listVersion() : 0;
    if (before == signing::kMaxVersion) throw std::runtime_error("a versão da lista chegou ao máximo");
    index.setValidity({publication.now, expires});
    index.setListVersion(before + 1);
    const std::string text = index.format();
    const signing::Signature signature = signing::sign(key, bytesOf(text));
    writeText(folder / signing::kIndexName, text);
    writeText(folder / signing::kSignatureName,
              std::string_view(reinterpret_cast<const char*>(signature.data()), signature.size()));
    published.validity = *index.validity();
    published.listVersion = index.listVersion();
    return published;
}

}  // namespace

Published updateSignedIndex(const fs::path& folder, int category,
                            const std::vector<std::uint8_t>& package, const signing::SecretKey& key,
                            const Publication& publication) {
    const Chain chain = readChain(folder);
    checkDelegated(folder, chain, key, publication.now);
    const std::optional<signing::PackageIndex> previous =
        readPreviousIndex(folder, key, chain.delegation.has_value());
    signing::PackageIndex index = previous.value_or(signing::PackageIndex());
    index.set(category,
              signing::nextLine(index.find(category), package.size(), signing::sha256(package)));
    return publish(folder, std::move(index), previous, chain, key, publication);
}

Published renewSignedIndex(const fs::path& folder, const signing::SecretKey& key,
                           const Publication& publication) {
    const Chain chain = readChain(folder);
    checkDelegated(folder, chain, key, publication.now);
    const std::optional<signing::PackageIndex> previous =
        readPreviousIndex(folder, key, chain.delegation.has_value());
    if (!previous)
        throw std::runtime_error("não há " + library::pathToUtf8(folder / signing::kIndexName) +
                                 " a renovar");
    return publish(folder, *previous, previous, chain, key, publication);
}

signing::Delegation delegate(const fs::path& folder, const signing::SecretKey& root,
                             const signing::PublicKey& packageKey, const Publication& publication) {
    fs::create_directories(folder);
    const Chain chain = readChain(folder);
    checkCurrentRoot(folder, chain, root);
    const std::uint32_t before = chain.delegation ? chain.delegation->version : 0;
    if (before == signing::kMaxVersion)
        throw std::runtime_error("a versão da delegação chegou ao máximo");
    const signing::Delegation delegation{before + 1, packageKey, publication.now,
                                         publication.now + publication.validity};
    writeDelegation(folder, delegation, root);
    return delegation;
}

std::uint32_t replaceRoot(const fs::path& folder, const signing::SecretKey& current,
                          const signing::SecretKey& next) {
    const Chain chain = readChain(folder);
    checkCurrentRoot(folder, chain, current);
    if (chain.roots.size() >= signing::kMaxRootLinks)
        throw std::runtime_error("a lista de chaves raiz já tem " +
                                 std::to_string(signing::kMaxRootLinks) +
                                 " trocas, o máximo que os programas seguem");
    std::vector<signing::RootLink> roots = chain.roots;
    const std::uint32_t version = roots.empty() ? 2 : roots.back().version + 1;
    roots.push_back(signing::linkRoot(current, next, version));
    writeText(folder / signing::kRootsName, signing::formatRootLinks(roots));
    if (chain.delegation) writeDelegation(folder, *chain.delegation, next);
    return version;
}

}  // namespace pack
