// Stand-in content for drawings in archive tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testsupport {

// Half random, half structured: compresses to about two thirds, as drawings do.
inline std::string drawingBytes(std::size_t size, std::uint32_t seed = 1) {
    std::string data(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        data[i] =
            (i % 2 == 0) ? static_cast<char>(state >> 24) : static_cast<char>('A' + (i / 16) % 8);
    }
    return data;
}

}  // namespace testsupport
