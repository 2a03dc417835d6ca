// The output of the format's decompressors: the caller's buffer, never
// written past its end, so a hostile stream cannot make us allocate or write
// more than the size the file states; back-references copy only from what has
// already been produced.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "ContainerError.h"

namespace dwg::container {

class ExpandedOutput {
  public:
    explicit ExpandedOutput(std::span<std::uint8_t> target) : bytes_(target) {}

    std::size_t position() const { return position_; }

    void ensureRoom(std::size_t count) const {
        if (count > bytes_.size() - position_)
            throwDamaged("dados comprimidos maiores que o tamanho declarado");
    }

    // Call ensureRoom for the whole run first.
    void put(std::uint8_t byte) { bytes_[position_++] = byte; }

    // `readable` bytes may be read at `from`, at least `count`.
    void putRun(const std::uint8_t* from, std::size_t count, std::size_t readable) {
        ensureRoom(count);
        std::uint8_t* out = bytes_.data() + position_;
        if (count <= kShortCopy && readable >= kShortCopy && room() >= kShortCopy)
            std::memcpy(out, from, kShortCopy);
        else
            std::memcpy(out, from, count);
        position_ += count;
    }

    void copyMatch(std::size_t distance, std::size_t length) {
        if (distance == 0 || distance > position_)
            throwDamaged("referência de compressão fora dos dados");
        std::uint8_t* out = bytes_.data() + position_;
        if (length <= kShortCopy && distance >= kShortCopy && room() >= kShortCopy) {
            std::memcpy(out, out - distance, kShortCopy);
            position_ += length;
            return;
        }
        ensureRoom(length);
        copyLongMatch(out, out - distance, distance, length);
        position_ += length;
    }

    // The output ends here: the bytes short copies wrote past it are cleared.
    std::size_t finish() {
        std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_),
                    std::min(kShortCopy, room()), 0);
        return position_;
    }

  private:
    // Short runs are copied as one block of this size, which may write past
    // the run; those bytes are written again by what follows, or cleared by finish().
    static constexpr std::size_t kShortCopy = 16;

    std::size_t room() const { return bytes_.size() - position_; }

    static void copyLongMatch(std::uint8_t* out, const std::uint8_t* from, std::size_t distance,
                              std::size_t length) {
        if (distance >= length) {
            std::memcpy(out, from, length);
            return;
        }
        // The match overlaps the bytes it produces: it repeats the last
        // `distance` bytes. Short ones byte by byte; long ones (runs of one
        // byte, mostly) by copying what is already repeated, doubling it each time.
        if (length <= 32) {
            for (std::size_t i = 0; i < length; ++i) out[i] = from[i];
            return;
        }
        std::memcpy(out, from, distance);
        for (std::size_t done = distance; done < length;) {
            const std::size_t piece = std::min(done, length - done);
            std::memcpy(out + done, out, piece);
            done += piece;
        }
    }

    std::span<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace dwg::container
