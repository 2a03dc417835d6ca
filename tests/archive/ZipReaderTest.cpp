#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <deque>
#include <map>

#include "ExtractHarness.h"
#include "ZipFixtures.h"
#include "archive/ZipReader.h"

namespace fs = std::filesystem;
using namespace archive;
using namespace fixtures;

namespace {

constexpr std::string_view kDamagedText =
    "zip: Invalid size or check sum of file or unsupported compression format - Native error: "
    "00008. "
    "File processing error, possibly disk is full";


std::vector<std::string> namesOf(const std::vector<FailedMember>& members) {
    std::vector<std::string> names;
    for (const FailedMember& member : members) names.push_back(member.name);
    return names;
}

enum class Writer { Libzip, InfoZip };

// The same files, encrypted with the archive password, by either writer.
void writeArchive(Writer writer, const fs::path& archiveFile,
                  const std::map<std::string, std::string>& files) {
    if (writer == Writer::Libzip) {
        std::vector<Member> members;
        for (const auto& [name, data] : files) members.push_back({name, data});
        writeWithLibzip(archiveFile, members);
        return;
    }
    const fs::path source = archiveFile.parent_path() / "zip-source";
    std::vector<std::string> names;
    for (const auto& [name, data] : files) {
        writeFile(source / library::pathFromUtf8(name), data);
        names.push_back(name);
    }
    writeWithInfoZip(archiveFile, source, names);
    fs::remove_all(source);
}

class BothWriters : public ::testing::TestWithParam<Writer> {
  protected:
    TempFolder temp;
    fs::path archiveFile = temp.path() / "a.zip";
    fs::path destination = temp.path() / "out";
};

INSTANTIATE_TEST_SUITE_P(Archive, BothWriters, ::testing::Values(Writer::Libzip, Writer::InfoZip),
                         [](const auto& info) {
                             return info.param == Writer::Libzip ? "libzip" : "InfoZip";
                         });

TEST_P(BothWriters, FlatExtractionDropsStoredFoldersAndReplacesExistingFiles) {
    const std::string drawing = drawingBytes(300 * 1000);
    ASSERT_NO_FATAL_FAILURE(writeArchive(GetParam(), archiveFile,
                                         {{"blocos/a.b.DWG", drawing}, {"LEIAME", "sem ponto"}}));
    writeFile(destination / "a.b.DWG", "old drawing");
    fs::permissions(destination / "a.b.DWG", fs::perms::owner_read);

    Harness harness;
    const ExtractResult result = harness.extract(archiveFile, destination, PathMode::Flat);

    EXPECT_EQ(listTree(destination), (std::vector<std::string>{"LEIAME", "a.b.DWG"}));
    EXPECT_TRUE(readFile(destination / "a.b.DWG") == drawing);
    EXPECT_EQ(readFile(destination / "LEIAME"), "sem ponto");
    EXPECT_EQ(result.written,
              (std::vector<fs::path>{destination / "LEIAME", destination / "a.b.DWG"}));
    EXPECT_TRUE(harness.questions.empty());
    EXPECT_FALSE(result.aborted || result.cancelled);
}

TEST_P(BothWriters, StoredPathsRecreateThePackageFolders) {
    ASSERT_NO_FATAL_FAILURE(
        writeArchive(GetParam(), archiveFile,
                     {{"3/IMG/Sofa01.PNG", "png"}, {"3/DWG/Sofa01.DWG.zip", drawingBytes(5000)}}));
    writeFile(destination / "3/IMG/Sofa01.PNG", "stale");

    Harness harness;
    const ExtractResult result = harness.extract(archiveFile, destination, PathMode::StoredPaths);

    EXPECT_EQ(listTree(destination), (std::vector<std::string>{"3", "3/DWG", "3/DWG/Sofa01.DWG.zip",
                                                               "3/IMG", "3/IMG/Sofa01.PNG"}));
    EXPECT_EQ(readFile(destination / "3/IMG/Sofa01.PNG"), "png");
    EXPECT_TRUE(readFile(destination / "3/DWG/Sofa01.DWG.zip") == drawingBytes(5000));
    EXPECT_EQ(result.written.size(), 2u);
}

TEST_P(BothWriters, WrongPasswordWritesNothingAndAsks) {
    ASSERT_NO_FATAL_FAILURE(
        writeArchive(GetParam(), archiveFile, {{"x.DWG", drawingBytes(20000)}}));

    Harness harness("");
    harness.answers = {ZipAnswer::Ignore};
    const ExtractResult result =
        harness.extract(archiveFile, destination, PathMode::Flat, "not the password");

    ASSERT_EQ(harness.questions.size(), 1u);
    // One wrong password in 256 passes the check byte and fails later as damaged data.
    const ZipQuestion& question = harness.questions[0];
    EXPECT_TRUE(question.failure == MemberFailure::WrongPassword ||
                question.failure == MemberFailure::DamagedData);
    EXPECT_EQ(question.text, questionText("", question.failure));
    EXPECT_EQ(question.text.rfind("Invalid", 0), 0u)
        << "a reader without name puts nothing in front";
    EXPECT_TRUE(question.retryOffered);
    EXPECT_EQ(namesOf(result.failed), (std::vector<std::string>{"x.DWG"}));
    EXPECT_TRUE(!fs::exists(destination) || fs::is_empty(destination));
}

TEST(ZipReader, MissingPasswordIsItsOwnFailure) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(temp.path() / "a.zip", {{"x.DWG", "data"}}));
    Harness harness;
    harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat, "");
    ASSERT_EQ(harness.questions.size(), 1u);
    EXPECT_EQ(harness.questions[0].text,
              "zip: Invalid password - Native error: 00009. File processing error, possibly disk "
              "is full");
}

