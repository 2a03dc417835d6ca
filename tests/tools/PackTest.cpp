// The package builder's packing: what a package holds once unpacked by
// Info-ZIP and by our reader, which drawings are left out, reproducibility
// and installing straight into a program folder. Thumbnails come from a
// stand-in here; the tool's own rendering is checked where the tool runs.
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <map>

#include "Pack.h"
#include "Sign.h"
#include "ZipFixtures.h"
#include "archive/ZipReader.h"
#include "signing/PackageIndex.h"

namespace {

using namespace fixtures;

constexpr int kCategory = 9;

// Stands in for the renderer: different bytes for different drawings.
std::vector<std::uint8_t> fakeThumbnail(const dwg::Drawing& drawing) {
    const std::string text =
        "miniatura de " + std::to_string(drawing.modelSpace()->entities.size());
    return {text.begin(), text.end()};
}

std::string drawingWith(int circles) {
    dwg::Drawing drawing;
    dwg::Block model;
    model.handle = 1;
    model.modelSpace = true;
    for (int i = 0; i < circles; ++i) {
        dwg::Entity circle;
        circle.typeName = "CIRCLE";
        circle.data = dwg::Circle{{i * 10.0, 0, 0}, 4};
        model.entities.push_back(circle);
    }
    drawing.blocks.push_back(model);
    const std::vector<std::uint8_t> bytes = dwg::writeR2000(drawing);
    return {bytes.begin(), bytes.end()};
}

const std::string kChair = drawingWith(1);
const std::string kTable = drawingWith(2);
const std::string kTableName = "Mesa de centro é";

// Two drawings to pack and files that must stay out of the package.
struct InputFolder {
    TempFolder temp;
    fs::path drawings = temp.path() / "desenhos";
    InputFolder() {
        writeFile(drawings / "Cadeira.DWG", kChair);
        writeFile(drawings / library::pathFromUtf8(kTableName + ".dwg"), kTable);
        writeFile(drawings / "Quebrado.DWG", "AC1015 isto não é um desenho");
        writeFile(drawings / "cadeira.dwg", drawingWith(3));  // the same name to Windows
        writeFile(drawings / "a:b.DWG", kChair);
        writeFile(drawings / "leia-me.txt", "não é desenho");
    }
    pack::PackedCategory pack() const {
        return pack::packDrawings(drawings, pack::kDefaultEntryTime, fakeThumbnail);
    }
};

void unzipWithInfoZip(const fs::path& archive, const fs::path& into) {
    fs::create_directories(into);
    const std::string command =
        "cd '" + into.string() + "' && unzip -qq -P '" + kPassword + "' '" + archive.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

void extractWithOurReader(const fs::path& archive, const fs::path& into) {
    fs::create_directories(into);
    archive::ZipReader reader;
    std::optional<archive::ZipLease> lease = reader.tryLease();
    ASSERT_TRUE(lease);
    lease->open(archive);
    archive::ExtractOptions options;
    options.destination = into;
    options.pathMode = archive::PathMode::StoredPaths;
    options.password = kPassword;
    const archive::ExtractResult result = lease->extract(options);
    EXPECT_TRUE(result.failed.empty() && result.refused.empty());
}

TEST(Pack, DrawingsThatCannotBeReadOrNamedAreLeftOutAndNamed) {
    InputFolder input;
    const pack::PackedCategory packed = input.pack();
    ASSERT_EQ(packed.blocks.size(), 2u);
    EXPECT_EQ(packed.blocks[0].name, "Cadeira");
    EXPECT_EQ(packed.blocks[1].name, kTableName);
    std::map<std::string, std::string> reasons;
    for (const pack::SkippedDrawing& skipped : packed.skipped)
        reasons[skipped.file.filename().string()] = skipped.reason;
    EXPECT_EQ(reasons.size(), 3u);
    EXPECT_NE(reasons["Quebrado.DWG"].find("DWG"), std::string::npos) << reasons["Quebrado.DWG"];
    EXPECT_NE(reasons["a:b.DWG"].find("Windows"), std::string::npos);
    EXPECT_NE(reasons["cadeira.dwg"].find("nome"), std::string::npos);
}

TEST(Pack, PackageUnpacksIntoTheLibraryLayoutWithInfoZipAndWithOurReader) {
    InputFolder input;
    const pack::PackedCategory packed = input.pack();
    const fs::path package = input.temp.path() / "9.zip";
    pack::writeFileAtomically(
        package, pack::packageArchive(kCategory, packed.blocks, pack::kDefaultEntryTime));
    const std::vector<std::string> layout = {"9",
                                             "9/DWG",
                                             "9/DWG/Cadeira.DWG.zip",
                                             "9/DWG/" + kTableName + ".DWG.zip",
                                             "9/IMG",
                                             "9/IMG/Cadeira.PNG",
                                             "9/IMG/" + kTableName + ".PNG"};
    const std::map<std::string, std::string> drawings = {{"Cadeira", kChair}, {kTableName, kTable}};
    for (const bool infoZip : {true, false}) {
        SCOPED_TRACE(infoZip ? "Info-ZIP" : "our reader");
        const fs::path root = input.temp.path() / (infoZip ? "unzip" : "leitor");
        if (infoZip)
            unzipWithInfoZip(package, root);
        else
            extractWithOurReader(package, root);
        ASSERT_EQ(listTree(root), layout);
        for (const auto& [name, bytes] : drawings) {
            // Each block archive holds its drawing alone, as <name>.DWG.
            const fs::path inner = root / ("bloco " + name);
            unzipWithInfoZip(root / "9" / "DWG" / library::pathFromUtf8(name + ".DWG.zip"), inner);
            EXPECT_EQ(listTree(inner), std::vector<std::string>{name + ".DWG"});
            EXPECT_EQ(readFile(inner / library::pathFromUtf8(name + ".DWG")), bytes);
            const std::string thumbnail =
                readFile(root / "9" / "IMG" / library::pathFromUtf8(name + ".PNG"));
            const std::vector<std::uint8_t> expected = fakeThumbnail(dwg::read(
                std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
            EXPECT_EQ(thumbnail, std::string(expected.begin(), expected.end()));
        }
    }
}

TEST(Pack, TwoRunsGiveTheSameBytesWhateverTheFilesDates) {
    InputFolder input;
    const std::vector<std::uint8_t> first =
        pack::packageArchive(kCategory, input.pack().blocks, pack::kDefaultEntryTime);
    fs::last_write_time(
        input.drawings / "Cadeira.DWG",
        fs::last_write_time(input.drawings / "Cadeira.DWG") - std::chrono::hours(48));
    EXPECT_EQ(pack::packageArchive(kCategory, input.pack().blocks, pack::kDefaultEntryTime), first);
    // Another drawing gives another package.
    writeFile(input.drawings / "Cadeira.DWG", drawingWith(4));
    EXPECT_NE(pack::packageArchive(kCategory, input.pack().blocks, pack::kDefaultEntryTime), first);
}

TEST(Pack, InstallWritesTheBlocksBesideTheProgramAndKeepsOtherFiles) {
    InputFolder input;
    const fs::path program = input.temp.path() / "programa";
    const fs::path images = program / "Blocos" / "9" / "IMG";
    writeFile(images / "Meu bloco.PNG", "do usuário");
    writeFile(images / "Cadeira.PNG", "miniatura antiga");
    pack::installBlocks(program, kCategory, input.pack().blocks);
    EXPECT_EQ(
        listTree(program / "Blocos"),
        (std::vector<std::string>{"9", "9/DWG", "9/DWG/Cadeira.DWG.zip",
                                  "9/DWG/" + kTableName + ".DWG.zip", "9/IMG", "9/IMG/Cadeira.PNG",
                                  "9/IMG/" + kTableName + ".PNG", "9/IMG/Meu bloco.PNG"}));
    EXPECT_EQ(readFile(images / "Meu bloco.PNG"), "do usuário");
    EXPECT_EQ(readFile(images / "Cadeira.PNG"), "miniatura de 1");
    const library::Layout layout(program);
    EXPECT_TRUE(layout.isInstalled(kCategory));
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(Pack, EverySigningIsDatedByTheClockAndNumberedAfterTheListBefore) {
    TempFolder temp;
    const fs::path folder = temp.path() / "blocos";
    const signing::KeyPair key = signing::generateKeyPair();
    // The list of a tool from before the dates: category 4 at version 3.
    signing::PackageIndex undated;
    undated.set(4, {5, signing::sha256(bytesOf("abcde")), 3});
    writeFile(folder / signing::kIndexName, undated.format());
    const signing::Signature signature = signing::sign(key.secretKey, bytesOf(undated.format()));
    writeFile(folder / signing::kSignatureName, std::string(signature.begin(), signature.end()));
    auto listed = [&] {
        return signing::PackageIndex::parse(readFile(folder / signing::kIndexName));
    };
    const signing::Time march = *signing::parseTime("2026-03-01T12:00:00Z");
    using std::chrono::days;

    const pack::Published first =
        pack::updateSignedIndex(folder, 4, bytesOf("abcde"), key.secretKey, {march, days(30)});
    EXPECT_EQ(first.validity, (signing::Validity{march, march + days(30)}));
    EXPECT_EQ(first.listVersion, 1u);
    EXPECT_TRUE(first.notes.empty());
    EXPECT_EQ(listed().validity(), first.validity);
    EXPECT_EQ(listed().find(4)->version, 3u) << "the same bytes keep their version";

    // The publisher's clock set back a year: dated by it all the same, and told.
    const pack::Published second =
        pack::updateSignedIndex(folder, 4, bytesOf("fghij"), key.secretKey, {march - days(365)});
    EXPECT_EQ(second.validity.published, march - days(365));
    EXPECT_EQ(second.validity.expires, second.validity.published + signing::kDefaultValidity);
    EXPECT_EQ(second.listVersion, 2u);
    ASSERT_EQ(second.notes.size(), 1u);
    EXPECT_NE(second.notes[0].find("depois do relógio"), std::string::npos) << second.notes[0];
    EXPECT_EQ(listed().find(4)->version, 4u);

    const pack::Published renewed =
        pack::renewSignedIndex(folder, key.secretKey, {march + days(10), days(7)});
    EXPECT_EQ(renewed.validity, (signing::Validity{march + days(10), march + days(17)}));
    EXPECT_EQ(renewed.listVersion, 3u);
    EXPECT_EQ(listed().find(4)->version, 4u);
    EXPECT_TRUE(signing::verify(key.publicKey, bytesOf(readFile(folder / signing::kIndexName)),
                                bytesOf(readFile(folder / signing::kSignatureName))));
}

}  // namespace
