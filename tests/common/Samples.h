// Where the real sample drawings are: $TESSALY_DWG_SAMPLES, else the folder
// beside the checkout. Tests skip when it is absent, unless
// TESSALY_REQUIRE_SAMPLES is set (CI), where an absent folder fails.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testsupport {

inline std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment)
               ? std::filesystem::path(fromEnvironment)
               : std::filesystem::path(TESSALY_DWG_SAMPLES_DEFAULT);
}

// A copy of a sample that the test may overwrite and delete: the bytes only,
// since the samples may be read-only and a copied file keeps that mark, with
// which Windows refuses to replace or delete it.
inline void copySample(const std::filesystem::path& sample, const std::filesystem::path& copy) {
    std::ifstream in(sample, std::ios::binary);
    std::ofstream out(copy, std::ios::binary | std::ios::trunc);
    if (!in || !out || !(out << in.rdbuf()))
        throw std::runtime_error("cannot copy " + sample.string() + " to " + copy.string());
}

inline bool samplesRequired() {
    const char* required = std::getenv("TESSALY_REQUIRE_SAMPLES");
    return required && *required && std::string(required) != "0";
}

}  // namespace testsupport

// Use at the top of a test that needs the samples.
#define TESSALY_REQUIRE_SAMPLES_OR_SKIP()                                                     \
    do {                                                                                      \
        if (!std::filesystem::is_directory(::testsupport::samplesFolder())) {                 \
            if (::testsupport::samplesRequired())                                             \
                FAIL() << "sample drawings missing: " << ::testsupport::samplesFolder();      \
            GTEST_SKIP() << "sample drawings not found at " << ::testsupport::samplesFolder() \
                         << " (set TESSALY_DWG_SAMPLES)";                                     \
        }                                                                                     \
    } while (0)
