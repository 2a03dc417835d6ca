// Files a file manager may hand a thumbnailer as .dwg: the crafted drawings
// that ask for far more work than their size, and real drawings cut short,
// scrambled or dressed up as others. Shared by the Linux thumbnailer's tests
// and the Windows thumbnail provider's.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "HostileDrawings.h"
#include "Samples.h"

namespace testsupport {

inline std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A few samples of every version, by the order of their names.
inline std::vector<std::filesystem::path> someSamples(std::size_t perVersion) {
    std::vector<std::filesystem::path> chosen;
    for (const char* version : {"R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"}) {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(samplesFolder() / version, error))
            if (entry.path().extension() == ".dwg") files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        files.resize(std::min(files.size(), perVersion));
        chosen.insert(chosen.end(), files.begin(), files.end());
    }
    return chosen;
}

inline std::vector<NamedDrawing> hostileFiles() {
    std::vector<NamedDrawing> files = hostileDrawings();
    files.push_back({"vazio", {}});
    files.push_back({"só-a-versão", {'A', 'C', '1', '0', '3', '2'}});
    std::mt19937 random(35);
    std::vector<std::uint8_t> noise(64 * 1024);
    for (auto& byte : noise) byte = std::uint8_t(random());
    std::copy_n("AC1018", 6, noise.begin());
    files.push_back({"ruído-AC1018", noise});
    for (const auto& sample : someSamples(2)) {
        const std::vector<std::uint8_t> bytes = fileBytes(sample);
        if (bytes.size() < 256) continue;
        const std::string name = sample.parent_path().filename().string() + "/" +
                                 sample.filename().string();
        // Cut where the header, the preview's address, the preview and the
        // objects end.
        for (const std::size_t length : {std::size_t{13}, std::size_t{0x15}, std::size_t{200},
                                         bytes.size() / 2, bytes.size() - 1})
            files.push_back({name + " cortado em " + std::to_string(length),
                             std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + length)});
        // The preview's address, and bytes everywhere, scrambled.
        std::vector<std::uint8_t> address = bytes;
        for (std::size_t i = 0x0D; i < 0x15; ++i) address[i] = 0xFF;
        files.push_back({name + " endereço da imagem", address});
        std::vector<std::uint8_t> flipped = bytes;
        for (int n = 0; n < 64; ++n) flipped[random() % flipped.size()] ^= std::uint8_t(1u << (random() % 8));
        files.push_back({name + " bits trocados", flipped});
    }
    return files;
}

}  // namespace testsupport
