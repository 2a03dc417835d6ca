// facts.json beside the sample drawings: what an independent reader found in
// each sample, keyed by the sample's path below the samples folder.
#pragma once

#include <fstream>
#include <nlohmann/json.hpp>

#include "Samples.h"

namespace testsupport {

// Read once per test program; a missing or broken file throws, failing the test that asked.
inline const nlohmann::json& sampleFacts() {
    static const nlohmann::json facts = [] {
        std::ifstream in(samplesFolder() / "facts.json");
        return nlohmann::json::parse(in);
    }();
    return facts;
}

}  // namespace testsupport
