// facts.json of the sample folder: what an independent reader found in each
// sample. A small JSON reader, enough for that file.
#pragma once

#include "Samples.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace testsupport {

struct Json {
    using Object = std::map<std::string, Json>;
    using Array = std::vector<Json>;
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>, std::shared_ptr<Object>> value;

    bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
    double number() const { return std::get<double>(value); }
    const std::string& string() const { return std::get<std::string>(value); }
    const Array& array() const { return *std::get<std::shared_ptr<Array>>(value); }
    const Object& object() const { return *std::get<std::shared_ptr<Object>>(value); }
    bool has(const std::string& key) const { return object().count(key) > 0; }
    const Json& operator[](const std::string& key) const { return object().at(key); }
};

class JsonParser {
public:
    explicit JsonParser(std::string text) : text_(std::move(text)) {}

    Json parse() {
        Json result = value();
        skipSpace();
        if (pos_ != text_.size()) fail();
        return result;
    }

private:
    [[noreturn]] void fail() const { throw std::runtime_error("bad JSON at " + std::to_string(pos_)); }
    void skipSpace() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
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
    Json value() {
        skipSpace();
        if (pos_ >= text_.size()) fail();
        const char c = text_[pos_];
        if (c == '{') return object();
        if (c == '[') return array();
        if (c == '"') return Json{stringValue()};
        for (const auto& [word, literal] : {std::pair{"null", Json{nullptr}}, std::pair{"true", Json{true}},
                                            std::pair{"false", Json{false}}}) {
            if (text_.compare(pos_, std::char_traits<char>::length(word), word) == 0) {
                pos_ += std::char_traits<char>::length(word);
                return literal;
            }
        }
        char* end = nullptr;
        const double number = std::strtod(text_.c_str() + pos_, &end);
        if (end == text_.c_str() + pos_) fail();
        pos_ = static_cast<std::size_t>(end - text_.c_str());
        return Json{number};
    }
    Json object() {
        expect('{');
        auto members = std::make_shared<Json::Object>();
        if (!take('}')) {
            do {
                skipSpace();
                std::string key = stringValue();
                expect(':');
                (*members)[key] = value();
            } while (take(','));
            expect('}');
        }
        return Json{members};
    }
    Json array() {
        expect('[');
        auto items = std::make_shared<Json::Array>();
        if (!take(']')) {
            do items->push_back(value());
            while (take(','));
            expect(']');
        }
        return Json{items};
    }
    // UTF-8 out; \uXXXX escapes (with surrogate pairs) encoded back to UTF-8.
    std::string stringValue() {
        if (pos_ >= text_.size() || text_[pos_] != '"') fail();
        ++pos_;
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= text_.size()) fail();
            c = text_[pos_++];
            switch (c) {
            case 'n': out.push_back('\n'); break;
            case 't': out.push_back('\t'); break;
            case 'r': out.push_back('\r'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'u': {
                unsigned code = hex4();
                if (code >= 0xD800 && code < 0xDC00 && text_.compare(pos_, 2, "\\u") == 0) {
                    pos_ += 2;
                    code = 0x10000 + ((code - 0xD800) << 10) + (hex4() - 0xDC00);
                }
                appendUtf8(out, code);
                break;
            }
            default: out.push_back(c); break;
            }
        }
        expect('"');
        return out;
    }
    unsigned hex4() {
        if (pos_ + 4 > text_.size()) fail();
        const unsigned code = static_cast<unsigned>(std::stoul(text_.substr(pos_, 4), nullptr, 16));
        pos_ += 4;
        return code;
    }
    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    std::string text_;
    std::size_t pos_ = 0;
};

inline const Json& sampleFacts() {
    static const Json facts = [] {
        std::ifstream in(samplesFolder() / "facts.json");
        std::stringstream text;
        text << in.rdbuf();
        return JsonParser(text.str()).parse();
    }();
    return facts;
}

}  // namespace testsupport
