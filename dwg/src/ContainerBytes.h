// Bounds-checked little-endian reads for the container tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ContainerError.h"

namespace dwg::container {

inline std::span<const std::uint8_t> slice(std::span<const std::uint8_t> bytes,
                                           std::uint64_t offset, std::uint64_t count) {
    if (offset > bytes.size() || count > bytes.size() - offset)
        throwDamaged("leitura além do fim do arquivo");
    return bytes.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
}

inline std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    const auto b = slice(bytes, offset, 4);
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

inline std::uint64_t readU64(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    return std::uint64_t{readU32(bytes, offset)} | std::uint64_t{readU32(bytes, offset + 4)} << 32;
}

inline void writeU32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace dwg::container