TEST(ZipReader, StoredAttributesAreApplied) {
    TempFolder temp;
    const std::time_t modified = 1262349000;  // 2010-01-01 12:30 UTC, even seconds for DOS time
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(
        temp.path() / "a.zip",
        {// libzip 1.7.3 writes a wrong password check for an encrypted member given its own time.
         Member("dos.DWG", "d").plain().dosAttributes(0x01).modifiedAt(modified),
         Member("unix.DWG", "u").unixMode(0100444), Member("plain.DWG", "p").dosAttributes(0x20)}));
    Harness harness;
    harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat);
    EXPECT_TRUE(harness.questions.empty());

    auto writable = [&](const char* name) {
        return (fs::status(temp.path() / "out" / name).permissions() & fs::perms::owner_write) !=
               fs::perms::none;
    };
    EXPECT_FALSE(writable("dos.DWG"));
    EXPECT_FALSE(writable("unix.DWG"));
    EXPECT_TRUE(writable("plain.DWG"));
    const auto written = std::chrono::file_clock::to_sys(
        fs::last_write_time(temp.path() / "out/dos.DWG"));
    EXPECT_EQ(std::chrono::system_clock::to_time_t(
                  std::chrono::floor<std::chrono::seconds>(written)),
              modified);
}

TEST(ZipReader, ArchivesThatCannotBeOpenedThrowInPortuguese) {
    TempFolder temp;
    const std::string drawing = drawingBytes(50000);
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "good.zip", {{"x.DWG", drawing}, {"y.DWG", drawing}}));
    const std::string bytes = readFile(temp.path() / "good.zip");
    writeFile(temp.path() / "truncated.zip", bytes.substr(0, bytes.size() / 2));
    writeFile(temp.path() / "tail-cut.zip", bytes.substr(0, bytes.size() - 10));
    // The end record survives, but the directory it points to does not.
    writeFile(temp.path() / "middle-cut.zip",
              bytes.substr(0, bytes.size() / 4) + bytes.substr(bytes.size() / 2));
    writeFile(temp.path() / "text.zip", "AutoCAD drawing, not an archive\n");
    writeFile(temp.path() / "empty.zip", "");

    for (const char* name : {"truncated.zip", "tail-cut.zip", "middle-cut.zip", "text.zip",
                             "empty.zip", "missing.zip"}) {
        ZipReader reader("zip");
        std::optional<ZipLease> lease = reader.tryLease();
        ASSERT_TRUE(lease);
        try {
            lease->open(temp.path() / name);
            ADD_FAILURE() << name << " opened";
        } catch (const ZipError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(name), std::string::npos) << message;
            EXPECT_TRUE(message.find("não") != std::string::npos ||
                        message.find("danificado") != std::string::npos)
                << message;
        }
        EXPECT_FALSE(lease->isOpen());
        ExtractOptions options;
        options.destination = temp.path() / "out";
        EXPECT_THROW(lease->extract(options), ZipError) << "extracting without an open archive";
    }
}

