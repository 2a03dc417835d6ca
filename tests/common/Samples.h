// Where the real sample drawings are: $TESSALY_DWG_SAMPLES, else the folder
// beside the checkout. Tests skip when it is absent, unless
// TESSALY_REQUIRE_SAMPLES is set (CI), where an absent folder fails.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace testsupport {

inline std::filesystem::path samplesFolder() {
    const char* fromEnvironment = std::getenv("TESSALY_DWG_SAMPLES");
    return (fromEnvironment && *fromEnvironment)
               ? std::filesystem::path(fromEnvironment)
               : std::filesystem::path(TESSALY_DWG_SAMPLES_DEFAULT);
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
