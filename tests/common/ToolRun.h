// Runs one of the project's command-line tools as a user would and keeps what
// it printed on stdout and stderr.
#pragma once

#include <platform/Process.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "paths/Utf8Path.h"

namespace testsupport {

struct ToolRun {
    int exitCode = -1;   // -1: the tool did not end normally, or could not start
    std::string output;  // stdout and stderr
};

// The words of a command line: blanks separate them, '...' keeps one whole.
inline std::vector<std::string> commandWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char c : line) {
        if (c == '\'') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

inline ToolRun runTool(const std::string& program, const std::string& arguments) {
    const platform::ToolResult result = platform::runToEnd(
        paths::pathFromUtf8(program), commandWords(arguments), std::chrono::minutes(5));
    return {result.exitCode, result.output};
}

// For paths without single quotes, as the tests' temporary folders are.
inline std::string shellQuoted(const std::filesystem::path& path) {
    return "'" + paths::pathToUtf8(path) + "'";
}

}  // namespace testsupport
