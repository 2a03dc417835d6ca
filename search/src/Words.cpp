#include "search/Words.h"

#include <array>
#include <cstdint>

#include "paths/Utf8.h"

namespace search {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// One code point from text at pos, which moves past it; kInvalid (and one
// byte further) for a byte that does not start a valid sequence.
char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
    } else {
        ++pos;
        return kInvalid;
    }
    if (pos + static_cast<std::size_t>(length) > text.size()) {
        ++pos;
        return kInvalid;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return kInvalid;
        }
        value = (value << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return kInvalid;
    }
    pos += static_cast<std::size_t>(length);
    return value;
}

// U+00C0 to U+00FF; "" for the two signs among them (× and ÷).
constexpr std::array<const char*, 64> kLatin1Letters = {
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y"};

// U+0100 to U+017F, as runs of one base letter: capitals and small letters
// alternate within a run.
struct Run {
    int count;
    const char* base;
};
constexpr Run kExtendedARuns[] = {{6, "a"},  {8, "c"},  {4, "d"},  {10, "e"}, {8, "g"}, {4, "h"},
                                  {10, "i"}, {2, "ij"}, {2, "j"},  {3, "k"},  {10, "l"}, {9, "n"},
                                  {6, "o"},  {2, "oe"}, {6, "r"},  {8, "s"},  {6, "t"}, {12, "u"},
                                  {2, "w"},  {3, "y"},  {6, "z"},  {1, "s"}};

const std::array<const char*, 128>& extendedALetters() {
    static const std::array<const char*, 128> table = [] {
        std::array<const char*, 128> letters{};
        std::size_t at = 0;
        for (const Run& run : kExtendedARuns)
            for (int i = 0; i < run.count && at < letters.size(); ++i) letters[at++] = run.base;
        return letters;
    }();
    return table;
}

enum class Kind { Separator, Mark, Lower, Upper, Digit, Other };

// The folded form of c appended to out, and what kind of character it was.
Kind foldInto(char32_t c, std::string& out) {
    if (c < 0x80) {
        if (c >= 'a' && c <= 'z') {
            out += static_cast<char>(c);
            return Kind::Lower;
        }
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c - 'A' + 'a');
            return Kind::Upper;
        }
        if (c >= '0' && c <= '9') {
            out += static_cast<char>(c);
            return Kind::Digit;
        }
        return Kind::Separator;
    }
    if (c >= 0xC0 && c <= 0xFF) {
        const char* letter = kLatin1Letters[c - 0xC0];
        if (!*letter) return Kind::Separator;
        out += letter;
        return c < 0xE0 && c != 0xDF ? Kind::Upper : Kind::Lower;
    }
    if (c >= 0x100 && c <= 0x17F) {
        out += extendedALetters()[c - 0x100];
        // Capitals sit on the even code points of most runs; the few odd
        // ones only cost a word part more.
        return (c % 2 == 0) ? Kind::Upper : Kind::Lower;
    }
    switch (c) {
        case 0xAA:  // ª
            out += 'a';
            return Kind::Lower;
        case 0xBA:  // º
            out += 'o';
            return Kind::Lower;
        case 0xB9:
            out += '1';
            return Kind::Digit;
        case 0xB2:
            out += '2';
            return Kind::Digit;
        case 0xB3:
            out += '3';
            return Kind::Digit;
        case 0xB5:  // µ
            paths::appendUtf8(out, c);
            return Kind::Lower;
        default:
            break;
    }
    if (c < 0xC0) return Kind::Separator;                       // Latin-1 signs and controls
    if ((c >= 0x300 && c <= 0x36F) || (c >= 0xFE00 && c <= 0xFE0F)) return Kind::Mark;
    if ((c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || c == 0xFEFF ||
        (c >= 0xFF00 && c <= 0xFF0F) || (c >= 0xE000 && c <= 0xF8FF))
        return Kind::Separator;  // punctuation, symbols, arrows, private use
    paths::appendUtf8(out, c);
    return Kind::Other;
}

struct Token {
    std::string folded;
    std::vector<std::size_t> partStarts;  // byte offsets in folded, the first is 0
};

