// A full disk during extraction, made with a file size limit (POSIX only).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "ExtractHarness.h"

namespace fs = std::filesystem;
using namespace archive;
using namespace fixtures;

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

