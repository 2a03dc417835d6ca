// Runs one of the project's command-line tools as a user would, through the
// shell, and keeps what it printed on stdout and stderr.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace testsupport {

struct ToolRun {
    int exitCode = -1;   // -1: the tool did not end normally, or could not start
    std::string output;  // stdout and stderr
};

inline ToolRun runTool(const std::string& program, const std::string& arguments) {
    const std::string command = program + " " + arguments + " 2>&1";
    ToolRun result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer{};
    while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// For paths without single quotes, as the tests' temporary folders are.
inline std::string shellQuoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

}  // namespace testsupport