class DamagedMember : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(
            writeWithLibzip(archiveFile, {{"bad.DWG", drawing}, {"good.DWG", drawing}}));
        ASSERT_NO_FATAL_FAILURE(damageMember(archiveFile, "bad.DWG"));
    }
    TempFolder temp;
    fs::path archiveFile = temp.path() / "a.zip";
    fs::path destination = temp.path() / "out";
    std::string drawing = drawingBytes(200 * 1000);
    Harness harness;
};

TEST_F(DamagedMember, AbortStopsWithNothingHalfWritten) {
    const ExtractResult result = harness.extract(archiveFile, destination, PathMode::Flat);
    ASSERT_EQ(harness.questions.size(), 1u);
    EXPECT_EQ(harness.questions[0].text, kDamagedText);
    EXPECT_EQ(harness.questions[0].memberName, "bad.DWG");
    EXPECT_TRUE(harness.questions[0].retryOffered);
    EXPECT_TRUE(result.aborted);
    EXPECT_TRUE(result.written.empty());
    EXPECT_TRUE(fs::is_empty(destination)) << "no temporary file and no later member";
}

TEST_F(DamagedMember, RetryReadsTheMemberAgain) {
    harness.answers = {ZipAnswer::Retry, ZipAnswer::Abort};
    const ExtractResult result = harness.extract(archiveFile, destination, PathMode::Flat);
    EXPECT_EQ(harness.questions.size(), 2u);
    const std::vector<double> percents = harness.percentsOf("bad.DWG");
    EXPECT_EQ(std::count(percents.begin(), percents.end(), 0.0), 2) << "each attempt starts at 0";
    EXPECT_TRUE(result.aborted);
    EXPECT_TRUE(fs::is_empty(destination));
}

TEST_F(DamagedMember, IgnoreGoesOnWithTheNextMember) {
    harness.answers = {ZipAnswer::Ignore};
    const ExtractResult result = harness.extract(archiveFile, destination, PathMode::Flat);
    EXPECT_EQ(harness.questions.size(), 1u);
    EXPECT_EQ(namesOf(result.failed), (std::vector<std::string>{"bad.DWG"}));
    EXPECT_EQ(listTree(destination), (std::vector<std::string>{"good.DWG"}));
    EXPECT_TRUE(readFile(destination / "good.DWG") == drawing);
    EXPECT_FALSE(result.aborted);
}

TEST(ZipReader, DamagedStoredMemberFailsOnItsCheckSum) {
    TempFolder temp;
    const std::string drawing = drawingBytes(4000);
    for (const bool encrypted : {false, true}) {
        const fs::path archiveFile = temp.path() / (encrypted ? "enc.zip" : "plain.zip");
        ASSERT_NO_FATAL_FAILURE(
            writeWithLibzip(archiveFile, {encrypted ? Member("x.DWG", drawing).stored()
                                                    : Member("x.DWG", drawing).stored().plain()}));
        ASSERT_NO_FATAL_FAILURE(damageMember(archiveFile, "x.DWG"));
        Harness harness;
        harness.extract(archiveFile, temp.path() / "out", PathMode::Flat);
        ASSERT_EQ(harness.questions.size(), 1u);
        EXPECT_EQ(harness.questions[0].failure, MemberFailure::DamagedData);
        EXPECT_TRUE(fs::is_empty(temp.path() / "out"));
    }
}

TEST(ZipReader, EncryptionOtherThanTraditionalPkwareIsNeverOpened) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> write;
    };
    const std::vector<Case> cases = {
        {"strong encryption flag",
         [](const fs::path& archiveFile) {
             writeWithLibzip(archiveFile, {{"locked.DWG", "s"}, {"ok.DWG", "o"}});
             markStrongEncryption(archiveFile, "locked.DWG");
         }},
        // libzip could decrypt this one with the right password; the reader
        // still says it is a method it does not read, not a wrong password.
        {"AES-256 under the archive password",
         [](const fs::path& archiveFile) {
             writeWithLibzip(archiveFile, {Member("locked.DWG", "s").aes(), {"ok.DWG", "o"}});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        ASSERT_NO_FATAL_FAILURE(c.write(temp.path() / "a.zip"));
        Harness harness;
        harness.answers = {ZipAnswer::Ignore};
        const ExtractResult result =
            harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat);
        ASSERT_EQ(harness.questions.size(), 1u);
        EXPECT_EQ(harness.questions[0].text,
                  "zip: Unsupported encryption method - Native error: 00010. File processing "
                  "error, possibly disk is full");
        EXPECT_EQ(listTree(temp.path() / "out"), (std::vector<std::string>{"ok.DWG"}));
        ASSERT_EQ(result.failed.size(), 1u);
        EXPECT_EQ(result.failed[0].name, "locked.DWG");
        EXPECT_EQ(result.failed[0].failure, MemberFailure::UnsupportedEncryption);
    }
}

