// Archives from our writer, opened by two independent readers: Info-ZIP's
// unzip and libzip (through our reader).
#include <gtest/gtest.h>

#include "ZipFixtures.h"
#include "archive/ZipReader.h"
#include "archive/ZipWriter.h"

namespace {

using namespace fixtures;

constexpr std::time_t kTime = 1704067200;  // 2024-01-01 00:00 UTC

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// Bytes deflate cannot shrink.
std::string noise(std::size_t size) {
    std::string data(size, '\0');
    std::uint64_t state = 88172645463325252ull;
    for (char& c : data) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = static_cast<char>(state);
    }
    return data;
}

struct Case {
    const char* name;
    std::string member;
    std::string data;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"empty file", "vazio.txt", ""},
        {"too small to compress", "a.txt", "a"},
        {"compressible", "planta.DWG", std::string(20000, 'x') + drawingBytes(5000)},
        {"incompressible", "ruido.bin", noise(9000)},
        {"accented name in a folder", "9/IMG/Sofá três lugares.PNG", drawingBytes(4000, 5)},
    };
    return all;
}

std::vector<std::uint8_t> archiveOf(const std::string& password) {
    archive::ZipWriter writer(kTime, password);
    writer.addFolder("9/");
    writer.addFolder("9/IMG/");
    for (const Case& c : cases()) writer.addFile(c.member, bytesOf(c.data));
    return writer.finish();
}

void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    writeFile(file, std::string(bytes.begin(), bytes.end()));
}

TEST(ZipWriter, InfoZipUnzipsEveryMemberWithThePassword) {
    TempFolder folder;
    writeBytes(folder.path() / "pacote.zip", archiveOf(kPassword));
    const std::string command = "cd '" + folder.path().string() +
                                "' && mkdir saida && cd saida && unzip -qq -P '" + kPassword +
                                "' ../pacote.zip";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readFile(folder.path() / "saida" / library::pathFromUtf8(c.member)), c.data);
    }
}

TEST(ZipWriter, OurReaderExtractsEveryMemberAndRefusesAWrongPassword) {
    TempFolder folder;
    writeBytes(folder.path() / "pacote.zip", archiveOf(kPassword));
    for (const std::string& password : {kPassword, std::string("errada")}) {
        SCOPED_TRACE(password);
        const fs::path out = folder.path() / ("com " + password);
        fs::create_directories(out);
        archive::ZipReader reader;
        std::optional<archive::ZipLease> lease = reader.tryLease();
        ASSERT_TRUE(lease);
        lease->open(folder.path() / "pacote.zip");
        archive::ExtractOptions options;
        options.destination = out;
        options.pathMode = archive::PathMode::StoredPaths;
        options.password = password;
        const archive::ExtractResult result = lease->extract(options);
        if (password == kPassword) {
            EXPECT_TRUE(result.failed.empty());
            for (const Case& c : cases())
                EXPECT_EQ(readFile(out / library::pathFromUtf8(c.member)), c.data) << c.name;
        } else {
            EXPECT_EQ(result.failed.size(), cases().size());
        }
    }
}

TEST(ZipWriter, SameEntriesGiveSameBytesAndEncryptionHidesTheData) {
    const std::vector<std::uint8_t> encrypted = archiveOf(kPassword);
    EXPECT_EQ(archiveOf(kPassword), encrypted);
    const std::vector<std::uint8_t> plain = archiveOf("");
    EXPECT_NE(plain, encrypted);
    const std::string text(encrypted.begin(), encrypted.end());
    EXPECT_EQ(text.find(std::string(20, 'x')), std::string::npos);
    const std::string plainText(plain.begin(), plain.end());
    EXPECT_NE(plainText.find(noise(9000)), std::string::npos)
        << "the incompressible member is stored as is";
}

}  // namespace
