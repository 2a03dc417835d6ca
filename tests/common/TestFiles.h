// Whole files in and out, for tests that make and check them.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fixtures {

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
