// Downloads that continue where a broken one stopped, against the package
// server's ranges, ETags and its drop after a given number of bytes.
#include <gtest/gtest.h>
#include <platform/Loopback.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "TemporaryFolders.h"
#include "paths/Utf8Path.h"
#include "Links.h"
#include "PackageServer.h"
#include "TestFiles.h"
#include "net/Resume.h"

namespace fs = std::filesystem;
using net::DownloadStatus;

namespace {

constexpr std::size_t kSize = 600 * 1024;
constexpr std::size_t kHalf = kSize / 2;

using fixtures::readFile;
using fixtures::writeFile;

std::string packageBytes(unsigned seed) {
    std::string bytes(kSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7919 + seed * 104729) >> 5);
    return bytes;
}

struct Report {
    std::uint64_t received;
    std::uint64_t total;
};

class ResumeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root = testsupport::makeTemporaryFolder("tessaly-resume");
        server = new test_support::PackageServer(root / "served");
    }
    static void TearDownTestSuite() {
        delete server;
        fs::remove_all(root);
    }
    void SetUp() override {
        serve(packageBytes(1));
        target = root / "library" / "3.zip";
        fs::remove_all(target.parent_path());
        fs::create_directories(target.parent_path());
    }

    void serve(const std::string& bytes) {
        package = bytes;
        writeFile(root / "served" / "blocos" / "3.zip", package);
    }
    std::string url(const std::string& fault = {}) const {
        return (fault.empty() ? server->baseAddress() : server->faultyBaseAddress(fault)) +
               "blocos/3.zip";
    }
    net::ResumeResult fetch(const std::string& address, std::uint64_t expectedSize = 0) {
        reports.clear();
        return net::downloadResuming(
            address, target,
            [this](std::uint64_t received, std::uint64_t total, bool&) {
                reports.push_back({received, total});
            },
            expectedSize);
    }
    // The server sent the first half, then reset the connection; what was
    // still in flight is lost, so some part of that half is kept.
    void dropHalfWay(std::uint64_t expectedSize = 0) {
        const net::ResumeResult broken = fetch(url("dropafter-" + std::to_string(kHalf)),
                                               expectedSize);
        ASSERT_EQ(broken.status, DownloadStatus::Incomplete) << broken.detail;
        kept = fs::file_size(net::partialFileOf(target));
        ASSERT_GT(kept, 0u);
        ASSERT_LE(kept, kHalf);
        ASSERT_EQ(kept, broken.fetched);
        ASSERT_TRUE(fs::exists(net::partialIdentityOf(target)));
        ASSERT_FALSE(fs::exists(target));
    }
    // A partial file of exactly `bytes` bytes, with the identity the server gave it.
    void keepOnly(std::uint64_t bytes) {
        ASSERT_NO_FATAL_FAILURE(dropHalfWay());
        ASSERT_GE(kept, bytes);
        fs::resize_file(net::partialFileOf(target), bytes);
        kept = bytes;
    }
    // The entity tag the server gave the partial file, without its line end.
    std::string storedTag() const {
        std::string tag = readFile(net::partialIdentityOf(target));
        if (tag.ends_with('\n')) tag.pop_back();
        return tag;
    }
    // The served file's Last-Modified, as the server writes it.
    std::string servedDate() const {
        using namespace std::chrono;
        const auto written = floor<seconds>(
            file_clock::to_sys(fs::last_write_time(root / "served" / "blocos" / "3.zip")));
        const sys_days day = floor<days>(written);
        const year_month_day date(day);
        const hh_mm_ss timeOfDay(written - day);
        static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        char text[64];
        std::snprintf(text, sizeof text, "%s, %02u %s %d %02d:%02d:%02d GMT",
                      kDays[weekday(day).c_encoding()], static_cast<unsigned>(date.day()),
                      kMonths[static_cast<unsigned>(date.month()) - 1],
                      static_cast<int>(date.year()), static_cast<int>(timeOfDay.hours().count()),
                      static_cast<int>(timeOfDay.minutes().count()),
                      static_cast<int>(timeOfDay.seconds().count()));
        return text;
    }
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(target.parent_path()))
            if (entry.path() != target) names.push_back(paths::pathToUtf8(entry.path().filename()));
        return names;
    }

  public:
    static inline fs::path root;
    static inline test_support::PackageServer* server = nullptr;
    std::string package;
    fs::path target;
    std::vector<Report> reports;
    std::uint64_t kept = 0;  // bytes of the partial file after dropHalfWay
};

}  // namespace

