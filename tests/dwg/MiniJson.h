// Just enough JSON to read the sample facts file in tests.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace testjson {

struct Value {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<Value> array;
    std::map<std::string, Value> object;

    bool isNull() const { return type == Type::Null; }
    bool has(const std::string& key) const { return type == Type::Object && object.count(key) > 0; }
    const Value& operator[](const std::string& key) const { return object.at(key); }
    const Value& operator[](std::size_t index) const { return array.at(index); }
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Value parse() {
        Value v = value();
        skipSpace();
        if (pos_ != text_.size()) fail();
        return v;
    }

private:
    [[noreturn]] void fail() const { throw std::runtime_error("bad JSON at " + std::to_string(pos_)); }
    void skipSpace() {
        while (pos_ < text_.size() && std::string_view(" \t\r\n").find(text_[pos_]) != std::string_view::npos) ++pos_;
    }
    bool take(char c) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) fail();
    }
    std::string str() {
        expect('"');
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c == '\\') {
                if (pos_ >= text_.size()) fail();
                const char e = text_[pos_++];
                switch (e) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case 'u': {
                    if (pos_ + 4 > text_.size()) fail();
                    const unsigned code = std::stoul(std::string(text_.substr(pos_, 4)), nullptr, 16);
                    pos_ += 4;
                    if (code < 0x80) {
                        out += static_cast<char>(code);
                    } else if (code < 0x800) {
                        out += static_cast<char>(0xC0 | (code >> 6));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    } else {
                        out += static_cast<char>(0xE0 | (code >> 12));
                        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    }
                    break;
                }
                default: out += e; break;
                }
            } else {
                out += c;
            }
        }
        expect('"');
        return out;
    }
    Value value() {
        skipSpace();
        if (pos_ >= text_.size()) fail();
        Value v;
        const char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            v.type = Value::Type::Object;
            if (take('}')) return v;
            do {
                skipSpace();
                std::string key = str();
                expect(':');
                v.object[key] = value();
            } while (take(','));
            expect('}');
        } else if (c == '[') {
            ++pos_;
            v.type = Value::Type::Array;
            if (take(']')) return v;
            do v.array.push_back(value());
            while (take(','));
            expect(']');
        } else if (c == '"') {
            v.type = Value::Type::String;
            v.string = str();
        } else if (text_.substr(pos_, 4) == "null") {
            pos_ += 4;
        } else if (text_.substr(pos_, 4) == "true") {
            pos_ += 4;
            v.type = Value::Type::Bool;
            v.boolean = true;
        } else if (text_.substr(pos_, 5) == "false") {
            pos_ += 5;
            v.type = Value::Type::Bool;
        } else {
            const std::string rest(text_.substr(pos_, 64));
            char* end = nullptr;
            v.type = Value::Type::Number;
            v.number = std::strtod(rest.c_str(), &end);
            if (end == rest.c_str()) fail();
            pos_ += static_cast<std::size_t>(end - rest.c_str());
        }
        return v;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

inline Value parse(std::string_view text) { return Parser(text).parse(); }

}  // namespace testjson
