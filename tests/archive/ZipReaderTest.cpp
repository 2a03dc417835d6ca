#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <deque>
#include <map>

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

// A reader with recording handlers, used the way export and installation use it.
class Harness {
  public:
    explicit Harness(std::string componentName = "zip") : reader(std::move(componentName)) {
        reader.setQuestionHandler([this](const ZipQuestion& question) {
            questions.push_back(question);
            if (beforeAnswer) beforeAnswer(question);
            if (answers.empty()) return ZipAnswer::Abort;
            const ZipAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        });
        reader.setProgressHandler([this](const ZipProgress& progress, bool& cancel) {
            notifications.emplace_back(progress.memberName, progress.percent);
            if (cancelWhen && cancelWhen(progress)) cancel = true;
        });
    }

    ExtractResult extract(const fs::path& archiveFile, const fs::path& destination, PathMode mode,
                          const std::string& password = kPassword) {
        reader.setFileName(archiveFile);
        reader.open();
        reader.setPassword(password);
        reader.setDestination(destination);
        reader.setPathMode(mode);
        ExtractResult result = reader.extract("*.*");
        reader.close();
        return result;
    }

    std::vector<double> percentsOf(const std::string& member) const {
        std::vector<double> percents;
        for (const auto& [name, percent] : notifications)
            if (name == member) percents.push_back(percent);
        return percents;
    }

    ZipReader reader;
    std::deque<ZipAnswer> answers;  // Abort once they run out
    std::function<void(const ZipQuestion&)> beforeAnswer;
    std::function<bool(const ZipProgress&)> cancelWhen;
    std::vector<ZipQuestion> questions;
    std::vector<std::pair<std::string, double>> notifications;
};

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
    EXPECT_EQ(result.ignored, (std::vector<std::string>{"x.DWG"}));
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
    struct stat status {};
    ASSERT_EQ(::stat((temp.path() / "out/dos.DWG").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, modified);
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
        reader.setFileName(temp.path() / name);
        try {
            reader.open();
            ADD_FAILURE() << name << " opened";
        } catch (const ZipError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(name), std::string::npos) << message;
            EXPECT_TRUE(message.find("não") != std::string::npos ||
                        message.find("danificado") != std::string::npos)
                << message;
        }
        EXPECT_FALSE(reader.isOpen());
        EXPECT_THROW(reader.extract(), ZipError) << "extracting without an open archive";
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
    EXPECT_EQ(result.ignored, (std::vector<std::string>{"bad.DWG"}));
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

TEST(ZipReader, UnsupportedEncryptionIsNeverOpened) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {{"strong.DWG", "s"}, {"ok.DWG", "o"}}));
    ASSERT_NO_FATAL_FAILURE(markStrongEncryption(temp.path() / "a.zip", "strong.DWG"));
    Harness harness;
    harness.answers = {ZipAnswer::Ignore};
    const ExtractResult result =
        harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat);
    ASSERT_EQ(harness.questions.size(), 1u);
    EXPECT_EQ(harness.questions[0].failure, MemberFailure::UnsupportedEncryption);
    EXPECT_EQ(listTree(temp.path() / "out"), (std::vector<std::string>{"ok.DWG"}));
    EXPECT_EQ(result.ignored, (std::vector<std::string>{"strong.DWG"}));
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
    EXPECT_EQ(result.ignored, (std::vector<std::string>{longName}));
}

TEST(ZipReader, WriteFailureRemovesTheTemporaryFile) {
    TempFolder temp;
    const std::string drawing = drawingBytes(2 * 1024 * 1024);
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(temp.path() / "a.zip", {{"big.DWG", drawing}}));
    fs::create_directories(temp.path() / "out");

    // A file size limit stands in for a full disk: writes past it fail with EFBIG.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 512 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    Harness harness;
    const ExtractResult result =
        harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_EQ(harness.questions.size(), 1u);
    EXPECT_EQ(harness.questions[0].failure, MemberFailure::CannotWriteFile);
    EXPECT_TRUE(result.aborted);
    EXPECT_TRUE(fs::is_empty(temp.path() / "out"));
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
    EXPECT_FALSE(harness.reader.busy());
}

TEST(ZipReader, MaskSelectsMembersByFileName) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {{"d/a.DWG", "a"}, {"b.png", "b"}, {"c.dwg", "c"}}));
    ZipReader reader;
    reader.setFileName(temp.path() / "a.zip");
    reader.open();
    reader.setPassword(kPassword);
    reader.setDestination(temp.path() / "out");
    reader.extract("*.dwg");
    EXPECT_EQ(listTree(temp.path() / "out"), (std::vector<std::string>{"a.DWG", "c.dwg"}));
}

TEST(ZipReader, ARunStartedFromAHandlerIsRefused) {
    TempFolder temp;
    ASSERT_NO_FATAL_FAILURE(
        writeWithLibzip(temp.path() / "a.zip", {{"1.DWG", "one"}, {"2.DWG", "two"}}));
    Harness harness;
    int refusals = 0;
    // What a second export does when it runs inside the first one's message pump.
    harness.cancelWhen = [&](const ZipProgress&) {
        for (auto call : std::initializer_list<std::function<void()>>{
                 [&] { harness.reader.setFileName(temp.path() / "other.zip"); },
                 [&] { harness.reader.open(); }, [&] { harness.reader.extract(); },
                 [&] { harness.reader.close(); }}) {
            try {
                call();
            } catch (const ZipError&) {
                ++refusals;
            }
        }
        return false;
    };
    const ExtractResult result =
        harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::Flat);
    EXPECT_EQ(refusals, 4 * static_cast<int>(harness.notifications.size()));
    EXPECT_EQ(result.written.size(), 2u);
    EXPECT_FALSE(harness.reader.busy());
}

}  // namespace

TEST(ZipReader, FilterAndLimitsRefuseMembersBeforeAnythingIsWritten) {
    TempFolder temp;
    const std::string zeros(1 << 20, '\0');
    ASSERT_NO_FATAL_FAILURE(writeWithLibzip(temp.path() / "a.zip",
                                            {{"3/IMG/ok.PNG", drawingBytes(40000)},
                                             {"3/DWG/claims-too-much.DWG.zip", drawingBytes(3000)},
                                             {"3/DWG/bomb.DWG.zip", zeros},
                                             {"4/IMG/other.PNG", "other package"},
                                             {"3/", ""},
                                             {"readme.txt", "outside every package"}}));
    patchMember(temp.path() / "a.zip", "3/DWG/claims-too-much.DWG.zip",
                [](std::string& bytes, const MemberLayout& member) {
                    bytes.at(member.centralEntry + 24 + 3) = 0x7F;  // about 2 GiB
                });

    Harness harness;
    harness.reader.setMemberLimits({1 << 30, 100});
    harness.reader.setMemberFilter(
        [](const fs::path& relative, bool) { return *relative.begin() == "3"; });
    const ExtractResult result =
        harness.extract(temp.path() / "a.zip", temp.path() / "out", PathMode::StoredPaths);

    EXPECT_EQ(result.refused, (std::vector<std::string>{"4/IMG/other.PNG", "readme.txt"}));
    EXPECT_EQ(result.oversized,
              (std::vector<std::string>{"3/DWG/claims-too-much.DWG.zip", "3/DWG/bomb.DWG.zip"}));
    EXPECT_EQ(listTree(temp.path() / "out"),
              (std::vector<std::string>{"3", "3/IMG", "3/IMG/ok.PNG"}));
    EXPECT_TRUE(harness.questions.empty());
    EXPECT_TRUE(harness.percentsOf("3/DWG/bomb.DWG.zip").empty());
}
