// Writes small models in both save forms from one list of records, so that
// the same body can be decoded from text and from binary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace acistest {

struct Field {
    enum class Kind { Pointer, Integer, LongInteger, Double, ParameterPair, Word, Flag, Position, Open, Close };
    Kind kind = Kind::Integer;
    double number = 0;
    std::string word;  // Word; Flag: the text form
    bool second = false;
    double xyz[3] = {0, 0, 0};
};

inline Field make(Field::Kind kind, double number = 0, std::string word = {}, bool second = false) {
    Field f;
    f.kind = kind;
    f.number = number;
    f.word = std::move(word);
    f.second = second;
    return f;
}
inline Field ptr(int record) { return make(Field::Kind::Pointer, record); }
inline Field integer(int n) { return make(Field::Kind::Integer, n); }
// Binary files of newer writers: an eight-byte integer, a pair of surface parameters.
inline Field longInteger(std::int64_t n) { return make(Field::Kind::LongInteger, double(n)); }
inline Field parameters(double u, double v) {
    Field f = make(Field::Kind::ParameterPair);
    f.xyz[0] = u, f.xyz[1] = v;
    return f;
}
inline Field real(double d) { return make(Field::Kind::Double, d); }
inline Field word(std::string w) { return make(Field::Kind::Word, 0, std::move(w)); }
// A two-way choice: `text` as SAT writes it, `second` for the binary tag.
inline Field flag(std::string text, bool second) { return make(Field::Kind::Flag, 0, std::move(text), second); }
inline Field forward() { return flag("forward", false); }
inline Field reversed() { return flag("reversed", true); }
inline Field position(double x, double y, double z) {
    Field f = make(Field::Kind::Position);
    f.xyz[0] = x, f.xyz[1] = y, f.xyz[2] = z;
    return f;
}
inline Field open() { return make(Field::Kind::Open); }
inline Field close() { return make(Field::Kind::Close); }

struct ModelWriter {
    int version = 400;
    struct Record {
        std::string name;
        std::vector<Field> fields;
        bool plainPrefix = false;  // transforms carry no extra pointer after the history number
    };
    std::vector<Record> records;

    // Reserves a record number now, filled later by set().
    int reserve() {
        records.emplace_back();
        return int(records.size()) - 1;
    }
    void set(int at, std::string name, std::vector<Field> fields) {
        records[std::size_t(at)] = {std::move(name), std::move(fields), false};
    }
    int add(std::string name, std::vector<Field> fields) {
        const int at = reserve();
        set(at, std::move(name), std::move(fields));
        return at;
    }

    std::vector<Field> prefixed(const Record& r) const {
        std::vector<Field> out{ptr(-1)};
        if (version >= 700) {
            out.push_back(integer(-1));
            if (!r.plainPrefix) out.push_back(ptr(-1));
        }
        out.insert(out.end(), r.fields.begin(), r.fields.end());
        return out;
    }

    std::vector<std::uint8_t> sat() const {
        std::string s = std::to_string(version) + " " + std::to_string(records.size()) + " 1 0\n";
        if (version >= 200) s += "4 Test 7 ACIS 99 5 today\n1 9.9999999999999995e-07 1e-10\n";
        char number[96];
        for (const Record& r : records) {
            s += r.name;
            for (const Field& f : prefixed(r)) {
                s += ' ';
                switch (f.kind) {
                    case Field::Kind::Pointer:
                        s += "$" + std::to_string(int(f.number));
                        break;
                    case Field::Kind::Integer:
                    case Field::Kind::LongInteger:
                        s += std::to_string(std::int64_t(f.number));
                        break;
                    case Field::Kind::ParameterPair:
                        std::snprintf(number, sizeof number, "%.17g %.17g", f.xyz[0], f.xyz[1]);
                        s += number;
                        break;
                    case Field::Kind::Double:
                        std::snprintf(number, sizeof number, "%.17g", f.number);
                        s += number;
                        break;
                    case Field::Kind::Word:
                    case Field::Kind::Flag:
                        s += f.word;
                        break;
                    case Field::Kind::Position:
                        std::snprintf(number, sizeof number, "%.17g %.17g %.17g", f.xyz[0], f.xyz[1], f.xyz[2]);
                        s += number;
                        break;
                    case Field::Kind::Open:
                        s += "{";
                        break;
                    case Field::Kind::Close:
                        s += "}";
                        break;
                }
            }
            s += " #\n";
        }
        s += "End-of-ACIS-data\n";
        return {s.begin(), s.end()};
    }

    std::vector<std::uint8_t> sab() const {
        std::vector<std::uint8_t> b;
        auto text = [&](std::uint8_t tag, const std::string& t) {
            b.push_back(tag);
            b.push_back(std::uint8_t(t.size()));
            b.insert(b.end(), t.begin(), t.end());
        };
        auto raw32 = [&](std::int32_t v) {
            for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(std::uint32_t(v) >> (8 * i)));
        };
        auto raw64 = [&](double d) {
            std::uint64_t bits;
            std::memcpy(&bits, &d, 8);
            for (int i = 0; i < 8; ++i) b.push_back(std::uint8_t(bits >> (8 * i)));
        };
        const std::string signature = "ACIS BinaryFile";
        b.assign(signature.begin(), signature.end());
        raw32(version);
        raw32(0);
        raw32(1);
        raw32(0);
        for (const char* t : {"Test", "ACIS 99", "today"}) text(0x07, t);
        for (double d : {1.0, 1e-6, 1e-10}) b.push_back(0x06), raw64(d);
        auto name = [&](const std::string& n) {
            std::size_t start = 0;
            for (std::size_t dash; (dash = n.find('-', start)) != std::string::npos; start = dash + 1)
                text(0x0E, n.substr(start, dash - start));
            text(0x0D, n.substr(start));
        };
        for (const Record& r : records) {
            name(r.name);
            for (const Field& f : prefixed(r)) {
                switch (f.kind) {
                    case Field::Kind::Pointer:
                        b.push_back(0x0C), raw32(int(f.number));
                        break;
                    case Field::Kind::Integer:
                        b.push_back(0x04), raw32(int(f.number));
                        break;
                    case Field::Kind::LongInteger: {
                        b.push_back(0x17);
                        const auto n = std::uint64_t(std::int64_t(f.number));
                        for (int i = 0; i < 8; ++i) b.push_back(std::uint8_t(n >> (8 * i)));
                        break;
                    }
                    case Field::Kind::ParameterPair:
                        b.push_back(0x16), raw64(f.xyz[0]), raw64(f.xyz[1]);
                        break;
                    case Field::Kind::Double:
                        b.push_back(0x06), raw64(f.number);
                        break;
                    case Field::Kind::Word:
                        text(0x07, f.word);
                        break;
                    case Field::Kind::Flag:
                        b.push_back(f.second ? 0x0A : 0x0B);
                        break;
                    case Field::Kind::Position:
                        b.push_back(0x13);
                        for (double d : f.xyz) raw64(d);
                        break;
                    case Field::Kind::Open:
                        b.push_back(0x0F);
                        break;
                    case Field::Kind::Close:
                        b.push_back(0x10);
                        break;
                }
            }
            b.push_back(0x11);
        }
        name("End-of-ACIS-data");
        return b;
    }
};

}  // namespace acistest
