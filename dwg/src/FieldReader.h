// Field access shared by the parsers of the less common entities and their
// style objects: the streams of one record, and counts checked against the
// bits left before anything is sized from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Streams.h"

namespace dwg::detail {

// Smallest encodings of the bit codes, used to reject counts that cannot fit.
inline constexpr std::size_t kMinBitsBitLong = 2;
inline constexpr std::size_t kMinBitsBitDouble = 2;
inline constexpr std::size_t kMinBitsPoint3 = 6;
inline constexpr std::size_t kBitsRawPoint2 = 128;

class FieldReader {
  public:
    FieldReader(Streams& streams, const FileContext& file, Handle own)
        : streams_(streams), file_(file), own_(own) {}

    Version version() const { return file_.version; }
    const FileContext& file() const { return file_; }
    BitReader& data() { return streams_.data(); }
    BitReader& handles() { return streams_.handles(); }

    std::string text() { return streams_.text(file_); }
    Handle handle() { return streams_.handles().handle().resolve(own_); }
    Color color() { return streams_.data().color(file_.version, streams_.strings()); }

    // A BL count of items that each take at least `minBitsEach` bits of the data stream.
    std::size_t count(const char* what, std::size_t minBitsEach) {
        const std::int32_t n = data().bitLong();
        if (n < 0) throw Error::damaged(std::string("quantidade negativa de ") + what);
        data().requireItems(static_cast<std::uint32_t>(n), minBitsEach, what);
        return static_cast<std::size_t>(n);
    }

  private:
    Streams& streams_;
    const FileContext& file_;
    Handle own_;
};

}  // namespace dwg::detail