// After a drop the next call fetches only the missing bytes, unless the range
// cannot hold; then it starts over.
TEST_F(ResumeTest, ContinuesAfterADropOrStartsOver) {
    struct Case {
        const char* name;
        std::uint64_t expectedSize;
        std::function<void()> between;  // after the drop, before the next call
        std::string fault;              // of the second call
        bool resumes;
    };
    const Case cases[] = {
        {"size unknown", 0, {}, "", true},
        {"size known", kSize, {}, "", true},
        {"the server ignores ranges", 0, {}, "norange", false},
        {"the file on the server changed", 0,
         [this] {
             // Another modification time, whatever the clock's resolution.
             std::this_thread::sleep_for(std::chrono::milliseconds(20));
             serve(packageBytes(2));
         },
         "", false},
        {"the partial file is longer than the server's", 0,
         [this] { serve(package.substr(0, kept / 2)); }, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_NO_FATAL_FAILURE(dropHalfWay(c.expectedSize));
        if (c.between) c.between();
        const std::uint64_t from = c.resumes ? kept : 0;
        const net::ResumeResult result = fetch(url(c.fault), c.expectedSize);
        ASSERT_TRUE(result.done()) << result.detail;
        EXPECT_EQ(result.httpStatus, c.resumes ? 206 : 200);
        EXPECT_EQ(result.resumedFrom, from);
        EXPECT_EQ(result.fetched, package.size() - from) << "only the missing bytes are fetched";
        EXPECT_EQ(readFile(target), package);
        EXPECT_TRUE(leftovers().empty());
        // The gauge starts at what was there and ends at the whole file.
        ASSERT_FALSE(reports.empty());
        EXPECT_GE(reports.front().received, from);
        EXPECT_EQ(reports.back().received, package.size());
        EXPECT_EQ(reports.back().total, package.size());
    }
}

TEST_F(ResumeTest, WhatIsKeptAfterAFailure) {
    struct Case {
        const char* name;
        std::string fault;
        std::uint64_t expectedSize;
        DownloadStatus status;
        bool kept;
    };
    const Case cases[] = {
        {"a drop keeps the partial file", "dropafter-1000", 0, DownloadStatus::Incomplete, true},
        {"without ETag or date there is nothing to resume with", "noetag", 0,
         DownloadStatus::Done, false},
        {"a drop without identity keeps nothing", "noetag+dropafter-1000", 0,
         DownloadStatus::Incomplete, false},
        {"a file longer than expected", "", kSize - 1, DownloadStatus::TooLarge, false},
        {"a server error", "error", 0, DownloadStatus::ServerError, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.fault == "error") {
            ASSERT_NO_FATAL_FAILURE(dropHalfWay());
        }
        const net::ResumeResult result = fetch(url(c.fault), c.expectedSize);
        EXPECT_EQ(result.status, c.status) << result.detail;
        EXPECT_EQ(fs::exists(net::partialFileOf(target)), c.kept);
        EXPECT_EQ(fs::exists(net::partialIdentityOf(target)), c.kept);
        if (result.done()) {
            EXPECT_EQ(readFile(target), package);
        }
    }
}

// A 206 is the rest of the partial file only when that rest was asked for and
// its Content-Range says so; otherwise it is no file at all.
TEST_F(ResumeTest, APartialReplyIsTakenOnlyForTheRangeAskedFor) {
    constexpr std::uint64_t kFrom = 1000;
    const auto partial = [](std::uint64_t first, std::uint64_t last) {
        return "partial-" + std::to_string(first) + "-" + std::to_string(last);
    };
    struct Case {
        const char* name;
        std::uint64_t resumeFrom;  // bytes of the partial file before the call, 0 for none
        std::string fault;
        std::uint64_t expectedSize;
        DownloadStatus status;
        std::uint64_t keptAfter;  // bytes of the partial file after the call, 0 for none
    };
    const Case cases[] = {
        {"first half, no range asked", 0, partial(0, kHalf - 1), 0, DownloadStatus::ServerError, 0},
        {"first half, no range asked, size known", 0, partial(0, kHalf - 1), kSize,
         DownloadStatus::ServerError, 0},
        {"second half, no range asked", 0, partial(kHalf, kSize - 1), 0,
         DownloadStatus::ServerError, 0},
        {"every byte as a range, no range asked", 0, partial(0, kSize - 1), 0,
         DownloadStatus::ServerError, 0},
        {"the rest, as asked", kFrom, partial(kFrom, kSize - 1), 0, DownloadStatus::Done, 0},
        {"another range than asked", kFrom, partial(0, kSize - 1), 0, DownloadStatus::ServerError,
         0},
        {"the range asked, stopping short", kFrom, partial(kFrom, 2 * kFrom - 1), 0,
         DownloadStatus::Incomplete, 2 * kFrom},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.resumeFrom > 0) {
            ASSERT_NO_FATAL_FAILURE(keepOnly(c.resumeFrom));
        }
        const net::ResumeResult result = fetch(url(c.fault), c.expectedSize);
        EXPECT_EQ(result.status, c.status) << result.detail;
        EXPECT_EQ(result.httpStatus, 206);
        if (result.done()) {
            EXPECT_EQ(result.resumedFrom, c.resumeFrom);
            EXPECT_TRUE(readFile(target) == package);
        } else {
            EXPECT_FALSE(fs::exists(target));
        }
        const fs::path part = net::partialFileOf(target);
        EXPECT_EQ(fs::exists(part), c.keptAfter > 0);
        if (c.keptAfter > 0) {
            EXPECT_TRUE(readFile(part) == package.substr(0, c.keptAfter));
        }
    }
}

