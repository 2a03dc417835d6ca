// Names written as one word of a line in the program's own text files: bytes
// up to the blank, DEL and '%' as %XX, everything else as it is.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace library::detail {

inline std::string escapeWord(const std::string& raw) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || byte == '%') {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// Nothing for a '%' that is not followed by two capital hex digits.
inline std::optional<std::string> unescapeWord(const std::string& text) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            out += text[at];
            continue;
        }
        if (at + 2 >= text.size()) return std::nullopt;
        const int high = digit(text[at + 1]);
        const int low = digit(text[at + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return out;
}

// A path as UTF-8 with "/" between its parts on every system.
inline std::string genericUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace library::detail
