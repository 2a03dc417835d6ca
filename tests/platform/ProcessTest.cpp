// Other programs started by the tests: arguments passed whole (accents,
// blanks, quotes), their output read, their end awaited or forced.
#include <gtest/gtest.h>
#include <platform/Process.h>

#include <algorithm>
#include <chrono>

using namespace std::chrono_literals;

TEST(Processes, ArgumentsArriveWholeAndTheStatusComesBack) {
    const std::vector<std::string> arguments = {"3", "simples", "com espaço", "aspas \"dentro\"",
                                                "barra\\", "", "Cadeira de balanço"};
    const platform::ToolResult result = platform::runToEnd(PLATFORM_ECHO, arguments, 60s);
    EXPECT_EQ(result.exitCode, 3);
    std::string expected;
    for (std::size_t i = 1; i < arguments.size(); ++i) expected += arguments[i] + "\n";
    std::string output = result.output;
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    EXPECT_EQ(output, expected);
}

TEST(Processes, LinesAreReadAsTheyComeAndAHungProgramIsEnded) {
    platform::Process process;
    std::error_code error;
    ASSERT_TRUE(process.start(PLATFORM_ECHO, {"sleep", "primeira", "segunda"},
                              platform::Process::Output::Captured, error))
        << error.message();
    EXPECT_EQ(process.readLine(30s), "primeira");
    EXPECT_EQ(process.readLine(30s), "segunda");
    EXPECT_EQ(process.readLine(100ms), std::nullopt) << "nothing more while it sleeps";
    EXPECT_EQ(process.wait(100ms), std::nullopt);
    process.kill();
    EXPECT_NE(process.wait(0ms), std::nullopt);

    EXPECT_EQ(platform::runToEnd("/nenhum/programa", {}, 10s).exitCode, -1);
}

// A child left behind holds the output open for 20 s after the program
// itself ended: the wait ends at its timeout all the same, with what came.
TEST(Processes, AChildLeftHoldingTheOutputDoesNotStretchTheTimeout) {
    const auto before = std::chrono::steady_clock::now();
    const platform::ToolResult result =
        platform::runToEnd(PLATFORM_ECHO, {"orphan", "antes"}, 1s);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 15s) << "waited for the child";
    EXPECT_EQ(result.exitCode, 0) << "the program itself ended";
    EXPECT_NE(result.output.find("antes"), std::string::npos);

    platform::Process process;
    std::error_code error;
    ASSERT_TRUE(process.start(PLATFORM_ECHO, {"orphan", "linha"},
                              platform::Process::Output::Captured, error));
    EXPECT_EQ(process.readLine(30s), "linha");
    const auto waited = std::chrono::steady_clock::now();
    EXPECT_EQ(process.wait(500ms), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - waited, 15s);
    process.kill();
    EXPECT_EQ(process.readLine(0ms), std::nullopt);
}