TEST(ZipReader, OversizedMembersAreDamagedBeforeTheirFileExists) {
    struct Case {
        const char* what;
        Member member;
        std::function<void(const fs::path&)> spoil;  // after writing
        std::function<void(ExtractOptions&)> limit;
        bool written;
    };
    const std::string zeros(4 * kMiB, '\0');  // deflates about 1026:1
    const std::string drawing = drawingBytes(300 * 1024);
    auto none = [](const fs::path&) {};
    auto keep = [](ExtractOptions&) {};
    const std::vector<Case> cases = {
        {"bomb", Member("bomba.DWG", zeros), none, keep, false},
        {"bomb, ratio allowed by the run", Member("bomba.DWG", zeros), none,
         [](ExtractOptions& o) { o.maxCompressionRatio = 2000; }, true},
        {"larger than the run allows", Member("grande.DWG", drawing), none,
         [](ExtractOptions& o) { o.maxMemberSize = 200 * 1024; }, false},
        {"within the run's limit", Member("grande.DWG", drawing), none,
         [](ExtractOptions& o) { o.maxMemberSize = 400 * 1024; }, true},
        {"declares more than 256 MiB", Member("enorme.DWG", "x").stored(),
         [](const fs::path& a) { setDeclaredSize(a, "enorme.DWG", 257 * kMiB); }, keep, false},
        {"yields more than it declares", Member("mentira.DWG", drawingBytes(200000)),
         [](const fs::path& a) { setDeclaredSize(a, "mentira.DWG", 1000); }, keep, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path archiveFile = temp.path() / "a.zip";
        ASSERT_NO_FATAL_FAILURE(writeWithLibzip(archiveFile, {c.member}));
        ASSERT_NO_FATAL_FAILURE(c.spoil(archiveFile));
        Harness harness;
        harness.answers = {ZipAnswer::Ignore};
        fs::create_directories(temp.path() / "out");
        ExtractOptions options = harness.options(temp.path() / "out", PathMode::Flat);
        c.limit(options);
        const ExtractResult result = harness.extract(archiveFile, options);
        if (c.written) {
            EXPECT_TRUE(harness.questions.empty());
            EXPECT_EQ(result.written.size(), 1u);
            continue;
        }
        ASSERT_EQ(harness.questions.size(), 1u);
        EXPECT_EQ(harness.questions[0].failure, MemberFailure::DamagedData);
        EXPECT_TRUE(fs::is_empty(temp.path() / "out")) << "no file, no temporary file";
    }
}

TEST(ZipReader, NamesWithControlCharactersAreRefused) {
    struct Case {
        const char* what;
        std::string stored;  // written first, then renamed to hostile when that is set
        std::string hostile;
    };
    const std::vector<Case> cases = {
        {"NUL before a path", "B68.DWGX../../evil.DWG", std::string("B68.DWG\0../../evil.DWG", 22)},
        {"NUL at the end", std::string("B69.DWGX"), std::string("B69.DWG\0", 8)},
        {"escape sequence",
         "B70\x1b"
         "[2J.DWG",
         ""},
        {"line break", "B71\n.DWG", ""},
        {"DEL", "B72\x7f.DWG", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path archiveFile = temp.path() / "a.zip";
        ASSERT_NO_FATAL_FAILURE(
            writeWithLibzip(archiveFile, {Member(c.stored, "hostile"), Member("bom.DWG", "good")}));
        if (!c.hostile.empty()) {
            ASSERT_NO_FATAL_FAILURE(renameStored(archiveFile, c.stored, c.hostile));
        }
        for (const PathMode mode : {PathMode::Flat, PathMode::StoredPaths}) {
            Harness harness;
            const ExtractResult result =
                harness.extract(archiveFile, temp.path() / "sandbox" / "out", mode);
            EXPECT_EQ(result.refused.size(), 1u);
            EXPECT_EQ(result.written.size(), 1u);
            EXPECT_TRUE(harness.questions.empty());
            EXPECT_EQ(listTree(temp.path() / "sandbox"),
                      (std::vector<std::string>{"out", "out/bom.DWG"}));
        }
    }
}

// libzip prefers an Info-ZIP Unicode Path field to the stored name; a NUL
// hidden there is refused as well.
TEST(ZipReader, AUnicodePathFieldWithANulIsRefused) {
    TempFolder temp;
    const fs::path archiveFile = temp.path() / "a.zip";
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(archiveFile, {Member("ok.DWG", "x").plain()}));
    {
        int error = 0;
        zip_t* zip = zip_open(library::pathToUtf8(archiveFile).c_str(), 0, &error);
        ASSERT_NE(zip, nullptr);
        // Version 1, a check sum, the name. libzip will not write the real field
        // id itself, so another id is patched below.
        const std::string field = std::string("\x01\0\0\0\0ok.DWG\0evil.DWG", 20);
        ASSERT_EQ(zip_file_extra_field_set(zip, 0, 0x7076, ZIP_EXTRA_FIELD_NEW,
                                           reinterpret_cast<const zip_uint8_t*>(field.data()),
                                           static_cast<zip_uint16_t>(field.size()), ZIP_FL_CENTRAL),
                  0);
        ASSERT_EQ(zip_close(zip), 0);
    }
    patchMember(archiveFile, "ok.DWG", [](std::string& bytes, const MemberLayout& member) {
        const std::size_t id = bytes.find("\x76\x70", member.centralEntry + 46);
        ASSERT_NE(id, std::string::npos);
        bytes[id] = '\x75';
    });
    Harness harness;
    const ExtractResult result = harness.extract(archiveFile, temp.path() / "out", PathMode::Flat);
    EXPECT_EQ(result.refused.size(), 1u);
    EXPECT_TRUE(result.written.empty());
}

TEST(ZipReader, WriteAsGivesTheFirstMatchingMemberTheRunsName) {
    TempFolder temp;
    const fs::path archiveFile = temp.path() / "a.zip";
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(archiveFile, {Member("pasta/", "").plain(),
                                                          {"sub/.bashrc", "rm -rf ~"},
                                                          {"leiame.txt", "l"},
                                                          {"B16_Poltrona_Ébano.dwg", "first"},
                                                          {"outro.DWG", "second"}}));
    Harness harness;
    ExtractOptions options = harness.options(temp.path() / "out", PathMode::Flat);
    options.mask = "*.DWG";
    options.writeAs = paths::pathFromUtf8("Poltrona Ébano.DWG");
    const ExtractResult result = harness.extract(archiveFile, options);
    EXPECT_EQ(listTree(temp.path() / "out"), std::vector<std::string>{"Poltrona Ébano.DWG"});
    EXPECT_EQ(readFile(temp.path() / "out" / options.writeAs), "first");
    EXPECT_EQ(result.skipped, (std::vector<std::string>{"sub/.bashrc", "leiame.txt", "outro.DWG"}));

    // A first drawing that fails and is ignored leaves the name to the next one.
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(archiveFile, {{"a.DWG", drawingBytes(50000)}, {"b.DWG", "second"}}));
    ASSERT_NO_FATAL_FAILURE(damageMember(archiveFile, "a.DWG"));
    harness.answers = {ZipAnswer::Ignore};
    options.destination = temp.path() / "out2";
    harness.extract(archiveFile, options);
    EXPECT_EQ(readFile(temp.path() / "out2" / options.writeAs), "second");

    for (const auto& [name, mode] :
         std::vector<std::pair<std::string, PathMode>>{{"a/b.DWG", PathMode::Flat},
                                                       {"..", PathMode::Flat},
                                                       {"b.DWG", PathMode::StoredPaths}}) {
        options.writeAs = name;
        options.pathMode = mode;
        EXPECT_THROW(harness.extract(archiveFile, options), ZipError) << name;
    }
}

