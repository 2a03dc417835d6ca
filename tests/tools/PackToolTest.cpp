// tessaly-pack run as a publisher runs it: exit status, what stderr names,
// thumbnails as the grid shows them, packages that do not change between runs.
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "PreviewImages.h"
#include "Samples.h"
#include "ToolRun.h"
#include "ZipFixtures.h"
#include "signing/PackageIndex.h"
#include "signing/Signature.h"
#include "signing/Trust.h"

namespace {

using namespace fixtures;

using testsupport::shellQuoted;
using testsupport::ToolRun;

ToolRun runPack(const std::string& arguments) {
    return testsupport::runTool(TESSALY_PACK_PATH, arguments);
}

// A wide drawing: a 300 x 100 rectangle with its diagonal.
std::string wideDrawing() {
    dwg::Drawing drawing;
    dwg::Block model;
    model.handle = 1;
    model.modelSpace = true;
    dwg::LwPolyline outline;
    outline.closed = true;
    outline.points = {{0, 0}, {300, 0}, {300, 100}, {0, 100}};
    dwg::Entity e;
    e.typeName = "LWPOLYLINE";
    e.data = outline;
    model.entities.push_back(e);
    e.typeName = "LINE";
    e.data = dwg::Line{{0, 0, 0}, {300, 100, 0}};
    model.entities.push_back(e);
    drawing.blocks.push_back(model);
    const std::vector<std::uint8_t> bytes = dwg::writeR2000(drawing);
    return {bytes.begin(), bytes.end()};
}

TEST(PackTool, ExitStatusAndStderrSayWhatWasLeftOut) {
    TempFolder temp;
    writeFile(temp.path() / "bons" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    writeFile(temp.path() / "mistos" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    writeFile(temp.path() / "mistos" / "Quebrado.DWG", "não é um desenho");
    struct Case {
        const char* name;
        std::string arguments;
        int exitCode;
        const char* named;  // on the output, or null
    };
    const Case cases[] = {
        {"all packed",
         "--output " + shellQuoted(temp.path() / "a") + " 9 " + shellQuoted(temp.path() / "bons"),
         0, nullptr},
        {"one left out",
         "--output " + shellQuoted(temp.path() / "b") + " 9 " + shellQuoted(temp.path() / "mistos"),
         1, "Quebrado.DWG"},
        {"no output given", "9 " + shellQuoted(temp.path() / "bons"), 2, "uso:"},
        {"category out of range",
         "--output " + shellQuoted(temp.path() / "c") + " 14 " + shellQuoted(temp.path() / "bons"),
         2, "uso:"},
        {"missing folder",
         "--output " + shellQuoted(temp.path() / "c") + " 3 " + shellQuoted(temp.path() / "nada"),
         2, "nada"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = runPack(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        if (c.named) {
            EXPECT_NE(run.output.find(c.named), std::string::npos) << run.output;
        }
        // No progress bar into a pipe (Windows ends its lines with "\r\n").
        EXPECT_EQ(run.output.find("\r\033[K"), std::string::npos);
    }
    EXPECT_TRUE(fs::exists(temp.path() / "a" / "9.zip"));
    EXPECT_TRUE(fs::exists(temp.path() / "b" / "9.zip"));
    EXPECT_FALSE(fs::exists(temp.path() / "c"));
}

TEST(PackTool, ThumbnailsFitTheGridTileOnWhiteAndPackagesRepeat) {
    TempFolder temp;
    writeFile(temp.path() / "in" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    for (const char* out : {"a", "b"})
        ASSERT_EQ(runPack("--install " + shellQuoted(temp.path() / out) + " --output " +
                          shellQuoted(temp.path() / out) + " 5 " + shellQuoted(temp.path() / "in"))
                      .exitCode,
                  0);
    EXPECT_EQ(readFile(temp.path() / "a" / "5.zip"), readFile(temp.path() / "b" / "5.zip"));

    const QImage thumbnail(QString::fromStdString(
        (temp.path() / "a" / "Blocos" / "5" / "IMG" / library::pathFromUtf8("Retângulo.PNG"))
            .string()));
    ASSERT_FALSE(thumbnail.isNull());
    EXPECT_NEAR(static_cast<double>(thumbnail.width()) / thumbnail.height(), std::sqrt(2.0), 0.01);
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(thumbnail.width() - 1, thumbnail.height() - 1)})
        EXPECT_EQ(thumbnail.pixelColor(corner), QColor(Qt::white));
    // The 3:1 drawing fills the width: ink near both sides, none at top and bottom.
    auto inkInColumn = [&](int x) {
        for (int y = 0; y < thumbnail.height(); ++y)
            if (thumbnail.pixelColor(x, y).lightness() < 128) return true;
        return false;
    };
    auto inkInRow = [&](int y) {
        for (int x = 0; x < thumbnail.width(); ++x)
            if (thumbnail.pixelColor(x, y).lightness() < 128) return true;
        return false;
    };
    EXPECT_TRUE(inkInColumn(thumbnail.width() / 20));
    EXPECT_TRUE(inkInColumn(thumbnail.width() * 19 / 20));
    EXPECT_FALSE(inkInRow(thumbnail.height() / 10));
    EXPECT_FALSE(inkInRow(thumbnail.height() * 9 / 10));
}

// Width over height of the ink's box, in pixels.
double inkAspect(const QImage& image) {
    const QRectF box = testsupport::inkBox(image);
    return box.isEmpty() ? 0 : box.width() * image.width() / (box.height() * image.height());
}

TEST(PackTool, ThumbnailsShowA3DDrawingFromItsSavedDirection) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    // A 3D polyline saved in an isometric view; from the top it has another shape.
    const fs::path sample = testsupport::samplesFolder() / "R2000/libredwg_PolyLine3D.dwg";
    TempFolder temp;
    fs::create_directories(temp.path() / "in");
    fs::copy_file(sample, temp.path() / "in" / "Poli.DWG");
    ASSERT_EQ(runPack("--install " + shellQuoted(temp.path() / "out") + " --output " +
                      shellQuoted(temp.path() / "out") + " 5 " + shellQuoted(temp.path() / "in"))
                  .exitCode,
              0);
    const QImage thumbnail(QString::fromStdString(
        (temp.path() / "out" / "Blocos" / "5" / "IMG" / "Poli.PNG").string()));
    ASSERT_FALSE(thumbnail.isNull());
    const QImage saved = testsupport::storedPreview(sample);
    ASSERT_FALSE(saved.isNull());
    const double expected = inkAspect(saved);
    ASSERT_GT(expected, 0);
    EXPECT_NEAR(inkAspect(thumbnail), expected, 0.05 * expected);
}

// How much of its ink box a thumbnail covers: faces fill it, lines do not.
double inkCover(const QImage& image) {
    const QRectF share = testsupport::inkBox(image);  // of the image's size
    const QRect box = QRectF(share.x() * image.width(), share.y() * image.height(),
                             share.width() * image.width(), share.height() * image.height())
                          .toAlignedRect();
    int inked = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            inked += image.pixel(x, y) != qRgb(255, 255, 255);
    return box.isEmpty() ? 0 : inked / double(box.width() * box.height());
}

TEST(PackTool, ThumbnailsShadeA3DBlockAndDrawA2DOneAsItIs) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    TempFolder temp;
    fs::create_directories(temp.path() / "in");
    fs::copy_file(testsupport::samplesFolder() / "R2018/restaurant_LAVAMANOS.dwg",
                  temp.path() / "in" / "Pia.DWG");
    writeFile(temp.path() / "in" / "Plano.DWG", wideDrawing());
    ASSERT_EQ(runPack("--install " + shellQuoted(temp.path() / "out") + " --output " +
                      shellQuoted(temp.path() / "out") + " 5 " + shellQuoted(temp.path() / "in"))
                  .exitCode,
              0);
    const auto thumbnail = [&](const char* name) {
        return QImage(
            QString::fromStdString((temp.path() / "out" / "Blocos" / "5" / "IMG" / name).string()));
    };
    const QImage shaded = thumbnail("Pia.PNG"), plan = thumbnail("Plano.PNG");
    ASSERT_FALSE(shaded.isNull());
    ASSERT_FALSE(plan.isNull());
    EXPECT_GT(inkCover(shaded), 0.4);
    EXPECT_LT(inkCover(plan), 0.1);
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

signing::PublicKey publicKeyIn(const fs::path& folder) {
    std::string text = readFile(folder / "tessaly-pacotes.pub");
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const auto key = signing::fromHex<32>(text);
    if (!key) ADD_FAILURE() << "no public key in " << folder;
    return key.value_or(signing::PublicKey{});
}

TEST(PackTool, KeygenWritesAPairOnceWithAPrivateSecret) {
    TempFolder temp;
    const fs::path keys = temp.path() / "chaves";
    const ToolRun first = runPack("keygen " + shellQuoted(keys));
    ASSERT_EQ(first.exitCode, 0) << first.output;
    // POSIX keeps the secret to its owner by its bits; Windows has no such
    // bits, the rights of the user's own folders do that there.
    if constexpr (fs::path::preferred_separator == '/') {
        EXPECT_EQ(fs::status(keys / "tessaly-pacotes.chave").permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    const std::string before = readFile(keys / "tessaly-pacotes.chave");
    const auto secretKey = signing::fromHex<64>(before.substr(0, 128));
    ASSERT_TRUE(secretKey);
    EXPECT_EQ(signing::publicKeyOf(*secretKey), publicKeyIn(keys));

    const ToolRun second = runPack("keygen " + shellQuoted(keys));
    EXPECT_EQ(second.exitCode, 2);
    EXPECT_NE(second.output.find("já existe"), std::string::npos) << second.output;
    EXPECT_EQ(readFile(keys / "tessaly-pacotes.chave"), before);
}

TEST(PackTool, SignedIndexListsEachPackageAndFollowsRepacking) {
    TempFolder temp;
    writeFile(temp.path() / "um" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    writeFile(temp.path() / "dois" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    writeFile(temp.path() / "dois" / "Outro.DWG", wideDrawing());
    ASSERT_EQ(runPack("keygen " + shellQuoted(temp.path() / "k")).exitCode, 0);
    ASSERT_EQ(runPack("keygen " + shellQuoted(temp.path() / "outra")).exitCode, 0);
    const fs::path out = temp.path() / "blocos";
    auto pack = [&](const char* key, int category, const char* drawings) {
        return runPack("--sign " + shellQuoted(temp.path() / key / "tessaly-pacotes.chave") +
                       " --output " + shellQuoted(out) + " " + std::to_string(category) + " " +
                       shellQuoted(temp.path() / drawings));
    };
    auto index = [&] {
        const std::string text = readFile(out / "indice.txt");
        EXPECT_TRUE(signing::verify(publicKeyIn(temp.path() / "k"), bytesOf(text),
                                    bytesOf(readFile(out / "indice.txt.sig"))));
        return signing::PackageIndex::parse(text);
    };
    auto lineMatches = [&](const signing::PackageIndex& list, int category) {
        const std::string package = readFile(out / (std::to_string(category) + ".zip"));
        const signing::IndexLine* line = list.find(category);
        return line && line->size == package.size() &&
               line->sha256 == signing::sha256(bytesOf(package));
    };

    ASSERT_EQ(pack("k", 4, "um").exitCode, 0);
    ASSERT_EQ(pack("k", 2, "dois").exitCode, 0);
    const signing::PackageIndex both = index();
    EXPECT_TRUE(lineMatches(both, 2));
    EXPECT_TRUE(lineMatches(both, 4));
    EXPECT_EQ(both.find(2)->version, 1u);
    ASSERT_TRUE(both.validity());
    EXPECT_EQ(both.validity()->expires - both.validity()->published, signing::kDefaultValidity);

    // The same inputs keep their line, and the list is published again, as the next;
    // other drawings raise the version.
    ASSERT_EQ(pack("k", 4, "um").exitCode, 0);
    const signing::PackageIndex again = index();
    EXPECT_EQ(*again.find(4), *both.find(4));
    EXPECT_EQ(*again.find(2), *both.find(2));
    EXPECT_GE(again.validity()->published, both.validity()->published);
    EXPECT_EQ(again.listVersion(), both.listVersion() + 1);
    ASSERT_EQ(pack("k", 4, "dois").exitCode, 0);
    const signing::PackageIndex repacked = index();
    EXPECT_TRUE(lineMatches(repacked, 4));
    EXPECT_EQ(repacked.find(4)->version, 2u);
    EXPECT_EQ(*repacked.find(2), *both.find(2));

    // Another key cannot take over the list, nor its packages.
    const std::string package = readFile(out / "4.zip");
    const std::string current = readFile(out / "indice.txt");
    const ToolRun stranger = pack("outra", 4, "um");
    EXPECT_EQ(stranger.exitCode, 2);
    EXPECT_NE(stranger.output.find("assinatura"), std::string::npos) << stranger.output;
    EXPECT_EQ(readFile(out / "indice.txt"), current);
    EXPECT_EQ(readFile(out / "4.zip"), package);

    EXPECT_EQ(runPack("--sign " + shellQuoted(temp.path() / "k" / "tessaly-pacotes.pub") +
                      " --output " + shellQuoted(out) + " 4 " + shellQuoted(temp.path() / "um"))
                  .exitCode,
              2)
        << "a public key is not a secret key";
}

TEST(PackTool, ThePublisherChoosesHowLongAListIsGoodAndRenewsItBeforeItExpires) {
    TempFolder temp;
    writeFile(temp.path() / "um" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    ASSERT_EQ(runPack("keygen " + shellQuoted(temp.path() / "k")).exitCode, 0);
    ASSERT_EQ(runPack("keygen " + shellQuoted(temp.path() / "outra")).exitCode, 0);
    const std::string key = shellQuoted(temp.path() / "k" / "tessaly-pacotes.chave");
    const std::string otherKey = shellQuoted(temp.path() / "outra" / "tessaly-pacotes.chave");
    const fs::path out = temp.path() / "blocos";
    const std::string drawings = shellQuoted(temp.path() / "um");
    auto index = [&] {
        const std::string text = readFile(out / "indice.txt");
        EXPECT_TRUE(signing::verify(publicKeyIn(temp.path() / "k"), bytesOf(text),
                                    bytesOf(readFile(out / "indice.txt.sig"))));
        return signing::PackageIndex::parse(text);
    };

    const ToolRun packed = runPack("--sign " + key + " --valid-days 30 --output " +
                                   shellQuoted(out) + " 4 " + drawings);
    ASSERT_EQ(packed.exitCode, 0) << packed.output;
    const signing::PackageIndex first = index();
    EXPECT_EQ(first.validity()->expires - first.validity()->published, std::chrono::days(30));
    EXPECT_NE(packed.output.find("expira em " + signing::formatTime(first.validity()->expires)),
              std::string::npos)
        << packed.output;

    const ToolRun renewed = runPack("renew --valid-days 7 " + key + " " + shellQuoted(out));
    ASSERT_EQ(renewed.exitCode, 0) << renewed.output;
    const signing::PackageIndex second = index();
    EXPECT_EQ(*second.find(4), *first.find(4));
    EXPECT_GE(second.validity()->published, first.validity()->published);
    EXPECT_EQ(second.listVersion(), first.listVersion() + 1) << "renewing raises the number too";
    EXPECT_EQ(second.validity()->expires - second.validity()->published, std::chrono::days(7));

    const std::string list = readFile(out / "indice.txt");
    const std::string signature = readFile(out / "indice.txt.sig");
    const struct {
        const char* name;
        std::string arguments;
    } refused[] = {
        {"renewed with another key", "renew " + otherKey + " " + shellQuoted(out)},
        {"nothing to renew", "renew " + key + " " + shellQuoted(temp.path() / "vazia")},
        {"renew without a folder", "renew " + key},
        {"no days", "renew --valid-days 0 " + key + " " + shellQuoted(out)},
        {"beyond ten years", "renew --valid-days 3651 " + key + " " + shellQuoted(out)},
        {"not a number", "renew --valid-days 7d " + key + " " + shellQuoted(out)},
        {"days without a key to sign",
         "--valid-days 7 --output " + shellQuoted(out) + " 4 " + drawings},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(runPack(c.arguments).exitCode, 2);
        EXPECT_EQ(readFile(out / "indice.txt"), list);
        EXPECT_EQ(readFile(out / "indice.txt.sig"), signature);
    }
}

// What a program built with builtIn makes of the served folder, now.
signing::Verdict programView(const fs::path& served, const signing::PublicKey& builtIn) {
    signing::Publication publication;
    const auto readIfThere = [&](const char* name) {
        return fs::exists(served / name) ? readFile(served / name) : std::string();
    };
    publication.roots = readIfThere(signing::kRootsName);
    publication.delegation = readIfThere(signing::kDelegationName);
    publication.delegationSignature = readIfThere(signing::kDelegationSignatureName);
    publication.list = readIfThere(signing::kIndexName);
    publication.listSignature = readIfThere(signing::kSignatureName);
    const signing::Wording wording{[](signing::Time time) { return signing::formatTime(time); },
                                   [](int index) { return std::to_string(index); }};
    return signing::judgePublication(
        publication, builtIn, nullptr,
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()), wording);
}

signing::PublicKey rootKeyIn(const fs::path& folder) {
    std::string text = readFile(folder / "tessaly-raiz.pub");
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return signing::fromHex<32>(text).value_or(signing::PublicKey{});
}

// A publisher who signed with one key moves to a root and a new package key:
// the versions of his list carry over, programs built with the old key follow
// through the root change, and the old key signs no more.
TEST(PackTool, ANewPackageKeyCarriesTheVersionsOver) {
    TempFolder temp;
    writeFile(temp.path() / "um" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    writeFile(temp.path() / "dois" / "Outro.DWG", wideDrawing());
    writeFile(temp.path() / "tres" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    writeFile(temp.path() / "tres" / "Outro.DWG", wideDrawing());
    const fs::path out = temp.path() / "blocos";
    const auto key = [&](const char* folder, const char* name) {
        return shellQuoted(temp.path() / folder / name);
    };
    const auto pack = [&](const char* keyFolder, const char* drawings) {
        return runPack("--sign " + key(keyFolder, "tessaly-pacotes.chave") + " --output " +
                       shellQuoted(out) + " 4 " + shellQuoted(temp.path() / drawings));
    };
    ASSERT_EQ(runPack("keygen " + shellQuoted(temp.path() / "antiga")).exitCode, 0);
    ASSERT_EQ(pack("antiga", "um").exitCode, 0);
    ASSERT_EQ(pack("antiga", "dois").exitCode, 0);
    const signing::PackageIndex before = signing::PackageIndex::parse(readFile(out / "indice.txt"));
    ASSERT_EQ(before.find(4)->version, 2u);
    EXPECT_EQ(before.listVersion(), 2u);

    const ToolRun root = runPack("keygen --raiz " + shellQuoted(temp.path() / "raiz"));
    ASSERT_EQ(root.exitCode, 0) << root.output;
    ASSERT_EQ(runPack("keygen " + shellQuoted(temp.path() / "nova")).exitCode, 0);
    // Programs built with the old key follow it to the root.
    const ToolRun changed = runPack("trocar-raiz " + key("antiga", "tessaly-pacotes.chave") + " " +
                                    key("raiz", "tessaly-raiz.chave") + " " + shellQuoted(out));
    ASSERT_EQ(changed.exitCode, 0) << changed.output;
    const ToolRun undelegated = pack("antiga", "um");
    EXPECT_EQ(undelegated.exitCode, 2) << "the programs that follow the root trust no list yet";
    EXPECT_NE(undelegated.output.find("nenhuma delegação"), std::string::npos) << undelegated.output;
    const ToolRun delegated =
        runPack("delegar --valid-days 30 " + key("raiz", "tessaly-raiz.chave") + " " +
                key("nova", "tessaly-pacotes.pub") + " " + shellQuoted(out));
    ASSERT_EQ(delegated.exitCode, 0) << delegated.output;
    const signing::Delegation delegation =
        signing::Delegation::parse(readFile(out / signing::kDelegationName));
    EXPECT_EQ(delegation.version, 1u);
    EXPECT_EQ(delegation.until - delegation.from, std::chrono::days(30));

    ASSERT_EQ(pack("nova", "tres").exitCode, 0);
    const signing::PackageIndex after = signing::PackageIndex::parse(readFile(out / "indice.txt"));
    EXPECT_EQ(after.find(4)->version, 3u) << "the old key's versions go on";
    EXPECT_EQ(after.listVersion(), 3u);
    EXPECT_LE(after.validity()->expires, delegation.until) << "no list outlives its delegation";
    for (const signing::PublicKey& builtIn :
         {publicKeyIn(temp.path() / "antiga"), rootKeyIn(temp.path() / "raiz")}) {
        const signing::Verdict view = programView(out, builtIn);
        EXPECT_TRUE(view.trusted) << view.because;
    }

    const std::string list = readFile(out / "indice.txt");
    const ToolRun old = pack("antiga", "um");
    EXPECT_EQ(old.exitCode, 2);
    EXPECT_NE(old.output.find("autoriza outra chave"), std::string::npos) << old.output;
    const ToolRun strangerRoot = runPack("keygen --raiz " + shellQuoted(temp.path() / "outra"));
    ASSERT_EQ(strangerRoot.exitCode, 0);
    const ToolRun wrongRoot = runPack("delegar " + key("outra", "tessaly-raiz.chave") + " " +
                                      key("antiga", "tessaly-pacotes.pub") + " " + shellQuoted(out));
    EXPECT_EQ(wrongRoot.exitCode, 2);
    EXPECT_NE(wrongRoot.output.find("não é a atual"), std::string::npos) << wrongRoot.output;
    EXPECT_EQ(readFile(out / "indice.txt"), list);
    EXPECT_TRUE(signing::verify(rootKeyIn(temp.path() / "raiz"),
                                bytesOf(readFile(out / signing::kDelegationName)),
                                bytesOf(readFile(out / signing::kDelegationSignatureName))));
}

// A list the publisher's clock once dated ahead: the next is dated by the
// clock the tool runs on, its number raised, and the publisher told.
TEST(PackTool, AListIsNeverDatedAfterTheToolsClock) {
    TempFolder temp;
    writeFile(temp.path() / "um" / library::pathFromUtf8("Retângulo.DWG"), wideDrawing());
    ASSERT_EQ(runPack("keygen " + shellQuoted(temp.path() / "k")).exitCode, 0);
    const fs::path out = temp.path() / "blocos";
    const std::string secret = shellQuoted(temp.path() / "k" / "tessaly-pacotes.chave");
    ASSERT_EQ(runPack("--sign " + secret + " --output " + shellQuoted(out) + " 4 " +
                      shellQuoted(temp.path() / "um"))
                  .exitCode,
              0);
    // The same list as dated by a clock 400 days ahead.
    signing::PackageIndex ahead = signing::PackageIndex::parse(readFile(out / "indice.txt"));
    const signing::Time future = ahead.validity()->published + std::chrono::days(400);
    ahead.setValidity({future, future + signing::kDefaultValidity});
    const std::string text = ahead.format();
    const auto secretKey = signing::fromHex<64>(readFile(temp.path() / "k" / "tessaly-pacotes.chave").substr(0, 128));
    ASSERT_TRUE(secretKey);
    const signing::Signature signature = signing::sign(*secretKey, bytesOf(text));
    writeFile(out / "indice.txt", text);
    writeFile(out / "indice.txt.sig", std::string(signature.begin(), signature.end()));

    const signing::Time before =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const ToolRun renewed = runPack("renew " + secret + " " + shellQuoted(out));
    ASSERT_EQ(renewed.exitCode, 0) << renewed.output;
    EXPECT_NE(renewed.output.find("depois do relógio deste computador"), std::string::npos)
        << renewed.output;
    const signing::PackageIndex now = signing::PackageIndex::parse(readFile(out / "indice.txt"));
    EXPECT_LT(now.validity()->published, before + std::chrono::hours(1));
    EXPECT_EQ(now.validity()->expires - now.validity()->published, signing::kDefaultValidity);
    EXPECT_EQ(now.listVersion(), ahead.listVersion() + 1);
}

}  // namespace
