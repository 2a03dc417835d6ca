// The package window of a program built with a publisher key, against a
// server whose package list that key signed (or did not).
#include <QCheckBox>
#include <QPlainTextEdit>
#include <climits>
#include <map>

#include "PublisherRun.h"
#include "download/PackageIndex.h"
#include "signing/PackageIndex.h"
#include "signing/Signature.h"

using namespace download_test;

namespace {

const QString kDone = QStringLiteral("\nProcedimento concluído.\n");
const QString kNewer = QStringLiteral("Nova versão disponível.");
const std::vector<std::string> kOld{"IMG", "IMG/Velho.PNG"};

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::string> tree(const std::vector<std::string>& blocks) {
    std::vector<std::string> entries{download::kInstalledRecordName, "DWG", "IMG"};
    for (const std::string& block : blocks) {
        entries.push_back("DWG/" + block + ".DWG.zip");
        entries.push_back("IMG/" + block + ".PNG");
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

class SignedRun : public PublisherRun {
  protected:
    void SetUp() override {
        PublisherRun::SetUp();
        now = kStart + std::chrono::days(30);
    }

    // Changes a served file in place.
    static void edit(const fs::path& file, const std::function<void(std::string&)>& change) {
        std::string bytes = fixtures::readFile(file);
        change(bytes);
        fixtures::writeFile(file, bytes);
    }
    // Category 3 installed from version 1 of its package, {"Pia"}; the server
    // now lists version 2, {"Pia", "Fogao"}. What it served for version 1 is
    // kept in firstServed.
    void installVersion1ThenPublishVersion2() {
        publishBlocks(3, {"Pia"});
        signServed({{3, 1}});
        firstServed.clear();
        for (const auto& entry : fs::directory_iterator(served / "blocos"))
            firstServed[entry.path()] = fixtures::readFile(entry.path());
        createWindows(server->baseAddress(), publisher.builtIn());
        ASSERT_EQ(this->run({3})->boxes.at(0).text, kDone);
        publishBlocks(3, {"Pia", "Fogao"});
        signServed({{3, 2}});
    }
    void serveAgain(const std::map<fs::path, std::string>& files) const {
        for (const auto& [file, bytes] : files) fixtures::writeFile(file, bytes);
    }
    std::optional<signing::IndexLine> installedLine(int index) const {
        return download::installedPackage(library() / std::to_string(index));
    }

    std::map<fs::path, std::string> firstServed;
};

}  // namespace

TEST_F(SignedRun, ListedPackageIsInstalledWithItsVersionAndTheListsSizeAsGaugeTotal) {
    publishBlocks(3, {"Pia", "Fogao"});
    signServed({{3, 7}});
    // Without a length from the server, the list still gives the gauge its total.
    createWindows(server->faultyBaseAddress("nolength"), publisher.builtIn());
    const auto run = this->run({3});

    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_EQ(run->boxes[0].text, kDone);
    EXPECT_EQ(category(3), tree({"Pia", "Fogao"}));
    expectOnlyCategories({3});
    const std::string package = fixtures::readFile(servedPackage(3));
    EXPECT_EQ(run->largestGaugeMaximum, static_cast<int>(package.size()));
    const auto installed = installedLine(3);
    ASSERT_TRUE(installed);
    EXPECT_EQ(installed->version, 7u);
    EXPECT_EQ(installed->sha256, signing::sha256(bytesOf(package)));
}

TEST_F(SignedRun, AListTheProgramCannotTrustRefusesTheWholeRun) {
    const signing::KeyPair stranger = signing::generateKeyPair();
    const QString unsignedList =
        QStringLiteral("\nA lista de pacotes do servidor não tem a assinatura do editor");
    struct Case {
        const char* name;
        std::function<void()> spoil;
        QString said;
    };
    const Case cases[] = {
        {"a package's line changed after signing",
         [this] {
             // One digit of the size.
             edit(served / "blocos" / signing::kIndexName,
                  [](std::string& text) { text[text.rfind('\n', text.size() - 2) + 3] ^= 1; });
         },
         unsignedList},
        {"a damaged signature",
         [this] {
             edit(served / "blocos" / signing::kSignatureName,
                  [](std::string& signature) { signature[20] ^= 0x40; });
         },
         unsignedList},
        {"signed by another key",
         [&] {
             signServed({{3, 1}}, &stranger);
         },
         unsignedList},
        {"no signature", [this] { fs::remove(served / "blocos" / signing::kSignatureName); },
         unsignedList},
        {"no list", [this] { fs::remove(served / "blocos" / signing::kIndexName); }, unsignedList},
        {"signed in the older form, without dates",
         [this] {
             const fs::path list = served / "blocos" / signing::kIndexName;
             edit(list, [](std::string& text) { text.erase(0, text.find("\n3 ") + 1); });
             const signing::Signature signature =
                 signing::sign(publisher.packageKey().secretKey, bytesOf(fixtures::readFile(list)));
             fixtures::writeFile(served / "blocos" / signing::kSignatureName,
                                 std::string(signature.begin(), signature.end()));
         },
         QStringLiteral("\nA lista de pacotes do servidor não pode ser lida por esta versão do "
                        "programa (a lista de pacotes não tem data de publicação nem de validade). "
                        "Entre em contato com o editor da biblioteca.")},
    };
    publishBlocks(3, {"Pia"});
    installBefore(3, {"Velho"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        signServed({{3, 1}});
        c.spoil();
        createWindows(server->baseAddress(), publisher.builtIn());
        const auto run = this->run({3});
        ASSERT_EQ(run->boxes.size(), 1u);
        EXPECT_EQ(run->boxes[0].title, QStringLiteral("Erro"));
        EXPECT_TRUE(run->boxes[0].text.startsWith(c.said)) << run->boxes[0].text.toStdString();
        EXPECT_TRUE(run->boxes[0].text.contains(QStringLiteral("Nenhum pacote foi baixado")));
        EXPECT_FALSE(run->labels.contains(QStringLiteral("Baixando pacote: Cozinhas")));
        EXPECT_EQ(category(3), kOld);
        expectOnlyCategories({3});
    }
}

TEST_F(SignedRun, APackageThatDiffersFromItsLineIsNeverUnpacked) {
    struct Case {
        const char* name;
        std::map<int, std::uint32_t> listed;
        std::function<void(std::string&)> change;  // of package 3, after the list was signed
        const char* reason;
    };
    const Case cases[] = {
        {"the same size, other bytes", {{3, 1}, {5, 1}},
         [](std::string& bytes) { bytes[bytes.size() / 2] ^= 1; },
         "o conteúdo do pacote recebido não confere com a lista assinada do servidor"},
        {"longer than listed", {{3, 1}, {5, 1}}, [](std::string& bytes) { bytes += "mais"; },
         "o servidor enviou um pacote muito maior do que o esperado"},
        {"shorter than listed", {{3, 1}, {5, 1}}, [](std::string& bytes) { bytes.pop_back(); },
         "o download foi interrompido antes do fim"},
        {"not listed", {{5, 1}}, {}, "o pacote não consta da lista assinada do servidor"},
    };
    installBefore(3, {"Velho"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        publishBlocks(3, {"Pia"});
        publishBlocks(5, {"Tomada"});
        signServed(c.listed);
        if (c.change) edit(servedPackage(3), c.change);
        createWindows(server->baseAddress(), publisher.builtIn());
        const auto run = this->run({3});
        ASSERT_EQ(run->boxes.size(), 1u);
        EXPECT_TRUE(run->boxes[0].text.contains(QString::fromUtf8(c.reason)))
            << run->boxes[0].text.toStdString();
        for (const QString& label : run->labels)
            EXPECT_FALSE(label.startsWith(QStringLiteral("Instalando ["))) << "nothing unpacked";
        EXPECT_EQ(category(3), kOld);
        // A package shorter than its line may be continued; nothing else stays.
        expectOnlyCategories({3}, {3});
        fs::remove(partialDownload(3));
        fs::remove(library() / ".3.zip.part.id");
    }
}

TEST_F(SignedRun, ADroppedDownloadContinuesWithTheMissingBytesOnly) {
    publishBlocks(3, manyBlocks(12));
    signServed({{3, 1}});
    const std::uintmax_t size = fs::file_size(servedPackage(3));
    createWindows(server->faultyBaseAddress("dropafter-" + std::to_string(size / 2)),
                  publisher.builtIn());
    const auto broken = this->run({3});
    ASSERT_EQ(broken->boxes.size(), 1u);
    EXPECT_TRUE(broken->boxes[0].text.contains(QStringLiteral("interrompido")));
    ASSERT_TRUE(fs::exists(partialDownload(3)));
    const std::uintmax_t kept = fs::file_size(partialDownload(3));
    EXPECT_GT(kept, 0u);

    createWindows(server->baseAddress(), publisher.builtIn());
    int lowestGauge = INT_MAX;  // while downloading, once the transfer has reported
    const auto resumed = this->run({3}, [&](RunDriver& run) {
        const int value = run.window().Gauge->value();
        if (run.label().startsWith(QStringLiteral("Baixando")) && value > 0)
            lowestGauge = std::min(lowestGauge, value);
    });
    ASSERT_EQ(resumed->boxes.size(), 1u);
    EXPECT_EQ(resumed->boxes[0].text, kDone);
    EXPECT_EQ(category(3), tree(manyBlocks(12)));
    expectOnlyCategories({3});
    EXPECT_GE(lowestGauge, static_cast<int>(kept)) << "the gauge starts at the bytes kept";
}

// Only the server can announce a newer package; once it replaced the category,
// nothing more is announced.
TEST_F(SignedRun, ANewerPackageIsAnnouncedByTheServerAndReplacesTheCategory) {
    publishBlocks(3, {"Pia"});
    publishBlocks(9, {"Mesa"});
    signServed({{3, 1}, {9, 1}});
    createWindows(server->baseAddress(), publisher.builtIn());
    ASSERT_EQ(this->run({3, 9})->boxes.at(0).text, kDone);
    publishBlocks(3, {"Pia", "Fogao"});
    signServed({{3, 2}, {9, 1}});

    createWindows("http://127.0.0.1:" + std::to_string(test_support::closedPort()) + "/",
                  publisher.builtIn());
    EXPECT_EQ(this->run({})->boxes.at(0).text, kDone);
    EXPECT_FALSE(packages->hasNewerPackage(3));
    EXPECT_EQ(category(3), tree({"Pia"}));

    createWindows(server->baseAddress(), publisher.builtIn());
    std::optional<QString> memo;
    std::array<QString, library::kCategoryCount> tips;
    const auto update = this->run({3}, [&](RunDriver& run) {
        if (memo) return;
        memo = run.window().memo->toPlainText();
        for (int n = 0; n < library::kCategoryCount; ++n)
            tips[static_cast<size_t>(n)] = run.window().boxes[static_cast<size_t>(n)]->toolTip();
    });
    ASSERT_TRUE(memo);
    EXPECT_TRUE(memo->startsWith(kNewer + QLatin1Char('\n') + QStringLiteral("Descrição do pacote 3")))
        << memo->toStdString();
    for (int n = 0; n < library::kCategoryCount; ++n)
        EXPECT_EQ(tips[static_cast<size_t>(n)], n == 3 ? kNewer : QString()) << n;
    EXPECT_EQ(update->boxes.at(0).text, kDone);
    EXPECT_EQ(category(3), tree({"Pia", "Fogao"}));
    EXPECT_EQ(installedLine(3)->version, 2u);
    EXPECT_EQ(installedLine(9)->version, 1u);

    createWindows(server->baseAddress(), publisher.builtIn());
    this->run({});
    EXPECT_FALSE(packages->hasNewerPackage(3));
    EXPECT_TRUE(packages->boxes[3]->toolTip().isEmpty());
}

// A server that kept an older signed list and its package serves them again:
// the category installed from the newer one stays as it is.
TEST_F(SignedRun, AnOlderListOrPackageServedAgainNeverTakesACategoryBack) {
    struct Case {
        const char* name;
        bool forgetNewestList;  // as a fresh copy of the program, or a user's clean-up, would
        const char* said;
    };
    const Case cases[] = {
        {"the program saw the newer list", false,
         "\nA lista de pacotes do servidor é mais antiga que a última recebida"},
        {"the record of the newest list is gone", true,
         "\nNão foi possível instalar:\nCozinhas: o servidor oferece a versão 1 do pacote, mais "
         "antiga que a versão 2 instalada."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        closeWindows();
        fs::remove_all(library() / "3");
        fs::remove(library::Layout(program).newestPackageListFile());
        ASSERT_NO_FATAL_FAILURE(installVersion1ThenPublishVersion2());
        createWindows(server->baseAddress(), publisher.builtIn());
        ASSERT_EQ(this->run({3})->boxes.at(0).text, kDone);

        serveAgain(firstServed);
        if (c.forgetNewestList) fs::remove(library::Layout(program).newestPackageListFile());
        createWindows(server->baseAddress(), publisher.builtIn());
        const auto replay = this->run({3});
        ASSERT_EQ(replay->boxes.size(), 1u);
        EXPECT_EQ(replay->boxes[0].title, QStringLiteral("Erro"));
        EXPECT_TRUE(replay->boxes[0].text.startsWith(QString::fromUtf8(c.said)))
            << replay->boxes[0].text.toStdString();
        EXPECT_EQ(category(3), tree({"Pia", "Fogao"}));
        ASSERT_TRUE(installedLine(3));
        EXPECT_EQ(installedLine(3)->version, 2u);
    }
}

// The window announced the list it fetched when it opened; the server
// changes its list before Download is pressed.
TEST_F(SignedRun, TheRunInstallsOnlyFromTheListTheWindowShowed) {
    ASSERT_NO_FATAL_FAILURE(installVersion1ThenPublishVersion2());

    createWindows(server->baseAddress(), publisher.builtIn());
    QString announced;
    const auto run = this->run({3}, {}, [&](RunDriver& driver) {
        announced = driver.window().boxes[3]->toolTip();
        publishBlocks(3, {"Pia", "Fogao", "Mesa"});
        signServed({{3, 3}});
    });
    EXPECT_EQ(announced, kNewer);
    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_TRUE(
        run->boxes[0].text.startsWith(QStringLiteral("\nNão foi possível instalar:\nCozinhas: ")))
        << run->boxes[0].text.toStdString();
    EXPECT_EQ(category(3), tree({"Pia"}));
    EXPECT_EQ(installedLine(3)->version, 1u);
}

// A server that keeps serving one list hides every package published after
// it; the list's expiry bounds that, and the user learns whom to ask.
TEST_F(SignedRun, AnExpiredListAnnouncesNothingAndInstallsNothing) {
    ASSERT_NO_FATAL_FAILURE(installVersion1ThenPublishVersion2());
    const signing::Time expires = publisher.clock + signing::kDefaultValidity;
    struct Case {
        const char* name;
        signing::Time opened;   // the clock when the window opens
        signing::Time pressed;  // and when Download is pressed
        bool announced;
    };
    // In this order: the last one installs.
    const Case cases[] = {
        {"expired before the window opened", expires, expires, false},
        {"expired while the window was open", expires - std::chrono::seconds(1), expires, true},
        {"a second left", expires - std::chrono::seconds(1), expires - std::chrono::seconds(1),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        now = c.opened;
        createWindows(server->baseAddress(), publisher.builtIn());
        QString tip;
        const auto run = this->run({3}, {}, [&](RunDriver& driver) {
            tip = driver.window().boxes[3]->toolTip();
            now = c.pressed;
        });
        EXPECT_EQ(tip, c.announced ? kNewer : QString());
        ASSERT_EQ(run->boxes.size(), 1u);
        if (c.pressed < expires) {
            EXPECT_EQ(run->boxes[0].text, kDone);
            EXPECT_EQ(category(3), tree({"Pia", "Fogao"}));
            continue;
        }
        EXPECT_EQ(run->boxes[0].title, QStringLiteral("Erro"));
        EXPECT_TRUE(run->boxes[0].text.startsWith(
            QStringLiteral("\nA lista de pacotes do servidor expirou em ")))
            << run->boxes[0].text.toStdString();
        EXPECT_TRUE(run->boxes[0].text.contains(
            QStringLiteral("Entre em contato com o editor da biblioteca")));
        EXPECT_FALSE(run->labels.contains(QStringLiteral("Baixando pacote: Cozinhas")));
        EXPECT_EQ(category(3), tree({"Pia"}));
    }
}

// The record of the installed version is the program's alone: a package that
// brings one (a forged version, or a folder that keeps the program's from
// being written) never installs, and the category before stays.
TEST_F(SignedRun, APackageBringingAVersionRecordIsRefused) {
    const struct {
        const char* name;
        const char* member;
    } cases[] = {
        {"a folder in its place", "3/.pacote/x.txt"},
        {"a forged record", "3/.pacote"},
        {"a forged record in other letters", "3/.PACOTE"},
    };
    installBefore(3, {"Velho"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<fixtures::Member> members = packageMembers(3, {"Pia"});
        members.emplace_back(c.member, "99 " + std::string(64, '0') + "\n");
        publish(3, members);
        signServed({{3, 1}});
        createWindows(server->baseAddress(), publisher.builtIn());
        const auto run = this->run({3});
        ASSERT_EQ(run->boxes.size(), 1u);
        EXPECT_TRUE(run->boxes[0].text.contains(QStringLiteral(
            "Cozinhas: o pacote traz um arquivo no lugar do registro de versão")))
            << run->boxes[0].text.toStdString();
        EXPECT_EQ(category(3), kOld);
        expectOnlyCategories({3});
    }
}