// The reader reads the directory's names itself; every sound archive must
// still give all its members.
TEST(ZipReader, DirectoriesOfEveryShapeAreRead) {
    TempFolder temp;
    const std::string drawing = drawingBytes(30000);
    writeFile(temp.path() / "src" / "x.DWG", drawing);
    writeFile(temp.path() / "src" / "pasta" / "y.DWG", "y");
    const std::vector<std::string> names = {"x.DWG", "pasta/y.DWG"};
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> write;
    };
    const std::vector<Case> cases = {
        {"Info-ZIP", [&](const fs::path& a) { writeWithInfoZip(a, temp.path() / "src", names); }},
        {"Info-ZIP, Zip64 forced",
         [&](const fs::path& a) {
             const std::string command = "cd '" + (temp.path() / "src").string() +
                                         "' && zip -q -X -fz -P '" + kPassword + "' '" +
                                         a.string() + "' x.DWG pasta/y.DWG";
             ASSERT_EQ(std::system(command.c_str()), 0);
         }},
        {"libzip, with an archive comment",
         [&](const fs::path& a) {
             writeWithLibzip(a, {{"x.DWG", drawing}, {"pasta/y.DWG", "y"}});
             int error = 0;
             zip_t* zip = zip_open(library::pathToUtf8(a).c_str(), 0, &error);
             ASSERT_NE(zip, nullptr);
             const std::string comment = "Biblioteca de blocos";
             zip_set_archive_comment(zip, comment.c_str(),
                                     static_cast<zip_uint16_t>(comment.size()));
             ASSERT_EQ(zip_close(zip), 0);
         }},
        {"no members",
         [&](const fs::path& a) {
             writeFile(a, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path archiveFile = temp.path() / (std::string(c.what) + ".zip");
        ASSERT_NO_FATAL_FAILURE(c.write(archiveFile));
        Harness harness;
        const fs::path out = temp.path() / "out" / c.what;
        const ExtractResult result = harness.extract(archiveFile, out, PathMode::StoredPaths);
        EXPECT_TRUE(result.refused.empty());
        EXPECT_TRUE(harness.questions.empty());
        if (std::string_view(c.what) == "no members") {
            EXPECT_TRUE(result.written.empty());
            continue;
        }
        EXPECT_EQ(readFile(out / "x.DWG"), drawing);
        EXPECT_EQ(readFile(out / "pasta" / "y.DWG"), "y");
    }
}

TEST(ZipReader, RetrySucceedsOnceTheObstacleIsGone) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(temp.path() / "a.zip", {{"x.DWG", "drawing"}}));
    const fs::path blocker = temp.path() / "out" / "x.DWG" / "inside";
    fs::create_directories(blocker);  // a folder where the drawing should go

    Harness harness;
    harness.answers = {ZipAnswer::Retry};
    harness.beforeAnswer = [&](const ZipQuestion&) { fs::remove_all(blocker.parent_path()); };
    const ExtractResult result =
        harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat);

    ASSERT_EQ(harness.questions.size(), 1u);
    EXPECT_EQ(harness.questions[0].text,
              "zip: Cannot create file - Native error: 00017. File processing error, possibly disk "
              "is full");
    EXPECT_EQ(readFile(temp.path() / "out/x.DWG"), "drawing");
    EXPECT_EQ(result.written.size(), 1u);
}

