// The attacks an update system must withstand, one row each, played by a
// server that the fake publisher fills and an attacker then changes: the
// package window of a program built with the publisher's root runs against
// it, and each row says what the program does and what the user reads.
#include <functional>
#include <map>

#include "PublisherRun.h"

using namespace download_test;
using testsupport::FakePublisher;

namespace {

const QString kDone = QStringLiteral("\nProcedimento concluído.\n");

class Attack : public PublisherRun {
  protected:
    QString runFor(int index, const std::string& base = {}) {
        closeWindows();
        createWindows(base.empty() ? server->baseAddress() : base, publisher.builtIn());
        const auto run = this->run({index});
        return run->boxes.empty() ? QString() : run->boxes.back().text;
    }
    std::vector<std::string> blocksOf(int index) const {
        std::vector<std::string> blocks;
        for (const std::string& entry : category(index))
            if (entry.starts_with("IMG/")) blocks.push_back(entry.substr(4, entry.size() - 8));
        return blocks;
    }
};

}  // namespace

TEST_F(Attack, EachAttackIsRefusedAndTheUserToldWhy) {
    struct Row {
        const char* attack;
        // What the attacker (or a publisher recovering) does to the server,
        // after category 3 was installed from the publisher's version 1.
        std::function<std::string()> play;     // returns a faulty address, or ""
        std::vector<std::string> blocksAfter;  // of category 3
        const char* said;                      // part of the last box
    };
    const std::vector<std::string> kept{"Pia"}, updated{"Fogao", "Pia"};
    const Row rows[] = {
        {"arbitrary installation: a package of the attacker's under the signed list",
         [this] {
             std::string bytes = fixtures::readFile(this->servedPackage(3));
             bytes[bytes.size() / 2] ^= 1;
             fixtures::writeFile(this->servedPackage(3), bytes);
             return std::string();
         },
         kept, "o conteúdo do pacote recebido não confere com a lista assinada do servidor"},
        {"endless data: the package", [this] { return server->faultyBaseAddress("endlesszip"); },
         kept, "o servidor enviou um pacote muito maior do que o esperado"},
        {"endless data: the list", [this] { return server->faultyBaseAddress("endless"); }, kept,
         "O arquivo raizes.txt do servidor é grande demais"},
        {"extraneous files: a signed package reaching out of its folder",
         [this] {
             auto members = this->packageMembers(3, {"Pia", "Fogao"});
             members.emplace_back("3/../../fora.txt", "fora");
             this->publish(3, members);
             this->signServed({{3, 2}});
             return std::string();
         },
         kept, "o pacote contém um arquivo fora da sua pasta"},
        {"fast-forward: a stolen key's list numbered far ahead, then the key replaced",
         [this] {
             const signing::KeyPair stolen = this->publisher.packageKey();
             this->signServed({{3, 1}}, &stolen, signing::kMaxVersion - 1);
             EXPECT_EQ(this->runFor(3), kDone);
             this->publisher.delegateTo(signing::generateKeyPair());
             this->publishBlocks(3, {"Pia", "Fogao"});
             this->signServed({{3, 2}}, nullptr, 3);
             return std::string();
         },
         updated, "Procedimento concluído."},
        {"indefinite freeze: the last list served past its expiry",
         [this] {
             this->now += signing::kDefaultValidity + std::chrono::hours(2);
             return std::string();
         },
         kept, "A lista de pacotes do servidor expirou em"},
        {"malicious mirror: lists signed by a key of its own",
         [this] {
             const signing::KeyPair mirror = signing::generateKeyPair();
             this->publishBlocks(3, {"Pia", "Fogao"});
             this->signServed({{3, 2}}, &mirror);
             return std::string();
         },
         kept, "A lista de pacotes do servidor não tem a assinatura do editor"},
        {"mix-and-match: the new key's list beside the delegation it replaced",
         [this] {
             const signing::Publication before = this->signServed({{3, 1}});
             this->publisher.delegateTo(signing::generateKeyPair());
             this->publishBlocks(3, {"Pia", "Fogao"});
             signing::Publication mixed = this->signServed({{3, 2}});
             mixed.delegation = before.delegation;
             mixed.delegationSignature = before.delegationSignature;
             FakePublisher::serve(mixed, this->blocos());
             return std::string();
         },
         kept, "A lista de pacotes do servidor não tem a assinatura do editor"},
        {"rollback: the list before served again",
         [this] {
             const signing::Publication first = this->signServed({{3, 1}});
             this->publishBlocks(3, {"Pia", "Fogao"});
             this->signServed({{3, 2}});
             EXPECT_EQ(this->runFor(3), kDone);
             this->publishBlocks(3, {"Pia"});
             FakePublisher::serve(first, this->blocos());
             return std::string();
         },
         updated, "A lista de pacotes do servidor é mais antiga que a última recebida"},
        {"key compromise, package key: the thief signs after the key was replaced",
         [this] {
             const signing::KeyPair stolen = this->publisher.packageKey();
             this->publisher.delegateTo(signing::generateKeyPair());
             this->signServed({{3, 1}});
             EXPECT_EQ(this->runFor(3), kDone);
             this->publishBlocks(3, {"Ladrao"});
             this->signServed({{3, 9}}, &stolen);
             return std::string();
         },
         kept, "A lista de pacotes do servidor não tem a assinatura do editor"},
        {"key compromise, package key: the thief serves the delegation it had",
         [this] {
             const signing::KeyPair stolen = this->publisher.packageKey();
             const signing::Publication old = this->signServed({{3, 1}});
             this->publisher.delegateTo(signing::generateKeyPair());
             this->signServed({{3, 1}});
             EXPECT_EQ(this->runFor(3), kDone);
             this->publishBlocks(3, {"Ladrao"});
             this->publisher.setPackage(3, fixtures::readFile(this->servedPackage(3)), 9);
             const signing::Publication thiefs =
                 this->publisher.publish(signing::kDefaultValidity, &stolen, 99);
             signing::Publication forged = old;
             forged.list = thiefs.list;
             forged.listSignature = thiefs.listSignature;
             FakePublisher::serve(forged, this->blocos());
             return std::string();
         },
         kept, "A delegação da chave dos pacotes publicada pelo servidor (versão 1) é mais antiga"},
        {"key compromise, root key: the thief delegates to himself after the root was replaced",
         [this] {
             const signing::KeyPair stolenRoot = this->publisher.root();
             this->publisher.replaceRoot();
             this->signServed({{3, 1}});
             EXPECT_EQ(this->runFor(3), kDone);
             const signing::KeyPair thief = signing::generateKeyPair();
             this->publisher.delegateTo(thief, std::chrono::days(365), &stolenRoot);
             this->publishBlocks(3, {"Ladrao"});
             signing::Publication forged = this->signServed({{3, 9}}, &thief);
             forged.roots.clear();  // as the root before the change knew it
             FakePublisher::serve(forged, this->blocos());
             return std::string();
         },
         kept, "A delegação da chave dos pacotes publicada pelo servidor não tem a assinatura"},
        {"wrong software: another category's signed package served as this one",
         [this] {
             this->publishBlocks(5, {"Pia"});  // of the same size
             this->signServed({{3, 1}, {5, 1}});
             fixtures::writeFile(this->servedPackage(3),
                                 fixtures::readFile(this->servedPackage(5)));
             return std::string();
         },
         kept, "o conteúdo do pacote recebido não confere com a lista assinada do servidor"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.attack);
        closeWindows();
        fs::remove_all(library() / "3");
        fs::remove(library::Layout(program).newestPackageListFile());
        fs::remove_all(blocos());
        fs::create_directories(blocos());
        publisher = FakePublisher(now = kStart, true);
        publishBlocks(3, {"Pia"});
        signServed({{3, 1}});
        ASSERT_EQ(runFor(3), kDone);

        const std::string address = row.play();
        const QString said = runFor(3, address);
        EXPECT_TRUE(said.contains(QString::fromUtf8(row.said))) << said.toStdString();
        EXPECT_EQ(blocksOf(3), row.blocksAfter);
        EXPECT_FALSE(fs::exists(program / "fora.txt"));
        EXPECT_FALSE(fs::exists(program.parent_path() / "fora.txt"));
        // A package cut short may be continued by the next run.
        expectOnlyCategories({3}, {3});
        fs::remove(partialDownload(3));
        fs::remove(library() / ".3.zip.part.id");
    }
}
