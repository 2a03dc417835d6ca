// The output of the format's decompressors: exactly the size the file states
// and never more, so a hostile stream cannot make us allocate or write past
// it; back-references copy only from what has already been produced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "ContainerError.h"

namespace dwg::container {

class ExpandedOutput {
  public:
    explicit ExpandedOutput(std::size_t expandedSize) : bytes_(expandedSize, 0) {}

    std::size_t position() const { return position_; }

    void ensureRoom(std::size_t count) const {
        if (count > bytes_.size() - position_)
            throwDamaged("dados comprimidos maiores que o tamanho declarado");
    }

    // Call ensureRoom for the whole run first.
    void put(std::uint8_t byte) { bytes_[position_++] = byte; }

    void copyMatch(std::size_t distance, std::size_t length) {
        if (distance == 0 || distance > position_)
            throwDamaged("referência de compressão fora dos dados");
        ensureRoom(length);
        // Byte by byte: a match may overlap the bytes it produces.
        for (std::size_t i = 0; i < length; ++i, ++position_)
            bytes_[position_] = bytes_[position_ - distance];
    }

    std::vector<std::uint8_t> take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace dwg::container