// The identity beside the partial file goes back to the server in a header:
// only an entity tag or an HTTP date is sent; anything else starts over.
TEST_F(ResumeTest, OnlyAnEntityTagOrADateIsSentBack) {
    struct Case {
        const char* name;
        std::function<std::string(const std::string& tag)> identity;
        bool resumes;
    };
    const Case cases[] = {
        {"the server's entity tag", [](const std::string& tag) { return tag + "\n"; }, true},
        {"the server's date", [this](const std::string&) { return servedDate() + "\n"; }, true},
        {"a bare carriage return bringing a header",
         [](const std::string& tag) { return tag + "\rX-Injected: 1\n"; }, false},
        {"a line break bringing a header",
         [](const std::string& tag) { return tag + "\r\nX-Injected: 1\n"; }, false},
        {"a second line", [](const std::string& tag) { return tag + "\n" + tag + "\n"; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_NO_FATAL_FAILURE(dropHalfWay());
        writeFile(net::partialIdentityOf(target), c.identity(storedTag()));
        const net::ResumeResult result = fetch(url());
        ASSERT_TRUE(result.done()) << result.detail;
        EXPECT_EQ(result.resumedFrom, c.resumes ? kept : 0u);
        EXPECT_EQ(result.httpStatus, c.resumes ? 206 : 200);
        EXPECT_TRUE(readFile(target) == package);
        EXPECT_TRUE(leftovers().empty());
    }
}

// Somebody's file behind a link at the identity's name is neither sent to the
// server nor overwritten with the server's tag.
TEST_F(ResumeTest, AnIdentityThatIsALinkIsNeitherReadNorWritten) {
    struct Case {
        const char* name;
        bool holdsTheTag;  // the linked file would resume the download if it were read
    };
    const Case cases[] = {{"a file holding the tag", true}, {"a file of the user's", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_NO_FATAL_FAILURE(dropHalfWay());
        const fs::path users = root / "notas.txt";
        const std::string text = c.holdsTheTag ? storedTag() + "\n" : "minhas notas\n";
        writeFile(users, text);
        fs::remove(net::partialIdentityOf(target));
        testsupport::plantLink(users, net::partialIdentityOf(target));
        const net::ResumeResult result = fetch(url());
        ASSERT_TRUE(result.done()) << result.detail;
        EXPECT_EQ(result.resumedFrom, 0u);
        EXPECT_TRUE(readFile(target) == package);
        EXPECT_EQ(readFile(users), text);
    }
}

TEST_F(ResumeTest, APartialFileOfTheExpectedSizeNeedsNoServer) {
    ASSERT_NO_FATAL_FAILURE(dropHalfWay());
    const std::string nowhere =
        "http://127.0.0.1:" + std::to_string(test_support::closedPort()) + "/blocos/3.zip";
    const net::ResumeResult result = fetch(nowhere, kept);
    ASSERT_TRUE(result.done()) << result.detail;
    EXPECT_EQ(result.resumedFrom, kept);
    EXPECT_EQ(result.fetched, 0u);
    EXPECT_EQ(readFile(target), package.substr(0, kept));
}

namespace {

// A loopback port whose listener never accepts and whose backlog is full, so
// that a new connection waits for its time-out.
class SilentPort {
  public:
    SilentPort() : listener_(0) { listener_.fillBacklog(8); }
    int port() const { return listener_.port(); }

  private:
    platform::LoopbackListener listener_;
};

}  // namespace

// The window pumps in the progress report, so a connection that hangs must
// still report, far more often than libcurl's own once a second.
TEST(WaitingTransfer, ReportsWhileTheConnectionHangs) {
    const SilentPort silent;
    const fs::path folder = testsupport::makeTemporaryFolder("tessaly-silent");
    const std::string url = "http://127.0.0.1:" + std::to_string(silent.port()) + "/blocos/3.zip";
    net::DownloadLimits limits;
    limits.connectTimeout = std::chrono::seconds(1);
    using Download = std::function<DownloadStatus(const net::ProgressHandler&)>;
    const std::pair<const char*, Download> downloads[] = {
        {"downloadFile",
         [&](const net::ProgressHandler& p) {
             return net::downloadFile(url, folder / "3.zip", p, limits).status;
         }},
        {"downloadResuming",
         [&](const net::ProgressHandler& p) {
             return net::downloadResuming(url, folder / "3.zip", p, 0, limits).status;
         }},
    };
    for (const auto& [name, download] : downloads) {
        SCOPED_TRACE(name);
        int reports = 0;
        const DownloadStatus status =
            download([&](std::uint64_t, std::uint64_t, bool&) { ++reports; });
        EXPECT_EQ(status, DownloadStatus::NoConnection);
        // One report each 50 ms would give 20; libcurl alone gives one or two.
        EXPECT_GE(reports, 6);
    }
    fs::remove_all(folder);
}
