// The save formats' common shape: a header, then records of a name and
// values, pointers between records written as record numbers. The text and
// binary forms are read into this shape; Model.cpp reads meaning into it.
#pragma once

#include <acis/Model.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace acis::detail {

struct Value {
    // Flag: a two-way choice stored as one tag in binary files
    // (forward/reversed, single/double, bounded or not); `second` says which.
    enum class Kind { Pointer, Number, Word, Flag, Open, Close };
    Kind kind = Kind::Number;
    double number = 0;
    std::int64_t pointer = -1;
    std::string_view word;  // views into the decoded bytes
    bool second = false;
};

struct Record {
    std::string_view name;  // "body", "straight-curve", ...
    std::vector<Value> values;
};

struct RecordFile {
    int version = 0;
    std::vector<Record> records;
    std::vector<std::string> names;  // holds the record names the records view, where needed
};

// Both stop at the end marker and throw acis::Error on anything malformed.
RecordFile readText(std::span<const std::uint8_t> bytes);
RecordFile readBinary(std::span<const std::uint8_t> bytes);
bool isBinary(std::span<const std::uint8_t> bytes);

// Records and values one model may hold, far above any real one.
inline constexpr std::size_t kMaxRecords = 2'000'000;

}  // namespace acis::detail
