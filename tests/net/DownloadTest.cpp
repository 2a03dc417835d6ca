#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "TemporaryFolders.h"
#include "PackageServer.h"
#include "TestFiles.h"
#include "net/Download.h"

namespace fs = std::filesystem;
using net::DownloadStatus;

namespace {

constexpr std::size_t kPackageSize = 700 * 1024;

using fixtures::readFile;
using fixtures::writeFile;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// One server for the whole suite, serving a package of a few hundred kilobytes.
class DownloadTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root = testsupport::makeTemporaryFolder("tessaly-net");
        package.resize(kPackageSize);
        for (std::size_t i = 0; i < package.size(); ++i)
            package[i] = static_cast<char>((i * 7919) >> 5);
        writeFile(root / "served" / "blocos" / "3.zip", package);
        server = new test_support::PackageServer(root / "served");
    }
    static void TearDownTestSuite() {
        delete server;
        fs::remove_all(root);
    }
    void SetUp() override {
        target = root / "library" / "3.zip";
        fs::remove_all(target.parent_path());
        fs::create_directories(target.parent_path());
    }

    static inline fs::path root;
    static inline std::string package;
    static inline test_support::PackageServer* server = nullptr;
    fs::path target;
};

struct FaultCase {
    const char* name;
    std::string (*address)(const test_support::PackageServer&);
    DownloadStatus expected;
    long httpStatus;
};

std::string served(const test_support::PackageServer& s, const char* kind) {
    return (kind[0] ? s.faultyBaseAddress(kind) : s.baseAddress()) + "blocos/3.zip";
}

// The server answers 206 with bytes first to last, whatever was asked.
std::string partialReply(const test_support::PackageServer& s, std::size_t first,
                         std::size_t last) {
    return served(s, ("partial-" + std::to_string(first) + "-" + std::to_string(last)).c_str());
}

const FaultCase kFaults[] = {
    {"missing", [](auto& s) { return s.baseAddress() + "blocos/9.zip"; }, DownloadStatus::NotFound,
     404},
    {"errorPage", [](auto& s) { return served(s, "error"); }, DownloadStatus::ServerError, 500},
    {"droppedMidTransfer", [](auto& s) { return served(s, "drop"); }, DownloadStatus::Incomplete,
     200},
    {"shorterThanItsLength", [](auto& s) { return served(s, "short"); }, DownloadStatus::Incomplete,
     200},
    {"endlessRedirects", [](auto& s) { return served(s, "loop"); }, DownloadStatus::ServerError,
     302},
    // A part of the file is never taken for the file when no range was asked for.
    {"unaskedFirstHalf", [](auto& s) { return partialReply(s, 0, kPackageSize / 2 - 1); },
     DownloadStatus::ServerError, 206},
    {"unaskedSecondHalf",
     [](auto& s) { return partialReply(s, kPackageSize / 2, kPackageSize - 1); },
     DownloadStatus::ServerError, 206},
    {"unaskedWholeRange", [](auto& s) { return partialReply(s, 0, kPackageSize - 1); },
     DownloadStatus::ServerError, 206},
    {"connectionRefused",
     [](auto&) {
         return "http://127.0.0.1:" + std::to_string(test_support::closedPort()) + "/blocos/3.zip";
     },
     DownloadStatus::NoConnection, 0},
    {"otherScheme", [](auto& s) { return "ftp://127.0.0.1:" + std::to_string(s.port()) + "/x"; },
     DownloadStatus::BadAddress, 0},
    {"fileScheme", [](auto&) { return std::string("file:///etc/passwd"); },
     DownloadStatus::BadAddress, 0},
};

}  // namespace

TEST_F(DownloadTest, FetchesTheBodyWithItsProgress) {
    for (const char* kind : {"", "redirect", "nolength"}) {
        SCOPED_TRACE(kind);
        fs::remove(target);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
        const net::DownloadResult result = net::downloadFile(
            served(*server, kind), target, [&](std::uint64_t received, std::uint64_t total, bool&) {
                reports.emplace_back(received, total);
            });
        ASSERT_TRUE(result.done()) << result.detail;
        EXPECT_EQ(result.httpStatus, 200);
        EXPECT_EQ(readFile(target), package);
        EXPECT_EQ(namesIn(target.parent_path()), std::vector<std::string>{"3.zip"});
        ASSERT_FALSE(reports.empty());
        for (std::size_t i = 1; i < reports.size(); ++i)
            EXPECT_GE(reports[i].first, reports[i - 1].first);
        const bool lengthAnnounced = std::string(kind) != "nolength";
        EXPECT_EQ(reports.back().first, package.size());
        for (const auto& [received, total] : reports)
            EXPECT_TRUE(total == 0 || (lengthAnnounced && total == package.size()));
        EXPECT_EQ(reports.back().second, lengthAnnounced ? package.size() : 0u);
    }
}

