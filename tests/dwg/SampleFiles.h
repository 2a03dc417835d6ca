// The R2004+ sample drawings, read whole into memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Samples.h"

namespace testsupport {

inline std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every .dwg below the samples folder whose version is one of `versions` (folder names such as
// "R2004").
inline std::vector<std::filesystem::path> samplesOf(std::initializer_list<std::string> versions) {
    std::vector<std::filesystem::path> files;
    for (const std::string& version : versions) {
        const auto folder = samplesFolder() / version;
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".dwg") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace testsupport
