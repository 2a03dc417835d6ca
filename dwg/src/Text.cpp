#include "Text.h"

#include <iconv.h>
#include <paths/Utf8.h>

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

const char* iconvName(int codePage) {
    switch (codePage) {
        case 1:
            return "ASCII";
        case 2:
            return "ISO-8859-1";
        case 3:
            return "ISO-8859-2";
        case 4:
            return "ISO-8859-3";
        case 5:
            return "ISO-8859-4";
        case 6:
            return "ISO-8859-5";
        case 7:
            return "ISO-8859-6";
        case 8:
            return "ISO-8859-7";
        case 9:
            return "ISO-8859-8";
        case 10:
            return "ISO-8859-9";
        case 11:
            return "CP437";
        case 12:
            return "CP850";
        case 13:
            return "CP852";
        case 14:
            return "CP855";
        case 15:
            return "CP857";
        case 16:
            return "CP860";
        case 17:
            return "CP861";
        case 18:
            return "CP863";
        case 19:
            return "CP864";
        case 20:
            return "CP865";
        case 21:
            return "CP869";
        case 22:
            return "CP932";
        case 23:
            return "MACINTOSH";
        case 24:
            return "BIG5";
        case 25:
            return "CP949";
        case 26:
            return "JOHAB";
        case 27:
            return "CP866";
        case 28:
            return "CP1250";
        case 29:
            return "CP1251";
        case 31:
            return "GBK";
        case 32:
            return "CP1253";
        case 33:
            return "CP1254";
        case 34:
            return "CP1255";
        case 35:
            return "CP1256";
        case 36:
            return "CP1257";
        case 37:
            return "CP874";
        case 38:
            return "CP932";
        case 39:
            return "GBK";
        case 40:
            return "CP949";
        case 41:
            return "BIG5";
        case 42:
            return "JOHAB";
        case 44:
            return "CP1258";
        default:
            return nullptr;  // Windows-1252, the common case and the fallback
    }
}

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
    if (const char* name = iconvName(codePage)) {
        iconv_t handle = iconv_open("UTF-8", name);
        if (handle != reinterpret_cast<iconv_t>(-1)) converter_ = handle;
    }
}

TextDecoder::~TextDecoder() {
    if (converter_) iconv_close(static_cast<iconv_t>(converter_));
}

std::string TextDecoder::decode(std::string_view bytes) const {
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return expandUnicodeEscapes(bytes);

    std::string out;
    if (converter_) {
        auto handle = static_cast<iconv_t>(converter_);
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> input(bytes.begin(), bytes.end());
        std::vector<char> output(bytes.size() * 4 + 16);
        char* in = input.data();
        std::size_t inLeft = input.size();
        char* outPtr = output.data();
        std::size_t outLeft = output.size();
        while (inLeft > 0) {
            if (iconv(handle, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
                break;
            // An unmappable byte: show a replacement character and go on.
            if (outLeft < 3) break;
            *outPtr++ = static_cast<char>(0xEF);
            *outPtr++ = static_cast<char>(0xBF);
            *outPtr++ = static_cast<char>(0xBD);
            outLeft -= 3;
            ++in;
            --inLeft;
        }
        out.assign(output.data(), outPtr);
    } else {
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            paths::appendUtf8(
                out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char32_t{byte});
        }
    }
    return expandUnicodeEscapes(out);
}

}  // namespace dwg::detail
