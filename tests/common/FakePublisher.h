// A publisher for the tests, built on the signing module's own pieces: it
// signs lists, delegations and changes of root on demand, on a clock of its
// own, and hands each publication back so that a test can serve it, or an
// older one, again (a replaying server), or sign with a stolen key.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "signing/PackageIndex.h"
#include "signing/Sha256.h"
#include "signing/Signature.h"
#include "signing/Trust.h"

namespace testsupport {

class FakePublisher {
  public:
    // delegated: a root and a delegated package key; otherwise the one key
    // the program is built with signs the lists itself, as before roots.
    FakePublisher(signing::Time clock, bool delegated)
        : clock(clock), root_(signing::generateKeyPair()), packageKey_(root_) {
        if (delegated) delegateTo(signing::generateKeyPair());
    }

    // The key a program is built with: the first root.
    signing::PublicKey builtIn() const { return builtIn_; }
    const signing::KeyPair& packageKey() const { return packageKey_; }
    const signing::KeyPair& root() const { return root_; }

    // The package of category index is now these bytes, at version.
    void setPackage(int index, std::string_view bytes, std::uint32_t version) {
        lines_[index] = {
            bytes.size(),
            signing::sha256({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}),
            version};
    }
    void removePackage(int index) { lines_.erase(index); }
    std::uint32_t listVersion() const { return listVersion_; }

    // The next list, dated by the publisher's clock, signed by signer (the
    // package key when none is given); listVersion overrides the next number.
    signing::Publication publish(std::chrono::days validity = signing::kDefaultValidity,
                                 const signing::KeyPair* signer = nullptr,
                                 std::optional<std::uint32_t> listVersion = std::nullopt) {
        listVersion_ = listVersion.value_or(listVersion_ + 1);
        signing::PackageIndex index;
        index.setValidity({clock, clock + validity});
        index.setListVersion(listVersion_);
        for (const auto& [n, line] : lines_) index.set(n, line);
        current_.list = index.format();
        current_.listSignature =
            signatureOf((signer ? *signer : packageKey_).secretKey, current_.list);
        return current_;
    }

    // A new delegation, signed by the current root (or by signer).
    void delegateTo(const signing::KeyPair& key,
                    std::chrono::days validity = std::chrono::days(365),
                    const signing::KeyPair* signer = nullptr) {
        packageKey_ = key;
        delegation_ = signing::Delegation{delegation_ ? delegation_->version + 1 : 1, key.publicKey,
                                          clock, clock + validity};
        current_.delegation = delegation_->format();
        current_.delegationSignature =
            signatureOf((signer ? *signer : root_).secretKey, current_.delegation);
    }

    // A new root after the current one; the delegation is signed again by it.
    void replaceRoot() {
        const signing::KeyPair next = signing::generateKeyPair();
        links_.push_back(signing::linkRoot(root_.secretKey, next.secretKey,
                                           static_cast<std::uint32_t>(links_.size()) + 2));
        root_ = next;
        current_.roots = signing::formatRootLinks(links_);
        if (delegation_)
            current_.delegationSignature = signatureOf(root_.secretKey, current_.delegation);
    }

    // The publication as the server's blocos/ folder holds it; absent parts
    // leave no file.
    static void serve(const signing::Publication& publication,
                      const std::filesystem::path& blocos) {
        const std::pair<const char*, const std::string*> files[] = {
            {signing::kRootsName, &publication.roots},
            {signing::kDelegationName, &publication.delegation},
            {signing::kDelegationSignatureName, &publication.delegationSignature},
            {signing::kIndexName, &publication.list},
            {signing::kSignatureName, &publication.listSignature},
        };
        std::filesystem::create_directories(blocos);
        for (const auto& [name, bytes] : files) {
            std::filesystem::remove(blocos / name);
            if (!bytes->empty()) std::ofstream(blocos / name, std::ios::binary) << *bytes;
        }
    }

    signing::Time clock;  // the publisher's clock

  private:
    static std::string signatureOf(const signing::SecretKey& key, const std::string& text) {
        const signing::Signature signature =
            signing::sign(key, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        return {signature.begin(), signature.end()};
    }

    signing::KeyPair root_;
    signing::PublicKey builtIn_ = root_.publicKey;
    signing::KeyPair packageKey_;
    std::optional<signing::Delegation> delegation_;
    std::vector<signing::RootLink> links_;
    std::map<int, signing::IndexLine> lines_;
    std::uint32_t listVersion_ = 0;
    signing::Publication current_;
};

}  // namespace testsupport