TEST(ZipReader, NameTooLongOffersAbortAndIgnoreOnly) {
    TempFolder temp;
    const std::string longName = std::string(300, 'n') + ".DWG";
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {{longName, "x"}, {"ok.DWG", "y"}}));
    Harness harness;
    harness.answers = {ZipAnswer::Ignore};
    const ExtractResult result =
        harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat);

    ASSERT_EQ(harness.questions.size(), 1u);
    EXPECT_EQ(harness.questions[0].text, "zip: File name too long - Native error: 00061");
    EXPECT_FALSE(harness.questions[0].retryOffered);
    EXPECT_EQ(listTree(temp.path() / "out"), (std::vector<std::string>{"ok.DWG"}));
    EXPECT_EQ(namesOf(result.failed), (std::vector<std::string>{longName}));
}

TEST(ZipReader, HostileNamesNeverLeaveTheDestination) {
    TempFolder temp;
    const fs::path destination = temp.path() / "sandbox" / "out";
    const std::string absolute = library::pathToUtf8(temp.path() / "sandbox" / "abs.DWG");
    std::vector<Member> members;
    for (const std::string& name :
         {std::string("../x.DWG"), absolute, std::string("..\\y.DWG"), std::string("C:z"),
          std::string("a/../../w.DWG"), std::string("..")})
        members.push_back(Member(name, name).plain());
    members.push_back(Member("link.DWG", "/etc/passwd").plain().unixMode(0120777));
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(temp.path() / "a.zip", members));
    fs::create_directories(temp.path() / "sandbox");

    Harness stored;
    const ExtractResult storedResult =
        stored.extract(temp.path() / "a.zip", destination, PathMode::StoredPaths);
    EXPECT_EQ(storedResult.refused.size(), members.size());
    EXPECT_TRUE(storedResult.written.empty());
    EXPECT_EQ(listTree(temp.path() / "sandbox"), std::vector<std::string>{});

    Harness flat;
    const ExtractResult flatResult =
        flat.extract(temp.path() / "a.zip", destination, PathMode::Flat);
    EXPECT_EQ(flatResult.refused, (std::vector<std::string>{"..", "link.DWG"}));
    EXPECT_EQ(listTree(temp.path() / "sandbox"),
              (std::vector<std::string>{"out", "out/abs.DWG", "out/w.DWG", "out/x.DWG", "out/y.DWG",
                                        "out/z"}));
    EXPECT_EQ(readFile(destination / "y.DWG"), "..\\y.DWG");
    EXPECT_TRUE(stored.questions.empty() && flat.questions.empty());
}