TEST_F(DownloadTest, FailuresLeaveTheTargetAsItWas) {
    for (const FaultCase& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        writeFile(target, "what was there before");
        const net::DownloadResult result =
            net::downloadFile(fault.address(*server), target, nullptr);
        EXPECT_EQ(result.status, fault.expected) << result.detail;
        EXPECT_EQ(result.httpStatus, fault.httpStatus);
        EXPECT_FALSE(result.detail.empty());
        EXPECT_EQ(readFile(target), "what was there before");
        EXPECT_EQ(namesIn(target.parent_path()), std::vector<std::string>{"3.zip"});
    }
}

// Bounds on size and speed, with limits small enough for a test: the package
// is 700 KiB, so a bound of 512 KiB refuses it and one of 1 MiB does not.
TEST_F(DownloadTest, TransfersBeyondTheirBoundsAreRefused) {
    struct Case {
        const char* kind;
        std::uint64_t maxBytes;
        DownloadStatus expected;
        std::uint64_t mostReceived;  // the transfer stopped before more arrived
    };
    const Case cases[] = {
        {"endless", 1 << 20, DownloadStatus::TooLarge, 1 << 20},
        {"", 512 << 10, DownloadStatus::TooLarge, 0},          // refused at its length
        {"nolength", 512 << 10, DownloadStatus::TooLarge, 512 << 10},
        {"drip", 1 << 20, DownloadStatus::TooSlow, 16},
        {"stall", 1 << 20, DownloadStatus::TooSlow, 0},
        {"slow", 1 << 20, DownloadStatus::Done, 700 << 10},  // slow but above the speed bound
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.kind ? c.kind : "announced length");
        fs::remove(target);
        net::DownloadLimits limits;
        limits.maxBytes = c.maxBytes;
        limits.slowTime = std::chrono::seconds(2);
        std::uint64_t mostReceived = 0;
        const net::DownloadResult result = net::downloadFile(
            served(*server, c.kind), target,
            [&](std::uint64_t received, std::uint64_t, bool&) { mostReceived = received; }, limits);
        EXPECT_EQ(result.status, c.expected) << result.detail;
        EXPECT_LE(mostReceived, c.mostReceived);
        if (c.expected == DownloadStatus::Done) {
            EXPECT_EQ(readFile(target), package);
            continue;
        }
        EXPECT_FALSE(result.detail.empty());
        EXPECT_TRUE(namesIn(target.parent_path()).empty());
    }
}

TEST_F(DownloadTest, CancelFromTheProgressReportStopsAtOnce) {
    int reportsAfterCancel = 0;
    bool cancelled = false;
    const net::DownloadResult result = net::downloadFile(
        served(*server, "slow"), target, [&](std::uint64_t received, std::uint64_t, bool& cancel) {
            if (cancelled) ++reportsAfterCancel;
            if (received > 0) cancel = cancelled = true;
        });
    EXPECT_EQ(result.status, DownloadStatus::Cancelled);
    EXPECT_EQ(reportsAfterCancel, 0);
    EXPECT_TRUE(namesIn(target.parent_path()).empty());
}

TEST_F(DownloadTest, ExceptionFromTheProgressReportReachesTheCallerWithoutLeftovers) {
    EXPECT_THROW(net::downloadFile(served(*server, ""), target,
                                   [](std::uint64_t, std::uint64_t, bool&) {
                                       throw std::runtime_error("handler failed");
                                   }),
                 std::runtime_error);
    EXPECT_TRUE(namesIn(target.parent_path()).empty());
}

TEST_F(DownloadTest, UnwritableFolderIsAWriteError) {
    const net::DownloadResult result =
        net::downloadFile(served(*server, ""), root / "no-such-folder" / "3.zip", nullptr);
    EXPECT_EQ(result.status, DownloadStatus::WriteError);
    EXPECT_FALSE(fs::exists(root / "no-such-folder"));
}
