// A save file as its values, kept exactly enough to be written again in
// either form: SAB's tags (their widths, positions and vectors, flags and
// enumerations) are kept as read; SAT's words, which do not say their
// types, are typed by what each record kind holds (WriteSchemas.cpp).
#pragma once

#include <acis/Model.h>
#include <acis/Write.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace acis::detail {

struct Token {
    enum class Kind : std::uint8_t {
        Char,  // integers of 1, 2, 4 and 8 bytes in SAB
        Short,
        Long,
        LongLong,
        Enum,
        Float,
        Double,
        Position,  // three doubles
        Vector,
        Pair,  // two doubles: a point in a surface's parameters
        Text,
        Ident,  // a subtype's or a class's name inside a sub-record
        Flag,   // `yes`: SAB's second tag (reversed, double, finite interval...)
        Pointer,
        Open,
        Close,
        Word,    // SAT only: a word not yet typed
        Number,  // SAT only: a number not yet typed (`text` keeps how it was written)
    };
    Kind kind = Kind::Long;
    std::int64_t integer = 0;  // integers, enumerations, pointers
    std::array<double, 3> real{};
    bool yes = false;
    std::string text;  // texts, idents, SAT words and numbers as written

    static Token pointer(std::int64_t index) {
        Token t;
        t.kind = Kind::Pointer;
        t.integer = index;
        return t;
    }
    static Token number(Kind kind, double value) {
        Token t;
        t.kind = kind;
        t.real[0] = value;
        return t;
    }
    static Token triple(Kind kind, double x, double y, double z) {
        Token t;
        t.kind = kind;
        t.real = {x, y, z};
        return t;
    }
    static Token flag(bool yes) {
        Token t;
        t.kind = Kind::Flag;
        t.yes = yes;
        return t;
    }
};

struct TokenRecord {
    std::string name;  // parts joined with '-', as SAT writes it
    std::vector<Token> values;
};

// SAT before version 2.0 has no product line, dates or units.
inline constexpr int kFirstVersionWithInfo = 200;

struct TokenFile {
    Form form = Form::Text;
    int version = 0;
    std::int64_t recordCount = 0;  // as the header says (0: the end marker counts)
    std::int64_t bodyCount = 0;
    std::int64_t flags = 0;
    std::string product, modeller, date;
    std::array<double, 3> units{1, 1e-6, 1e-10};  // millimetres per unit, resabs, resnor
    std::vector<TokenRecord> records;
    // What follows the records when it is not only the end marker (saved
    // history), kept as it is in the file's own form.
    std::vector<std::uint8_t> tail;
};

TokenFile readTokens(std::span<const std::uint8_t> bytes);

// SAT words typed as SAB holds them; throws acis::Error for a record kind
// whose values cannot be typed.
void typeTextRecords(TokenFile& file);

std::vector<std::uint8_t> writeText(const TokenFile& file);
std::vector<std::uint8_t> writeBinary(const TokenFile& file);

// The words SAT writes for the k-th flag of a record kind at its top level;
// none for kinds or flags not known.
struct FlagWords {
    std::string_view no, yes;
};
const FlagWords* flagWords(std::string_view recordName, std::size_t ordinal);

}  // namespace acis::detail
