// The three streams an R2007+ record is split into (data, strings, handles).
// Before R2007 the strings sit in the data stream, so `strings` refers to the
// same reader as `data`; the handles of objects have their own stream from R13
// on, those of the header share the data stream before R2007.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "BitReader.h"
#include "Sections.h"

namespace dwg::detail {

class Streams {
  public:
    // Data and handles in one stream, strings inline (pre-R2007 header).
    explicit Streams(BitReader data) : data_(data) {}

    BitReader& data() { return data_; }
    BitReader& strings() { return strings_ ? *strings_ : data_; }
    BitReader& handles() { return handles_ ? *handles_ : data_; }

    void setHandles(BitReader handles) { handles_ = handles; }
    void setStrings(BitReader strings) { strings_ = strings; }

    // TV: code-page text before R2007, UTF-16 from the string stream after.
    std::string text(const FileContext& context);

    // Locates the R2007+ string stream that ends at bit `endBit` (exclusive) of
    // the data window, and shortens the data stream to where the strings begin.
    void splitStrings(std::size_t endBit);

  private:
    BitReader data_;
    std::optional<BitReader> strings_;
    std::optional<BitReader> handles_;
};

using Sentinel = std::array<std::uint8_t, 16>;

// A header or classes section: start sentinel, RL size, (R2010+) RL, data,
// RS CRC over size and data, end sentinel. Returns the data bytes after the
// size field(s) and where they start within the section.
struct FramedSection {
    Bytes data;
    std::size_t dataOffset = 0;  // offset of `data` within the section
};
FramedSection unframeSection(Bytes section, const Sentinel& start, const char* name,
                             const FileContext& context);

}  // namespace dwg::detail