TEST(ZipReader, FolderEntriesAreCreatedWithStoredPathsOnly) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {Member("3/VAZIO/", "").plain(), {"3/a.DWG", "a"}}));
    Harness stored;
    const ExtractResult result =
        stored.extract(temp.path() / "a.zip", temp.path() / "stored", PathMode::StoredPaths);
    EXPECT_EQ(listTree(temp.path() / "stored"),
              (std::vector<std::string>{"3", "3/VAZIO", "3/a.DWG"}));
    EXPECT_EQ(stored.percentsOf("3/VAZIO/"), (std::vector<double>{0.0, 100.0}));
    EXPECT_EQ(result.written, (std::vector<fs::path>{temp.path() / "stored/3/a.DWG"}));

    Harness flat;
    flat.extract(temp.path() / "a.zip", temp.path() / "flat", PathMode::Flat);
    EXPECT_EQ(listTree(temp.path() / "flat"), (std::vector<std::string>{"a.DWG"}));
    EXPECT_TRUE(flat.percentsOf("3/VAZIO/").empty());
}

TEST(ZipReader, AccentedNamesSurviveEveryEncoding) {
    TempFolder temp;
    // "Ação é.DWG" in code page 850, stored without the UTF-8 mark as old Windows tools do.
    const std::string cp850 = "A\x87\xC6o \x82.DWG";
    const std::string utf8 = "Ação é.DWG";
    const std::string utf8Other = "Cabeçalho ã.DWG";
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "lib.zip",
                        {Member(cp850, "850").rawName(), Member(utf8Other, "utf8").utf8Name()}));
    writeFile(temp.path() / "src" / utf8, "infozip");
    ASSERT_NO_FATAL_FAILURE(
        writeWithInfoZip(temp.path() / "info.zip", temp.path() / "src", {utf8}));

    Harness harness;
    harness.extract(temp.path() / "lib.zip", temp.path() / "out", PathMode::Flat);
    harness.extract(temp.path() / "info.zip", temp.path() / "out2", PathMode::Flat);
    EXPECT_EQ(readFile(temp.path() / "out" / library::pathFromUtf8(utf8)), "850");
    EXPECT_EQ(readFile(temp.path() / "out" / library::pathFromUtf8(utf8Other)), "utf8");
    EXPECT_EQ(readFile(temp.path() / "out2" / library::pathFromUtf8(utf8)), "infozip");
    EXPECT_EQ(harness.notifications.front().first, utf8) << "progress shows the decoded name";
}

TEST(ZipReader, ProgressRunsFromZeroToHundredPerMember) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(
        temp.path() / "a.zip", {{"big.DWG", drawingBytes(1024 * 1024)}, {"empty.DWG", ""}}));
    Harness harness;
    harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat);

    const std::vector<double> big = harness.percentsOf("big.DWG");
    ASSERT_GE(big.size(), 3u) << "intermediate steps for a large member";
    EXPECT_EQ(big.front(), 0.0);
    EXPECT_EQ(big.back(), 100.0);
    for (std::size_t i = 1; i + 1 < big.size(); ++i) {
        EXPECT_GT(big[i], big[i - 1]);
        EXPECT_LT(big[i], 100.0);
    }
    EXPECT_EQ(harness.percentsOf("empty.DWG"), (std::vector<double>{0.0, 100.0}));
    EXPECT_EQ(harness.notifications.size(), big.size() + 2)
        << "members in archive order, one after the other";
}

