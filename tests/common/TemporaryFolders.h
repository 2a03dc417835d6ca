// A new folder of a test's own under the system's temporary folder, named
// <prefix>-<random>, on every system (POSIX's mkdtemp is not Windows').
#pragma once

#include <platform/Files.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace testsupport {

inline std::filesystem::path makeTemporaryFolder(const std::string& prefix) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                             (prefix + "-" + std::to_string(random() % 1000000000));
        std::error_code error;
        platform::makeFolder(folder, error);
        if (!error) return folder;
        if (error != std::errc::file_exists) break;
    }
    throw std::runtime_error("no temporary folder could be made for " + prefix);
}

}  // namespace testsupport