template <typename Visit>
void forEachToken(std::string_view text, Visit visit) {
    Token token;
    Kind previous = Kind::Separator;
    const auto flush = [&] {
        if (!token.folded.empty()) visit(token);
        token = {};
        previous = Kind::Separator;
    };
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t c = nextCodePoint(text, pos);
        if (c == kInvalid) continue;
        const std::size_t before = token.folded.size();
        const Kind kind = foldInto(c, token.folded);
        if (kind == Kind::Separator) {
            flush();
            continue;
        }
        if (kind == Kind::Mark) continue;
        const bool letter = kind != Kind::Digit;
        const bool wasLetter = previous != Kind::Digit;
        const bool boundary = before == 0 || (previous != Kind::Separator && letter != wasLetter) ||
                              (previous == Kind::Lower && kind == Kind::Upper);
        if (boundary) token.partStarts.push_back(before);
        previous = kind;
    }
    flush();
}

}  // namespace

std::string fold(std::string_view utf8) {
    std::string out;
    forEachToken(utf8, [&](const Token& token) {
        if (!out.empty()) out += ' ';
        out += token.folded;
    });
    return out;
}

std::vector<std::string> words(std::string_view utf8) {
    std::vector<std::string> out;
    forEachToken(utf8, [&](const Token& token) { out.push_back(token.folded); });
    return out;
}

std::vector<std::string> indexWords(std::string_view utf8) {
    std::vector<std::string> out;
    forEachToken(utf8, [&](const Token& token) {
        out.push_back(token.folded);
        if (token.partStarts.size() < 2) return;
        for (std::size_t i = 0; i < token.partStarts.size(); ++i) {
            const std::size_t start = token.partStarts[i];
            const std::size_t end =
                i + 1 < token.partStarts.size() ? token.partStarts[i + 1] : token.folded.size();
            out.push_back(token.folded.substr(start, end - start));
        }
    });
    return out;
}

std::string plainText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto skipPast = [&](std::size_t& i, char end) {
        const std::size_t at = text.find(end, i);
        i = at == std::string_view::npos ? text.size() : at + 1;
    };
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '{' || c == '}') {
            ++i;
            continue;
        }
        if (c == '%' && text.substr(i, 2) == "%%" && i + 2 < text.size()) {
            // %%c, %%d, %%p (signs), %%u, %%o (switches), %%nnn (a character code).
            i += 2;
            const auto digit = [&] { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
            if (!digit())
                ++i;
            else
                while (digit()) ++i;
            out += ' ';
            continue;
        }
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            ++i;
            continue;
        }
        const char code = text[i + 1];
        i += 2;
        switch (code) {
            case '\\':
            case '{':
            case '}':
                out += code;
                break;
            case 'P':
            case 'X':
            case 'N':
            case '~':
                out += ' ';
                break;
            case 'f':
            case 'F':
            case 'H':
            case 'C':
            case 'c':
            case 'A':
            case 'Q':
            case 'W':
            case 'T':
            case 'p':
                skipPast(i, ';');
                break;
            case 'S': {
                // A stacked fraction: both halves are text.
                const std::size_t end = text.find(';', i);
                const std::string_view stacked =
                    text.substr(i, end == std::string_view::npos ? text.size() - i : end - i);
                for (const char s : stacked) out += (s == '^' || s == '/' || s == '#') ? ' ' : s;
                i = end == std::string_view::npos ? text.size() : end + 1;
                out += ' ';
                break;
            }
            case 'U':
                if (i + 5 <= text.size() && text[i] == '+') {
                    char32_t value = 0;
                    bool hex = true;
                    for (std::size_t k = i + 1; k < i + 5; ++k) {
                        const char h = text[k];
                        const int digit = (h >= '0' && h <= '9')   ? h - '0'
                                          : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                                          : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                                                   : -1;
                        if (digit < 0) hex = false;
                        value = value * 16 + static_cast<char32_t>(digit < 0 ? 0 : digit);
                    }
                    if (hex && !(value >= 0xD800 && value <= 0xDFFF)) {
                        paths::appendUtf8(out, value);
                        i += 5;
                    }
                }
                break;
            default:
                // \L \l \O \o \K \k and the like switch a look on or off.
                break;
        }
    }
    return out;
}

}  // namespace search
