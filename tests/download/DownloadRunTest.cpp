#include <QAbstractItemView>
#include <QCheckBox>

#include "DownloadFixture.h"

using namespace download_test;
using fixtures::Member;

namespace {

const QString kDone = QStringLiteral("\nProcedimento concluído.\n");

// The phase captions of a run, without the per-entry ones.
QStringList phases(const QStringList& labels) {
    QStringList kept;
    for (const QString& label : labels)
        if (label.startsWith(QStringLiteral("Baixando")) ||
            label.startsWith(QStringLiteral("Instalando pacote")) ||
            label.startsWith(QStringLiteral("Removendo")))
            kept << label;
    return kept;
}

std::vector<std::string> tree(const std::vector<std::string>& blocks) {
    std::vector<std::string> entries{"DWG", "IMG"};
    for (const std::string& block : blocks) {
        entries.push_back("DWG/" + block + ".DWG.zip");
        entries.push_back("IMG/" + block + ".PNG");
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

const std::vector<std::string> kOld{"IMG", "IMG/Velho.PNG"};


}  // namespace

TEST_F(DownloadRun, OnePackageIsFetchedInstalledAndReported) {
    publishBlocks(3, {"Pia", "Fogao"});
    createWindows(server->baseAddress());
    const auto run = this->run({3});

    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_EQ(run->boxes[0].title, QStringLiteral("Informação"));
    EXPECT_EQ(run->boxes[0].text, kDone);
    EXPECT_EQ(category(3), tree({"Pia", "Fogao"}));
    expectOnlyCategories({3});
    EXPECT_EQ(phases(run->labels),
              (QStringList{"Baixando pacote: Cozinhas", "Instalando pacote: Cozinhas",
                           "Removendo arquivos temporários [Cozinhas]"}));
    EXPECT_TRUE(run->labels.contains(QStringLiteral("Instalando [3\\IMG\\Pia.PNG]")));
    // The gauge showed the package's bytes, then each entry's percentage.
    EXPECT_EQ(run->largestGaugeMaximum,
              static_cast<int>(fs::file_size(served / "blocos" / "3.zip")));
    EXPECT_EQ(packages->Gauge->maximum(), 100);
    EXPECT_EQ(packages->Gauge->value(), 100);
    EXPECT_EQ(slept, 2000);
    // The window closed, the list was rescanned and dropped down.
    EXPECT_FALSE(packages->isVisible());
    EXPECT_EQ(main->cArea->itemText(3), QStringLiteral("» Biblioteca - Cozinhas"));
    EXPECT_EQ(main->cArea->currentIndex(), -1);
    EXPECT_TRUE(main->cArea->view()->isVisible());
    EXPECT_FALSE(packages->bCancelar->isEnabled());
}

// The grid draws a block's picture from its drawing when the thumbnail is
// missing: drawing archives alone are blocks.
TEST_F(DownloadRun, APackageOfDrawingArchivesAloneIsInstalled) {
    installBefore(3, {"Velho"});
    std::vector<Member> members = packageMembers(3, {"Pia", "Fogao"});
    std::erase_if(members, [](const Member& member) { return member.name.ends_with(".PNG"); });
    publish(3, members);
    createWindows(server->baseAddress());
    const auto run = this->run({3});
    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_EQ(run->boxes[0].text, kDone);
    EXPECT_EQ(category(3),
              (std::vector<std::string>{"DWG", "DWG/Fogao.DWG.zip", "DWG/Pia.DWG.zip"}));
    expectOnlyCategories({3});
}

TEST_F(DownloadRun, SeveralPackagesAreAllFetchedBeforeAnyIsInstalled) {
    publishBlocks(1, {"Vaso"});
    publishBlocks(3, {"Pia"});
    publishBlocks(9, {"Sofa"});
    installBefore(3, {"Velho"});
    createWindows(server->baseAddress());
    const auto run = this->run({1, 3, 9});

    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_EQ(run->boxes[0].text, kDone);
    EXPECT_EQ(
        phases(run->labels),
        (QStringList{"Baixando pacote: Acessórios", "Baixando pacote: Cozinhas",
                     "Baixando pacote: Mobília", "Instalando pacote: Acessórios",
                     "Removendo arquivos temporários [Acessórios]", "Instalando pacote: Cozinhas",
                     "Removendo arquivos temporários [Cozinhas]", "Instalando pacote: Mobília",
                     "Removendo arquivos temporários [Mobília]"}));
    EXPECT_EQ(category(3), tree({"Pia"})) << "the installed category is replaced whole";
    expectOnlyCategories({1, 3, 9});
    EXPECT_EQ(slept, 3 * 2000);
}

TEST_F(DownloadRun, LeftoversOfAnEarlierRunAreCleared) {
    publishBlocks(3, {"Pia"});
    fixtures::writeFile(library() / "3.zip", "stale archive");
    // The folders as a killed run recorded them before creating them.
    recordCreated(library() / ".3.novo-Ab12Cd");
    recordCreated(library() / ".3.antigo-Ef34Gh");
    fixtures::writeFile(library() / ".3.novo-Ab12Cd" / "3" / "IMG" / "x.PNG", "staging");
    fixtures::writeFile(library() / ".3.antigo-Ef34Gh" / "3" / "IMG" / "y.PNG", "put aside");
    fixtures::writeFile(library() / ".3.zip.k7Lm9N.part", "partial");
    createWindows(server->baseAddress());
    const auto run = this->run({3});

    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_EQ(run->boxes[0].text, kDone);
    EXPECT_EQ(category(3), tree({"Pia"}));
    expectOnlyCategories({3});
    EXPECT_EQ(slept, 3000 + 2000) << "a stale archive is followed by a 3 s wait";
}

TEST_F(DownloadRun, NothingTickedIsReportedDoneAndChangesNothing) {
    installBefore(3, {"Velho"});
    createWindows("http://127.0.0.1:1/");
    const auto run = this->run({});
    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_EQ(run->boxes[0].text, kDone);
    EXPECT_EQ(category(3), kOld);
    expectOnlyCategories({3});
    EXPECT_FALSE(packages->isVisible());
}

TEST_F(DownloadRun, ServerFaultsKeepTheInstalledCategory) {
    publishBlocks(3, {"Pia"});
    installBefore(3, {"Velho"});
    struct Case {
        const char* name;
        std::string base;
        const char* reason;  // empty: installed
        bool resumable;      // what arrived is kept for the next run
    };
    // In this order: what the drop left is continued, and finished by the redirect.
    const Case cases[] = {
        {"missing", server->baseAddress() + "outra/", "o pacote não foi encontrado no servidor",
         false},
        {"refused", "http://127.0.0.1:" + std::to_string(test_support::closedPort()) + "/",
         "sem conexão com o servidor de pacotes", false},
        {"dropped", server->faultyBaseAddress("drop"), "o download foi interrompido antes do fim",
         true},
        {"short body", server->faultyBaseAddress("short"),
         "o download foi interrompido antes do fim", true},
        {"error page", server->faultyBaseAddress("error"),
         "o servidor de pacotes respondeu com o erro 500", true},
        {"redirect", server->faultyBaseAddress("redirect"), "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        createWindows(c.base);
        const auto run = this->run({3});
        ASSERT_EQ(run->boxes.size(), 1u);
        expectOnlyCategories({3}, c.resumable ? std::set<int>{3} : std::set<int>{});
        EXPECT_EQ(fs::exists(partialDownload(3)), c.resumable);
        if (*c.reason == '\0') {
            EXPECT_EQ(run->boxes[0].text, kDone);
            EXPECT_EQ(category(3), tree({"Pia"}));
            continue;
        }
        EXPECT_EQ(run->boxes[0].title, QStringLiteral("Erro"));
        EXPECT_TRUE(
            run->boxes[0].text.contains(QStringLiteral("Cozinhas: ") + QString::fromUtf8(c.reason)))
            << run->boxes[0].text.toStdString();
        EXPECT_EQ(category(3), kOld);
        EXPECT_EQ(main->cArea->itemText(3), QStringLiteral("» Biblioteca - Cozinhas"));
    }
}

TEST_F(DownloadRun, DamagedOrHostilePackagesAreRefusedWhole) {
    installBefore(3, {"Velho"});
    const fs::path absolute = temp.path() / "absoluto.txt";
    const fs::path archive = served / "blocos" / "3.zip";
    struct Case {
        const char* name;
        std::function<void()> publish;
        const char* reason;
        std::size_t questions;
    };
    auto withPackage = [this](std::vector<Member> extra) {
        std::vector<Member> members = packageMembers(3, {"Pia"});
        for (Member& member : extra) members.push_back(std::move(member));
        publish(3, members);
    };
    const Case cases[] = {
        {"escaping names",
         [&] {
             withPackage({Member("../fora.txt", "x"), Member("3/../../fora2.txt", "x"),
                          Member(library::pathToUtf8(absolute), "x")});
         },
         "o pacote contém um arquivo fora da sua pasta", 0},
        {"link", [&] { withPackage({Member("3/IMG/link", "/etc/passwd").unixMode(0120777)}); },
         "o pacote contém um arquivo fora da sua pasta", 0},
        {"another package's folder", [&] { withPackage({Member("4/IMG/x.PNG", "x")}); },
         "o pacote contém um arquivo fora da sua pasta", 0},
        {"claims more than 1 GiB",
         [&] {
             withPackage({});
             fixtures::patchMember(archive, "3/DWG/Pia.DWG.zip",
                                   [](std::string& bytes, const fixtures::MemberLayout& member) {
                                       bytes.at(member.centralEntry + 24 + 3) = 0x41;
                                   });
         },
         "o pacote está danificado (3/DWG/Pia.DWG.zip)", 1},
        {"compresses more than 1000:1",
         [&] { withPackage({Member("3/DWG/Zeros.DWG.zip", std::string(4 << 20, '\0'))}); },
         "o pacote está danificado (3/DWG/Zeros.DWG.zip)", 1},
        {"damaged entry, question ignored",
         [&] {
             withPackage({});
             fixtures::damageMember(archive, "3/DWG/Pia.DWG.zip");
         },
         "o pacote está danificado (3/DWG/Pia.DWG.zip)", 1},
        {"not a zip", [&] { fixtures::writeFile(archive, "<html>not a zip</html>"); },
         "o arquivo do pacote está danificado ou incompleto", 0},
        {"no entries",
         [&] {
             fixtures::writeFile(archive, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
         },
         "o pacote não contém nenhum bloco", 0},
        {"only the category folder", [&] { publish(3, {Member("3/", "")}); },
         "o pacote não contém nenhum bloco", 0},
        {"thumbnails without any drawing archive",
         [&] {
             publish(3, {Member("3/IMG/Pia.PNG", "png"), Member("3/DWG/Pia.DWG", "x"),
                         Member("3/DWG/.DWG.zip", "x")});
         },
         "o pacote não contém nenhum bloco", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(c.publish());
        createWindows(server->baseAddress());
        const auto run = this->run({3});
        ASSERT_EQ(run->boxes.size(), c.questions + 1);
        EXPECT_TRUE(run->boxes.back().text.contains(QStringLiteral("Cozinhas: ") +
                                                    QString::fromUtf8(c.reason)))
            << run->boxes.back().text.toStdString();
        EXPECT_EQ(category(3), kOld);
        expectOnlyCategories({3});
        EXPECT_FALSE(fs::exists(absolute));
    }
}

TEST_F(DownloadRun, CancelKeepsTheLibraryAsItWas) {
    for (int n : {1, 3, 9}) publishBlocks(n, manyBlocks(20));
    installBefore(9, {"Velho"});
    auto cancelWhen = [](QString labelPrefix, bool byCloseBox) {
        return [labelPrefix, byCloseBox, done = false](RunDriver& run) mutable {
            if (done || !run.label().startsWith(labelPrefix)) return;
            if (labelPrefix.startsWith(QStringLiteral("Baixando")) &&
                run.window().Gauge->value() <= 0)
                return;  // until the transfer is under way
            done = true;
            if (byCloseBox)
                run.window().close();
            else
                QTest::mouseClick(run.window().bCancelar, Qt::LeftButton);
        };
    };
    const QString downloadCancelled = QStringLiteral("\nDownload cancelado.\n");
    const QString installCancelled = QStringLiteral("\nInstalação cancelada.\n");
    struct Case {
        const char* name;
        std::string base;
        std::set<int> ticked;
        RunDriver::Hook hook;
        QStringList warnings;
    };
    const Case cases[] = {
        {"Cancelar during the second of three downloads",
         server->faultyBaseAddress("slow"),
         {1, 3, 9},
         cancelWhen(QStringLiteral("Baixando pacote: Cozinhas"), false),
         {downloadCancelled, downloadCancelled, installCancelled}},
        {"close box during a download",
         server->faultyBaseAddress("slow"),
         {9},
         cancelWhen(QStringLiteral("Baixando pacote: Mobília"), true),
         {downloadCancelled}},
        {"Cancelar during the extraction",
         server->baseAddress(),
         {9},
         cancelWhen(QStringLiteral("Instalando [9\\DWG"), false),
         {installCancelled}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        createWindows(c.base);
        const auto run = this->run(c.ticked, c.hook);
        ASSERT_EQ(run->boxes.size(), static_cast<std::size_t>(c.warnings.size()) + 1);
        for (int i = 0; i < c.warnings.size(); ++i) {
            EXPECT_EQ(run->boxes[i].title, QStringLiteral("Aviso"));
            EXPECT_EQ(run->boxes[i].text, c.warnings[i]);
        }
        EXPECT_EQ(run->boxes.back().title, QStringLiteral("Aviso"));
        EXPECT_TRUE(
            run->boxes.back().text.startsWith(QStringLiteral("\nNão foi possível instalar")));
        EXPECT_EQ(category(9), kOld);
        // A cancelled transfer keeps what arrived for the next run.
        expectOnlyCategories({9}, c.ticked);
        EXPECT_FALSE(packages->isVisible());
    }
}

TEST_F(DownloadRun, DownloadIsRefusedWhileARunWorks) {
    publishBlocks(3, manyBlocks(20));
    publishBlocks(5, {"Tomada"});
    createWindows(server->faultyBaseAddress("slow"));
    bool tried = false;
    const auto run = this->run({3}, [&](RunDriver& run) {
        if (tried || !run.label().startsWith(QStringLiteral("Baixando"))) return;
        tried = true;
        EXPECT_FALSE(run.window().bDownload->isEnabled());
        EXPECT_FALSE(run.window().boxes[5]->isEnabled());
        // The selection is fixed for the run, and a second run does not start.
        main->shared().PackageSelection[5] = true;
        run.window().bDownloadClick();
    });
    EXPECT_TRUE(tried);
    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_EQ(run->boxes[0].text, kDone);
    expectOnlyCategories({3});
    EXPECT_TRUE(packages->bDownload->isEnabled());
    EXPECT_TRUE(packages->boxes[5]->isEnabled());
}

// A swap interrupted between its two renames left the category only in its
// put-aside folder: it comes back whatever the run then meets, and a category
// folder that exists is never replaced by a put-aside one.
TEST_F(DownloadRun, APutAsideCategoryIsPutBackBeforeAnyCleanUp) {
    struct Case {
        const char* name;
        bool categoryPresent;
        std::string base;
        std::vector<std::string> expected;
    };
    publishBlocks(3, {"Pia"});
    const std::string down = "http://127.0.0.1:" + std::to_string(test_support::closedPort()) + "/";
    const Case cases[] = {
        {"server down, category missing", false, down, {"IMG", "IMG/Velho.PNG"}},
        {"server down, category present", true, down, {"IMG", "IMG/Atual.PNG"}},
        {"server up, category missing", false, server->baseAddress(), tree({"Pia"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        closeWindows();
        fs::remove_all(library() / "3");
        recordCreated(library() / ".3.antigo-Ef34Gh");
        fixtures::writeFile(library() / ".3.antigo-Ef34Gh" / "3" / "IMG" / "Velho.PNG", "old");
        if (c.categoryPresent) installBefore(3, {"Atual"});
        createWindows(c.base);
        const auto run = this->run({3});
        ASSERT_FALSE(run->boxes.empty());
        EXPECT_EQ(category(3), c.expected);
        expectOnlyCategories({3});
    }
}

// A package far larger than the category table says is refused as it
// arrives: the endless body stops at four times the listed 4 MB.
TEST_F(DownloadRun, AnEndlessBodyIsRefusedAndTheCategoryStays) {
    publishBlocks(11, {"Banco"});
    installBefore(11, {"Velho"});
    createWindows(server->faultyBaseAddress("endless"));
    const auto run = this->run({11});
    ASSERT_EQ(run->boxes.size(), 1u);
    EXPECT_TRUE(run->boxes[0].text.contains(
        QStringLiteral("Urbano: o servidor enviou um pacote muito maior do que o esperado")))
        << run->boxes[0].text.toStdString();
    EXPECT_EQ(category(11), kOld);
    expectOnlyCategories({11});
}
