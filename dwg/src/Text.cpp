#include "Text.h"

#include <paths/Utf8.h>
#include <platform/Text.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

namespace dwg::detail {

std::string asciiUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}
namespace {

// Windows-1252 0x80..0x9F; the rest of the upper half equals Latin-1.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

}  // namespace

unsigned windowsCodePage(int codePage) {
    switch (codePage) {
        case 1:
            return 20127;  // ASCII
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
            return 28591 + static_cast<unsigned>(codePage - 2);  // ISO 8859-1 to 8859-9
        case 11:
            return 437;
        case 12:
            return 850;
        case 13:
            return 852;
        case 14:
            return 855;
        case 15:
            return 857;
        case 16:
            return 860;
        case 17:
            return 861;
        case 18:
            return 863;
        case 19:
            return 864;
        case 20:
            return 865;
        case 21:
            return 869;
        case 22:
        case 38:
            return 932;
        case 23:
            return 10000;  // Mac Roman
        case 24:
        case 41:
            return 950;
        case 25:
        case 40:
            return 949;
        case 26:
        case 42:
            return 1361;  // Johab
        case 27:
            return 866;
        case 28:
            return 1250;
        case 29:
            return 1251;
        case 30:
            return 1252;
        case 31:
        case 39:
            return 936;
        case 32:
            return 1253;
        case 33:
            return 1254;
        case 34:
            return 1255;
        case 35:
            return 1256;
        case 36:
            return 1257;
        case 37:
            return 874;
        case 44:
            return 1258;
        default:
            return 0;
    }
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code unit of a \U+XXXX escape at text[i], or -1.
int escapeAt(std::string_view text, std::size_t i) {
    if (i + 7 > text.size() || text[i] != '\\' || (text[i + 1] != 'U' && text[i + 1] != 'u') ||
        text[i + 2] != '+')
        return -1;
    int value = 0;
    for (std::size_t k = 3; k < 7; ++k) {
        const int digit = hexValue(text[i + k]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace

char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int extra = 0;
    char32_t c = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return c;
}

std::string utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        paths::appendUtf8(out, c);
    }
    return out;
}

std::string expandUnicodeEscapes(std::string_view text) {
    if (text.find("\\U+") == std::string_view::npos && text.find("\\u+") == std::string_view::npos)
        return std::string(text);
    std::string out;
    std::u16string pending;
    for (std::size_t i = 0; i < text.size();) {
        const int unit = escapeAt(text, i);
        if (unit >= 0) {
            pending += static_cast<char16_t>(unit);
            i += 7;
            continue;
        }
        out += utf16ToUtf8(pending);
        pending.clear();
        out += text[i++];
    }
    out += utf16ToUtf8(pending);
    return out;
}

TextDecoder::TextDecoder(int codePage) {
    // Windows-1252 by the table: the common case, and the fallback.
    if (const unsigned windows = windowsCodePage(codePage); windows && windows != 1252) {
        auto converter = std::make_unique<platform::CodePageDecoder>(windows);
        if (converter->valid()) converter_ = std::move(converter);
    }
}

TextDecoder::~TextDecoder() = default;

std::string TextDecoder::decode(std::string_view bytes) const {
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return expandUnicodeEscapes(bytes);

    std::string out;
    if (converter_) {
        out = converter_->toUtf8(bytes);
    } else {
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            paths::appendUtf8(
                out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char32_t{byte});
        }
    }
    return expandUnicodeEscapes(out);
}

TextEncoder::TextEncoder(int codePage) {
    if (const unsigned windows = windowsCodePage(codePage); windows && windows != 1252) {
        auto converter = std::make_unique<platform::CodePageEncoder>(windows);
        if (converter->valid()) {
            converter_ = std::move(converter);
            codePage_ = codePage;
        }
    }
}

TextEncoder::~TextEncoder() = default;

std::optional<std::string> TextEncoder::character(char32_t c) const {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    if (converter_) return converter_->encode(c);
    if (c >= 0xA0 && c <= 0xFF) return std::string(1, static_cast<char>(c));
    for (std::size_t k = 0; k < kWindows1252High.size(); ++k)
        if (kWindows1252High[k] == c && c != 0xFFFD) return std::string(1, static_cast<char>(0x80 + k));
    return std::nullopt;
}

bool TextEncoder::holds(std::string_view utf8) const {
    for (std::size_t i = 0; i < utf8.size();)
        if (!character(nextCodePoint(utf8, i))) return false;
    return true;
}

std::string TextEncoder::encode(std::string_view utf8) const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto escape = [&](std::string& out, char32_t unit) {
        out += "\\U+";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
    };
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, i);
        if (auto bytes = character(c)) {
            out += *bytes;
        } else if (c >= 0x10000 && c <= 0x10FFFF) {
            escape(out, 0xD800 + ((c - 0x10000) >> 10));
            escape(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            escape(out, c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return out;
}

}  // namespace dwg::detail