TEST(ZipReader, CancelStopsAtTheNotificationThatAsksForIt) {
    TempFolder temp;
    const std::string drawing = drawingBytes(1024 * 1024);
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(
        temp.path() / "a.zip", {{"1.DWG", "one"}, {"2.DWG", drawing}, {"3.DWG", "three"}}));

    Harness atStart;
    atStart.cancelWhen = [](const ZipProgress& p) {
        return p.memberName == "2.DWG" && p.percent == 0.0;
    };
    const ExtractResult started =
        atStart.extract(temp.path() / "a.zip", temp.path() / "start", PathMode::Flat);
    EXPECT_TRUE(started.cancelled);
    EXPECT_EQ(listTree(temp.path() / "start"), (std::vector<std::string>{"1.DWG"}));

    Harness midway;
    midway.cancelWhen = [](const ZipProgress& p) { return p.percent > 0.0 && p.percent < 100.0; };
    const ExtractResult abandoned =
        midway.extract(temp.path() / "a.zip", temp.path() / "mid", PathMode::Flat);
    EXPECT_TRUE(abandoned.cancelled);
    EXPECT_EQ(listTree(temp.path() / "mid"), (std::vector<std::string>{"1.DWG"}))
        << "no part of 2.DWG stays";
    EXPECT_TRUE(midway.percentsOf("3.DWG").empty());
}

TEST(ZipReader, AHandlerThatThrowsLeavesNoTemporaryFile) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {{"big.DWG", drawingBytes(1024 * 1024)}}));
    Harness harness;
    harness.cancelWhen = [](const ZipProgress& p) -> bool {
        if (p.percent > 0.0) throw std::runtime_error("handler failed");
        return false;
    };
    EXPECT_THROW(harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat),
                 std::runtime_error);
    EXPECT_TRUE(fs::is_empty(temp.path() / "out"));
    EXPECT_FALSE(harness.reader.leased()) << "the lease ended with the exception";
}

TEST(ZipReader, MaskSelectsMembersByFileName) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {{"d/a.DWG", "a"}, {"b.png", "b"}, {"c.dwg", "c"}}));
    Harness harness;
    ExtractOptions options = harness.options(temp.path() / "out", PathMode::Flat);
    options.mask = "*.dwg";
    const ExtractResult result = harness.extract(temp.path() / "a.zip", options);
    EXPECT_EQ(listTree(temp.path() / "out"), (std::vector<std::string>{"a.DWG", "c.dwg"}));
    EXPECT_EQ(result.skipped, std::vector<std::string>{"b.png"});
}

TEST(ZipReader, ARunStartedFromAHandlerIsRefused) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {{"1.DWG", "one"}, {"2.DWG", "two"}}));
    Harness harness;
    int refusals = 0;
    // What a second export or a preview refresh does when it runs inside the
    // first run's message pump: no lease for it, and the running lease itself
    // cannot be reopened, closed or made to extract again.
    const ExtractOptions options = harness.options(temp.path() / "out", PathMode::Flat);
    harness.cancelWhen = [&](const ZipProgress&) {
        if (!harness.reader.tryLease()) ++refusals;
        for (auto call : std::initializer_list<std::function<void()>>{
                 [&] { harness.lease->open(temp.path() / "a.zip"); },
                 [&] { harness.lease->extract(options); }, [&] { harness.lease->close(); }}) {
            try {
                call();
            } catch (const ZipError&) {
                ++refusals;
            }
        }
        return false;
    };
    const ExtractResult result = harness.extract(temp.path() / "a.zip", options);
    EXPECT_EQ(refusals, 4 * static_cast<int>(harness.notifications.size()));
    EXPECT_EQ(result.written.size(), 2u);
    EXPECT_FALSE(harness.reader.leased());
    EXPECT_TRUE(harness.reader.tryLease()) << "free again once the run's lease ended";
}

}  // namespace

TEST(ZipReader, MembersTheRunDoesNotAcceptAreRefusedUnwritten) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {{"3/IMG/ok.PNG", "ok"},
                                                {"4/IMG/other.PNG", "other package"},
                                                {"3/", ""},
                                                {"readme.txt", "outside every package"}}));
    Harness harness;
    ExtractOptions options = harness.options(temp.path() / "out", PathMode::StoredPaths);
    options.accept = [](const fs::path& relative, bool) { return *relative.begin() == "3"; };
    const ExtractResult result = harness.extract(temp.path() / "a.zip", options);

    EXPECT_EQ(result.refused, (std::vector<std::string>{"4/IMG/other.PNG", "readme.txt"}));
    EXPECT_EQ(listTree(temp.path() / "out"),
              (std::vector<std::string>{"3", "3/IMG", "3/IMG/ok.PNG"}));
    EXPECT_TRUE(harness.percentsOf("readme.txt").empty());
}
