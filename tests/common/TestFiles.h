// Whole files in and out, for tests that make and check them.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "paths/Utf8Path.h"

namespace fixtures {

// A relative path as UTF-8 text with "/" between its parts on every system,
// for comparing with the names the tests expect.
inline std::string slashed(const std::filesystem::path& path) {
    std::string text = paths::pathToUtf8(path);
    if constexpr (std::filesystem::path::preferred_separator != '/')
        for (char& c : text)
            if (c == static_cast<char>(std::filesystem::path::preferred_separator)) c = '/';
    return text;
}

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Creates the folders on the way.
inline void writeFile(const std::filesystem::path& file, const std::string& data) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << data;
}

}  // namespace fixtures
